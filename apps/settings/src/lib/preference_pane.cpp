#include "lib/preference_pane.h"

#include <utility>
#include <variant>

#include "kalu_ui/log.h"

namespace settings::lib {
namespace {

namespace doc = kalu_ui::doc;

// Whether the document holds `value` under `key`: a bool as a bool, a text as
// a string or a text object, nothing as no value or null.
bool holds(const doc::Document& document, std::string_view key, const doc::Scalar& value) {
  if (std::holds_alternative<doc::Null>(value)) {
    const auto held = document.get(doc::kRoot, key);
    const auto* scalar = held ? std::get_if<doc::Scalar>(&*held) : nullptr;
    return !held || (scalar != nullptr && std::holds_alternative<doc::Null>(*scalar));
  }
  if (const bool* flag = std::get_if<bool>(&value)) {
    return document.read_bool(doc::kRoot, key) == *flag;
  }
  if (const auto* text = std::get_if<std::string>(&value)) {
    return document.read_text(doc::kRoot, key) == *text;
  }
  const auto held = document.get(doc::kRoot, key);
  const auto* scalar = held ? std::get_if<doc::Scalar>(&*held) : nullptr;
  return scalar != nullptr && *scalar == value;
}

void put(doc::Document& document, std::string_view key, const doc::Scalar& value) {
  if (holds(document, key, value)) return;
  if (auto written = document.put(doc::kRoot, key, value); !written) {
    kalu_ui::log::warn(
        "kalu::settings", "settings::lib::preference_pane", "failed to show a setting",
        {{"op", "show_setting"}, {"key", std::string(key)}, {"error", written.error()}});
  }
}

}  // namespace

std::string edit_key(std::string_view key) { return std::string(key) + ".edit"; }

PreferencePane::Drift PreferencePane::drift(const doc::Document& document,
                                            const std::vector<ShownSetting>& shown,
                                            bool with_edit_keys) {
  Drift found = Drift::kNone;
  for (const ShownSetting& setting : shown) {
    if (!holds(document, setting.key, setting.value)) return Drift::kSetting;
    if (with_edit_keys && !holds(document, edit_key(setting.key), setting.value)) {
      found = Drift::kEdit;
    }
  }
  return found;
}

void PreferencePane::show(doc::Document& document, const std::vector<ShownSetting>& shown,
                          bool with_edit_keys) {
  for (const ShownSetting& setting : shown) {
    put(document, setting.key, setting.value);
    if (with_edit_keys) put(document, edit_key(setting.key), setting.value);
  }
}

void PreferencePane::sync(doc::Document& document) {
  const Drift found = std::exchange(first_sync_, false) ? Drift::kSetting
                                                        : drift(document, shown_, with_edit_keys_);
  if (found == Drift::kSetting) {
    if (reload()) request_rebuild();
    shown_ = shown();
  }
  if (found == Drift::kEdit) edits_refused(document);
  if (found != Drift::kNone) show(document, shown_, with_edit_keys_);
  PagePane::sync(document);
}

}  // namespace settings::lib
