#pragma once

// The External Accounts pane (Pane::kExternalAccounts, "external_accounts"): the device's
// mail, CalDAV, WebDAV and Nextcloud accounts with the sync health that
// applications report for them; adding and editing an account, replacing
// its saved password, and removing it.
//
// Nothing is saved before the account's server accepts the credential:
// saving the form first checks the prepared account on a worker thread
// (workers.h), and only a successful check leads to the journaled save
// (operations.h). A replacement password is checked the same way before it
// replaces the saved one. Removal asks for a confirmation on the page.
//
// Requests reach the pane two ways, both read by `sync` in a fixed order:
// pane requests the application publishes into the account request cell
// (tags 0 to 6, for automation clients), and presses of the page's buttons,
// each the boolean true under the button's control id in the state
// document, written back to false when handled. A client's form or
// replacement submission is an operation: the pane completes it in the
// account completion cell, under the operation's key, with what the page
// shows ("Could not save: <this>") or a success, whichever way it was asked.
//
// Secrets: the typed password and the replacement password live in secret
// buffers the pane owns and the page's masked fields edit in place; the
// copies a check or a save needs are wiping buffers too. None reaches the
// state document, a log, a status text, the accessibility tree or the
// resource tree. The buffers are emptied when the form or the replacement
// closes and when the pane is dropped, and a check's copies when it ends.
//
// Everything runs on the UI thread except the probe, one unnamed thread per
// check; at most one form check and one replacement check run at a time.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "account_book/sync_status.h"
#include "account_probe/account_probe.h"
#include "account_probe/check.h"
#include "accounts/lists.h"
#include "accounts/stores.h"
#include "kalu_ui/document.h"
#include "kalu_ui/instant.h"
#include "kalu_ui/secret.h"
#include "kalu_ui/wake_slot.h"
#include "lib/page_pane.h"
#include "operations/mailbox_cells.h"
#include "panes/accounts/form.h"
#include "panes/accounts/model.h"
#include "panes/accounts/page.h"
#include "panes/accounts/workers.h"
#include "vocabulary/registry.h"

namespace settings::panes::accounts {

class AccountsPane : public lib::PagePane {
 public:
  static constexpr std::string_view kTypeName = pane_row(Pane::kExternalAccounts).type_name;

  // What the pane works with besides the stores; the program's own where
  // left empty.
  struct Dependencies {
    // The bindings of the page's buttons (the section's when left empty).
    AccountBindings bindings;
    // Starts a check's thread.
    account_probe::ThreadStarter start_thread;
    // The monotonic clock of the checks' deadlines.
    std::function<kalu_ui::Instant()> now;
    // Seconds since the Unix epoch, for the ages of the sync lines.
    std::function<std::uint64_t()> unix_now;
  };

  // Loads the accounts (replaying an interrupted change and importing the
  // legacy lists once), the sync statuses and the vault of `root`.
  explicit AccountsPane(RootOverride root, Dependencies dependencies = {});
  // Shows `views` instead of loading them, with no sync statuses.
  static AccountsPane with_snapshot(RootOverride root, settings::accounts::AccountLists views,
                                    bool flag, Dependencies dependencies = {});
  ~AccountsPane() override;
  AccountsPane(AccountsPane&&) noexcept;
  AccountsPane& operator=(AccountsPane&&) = delete;

  // The application's account request cell in place of the pane's own.
  AccountsPane&& with_account_requests(
      const std::shared_ptr<operations::AccountRequestCell>& cell) &&;
  // The application's probe in place of the one the pane made.
  AccountsPane&& with_account_probe(account_probe::SharedAccountProbe probe) &&;
  // The application's account completion cell in place of the pane's own.
  AccountsPane&& with_account_completion(
      const std::shared_ptr<operations::OperationCompletionCell>& cell) &&;
  // The application's note of its account checks in place of the pane's own.
  AccountsPane&& with_account_check_note(
      const std::shared_ptr<operations::AccountCheckNoteCell>& cell) &&;

  // ---- Reading the state (tests, the application) ----

  const RootOverride& accounts_root() const { return root_; }
  const std::shared_ptr<operations::AccountRequestCell>& account_request_cell() const {
    return requests_;
  }
  const std::shared_ptr<operations::OperationCompletionCell>& account_completion() const {
    return completion_;
  }
  const account_probe::SharedAccountProbe& account_probe() const { return probe_; }
  const std::shared_ptr<operations::AccountCheckNoteCell>& account_check_note() const {
    return check_note_;
  }
  const AccountRows& rows() const { return rows_; }
  const account_book::AccountSyncStatusStore& statuses() const { return statuses_; }
  std::optional<AccountKind> form_kind() const { return form_kind_; }
  const std::optional<std::string>& editing_id() const { return editing_id_; }
  const std::optional<std::string>& form_status() const { return form_status_; }
  bool form_check_running() const { return form_check_.has_value(); }
  const std::optional<std::string>& reauth_target() const { return reauth_target_; }
  const std::optional<std::string>& reauth_message() const { return reauth_message_; }
  bool reauth_check_running() const { return reauth_check_.has_value(); }
  const std::optional<PendingRemoval>& pending_removal() const { return pending_removal_; }
  const std::vector<std::string>& removed_ids() const { return removed_ids_; }
  const FormCells& cells() const { return cells_; }

