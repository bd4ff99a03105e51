#include "accounts/operations.h"

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "accounts/journal.h"
#include "accounts/tests/accounts_fixture.h"
#include "kalu_ui/log.h"
#include "safe_write/safe_write.h"

namespace settings::accounts {
namespace {

using account_book::SecretVault;
using settings::accounts::load_account_store;
using settings::accounts::load_sync_status;
using settings::accounts::testing::AccountsRoot;
using settings::accounts::testing::kJournal;
using settings::accounts::testing::kStatusFile;
using settings::accounts::testing::kStoreFile;
using settings::accounts::testing::kVaultFile;

// Makes the atomic replacement of the named files fail with EIO from their
// n-th write on (1: every write); other files are written normally.
class WriteFaults {
 public:
  explicit WriteFaults(std::map<std::string, int> first_failing)
      : first_failing_(std::move(first_failing)),
        hook_([this](const std::filesystem::path& from, const std::filesystem::path& to) {
          const std::string name = to.filename().string();
          auto rule = first_failing_.find(name);
          if (rule != first_failing_.end() && ++writes_[name] >= rule->second) return EIO;
          return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
        }) {}

 private:
  std::map<std::string, int> first_failing_;
  std::map<std::string, int> writes_;
  safe_write::testing::ScopedRenameHook hook_;
};

std::string write_error(const AccountsRoot& dir, const char* relative) {
  return fmt::format("could not replace {}: Input/output error", (dir.path() / relative).string());
}

std::optional<std::string> secret_of(const AccountsRoot& dir, const char* id) {
  auto secret = SecretVault::open_in(dir.path()).get(id);
  if (!secret) return std::nullopt;
  return std::string(secret->view());
}

TEST(RemoveAccount, RemovesCredentialMetadataAndStatus) {
  AccountsRoot dir;
  settings::accounts::testing::seed_two_accounts(dir);
  kalu_ui::log::ScopedCapture log;
  ASSERT_TRUE(remove_account(dir.root(), AccountKind::kWebDav, "webdav-1").has_value());
  EXPECT_EQ(load_account_store(dir.root()).get("webdav-1"), nullptr);
  EXPECT_NE(load_account_store(dir.root()).get("me@example.org"), nullptr);
  EXPECT_EQ(load_sync_status(dir.root()).get("webdav-1"), nullptr);
  EXPECT_EQ(secret_of(dir, "webdav-1"), std::nullopt);
  EXPECT_EQ(secret_of(dir, "me@example.org"), "mail-secret");
  EXPECT_FALSE(dir.exists(kJournal));
  EXPECT_TRUE(log.events().empty());
}

TEST(RemoveAccount, IdAlreadyGoneStillLosesCredentialAndStatus) {
  AccountsRoot dir;
  settings::accounts::testing::seed_two_accounts(dir);
  auto store = load_account_store(dir.root());
  store.remove("webdav-1");
  ASSERT_TRUE(store.save_in(dir.path()).has_value());
  ASSERT_TRUE(remove_account(dir.root(), AccountKind::kMail, "webdav-1").has_value());
  EXPECT_EQ(load_sync_status(dir.root()).get("webdav-1"), nullptr);
  EXPECT_EQ(secret_of(dir, "webdav-1"), std::nullopt);
}

TEST(RemoveAccount, TypeChangedWritesNothing) {
  AccountsRoot dir;
  settings::accounts::testing::seed_two_accounts(dir);
  const std::string store = dir.read(kStoreFile), vault = dir.read(kVaultFile);
  auto removed = remove_account(dir.root(), AccountKind::kCalDav, "webdav-1");
  ASSERT_FALSE(removed.has_value());
  EXPECT_EQ(removed.error(), "account type changed before removal; refresh Settings and try again");
  EXPECT_EQ(dir.read(kStoreFile), store);
  EXPECT_EQ(dir.read(kVaultFile), vault);
  EXPECT_FALSE(dir.exists(kJournal));
}

// A store that exists but cannot be read is not replaced by one that lacks
// every account.
TEST(RemoveAccount, UnreadableStoreRefusesTheChange) {
  AccountsRoot dir;
  settings::accounts::testing::seed_two_accounts(dir);
  dir.put(kStatusFile, "{broken");
  auto removed = remove_account(dir.root(), AccountKind::kWebDav, "webdav-1");
  ASSERT_FALSE(removed.has_value());
  EXPECT_EQ(removed.error().rfind("could not remove account sync status: ", 0), 0u);
  EXPECT_EQ(dir.read(kStatusFile), "{broken");
  EXPECT_EQ(secret_of(dir, "webdav-1"), "dav-secret");
  EXPECT_FALSE(dir.exists(kJournal));
}

// A vault that cannot be read may still hold the password: the removal says
// so and changes nothing, rather than reporting success.
TEST(RemoveAccount, UnreadableVaultRefusesTheChange) {
  AccountsRoot dir;
  settings::accounts::testing::seed_two_accounts(dir);
  const std::string store = dir.read(kStoreFile), vault = dir.read(kVaultFile);
  dir.put("vault/vault.key", "short");
  auto removed = remove_account(dir.root(), AccountKind::kWebDav, "webdav-1");
  ASSERT_FALSE(removed.has_value());
  EXPECT_EQ(removed.error(),
            "could not remove saved credential: credential vault could not be "
            "read: the vault key " +
                (dir.path() / "vault/vault.key").string() + " is damaged");
  EXPECT_EQ(dir.read(kStoreFile), store);
  EXPECT_EQ(dir.read(kVaultFile), vault);
  EXPECT_FALSE(dir.exists(kJournal));
}

// A failure at each step: the text, whether the journal stays, and what the
// stores hold afterwards, once the next start has replayed any journal.
TEST(RemoveAccount, FailureAtEachStep) {
  struct Case {
    const char* name;
    std::map<std::string, int> faults;
    std::function<std::string(const AccountsRoot&)> error;
    bool journal_stays;
  };
  auto metadata = [](const AccountsRoot& d) { return write_error(d, kStoreFile); };
  auto status = [](const AccountsRoot& d) { return write_error(d, kStatusFile); };
  auto vault = [](const AccountsRoot& d) { return write_error(d, kVaultFile); };
  const Case cases[] = {
      {"vault save",
       {{"vault.enc", 1}},
       [=](const AccountsRoot& d) { return "could not remove saved credential: " + vault(d); },
       false},
      {"store save, credential restored",
       {{"accounts.json", 1}},
       [=](const AccountsRoot& d) { return "could not remove account metadata: " + metadata(d); },
       false},
      {"store save, credential restore fails",
       {{"accounts.json", 1}, {"vault.enc", 2}},
       [=](const AccountsRoot& d) {
         return "could not remove account metadata: " + metadata(d) +
                "; rollback also failed: " + vault(d);
       },
       true},
      {"status save, store and credential restored",
       {{"sync-status.json", 1}},
       [=](const AccountsRoot& d) { return "could not remove account sync status: " + status(d); },
       false},
      {"status save, store restore fails",
       {{"sync-status.json", 1}, {"accounts.json", 2}},
       [=](const AccountsRoot& d) {
         return "could not remove account sync status: " + status(d) +
                "; rollback also failed: " + metadata(d);
       },
       true},
      {"status save, credential restore fails",
       {{"sync-status.json", 1}, {"vault.enc", 2}},
       [=](const AccountsRoot& d) {
         return "could not remove account sync status: " + status(d) +
                "; rollback also failed: " + vault(d);
       },
       true},
      {"status save, both restores fail",
       {{"sync-status.json", 1}, {"accounts.json", 2}, {"vault.enc", 2}},
       [=](const AccountsRoot& d) {
         return "could not remove account sync status: " + status(d) +
                "; rollback also failed: " + metadata(d) + "; " + vault(d);
       },
       true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    AccountsRoot dir;
    settings::accounts::testing::seed_two_accounts(dir);
    const std::string store_before = dir.read(kStoreFile);
    const std::string status_before = dir.read(kStatusFile);
    kalu_ui::log::ScopedCapture log;
    {
      WriteFaults faults(c.faults);
      auto removed = remove_account(dir.root(), AccountKind::kWebDav, "webdav-1");
      ASSERT_FALSE(removed.has_value());
      EXPECT_EQ(removed.error(), c.error(dir));
    }
    EXPECT_EQ(dir.exists(kJournal), c.journal_stays);
    settings::accounts::recover_interrupted_mutation(dir.root());
    EXPECT_FALSE(dir.exists(kJournal));
    EXPECT_EQ(dir.read(kStoreFile), store_before);
    EXPECT_EQ(dir.read(kStatusFile), status_before);
    EXPECT_EQ(secret_of(dir, "webdav-1"), "dav-secret");
    for (const auto& event : log.events()) {
      for (const auto& field : event.fields)
        EXPECT_EQ(field.value.find("dav-secret"), std::string::npos);
    }
  }
}

TEST(SaveCheckedAccount, SavesMetadataAndCredential) {
  AccountsRoot dir;
  settings::accounts::testing::seed_two_accounts(dir);
  auto account = settings::accounts::testing::make_account("caldav-1", "caldav", "Calendar");
  ASSERT_TRUE(save_checked_account(dir.root(), account,
                                   kalu_ui::secret::SecretText::copy_of("cal-secret")));
  EXPECT_EQ(*load_account_store(dir.root()).get("caldav-1"), account);
  EXPECT_EQ(secret_of(dir, "caldav-1"), "cal-secret");
  EXPECT_FALSE(dir.exists(kJournal));
  // A blank credential leaves the vault alone.
  const std::string vault = dir.read(kVaultFile);
  account.display_name = "Renamed";
  ASSERT_TRUE(
      save_checked_account(dir.root(), account, kalu_ui::secret::SecretText::copy_of(" \t")));
  EXPECT_EQ(load_account_store(dir.root()).get("caldav-1")->display_name, "Renamed");
  EXPECT_EQ(dir.read(kVaultFile), vault);
}

TEST(SaveCheckedAccount, FailuresUndoTheCredential) {
  AccountsRoot dir;
  settings::accounts::testing::seed_two_accounts(dir);
  auto account = settings::accounts::testing::make_account("me@example.org", "email", "New name");
  const std::string store_before = dir.read(kStoreFile);
  const kalu_ui::secret::SecretText fresh = kalu_ui::secret::SecretText::copy_of("fresh-secret");
  {
    WriteFaults faults({{"vault.enc", 1}});
    auto saved = save_checked_account(dir.root(), account, fresh);
    ASSERT_FALSE(saved.has_value());
    EXPECT_EQ(saved.error(), "could not save credential: " + write_error(dir, kVaultFile));
    EXPECT_FALSE(dir.exists(kJournal));
  }
  {
    kalu_ui::log::ScopedCapture log;
    WriteFaults faults({{"accounts.json", 1}});
    auto saved = save_checked_account(dir.root(), account, fresh);
    ASSERT_FALSE(saved.has_value());
    EXPECT_EQ(saved.error(), "could not persist account: " + write_error(dir, kStoreFile));
    EXPECT_FALSE(dir.exists(kJournal));
    EXPECT_EQ(secret_of(dir, "me@example.org"), "mail-secret");
    const auto events = log.events();
    ASSERT_EQ(events.size(), 1u);
    const auto& event = events[0];
    EXPECT_EQ(event.module, "settings::panes::accounts");
    EXPECT_EQ(event.message, "failed to persist account metadata");
    EXPECT_EQ(*event.field("op"), "account_store_save");
    EXPECT_EQ(*event.field("error"), write_error(dir, kStoreFile));
    for (const auto& field : event.fields) {
      EXPECT_EQ(field.value.find("fresh-secret"), std::string::npos);
      EXPECT_EQ(field.value.find("mail-secret"), std::string::npos);
    }
  }
  {
    WriteFaults faults({{"accounts.json", 1}, {"vault.enc", 2}});
    auto saved = save_checked_account(dir.root(), account, fresh);
    ASSERT_FALSE(saved.has_value());
    EXPECT_EQ(saved.error(),
              "could not persist account: " + write_error(dir, kStoreFile) +
                  "; credential rollback also failed: " + write_error(dir, kVaultFile));
    EXPECT_TRUE(dir.exists(kJournal));
  }
  // The journal kept by the last failure puts the old credential back.
  EXPECT_EQ(secret_of(dir, "me@example.org"), "fresh-secret");
  settings::accounts::recover_interrupted_mutation(dir.root());
  EXPECT_EQ(secret_of(dir, "me@example.org"), "mail-secret");
  EXPECT_EQ(dir.read(kStoreFile), store_before);
}

TEST(ReplaceCredential, ReplacesOnlyThatSecret) {
  AccountsRoot dir;
  settings::accounts::testing::seed_two_accounts(dir);
  ASSERT_TRUE(
      replace_credential(dir.root(), "webdav-1", kalu_ui::secret::SecretText::copy_of("new")));
  EXPECT_EQ(secret_of(dir, "webdav-1"), "new");
  EXPECT_EQ(secret_of(dir, "me@example.org"), "mail-secret");
  dir.put(kVaultFile, "damaged");
  auto replaced =
      replace_credential(dir.root(), "webdav-1", kalu_ui::secret::SecretText::copy_of("newer"));
  ASSERT_FALSE(replaced.has_value());
  EXPECT_EQ(replaced.error().rfind("credential vault could not be read: ", 0), 0u);
  EXPECT_EQ(dir.read(kVaultFile), "damaged");
}

}  // namespace
}  // namespace settings::accounts
