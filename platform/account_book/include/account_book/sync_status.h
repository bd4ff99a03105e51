#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "account_book/account_store.h"
#include "kalu_ui/result.h"

// How each account last fared when an application synced it. Applications
// that sync write these; Settings shows them and drops an account's entry
// when the account is removed.
//
// Stored as "sync-status.json" in the accounts directory, with the same load
// and save promises and record rules as the account list (account_store.h):
//
//   AccountSyncStatusStore  {"statuses": {account id: AccountSyncStatus} = {}}
//                           written in ascending key order
//   AccountSyncStatus       {"health": AccountSyncHealth,
//                            "last_attempt_unix": i64 or null,
//                            "last_success_unix": i64 or null,
//                            "message": text or null}
//                           all four keys always written; the last three may
//                           be absent, reading as null
//   AccountSyncHealth       "never", "syncing", "healthy", "offline",
//                           "needs_authentication" or "error"
namespace account_book {

enum class AccountSyncHealth : std::uint8_t {
  kNever,
  kSyncing,
  kHealthy,
  kOffline,
  kNeedsAuthentication,
  kError,
};

// The stored name: "never", "syncing", ...
std::string_view health_name(AccountSyncHealth health);

struct AccountSyncStatus {
  AccountSyncHealth health = AccountSyncHealth::kNever;
  std::optional<std::int64_t> last_attempt_unix;  // seconds since the Unix epoch
  std::optional<std::int64_t> last_success_unix;
  std::optional<std::string> message;

  bool operator==(const AccountSyncStatus&) const = default;

  static kalu_ui::Result<AccountSyncStatus> from_json(const Json& value);
  Json to_json() const;
};

struct AccountSyncStatusStore {
  std::map<std::string, AccountSyncStatus, std::less<>> statuses;  // by account id

  bool operator==(const AccountSyncStatusStore&) const = default;

  static kalu_ui::Result<AccountSyncStatusStore> load_in(const std::filesystem::path& root);
  kalu_ui::Status save_in(const std::filesystem::path& root) const;

  // The status of an account; nullptr when none was recorded.
  const AccountSyncStatus* get(std::string_view id) const;
  void set(std::string id, AccountSyncStatus status);
  // Answers whether an entry went.
  bool remove(std::string_view id);

  static kalu_ui::Result<AccountSyncStatusStore> from_json(const Json& value);
  Json to_json() const;
};

}  // namespace account_book
