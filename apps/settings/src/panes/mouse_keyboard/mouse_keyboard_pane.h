#pragma once

// The Mouse & Keyboard pane (Pane::kMouseKeyboard): the input section as stored, the
// keyboard layout catalogue and the two text-assistance switches, on a page
// of six cards (page.h). Every control but the two switches is bound to the
// Mouse & Keyboard section; the executor applies what they invoke, and the
// page frame builds a new pane afterwards, which reads everything again. So
// the pane has no mailbox, no worker and never publishes a completion.
//
// The two switches set "text.check_spelling" and "text.auto_correct", which
// the pane shows as stored in the settings file's "text_assistance" section
// (lib/preference_pane.h); their set-setting actions keep the section
// (actions/setting_store.h), whoever sets them. A section read anew that
// differs builds the page again, so the switches follow a client's change.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "lib/preference_pane.h"
#include "stored/sections.h"
#include "vocabulary/input_sources.h"
#include "vocabulary/registry.h"

namespace settings::panes::mouse_keyboard {

class MouseKeyboardPane final : public lib::PreferencePane {
 public:
  static constexpr std::string_view kTypeName = pane_row(Pane::kMouseKeyboard).type_name;

  // Reads the settings document's input section (the defaults when it
  // cannot), the text-assistance section (true for what is missing or not a
  // boolean) and the catalogue.
  MouseKeyboardPane();
  // The pane as the page frame takes it.
  static kalu_ui::WidgetBox boxed();

  // The label of the catalogue entry with this id, else the id.
  std::string source_label(std::string_view id) const;

  const stored::InputPrefs& input() const { return input_; }
  const std::vector<InputSource>& sources() const { return sources_; }
  bool applied_check_spelling() const { return applied_check_spelling_; }
  bool applied_auto_correct() const { return applied_auto_correct_; }

  std::string_view type_name() const override { return kTypeName; }
  kalu_ui::layout::NodeId build_layout(kalu_ui::layout::LayoutTree& tree,
                                       const kalu_ui::RenderContext& context,
                                       kalu_ui::layout::NodeRegistry& registry) override;
  std::optional<kalu_actions::ActionContext> take_permission_request() override;

 protected:
  bool reload() override;
  std::vector<lib::ShownSetting> shown() const override;

 private:
  stored::InputPrefs input_;
  std::vector<InputSource> sources_;
  bool applied_check_spelling_ = true;
  bool applied_auto_correct_ = true;
};

}  // namespace settings::panes::mouse_keyboard
