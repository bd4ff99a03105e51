#include <fmt/format.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>

#include "account_book/account_store.h"
#include "account_book/paths.h"
#include "account_book/secret_vault.h"
#include "account_book/sync_status.h"
#include "app_fixture.h"
#include "kalu_ui/log.h"
#include "operation_fixture.h"

namespace settings::settings_app {
namespace {

using kalu_ui::ResourceOperationStatus;
using testing::accepted;
using testing::AppFixture;
using testing::op_id;
using testing::rejected;

constexpr std::string_view kAccounts = "settings.account-operation";
constexpr std::string_view kSecret = "s3cret-Pa55";

// A probe that answers what it is told: a text, a failure, or an exception,
// after being let go when told to wait. It records what it was asked.
class FakeProbe : public account_probe::AccountProbe {
 public:
  enum class Mode { kAnswer, kThrow };
  explicit FakeProbe(kalu_ui::Result<std::string> answer, Mode mode = Mode::kAnswer,
                     bool wait = false)
      : answer_(std::move(answer)), mode_(mode), waiting_(wait) {}

  kalu_ui::Result<std::string> probe(const account_book::Account& account,
                                     std::string_view credential) const override {
    {
      std::unique_lock lock(mutex_);
      seen_id_ = account.id;
      seen_credential_ = credential;
      ++calls_;
      released_.wait(lock, [&] { return !waiting_; });
    }
    if (mode_ == Mode::kThrow) throw std::runtime_error("probe exploded");
    return answer_;
  }

  void release() {
    std::lock_guard lock(mutex_);
    waiting_ = false;
    released_.notify_all();
  }
  int calls() const {
    std::lock_guard lock(mutex_);
    return calls_;
  }
  std::string seen() const {
    std::lock_guard lock(mutex_);
    return seen_id_ + "/" + seen_credential_;
  }

 private:
  kalu_ui::Result<std::string> answer_;
  Mode mode_;
  mutable std::mutex mutex_;
  mutable std::condition_variable released_;
  mutable bool waiting_;
  mutable int calls_ = 0;
  mutable std::string seen_id_;
  mutable std::string seen_credential_;
};

// A thread starter that counts, and either runs the body at once (so the
// answer is sent before the start returns), drops it unrun, or refuses.
struct Starter {
  enum class Mode { kInline, kDrop, kRefuse, kThread };
  Mode mode = Mode::kInline;
  std::shared_ptr<int> started = std::make_shared<int>(0);

  ThreadStarter make() const {
    return
        [mode = mode, started = started](std::move_only_function<void()> body) -> kalu_ui::Status {
          switch (mode) {
            case Mode::kRefuse:
              return kalu_ui::fail("Resource temporarily unavailable");
            case Mode::kDrop:
              ++*started;
              return {};
            case Mode::kInline:
              ++*started;
              body();
              return {};
            case Mode::kThread:
              ++*started;
              return start_detached(std::move(body));
          }
          return {};
        };
  }
};

// The application with a CalDAV account "cal1" whose secret is saved, an
// account "bare1" without one, and an account of a type nobody removes.
struct CheckFixture {
  CheckFixture() {
    account_book::AccountStore store;
    store.upsert(account("cal1", "caldav"));
    store.upsert(account("bare1", "webdav"));
    store.upsert(account("chat1", "matrix"));
    EXPECT_TRUE(store.save_in(t.root.path()).has_value());
    auto vault = account_book::SecretVault::open_in(t.root.path());
    vault.put("cal1", kalu_ui::secret::SecretText::copy_of(kSecret));
    vault.put("chat1", kalu_ui::secret::SecretText::copy_of("x"));
    EXPECT_TRUE(vault.try_save().has_value());
    t.harness.frame();
  }

  static account_book::Account account(std::string id, std::string_view type) {
    account_book::Account a;
    a.id = std::move(id);
    a.type_id = account_book::AccountTypeId::from(type);
    a.config = {{"server_url", "https://dav.example.org/"}, {"username", "ann"}};
    return a;
  }

  std::shared_ptr<FakeProbe> use(std::shared_ptr<FakeProbe> probe, Starter starter = {}) {
    t.app->set_account_probe(probe);
    t.app->account_branch().set_thread_starter(starter.make());
    return probe;
  }

  kalu_ui::DeviceLocalOutcome test(std::uint8_t id, std::string_view account = "cal1") {
    return testing::start(*t.app, op_id(id), 1, kAccounts,
                          fmt::format(R"({{"Test":{{"id":"{}"}}}})", account));
  }

