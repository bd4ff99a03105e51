#pragma once

// The fixed list of the application's panes: index, id, title, subtitle, icon
// and search keywords, and the order in which the sidebar lists them. Every
// part of the program that names a pane goes through here.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace settings::panes {

// 0 to 21; what the selection cell carries. Not the display order.
using PaneIndex = std::uint8_t;

inline constexpr std::size_t kPaneCount = 22;

// The order in which the sidebar, search and resource tree list the panes; it
// runs group by group.
inline constexpr std::array<PaneIndex, kPaneCount> SIDEBAR_ORDER = {
    0, 1, 2, 3, 4, 5, 6, 9, 11, 12, 13, 14, 15, 10, 7, 8, 18, 16, 17, 19, 20, 21};

// Texts live for the whole program. An index outside 0 to 21 answers an empty
// text, an empty keyword list and icon 0, so a stray index shows a blank entry
// instead of reading outside the tables.
std::string_view pane_id(PaneIndex pane);
std::string_view pane_title(PaneIndex pane);
std::string_view pane_subtitle(PaneIndex pane);
std::uint8_t pane_icon(PaneIndex pane);
// Lower-case words and phrases, in stored order, duplicates across panes kept.
std::span<const std::string_view> pane_keywords(PaneIndex pane);

// The first pane in sidebar order whose id equals `id` byte for byte.
std::optional<PaneIndex> pane_by_id(std::string_view id);

}  // namespace settings::panes
