// The External Accounts pane's construction, its own steps (opening and
// closing the form and the replacement, finishing checks, reloading) and the
// widget contract over its page.

#include <fmt/format.h>

#include <algorithm>
#include <utility>

#include "accounts/lists.h"
#include "accounts/operations.h"
#include "lib/time.h"
#include "panes/accounts/accounts_pane.h"

namespace settings::panes::accounts {

namespace {

using Cell = kalu_ui::WakeSlot<std::string>;
namespace services = settings::accounts;

constexpr std::string_view kFormClosedUnsaved = "the account form was closed before it was saved";
constexpr std::string_view kReplacementClosedUnsaved =
    "the password replacement was closed before it was saved";

std::string text_member(const account_book::Json& config, const char* key) {
  if (!config.is_object()) return {};
  auto found = config.find(key);
  if (found == config.end() || !found->is_string()) return {};
  return found->get<std::string>();
}

}  // namespace

// ---- construction ------------------------------------------------------------------

AccountsPane::AccountsPane(RootOverride root, Dependencies dependencies, Loaded)
    : root_(std::move(root)), deps_(std::move(dependencies)) {
  if (!deps_.start_thread) deps_.start_thread = &account_probe::start_detached;
  if (!deps_.now) deps_.now = &kalu_ui::Instant::now;
  if (!deps_.unix_now) deps_.unix_now = &lib::unix_now_secs;
  if (!deps_.bindings) deps_.bindings = section_bindings();
  cells_ = FormCells{Cell::create({}),
                     Cell::create({}),
                     Cell::create({}),
                     Cell::create({}),
                     kalu_ui::secret::SecretBuffer::create(),
                     kalu_ui::secret::SecretBuffer::create()};
  requests_ = operations::AccountRequestCell::create({});
  completion_ = operations::OperationCompletionCell::create({});
  check_note_ = operations::AccountCheckNoteCell::create(std::nullopt);
  probe_ = account_probe::new_account_probe();
}

AccountsPane::AccountsPane(RootOverride root, Dependencies dependencies)
    : AccountsPane(std::move(root), std::move(dependencies), Loaded{}) {
  reload();
}

AccountsPane AccountsPane::with_snapshot(RootOverride root, services::AccountLists views, bool,
                                         Dependencies dependencies) {
  AccountsPane pane(std::move(root), std::move(dependencies), Loaded{});
  pane.lists_ = std::move(views);
  pane.rows_ = account_rows(pane.lists_);
  // The snapshot has no statuses; the vault is the account root's.
  pane.load_statuses_and_vault();
  pane.statuses_ = {};
  return pane;
}

AccountsPane::~AccountsPane() {
  // The buffers may outlive the pane in a page still being dropped; their
  // text goes now.
  if (cells_.password) cells_.password->clear();
  if (cells_.reauth_password) cells_.reauth_password->clear();
}

AccountsPane::AccountsPane(AccountsPane&&) noexcept = default;

AccountsPane&& AccountsPane::with_account_requests(
    const std::shared_ptr<operations::AccountRequestCell>& cell) && {
  requests_ = cell;
  return std::move(*this);
}

AccountsPane&& AccountsPane::with_account_completion(
    const std::shared_ptr<operations::OperationCompletionCell>& cell) && {
  completion_ = cell;
  return std::move(*this);
}

AccountsPane&& AccountsPane::with_account_check_note(
    const std::shared_ptr<operations::AccountCheckNoteCell>& cell) && {
  check_note_ = cell;
  // Shown from the first page on: a check may have ended before this pane.
  seen_note_generation_ = cell->generation();
  shown_note_ = cell->get();
  return std::move(*this);
}

AccountsPane&& AccountsPane::with_account_probe(account_probe::SharedAccountProbe probe) && {
  probe_ = std::move(probe);
  return std::move(*this);
}

// ---- own steps ---------------------------------------------------------------------

void AccountsPane::open_add_form(AccountKind kind) {
  // A check of the form being replaced would otherwise save it, or report
  // on it, in the new form.
  if (form_check_) end_form_save(kalu_ui::fail(std::string(kFormClosedUnsaved)));
  form_check_.reset();
  pending_draft_.reset();
  form_kind_ = kind;
  editing_id_.reset();
  form_status_.reset();
  reset_form_cells();
  changed();
}

void AccountsPane::open_editor(std::string_view id) {
  const AccountRow* row = find_row(rows_, id);
  if (row == nullptr) return;
  const AccountKind kind = row->kind;
  std::string editing(id);
  if (form_check_) end_form_save(kalu_ui::fail(std::string(kFormClosedUnsaved)));
  form_check_.reset();
  pending_draft_.reset();
  reset_form_cells();
  const account_book::AccountStore store = services::load_account_store(root_);
  if (const account_book::Account* account = store.get(editing)) {
    cells_.display_name->publish(account->display_name);
    const auto& config = account->config;
    if (kind == AccountKind::kMail) {
      cells_.email->publish(text_member(config, "email"));
    }
    cells_.username->publish(text_member(config, "username"));
    cells_.server_url->publish(
        text_member(config, kind == AccountKind::kWebDav ? "base_url" : "server_url"));
  }
  form_kind_ = kind;
  editing_id_ = std::move(editing);
  form_status_.reset();
  changed();
}

void AccountsPane::close_form() {
  if (form_check_) end_form_save(kalu_ui::fail(std::string(kFormClosedUnsaved)));
  form_kind_.reset();
  form_status_.reset();
  editing_id_.reset();
  form_check_.reset();
  pending_draft_.reset();
  reset_form_cells();
  changed();
}

void AccountsPane::set_reauth_target(std::string id) {
  // As with the form: a running check belongs to the target it replaces.
  if (reauth_check_) end_reauth_save(kalu_ui::fail(std::string(kReplacementClosedUnsaved)));
  reauth_check_.reset();
  pending_replacement_.reset();
  reauth_target_ = std::move(id);
  reauth_message_.reset();
  cells_.reauth_password->clear();
  changed();
}

void AccountsPane::close_reauth() {
  if (reauth_check_) end_reauth_save(kalu_ui::fail(std::string(kReplacementClosedUnsaved)));
  reauth_target_.reset();
  reauth_message_.reset();
  reauth_check_.reset();
  pending_replacement_.reset();
  cells_.reauth_password->clear();
  changed();
}

void AccountsPane::finish_form_check(CheckAnswer answer) {
  std::optional<PendingDraft> draft = std::exchange(pending_draft_, std::nullopt);
  if (!answer) {
    end_form_save(kalu_ui::fail(std::move(answer.error())));
    return;
  }
  if (!draft) {
    end_form_save(kalu_ui::fail("account check result had no pending draft"));
    return;
  }
  // Prepared again with the id of the first preparation: the account saved
  // is the one that was checked.
  auto prepared =
      submit_account_form(root_, draft->kind, draft->editing_id, draft->id, draft->values);
  if (!prepared) {
    end_form_save(kalu_ui::fail(std::move(prepared.error())));
    return;
  }
  if (auto saved = services::save_checked_account(root_, prepared->account, prepared->credential);
      !saved) {
    end_form_save(kalu_ui::fail(std::move(saved.error())));
    return;
  }
  form_kind_.reset();
  form_status_.reset();
  editing_id_.reset();
  reset_form_cells();
  forget_check_of(draft->id);
  reload();
  end_form_save(fmt::format("{} account saved", services::title(draft->kind)));
}

void AccountsPane::finish_reauth_check(CheckAnswer answer) {
  std::optional<PendingReplacement> replacement = std::exchange(pending_replacement_, std::nullopt);
  if (!answer) {
    end_reauth_save(kalu_ui::fail(std::move(answer.error())));
    return;
  }
  if (!replacement) {
    end_reauth_save(kalu_ui::fail("credential check result had no pending draft"));
    return;
  }
  if (auto replaced = services::replace_credential(root_, replacement->id, replacement->credential);
      !replaced) {
    end_reauth_save(kalu_ui::fail(std::move(replaced.error())));
    return;
  }
  reauth_target_.reset();
  reauth_message_.reset();
  cells_.reauth_password->clear();
  forget_check_of(replacement->id);
  end_reauth_save(std::string("saved password replaced"));
}

void AccountsPane::reset_form_cells() {
  for (const auto& cell : {cells_.display_name, cells_.email, cells_.username, cells_.server_url}) {
    cell->publish(std::string());
  }
  cells_.password->clear();
}

FormValues AccountsPane::read_form_values() const {
  const bool mail = form_kind_ == AccountKind::kMail;
  FormValues values;
  values.display_name = cells_.display_name->get();
  values.identity = mail ? cells_.email->get() : cells_.username->get();
  values.username = cells_.username->get();
  values.server_url = cells_.server_url->get();
  {
    auto access = cells_.password->lock();
    values.password = kalu_ui::secret::SecretText::copy_of(access.view());
  }
  return values;
}

void AccountsPane::reload() {
  lists_ = services::import_legacy_accounts(root_);
  rows_ = account_rows(lists_);
  load_statuses_and_vault();
  changed();
}

void AccountsPane::load_statuses_and_vault() {
  store_notices_.clear();
  if (lists_.store_notice) store_notices_.push_back(*lists_.store_notice);
  auto statuses = services::read_sync_status(root_);
  if (!statuses) {
    store_notices_.push_back(fmt::format("Sync status could not be read: {}", statuses.error()));
  }
  statuses_ = statuses.value_or(account_book::AccountSyncStatusStore{});
  const account_book::SecretVault vault = services::open_vault(root_);
  if (const auto& why = vault.read_error()) {
    store_notices_.push_back(fmt::format("Saved passwords could not be read: {}", *why));
  }
  local_vault_key_ = vault.uses_local_key();
  credential_ids_.clear();
  for (const auto& of_kind : rows_) {
    for (const AccountRow& row : of_kind) {
      std::optional<kalu_ui::secret::SecretText> saved = vault.get(row.id);
      if (saved && !saved->empty()) credential_ids_.push_back(row.id);
    }
  }
}

void AccountsPane::forget_check_of(std::string_view id) {
  const std::optional<operations::AccountCheckNote> note = check_note_->get();
  // A check still running reports on the account as it is now.
  if (note && note->id == id && !note->running) check_note_->publish(std::nullopt);
}

void AccountsPane::make_page() {
  PageModel model;
  model.rows = &rows_;
  model.statuses = &statuses_;
  model.local_vault_key = local_vault_key_;
  model.store_notices = &store_notices_;
  model.form_kind = form_kind_;
  model.editing_id = editing_id_;
  model.form_status = form_status_;
  model.reauth_target = reauth_target_;
  model.reauth_message = reauth_message_;
  model.removal = pending_removal_;
  model.check_note = shown_note_;
  model.now_unix = deps_.unix_now();
  model.cells = &cells_;
  set_page(build_page(model, deps_.bindings));
  page_stale_ = false;
}

// ---- the widget --------------------------------------------------------------------

kalu_ui::layout::NodeId AccountsPane::build_layout(kalu_ui::layout::LayoutTree& tree,
                                                   const kalu_ui::RenderContext& context,
                                                   kalu_ui::layout::NodeRegistry& registry) {
  if (page() == nullptr || page_stale_) make_page();
  return lay_out_page(tree, context, registry);
}

bool AccountsPane::needs_idle_sync() const {
  return form_check_ || reauth_check_ || PagePane::needs_idle_sync();
}

std::optional<kalu_ui::Instant> AccountsPane::own_wake_deadline() const {
  std::optional<kalu_ui::Instant> due;
  if (form_check_) due = form_check_->deadline;
  if (reauth_check_) due = kalu_ui::earliest(due, reauth_check_->deadline);
  return due;
}

}  // namespace settings::panes::accounts
