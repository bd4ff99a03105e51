#pragma once

#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>

#include "account_book/account_store.h"
#include "account_book/secret_vault.h"
#include "account_book/sync_status.h"
#include "accounts/stores.h"
#include "prefs_store/paths.h"

namespace settings::accounts::testing {

// A temporary accounts root passed as the override, with no configuration
// directory behind it, so nothing reaches the user's files.
class AccountsRoot {
 public:
  AccountsRoot() {
    char tmpl[] = "/tmp/accounts_test.XXXXXX";
    path_ = ::mkdtemp(tmpl);
    no_config_.emplace(std::filesystem::path());
  }
  ~AccountsRoot() {
    no_config_.reset();
    std::filesystem::remove_all(path_);
  }
  AccountsRoot(const AccountsRoot&) = delete;
  AccountsRoot& operator=(const AccountsRoot&) = delete;

  RootOverride root() const { return path_; }
  const std::filesystem::path& path() const { return path_; }

  bool exists(const std::filesystem::path& relative) const {
    std::error_code ec;
    return std::filesystem::exists(std::filesystem::symlink_status(path_ / relative, ec));
  }
  void put(const std::filesystem::path& relative, const std::string& bytes) const {
    std::filesystem::create_directories((path_ / relative).parent_path());
    std::ofstream(path_ / relative, std::ios::binary) << bytes;
  }
  std::string read(const std::filesystem::path& relative) const {
    std::ifstream in(path_ / relative, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
  }
  int mode(const std::filesystem::path& relative) const {
    struct stat st {};
    if (::stat((path_ / relative).c_str(), &st) != 0) return -1;
    return static_cast<int>(st.st_mode & 07777);
  }

 private:
  std::filesystem::path path_;
  std::optional<prefs_store::ScopedConfigDir> no_config_;
};

inline constexpr const char* kJournal = "accounts/mutation-journal.json";
inline constexpr const char* kStoreFile = "accounts/accounts.json";
inline constexpr const char* kStatusFile = "accounts/sync-status.json";
inline constexpr const char* kVaultFile = "vault/vault.enc";

inline account_book::Account make_account(std::string id, std::string type,
                                          std::string display_name = "") {
  account_book::Account a;
  a.id = std::move(id);
  a.type_id = account_book::AccountTypeId::from(type);
  a.display_name = std::move(display_name);
  return a;
}

// Saves a store with a mail and a WebDAV account, a status for each and a
// secret for each.
inline void seed_two_accounts(const AccountsRoot& dir) {
  account_book::AccountStore store;
  store.upsert(make_account("me@example.org", "email", "Me"));
  store.upsert(make_account("webdav-1", "webdav", "Files"));
  store.set_active(account_book::AccountTypeId::from("email"), "me@example.org");
  (void)store.save_in(dir.path());
  account_book::AccountSyncStatusStore statuses;
  statuses.set("me@example.org", {account_book::AccountSyncHealth::kHealthy, 10, 10, {}});
  statuses.set("webdav-1", {account_book::AccountSyncHealth::kOffline, 20, 5, "offline"});
  (void)statuses.save_in(dir.path());
  auto vault = account_book::SecretVault::open_in(dir.path());
  vault.put("me@example.org", kalu_ui::secret::SecretText::copy_of("mail-secret"));
  vault.put("webdav-1", kalu_ui::secret::SecretText::copy_of("dav-secret"));
  (void)vault.try_save();
}

}  // namespace settings::accounts::testing
