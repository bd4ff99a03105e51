// The account branch of the operation entry points (account_branch.h).

#include "settings_app/account_branch.h"

#include <fmt/format.h>

#include <nlohmann/json.hpp>
#include <string>
#include <utility>

#include "accounts/kinds.h"
#include "accounts/operations.h"
#include "accounts/stores.h"
#include "operations/keys.h"
#include "operations/records.h"
#include "operations/table.h"
#include "settings_app/entry_points.h"

namespace settings::settings_app {

using kalu_ui::DeviceLocalOutcome;
using kalu_ui::ResourceOperationId;
using kalu_ui::ResourceOperationStatus;
using Op = operations::AccountOperation;
using Request = operations::AccountPaneRequest;

namespace {

constexpr std::string_view kAccountOperation =
    operations::kOperationActionId<operations::AccountOperation>;
constexpr std::string_view kKindMismatch = "operation kind does not match account operation";
constexpr std::string_view kGone = "account no longer exists";
// What the account's row shows of a check of a saved account.
constexpr std::string_view kCheckRunning = "Checking the account\u2026";
constexpr std::string_view kSignedIn = "Signed in.";

template <typename... Cases>
bool holds_any(const Op& op) {
  return (std::holds_alternative<Cases>(op) || ...);
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
      return kalu_ui::fail("unknown account kind; kind must be one of {}", kinds);
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

// What a form move handed to External Accounts opened or closed.
static std::string form_move_text(const Op& op) {
  return std::visit(
      [](const auto& v) -> std::string {
        using T = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<T, Op::Add>) {
          return fmt::format("Opened the form for a new {} account in External Accounts.", v.kind);
        } else if constexpr (std::is_same_v<T, Op::Open> || std::is_same_v<T, Op::Edit>) {
          return fmt::format("Opened account {} in External Accounts.", v.id);
        } else if constexpr (std::is_same_v<T, Op::Reauthenticate>) {
          return fmt::format("Opened the sign-in form of account {} in External Accounts.", v.id);
        } else if constexpr (std::is_same_v<T, Op::CancelForm>) {
          return "Closed the account form in External Accounts.";
        } else if constexpr (std::is_same_v<T, Op::CancelReauthentication>) {
          return "Closed the sign-in form in External Accounts.";
        } else {
          return "Opened External Accounts.";
        }
      },
      static_cast<const Op::variant&>(op));
}

// An outcome whose text and value give the sentence.
static kalu_ui::ResourceOperationOutcome said(const std::string& text) {
  return {text,
          nlohmann::json(text).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace)};
}

AccountBranch::AccountBranch(const PaneCells& cells, AccountShell shell)
    : cells_(cells), shell_(std::move(shell)) {}

DeviceLocalOutcome AccountBranch::start(const ResourceOperationId& operation_id,
                                        kalu_ui::OperationKind kind, kalu_ui::Payload payload) {
  auto operation = operations::read_record<Op>(payload);
  if (!operation) return DeviceLocalOutcome::rejected(std::move(operation.error()));
  DeviceLocalOutcome outcome = start_operation(operation_id, kind, *operation);
  // External Accounts is shown for what was taken; a refusal moves nothing.
  if (!std::holds_alternative<DeviceLocalOutcome::Rejected>(outcome.value)) shell_.show_accounts();
  return outcome;
}

DeviceLocalOutcome AccountBranch::start_operation(const ResourceOperationId& operation_id,
                                                  kalu_ui::OperationKind kind, const Op& op) {
  if (kind == 1 && holds_any<Op::SubmitForm, Op::SubmitReauthentication>(op)) {
    return start_form_submission(operation_id, op);
  }
  if (kind >= 2 && holds_any<Op::Add, Op::Open, Op::Edit, Op::Reauthenticate, Op::CancelForm,
                             Op::CancelReauthentication>(op)) {
    auto handled = publish_request(2, op);
    if (!handled) return DeviceLocalOutcome::rejected(std::move(handled.error()));
    return DeviceLocalOutcome::completed(said(form_move_text(op)));
  }
  if (kind == 1) {
    if (const auto* test = std::get_if<Op::Test>(&op)) {
      return start_connection_check(operation_id, test->id);
    }
    if (const auto* remove = std::get_if<Op::Remove>(&op)) return remove_account(remove->id);
  }
  return DeviceLocalOutcome::rejected(kind_mismatch(kind, op));
}

DeviceLocalOutcome AccountBranch::start_form_submission(const ResourceOperationId& operation_id,
                                                        const Op& op) {
  settle();
  if (form_.busy()) {
    return DeviceLocalOutcome::rejected_busy(
        fmt::format("another account form is still being saved{}", form_.naming()));
  }
  // Pending before the pane can hear of it, so its answer finds the key.
  std::string key = operations::operation_key(kAccountOperation, op);
  if (!cells_.account_completion->publish(operations::OperationCompletion::Pending{key})) {
    return DeviceLocalOutcome::rejected(std::string(kOperationNotTaken));
  }
  form_.expect(std::move(key));
  auto handled = publish_request(1, op);
  if (!handled) {
    cells_.account_completion->publish(operations::OperationCompletion::Idle{});
    settle();
    return DeviceLocalOutcome::rejected(std::move(handled.error()));
  }
  // The account check inside a save has its own deadline well within this.
  form_.begin(operation_id, kAccountOperation, clock_() + kCompletionBound);
  return DeviceLocalOutcome::accepted();
}

DeviceLocalOutcome AccountBranch::refuse_check(const std::string& id, std::string reason,
                                               bool busy) {
  // The account's row says why, as it shows a check that ran; a check of
  // this very account that runs keeps its line.
  if (!check_ || check_->account != id) {
    cells_.account_check_note->publish(operations::AccountCheckNote{id, reason, false, true});
  }
  return busy ? DeviceLocalOutcome::rejected_busy(std::move(reason))
              : DeviceLocalOutcome::rejected(std::move(reason));
}

DeviceLocalOutcome AccountBranch::start_connection_check(const ResourceOperationId& operation_id,
                                                         const std::string& id) {
  if (check_) {
    return refuse_check(id, "an account connection check is already running", /*busy=*/true);
  }
  // A fresh read: the list the resource tree shows may be older.
  std::optional<account_book::Account> account;
  {
    const account_book::AccountStore store = accounts::load_account_store(cells_.accounts_root);
    if (const account_book::Account* found = store.get(id)) account = *found;
  }
  if (!account) return refuse_check(id, std::string(kGone));
  auto secret = accounts::saved_secret(cells_.accounts_root, id);
  if (!secret) return refuse_check(id, std::move(secret.error()));
  if (!*secret)
    return refuse_check(id, "this account has no saved credential; sign in again first");
  auto answer = start_account_check(cells_.account_probe, std::move(*account), std::move(**secret),
                                    start_thread_);
  if (!answer) {
    return refuse_check(id,
                        fmt::format("could not start the connection check: {}", answer.error()));
  }
  check_.emplace(AccountCheck{operation_id, id, std::move(*answer)});
  cells_.account_check_note->publish(
      operations::AccountCheckNote{id, std::string(kCheckRunning), true, false});
  return DeviceLocalOutcome::accepted();
}

DeviceLocalOutcome AccountBranch::remove_account(const std::string& id) {
  std::optional<accounts::AccountKind> kind;
  {
    const account_book::AccountStore store = accounts::load_account_store(cells_.accounts_root);
    const account_book::Account* found = store.get(id);
    if (found == nullptr) return DeviceLocalOutcome::rejected(std::string(kGone));
    kind = accounts::kind_from_type_id(found->type_id.as_str());
  }
  if (!kind) return DeviceLocalOutcome::rejected("unsupported account type");
  if (auto removed = settings::accounts::remove_account(cells_.accounts_root, *kind, id);
      !removed) {
    return DeviceLocalOutcome::rejected(std::move(removed.error()));
  }
  // What a check found no longer speaks for an account that is gone.
  if (auto note = cells_.account_check_note->get(); note && note->id == id) {
    cells_.account_check_note->publish(std::nullopt);
  }
  shell_.accounts_changed();
  return DeviceLocalOutcome::completed(
      said(fmt::format("Removed account {} with its secret.", id)));
}

kalu_ui::Result<std::string> AccountBranch::invoke(kalu_ui::OperationKind kind,
                                                   kalu_ui::Payload payload) {
  auto operation = operations::read_record<Op>(payload);
  if (!operation) return kalu_ui::fail(std::move(operation.error()));
  auto handled = publish_request(kind, *operation);
  if (!handled) return kalu_ui::fail(std::move(handled.error()));
  shell_.show_accounts();
  return form_move_text(*operation);
}

kalu_ui::Result<bool> AccountBranch::publish_request(kalu_ui::OperationKind kind, const Op& op) {
  auto request = account_request(kind, op);
  if (!request) return kalu_ui::fail(std::move(request.error()));
  // A publication the cell refuses is lost; the client is not told.
  cells_.account_requests->publish(std::move(*request));
  return true;
}

DeviceLocalPoll AccountBranch::poll(const ResourceOperationId& operation_id, bool cancel) {
  settle();
  if (cancel && form_.busy() && form_.id() == operation_id) {
    const Request waiting = cells_.account_requests->get();
    const bool taken = !std::holds_alternative<Request::SubmitForm>(waiting) &&
                       !std::holds_alternative<Request::SubmitReauthentication>(waiting);
    // The pane is saving: the save runs on to its outcome.
    if (taken) return {true, std::nullopt};
    cells_.account_requests->publish(Request{});
    (void)form_.cancel(operation_id, *cells_.account_completion);
    return {true, ResourceOperationStatus{ResourceOperationStatus::Cancelled{
                      "account form save cancelled before it started", operation_id}}};
  }
  if (DeviceLocalPoll form = form_.poll(operation_id); form.owned) return form;
  if ((check_ && check_->id == operation_id) || (check_done_ && check_done_->id == operation_id)) {
    return {true, poll_check(operation_id, cancel)};
  }
  return {};
}

void AccountBranch::settle() {
  form_.settle(*cells_.account_completion, clock_());
  settle_check();
}

void AccountBranch::settle_check() {
  if (!check_) return;
  auto got = check_->answer.try_recv();
  if (got.is_empty()) return;
  const ResourceOperationId id = check_->id;
  operations::AccountCheckNote note{std::move(check_->account), {}, false, true};
  check_.reset();
  ResourceOperationStatus status;
  if (got.is_disconnected()) {
    // The worker ended without answering; the check is over all the same.
    note.text = "the connection check ended without a result";
    status = failed_status(id, "account_connection_failed", note.text, true);
  } else if (CheckAnswer answer = std::move(got).value(); answer) {
    note.text = kSignedIn;
    note.failed = false;
    status = succeeded_status(id, *answer);
  } else {
    note.text = answer.error();
    status = failed_status(id, "account_connection_failed", std::move(answer.error()), true);
  }
  // Kept until polled, or until the next check ends: a client that never
  // polls holds no later check up.
  check_done_ = ReleasedOperation{id, std::move(status)};
  cells_.account_check_note->publish(std::move(note));
}

std::optional<ResourceOperationStatus> AccountBranch::poll_check(
    const ResourceOperationId& operation_id, bool cancel) {
  if (cancel) {
    if (check_ && check_->id == operation_id) {
      // The worker's later answer, or one already sent, is dropped with the
      // receiver; the row no longer waits for it.
      const std::optional<operations::AccountCheckNote> note = cells_.account_check_note->get();
      if (note && note->running && note->id == check_->account) {
        cells_.account_check_note->publish(std::nullopt);
      }
      check_.reset();
    } else {
      // It has ended: its outcome is answered as it ended.
      return std::exchange(check_done_, std::nullopt)->status;
    }
    return ResourceOperationStatus{
        ResourceOperationStatus::Cancelled{"connection check cancelled", operation_id}};
  }
  settle_check();
  if (!check_done_ || check_done_->id != operation_id) return std::nullopt;
  return std::exchange(check_done_, std::nullopt)->status;
}

}  // namespace settings::settings_app
