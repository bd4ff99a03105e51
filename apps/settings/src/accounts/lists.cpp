#include "accounts/lists.h"

#include <fmt/format.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>
#include <system_error>

#include "account_book/paths.h"
#include "accounts/journal.h"
#include "accounts/kinds.h"
#include "kalu_ui/log.h"
#include "prefs_store/document.h"
#include "safe_write/read.h"
#include "safe_write/safe_write.h"

namespace settings::accounts {

namespace fs = std::filesystem;
using account_book::Account;
using account_book::AccountStore;
using kalu_ui::Status;

namespace {

constexpr std::string_view kMarkerFile = "legacy-settings-import-v1";
constexpr std::string_view kStoreFile = "accounts.json";
constexpr std::string_view kMarkerText = "imported\n";
constexpr std::string_view kLegacyDavFile = "files/accounts.json";
constexpr std::string_view kLegacyNextcloudFile = "nextcloud/accounts.json";

void warn(std::string_view message, const std::string& error) {
  kalu_ui::log::warn("kalu::settings", "settings::accounts", message, {{"error", error}});
}

std::string text_member(const account_book::Json& config, const char* key) {
  if (!config.is_object()) return {};
  auto found = config.find(key);
  if (found == config.end() || !found->is_string()) return {};
  return found->get<std::string>();
}

template <typename Store>
Store read_legacy_store(const std::optional<fs::path>& path) {
  if (!path) return {};
  auto text = prefs_store::read_text(*path);
  if (!text || !*text) return {};
  return codec::from_json<Store>(**text).value_or(Store{});
}

template <typename Legacy>
void add_missing(AccountStore& store, const std::vector<Legacy>& legacy_accounts,
                 std::string_view type_name) {
  for (const auto& legacy : legacy_accounts) {
    if (store.get(legacy.id) != nullptr) continue;
    Account account = new_account_record(legacy.id, type_name);
    account.display_name = legacy.label;
    account.enabled = legacy.enabled;
    account.tint = legacy.tint;
    account.config = to_config(legacy);
    store.upsert(std::move(account));
  }
}

// The row's id, label, enabled flag and tint are the account's, whatever the
// configuration says.
template <typename Row>
std::optional<Row> configured_row(const Account& account) {
  auto row = from_config<Row>(account.config);
  if (!row) return std::nullopt;
  row->id = account.id;
  row->label = account.display_name;
  row->enabled = account.enabled;
  row->tint = account.tint;
  return std::move(*row);
}

// The import proper, once there is an accounts root. `readable` tells whether
// `store` is what is on disk: merged accounts are never saved over a store
// that could not be read.
void import_once(const RootOverride& root, const fs::path& dir, AccountStore& store,
                 const Status& readable) {
  const fs::path marker = account_book::accounts_dir_in(dir) / kMarkerFile;
  struct stat st {};
  if (::stat(marker.c_str(), &st) == 0) return;

  const DavStore dav = read_legacy_dav_store(config_file_path(root, kLegacyDavFile));
  const NextcloudStore nextcloud =
      read_legacy_nextcloud_store(config_file_path(root, kLegacyNextcloudFile));
  if (merge_legacy_accounts(store, dav.accounts, nextcloud.accounts)) {
    Status saved = readable
                       ? save_account_store(root, store)
                       : kalu_ui::fail("could not read account metadata: {}", readable.error());
    if (!saved) {
      warn("could not persist imported legacy accounts", saved.error());
      return;
    }
  }

  std::error_code ec;
  fs::create_directories(marker.parent_path(), ec);
  if (ec) {
    warn("could not mark legacy account import complete",
         fmt::format("could not create {}: {}", marker.parent_path().string(), ec.message()));
    return;
  }
  if (auto written = safe_write::write(marker, kMarkerText); !written) {
    warn("could not mark legacy account import complete", written.error());
  }
}

}  // namespace

std::optional<MailAccountRow> mail_account_row(const Account& account) {
  auto config = from_config<AccountConfig>(account.config);
  if (!config) return std::nullopt;
  return MailAccountRow{account.id, std::move(*config), false, account.tint};
}

DavAccount caldav_account_row(const Account& account) {
  DavAccount row;
  row.id = account.id;
  row.label = account.display_name;
  row.base_url = text_member(account.config, "server_url");
  row.username = text_member(account.config, "username");
  row.enabled = account.enabled;
  row.tint = account.tint;
  return row;
}

std::optional<DavAccount> webdav_account_row(const Account& account) {
  return configured_row<DavAccount>(account);
}

std::optional<NextcloudAccount> nextcloud_account_row(const Account& account) {
  return configured_row<NextcloudAccount>(account);
}

AccountLists build_account_lists(const AccountStore& store) {
  AccountLists lists;
  for (const Account* account : store.list(type_id(AccountKind::kMail))) {
    if (auto row = mail_account_row(*account)) lists.mail_accounts.push_back(std::move(*row));
  }
  if (auto active = store.active_id(type_id(AccountKind::kMail))) {
    for (std::size_t i = 0; i < lists.mail_accounts.size(); ++i) {
      if (lists.mail_accounts[i].id == *active) {
        lists.selected_mail = i;
        break;
      }
    }
  }
  for (const Account* account : store.list(type_id(AccountKind::kCalDav))) {
    lists.caldav_accounts.accounts.push_back(caldav_account_row(*account));
  }
  for (const Account* account : store.list(type_id(AccountKind::kWebDav))) {
    if (auto row = webdav_account_row(*account)) {
      lists.webdav_accounts.accounts.push_back(std::move(*row));
    }
  }
  for (const Account* account : store.list(type_id(AccountKind::kNextcloud))) {
    if (auto row = nextcloud_account_row(*account)) {
      lists.nextcloud_accounts.accounts.push_back(std::move(*row));
    }
  }
  return lists;
}

DavStore read_legacy_dav_store(const std::optional<fs::path>& path) {
  return read_legacy_store<DavStore>(path);
}

NextcloudStore read_legacy_nextcloud_store(const std::optional<fs::path>& path) {
  return read_legacy_store<NextcloudStore>(path);
}

bool merge_legacy_accounts(AccountStore& store, const std::vector<DavAccount>& dav,
                           const std::vector<NextcloudAccount>& nextcloud) {
  const std::size_t before = store.accounts.size();
  add_missing(store, dav, type_name(AccountKind::kWebDav));
  add_missing(store, nextcloud, type_name(AccountKind::kNextcloud));
  return store.accounts.size() != before;
}

namespace {

// Moves a store file that reads but holds no account list to a new name
// beside it; answers the notice the page shows. A file that cannot be read
// at all (not a regular file, too large, no permission) stays where it is.
std::string keep_store_aside(const fs::path& dir, const std::string& error) {
  const fs::path file = account_book::accounts_dir_in(dir) / kStoreFile;
  auto bytes = safe_write::read_bounded(file, account_book::kMaxRecordFileBytes);
  if (!bytes || !*bytes) {
    warn("account list could not be read", error);
    return fmt::format("Your accounts could not be read: {}", error);
  }
  const long long now = static_cast<long long>(std::time(nullptr));
  for (int n = 1; n <= 1000; ++n) {
    fs::path copy = file;
    copy += n == 1 ? fmt::format(".unreadable-{}", now) : fmt::format(".unreadable-{}-{}", now, n);
    // A hard link never replaces an existing name; the damaged name then goes.
    if (::link(file.c_str(), copy.c_str()) != 0) {
      if (errno == EEXIST) continue;
      break;
    }
    ::unlink(file.c_str());
    kalu_ui::log::warn("kalu::settings", "settings::accounts",
                       "damaged account list kept aside; starting an empty one",
                       {{"op", "account_store_read"}, {"copy", copy.string()}, {"error", error}});
    return fmt::format(
        "Your account list was damaged and was kept aside as {}; the accounts in it are not "
        "shown.",
        copy.string());
  }
  warn("damaged account list could not be kept aside", error);
  return fmt::format("Your accounts could not be read: {}", error);
}

}  // namespace

AccountLists import_legacy_accounts(const RootOverride& root) {
  recover_interrupted_mutation(root);
  auto read = read_account_store(root);
  AccountStore store = read.value_or(AccountStore{});
  std::optional<std::string> notice;
  if (auto dir = accounts_root(root)) {
    if (!read) {
      notice = keep_store_aside(*dir, read.error());
      // Once kept aside the file is gone and the store reads as empty.
      auto again = read_account_store(root);
      if (again) read = std::move(again);
    }
    const Status readable = read ? Status{} : kalu_ui::fail(read.error());
    import_once(root, *dir, store, readable);
  }
  AccountLists lists = build_account_lists(store);
  lists.store_notice = std::move(notice);
  return lists;
}

}  // namespace settings::accounts
