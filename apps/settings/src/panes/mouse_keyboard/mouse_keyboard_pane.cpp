#include "panes/mouse_keyboard/mouse_keyboard_pane.h"

#include <utility>

#include "actions/doc_readers.h"
#include "actions/mouse_keyboard_section.h"
#include "actions/preference_context.h"
#include "kalu_ui/log.h"
#include "panes/mouse_keyboard/model.h"
#include "panes/mouse_keyboard/page.h"
#include "stored/settings_prefs.h"

namespace settings::panes::mouse_keyboard {
namespace {

namespace doc = kalu_ui::doc;
using stored::TextAssistance;

void write_bool(doc::Document& document, std::string_view key, bool value) {
  if (auto written = document.put(doc::kRoot, key, doc::Scalar(value)); !written) {
    kalu_ui::log::warn("kalu::settings", "settings::panes::mouse_keyboard",
                       "failed to write text-assistance value",
                       {{"op", "text_assistance_write"}, {"key", std::string(key)},
                        {"error", written.error()}});
  }
}

// A value the document holds that differs from `applied` becomes applied and
// is saved.
void take_switch(const doc::Document& document, std::string_view control_id,
                 std::string_view key, bool& applied) {
  const std::optional<bool> value = actions::read_doc_bool(document, doc::kRoot, control_id);
  if (!value || *value == applied) return;
  applied = *value;
  MouseKeyboardPane::persist_text_assistance(key, *value);
}

}  // namespace

MouseKeyboardPane::MouseKeyboardPane()
    : input_(stored::SettingsPrefs::load().input),
      sources_(available_input_sources()),
      completion_(operations::OperationCompletionCell::create(operations::OperationCompletion{})) {
  normalise_input_sources(input_);
  const TextAssistance assistance = TextAssistance::load();
  check_spelling_ = applied_check_spelling_ = assistance.check_spelling.value_or(true);
  auto_correct_ = applied_auto_correct_ = assistance.auto_correct.value_or(true);
}

MouseKeyboardPane&& MouseKeyboardPane::with_operation_completion(
    const std::shared_ptr<operations::OperationCompletionCell>& cell) && {
  completion_ = cell;
  return std::move(*this);
}

std::string MouseKeyboardPane::source_label(std::string_view id) const {
  return mouse_keyboard::source_label(sources_, id);
}

void MouseKeyboardPane::persist_text_assistance(std::string_view key, bool value) {
  if (auto saved = TextAssistance::save(key, value); !saved) {
    kalu_ui::log::warn("kalu::settings", "settings::panes::mouse_keyboard",
                       "failed to persist text-assistance prefs",
                       {{"op", "text_assistance_save"}, {"error", saved.error()}});
  }
}

void MouseKeyboardPane::sync(doc::Document& document) {
  if (std::exchange(needs_push_, false)) {
    write_bool(document, kCheckSpellingId, check_spelling_);
    write_bool(document, kAutoCorrectId, auto_correct_);
  }
  take_switch(document, kCheckSpellingId, TextAssistance::kCheckSpelling, applied_check_spelling_);
  take_switch(document, kAutoCorrectId, TextAssistance::kAutoCorrect, applied_auto_correct_);
  PagePane::sync(document);
}

kalu_ui::layout::NodeId MouseKeyboardPane::build_layout(kalu_ui::layout::LayoutTree& tree,
                                                        const kalu_ui::RenderContext& context,
                                                        kalu_ui::layout::NodeRegistry& registry) {
  const PageModel model{input_, sources_, applied_check_spelling_, applied_auto_correct_};
  return lay_out_page(tree, context, registry,
                      build_page(model, actions::input_binding_section()));
}

std::optional<kalu_actions::ActionContext> MouseKeyboardPane::take_permission_request() {
  return actions::preference_pane_context(take_interaction(), "input", "Mouse & keyboard",
                                          "Change input preferences");
}

}  // namespace settings::panes::mouse_keyboard
