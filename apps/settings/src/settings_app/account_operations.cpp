// The account branch of the operation entry points: forms opened, submitted
// and closed in the External Accounts pane through its request cell, the
// connection check of a saved account on a worker thread, and the removal
// of an account.

#include <fmt/format.h>

#include <string>
#include <utility>

#include "accounts/kinds.h"
#include "accounts/stores.h"
#include "operations/keys.h"
#include "operations/records.h"
#include "panes/accounts/operations.h"
#include "settings_app/entry_points.h"
#include "settings_app/settings_app.h"

namespace settings::settings_app {

using kalu_ui::DeviceLocalOutcome;
using kalu_ui::ResourceOperationId;
using kalu_ui::ResourceOperationStatus;
using Op = operations::AccountOperation;
using Request = operations::AccountPaneRequest;

namespace {

constexpr std::string_view kAccountOperation = "settings.account-operation";
constexpr std::string_view kKindMismatch = "operation kind does not match account operation";
constexpr std::string_view kGone = "account no longer exists";

template <typename... Cases>
bool holds_any(const Op& op) {
  return (std::holds_alternative<Cases>(op) || ...);
}

kalu_ui::Payload payload_of(const std::string& json) {
  return {reinterpret_cast<const std::uint8_t*>(json.data()), json.size()};
}

// The refusal of a variant sent with a kind it does not take, saying which.
std::string kind_mismatch(kalu_ui::OperationKind kind, const Op& op) {
  // Kind 1 runs the saves, the connection check and the removal; 2 moves the
  // forms (opening, closing, editing).
  const bool effect =
      holds_any<Op::SubmitForm, Op::SubmitReauthentication, Op::Test, Op::Remove>(op);
  return fmt::format("{}: {} takes operation kind {}, not {}", kKindMismatch,
                     operations::write_record(op), effect ? 1 : 2, kind);
}

// What an invocation of `kind` publishes for `op` into the account-request
// cell; none with the error when the kind and the variant do not fit.
kalu_ui::Result<Request> account_request(kalu_ui::OperationKind kind, const Op& op) {
  auto mismatch = [&] { return kalu_ui::fail(kind_mismatch(kind, op)); };
  if (kind == 0) return mismatch();
  if (kind == 1) {
    if (std::holds_alternative<Op::SubmitForm>(op)) return Request(Request::SubmitForm{});
    if (std::holds_alternative<Op::SubmitReauthentication>(op)) {
      return Request(Request::SubmitReauthentication{});
    }
    return mismatch();
  }
  if (const auto* add = std::get_if<Op::Add>(&op)) {
    auto account_kind = accounts::kind_from_short_name(add->kind);
    if (!account_kind) {
      std::string kinds;
      for (const accounts::AccountKind known : accounts::kAccountKinds) {
        kinds += fmt::format("{}{}", kinds.empty() ? "" : ", ", accounts::short_name(known));
      }
      return kalu_ui::fail(fmt::format("unknown account kind; kind must be one of {}", kinds));
    }
    return Request(Request::OpenAddForm{*account_kind});
  }
  // Edit opens the account exactly as Open does.
  if (const auto* open = std::get_if<Op::Open>(&op)) return Request(Request::OpenAccount{open->id});
  if (const auto* edit = std::get_if<Op::Edit>(&op)) return Request(Request::OpenAccount{edit->id});
  if (const auto* reauth = std::get_if<Op::Reauthenticate>(&op)) {
    return Request(Request::OpenReauthentication{reauth->id});
  }
  if (std::holds_alternative<Op::CancelForm>(op)) return Request(Request::CancelForm{});
  if (std::holds_alternative<Op::CancelReauthentication>(op)) {
    return Request(Request::CancelReauthentication{});
  }
  return mismatch();
}

}  // namespace

DeviceLocalOutcome SettingsApp::start_account_operation(
    const ResourceOperationId& operation_id, kalu_ui::OperationKind kind, kalu_ui::Payload payload,
    kalu_ui::ResourceOperationContext& context) {
  auto operation = operations::read_record<Op>(payload);
  if (!operation) return DeviceLocalOutcome::rejected(std::move(operation.error()));
  select_pane(kExternalAccounts);
  const Op& op = *operation;
  if (kind == 1 && holds_any<Op::SubmitForm, Op::SubmitReauthentication>(op)) {
    return start_form_submission(operation_id, op, context);
  }
  if (kind >= 2 && holds_any<Op::Add, Op::Open, Op::Edit, Op::Reauthenticate, Op::CancelForm,
                             Op::CancelReauthentication>(op)) {
    auto handled = invoke_resource_operation(2, kAccountOperation,
                                             payload_of(operations::write_record(op)), context);
    if (!handled) return DeviceLocalOutcome::rejected(std::move(handled.error()));
    return DeviceLocalOutcome::completed();
  }
  if (kind == 1) {
    if (const auto* test = std::get_if<Op::Test>(&op)) {
      return start_connection_check(operation_id, test->id);
    }
    if (const auto* remove = std::get_if<Op::Remove>(&op)) return remove_account(remove->id);
  }
  return DeviceLocalOutcome::rejected(kind_mismatch(kind, op));
}

DeviceLocalOutcome SettingsApp::start_form_submission(const ResourceOperationId& operation_id,
                                                      const Op& op,
                                                      kalu_ui::ResourceOperationContext& context) {
  account_form_.settle(*cells_.account_completion, executor_clock_());
  if (account_form_.busy()) {
    return DeviceLocalOutcome::rejected(
        fmt::format("another account form is still being saved{}", account_form_.naming()));
  }
  // Pending before the pane can hear of it, so its answer finds the key.
  std::string key = operations::operation_key(kAccountOperation, op);
  if (!cells_.account_completion->publish(operations::OperationCompletion::Pending{key})) {
    return DeviceLocalOutcome::rejected(std::string(kOperationNotTaken));
  }
  account_form_.expect(std::move(key));
  auto handled = invoke_resource_operation(1, kAccountOperation,
                                           payload_of(operations::write_record(op)), context);
  if (!handled) {
    cells_.account_completion->publish(operations::OperationCompletion::Idle{});
    account_form_.settle(*cells_.account_completion, executor_clock_());
    return DeviceLocalOutcome::rejected(std::move(handled.error()));
  }
  // The account check inside a save has its own deadline well within this.
  account_form_.begin(operation_id, kAccountOperation, executor_clock_() + kCompletionBound);
  return DeviceLocalOutcome::accepted();
}

DeviceLocalOutcome SettingsApp::start_connection_check(const ResourceOperationId& operation_id,
                                                       const std::string& id) {
  if (account_check_) {
    return DeviceLocalOutcome::rejected("an account connection check is already running");
  }
  // A fresh read: the list the resource tree shows may be older.
  std::optional<account_book::Account> account;
  {
    const account_book::AccountStore store = accounts::load_account_store(accounts_root_);
    if (const account_book::Account* found = store.get(id)) account = *found;
  }
  if (!account) return DeviceLocalOutcome::rejected(std::string(kGone));
  auto secret = accounts::saved_secret(accounts_root_, id);
  if (!secret) return DeviceLocalOutcome::rejected(std::move(secret.error()));
  if (!*secret) {
    return DeviceLocalOutcome::rejected(
        "this account has no saved credential; sign in again first");
  }
  auto answer = start_account_check(cells_.account_probe, std::move(*account), std::move(**secret),
                                    start_thread_);
  if (!answer) {
    return DeviceLocalOutcome::rejected(
        fmt::format("could not start the connection check: {}", answer.error()));
  }
  account_check_.emplace(AccountCheck{operation_id, std::move(*answer)});
  return DeviceLocalOutcome::accepted();
}

DeviceLocalOutcome SettingsApp::remove_account(const std::string& id) {
  std::optional<accounts::AccountKind> kind;
  {
    const account_book::AccountStore store = accounts::load_account_store(accounts_root_);
    const account_book::Account* found = store.get(id);
    if (found == nullptr) return DeviceLocalOutcome::rejected(std::string(kGone));
    kind = accounts::kind_from_type_id(found->type_id.as_str());
  }
  if (!kind) return DeviceLocalOutcome::rejected("unsupported account type");
  if (auto removed = panes::accounts::remove_account(accounts_root_, *kind, id); !removed) {
    return DeviceLocalOutcome::rejected(std::move(removed.error()));
  }
  reload_accounts();
  rebuild_shell();
  return DeviceLocalOutcome::completed();
}

kalu_ui::Result<bool> SettingsApp::invoke_account_operation(kalu_ui::OperationKind kind,
                                                            kalu_ui::Payload payload) {
  auto operation = operations::read_record<Op>(payload);
  if (!operation) return kalu_ui::fail(std::move(operation.error()));
  select_pane(kExternalAccounts);
  auto request = account_request(kind, *operation);
  if (!request) return kalu_ui::fail(std::move(request.error()));
  // A publication the cell refuses is lost; the client is not told.
  cells_.account_requests->publish(std::move(*request));
  return true;
}

std::optional<ResourceOperationStatus> SettingsApp::poll_account_check(bool cancel) {
  const ResourceOperationId id = account_check_->id;
  if (cancel) {
    // The worker's later answer, or one already sent, is dropped with the receiver.
    account_check_.reset();
    return ResourceOperationStatus{
        ResourceOperationStatus::Cancelled{"connection check cancelled", id}};
  }
  auto got = account_check_->answer.try_recv();
  if (got.is_empty()) return std::nullopt;
  account_check_.reset();
  if (got.is_disconnected()) {
    // The worker ended without answering; the check is over all the same.
    return failed_status(id, "account_connection_failed",
                         "the connection check ended without a result", true);
  }
  CheckAnswer answer = std::move(got).value();
  if (answer) return succeeded_status(id, *answer);
  return failed_status(id, "account_connection_failed", std::move(answer.error()), true);
}

}  // namespace settings::settings_app
