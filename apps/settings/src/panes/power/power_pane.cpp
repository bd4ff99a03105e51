#include "panes/power/power_pane.h"

#include <utility>
#include <variant>

#include "actions/doc_readers.h"
#include "actions/preference_context.h"
#include "kalu_ui/layout.h"
#include "lib/dispatcher.h"
#include "panes/power/page.h"
#include "stored/settings_prefs.h"

namespace settings::panes::power {
namespace {

namespace doc = kalu_ui::doc;
using kalu_ui::layout::NodeId;

void put_text(doc::Document& document, std::string_view key, std::string_view text) {
  // Writing a scalar under a key of the root cannot fail.
  (void)document.put(doc::kRoot, key, doc::Scalar(std::string(text)));
}

void put_bool(doc::Document& document, std::string_view key, bool value) {
  (void)document.put(doc::kRoot, key, doc::Scalar(value));
}

// The control id a SetSuspendTimeout's profile names.
std::string_view suspend_key(std::string_view profile) {
  if (profile == "default") return kSuspendKey;
  if (profile == "saver") return kSaverSuspendKey;
  if (profile == "balanced") return kBalancedSuspendKey;
  return kPerformanceSuspendKey;
}

// Writes the value an operation asks for under its control id.
void write_operation(doc::Document& document, const PowerOperation& operation) {
  using C = operations::PowerOperationCases;
  std::visit(
      [&](const auto& op) {
        using T = std::decay_t<decltype(op)>;
        if constexpr (std::is_same_v<T, C::SetChargeLimit>) {
          put_text(document, kChargeLimitKey, charge_limit_text(op.percent));
        } else if constexpr (std::is_same_v<T, C::SetProfile>) {
          put_text(document, kProfileKey, op.profile);
        } else if constexpr (std::is_same_v<T, C::SetAutoSuspend>) {
          put_bool(document, kAutoSuspendKey, op.enabled);
        } else if constexpr (std::is_same_v<T, C::SetBlankTimeout>) {
          put_text(document, kBlankKey, op.label);
        } else if constexpr (std::is_same_v<T, C::SetLockTimeout>) {
          put_text(document, kLockKey, op.label);
        } else if constexpr (std::is_same_v<T, C::SetSuspendTimeout>) {
          put_text(document, suspend_key(op.profile), op.label);
        } else if constexpr (std::is_same_v<T, C::SetLidAction>) {
          put_text(document, kLidKey, op.action);
        } else if constexpr (std::is_same_v<T, C::SetPowerKeyAction>) {
          put_text(document, kPowerKeyKey, op.action);
        } else {
          static_assert(std::is_same_v<T, C::SetCriticalAction>);
          put_text(document, kCriticalKey, op.action);
        }
      },
      static_cast<const PowerOperation::variant&>(operation));
}

}  // namespace

void put_text_if_changed(doc::Document& document, std::string_view key, std::string_view text) {
  if (actions::read_doc_text(document, doc::kRoot, key) == text) return;
  put_text(document, key, text);
}

PowerPane::PowerPane() : PowerPane(read_power_readings(), lib::dispatcher_or_default()) {}

PowerPane::PowerPane(PowerReadings readings, std::shared_ptr<system_ops::Dispatcher> dispatcher)
    : readings_(std::move(readings)),
      profile_message_(readings_.profiles.message),
      dispatcher_(lib::dispatcher_or_default(std::move(dispatcher))),
      prefs_(stored::SettingsPrefs::load().power),
      applied_(prefs_),
      current_profile_(readings_.profiles.current),
      applied_profile_(current_profile_) {}

PowerPane::~PowerPane() = default;
PowerPane::PowerPane(PowerPane&&) noexcept = default;
PowerPane& PowerPane::operator=(PowerPane&&) noexcept = default;

// ---- sync ---------------------------------------------------------------------

void PowerPane::sync(doc::Document& toolkit_document) {
  doc::Document& work = link_.working(toolkit_document);
  if (needs_publish_) publish_all(work);
  take_request(work);
  if (link_.reporting() && !completion_pending()) {
    republish_applied(work);
  } else {
    run_handlers(work);
  }
  PagePane::sync(work);
}

void PowerPane::publish_all(doc::Document& document) {
  put_text(document, kProfileKey, profile_label(current_profile_));
  put_bool(document, kAutoSuspendKey, prefs_.auto_suspend);
  put_text(document, kSuspendKey, suspend_label(prefs_.suspend_minutes));
  put_text(document, kBlankKey, blank_label(prefs_.blank_minutes));
  put_text(document, kLockKey, lock_label(prefs_.lock_minutes));
  put_text(document, kSaverSuspendKey, suspend_label(prefs_.saver_suspend_minutes));
  put_text(document, kBalancedSuspendKey, suspend_label(prefs_.balanced_suspend_minutes));
  put_text(document, kPerformanceSuspendKey, suspend_label(prefs_.performance_suspend_minutes));
  put_text(document, kLidKey, action_label(prefs_.lid_close_action));
  put_text(document, kPowerKeyKey, action_label(prefs_.power_key_action));
  put_text(document, kCriticalKey, action_label(prefs_.critical_action));
  if (readings_.charge_capability) {
    put_text(document, kChargeLimitKey, charge_limit_text(readings_.charge_capability->current));
  }
  applied_ = prefs_;
  needs_publish_ = false;
}

void PowerPane::take_request(doc::Document& document) {
  const std::optional<PowerOperation> taken = link_.take();
  if (!taken) return;
  const PowerOperation& operation = *taken;
  // The stored document is the truth a request is answered against; the
  // pane's values follow it whenever it reads.
  const std::optional<stored::PowerPrefs> stored = stored_prefs();
  if (stored && link_.reporting()) prefs_ = applied_ = *stored;
  if (std::optional<std::string> already = already_applied(operation, stored)) {
    link_.complete(operation, std::move(*already));
    return;
  }
  write_operation(document, operation);
  run_handlers(document);
  // The handlers apply what they can; what they could not still ends here,
  // so nobody waits on an operation this pane has taken.
  if (link_.pending(operation)) link_.complete(operation, kalu_ui::fail(unapplied(operation)));
}

void PowerPane::republish_applied(doc::Document& document) {
  put_text_if_changed(document, kProfileKey, profile_label(applied_profile_));
  if (actions::read_doc_bool(document, doc::kRoot, kAutoSuspendKey) != applied_.auto_suspend) {
    put_bool(document, kAutoSuspendKey, applied_.auto_suspend);
  }
  put_text_if_changed(document, kBlankKey, blank_label(applied_.blank_minutes));
  put_text_if_changed(document, kLockKey, lock_label(applied_.lock_minutes));
  put_text_if_changed(document, kSuspendKey, suspend_label(applied_.suspend_minutes));
  put_text_if_changed(document, kSaverSuspendKey, suspend_label(applied_.saver_suspend_minutes));
  put_text_if_changed(document, kBalancedSuspendKey,
                      suspend_label(applied_.balanced_suspend_minutes));
  put_text_if_changed(document, kPerformanceSuspendKey,
                      suspend_label(applied_.performance_suspend_minutes));
  put_text_if_changed(document, kLidKey, action_label(applied_.lid_close_action));
  put_text_if_changed(document, kPowerKeyKey, action_label(applied_.power_key_action));
  put_text_if_changed(document, kCriticalKey, action_label(applied_.critical_action));
  if (readings_.charge_capability) {
    put_text_if_changed(document, kChargeLimitKey,
                        charge_limit_text(readings_.charge_capability->current));
  }
}

void PowerPane::run_handlers(doc::Document& document) {
  apply_profile(document);
  apply_charge_limit(document);
  apply_idle_timers(document);
  apply_power_actions(document);
}

bool PowerPane::completion_pending() const {
  return std::holds_alternative<operations::OperationCompletion::Pending>(
      link_.completion_cell()->get());
}

// ---- the widget -------------------------------------------------------------------

NodeId PowerPane::build_layout(kalu_ui::layout::LayoutTree& tree,
                               const kalu_ui::RenderContext& context,
                               kalu_ui::layout::NodeRegistry& registry) {
  return lay_out_page(tree, context, registry, build_page(*this));
}

std::optional<kalu_actions::ActionContext> PowerPane::take_permission_request() {
  return actions::preference_pane_context(take_interaction(), "power", "Power",
                                          "Change power preferences");
}

}  // namespace settings::panes::power
