#pragma once

// The "settings.action" namespace: how a preference is set, by an automation
// client, by a page control through the control replay, or by a pane. The
// payload is a `SettingsAction` (operations/records.h); the registered handler
// decodes it, and applying it checks that the key is one the application
// knows and that the value is of the kind the key takes, has the setting
// kept where it is stored (setting_store.h), and writes the value under its
// key. The application's handler keeps every setting; a pane that shows one
// reads the stored preference and follows the document.
//
//   actions::register_settings_action_handler(registry);
//   host.dispatch(document, actions::kSettingsActionNamespace, payload, context);

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "actions/preference_context.h"
#include "actions/setting_store.h"
#include "kalu_actions/context.h"
#include "kalu_actions/dispatch.h"
#include "kalu_actions/encoded_action.h"
#include "kalu_ui/document.h"
#include "kalu_ui/result.h"
#include "operations/records.h"

namespace settings::actions {

inline constexpr std::string_view kSettingsActionNamespace = "settings.action";
// The identity every set-setting dispatch of the application carries.
// (kSettingsAppTitle is preference_context.h's: both name the one application.)
inline constexpr std::string_view kSettingsAppId = kSettingsAppIdentity;

// Longest text a setting takes, in bytes; the empty text is refused too.
inline constexpr std::size_t kMaxSettingTextBytes = 1024;
// Longest application id of a per-application notification key, in bytes.
inline constexpr std::size_t kMaxNotificationAppIdBytes = 160;

// Keeps a setting before the document takes it: store_setting for the
// application. A refusal refuses the action.
using SettingKeeper =
    std::function<kalu_ui::Result<StoredSetting>(const operations::SettingsAction&)>;

// Writes the action's value under its key at the document's root. Refused,
// with the document unchanged, when the key is unknown, stale or malformed or
// the value is not of the kind the key takes ("settings target is stale,
// unknown, or has an invalid value: <key>"); `Int` and `Float` are refused for
// every key. With a keeper the setting is kept first: what the keeper refuses
// is refused with the document unchanged, and the text it keeps for the
// value is the one written. A key that already holds the very value is left
// alone, so the document records no change. A write error is answered as it
// stands. (Not called `apply`: the action is a std::variant, so an
// unqualified call would also find std::apply.)
kalu_ui::Status apply_setting(const operations::SettingsAction& action,
                              kalu_ui::doc::Document& document, const SettingKeeper& keeper = {});

// The decoded action the namespace handler hands to the framework, with the
// handler's keeper.
class TypedSettingsAction final : public kalu_actions::TypedAction {
 public:
  explicit TypedSettingsAction(operations::SettingsAction action, SettingKeeper keeper = {})
      : action_(std::move(action)), keeper_(std::move(keeper)) {}

  const operations::SettingsAction& action() const { return action_; }
  // `SetSetting { key: "appearance.theme", value: Text("Dark") }`.
  std::string debug_text() const override;
  kalu_ui::Status apply(kalu_ui::doc::Document& document) const override;
  // The compact JSON the invocation carries.
  std::string payload_json() const;

 private:
  operations::SettingsAction action_;
  SettingKeeper keeper_;
};

// The registry's handler of one namespace (in practice "settings.action").
class SettingsActionHandler final : public kalu_actions::NamespaceHandler {
 public:
  explicit SettingsActionHandler(std::string namespace_id, SettingKeeper keeper = {})
      : namespace_id_(std::move(namespace_id)), keeper_(std::move(keeper)) {}

  const std::string& namespace_id() const { return namespace_id_; }
  // Reads the payload as a `SettingsAction`; an unreadable one is the
  // framework's invalid-payload error with the namespace and the reader's text.
  kalu_actions::ActionResult<std::unique_ptr<kalu_actions::TypedAction>> decode(
      std::span<const std::uint8_t> payload) const override;

 private:
  std::string namespace_id_;
  SettingKeeper keeper_;
};

// Registers a `SettingsActionHandler` for `namespace_id` that writes the
// document only; a handler registered before under that namespace is
// dropped.
void register_action_handler(kalu_actions::ActionRegistry& registry, std::string_view namespace_id,
                             SettingKeeper keeper = {});

// The application's registration: the handler of "settings.action", keeping
// every setting where it is stored (store_setting).
void register_settings_action_handler(kalu_actions::ActionRegistry& registry);

// The invocation of a set-setting action: "settings.action" and the action's
// compact JSON.
kalu_actions::EncodedAction settings_action_invocation(const operations::SettingsAction& action);

// The context of a set-setting dispatch: labelled after the action's variant
// ("Set setting"), else "Update", and carrying the application's identity.
kalu_actions::ActionContext settings_action_context(std::string_view app_id,
                                                    std::string_view app_title,
                                                    const operations::SettingsAction& action);

}  // namespace settings::actions
