#pragma once

// The Accessibility pane (pane 12): the accessibility preferences and the
// three vision comforts shared with the Appearance pane (high contrast,
// reduced motion, text size). Its controls keep their values in the state
// document under "a11y." ids, where the Accessibility section's actions
// write too; each sync reads them back in a fixed order and, when something
// changed, merges the "accessibility" section and the three comforts of the
// "appearance" section into the settings document.
//
// The pane records under "{id}.synced" the value it last synced for each
// control. Opening again, it takes a value the document already holds only
// when it differs from that record (it was changed through the section
// while the pane was closed); a value equal to the record is left from an
// earlier visit and gives way to the settings just loaded, so high contrast
// switched on in Appearance meanwhile stays on.

#include <optional>
#include <string_view>

#include "lib/page_pane.h"
#include "panes/accessibility/model.h"
#include "panes/accessibility/page.h"

namespace settings::panes::accessibility {

class AccessibilityPane final : public lib::PagePane {
 public:
  static constexpr std::string_view kTypeName = "settings::panes::accessibility::AccessibilityPane";

  AccessibilityPane(Model model, Device device);
  // Loads the settings document's two sections and asks the device, as the
  // page frame does.
  static kalu_ui::WidgetBox boxed();

  const Model& model() const { return model_; }

  std::string_view type_name() const override { return kTypeName; }
  void sync(kalu_ui::doc::Document& document) override;
  kalu_ui::layout::NodeId build_layout(kalu_ui::layout::LayoutTree& tree,
                                       const kalu_ui::RenderContext& context,
                                       kalu_ui::layout::NodeRegistry& registry) override;
  std::optional<kalu_actions::ActionContext> take_permission_request() override;

 private:
  // The first sync: every control the document does not hold, or holds as
  // left from an earlier visit, gets the model's value.
  void push(kalu_ui::doc::Document& document) const;
  // Reads every control back into the model; whether anything changed.
  bool read_back(kalu_ui::doc::Document& document);
  void record_synced(kalu_ui::doc::Document& document) const;
  void save() const;

  Model model_;
  Device device_;
  bool needs_push_ = true;
};

}  // namespace settings::panes::accessibility
