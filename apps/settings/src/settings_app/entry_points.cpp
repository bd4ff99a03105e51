// The operation entry points of the application object: which action ids it
// handles, starting one (device-local operations to the executor, account
// operations to the account branch, everything else down the tree), carrying
// one out at once, and polling a started one.

#include "settings_app/entry_points.h"

#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <nlohmann/json.hpp>
#include <string>
#include <utility>

#include "operations/records.h"
#include "operations/table.h"
#include "settings_app/provider_operations.h"
#include "settings_app/settings_app.h"

namespace settings::settings_app {

using kalu_ui::DeviceLocalOutcome;
using kalu_ui::ResourceOperationId;
using kalu_ui::ResourceOperationStatus;

namespace {

namespace op = operations;

constexpr std::string_view kOpenPane = "settings.open-pane";
constexpr std::string_view kAccountOperation = op::kOperationActionId<op::AccountOperation>;
constexpr std::string_view kUpdateOperation = op::kOperationActionId<op::UpdateOperation>;
constexpr std::string_view kProviderOperation = op::kOperationActionId<op::AgentProviderOperation>;

// In the order resource_operation_kinds answers them: opening a pane, the
// account operation, the device-local ones, the provider operation.
constexpr auto kOperationKinds = [] {
  std::array<std::string_view, op::kDeviceLocalActionIds.size() + 3> kinds{};
  std::size_t n = 0;
  kinds[n++] = kOpenPane;
  kinds[n++] = kAccountOperation;
  for (const std::string_view id : op::kDeviceLocalActionIds) kinds[n++] = id;
  kinds[n++] = kProviderOperation;
  return kinds;
}();

std::string_view payload_text(kalu_ui::Payload payload) {
  return {reinterpret_cast<const char*>(payload.data()), payload.size()};
}

// What a device-local operation sent with a kind it does not take is told:
// the kind it takes. "settings.power-operation" reads "power operation".
std::string kind_mismatch(std::string_view action_id, int kind) {
  std::string what(action_id);
  if (what.starts_with("settings.")) what.erase(0, std::string_view("settings.").size());
  if (what.ends_with("-operation"))
    what.resize(what.size() - std::string_view("-operation").size());
  std::ranges::replace(what, '-', ' ');
  if (action_id == kUpdateOperation) {
    return fmt::format(
        "operation kind does not match update operation: {} takes operation kind 1 (kind 2 for "
        "\"ReviewRollback\" only), not {}",
        action_id, kind);
  }
  return fmt::format(
      "operation kind does not match {} operation: {} takes operation kind 1, not {}", what,
      action_id, kind);
}

}  // namespace

ResourceOperationStatus succeeded_status(const ResourceOperationId& id,
                                         const std::string& message) {
  // The message for people is the outcome's text; its value carries the same
  // sentence as a JSON string, for the clients that read it there. Bytes that
  // are not UTF-8 are replaced rather than let the writer throw.
  kalu_ui::ResourceOperationOutcome outcome;
  outcome.value_json =
      nlohmann::json(message).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
  outcome.text = nlohmann::json::parse(*outcome.value_json).get<std::string>();
  return {ResourceOperationStatus::Succeeded{std::move(outcome), id}};
}

ResourceOperationStatus failed_status(const ResourceOperationId& id, std::string code,
                                      std::string message, bool flag) {
  return {
      ResourceOperationStatus::Failed{std::move(code), std::move(message), std::nullopt, flag, id}};
}

std::vector<std::string_view> SettingsApp::resource_operation_kinds() const {
  return {kOperationKinds.begin(), kOperationKinds.end()};
}

DeviceLocalOutcome SettingsApp::start_resource_operation_with_document(
    const ResourceOperationId& operation_id, kalu_ui::OperationKind kind,
    std::string_view action_id, kalu_ui::Payload payload,
    kalu_ui::ResourceOperationContext& context) {
  if (op::is_device_local(action_id)) {
    if (kind == 1) return executor_.start(operation_id, action_id, payload);
    // Only Updates' ReviewRollback is carried out at once (kind 2); any
    // other kind would end as "no handler", which names nothing to fix.
    if (action_id != kUpdateOperation || kind != 2) {
      return DeviceLocalOutcome::rejected(kind_mismatch(action_id, kind));
    }
  }
  if (action_id == kAccountOperation) return account_branch_.start(operation_id, kind, payload);
  // Offered to the shell and its panes first, then to our own invoke.
  return Widget::start_resource_operation(operation_id, kind, action_id, payload, context);
}

kalu_ui::Result<bool> SettingsApp::invoke_resource_operation(kalu_ui::OperationKind kind,
                                                             std::string_view action_id,
                                                             kalu_ui::Payload payload,
                                                             kalu_ui::ResourceOperationContext&) {
  auto done = invoke_own_operation(kind, action_id, payload);
  if (!done) return std::unexpected(std::move(done.error()));
  return done->has_value();
}

kalu_ui::ResourceInvokeResult SettingsApp::invoke_resource_operation_v2(
    kalu_ui::OperationKind kind, std::string_view action_id, kalu_ui::Payload payload,
    kalu_ui::ResourceOperationContext&) {
  auto done = invoke_own_operation(kind, action_id, payload);
  if (!done) return kalu_ui::ResourceInvokeResult::rejected(std::move(done.error()));
  if (!*done) return kalu_ui::ResourceInvokeResult::not_handled();
  // Said the way a finished operation says it: the text, and the same
  // sentence as a JSON string for the clients that read the value.
  auto status = succeeded_status(ResourceOperationId{}, **done);
  return kalu_ui::ResourceInvokeResult::completed(
      std::move(std::get<ResourceOperationStatus::Succeeded>(status.value).outcome));
}

kalu_ui::Result<std::optional<std::string>> SettingsApp::invoke_own_operation(
    kalu_ui::OperationKind kind, std::string_view action_id, kalu_ui::Payload payload) {
  if (action_id == kUpdateOperation && kind == 2) {
    auto operation = operations::read_record<operations::UpdateOperation>(payload);
    if (!operation) return kalu_ui::fail(std::move(operation.error()));
    if (!std::holds_alternative<operations::UpdateOperation::ReviewRollback>(*operation)) {
      return kalu_ui::fail(
          "operation kind does not match update operation: {} takes operation kind 1; kind 2 "
          "takes only \"ReviewRollback\"",
          operations::write_record(*operation));
    }
    select_pane(panes::Pane::kUpdates);
    return std::string("Opened Updates to review the rollback.");
  }
  if (op::is_device_local(action_id)) return kalu_ui::fail(kind_mismatch(action_id, kind));
  if (action_id == kProviderOperation) {
    auto done = run_provider_operation(kind, payload);
    if (!done) return kalu_ui::fail(std::move(done.error()));
    // Agent Models may be shown already, which selecting does not rebuild:
    // the pane rebuilds its page itself, keeping its drafts and operations.
    (void)cells_.agent_models_providers_changed->publish(true);
    select_pane(panes::Pane::kAgentModels);
    return std::move(*done);
  }
  if (action_id == kAccountOperation) {
    auto done = account_branch_.invoke(kind, payload);
    if (!done) return kalu_ui::fail(std::move(done.error()));
    return std::move(*done);
  }
  if (action_id == kOpenPane && kind == 2) {
    auto id = operations::read_open_pane_payload(payload_text(payload));
    if (!id) return kalu_ui::fail(std::move(id.error()));
    auto pane = panes::pane_by_id(*id);
    if (!pane) return kalu_ui::fail("Settings pane is no longer available");
    select_pane(*pane);
    return fmt::format("Opened {}.", panes::pane_row(*pane).title);
  }
  return std::nullopt;
}

std::optional<ResourceOperationStatus> SettingsApp::poll_resource_operation(
    const ResourceOperationId& operation_id, bool cancel,
    kalu_ui::ResourceOperationContext& context) {
  if (cancel) {
    if (DeviceLocalPoll device_local = executor_.cancel(operation_id); device_local.owned) {
      return std::move(device_local.status);
    }
  } else if (DeviceLocalPoll device_local = executor_.poll(operation_id); device_local.owned) {
    return std::move(device_local.status);
  }
  if (DeviceLocalPoll account = account_branch_.poll(operation_id, cancel); account.owned) {
    return std::move(account.status);
  }
  if (shell_) return shell_->poll_resource_operation(operation_id, cancel, context);
  return std::nullopt;
}

void SettingsApp::set_account_probe(account_probe::SharedAccountProbe probe) {
  cells_.account_probe = std::move(probe);
}

}  // namespace settings::settings_app
