#pragma once

// The full names that the program's own widget types answer from type_name.
// A pane's widget answers its row of the pane registry (registry.h:
// `static constexpr std::string_view kTypeName =
// panes::pane_row(panes::Pane::kNetwork).type_name;`); the program's other
// widget types have their names here. The toolkit's widgets have their table
// in the widget contract (widget_contract/type_names.h).

#include <array>
#include <cstddef>
#include <string_view>

#include "vocabulary/registry.h"

namespace settings::type_names {

inline constexpr std::string_view kSettingsApp = "settings::settings_app::SettingsApp";
inline constexpr std::string_view kSidebarRow = "settings::sidebar::SidebarRow";
inline constexpr std::string_view kTimeZoneMap = "settings::panes::time_date::TimeZoneMap";
inline constexpr std::string_view kSecurityRows = "settings::panes::privacy::SecurityRows";

namespace detail {
inline constexpr std::array kOthers = {kSettingsApp, kSidebarRow, kTimeZoneMap, kSecurityRows};

constexpr std::size_t pane_widget_count() {
  std::size_t count = 0;
  for (const panes::PaneRow& row : panes::kPaneRows) count += row.type_name.empty() ? 0 : 1;
  return count;
}

using AllNames = std::array<std::string_view, kOthers.size() + pane_widget_count()>;
}  // namespace detail

// Every name the program's widgets answer: the types above, then each pane
// widget's in pane order. For checks that walk the whole table.
inline constexpr detail::AllNames kAll = [] {
  detail::AllNames all{};
  std::size_t next = 0;
  for (const std::string_view name : detail::kOthers) all[next++] = name;
  for (const panes::PaneRow& row : panes::kPaneRows) {
    if (!row.type_name.empty()) all[next++] = row.type_name;
  }
  return all;
}();

}  // namespace settings::type_names
