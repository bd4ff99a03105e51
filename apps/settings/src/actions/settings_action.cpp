#include "actions/settings_action.h"

#include <fmt/format.h>

#include <cmath>
#include <memory>
#include <nlohmann/json.hpp>
#include <utility>
#include <variant>

#include "codec/parser.h"
#include "codec/writer.h"
#include "lib/stored_notices.h"
#include "vocabulary/shortcut_keys.h"

namespace settings::actions {

namespace doc = kalu_ui::doc;
using operations::SettingsAction;
using operations::SettingValue;

namespace {

enum class Takes { kBool, kText };

struct FixedKey {
  std::string_view key;
  Takes takes;
};

// The keys of the preference panes, compared in this order.
constexpr FixedKey kFixedKeys[] = {
    {"appearance.theme", Takes::kText},
    {"appearance.text_size", Takes::kText},
    {"appearance.ui_scale", Takes::kText},
    {"region.currency", Takes::kText},
    {"region.date_format", Takes::kText},
    {"region.time_format", Takes::kText},
    {"region.measurement", Takes::kText},
    {"region.number_style", Takes::kText},
    {"region.first_day", Takes::kText},
    {"a11y.text_size", Takes::kText},
    {"a11y.cursor_size", Takes::kText},
    {"a11y.color_filter", Takes::kText},
    {"a11y.magnifier", Takes::kText},
    {"a11y.switch_keys", Takes::kText},
    {"a11y.switch_scan", Takes::kText},
    {"a11y.reader_rate", Takes::kText},
    {"a11y.reader_voice", Takes::kText},
    {"appearance.high_contrast", Takes::kBool},
    {"appearance.reduce_motion", Takes::kBool},
    {"a11y.high_contrast", Takes::kBool},
    {"a11y.reduce_motion", Takes::kBool},
    {"a11y.large_cursor", Takes::kBool},
    {"a11y.sticky_keys", Takes::kBool},
    {"a11y.slow_keys", Takes::kBool},
    {"a11y.on_screen_keyboard", Takes::kBool},
    {"a11y.visual_alerts", Takes::kBool},
    {"a11y.screen_reader", Takes::kBool},
    {"a11y.cursor_crosshair", Takes::kBool},
    {"a11y.thick_text_caret", Takes::kBool},
    {"a11y.switch_control", Takes::kBool},
    {"shortcuts.vim_mode", Takes::kBool},
    {"notifications.do_not_disturb", Takes::kBool},
    {"notifications.show_banners", Takes::kBool},
    {"notifications.show_previews", Takes::kBool},
    {"notifications.play_sounds", Takes::kBool},
    {"notifications.show_on_lock_screen", Takes::kBool},
    {"notifications.show_badges", Takes::kBool},
    {"notifications.focus.enabled", Takes::kBool},
    {"text.check_spelling", Takes::kBool},
    {"text.auto_correct", Takes::kBool},
    {"notifications.focus.start", Takes::kText},
    {"notifications.focus.end", Takes::kText},
    {"notifications.focus.days", Takes::kText},
};

constexpr std::string_view kNotificationAppPrefix = "notifications.app.";
constexpr std::string_view kDefaultAppsPrefix = "default_apps.";

bool takes(Takes kind, const SettingValue& value) {
  if (kind == Takes::kBool) return std::holds_alternative<SettingValue::Bool>(value);
  const auto* text = std::get_if<SettingValue::Text>(&value);
  return text != nullptr && !text->value.empty() && text->value.size() <= kMaxSettingTextBytes;
}

// The control values that a page derives from a setting ("<key>.edit" for the
// widget's own value, "<key>.error" for its failure flag) belong to the page,
// never to an action.
bool is_edit_or_error(std::string_view key) {
  const std::size_t dot = key.rfind('.');
  if (dot == std::string_view::npos) return false;
  const std::string_view last = key.substr(dot + 1);
  return last == "edit" || last == "error";
}

bool is_app_id_byte(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
         c == '.' || c == '_';
}

// "notifications.app.<application id>.<field>": the id is everything up to
// the last dot, so ids with dots ("mail.client") are fine.
bool notification_app_key_accepts(std::string_view key, const SettingValue& value) {
  if (!key.starts_with(kNotificationAppPrefix)) return false;
  const std::string_view rest = key.substr(kNotificationAppPrefix.size());
  const std::size_t dot = rest.rfind('.');
  if (dot == std::string_view::npos) return false;
  const std::string_view app_id = rest.substr(0, dot);
  const std::string_view field = rest.substr(dot + 1);
  if (app_id.empty() || app_id.size() > kMaxNotificationAppIdBytes) return false;
  for (char c : app_id) {
    if (!is_app_id_byte(c)) return false;
  }
  if (field == "mute") return takes(Takes::kText, value);
  for (std::string_view flag :
       {"banners", "previews", "sounds", "badges", "priority", "priority_contacts"}) {
    if (field == flag) return takes(Takes::kBool, value);
  }
  return false;
}

bool setting_accepts(std::string_view key, const SettingValue& value) {
  const bool app_rule = notification_app_key_accepts(key, value);
  for (const FixedKey& fixed : kFixedKeys) {
    if (key == fixed.key) return takes(fixed.takes, value);
  }
  if (!is_edit_or_error(key) &&
      (panes::keyboard_shortcuts::is_shortcut_key(key) || key.starts_with(kDefaultAppsPrefix))) {
    return takes(Takes::kText, value);
  }
  return app_rule;
}

// True when the key already holds this very scalar; then nothing is written,
// so a repeated action leaves the document's heads alone.
bool already_holds(const doc::Document& document, std::string_view key, const SettingValue& value) {
  if (const auto* flag = std::get_if<SettingValue::Bool>(&value)) {
    return document.read_bool(doc::kRoot, key) == flag->value;
  }
  const auto current = document.get(doc::kRoot, key);
  if (!current) return false;
  const auto* scalar = std::get_if<doc::Scalar>(&*current);
  const auto* text = scalar ? std::get_if<std::string>(scalar) : nullptr;
  return text != nullptr && *text == std::get<SettingValue::Text>(value).value;
}

std::string debug_float(double value) {
  if (std::isnan(value)) return "NaN";
  if (std::isinf(value)) return value > 0 ? "inf" : "-inf";
  std::string text;
  codec::append_float(text, value);
  return text;
}

}  // namespace

kalu_ui::Status apply_setting(const SettingsAction& action, doc::Document& document,
                              const SettingKeeper& keeper) {
  const auto& set = std::get<SettingsAction::SetSetting>(action);
  if (!setting_accepts(set.key, set.value)) {
    return kalu_ui::fail(
        fmt::format("settings target is stale, unknown, or has an invalid value: {}", set.key));
  }
  if (keeper) {
    auto kept = keeper(action);
    if (!kept) return kalu_ui::fail(std::move(kept.error()));
    if (kept->text) {
      const SettingValue as_kept = SettingValue::Text{*kept->text};
      if (already_holds(document, set.key, as_kept)) return {};
      return document.put(doc::kRoot, set.key, doc::Scalar(std::move(*kept->text)));
    }
  }
  if (already_holds(document, set.key, set.value)) return {};
  if (const auto* flag = std::get_if<SettingValue::Bool>(&set.value)) {
    return document.put(doc::kRoot, set.key, doc::Scalar(flag->value));
  }
  return document.put(doc::kRoot, set.key,
                      doc::Scalar(std::get<SettingValue::Text>(set.value).value));
}

std::string TypedSettingsAction::debug_text() const {
  const auto& set = std::get<SettingsAction::SetSetting>(action_);
  const std::string value = std::visit(
      [](const auto& v) -> std::string {
        using V = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<V, SettingValue::Bool>) {
          return v.value ? "Bool(true)" : "Bool(false)";
        } else if constexpr (std::is_same_v<V, SettingValue::Int>) {
          return fmt::format("Int({})", v.value);
        } else if constexpr (std::is_same_v<V, SettingValue::Float>) {
          return fmt::format("Float({})", debug_float(v.value));
        } else {
          return fmt::format("Text({})", codec::debug_quoted(v.value));
        }
      },
      static_cast<const SettingValue::variant&>(set.value));
  return fmt::format("SetSetting {{ key: {}, value: {} }}", codec::debug_quoted(set.key), value);
}

