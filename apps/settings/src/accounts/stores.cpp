#include "accounts/stores.h"

#include <fmt/format.h>

#include "account_book/paths.h"
#include "kalu_ui/log.h"
#include "prefs_store/paths.h"

namespace settings::accounts {

namespace fs = std::filesystem;
using account_book::AccountStore;
using account_book::AccountSyncStatusStore;
using kalu_ui::fail;
using kalu_ui::Result;
using kalu_ui::Status;

std::optional<fs::path> accounts_root(const RootOverride& root) {
  if (root) return *root;
  return account_book::config_root();
}

Result<AccountStore> read_account_store(const RootOverride& root) {
  auto dir = accounts_root(root);
  if (!dir) return AccountStore{};
  return AccountStore::load_in(*dir);
}

AccountStore load_account_store(const RootOverride& root) {
  return read_account_store(root).value_or(AccountStore{});
}

Status save_account_store(const RootOverride& root, const AccountStore& store) {
  auto dir = accounts_root(root);
  if (!dir) return fail("no config dir");
  return store.save_in(*dir);
}

Result<AccountSyncStatusStore> read_sync_status(const RootOverride& root) {
  auto dir = accounts_root(root);
  if (!dir) return AccountSyncStatusStore{};
  return AccountSyncStatusStore::load_in(*dir);
}

AccountSyncStatusStore load_sync_status(const RootOverride& root) {
  return read_sync_status(root).value_or(AccountSyncStatusStore{});
}

Status save_sync_status(const RootOverride& root, const AccountSyncStatusStore& statuses) {
  auto dir = accounts_root(root);
  if (!dir) return fail("no config dir");
  return statuses.save_in(*dir);
}

std::optional<fs::path> config_file_path(const RootOverride& root, const fs::path& relative) {
  if (root) return *root / relative;
  return prefs_store::config_path(relative);
}

account_book::Account new_account_record(std::string id, std::string_view type_name) {
  account_book::Account account;
  account.id = std::move(id);
  account.type_id = account_book::AccountTypeId::from(type_name);
  return account;
}

account_book::SecretVault open_vault(const RootOverride& root) {
  if (root) return account_book::SecretVault::open_in(*root);
  return account_book::SecretVault::open();
}

Result<std::optional<kalu_ui::secret::SecretText>> saved_secret(const RootOverride& root,
                                                                std::string_view id) {
  const account_book::SecretVault vault = open_vault(root);
  if (const auto& why = vault.read_error()) {
    kalu_ui::log::warn("kalu::settings", "settings::accounts", "credential vault could not be read",
                       {{"op", "vault_read"}, {"error", *why}});
    return fail("the credential vault could not be read: {}", *why);
  }
  return vault.get(id);
}

Status update_vault_entry(const RootOverride& root, std::string_view id,
                          const std::optional<kalu_ui::secret::SecretText>& secret) {
  auto vault = open_vault(root);
  if (secret) {
    vault.put(id, *secret);
  } else {
    vault.remove(id);
  }
  return vault.try_save();
}

}  // namespace settings::accounts
