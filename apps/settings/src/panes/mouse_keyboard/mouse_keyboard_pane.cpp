#include "panes/mouse_keyboard/mouse_keyboard_pane.h"

#include <string>
#include <utility>

#include "actions/mouse_keyboard_section.h"
#include "actions/preference_context.h"
#include "kalu_ui/widget/support.h"
#include "panes/mouse_keyboard/model.h"
#include "panes/mouse_keyboard/page.h"
#include "stored/settings_prefs.h"

namespace settings::panes::mouse_keyboard {

MouseKeyboardPane::MouseKeyboardPane()
    : PreferencePane(false),
      input_(stored::SettingsPrefs::load().input),
      sources_(available_input_sources()) {
  normalise_input_sources(input_);
  reload();
}

kalu_ui::WidgetBox MouseKeyboardPane::boxed() {
  return kalu_ui::widget::boxed(MouseKeyboardPane());
}

std::string MouseKeyboardPane::source_label(std::string_view id) const {
  return mouse_keyboard::source_label(sources_, id);
}

bool MouseKeyboardPane::reload() {
  // A switch never saved is on.
  const stored::TextAssistance assistance = stored::TextAssistance::load();
  const bool check_spelling = assistance.check_spelling.value_or(true);
  const bool auto_correct = assistance.auto_correct.value_or(true);
  const bool changed =
      check_spelling != applied_check_spelling_ || auto_correct != applied_auto_correct_;
  applied_check_spelling_ = check_spelling;
  applied_auto_correct_ = auto_correct;
  return changed;
}

std::vector<lib::ShownSetting> MouseKeyboardPane::shown() const {
  return {{std::string(kCheckSpellingId), applied_check_spelling_},
          {std::string(kAutoCorrectId), applied_auto_correct_}};
}

kalu_ui::layout::NodeId MouseKeyboardPane::build_layout(kalu_ui::layout::LayoutTree& tree,
                                                        const kalu_ui::RenderContext& context,
                                                        kalu_ui::layout::NodeRegistry& registry) {
  const PageModel model{input_, sources_, applied_check_spelling_, applied_auto_correct_};
  return lay_out_page(tree, context, registry, build_page(model, actions::input_binding_section()));
}

std::optional<kalu_actions::ActionContext> MouseKeyboardPane::take_permission_request() {
  return actions::preference_pane_context(take_interaction(), "input", "Mouse & keyboard",
                                          "Change input preferences");
}

}  // namespace settings::panes::mouse_keyboard
