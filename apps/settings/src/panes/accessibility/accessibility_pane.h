#pragma once

// The Accessibility pane (Pane::kAccessibility): the accessibility preferences and the
// three vision comforts shared with the Appearance pane (high contrast,
// reduced motion, text size). It shows them as stored
// (lib/preference_pane.h): each control's value under its "a11y." id, where
// the page's switches and dropdowns keep their values. Each control records
// the Accessibility section's action of its meaning, and that set-setting
// keeps the "accessibility" section, or the comfort in the "appearance"
// section (actions/setting_store.h), whoever sets it; the pane saves
// nothing. Opened again it shows what is stored, whatever an earlier visit
// left in the document: high contrast switched on in Appearance meanwhile
// shows on.

#include <optional>
#include <string_view>
#include <vector>

#include "lib/preference_pane.h"
#include "panes/accessibility/page.h"
#include "vocabulary/accessibility_controls.h"
#include "vocabulary/registry.h"

namespace settings::panes::accessibility {

class AccessibilityPane final : public lib::PreferencePane {
 public:
  static constexpr std::string_view kTypeName = pane_row(Pane::kAccessibility).type_name;

  AccessibilityPane(Model model, Device device);
  // Loads the settings document's two sections and asks the device, as the
  // page frame does.
  static kalu_ui::WidgetBox boxed();
  // The two sections as stored.
  static Model stored_model();

  const Model& model() const { return model_; }

  std::string_view type_name() const override { return kTypeName; }
  kalu_ui::layout::NodeId build_layout(kalu_ui::layout::LayoutTree& tree,
                                       const kalu_ui::RenderContext& context,
                                       kalu_ui::layout::NodeRegistry& registry) override;
  std::optional<kalu_actions::ActionContext> take_permission_request() override;

 protected:
  // The controls follow the document: the page stays.
  bool reload() override;
  std::vector<lib::ShownSetting> shown() const override;

 private:
  Model model_;
  Device device_;
};

}  // namespace settings::panes::accessibility