  // ---- The widget contract ----

  std::string_view type_name() const override { return kTypeName; }
  void sync(kalu_ui::doc::Document& document) override;
  kalu_ui::layout::NodeId build_layout(kalu_ui::layout::LayoutTree& tree,
                                       const kalu_ui::RenderContext& context,
                                       kalu_ui::layout::NodeRegistry& registry) override;
  // While a check runs.
  bool needs_idle_sync() const override;
  // A running check's deadline (its answer wakes the loop by itself).
  std::optional<kalu_ui::Instant> own_wake_deadline() const override;

 private:
  struct Loaded {};
  AccountsPane(RootOverride root, Dependencies dependencies, Loaded);

  // A form whose check runs: what is needed to prepare it again.
  struct PendingDraft {
    FormValues values;
    AccountKind kind = AccountKind::kMail;
    std::optional<std::string> editing_id;
    std::string id;
  };
  // A replacement password whose check runs.
  struct PendingReplacement {
    std::string id;
    kalu_ui::secret::SecretText credential;
  };

  // ---- sync's steps, in order (accounts_pane.cpp) ----
  void take_request();
  void read_add_buttons(kalu_ui::doc::Document& document);
  void read_edit_buttons(kalu_ui::doc::Document& document);
  void cancel_form_if_asked(kalu_ui::doc::Document& document);
  void submit_form_if_asked(kalu_ui::doc::Document& document);
  void poll_form_check();
  void read_reauth_buttons(kalu_ui::doc::Document& document);
  void cancel_reauth_if_asked(kalu_ui::doc::Document& document);
  void submit_reauth_if_asked(kalu_ui::doc::Document& document);
  void poll_reauth_check();
  // The answer of a running check once there is one; the check is then dropped.
  std::optional<CheckAnswer> take_answer(std::optional<RunningCheck>& check, std::string_view lost);
  void read_removal(kalu_ui::doc::Document& document);
  void read_remove_buttons(kalu_ui::doc::Document& document);
  // A check of a saved account started or ended: its row shows it.
  void read_check_note();
  void sync_page(kalu_ui::doc::Document& document);

  // ---- The pane's own steps (pane_steps.cpp) ----
  void open_add_form(AccountKind kind);
  void open_editor(std::string_view id);
  void close_form();
  void set_reauth_target(std::string id);
  void close_reauth();
  void finish_form_check(CheckAnswer answer);
  void finish_reauth_check(CheckAnswer answer);
  void reset_form_cells();
  FormValues read_form_values() const;
  void reload();
  void load_statuses_and_vault();
  // The account `id` changed: what its last check found no longer holds.
  void forget_check_of(std::string_view id);
  void changed() {
    page_stale_ = true;
    request_rebuild();
  }
  // A form save or a replacement ended: shown on the page (a failure) and
  // completed for the client whose operation waits for it.
  void end_form_save(kalu_ui::Result<std::string> result);
  void end_reauth_save(kalu_ui::Result<std::string> result);
  void make_page();

  RootOverride root_;
  Dependencies deps_;
  settings::accounts::AccountLists lists_;
  AccountRows rows_;
  account_book::AccountSyncStatusStore statuses_;
  // The ids whose saved credential is not empty; the vault itself is not kept.
  std::vector<std::string> credential_ids_;
  bool local_vault_key_ = true;
  // What the page says about stores that could not be read.
  std::vector<std::string> store_notices_;

  std::optional<AccountKind> form_kind_;
  std::optional<std::string> editing_id_;
  std::optional<std::string> form_status_;
  std::optional<PendingDraft> pending_draft_;
  std::optional<RunningCheck> form_check_;

  std::optional<std::string> reauth_target_;
  std::optional<std::string> reauth_message_;
  std::optional<PendingReplacement> pending_replacement_;
  std::optional<RunningCheck> reauth_check_;

  std::optional<PendingRemoval> pending_removal_;
  std::vector<std::string> removed_ids_;

  FormCells cells_;
  std::shared_ptr<operations::AccountRequestCell> requests_;
  std::shared_ptr<operations::OperationCompletionCell> completion_;
  std::shared_ptr<operations::AccountCheckNoteCell> check_note_;
  std::optional<operations::AccountCheckNote> shown_note_;
  std::uint64_t seen_note_generation_ = 0;
  account_probe::SharedAccountProbe probe_;
  bool submit_form_ = false;
  bool cancel_form_ = false;
  bool submit_reauth_ = false;
  bool cancel_reauth_ = false;

  bool page_stale_ = true;
};

}  // namespace settings::panes::accounts
