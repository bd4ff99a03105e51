#include "panes/keyboard_shortcuts/keyboard_shortcuts_pane.h"

#include <utility>

#include "actions/doc_readers.h"
#include "actions/keyboard_shortcuts_section.h"
#include "actions/preference_context.h"
#include "actions/settings_action.h"
#include "kalu_ui/log.h"
#include "kalu_ui/widget/support.h"
#include "panes/doc_flags.h"
#include "panes/keyboard_shortcuts/page.h"
#include "panes/shortcut_keys.h"
#include "prefs_store/desktop_controls.h"
#include "prefs_store/key_chord.h"

namespace settings::panes::keyboard_shortcuts {
namespace {

namespace doc = kalu_ui::doc;
using operations::SettingsAction;

void put(doc::Document& document, std::string_view key, doc::Scalar value) {
  if (auto written = document.put(doc::kRoot, key, std::move(value)); !written) {
    kalu_ui::log::warn("kalu::settings", "settings::panes::keyboard_shortcuts",
                       "failed to write shortcut value",
                       {{"op", "shortcut_write"}, {"key", std::string(key)},
                        {"error", written.error()}});
  }
}

void put_text(doc::Document& document, std::string_view key, std::string_view text) {
  put(document, key, doc::Scalar(std::string(text)));
}

std::string error_key(std::string_view id) { return std::string(id) + ".error"; }

std::optional<std::string> text_at(const doc::Document& document, std::string_view key) {
  return actions::read_doc_text(document, doc::kRoot, key);
}

bool save_vim(bool on) { return prefs_store::DesktopControlsConfig{.vim_mode = on}.save().has_value(); }

}  // namespace

ShortcutPane::ShortcutPane(prefs_store::ShortcutConfig shortcuts, bool vim_mode)
    : shortcuts_(std::move(shortcuts)), vim_mode_(vim_mode), vim_saved_(vim_mode) {}

kalu_ui::WidgetBox ShortcutPane::boxed() {
  return kalu_ui::widget::boxed(ShortcutPane(prefs_store::ShortcutConfig::load(),
                                             prefs_store::DesktopControlsConfig::load().vim_mode));
}

void ShortcutPane::dispatch(doc::Document& document, const SettingsAction& action) {
  host_.dispatch_with_context(document, actions::kSettingsActionNamespace,
                              actions::TypedSettingsAction(action),
                              actions::settings_action_context(
                                  actions::kSettingsAppId, actions::kSettingsAppTitle, action));
}

void ShortcutPane::seed(doc::Document& document) {
  for (const ShortcutKey& row : shortcut_keys()) {
    std::string text = chord_text(shortcuts_, row.action);
    put_text(document, row.id, text);
    put_text(document, edit_control_id(row.id), text);
    applied_[row.action] = std::move(text);
  }
  put(document, kVimModeKey, doc::Scalar(vim_mode_));
  put(document, edit_control_id(kVimModeKey), doc::Scalar(vim_mode_));
}

void ShortcutPane::sync_vim(doc::Document& document) {
  const std::string edit_key = edit_control_id(kVimModeKey);
  const bool action_value =
      actions::read_doc_bool(document, doc::kRoot, kVimModeKey).value_or(vim_saved_);
  const bool edited = actions::read_doc_bool(document, doc::kRoot, edit_key).value_or(action_value);
  if (action_value == vim_saved_) {
    if (edited == vim_saved_) return;
    // The switch moved.
    if (save_vim(edited)) {
      vim_mode_ = vim_saved_ = edited;
      dispatch(document, SettingsAction::set_setting(std::string(kVimModeKey), edited));
    } else {
      vim_mode_ = action_value;
      put(document, edit_key, doc::Scalar(action_value));
    }
    return;
  }
  // An action changed it.
  const bool previous = vim_saved_;
  put(document, edit_key, doc::Scalar(action_value));
  vim_mode_ = action_value;
  if (save_vim(action_value)) {
    vim_saved_ = action_value;
  } else {
    vim_mode_ = previous;
    put(document, edit_key, doc::Scalar(previous));
    dispatch(document, SettingsAction::set_setting(std::string(kVimModeKey), previous));
  }
}

bool ShortcutPane::apply_chord(std::uint8_t action, std::string_view text) {
  const auto chord = prefs_store::KeyChord::parse(text);
  if (!chord) return false;
  // Set on a copy: a refused chord or a failed save leaves the pane's
  // configuration as it was, so a later save cannot write it after all.
  prefs_store::ShortcutConfig changed = shortcuts_;
  if (changed.set(static_cast<prefs_store::ShortcutAction>(action), *chord) !=
      prefs_store::SetChordResult::Success) {
    return false;
  }
  if (!changed.save()) return false;
  shortcuts_ = std::move(changed);
  return true;
}

void ShortcutPane::sync_shortcut(doc::Document& document, std::string_view id,
                                 std::uint8_t action) {
  const std::optional<std::string> value = text_at(document, id);
  if (!value) return;
  const std::string edit_key = edit_control_id(id);
  const std::string known = applied_[action].value_or(std::string());
  if (*value == known) {
    const std::string candidate = text_at(document, edit_key).value_or(*value);
    if (candidate == *value) return;
    // A new recording.
    if (apply_chord(action, candidate)) {
      applied_[action] = candidate;
      dispatch(document, SettingsAction::set_setting(std::string(id), candidate));
      put(document, error_key(id), doc::Scalar(false));
    } else {
      put_text(document, edit_key, *value);
      put(document, error_key(id), doc::Scalar(true));
    }
    return;
  }
  // An action changed the value.
  if (apply_chord(action, *value)) {
    applied_[action] = *value;
    // The recorder shows it too; a stale recording would otherwise be taken
    // for a new one on the next sync and set the old chord back.
    put_text(document, edit_key, *value);
    put(document, error_key(id), doc::Scalar(false));
    return;
  }
  if (known.empty()) {
    // The set-setting handler refuses the empty text, so the action value of
    // a shortcut without a chord is put back directly, as seeding wrote it.
    put_text(document, id, known);
  } else {
    dispatch(document, SettingsAction::set_setting(std::string(id), known));
  }
  put_text(document, edit_key, known);
  put(document, error_key(id), doc::Scalar(true));
}

void ShortcutPane::sync(doc::Document& document) {
  if (std::exchange(seed_document_, false)) seed(document);
  sync_vim(document);
  for (const ShortcutKey& row : shortcut_keys()) sync_shortcut(document, row.id, row.action);
  PagePane::sync(document);
}

kalu_ui::layout::NodeId ShortcutPane::build_layout(kalu_ui::layout::LayoutTree& tree,
                                                   const kalu_ui::RenderContext& context,
                                                   kalu_ui::layout::NodeRegistry& registry) {
  auto binding = actions::shortcut_toggle_binding("vim-mode");
  if (!binding) {
    kalu_ui::log::warn("kalu::settings", "settings::panes::keyboard_shortcuts",
                       "Keyboard Shortcuts action must be published",
                       {{"op", "shortcut_toggle_binding"}, {"requested", "vim-mode"}});
  }
  return lay_out_page(tree, context, registry, build_page(shortcuts_, std::move(binding)));
}

std::optional<kalu_actions::ActionContext> ShortcutPane::take_permission_request() {
  return actions::preference_pane_context(take_interaction(), "keyboard-shortcuts",
                                          "Keyboard shortcuts", "Change keyboard shortcuts");
}

}  // namespace settings::panes::keyboard_shortcuts
