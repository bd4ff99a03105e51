#include "panes/appearance/appearance_pane.h"

#include <string>
#include <utility>

#include "actions/appearance_section.h"
#include "actions/preference_context.h"
#include "kalu_ui/log.h"
#include "kalu_ui/widget/support.h"
#include "panes/appearance/model.h"
#include "panes/appearance/page.h"
#include "vocabulary/appearance_labels.h"
#include "vocabulary/look.h"

namespace settings::panes::appearance {
namespace {

constexpr std::string_view kModule = "settings::panes::appearance";

// Logged, not fatal: the section is built from a fixed table, so a missing
// action is the program's own fault; the control then changes nothing.
template <typename Find>
std::optional<kalu_actions::ActionBinding> binding(Find find, std::string_view name) {
  auto found = find(name);
  if (!found) {
    kalu_ui::log::warn("kalu::settings", kModule, "Appearance action must be published",
                       {{"op", "appearance_binding"}, {"requested", std::string(name)}});
  }
  return found;
}

PageBindings section_bindings() {
  return PageBindings{
      .theme = binding(actions::appearance_choice_binding, "theme"),
      .ui_scale = binding(actions::appearance_choice_binding, "ui_scale"),
      .text_size = binding(actions::appearance_choice_binding, "text_size"),
      .high_contrast = binding(actions::appearance_toggle_binding, "high_contrast"),
      .reduce_motion = binding(actions::appearance_toggle_binding, "reduce_motion"),
  };
}

}  // namespace

AppearancePane::AppearancePane(stored::AppearancePrefs prefs)
    : PreferencePane(true), prefs_(std::move(prefs)) {}

stored::AppearancePrefs AppearancePane::state_from_prefs() { return stored_look(); }

kalu_ui::WidgetBox AppearancePane::boxed() {
  return kalu_ui::widget::boxed(AppearancePane(state_from_prefs()));
}

bool AppearancePane::reload() {
  stored::AppearancePrefs stored = state_from_prefs();
  if (stored == prefs_) return false;
  prefs_ = std::move(stored);
  return true;
}

std::vector<lib::ShownSetting> AppearancePane::shown() const {
  return {
      {std::string(kThemeId), prefs_.theme},
      {std::string(kTextSizeId), std::string(text_size_label(prefs_.text_scale))},
      {std::string(kUiScaleId), std::string(ui_scale_label(prefs_.ui_scale))},
      {std::string(kHighContrastId), prefs_.high_contrast},
      {std::string(kReduceMotionId), prefs_.reduce_motion},
  };
}

kalu_ui::layout::NodeId AppearancePane::build_layout(kalu_ui::layout::LayoutTree& tree,
                                                     const kalu_ui::RenderContext& context,
                                                     kalu_ui::layout::NodeRegistry& registry) {
  return lay_out_page(tree, context, registry, build_page(prefs_, section_bindings()));
}

std::optional<kalu_actions::ActionContext> AppearancePane::take_permission_request() {
  return actions::preference_pane_context(take_interaction(), "appearance", "Appearance",
                                          "Change appearance preferences");
}

}  // namespace settings::panes::appearance
