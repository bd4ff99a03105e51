#pragma once

// Settings' layer over the account library (account_book): where the account
// stores live and how they are loaded and saved.
//
// Every operation takes the accounts-root override, an optional directory
// that the application passes on (none in normal use; tests and a second
// profile give one). The effective root is the override, else the library's
// default root, which the platform may not have. Without a root, loads give
// empty stores and saves fail with "no config dir".
//
// Two ways to load: the `load_*` functions are for showing accounts and never
// fail (a store that cannot be read shows as empty); the `read_*` functions
// are for changing them and fail on a store that exists but cannot be read,
// so that a change never writes an empty store over accounts it could not
// read.
//
// UI thread; every call opens, reads and writes the files it needs and keeps
// nothing.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "account_book/account_store.h"
#include "account_book/secret_vault.h"
#include "account_book/sync_status.h"
#include "kalu_ui/result.h"

namespace settings::accounts {

using RootOverride = std::optional<std::filesystem::path>;

// The override when given, else the library's default root (maybe none).
std::optional<std::filesystem::path> accounts_root(const RootOverride& root);

// The account list; empty without a root or when it cannot be read.
account_book::AccountStore load_account_store(const RootOverride& root);
// The account list; empty without a root; an error when it exists but
// cannot be read.
kalu_ui::Result<account_book::AccountStore> read_account_store(const RootOverride& root);
kalu_ui::Status save_account_store(const RootOverride& root,
                                   const account_book::AccountStore& store);

// The same for the sync statuses.
account_book::AccountSyncStatusStore load_sync_status(const RootOverride& root);
kalu_ui::Result<account_book::AccountSyncStatusStore> read_sync_status(const RootOverride& root);
kalu_ui::Status save_sync_status(const RootOverride& root,
                                 const account_book::AccountSyncStatusStore& statuses);

// `relative` under the override when one is given, else under the program's
// configuration folder; none when the platform has no configuration
// directory.
std::optional<std::filesystem::path> config_file_path(const RootOverride& root,
                                                      const std::filesystem::path& relative);

// A new account: the id, the type named by `type_name`, an empty display
// name, a null configuration, enabled, tint 0, no owner.
account_book::Account new_account_record(std::string id, std::string_view type_name);

// The credential vault under the override, else the library's default one.
account_book::SecretVault open_vault(const RootOverride& root);

// The secret saved for `id` (none when there is none); an error, "the
// credential vault could not be read: <reason>", with a warning in the log,
// when the vault exists but does not read (its key missing, authentication
// failed): the credential may well be there, and a person must not be told
// to sign in again for a vault that needs repair.
kalu_ui::Result<std::optional<kalu_ui::secret::SecretText>> saved_secret(const RootOverride& root,
                                                                         std::string_view id);

// Opens the vault, sets the secret of `id` (or removes it when none is
// given) and saves; the save's result.
kalu_ui::Status update_vault_entry(const RootOverride& root, std::string_view id,
                                   const std::optional<kalu_ui::secret::SecretText>& secret);

}  // namespace settings::accounts
