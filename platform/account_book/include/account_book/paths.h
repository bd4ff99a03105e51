#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>

// Where the account library keeps its files. Everything lives under one
// accounts root, normally the program's configuration folder
// ("<config dir>/kalu"); a caller may name another root (tests, a second
// profile). Below a root:
//
//   accounts/accounts.json        the account list (AccountStore)
//   accounts/sync-status.json     sync health per account (AccountSyncStatusStore)
//   vault/vault.enc               the encrypted credential vault (SecretVault)
//   vault/vault.key               the vault's 256-bit key, owner-only
//
// Callers may put files of their own in the accounts directory (a journal of
// an account change, an import marker); the library never touches them.
namespace account_book {

// The largest account record file read (accounts.json, sync-status.json); a
// larger one is refused from its size, before a byte is read.
inline constexpr std::size_t kMaxRecordFileBytes = std::size_t{4} << 20;

// The default accounts root: the "kalu" folder of the user's configuration
// directory; nothing when the platform has no configuration directory.
std::optional<std::filesystem::path> config_root();

// The directory of the account list and the sync statuses under `root`.
std::filesystem::path accounts_dir_in(const std::filesystem::path& root);

// The directory of the credential vault and its key under `root`.
std::filesystem::path vault_dir_in(const std::filesystem::path& root);

}  // namespace account_book
