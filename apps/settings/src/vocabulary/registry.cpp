#include "vocabulary/registry.h"

#include <algorithm>

namespace settings::panes {
namespace {

// The table's shape, checked where it is compiled: every sidebar place taken
// once, the sidebar running group by group, every group holding at least two
// panes, and every id distinct.
constexpr bool places_are_a_permutation() {
  std::array<bool, kPaneCount> taken{};
  for (const PaneRow& row : kPaneRows) {
    if (row.sidebar_place < 1 || row.sidebar_place > kPaneCount) return false;
    if (taken[row.sidebar_place - 1]) return false;
    taken[row.sidebar_place - 1] = true;
  }
  return true;
}
static_assert(places_are_a_permutation());

constexpr bool sidebar_runs_group_by_group() {
  std::array<std::size_t, group::kMaintenance + 1> sizes{};
  for (std::size_t place = 0; place < kPaneCount; ++place) {
    const std::uint8_t g = pane_row(SIDEBAR_ORDER[place]).group;
    if (g >= sizes.size()) return false;
    if (place > 0 && g < pane_row(SIDEBAR_ORDER[place - 1]).group) return false;
    ++sizes[g];
  }
  return std::all_of(sizes.begin(), sizes.end(), [](std::size_t n) { return n >= 2; });
}
static_assert(sidebar_runs_group_by_group());

constexpr bool ids_are_distinct() {
  for (std::size_t a = 0; a < kPaneCount; ++a) {
    for (std::size_t b = a + 1; b < kPaneCount; ++b) {
      if (kPaneRows[a].id == kPaneRows[b].id) return false;
    }
  }
  return true;
}
static_assert(ids_are_distinct());

}  // namespace

std::string_view pane_id(Pane pane) { return pane_row(pane).id; }
std::string_view pane_title(Pane pane) { return pane_row(pane).title; }
std::string_view pane_subtitle(Pane pane) { return pane_row(pane).subtitle; }
std::uint8_t pane_icon(Pane pane) { return pane_row(pane).icon; }
std::span<const std::string_view> pane_keywords(Pane pane) { return pane_row(pane).keywords; }

std::optional<Pane> pane_by_id(std::string_view id) {
  for (const Pane pane : SIDEBAR_ORDER) {
    if (pane_row(pane).id == id) return pane;
  }
  return std::nullopt;
}

}  // namespace settings::panes
