#include "actions/setting_store.h"

#include <fmt/format.h>

#include <atomic>
#include <nlohmann/json.hpp>
#include <variant>

#include "actions/setting_store_internal.h"
#include "lib/stored_notices.h"
#include "prefs_store/desktop_controls.h"
#include "prefs_store/document.h"
#include "prefs_store/key_chord.h"
#include "prefs_store/shortcuts.h"
#include "stored/locale.h"
#include "stored/settings_prefs.h"
#include "vocabulary/accessibility_controls.h"
#include "vocabulary/appearance_labels.h"
#include "vocabulary/look.h"
#include "vocabulary/region_formats.h"
#include "vocabulary/shortcut_keys.h"

namespace settings::actions {
namespace store_detail {

using operations::SettingValue;

kalu_ui::Result<StoredSetting> refuse(std::string_view key) {
  return kalu_ui::fail(
      fmt::format("settings target is stale, unknown, or has an invalid value: {}", key));
}

const std::string* text_of(const SettingValue& value) {
  const auto* text = std::get_if<SettingValue::Text>(&value);
  return text != nullptr ? &text->value : nullptr;
}

std::optional<bool> bool_of(const SettingValue& value) {
  if (const auto* flag = std::get_if<SettingValue::Bool>(&value)) return flag->value;
  return std::nullopt;
}

}  // namespace store_detail

namespace {

using namespace store_detail;
using operations::SettingsAction;
using operations::SettingValue;

kalu_ui::Result<StoredSetting> saved(Store store, const kalu_ui::Status& status) {
  if (!status) return kalu_ui::fail(status.error());
  return StoredSetting{store, true, std::nullopt};
}

// ---- Appearance and Accessibility ------------------------------------------

// The appearance section as the look reads it (vocabulary/look.h): a
// section naming no theme has the environment's.
kalu_ui::Result<StoredSection<stored::AppearancePrefs>> load_look() {
  auto section = prefs_store::load_section("appearance");
  if (!section) return kalu_ui::fail(section.error());
  stored::AppearancePrefs look =
      panes::appearance::look_of(*section, panes::appearance::configured_theme());
  return StoredSection<stored::AppearancePrefs>{std::move(look), std::move(*section)};
}

// The members a change of the look writes: every member, but the theme of a
// section that names none stays unnamed unless it was chosen, so the look
// goes on following the environment's theme.
nlohmann::ordered_json look_members(const StoredSection<stored::AppearancePrefs>& before,
                                    const stored::AppearancePrefs& next, bool theme_chosen) {
  nlohmann::ordered_json members = stored::write_section(next);
  if (!theme_chosen && !before.members.contains("theme")) members.erase("theme");
  return members;
}

// Saves the look's change unless the section holds it already.
kalu_ui::Result<StoredSetting> keep_look(Store store,
                                         const StoredSection<stored::AppearancePrefs>& before,
                                         const stored::AppearancePrefs& next,
                                         bool theme_chosen = false) {
  const nlohmann::ordered_json members = look_members(before, next, theme_chosen);
  if (holds(before.members, members)) return StoredSetting{store, false, std::nullopt};
  return saved(store, prefs_store::update_section("appearance", members));
}

// The appearance value a label or switch of `key` sets; false: no value of it.
bool set_appearance(stored::AppearancePrefs& look, std::string_view key,
                    const SettingValue& value) {
  namespace appearance = panes::appearance;
  if (auto on = bool_of(value)) {
    if (key == "appearance.high_contrast") look.high_contrast = *on;
    if (key == "appearance.reduce_motion") look.reduce_motion = *on;
    return key == "appearance.high_contrast" || key == "appearance.reduce_motion";
  }
  const std::string* text = text_of(value);
  if (text == nullptr) return false;
  if (key == "appearance.theme") {
    if (!appearance::is_theme_label(*text)) return false;
    look.theme = *text;
    return true;
  }
  if (key == "appearance.text_size") {
    const auto scale = appearance::text_scale_for_label(*text);
    if (scale && appearance::text_size_label(look.text_scale) != *text) look.text_scale = *scale;
    return scale.has_value();
  }
  if (key == "appearance.ui_scale") {
    const auto scale = appearance::ui_scale_for_label(*text);
    if (scale && appearance::ui_scale_label(look.ui_scale) != *text) look.ui_scale = *scale;
    return scale.has_value();
  }
  return false;
}

kalu_ui::Result<StoredSetting> store_appearance(std::string_view key, const SettingValue& value) {
  auto look = load_look();
  if (!look) return kalu_ui::fail(look.error());
  stored::AppearancePrefs next = look->value;
  if (!set_appearance(next, key, value)) return refuse(key);
  // A theme chosen is written, whether or not the environment names it too.
  return keep_look(Store::kAppearance, *look, next, key == "appearance.theme");
}

// The vision comforts Accessibility shares with Appearance.
bool is_comfort(std::string_view key) {
  return key == "a11y.high_contrast" || key == "a11y.reduce_motion" || key == "a11y.text_size";
}

kalu_ui::Result<StoredSetting> store_accessibility(std::string_view key,
                                                   const SettingValue& value) {
  namespace a11y = panes::accessibility;
  const a11y::Control* control = a11y::control(key);
  if (control == nullptr) return refuse(key);
  auto look = load_look();
  if (!look) return kalu_ui::fail(look.error());
  auto section = load_section<stored::AccessibilityPrefs>("accessibility");
  if (!section) return kalu_ui::fail(section.error());
  const a11y::Model before{look->value, section->value};
  a11y::Model next = before;
  if (control->is_switch()) {
    const auto on = bool_of(value);
    if (!on) return refuse(key);
    control->set(next, *on);
  } else {
    const std::string* text = text_of(value);
    if (text == nullptr || !a11y::is_label(*control, *text)) return refuse(key);
    // The label the stored value shows already keeps that value.
    if (control->label(before) != *text) control->adopt(next, *text);
  }
  // The comforts are the look's: each control's own section is written.
  if (is_comfort(key)) return keep_look(Store::kAccessibility, *look, next.appearance);
  if (holds(section->members, stored::write_section(next.accessibility))) {
    return StoredSetting{Store::kAccessibility, false, std::nullopt};
  }
  return saved(Store::kAccessibility, save_section("accessibility", next.accessibility));
}

// ---- Region, text assistance, desktop controls and shortcuts --------------

kalu_ui::Result<StoredSetting> store_region(std::string_view key, const SettingValue& value) {
  namespace region = panes::region;
  const std::string* text = text_of(value);
  for (const region::SettingInfo& info : region::settings()) {
    if (info.key != key) continue;
    if (text == nullptr) return refuse(key);
    auto members = prefs_store::load_section("locale");
    if (!members) return kalu_ui::fail(members.error());
    const stored::Locale locale = stored::Locale::load();
    stored::Locale next = locale;
    if (!region::adopt_label(next, info.setting, *text) &&
        region::label_of(locale, info.setting) != *text) {
      return refuse(key);
    }
    if (holds(*members, next.to_json())) return StoredSetting{Store::kLocale, false, std::nullopt};
    auto written = next.save();
    return saved(Store::kLocale, written ? kalu_ui::Status{} : kalu_ui::fail(written.error()));
  }
  return refuse(key);
}

kalu_ui::Result<StoredSetting> store_text_assistance(std::string_view member, std::string_view key,
                                                     const SettingValue& value) {
  const auto on = bool_of(value);
  if (!on) return refuse(key);
  auto section = prefs_store::load_section(stored::TextAssistance::kSection);
  if (!section) return kalu_ui::fail(section.error());
  if (holds(*section, nlohmann::ordered_json{{std::string(member), *on}})) {
    return StoredSetting{Store::kTextAssistance, false, std::nullopt};
  }
  return saved(Store::kTextAssistance, stored::TextAssistance::save(member, *on));
}

kalu_ui::Result<StoredSetting> store_vim_mode(std::string_view key, const SettingValue& value) {
  const auto on = bool_of(value);
  if (!on) return refuse(key);
  prefs_store::DesktopControlsConfig controls = prefs_store::DesktopControlsConfig::load();
  if (controls.vim_mode == *on) return StoredSetting{Store::kDesktopControls, false, std::nullopt};
  controls.vim_mode = *on;
  return saved(Store::kDesktopControls, controls.save());
}

kalu_ui::Result<StoredSetting> store_shortcut(std::uint8_t action, std::string_view key,
                                              const SettingValue& value) {
  const std::string* text = text_of(value);
  if (text == nullptr) return refuse(key);
  prefs_store::ShortcutConfig shortcuts = prefs_store::ShortcutConfig::load();
  if (auto refused = panes::keyboard_shortcuts::chord_refusal(shortcuts, action, *text)) {
    return kalu_ui::fail(std::move(*refused));
  }
  const auto chord = prefs_store::KeyChord::parse(*text);
  if (!chord) return refuse(key);
  const auto id = static_cast<prefs_store::ShortcutAction>(action);
  StoredSetting kept{Store::kShortcuts, false, chord->display()};
  if (shortcuts.chord(id) == *chord) return kept;
  if (shortcuts.set(id, *chord) != prefs_store::SetChordResult::Success) return refuse(key);
  if (auto status = shortcuts.save(); !status) return kalu_ui::fail(status.error());
  kept.changed = true;
  return kept;
}

kalu_ui::Result<StoredSetting> store_in_place(const SettingsAction& action) {
  const auto& [key, value] = std::get<SettingsAction::SetSetting>(action);
  if (key.starts_with("appearance.")) return store_appearance(key, value);
  if (key.starts_with("a11y.")) return store_accessibility(key, value);
  if (key.starts_with("region.")) return store_region(key, value);
  if (key.starts_with("notifications.")) return store_notifications(key, value);
  if (key.starts_with("default_apps.")) return store_default_app(key, value);
  if (key == "text.check_spelling") {
    return store_text_assistance(stored::TextAssistance::kCheckSpelling, key, value);
  }
  if (key == "text.auto_correct") {
    return store_text_assistance(stored::TextAssistance::kAutoCorrect, key, value);
  }
  if (key == "shortcuts.vim_mode") return store_vim_mode(key, value);
  for (const panes::keyboard_shortcuts::ShortcutKey& row :
       panes::keyboard_shortcuts::shortcut_keys()) {
    if (row.id == key) return store_shortcut(row.action, key, value);
  }
  return refuse(key);
}

}  // namespace

kalu_ui::Result<StoredSetting> store_setting(const SettingsAction& action) {
  auto kept = store_in_place(action);
  // Whatever shows a stored value reads it again (lib/stored_notices.h).
  if (kept && kept->changed) lib::note_stored_change();
  return kept;
}

}  // namespace settings::actions