kalu_ui::Status TypedSettingsAction::apply(doc::Document& document) const {
  kalu_ui::Status applied = apply_setting(action_, document, keeper_);
  // The preference page shown puts the edit back with why, in the next frame.
  if (!applied) lib::note_refused_edit(fmt::format("Not saved: {}", applied.error()));
  return applied;
}

std::string TypedSettingsAction::payload_json() const { return operations::write_record(action_); }

kalu_actions::ActionResult<std::unique_ptr<kalu_actions::TypedAction>>
SettingsActionHandler::decode(std::span<const std::uint8_t> payload) const {
  auto action = operations::read_record<SettingsAction>(payload);
  if (!action) {
    return std::unexpected(
        kalu_actions::ActionError::invalid_payload(namespace_id_, std::move(action.error())));
  }
  return std::make_unique<TypedSettingsAction>(std::move(*action), keeper_);
}

void register_action_handler(kalu_actions::ActionRegistry& registry, std::string_view namespace_id,
                             SettingKeeper keeper) {
  registry.insert(std::string(namespace_id), std::make_shared<SettingsActionHandler>(
                                                 std::string(namespace_id), std::move(keeper)));
}

void register_settings_action_handler(kalu_actions::ActionRegistry& registry) {
  register_action_handler(registry, kSettingsActionNamespace, &store_setting);
}

kalu_actions::EncodedAction settings_action_invocation(const SettingsAction& action) {
  return kalu_actions::EncodedAction::from_text(std::string(kSettingsActionNamespace),
                                                operations::write_record(action));
}

kalu_actions::ActionContext settings_action_context(std::string_view app_id,
                                                    std::string_view app_title,
                                                    const SettingsAction& action) {
  kalu_actions::ActionContext context;
  const nlohmann::ordered_json tree = operations::to_tree(action);
  if (tree.is_string()) {
    context.label = kalu_actions::humanize_identifier(tree.get_ref<const std::string&>());
  } else if (tree.is_object() && tree.size() == 1) {
    context.label = kalu_actions::humanize_identifier(tree.begin().key());
  } else {
    context.label = "Update";
  }
  context.application = {std::string(app_id), std::string(app_title)};
  return context;
}

}  // namespace settings::actions
