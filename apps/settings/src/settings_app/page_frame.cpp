// The page frame: the selected pane under its header, in a scrolling area.
// The area is known by the pane's id, so a page of the same pane built anew
// (after an applied change, at a new scale) opens where the person had
// scrolled it, and another pane's opens at the top.

#include <fmt/format.h>

#include <algorithm>
#include <string>
#include <utility>

#include "kalu_ui/widget/column.h"
#include "kalu_ui/widget/container.h"
#include "kalu_ui/widget/scrollable.h"
#include "lib/ui_rows.h"
#include "prefs_store/document.h"
#include "prefs_store/paths.h"
#include "settings_app/settings_app.h"

namespace settings::settings_app {

using kalu_ui::WidgetBox;
using kalu_ui::widget::boxed;
using kalu_ui::widget::Column;
using kalu_ui::widget::Container;
using kalu_ui::widget::Scrollable;

WidgetBox SettingsApp::build_page() const {
  const panes::Pane pane = selected_category_;
  PaneCells cells = cells_;
  if (pane == panes::Pane::kRegionFormats) cells.content_width_hint = content_width_hint();

  Column column;
  column.with_gap_y(kPageGapY)
      .with_gap_x(kPageGapX)
      .with_padding_xy(kPagePadding, kPagePadding)
      .push(ui_rows::page_header(panes::pane_title(pane), panes::pane_subtitle(pane)));
  // A settings file that did not read was kept aside by a save; the person
  // learns where their old file went on every page, not only from the log.
  const std::optional<std::filesystem::path> settings = prefs_store::settings_path();
  for (const prefs_store::KeptAside& copy : prefs_store::kept_aside()) {
    // The files of this configuration folder only.
    if (!settings || copy.document.parent_path() != settings->parent_path()) continue;
    column.push(ui_rows::caption(
        fmt::format("{} did not read ({}); it was kept aside as {} and a fresh file was saved.",
                    copy.document.string(), copy.reason, copy.copy.string())));
  }
  column.push(panes_(pane, cells));
  WidgetBox page = boxed(std::move(column));
  if (pane == panes::Pane::kExternalAccounts) {
    page = boxed(Container().with_max_width(kAccountsMaxWidth).with_child(std::move(page)));
  } else if (pane == panes::Pane::kRegionFormats) {
    page = boxed(Container().with_max_width(kRegionMaxWidth).with_child(std::move(page)));
  }
  return boxed(Container().with_no_limits().with_child(
      boxed(Scrollable()
                .with_place_key(std::string(kPageAreaKey) + std::string(panes::pane_id(pane)))
                .with_child(std::move(page)))));
}

std::optional<float> SettingsApp::content_width_hint() const {
  if (!shell_) return std::nullopt;
  const kalu_ui::Rect content = shell_->content_rect();
  if (!(content.x1 > content.x0)) return std::nullopt;
  return static_cast<float>(std::max(content.width() - kRegionHintInset, 0.0));
}

}  // namespace settings::settings_app
