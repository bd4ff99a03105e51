#include "accounts/operations.h"

#include <fmt/format.h>

#include <optional>
#include <string>

#include "accounts/journal.h"
#include "kalu_ui/log.h"

namespace settings::accounts {

using account_book::Account;
using account_book::AccountStore;
using account_book::AccountSyncStatusStore;
using kalu_ui::fail;
using kalu_ui::Status;
using kalu_ui::secret::SecretText;

namespace {

bool is_blank(std::string_view text) {
  return text.find_first_not_of(" \t\n\r\f\v") == std::string_view::npos;
}

// Undoing a step: nothing to undo, the undo succeeded, or why it failed.
std::optional<std::string> undo_error(const Status& undo) {
  if (undo) return std::nullopt;
  return undo.error();
}

// Ends a failed change: the journal goes when nothing is left to repair,
// and stays for the next start otherwise.
Status give_up(const RootOverride& root, const std::string& failure,
               const std::optional<std::string>& undo_failure) {
  if (!undo_failure) {
    (void)clear_account_mutation(root);
    return fail(failure);
  }
  return fail("{}; rollback also failed: {}", failure, *undo_failure);
}

}  // namespace

Status remove_account(const RootOverride& root, AccountKind kind, std::string_view id) {
  // Stores that cannot be read are never replaced by ones missing their
  // accounts: the change is refused before anything is written.
  auto accounts = read_account_store(root);
  if (!accounts) return fail("could not remove account metadata: {}", accounts.error());
  const Account* existing = accounts->get(id);
  if (existing != nullptr && existing->type_id != type_id(kind)) {
    return fail("account type changed before removal; refresh Settings and try again");
  }
  auto statuses = read_sync_status(root);
  if (!statuses) {
    return fail("could not remove account sync status: {}", statuses.error());
  }
  if (auto begun = begin_account_mutation(root, *accounts, *statuses); !begun) return begun;

  // The credential first, keeping it for an undo. A vault that cannot be
  // read may still hold it: the removal is refused rather than reported done
  // with the password left sealed in the file.
  auto vault = open_vault(root);
  if (const auto& why = vault.read_error()) {
    (void)clear_account_mutation(root);
    return fail("could not remove saved credential: credential vault could not be read: {}", *why);
  }
  const std::optional<SecretText> kept = vault.get(id);
  const bool credential_removed = vault.remove(id);
  if (credential_removed) {
    if (auto saved = vault.try_save(); !saved) {
      (void)clear_account_mutation(root);
      return fail("could not remove saved credential: {}", saved.error());
    }
  }
  auto restore_credential = [&]() -> std::optional<std::string> {
    if (!credential_removed) return std::nullopt;
    return undo_error(update_vault_entry(root, id, kept));
  };

  AccountStore without = *accounts;
  without.remove(id);
  if (auto saved = save_account_store(root, without); !saved) {
    return give_up(root, fmt::format("could not remove account metadata: {}", saved.error()),
                   restore_credential());
  }

  AccountSyncStatusStore statuses_without = *statuses;
  statuses_without.remove(id);
  if (auto saved = save_sync_status(root, statuses_without); !saved) {
    const auto store_undo = undo_error(save_account_store(root, *accounts));
    const auto credential_undo = restore_credential();
    std::optional<std::string> undo_failure = store_undo ? store_undo : credential_undo;
    if (store_undo && credential_undo) {
      undo_failure = fmt::format("{}; {}", *store_undo, *credential_undo);
    }
    return give_up(root, fmt::format("could not remove account sync status: {}", saved.error()),
                   undo_failure);
  }
  return commit_account_mutation(root, "account removal");
}

Status save_checked_account(const RootOverride& root, const Account& account,
                            const SecretText& credential) {
  // The statuses are journaled too, so they must be read as they are.
  auto accounts = read_account_store(root);
  if (!accounts) return fail("could not persist account: {}", accounts.error());
  auto statuses = read_sync_status(root);
  if (!statuses) return fail("could not persist account: {}", statuses.error());
  if (auto begun = begin_account_mutation(root, *accounts, *statuses); !begun) return begun;

  auto vault = open_vault(root);
  std::optional<SecretText> kept;
  const bool vault_changed = !is_blank(credential.view());
  if (vault_changed) {
    kept = vault.get(account.id);
    vault.put(account.id, credential);
    if (auto saved = vault.try_save(); !saved) {
      (void)clear_account_mutation(root);
      return fail("could not save credential: {}", saved.error());
    }
  }

  accounts->upsert(account);
  if (auto saved = save_account_store(root, *accounts); !saved) {
    if (vault_changed) {
      if (kept) {
        vault.put(account.id, *kept);
      } else {
        vault.remove(account.id);
      }
      if (auto restored = vault.try_save(); !restored) {
        return fail("could not persist account: {}; credential rollback also failed: {}",
                    saved.error(), restored.error());
      }
    }
    (void)clear_account_mutation(root);
    kalu_ui::log::warn("kalu::settings", "settings::panes::accounts",
                       "failed to persist account metadata",
                       {{"op", "account_store_save"}, {"error", saved.error()}});
    return fail("could not persist account: {}", saved.error());
  }
  return commit_account_mutation(root, "account save");
}

Status replace_credential(const RootOverride& root, std::string_view id,
                          const SecretText& credential) {
  return update_vault_entry(root, id, credential);
}

}  // namespace settings::accounts
