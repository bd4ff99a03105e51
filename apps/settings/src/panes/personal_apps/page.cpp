#include "panes/personal_apps/page.h"

#include <fmt/format.h>

#include <vector>

#include "actions/default_apps_section.h"
#include "kalu_ui/log.h"
#include "kalu_ui/widget/dropdown.h"
#include "lib/preference_pane.h"
#include "lib/tools.h"
#include "vocabulary/app_candidates.h"

namespace settings::panes::personal_apps {
namespace {

namespace w = kalu_ui::widget;
using desktop_rules::AppCandidate;
using desktop_rules::ResourceKind;
using ui_rows::WidgetBox;
using ui_rows::WidgetList;

WidgetBox personal_card() {
  WidgetList rows;
  rows.push_back(ui_rows::info_row("Applies to", "Your identity on every device"));
  rows.push_back(ui_rows::caption(
      "A workspace may set a shared choice. In Workspace Settings you can follow it, return to "
      "this personal choice, or select a different app for that workspace."));
  rows.push_back(w::boxed(lib::tool_button(lib::ToolButton::WorkspaceAppRules)));
  return ui_rows::section_card("Personal", ui_rows::rows_column(std::move(rows)));
}

WidgetBox kind_dropdown(const PageModel& model, const ResourceKind& kind,
                        std::span<const AppCandidate> handling) {
  std::vector<std::string> labels;
  labels.reserve(handling.size());
  for (const AppCandidate& candidate : handling) labels.push_back(candidate.label());
  std::string placeholder = labels.front();
  if (const auto chosen = model.defaults.get(kind)) {
    for (const AppCandidate& candidate : handling) {
      if (candidate.id == *chosen) placeholder = candidate.label();
    }
  }
  auto binding = actions::default_app_binding(kind.key(), "set-handler", handling);
  w::Dropdown dropdown(edit_key(kind), std::move(labels), std::move(placeholder));
  dropdown.with_id(dropdown_id(kind));
  if (binding) {
    dropdown.on_action(std::move(*binding));
  } else {
    // The section offers every kind a candidate declares: a missing action
    // is the program's own fault; the dropdown then changes nothing.
    kalu_ui::log::warn("kalu::settings", "settings::panes::personal_apps",
                       "Apps & Files action must be published",
                       {{"op", "build_page"}, {"requested", kind.key()}});
  }
  return w::boxed(std::move(dropdown));
}

WidgetBox kinds_card(const PageModel& model) {
  WidgetList rows;
  for (const ResourceKind& kind : model.kinds) {
    const auto handling = candidates_for(model.candidates, kind);
    if (handling.empty()) continue;
    rows.push_back(ui_rows::described_control_row(
        kind.display_label(model.mime),
        "Your choice follows you unless this workspace chooses another app.",
        kind_dropdown(model, kind, handling)));
  }
  if (rows.empty()) rows.push_back(ui_rows::caption(kNoKindsCaption));
  return ui_rows::section_card("Open files and links with", ui_rows::rows_column(std::move(rows)));
}

}  // namespace

std::string control_key(const ResourceKind& kind) { return actions::default_app_key(kind.key()); }

std::string edit_key(const ResourceKind& kind) { return lib::edit_key(control_key(kind)); }

std::string dropdown_id(const ResourceKind& kind) {
  return fmt::format("personal-default.{}", kind.key());
}

WidgetBox build_page(const PageModel& model) {
  WidgetList cards;
  cards.push_back(personal_card());
  cards.push_back(kinds_card(model));
  return ui_rows::sections_column(std::move(cards));
}

}  // namespace settings::panes::personal_apps
