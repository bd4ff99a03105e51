#include "accounts/journal.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "account_book/secret_vault.h"
#include "accounts/tests/accounts_fixture.h"
#include "kalu_ui/log.h"

namespace settings::accounts {
namespace {

using account_book::AccountStore;
using account_book::AccountSyncStatusStore;
using account_book::SecretVault;
using kalu_ui::secret::SecretText;
using testing::AccountsRoot;
using testing::kJournal;
using testing::kStatusFile;
using testing::kStoreFile;
using testing::kVaultFile;

struct Snapshot {
  std::string store, statuses, vault;
  bool operator==(const Snapshot&) const = default;
};

Snapshot snapshot(const AccountsRoot& dir) {
  return {dir.read(kStoreFile), dir.read(kStatusFile), dir.read(kVaultFile)};
}

// Changes all three stores the way an account change does.
void change_everything(const AccountsRoot& dir) {
  AccountStore store = load_account_store(dir.root());
  store.remove("webdav-1");
  store.upsert(testing::make_account("new-1", "caldav"));
  ASSERT_TRUE(save_account_store(dir.root(), store).has_value());
  AccountSyncStatusStore statuses = load_sync_status(dir.root());
  statuses.remove("webdav-1");
  ASSERT_TRUE(save_sync_status(dir.root(), statuses).has_value());
  ASSERT_TRUE(update_vault_entry(dir.root(), "webdav-1", std::nullopt).has_value());
}

TEST(AccountJournal, BeginChangeCommitLeavesNoJournal) {
  AccountsRoot dir;
  testing::seed_two_accounts(dir);
  ASSERT_TRUE(begin_account_mutation(dir.root(), load_account_store(dir.root()),
                                     load_sync_status(dir.root()))
                  .has_value());
  EXPECT_EQ(dir.mode(kJournal), 0600);
  change_everything(dir);
  const Snapshot changed = snapshot(dir);
  ASSERT_TRUE(commit_account_mutation(dir.root(), "account removal").has_value());
  EXPECT_FALSE(dir.exists(kJournal));
  recover_interrupted_mutation(dir.root());
  EXPECT_EQ(snapshot(dir), changed);
}

// A process killed between begin and commit leaves the journal; the next
// start puts every store back byte for byte, and a second replay finds
// nothing.
TEST(AccountJournal, KilledChangeIsRolledBackExactly) {
  AccountsRoot dir;
  testing::seed_two_accounts(dir);
  const Snapshot before = snapshot(dir);

  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (begin_account_mutation(dir.root(), load_account_store(dir.root()),
                               load_sync_status(dir.root()))) {
      change_everything(dir);
      ::raise(SIGKILL);
    }
    ::_exit(1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
  ASSERT_TRUE(dir.exists(kJournal));
  ASSERT_NE(snapshot(dir), before);

  kalu_ui::log::ScopedCapture log;
  recover_interrupted_mutation(dir.root());
  EXPECT_TRUE(log.events().empty());
  EXPECT_FALSE(dir.exists(kJournal));
  EXPECT_EQ(snapshot(dir), before);
  EXPECT_EQ(SecretVault::open_in(dir.path()).get("webdav-1")->view(), "dav-secret");

  EXPECT_TRUE(roll_back_account_mutation(dir.root()).has_value());
  EXPECT_EQ(snapshot(dir), before);
}

// What a replay makes of the recorded vault bytes.
TEST(AccountJournal, ReplayRestoresOrDeletesTheVaultFile) {
  struct Case {
    const char* name;
    const char* journal;
    bool vault_before;
    std::optional<std::string> vault_after;  // none: no vault file
  };
  const Case cases[] = {
      {"bytes",
       R"({"previous_store":{},"previous_statuses":{},"previous_vault_ciphertext":[1,2,255]})",
       true, std::string("\x01\x02\xff")},
      {"empty array",
       R"({"previous_store":{},"previous_statuses":{},"previous_vault_ciphertext":[]})", true,
       std::string()},
      {"null", R"({"previous_store":{},"previous_statuses":{},"previous_vault_ciphertext":null})",
       true, std::nullopt},
      {"absent", R"({"previous_store":{},"previous_statuses":{}})", true, std::nullopt},
      {"absent, no vault file", R"({"previous_store":{},"previous_statuses":{}})", false,
       std::nullopt},
      {"array form", R"([{"accounts":[]},{"statuses":{}},[7]])", false, std::string("\x07")},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    AccountsRoot dir;
    testing::seed_two_accounts(dir);
    if (!c.vault_before) std::filesystem::remove(dir.path() / kVaultFile);
    dir.put(kJournal, c.journal);
    auto replayed = roll_back_account_mutation(dir.root());
    ASSERT_TRUE(replayed.has_value()) << replayed.error();
    EXPECT_FALSE(dir.exists(kJournal));
    EXPECT_TRUE(load_account_store(dir.root()).accounts.empty());
    EXPECT_TRUE(load_sync_status(dir.root()).statuses.empty());
    if (c.vault_after) {
      EXPECT_EQ(dir.read(kVaultFile), *c.vault_after);
      EXPECT_EQ(dir.mode(kVaultFile), 0600);
    } else {
      EXPECT_FALSE(dir.exists(kVaultFile));
    }
  }
}

// A journal that cannot be replayed is reported at start and then refuses
// every change until it is removed; the stores are left alone.
TEST(AccountJournal, CorruptJournalWarnsAndBlocksChanges) {
  const char* journals[] = {
      "{not json",
      R"({"previous_statuses":{}})",
      R"({"previous_store":{"accounts":[{"id":"a","type_id":"x","tint":300}]},"previous_statuses":{}})",
      R"({"previous_store":{},"previous_statuses":{"statuses":{"a":{"health":"fine"}}}})",
      R"({"previous_store":{},"previous_statuses":{},"previous_vault_ciphertext":[256]})",
      R"({"previous_store":{},"previous_store":{},"previous_statuses":{}})",
      R"({"previous_store":{"accounts":[{"id":"a","id":"b","type_id":"x"}]},"previous_statuses":{}})",
      R"([{},{}])",
  };
  for (const char* journal : journals) {
    SCOPED_TRACE(journal);
    AccountsRoot dir;
    testing::seed_two_accounts(dir);
    const Snapshot before = snapshot(dir);
    dir.put(kJournal, journal);

    kalu_ui::log::ScopedCapture log;
    recover_interrupted_mutation(dir.root());
    const auto events = log.events();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].target, "kalu::settings");
    EXPECT_EQ(events[0].module, "settings::accounts");
    EXPECT_EQ(events[0].message, "could not recover interrupted account mutation");
    ASSERT_NE(events[0].field("error"), nullptr);
    const std::string error = *events[0].field("error");
    EXPECT_EQ(error.rfind("account transaction intent is invalid: ", 0), 0u) << error;

    for (int attempt = 0; attempt < 2; ++attempt) {
      auto begun = begin_account_mutation(dir.root(), {}, {});
      ASSERT_FALSE(begun.has_value());
      EXPECT_EQ(begun.error(), error);
    }
    EXPECT_EQ(dir.read(kJournal), journal);
    EXPECT_EQ(snapshot(dir), before);

    std::filesystem::remove(dir.path() / kJournal);
    EXPECT_TRUE(begin_account_mutation(dir.root(), {}, {}).has_value());
  }
}

// Recording an unreadable vault as absent would let a replay delete it, so
// the change is refused before any journal is written.
TEST(AccountJournal, UnreadableVaultRefusesToBegin) {
  AccountsRoot dir;
  std::filesystem::create_directories(dir.path() / kVaultFile / "inner");
  auto begun = begin_account_mutation(dir.root(), {}, {});
  ASSERT_FALSE(begun.has_value());
  EXPECT_EQ(begun.error().rfind("could not read credential vault: ", 0), 0u) << begun.error();
  EXPECT_FALSE(dir.exists(kJournal));
  EXPECT_TRUE(dir.exists(std::filesystem::path(kVaultFile) / "inner"));
}

TEST(AccountJournal, CommitThatCannotClearReportsBothFailures) {
  AccountsRoot dir;
  std::filesystem::create_directories(dir.path() / kJournal / "inner");
  auto committed = commit_account_mutation(dir.root(), "account removal");
  ASSERT_FALSE(committed.has_value());
  EXPECT_EQ(committed.error().rfind("could not complete account removal: could not clear account "
                                    "transaction intent: ",
                                    0),
            0u)
      << committed.error();
  EXPECT_NE(committed.error().find("; recovery also failed: could not read account transaction "
                                   "intent: "),
            std::string::npos)
      << committed.error();
}

TEST(AccountJournal, WithoutAccountsRoot) {
  prefs_store::ScopedConfigDir none("");
  const RootOverride root;
  EXPECT_EQ(accounts_root(root), std::nullopt);
  EXPECT_TRUE(load_account_store(root).accounts.empty());
  EXPECT_TRUE(load_sync_status(root).statuses.empty());
  EXPECT_EQ(save_account_store(root, {}).error(), "no config dir");
  EXPECT_EQ(save_sync_status(root, {}).error(), "no config dir");
  EXPECT_EQ(mutation_journal_path(root).error(), "no config dir");
  EXPECT_EQ(begin_account_mutation(root, {}, {}).error(), "no config dir");
  EXPECT_EQ(clear_account_mutation(root).error(), "no config dir");
  EXPECT_EQ(config_file_path(root, "files/accounts.json"), std::nullopt);
  kalu_ui::log::ScopedCapture log;
  recover_interrupted_mutation(root);
  EXPECT_TRUE(log.events().empty());
}

TEST(AccountJournal, ClearingAMissingJournalSucceeds) {
  AccountsRoot dir;
  EXPECT_TRUE(clear_account_mutation(dir.root()).has_value());
  EXPECT_TRUE(roll_back_account_mutation(dir.root()).has_value());
}

}  // namespace
}  // namespace settings::accounts
