#include "panes/accounts/accounts_pane.h"

#include <fmt/format.h>

#include <algorithm>
#include <utility>

#include "accounts/operations.h"
#include "actions/invocations.h"
#include "limited_exec/text.h"
#include "operations/keys.h"
#include "vocabulary/doc_flags.h"

namespace settings::panes::accounts {

namespace {

using operations::AccountPaneRequest;
using Op = operations::AccountOperation;
namespace services = settings::accounts;

// The key a client's submission is completed under.
std::string submission_key(const Op& submission) { return operations::operation_key(submission); }

constexpr std::string_view kChecking = "Checking the account before saving\u2026";
constexpr std::string_view kCheckingReplacement = "Checking the replacement credential\u2026";

// A press of the button `key`, taken (written back to false) when it is one.
bool pressed(kalu_ui::doc::Document& document, std::string_view key) {
  return take_doc_flag(document, key);
}

}  // namespace

// ---- sync ----------------------------------------------------------------------

void AccountsPane::sync(kalu_ui::doc::Document& document) {
  take_request();
  read_add_buttons(document);
  read_edit_buttons(document);
  cancel_form_if_asked(document);
  submit_form_if_asked(document);
  poll_form_check();
  read_reauth_buttons(document);
  cancel_reauth_if_asked(document);
  submit_reauth_if_asked(document);
  poll_reauth_check();
  read_removal(document);
  read_remove_buttons(document);
  read_check_note();
  sync_page(document);
}

void AccountsPane::take_request() {
  const AccountPaneRequest request = requests_->get();
  if (request.empty()) return;
  requests_->publish(AccountPaneRequest{});
  std::visit(
      [&](const auto& r) {
        using R = std::decay_t<decltype(r)>;
        if constexpr (std::is_same_v<R, AccountPaneRequest::OpenAddForm>) {
          open_add_form(r.kind);
        } else if constexpr (std::is_same_v<R, AccountPaneRequest::OpenAccount>) {
          open_editor(r.id);
        } else if constexpr (std::is_same_v<R, AccountPaneRequest::OpenReauthentication>) {
          set_reauth_target(r.id);
        } else if constexpr (std::is_same_v<R, AccountPaneRequest::SubmitForm>) {
          if (form_kind_) {
            submit_form_ = true;
          } else {
            (void)operations::complete(
                *completion_, submission_key(Op::SubmitForm{}),
                kalu_ui::fail("no account form is open; add or edit an account first"));
          }
        } else if constexpr (std::is_same_v<R, AccountPaneRequest::CancelForm>) {
          cancel_form_ = true;
        } else if constexpr (std::is_same_v<R, AccountPaneRequest::SubmitReauthentication>) {
          if (reauth_target_) {
            submit_reauth_ = true;
          } else {
            (void)operations::complete(
                *completion_, submission_key(Op::SubmitReauthentication{}),
                kalu_ui::fail("no password replacement is open; reauthenticate an account first"));
          }
        } else if constexpr (std::is_same_v<R, AccountPaneRequest::CancelReauthentication>) {
          cancel_reauth_ = true;
        }
      },
      static_cast<const AccountPaneRequest::variant&>(request));
}

void AccountsPane::read_add_buttons(kalu_ui::doc::Document& document) {
  for (AccountKind kind : services::kAccountKinds) {
    // A form already open stays; the press is only taken.
    if (pressed(document, control::add(kind)) && !form_kind_) open_add_form(kind);
  }
}

void AccountsPane::read_edit_buttons(kalu_ui::doc::Document& document) {
  for (const auto& of_kind : rows_) {
    for (const AccountRow& row : of_kind) {
      if (pressed(document, control::edit(row.id))) {
        open_editor(row.id);
        return;
      }
    }
  }
}

void AccountsPane::cancel_form_if_asked(kalu_ui::doc::Document& document) {
  const bool asked = pressed(document, control::kFormCancel) || std::exchange(cancel_form_, false);
  if (asked && form_kind_) close_form();
}

void AccountsPane::submit_form_if_asked(kalu_ui::doc::Document& document) {
  const bool asked = pressed(document, control::kFormSave) || std::exchange(submit_form_, false);
  if (!asked || !form_kind_ || form_check_) return;
  FormValues values = read_form_values();
  auto draft = submit_account_form(root_, *form_kind_, editing_id_, std::nullopt, values);
  changed();
  if (!draft) {
    end_form_save(kalu_ui::fail(std::move(draft.error())));
    return;
  }
  auto check = start_check(probe_, std::move(draft->account), std::move(draft->credential),
                           deps_.start_thread, deps_.now());
  if (!check) {
    // No thread, no check: nothing stays in flight and nothing is saved.
    end_form_save(kalu_ui::fail("account check stopped unexpectedly"));
    return;
  }
  form_check_.emplace(std::move(*check));
  pending_draft_.emplace(
      PendingDraft{std::move(values), draft->kind, draft->editing_id, std::move(draft->id)});
  form_status_ = std::string(kChecking);
}

void AccountsPane::poll_form_check() {
  if (auto answer = take_answer(form_check_, "account check stopped unexpectedly")) {
    finish_form_check(std::move(*answer));
  }
}

void AccountsPane::read_reauth_buttons(kalu_ui::doc::Document& document) {
  for (const auto& of_kind : rows_) {
    for (const AccountRow& row : of_kind) {
      // Only an account with a saved password has one to replace; other
      // presses stay as they are.
      if (std::ranges::find(credential_ids_, row.id) == credential_ids_.end()) continue;
      if (pressed(document, control::reauth(row.id))) set_reauth_target(row.id);
    }
  }
}

void AccountsPane::cancel_reauth_if_asked(kalu_ui::doc::Document& document) {
  const bool asked =
      pressed(document, control::kReauthCancel) || std::exchange(cancel_reauth_, false);
  if (asked) close_reauth();
}

void AccountsPane::submit_reauth_if_asked(kalu_ui::doc::Document& document) {
  const bool asked =
      pressed(document, control::kReauthSave) || std::exchange(submit_reauth_, false);
  if (!asked || reauth_check_ || !reauth_target_) return;
  changed();
  kalu_ui::secret::SecretText typed;
  {
    auto access = cells_.reauth_password->lock();
    typed = kalu_ui::secret::SecretText::copy_of(limited_exec::trim_white_space(access.view()));
  }
  if (typed.empty()) {
    end_reauth_save(kalu_ui::fail("enter a password or app password"));
    return;
  }
  const account_book::AccountStore store = services::load_account_store(root_);
  const account_book::Account* account = store.get(*reauth_target_);
  if (account == nullptr) {
    end_reauth_save(kalu_ui::fail("account no longer exists"));
    return;
  }
  auto check = start_check(probe_, *account, typed, deps_.start_thread, deps_.now());
  if (!check) {
    end_reauth_save(kalu_ui::fail("credential check stopped unexpectedly"));
    return;
  }
  reauth_check_.emplace(std::move(*check));
  pending_replacement_.emplace(PendingReplacement{*reauth_target_, std::move(typed)});
  reauth_message_ = std::string(kCheckingReplacement);
}

void AccountsPane::poll_reauth_check() {
  if (auto answer = take_answer(reauth_check_, "credential check stopped unexpectedly")) {
    finish_reauth_check(std::move(*answer));
  }
}

std::optional<CheckAnswer> AccountsPane::take_answer(std::optional<RunningCheck>& check,
                                                     std::string_view lost) {
  if (!check) return std::nullopt;
  std::optional<CheckAnswer> answer = poll_check(*check, deps_.now(), lost);
  if (!answer) return std::nullopt;
  // Answered, lost or out of time: the check is over either way.
  check.reset();
  changed();
  return answer;
}

void AccountsPane::read_removal(kalu_ui::doc::Document& document) {
  if (pressed(document, control::kRemoveCancel)) {
    pending_removal_.reset();
    changed();
  }
  if (!pressed(document, control::kRemoveConfirm)) return;
  changed();
  std::optional<PendingRemoval> removal = std::exchange(pending_removal_, std::nullopt);
  if (!removal) return;
  if (auto removed = services::remove_account(root_, removal->kind, removal->id); !removed) {
    form_status_ = std::move(removed.error());
    return;
  }
  removed_ids_.push_back(removal->id);
  forget_check_of(removal->id);
  reload();
}

void AccountsPane::read_remove_buttons(kalu_ui::doc::Document& document) {
  for (const auto& of_kind : rows_) {
    for (const AccountRow& row : of_kind) {
      // A stale page may still show a removed account's button.
      if (std::ranges::find(removed_ids_, row.id) != removed_ids_.end()) continue;
      if (pressed(document, control::remove(row.id))) {
        pending_removal_ = PendingRemoval{row.kind, row.id};
        changed();
        return;
      }
    }
  }
}

void AccountsPane::read_check_note() {
  const std::uint64_t generation = check_note_->generation();
  if (generation == seen_note_generation_) return;
  seen_note_generation_ = generation;
  std::optional<operations::AccountCheckNote> note = check_note_->get();
  if (note == shown_note_) return;
  shown_note_ = std::move(note);
  changed();
}

void AccountsPane::end_form_save(kalu_ui::Result<std::string> result) {
  if (!result) form_status_ = result.error();
  (void)operations::complete(*completion_, submission_key(Op::SubmitForm{}), result);
}

void AccountsPane::end_reauth_save(kalu_ui::Result<std::string> result) {
  if (!result) reauth_message_ = result.error();
  (void)operations::complete(*completion_, submission_key(Op::SubmitReauthentication{}), result);
}

void AccountsPane::sync_page(kalu_ui::doc::Document& document) {
  if (page() != nullptr && page_stale_) {
    // Presses the old page still holds are written first, so the next sync
    // sees them; then the new page takes its place.
    PagePane::sync(document);
    make_page();
  }
  PagePane::sync(document);
}

}  // namespace settings::panes::accounts
