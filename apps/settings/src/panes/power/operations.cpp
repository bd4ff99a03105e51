// The Power pane's handlers: what a changed control value or a power
// operation does to the device and the settings document, and how the
// operation is completed. A control's change and an automation request run
// the same handler, because both arrive as a value in the state document.

#include <fmt/format.h>

#include <algorithm>
#include <nlohmann/json.hpp>
#include <variant>

#include "actions/doc_readers.h"
#include "kalu_ui/log.h"
#include "operations/keys.h"
#include "panes/power/power_pane.h"
#include "prefs_store/document.h"
#include "stored/sections.h"
#include "stored/settings_prefs.h"

namespace settings::panes::power {
namespace {

namespace doc = kalu_ui::doc;
using C = operations::PowerOperationCases;
using operations::OperationCompletion;

constexpr std::string_view kTarget = "kalu::settings";
constexpr std::string_view kModule = "settings::panes::power";

void put_text(doc::Document& document, std::string_view key, std::string_view text) {
  (void)document.put(doc::kRoot, key, doc::Scalar(std::string(text)));
}

// The field a SetSuspendTimeout's profile names (an unknown one: Performance,
// as its control id).
std::uint32_t stored::PowerPrefs::*suspend_field(std::string_view profile) {
  if (profile == "default") return &stored::PowerPrefs::suspend_minutes;
  if (profile == "saver") return &stored::PowerPrefs::saver_suspend_minutes;
  if (profile == "balanced") return &stored::PowerPrefs::balanced_suspend_minutes;
  return &stored::PowerPrefs::performance_suspend_minutes;
}

std::string already_set(std::string_view label) { return fmt::format("Already set to {}.", label); }

}  // namespace

std::optional<stored::PowerPrefs> PowerPane::stored_prefs() {
  auto document = prefs_store::read_settings_document();
  if (!document || document->unreadable) return std::nullopt;
  if (!document->text) return stored::PowerPrefs{};
  const std::optional<std::string_view> member = stored::member_text(*document->text, "power");
  if (!member) return stored::PowerPrefs{};
  // A section that does not read loads as the defaults, as every load does.
  auto section = stored::read_section_text<stored::PowerPrefs>(*member);
  return section ? *section : stored::PowerPrefs{};
}

std::optional<std::string> PowerPane::already_applied(
    const PowerOperation& operation, const std::optional<stored::PowerPrefs>& stored) const {
  return std::visit(
      [&](const auto& op) -> std::optional<std::string> {
        using T = std::decay_t<decltype(op)>;
        if constexpr (std::is_same_v<T, C::SetChargeLimit>) {
          const auto& capability = readings_.charge_capability;
          if (capability && capability->current == op.percent) {
            return fmt::format("Charge cap is already {}%.", op.percent);
          }
        } else if constexpr (std::is_same_v<T, C::SetProfile>) {
          if (parse_profile(op.profile) == applied_profile_) {
            return fmt::format("{} is already active.", op.profile);
          }
        } else if constexpr (std::is_same_v<T, C::SetAutoSuspend>) {
          if (stored && op.enabled == stored->auto_suspend) {
            return op.enabled ? "Automatic suspend is already on."
                              : "Automatic suspend is already off.";
          }
        } else if constexpr (std::is_same_v<T, C::SetBlankTimeout>) {
          if (stored && parse_blank_lock(op.label) == stored->blank_minutes) {
            return already_set(op.label);
          }
        } else if constexpr (std::is_same_v<T, C::SetLockTimeout>) {
          if (stored && parse_blank_lock(op.label) == stored->lock_minutes) {
            return already_set(op.label);
          }
        } else if constexpr (std::is_same_v<T, C::SetSuspendTimeout>) {
          if (stored && parse_suspend(op.label) == (*stored).*suspend_field(op.profile)) {
            return already_set(op.label);
          }
        } else if constexpr (std::is_same_v<T, C::SetLidAction>) {
          if (stored && parse_action(op.action) == stored->lid_close_action) {
            return already_set(op.action);
          }
        } else if constexpr (std::is_same_v<T, C::SetPowerKeyAction>) {
          if (stored && parse_action(op.action) == stored->power_key_action) {
            return already_set(op.action);
          }
        } else {
          static_assert(std::is_same_v<T, C::SetCriticalAction>);
          if (stored && parse_action(op.action) == stored->critical_action) {
            return already_set(op.action);
          }
        }
        return std::nullopt;
      },
      static_cast<const PowerOperation::variant&>(operation));
}

std::string PowerPane::unapplied(const PowerOperation& operation) const {
  return std::visit(
      [](const auto& op) -> std::string {
        using T = std::decay_t<decltype(op)>;
        if constexpr (std::is_same_v<T, C::SetChargeLimit>) {
          return fmt::format("A {}% charge cap is not offered by this battery.", op.percent);
        } else if constexpr (std::is_same_v<T, C::SetProfile>) {
          return fmt::format("{} is not a power profile this page offers.", op.profile);
        } else if constexpr (std::is_same_v<T, C::SetAutoSuspend>) {
          return "Automatic suspend could not be changed.";
        } else if constexpr (requires { op.label; }) {
          return fmt::format("{} is not a choice this setting offers.", op.label);
        } else {
          return fmt::format("{} is not a choice this setting offers.", op.action);
        }
      },
      static_cast<const PowerOperation::variant&>(operation));
}

// ---- the handlers --------------------------------------------------------------

void PowerPane::apply_profile(doc::Document& document) {
  const std::optional<std::string> label =
      actions::read_doc_text(document, doc::kRoot, kProfileKey);
  if (!label) return;
  const std::optional<PowerProfile> profile = parse_profile(*label);
  if (!profile || *profile == applied_profile_) return;
  const PowerOperation operation{C::SetProfile{*label}};
  if (!link_.may_apply(operation)) {
    put_text(document, kProfileKey, profile_label(applied_profile_));
    return;
  }
  const auto& offered = readings_.profiles.profiles;
  if (std::find(offered.begin(), offered.end(), *profile) == offered.end()) {
    put_text(document, kProfileKey, profile_label(applied_profile_));
    profile_message_ = fmt::format("{} is not supported by this device.", *label);
    request_rebuild();
    link_.complete(operation, kalu_ui::fail("Power profile is not supported by this device."));
    return;
  }
  if (auto status = dispatcher_->set_power_profile(*profile); !status) {
    put_text(document, kProfileKey, profile_label(applied_profile_));
    profile_message_ = fmt::format("Could not change the power profile: {}", status.error());
    request_rebuild();
    link_.complete(operation, kalu_ui::fail(*profile_message_));
    kalu_ui::log::warn(kTarget, kModule, "power pane dispatch failed",
                       {{"op", "set_power_profile"}, {"error", status.error()}});
    return;
  }
  current_profile_ = applied_profile_ = *profile;
  profile_message_ = fmt::format("{} is now active.", profile_label(*profile));
  request_rebuild();
  link_.complete(operation, *profile_message_);
}

void PowerPane::apply_charge_limit(doc::Document& document) {
  const std::optional<std::string> text =
      actions::read_doc_text(document, doc::kRoot, kChargeLimitKey);
  if (!text) return;
  const std::optional<std::uint32_t> percent = parse_charge_limit(*text);
  auto& capability = readings_.charge_capability;
  if (!percent || !capability || *percent == capability->current) return;
  const auto& allowed = capability->allowed;
  if (std::find(allowed.begin(), allowed.end(), *percent) == allowed.end()) return;
  const PowerOperation operation{C::SetChargeLimit{*percent}};
  // The republication of the next sync puts the current cap back.
  if (!link_.may_apply(operation)) return;
  auto confirmed = system_ops::battery::set_charge_limit_checked(*percent);
  request_rebuild();
  if (!confirmed) {
    charge_message_ = fmt::format("Charge cap was not applied: {}", confirmed.error());
    link_.complete(operation, kalu_ui::fail(*charge_message_));
    kalu_ui::log::warn(kTarget, kModule, "battery cap failed",
                       {{"op", "set_charge_limit"}, {"error", confirmed.error()}});
    return;
  }
  readings_.battery.charge_limit = *percent;
  capability = std::move(*confirmed);
  charge_message_ = fmt::format("Hardware confirmed a {}% charge cap.", *percent);
  link_.complete(operation, fmt::format("hardware confirmed a {}% charge cap", *percent));
}

template <typename T>
void PowerPane::apply_preference(doc::Document& document, std::string_view key,
                                 std::optional<T> (*parse)(std::string_view),
                                 std::string_view (*label_of)(T), T stored::PowerPrefs::*field,
                                 PowerOperation (*make)(std::string label),
                                 const std::string& success) {
  std::optional<std::string> label = actions::read_doc_text(document, doc::kRoot, key);
  if (!label) return;
  const std::optional<T> value = parse(*label);
  if (!value) return;
  const PowerOperation operation = make(std::move(*label));
  // A value equal to the applied one needs nothing, unless an operation asks
  // for it: already_applied answered those the stored document holds, so this
  // one was never saved (the document could not be read) and is saved now.
  if (*value == applied_.*field && !(link_.reporting() && link_.pending(operation))) return;
  if (!link_.may_apply(operation)) return;
  stored::PowerPrefs next = prefs_;
  next.*field = *value;
  const kalu_ui::Status saved = save_prefs(next);
  if (saved) {
    prefs_ = next;
    applied_.*field = *value;
  } else {
    // The applied value stays what the document holds; the control shows it.
    put_text(document, key, label_of(applied_.*field));
  }
  link_.complete(operation, saved ? kalu_ui::Result<std::string>(success)
                                  : kalu_ui::Result<std::string>(kalu_ui::fail(saved.error())));
}

void PowerPane::apply_idle_timers(doc::Document& document) {
  if (const std::optional<bool> enabled =
          actions::read_doc_bool(document, doc::kRoot, kAutoSuspendKey)) {
    const PowerOperation operation{C::SetAutoSuspend{*enabled}};
    const bool asked = link_.reporting() && link_.pending(operation);
    if ((*enabled != applied_.auto_suspend || asked) && link_.may_apply(operation)) {
      stored::PowerPrefs next = prefs_;
      next.auto_suspend = *enabled;
      const kalu_ui::Status saved = save_prefs(next);
      if (saved) {
        prefs_ = next;
        applied_.auto_suspend = *enabled;
      } else {
        (void)document.put(doc::kRoot, kAutoSuspendKey, doc::Scalar(applied_.auto_suspend));
      }
      link_.complete(operation,
                     saved ? kalu_ui::Result<std::string>("Automatic suspend preference saved.")
                           : kalu_ui::Result<std::string>(kalu_ui::fail(saved.error())));
    }
  }
  using P = stored::PowerPrefs;
  apply_preference<std::uint32_t>(
      document, kBlankKey, &parse_blank_lock, &blank_label, &P::blank_minutes,
      [](std::string label) { return PowerOperation{C::SetBlankTimeout{std::move(label)}}; },
      "Screen blank timeout saved.");
  apply_preference<std::uint32_t>(
      document, kLockKey, &parse_blank_lock, &lock_label, &P::lock_minutes,
      [](std::string label) { return PowerOperation{C::SetLockTimeout{std::move(label)}}; },
      "Automatic lock timeout saved.");
  apply_preference<std::uint32_t>(
      document, kSuspendKey, &parse_suspend, &suspend_label, &P::suspend_minutes,
      [](std::string label) {
        return PowerOperation{C::SetSuspendTimeout{"default", std::move(label)}};
      },
      "Suspend timeout saved.");
  apply_preference<std::uint32_t>(
      document, kSaverSuspendKey, &parse_suspend, &suspend_label, &P::saver_suspend_minutes,
      [](std::string label) {
        return PowerOperation{C::SetSuspendTimeout{"saver", std::move(label)}};
      },
      "saver suspend timeout saved.");
  apply_preference<std::uint32_t>(
      document, kBalancedSuspendKey, &parse_suspend, &suspend_label, &P::balanced_suspend_minutes,
      [](std::string label) {
        return PowerOperation{C::SetSuspendTimeout{"balanced", std::move(label)}};
      },
      "balanced suspend timeout saved.");
  apply_preference<std::uint32_t>(
      document, kPerformanceSuspendKey, &parse_suspend, &suspend_label,
      &P::performance_suspend_minutes,
      [](std::string label) {
        return PowerOperation{C::SetSuspendTimeout{"performance", std::move(label)}};
      },
      "performance suspend timeout saved.");
}

void PowerPane::apply_power_actions(doc::Document& document) {
  using P = stored::PowerPrefs;
  apply_preference<PowerAction>(
      document, kLidKey, &parse_action, &action_label, &P::lid_close_action,
      [](std::string action) { return PowerOperation{C::SetLidAction{std::move(action)}}; },
      "Lid-close action saved.");
  apply_preference<PowerAction>(
      document, kPowerKeyKey, &parse_action, &action_label, &P::power_key_action,
      [](std::string action) { return PowerOperation{C::SetPowerKeyAction{std::move(action)}}; },
      "Power-key action saved.");
  apply_preference<PowerAction>(
      document, kCriticalKey, &parse_action, &action_label, &P::critical_action,
      [](std::string action) { return PowerOperation{C::SetCriticalAction{std::move(action)}}; },
      "Critical-battery action saved.");
}

kalu_ui::Status PowerPane::save_prefs() { return save_prefs(prefs_); }

kalu_ui::Status PowerPane::save_prefs(const stored::PowerPrefs& prefs) {
  if (auto saved = prefs_store::update_section("power", stored::write_section(prefs)); !saved) {
    kalu_ui::log::warn(kTarget, kModule, "failed to persist power prefs",
                       {{"op", "power_prefs_save"}, {"error", saved.error()}});
    return kalu_ui::fail("Power preference was not saved: {}", saved.error());
  }
  return {};
}

}  // namespace settings::panes::power
