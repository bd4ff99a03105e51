#include "sidebar/nav.h"

#include <fmt/format.h>

#include <string>
#include <utility>

#include "kalu_ui/widget/column.h"
#include "kalu_ui/widget/container.h"
#include "kalu_ui/widget/scrollable.h"
#include "kalu_ui/widget/support.h"
#include "kalu_ui/widget/text.h"
#include "lib/ui_rows.h"
#include "sidebar/groups.h"
#include "sidebar/search.h"

namespace settings::sidebar {
namespace {

namespace w = kalu_ui::widget;
using kalu_ui::WidgetBox;

constexpr float kSectionGap = 24.0f;
constexpr float kNavGapX = 8.0f;
constexpr float kNavPadding = 4.0f;
constexpr float kSectionInnerGap = 8.0f;
constexpr float kRowsGap = 4.0f;
// Lines the header up with the row icons below it.
constexpr float kHeaderInset = 20.0f;
constexpr float kHeaderSize = 12.0f;
constexpr std::string_view kResultsName = "Results";

std::string ascii_upper(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return out;
}

WidgetBox row_for(panes::Pane pane, panes::Pane selected,
                  const std::shared_ptr<SelectionCell>& selection,
                  const std::shared_ptr<w::RovingFocus>& focus) {
  auto row = std::make_unique<SidebarRow>(make_sidebar_row(pane, selected, selection));
  // Joined once boxed: the group keeps the row's final address.
  if (focus) row->join(focus);
  return row;
}

}  // namespace

WidgetBox group_section(std::string_view name, std::vector<WidgetBox> rows) {
  auto header =
      w::Column()
          .with_padding_xy(kHeaderInset, 0.0f)
          .push(w::boxed(
              w::Text(ascii_upper(name)).with_size(kHeaderSize).with_muted().with_wrap(false)));
  w::Column list;
  list.with_gap(kRowsGap);
  for (auto& row : rows) list.push(std::move(row));
  return w::boxed(w::Column()
                      .with_gap(kSectionInnerGap)
                      .push(w::boxed(std::move(header)))
                      .push(w::boxed(std::move(list))));
}

WidgetBox build_nav(panes::Pane selected, std::string_view query,
                    const std::shared_ptr<SelectionCell>& selection,
                    const std::shared_ptr<w::RovingFocus>& focus) {
  if (focus) focus->clear();
  const std::string_view trimmed = trim_query(query);
  w::Column sections;
  sections.with_gap_y(kSectionGap).with_gap_x(kNavGapX).with_padding_xy(kNavPadding, kNavPadding);
  if (trimmed.empty()) {
    for (std::uint8_t group = 0; group < kGroupCount; ++group) {
      std::vector<WidgetBox> rows;
      for (const panes::Pane pane : panes::SIDEBAR_ORDER) {
        if (PANE_GROUPS[panes::index_of(pane)] == group)
          rows.push_back(row_for(pane, selected, selection, focus));
      }
      sections.push(group_section(group_title(group), std::move(rows)));
    }
  } else {
    // The panes the query names by their title first, then those it finds
    // by their subtitle or keywords, each in the sidebar's order.
    std::vector<WidgetBox> rows;
    for (const bool by_title : {true, false}) {
      for (const panes::Pane pane : panes::SIDEBAR_ORDER) {
        if (pane_title_matches_query(pane, trimmed) == by_title &&
            pane_matches_query(pane, trimmed)) {
          rows.push_back(row_for(pane, selected, selection, focus));
        }
      }
    }
    if (rows.empty()) {
      // The query is shown as typed; it is an argument, never a format.
      rows.push_back(ui_rows::caption(fmt::format("No settings match \u201c{}\u201d", trimmed)));
    }
    sections.push(group_section(kResultsName, std::move(rows)));
  }
  return w::boxed(w::Container().with_no_limits().with_child(
      w::boxed(w::Scrollable().with_child(w::boxed(std::move(sections))))));
}

}  // namespace settings::sidebar