  AppFixture t;
};

ResourceOperationStatus failed(std::uint8_t id, std::string message) {
  return {ResourceOperationStatus::Failed{"account_connection_failed", std::move(message),
                                          std::nullopt, true, op_id(id)}};
}

TEST(AccountCheck, ASuccessIsReportedOnceWithTheMessage) {
  CheckFixture f;
  Starter starter{Starter::Mode::kThread};
  auto probe = f.use(std::make_shared<FakeProbe>("Server answered with status 207",
                                                 FakeProbe::Mode::kAnswer, true),
                     starter);
  f.t.app->select_pane(panes::Pane::kNetwork);
  EXPECT_EQ(f.test(1), accepted());
  EXPECT_EQ(f.t.app->selected_category(), panes::Pane::kExternalAccounts);
  EXPECT_EQ(f.t.app->account_branch().check_id(), op_id(1));
  // While it runs: polls answer nothing, and a second check is refused.
  EXPECT_EQ(testing::poll(*f.t.app, op_id(1)), std::nullopt);
  EXPECT_EQ(f.test(2), kalu_ui::DeviceLocalOutcome::rejected_busy(
                           "an account connection check is already running"));
  // The running check's row keeps its line.
  ASSERT_TRUE(f.t.app->account_check_note()->get().has_value());
  EXPECT_TRUE(f.t.app->account_check_note()->get()->running);
  probe->release();
  auto status = testing::poll_until_final(*f.t.app, op_id(1));
  ASSERT_TRUE(status.has_value());
  EXPECT_EQ(
      *status,
      (ResourceOperationStatus{ResourceOperationStatus::Succeeded{
          {"Server answered with status 207", R"("Server answered with status 207")"}, op_id(1)}}));
  EXPECT_EQ(probe->seen(), std::string("cal1/") + std::string(kSecret));
  EXPECT_EQ(*starter.started, 1);
  // Reported once; the check is gone and the next one may start.
  EXPECT_EQ(testing::poll(*f.t.app, op_id(1)), std::nullopt);
  EXPECT_EQ(f.t.app->account_branch().check_id(), std::nullopt);
  EXPECT_EQ(f.test(3), accepted());
}

TEST(AccountCheck, FailuresEndTheCheckWithTheConnectionCode) {
  struct Case {
    std::shared_ptr<FakeProbe> probe;
    Starter::Mode starting;
    std::string message;
  };
  const Case cases[] = {
      {std::make_shared<FakeProbe>(kalu_ui::fail("server rejected the saved credential")),
       Starter::Mode::kInline, "server rejected the saved credential"},
      {std::make_shared<FakeProbe>("unused", FakeProbe::Mode::kThrow), Starter::Mode::kInline,
       "the connection check failed unexpectedly"},
      {std::make_shared<FakeProbe>("unused", FakeProbe::Mode::kThrow), Starter::Mode::kThread,
       "the connection check failed unexpectedly"},
      // The worker's body dropped unrun: the channel closes empty.
      {std::make_shared<FakeProbe>("unused"), Starter::Mode::kDrop,
       "the connection check ended without a result"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    CheckFixture f;
    f.use(c.probe, Starter{c.starting});
    EXPECT_EQ(f.test(4), accepted());
    EXPECT_EQ(testing::poll_until_final(*f.t.app, op_id(4)), failed(4, c.message));
    EXPECT_EQ(f.t.app->account_branch().check_id(), std::nullopt);
    f.use(std::make_shared<FakeProbe>("ok"));
    EXPECT_EQ(f.test(5), accepted());
  }
}

TEST(AccountCheck, ACancelAnswersAnAnswerAlreadySentAndDropsARunningCheck) {
  CheckFixture f;
  f.use(std::make_shared<FakeProbe>("Server answered with status 207"));  // answers inline
  EXPECT_EQ(f.test(1), accepted());
  const auto answered = testing::poll(*f.t.app, op_id(1), true);
  ASSERT_TRUE(answered);
  EXPECT_FALSE(std::holds_alternative<ResourceOperationStatus::Cancelled>(answered->value));
  EXPECT_EQ(testing::poll(*f.t.app, op_id(1)), std::nullopt);

  // A worker still running when cancelled sends into nothing.
  auto waiting = f.use(std::make_shared<FakeProbe>("late", FakeProbe::Mode::kAnswer, true),
                       Starter{Starter::Mode::kThread});
  EXPECT_EQ(f.test(2), accepted());
  EXPECT_TRUE(testing::poll(*f.t.app, op_id(2), true).has_value());
  waiting->release();
  EXPECT_EQ(f.test(3), accepted());
  EXPECT_TRUE(testing::poll_until_final(*f.t.app, op_id(3)).has_value());
}

TEST(AccountCheck, RefusalsStartNoThreadAndKeepNoCheck) {
  struct Case {
    std::string_view account;
    Starter::Mode starting;
    std::string message;
  };
  const Case cases[] = {
      {"bare1", Starter::Mode::kInline,
       "this account has no saved credential; sign in again first"},
      {"gone1", Starter::Mode::kInline, "account no longer exists"},
      {"cal1", Starter::Mode::kRefuse,
       "could not start the connection check: Resource temporarily unavailable"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    CheckFixture f;
    Starter starter{c.starting};
    auto probe = f.use(std::make_shared<FakeProbe>("ok"), starter);
    EXPECT_EQ(f.test(1, c.account), rejected(c.message));
    EXPECT_EQ(*starter.started, 0);
    EXPECT_EQ(probe->calls(), 0);
    EXPECT_EQ(f.t.app->account_branch().check_id(), std::nullopt);
    // A refusal moves nothing.
    EXPECT_EQ(f.t.app->selected_category(), panes::Pane::kNetwork);
    // The account's row says why.
    EXPECT_EQ(f.t.app->account_check_note()->get(),
              (operations::AccountCheckNote{std::string(c.account), c.message, false, true}));
  }
}

// A vault that does not read says so, and says why: the credential may be
// there, behind a lost key or damaged file, and signing in again is no cure.
TEST(AccountCheck, AVaultThatDoesNotReadIsNamedNotTakenForAMissingCredential) {
  struct Case {
    std::string name;
    std::function<void(const std::filesystem::path& dir)> damage;
    std::string reason;  // in the message after "the credential vault could not be read: "
  };
  const Case cases[] = {
      {"the key is missing",
       [](const std::filesystem::path& dir) { std::filesystem::remove(dir / "vault.key"); },
       "is missing"},
      {"the key is another vault's",
       [](const std::filesystem::path& dir) {
         std::ofstream(dir / "vault.key", std::ios::binary | std::ios::trunc)
             << std::string(32, 'k');
       },
       ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    CheckFixture f;
    Starter starter;
    auto probe = f.use(std::make_shared<FakeProbe>("ok"), starter);
    c.damage(account_book::vault_dir_in(f.t.root.path()));
    kalu_ui::log::ScopedCapture capture;
    const auto outcome = f.test(1);
    const auto* refused = std::get_if<kalu_ui::DeviceLocalOutcome::Rejected>(&outcome.value);
    ASSERT_NE(refused, nullptr);
    EXPECT_TRUE(refused->message.starts_with("the credential vault could not be read: "))
        << refused->message;
    EXPECT_NE(refused->message.find(c.reason), std::string::npos) << refused->message;
    EXPECT_EQ(probe->calls(), 0);
    const auto events = capture.events();
    EXPECT_TRUE(std::ranges::any_of(events, [](const kalu_ui::log::Event& e) {
      return e.message == "credential vault could not be read";
    }));
  }
}

TEST(AccountRemoval, RemovesTheAccountAndReloadsTheList) {
  CheckFixture f;
  f.t.app->reload_accounts();
  ASSERT_EQ(f.t.app->accounts().size(), 3u);
  const auto remove = [&](std::string_view id) {
    return testing::start(*f.t.app, op_id(9), 1, kAccounts,
                          fmt::format(R"({{"Remove":{{"id":"{}"}}}})", id));
  };
  EXPECT_EQ(remove("cal1"), testing::said("Removed account cal1 with its secret."));
  EXPECT_EQ(f.t.app->selected_category(), panes::Pane::kExternalAccounts);
  ASSERT_EQ(f.t.app->accounts().size(), 2u);
  EXPECT_EQ(f.t.app->accounts()[0].id, "bare1");
  EXPECT_EQ(account_book::AccountStore::load_in(f.t.root.path())->get("cal1"), nullptr);
  EXPECT_EQ(account_book::SecretVault::open_in(f.t.root.path()).get("cal1"), std::nullopt);

  EXPECT_EQ(remove("cal1"), rejected("account no longer exists"));
  EXPECT_EQ(remove("chat1"), rejected("unsupported account type"));
  // The removal's own refusal: sync statuses that cannot be read.
  std::ofstream(f.t.root.path() / "accounts" / "sync-status.json") << "{not json";
  auto refused = remove("bare1");
  ASSERT_TRUE(std::holds_alternative<kalu_ui::DeviceLocalOutcome::Rejected>(refused.value));
  EXPECT_TRUE(std::get<kalu_ui::DeviceLocalOutcome::Rejected>(refused.value)
                  .message.starts_with("could not remove account sync status: "));
  EXPECT_EQ(f.t.app->accounts().size(), 2u);
}

}  // namespace
}  // namespace settings::settings_app
