#include "accounts/lists.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <functional>
#include <vector>

#include "accounts/tests/accounts_fixture.h"
#include "kalu_ui/log.h"
#include "safe_write/safe_write.h"

namespace settings::accounts {
namespace {

using account_book::Account;
using account_book::AccountStore;
using account_book::AccountTypeId;
using account_book::Json;
using testing::AccountsRoot;
using testing::make_account;

constexpr const char* kMarker = "accounts/legacy-settings-import-v1";
constexpr const char* kDavFile = "files/accounts.json";
constexpr const char* kNextcloudFile = "nextcloud/accounts.json";

Json mail_config(const char* email, int imap_port = 993) {
  Json config = Json::parse(
      R"({"display_name":"Me","email":"","imap_host":"imap.example.org","imap_port":0,)"
      R"("imap_tls":true,"smtp_host":"smtp.example.org","smtp_port":465,"smtp_tls":true,)"
      R"("username":"me"})");
  config["email"] = email;
  config["imap_port"] = imap_port;
  return config;
}

Account mail_account(const char* id, Json config) {
  Account a = make_account(id, "email");
  a.config = std::move(config);
  return a;
}

void save_store(const AccountsRoot& dir, const std::vector<Account>& accounts,
                const char* active_mail = nullptr) {
  AccountStore store;
  for (const auto& a : accounts) store.upsert(a);
  if (active_mail) store.set_active(AccountTypeId::from("email"), active_mail);
  ASSERT_TRUE(store.save_in(dir.path()).has_value());
}

std::vector<std::string> ids(const DavStore& store) {
  std::vector<std::string> out;
  for (const auto& a : store.accounts) out.push_back(a.id);
  return out;
}

int real_rename(const std::filesystem::path& from, const std::filesystem::path& to) {
  return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

struct ImportCase {
  const char* name;
  std::function<void(const AccountsRoot&)> setup;
  std::function<void(const AccountsRoot&, const AccountLists&)> check;
  bool marker_after = true;
  std::vector<std::string> warnings = {};
};

const ImportCase kImportCases[] = {
    {"no legacy lists: nothing saved, marker written, never looked at again",
     [](const AccountsRoot&) {},
     [](const AccountsRoot& dir, const AccountLists& lists) {
       EXPECT_EQ(lists, AccountLists{});
       EXPECT_FALSE(dir.exists(testing::kStoreFile));
       EXPECT_EQ(dir.read(kMarker), "imported\n");
       dir.put(kDavFile,
               R"({"accounts":[{"id":"late","label":"L","base_url":"u","username":"u"}]})");
       EXPECT_TRUE(import_legacy_accounts(dir.root()).webdav_accounts.accounts.empty());
     }},
    {"defaults, missing version, and the legacy record kept as configuration",
     [](const AccountsRoot& dir) {
       dir.put(
           kDavFile,
           R"({"accounts":[{"id":"d1","label":"Files","base_url":"https://dav","username":"u"},)"
           R"({"id":"d2","label":"Old","base_url":"https://old","username":"v","enabled":false,"tint":4}]})");
       dir.put(kNextcloudFile,
               R"({"version":3,"accounts":[{"id":"n1","label":"Cloud","server_url":"https://nc",)"
               R"("username":"w","use_mail":false}]})");
     },
     [](const AccountsRoot& dir, const AccountLists& lists) {
       ASSERT_EQ(lists.webdav_accounts.accounts.size(), 2u);
       const DavAccount& d1 = lists.webdav_accounts.accounts[0];
       EXPECT_EQ(d1.label, "Files");
       EXPECT_EQ(d1.base_url, "https://dav");
       EXPECT_TRUE(d1.enabled);
       EXPECT_EQ(d1.tint, 0);
       EXPECT_FALSE(lists.webdav_accounts.accounts[1].enabled);
       EXPECT_EQ(lists.webdav_accounts.accounts[1].tint, 4);
       ASSERT_EQ(lists.nextcloud_accounts.accounts.size(), 1u);
       const NextcloudAccount& n1 = lists.nextcloud_accounts.accounts[0];
       EXPECT_TRUE(n1.use_files && n1.use_calendar && !n1.use_mail);
       EXPECT_EQ(lists.nextcloud_accounts.version, 1u);
       const AccountStore saved = load_account_store(dir.root());
       ASSERT_EQ(saved.accounts.size(), 3u);
       EXPECT_EQ(saved.get("d2")->display_name, "Old");
       EXPECT_EQ(saved.get("d2")->config,
                 Json::parse(R"({"id":"d2","label":"Old","base_url":"https://old","username":"v",)"
                             R"("enabled":false,"tint":4})"));
       EXPECT_EQ(saved.get("n1")->type_id.as_str(), "nextcloud");
     }},
    {"ids already present, repeated in one file, or in both files: first one wins",
     [](const AccountsRoot& dir) {
       save_store(dir, {mail_account("taken", mail_config("taken@example.org"))});
       dir.put(kDavFile, R"({"accounts":[{"id":"taken","label":"X","base_url":"b","username":"u"},)"
                         R"({"id":"both","label":"First","base_url":"b","username":"u"},)"
                         R"({"id":"both","label":"Second","base_url":"b","username":"u"}]})");
       dir.put(kNextcloudFile,
               R"({"accounts":[{"id":"both","label":"NC","server_url":"s","username":"u"}]})");
     },
     [](const AccountsRoot& dir, const AccountLists& lists) {
       EXPECT_EQ(ids(lists.webdav_accounts), std::vector<std::string>{"both"});
       EXPECT_EQ(lists.webdav_accounts.accounts[0].label, "First");
       EXPECT_TRUE(lists.nextcloud_accounts.accounts.empty());
       ASSERT_EQ(lists.mail_accounts.size(), 1u);
       EXPECT_EQ(load_account_store(dir.root()).get("taken")->type_id.as_str(), "email");
     }},
    {"a file without accounts or with a broken entry contributes nothing",
     [](const AccountsRoot& dir) {
       dir.put(kDavFile, R"({"version":1})");
       dir.put(kNextcloudFile,
               R"({"accounts":[{"id":"ok","label":"L","server_url":"s","username":"u"},)"
               R"({"id":"broken","label":"L","username":"u"}]})");
     },
     [](const AccountsRoot& dir, const AccountLists& lists) {
       EXPECT_EQ(lists, AccountLists{});
       EXPECT_FALSE(dir.exists(testing::kStoreFile));
     }},
    {"a marker directory counts as present",
     [](const AccountsRoot& dir) {
       std::filesystem::create_directories(dir.path() / kMarker);
       dir.put(kDavFile, R"({"accounts":[{"id":"d","label":"L","base_url":"b","username":"u"}]})");
     },
     [](const AccountsRoot& dir, const AccountLists& lists) {
       EXPECT_TRUE(lists.webdav_accounts.accounts.empty());
       EXPECT_FALSE(dir.exists(testing::kStoreFile));
     }},
    {"an account store that cannot be read at all is never overwritten by the import",
     [](const AccountsRoot& dir) {
       std::filesystem::create_directories(dir.path() / testing::kStoreFile);
       dir.put(kDavFile, R"({"accounts":[{"id":"d","label":"L","base_url":"b","username":"u"}]})");
     },
     [](const AccountsRoot& dir, const AccountLists& lists) {
       EXPECT_EQ(ids(lists.webdav_accounts), std::vector<std::string>{"d"});
       EXPECT_TRUE(std::filesystem::is_directory(dir.path() / testing::kStoreFile));
       ASSERT_TRUE(lists.store_notice.has_value());
       EXPECT_TRUE(
           lists.store_notice->starts_with("Your accounts could not be read: could not "
                                           "read "))
           << *lists.store_notice;
       EXPECT_TRUE(lists.store_notice->ends_with(": not a regular file (a directory)"));
     },
     false,
     {"account list could not be read", "could not persist imported legacy accounts"}},
    {"a damaged account store is kept aside, said so, and the import starts a fresh one",
     [](const AccountsRoot& dir) {
       dir.put(testing::kStoreFile, "{broken");
       dir.put(kDavFile, R"({"accounts":[{"id":"d","label":"L","base_url":"b","username":"u"}]})");
     },
     [](const AccountsRoot& dir, const AccountLists& lists) {
       EXPECT_EQ(ids(lists.webdav_accounts), std::vector<std::string>{"d"});
       EXPECT_EQ(load_account_store(dir.root()).accounts.size(), 1u);
       std::vector<std::filesystem::path> copies;
       for (const auto& entry : std::filesystem::directory_iterator(dir.path() / "accounts")) {
         if (entry.path().filename().string().starts_with("accounts.json.unreadable-")) {
           copies.push_back(entry.path());
         }
       }
       ASSERT_EQ(copies.size(), 1u);
       EXPECT_EQ(dir.read(std::filesystem::relative(copies[0], dir.path())), "{broken");
       EXPECT_EQ(lists.store_notice, "Your account list was damaged and was kept aside as " +
                                         copies[0].string() +
                                         "; the accounts in it are not shown.");
     },
     true,
     {"damaged account list kept aside; starting an empty one"}},
    {"selected_mail and the rows each kind keeps",
     [](const AccountsRoot& dir) {
       Account caldav = make_account("c", "caldav", "Calendar");
       caldav.config = Json::parse(R"({"username":"cal-user","server_url":7})");
       Account bad_dav = make_account("w", "webdav", "W");
       bad_dav.config = Json::parse(R"({"id":"w"})");
       Json no_smtp_tls = mail_config("c@example.org");
       no_smtp_tls.erase("smtp_tls");
       save_store(dir,
                  {mail_account("a", mail_config("a@example.org")),
                   mail_account("big-port", mail_config("b@example.org", 65536)),
                   mail_account("c", no_smtp_tls), mail_account("d", mail_config("d@example.org")),
                   caldav, bad_dav},
                  "d");
     },
     [](const AccountsRoot&, const AccountLists& lists) {
       ASSERT_EQ(lists.mail_accounts.size(), 2u);
       EXPECT_EQ(lists.mail_accounts[1].id, "d");
       EXPECT_EQ(lists.mail_accounts[1].config.email, "d@example.org");
       EXPECT_FALSE(lists.mail_accounts[1].expanded);
       EXPECT_EQ(lists.selected_mail, 1u);
       ASSERT_EQ(lists.caldav_accounts.accounts.size(), 1u);
       EXPECT_EQ(lists.caldav_accounts.accounts[0].label, "Calendar");
       EXPECT_EQ(lists.caldav_accounts.accounts[0].username, "cal-user");
       EXPECT_EQ(lists.caldav_accounts.accounts[0].base_url, "");
       EXPECT_TRUE(lists.webdav_accounts.accounts.empty());
     }},
    {"the active mail account does not read: selected_mail is 0",
     [](const AccountsRoot& dir) {
       save_store(
           dir, {mail_account("a", mail_config("a@example.org")), mail_account("x", Json(3))}, "x");
     },
     [](const AccountsRoot&, const AccountLists& lists) {
       ASSERT_EQ(lists.mail_accounts.size(), 1u);
       EXPECT_EQ(lists.selected_mail, 0u);
     }},
};

TEST(LegacyImport, Cases) {
  for (const auto& c : kImportCases) {
    SCOPED_TRACE(c.name);
    AccountsRoot dir;
    c.setup(dir);
    kalu_ui::log::ScopedCapture log;
    const AccountLists lists = import_legacy_accounts(dir.root());
    std::vector<std::string> warnings;
    for (const auto& event : log.events()) {
      EXPECT_EQ(event.target, "kalu::settings");
      EXPECT_EQ(event.module, "settings::accounts");
      warnings.push_back(event.message);
    }
    EXPECT_EQ(warnings, c.warnings);
    EXPECT_EQ(dir.exists(kMarker), c.marker_after);
    c.check(dir, lists);
  }
}

// A save that fails leaves no marker: this load shows the accounts, the next
// one imports them again and saves.
TEST(LegacyImport, FailedSaveIsRetriedAtTheNextLoad) {
  AccountsRoot dir;
  dir.put(kDavFile, R"({"accounts":[{"id":"d","label":"L","base_url":"b","username":"u"}]})");
  {
    safe_write::testing::ScopedRenameHook fail_store(
        [](const std::filesystem::path& from, const std::filesystem::path& to) {
          return to.filename() == "accounts.json" ? EIO : real_rename(from, to);
        });
    kalu_ui::log::ScopedCapture log;
    const AccountLists lists = import_legacy_accounts(dir.root());
    EXPECT_EQ(ids(lists.webdav_accounts), std::vector<std::string>{"d"});
    ASSERT_EQ(log.events().size(), 1u);
    EXPECT_EQ(log.events()[0].message, "could not persist imported legacy accounts");
    EXPECT_NE(log.events()[0].field("error"), nullptr);
    EXPECT_FALSE(dir.exists(kMarker));
    EXPECT_FALSE(dir.exists(testing::kStoreFile));
  }
  kalu_ui::log::ScopedCapture log;
  EXPECT_EQ(ids(import_legacy_accounts(dir.root()).webdav_accounts), std::vector<std::string>{"d"});
  EXPECT_TRUE(log.events().empty());
  EXPECT_TRUE(dir.exists(kMarker));
  EXPECT_EQ(load_account_store(dir.root()).accounts.size(), 1u);
}

TEST(LegacyImport, MarkerThatCannotBeWrittenWarnsAndKeepsTheAccounts) {
  AccountsRoot dir;
  dir.put(kDavFile, R"({"accounts":[{"id":"d","label":"L","base_url":"b","username":"u"}]})");
  safe_write::testing::ScopedRenameHook fail_marker(
      [](const std::filesystem::path& from, const std::filesystem::path& to) {
        return to.filename() == "legacy-settings-import-v1" ? EIO : real_rename(from, to);
      });
  kalu_ui::log::ScopedCapture log;
  import_legacy_accounts(dir.root());
  ASSERT_EQ(log.events().size(), 1u);
  EXPECT_EQ(log.events()[0].message, "could not mark legacy account import complete");
  EXPECT_EQ(load_account_store(dir.root()).accounts.size(), 1u);
}

// The loader replays an interrupted change before it reads the store.
TEST(LegacyImport, ReplaysAnInterruptedChangeFirst) {
  AccountsRoot dir;
  save_store(dir, {mail_account("a", mail_config("a@example.org"))});
  dir.put(testing::kJournal, R"({"previous_store":{},"previous_statuses":{}})");
  EXPECT_TRUE(import_legacy_accounts(dir.root()).mail_accounts.empty());
  EXPECT_FALSE(dir.exists(testing::kJournal));
}

TEST(LegacyImport, WithoutAccountsRootNothingIsImported) {
  prefs_store::ScopedConfigDir none("");
  kalu_ui::log::ScopedCapture log;
  EXPECT_EQ(import_legacy_accounts(std::nullopt), AccountLists{});
  EXPECT_TRUE(log.events().empty());
}

TEST(LegacyImport, ReadersGiveEmptyListsForAnythingUnreadable) {
  AccountsRoot dir;
  dir.put("bad.json", "\xff\xfe{}");
  dir.put("array.json", R"([1,[["i","l","b","u"]]])");
  EXPECT_EQ(read_legacy_dav_store(std::nullopt), DavStore{});
  EXPECT_EQ(read_legacy_dav_store(dir.path() / "missing.json"), DavStore{});
  EXPECT_EQ(read_legacy_dav_store(dir.path() / "bad.json"), DavStore{});
  EXPECT_EQ(read_legacy_nextcloud_store(dir.path()), NextcloudStore{});
  EXPECT_EQ(ids(read_legacy_dav_store(dir.path() / "array.json")), std::vector<std::string>{"i"});
}

}  // namespace
}  // namespace settings::accounts
