#include "panes/accessibility/accessibility_pane.h"

#include <string>
#include <utility>

#include "actions/preference_context.h"
#include "kalu_ui/widget/support.h"
#include "stored/settings_prefs.h"
#include "vocabulary/look.h"

namespace settings::panes::accessibility {

AccessibilityPane::AccessibilityPane(Model model, Device device)
    : PreferencePane(false), model_(std::move(model)), device_(device) {}

Model AccessibilityPane::stored_model() {
  // The comforts are the look's, read as the window reads it.
  return Model{appearance::stored_look(), stored::SettingsPrefs::load().accessibility};
}

kalu_ui::WidgetBox AccessibilityPane::boxed() {
  return kalu_ui::widget::boxed(AccessibilityPane(stored_model(), Device::probe()));
}

bool AccessibilityPane::reload() {
  model_ = stored_model();
  return false;
}

std::vector<lib::ShownSetting> AccessibilityPane::shown() const {
  std::vector<lib::ShownSetting> shown;
  for (const Control& control : controls()) {
    if (control.is_switch()) {
      shown.push_back({std::string(control.id), control.get(model_)});
    } else {
      shown.push_back({std::string(control.id), std::string(control.label(model_))});
    }
  }
  return shown;
}

kalu_ui::layout::NodeId AccessibilityPane::build_layout(kalu_ui::layout::LayoutTree& tree,
                                                        const kalu_ui::RenderContext& context,
                                                        kalu_ui::layout::NodeRegistry& registry) {
  return lay_out_page(tree, context, registry, build_page(model_, device_));
}

std::optional<kalu_actions::ActionContext> AccessibilityPane::take_permission_request() {
  return actions::preference_pane_context(take_interaction(), "accessibility", "Accessibility",
                                          "Change accessibility preferences");
}

}  // namespace settings::panes::accessibility
