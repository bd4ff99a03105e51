#pragma once

// The External Accounts pane in the headless harness on a temporary accounts
// root, with a probe that answers what it is told (when the test lets it)
// and a monotonic clock the test moves by hand.

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "account_probe/account_probe.h"
#include "accounts/records.h"
#include "accounts/tests/accounts_fixture.h"
#include "kalu_ui/harness.h"
#include "kalu_ui/widget/support.h"
#include "panes/accounts/accounts_pane.h"

namespace settings::panes::accounts::testing {

using settings::accounts::testing::AccountsRoot;

inline constexpr std::uint64_t kUnixNow = 1'700'000'000;

class FakeProbe : public account_probe::AccountProbe {
 public:
  kalu_ui::Result<std::string> probe(const account_book::Account& account,
                                     std::string_view credential) const override {
    std::unique_lock lock(mutex_);
    seen_.push_back({account.id, std::string(credential)});
    changed_.notify_all();
    changed_.wait(lock, [&] { return !held_; });
    return answer_;
  }

  // Probes wait until released.
  void hold() {
    std::lock_guard lock(mutex_);
    held_ = true;
  }
  void release() {
    std::lock_guard lock(mutex_);
    held_ = false;
    changed_.notify_all();
  }
  void answer(kalu_ui::Result<std::string> answer) {
    std::lock_guard lock(mutex_);
    answer_ = std::move(answer);
  }
  // Waits (a minute at most) until `count` probes have started.
  bool started(std::size_t count) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::seconds(60), [&] { return seen_.size() >= count; });
  }
  // (account id, credential) of each probe, in order.
  std::vector<std::pair<std::string, std::string>> seen() const {
    std::lock_guard lock(mutex_);
    return seen_;
  }

 private:
  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  bool held_ = false;
  kalu_ui::Result<std::string> answer_ = std::string("Server accepted the signed-in DAV request");
  mutable std::vector<std::pair<std::string, std::string>> seen_;
};

// A store with one account of each kind: mail "ann@example.com" and WebDAV
// "webdav-1" with saved secrets, CalDAV "caldav-1" (disabled) and Nextcloud
// "nextcloud-1" without.
inline void seed_accounts(const AccountsRoot& dir) {
  using settings::accounts::to_config;
  using settings::accounts::testing::make_account;
  account_book::AccountStore store;
  settings::accounts::AccountConfig mail;
  mail.display_name = "Ann";
  mail.email = "ann@example.com";
  mail.imap_host = "imap.mail.example.com";
  mail.imap_port = 993;
  mail.username = "ann@example.com";
  auto ann = make_account("ann@example.com", "email", "Ann");
  ann.config = to_config(mail);
  store.upsert(ann);
  auto cal = make_account("caldav-1", "caldav", "Team calendar");
  cal.config = {{"server_url", "https://cal.example.org/"}, {"username", "ann"}};
  cal.enabled = false;
  store.upsert(cal);
  auto files = make_account("webdav-1", "webdav", "Files");
  files.config = to_config(settings::accounts::DavAccount{
      "webdav-1", "Files", "https://files.example.org/dav/", "ann", true, 0, {}});
  store.upsert(files);
  settings::accounts::NextcloudAccount cloud;
  cloud.id = "nextcloud-1";
  cloud.label = "Cloud";
  cloud.server_url = "https://cloud.example.org";
  cloud.username = "ann";
  auto nc = make_account("nextcloud-1", "nextcloud", "Cloud");
  nc.config = to_config(cloud);
  store.upsert(nc);
  (void)store.save_in(dir.path());
  auto vault = account_book::SecretVault::open_in(dir.path());
  vault.put("ann@example.com", kalu_ui::secret::SecretText::copy_of("mail-secret"));
  vault.put("webdav-1", kalu_ui::secret::SecretText::copy_of("dav-secret"));
  (void)vault.try_save();
}

// The check threads started and not yet ended, so that a test can wait
// until every answer has been handed over (or dropped) before it looks.
class CheckThreads {
 public:
  account_probe::ThreadStarter starter(std::shared_ptr<CheckThreads> self) {
    return [self](std::move_only_function<void()> body) -> kalu_ui::Status {
      self->change(+1);
      auto started = account_probe::start_detached([self, body = std::move(body)]() mutable {
        body();
        body = nullptr;  // the answer's sender goes with it
        self->change(-1);
      });
      if (!started) self->change(-1);
      return started;
    };
  }
  // Waits (a minute at most) until none runs.
  bool ended() {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::seconds(60), [&] { return running_ == 0; });
  }

 private:
  void change(int by) {
    std::lock_guard lock(mutex_);
    running_ += by;
    changed_.notify_all();
  }
  std::mutex mutex_;
  std::condition_variable changed_;
  int running_ = 0;
};

struct PaneFixture {
  // `seed` fills the accounts root before the pane reads it. Without
  // `starter`, checks run on threads that `checks_ended` waits for.
  explicit PaneFixture(account_probe::ThreadStarter starter = {},
                       const std::function<void(const AccountsRoot&)>& seed = {}) {
    if (seed) seed(dir);
    AccountsPane::Dependencies deps;
    deps.now = [clock = clock] { return *clock; };
    deps.unix_now = [] { return kUnixNow; };
    deps.start_thread = starter ? std::move(starter) : threads->starter(threads);
    deps.bindings = bindings;
    auto pane = kalu_ui::widget::boxed(AccountsPane(dir.root(), std::move(deps))
                                           .with_account_requests(requests)
                                           .with_account_check_note(notes)
                                           .with_account_probe(probe));
    h.emplace(std::move(pane), kalu_ui::harness::Options::sized({1280.0, 2400.0}));
    h->frame();
  }
  ~PaneFixture() { probe->release(); }

  AccountsPane& pane() { return dynamic_cast<AccountsPane&>(h->root()); }
  kalu_ui::doc::Document& doc() { return h->document(); }

  // Clicks the button and runs the frame in which the pane reads the press.
  bool press(std::string_view id) {
    if (!h->click_id(id)) return false;
    h->frame();
    return true;
  }
  void type(std::string_view id, std::string_view text) {
    h->click_id(id);
    h->type_text(text);
  }
  void advance(std::chrono::milliseconds by) { *clock = *clock + by; }
  // Waits until every check thread has ended, then runs a frame: whatever a
  // check answered has been seen by then.
  bool checks_ended() {
    if (!threads->ended()) return false;
    h->frame();
    return true;
  }
  // Runs frames until `done` holds (a minute at most).
  template <typename F>
  bool frames_until(F done) {
    const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!done()) {
      if (std::chrono::steady_clock::now() > give_up) return false;
      h->wait_for_frame(std::chrono::milliseconds(25));
      h->frame();
    }
    return true;
  }

  AccountsRoot dir;
  std::shared_ptr<FakeProbe> probe = std::make_shared<FakeProbe>();
  std::shared_ptr<CheckThreads> threads = std::make_shared<CheckThreads>();
  std::shared_ptr<kalu_ui::Instant> clock = std::make_shared<kalu_ui::Instant>(1000, 0);
  std::shared_ptr<operations::AccountRequestCell> requests =
      operations::AccountRequestCell::create({});
  // The application's note of its checks of saved accounts.
  std::shared_ptr<operations::AccountCheckNoteCell> notes =
      operations::AccountCheckNoteCell::create(std::nullopt);
  AccountBindings bindings;
  std::optional<kalu_ui::harness::Harness> h;
};

}  // namespace settings::panes::accounts::testing
