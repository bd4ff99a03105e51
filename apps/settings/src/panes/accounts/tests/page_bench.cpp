// The External Accounts pane with 20 accounts (five of each kind, each with
// a sync status and a saved secret) at 1280x800: what the UI thread pays
// when the pane is selected (the stores and the vault read, the page built
// and its first frame drawn), and what one frame's sync costs when nothing
// was pressed or requested.
#include <benchmark/benchmark.h>
#include <fmt/format.h>

#include "accounts/tests/accounts_fixture.h"
#include "kalu_ui/harness.h"
#include "kalu_ui/widget/container.h"
#include "panes/accounts/accounts_pane.h"

namespace {

using settings::accounts::testing::AccountsRoot;
using settings::accounts::testing::make_account;
using settings::panes::accounts::AccountsPane;

void seed_twenty(const AccountsRoot& dir) {
  account_book::AccountStore store;
  account_book::AccountSyncStatusStore statuses;
  auto vault = account_book::SecretVault::open_in(dir.path());
  for (int i = 0; i < 5; ++i) {
    const std::string mail = fmt::format("user{}@example.com", i);
    auto a = make_account(mail, "email", fmt::format("Mail {}", i));
    a.config = {{"display_name", a.display_name},
                {"email", mail},
                {"imap_host", "imap.mail.example.com"},
                {"imap_port", 993},
                {"imap_tls", true},
                {"smtp_host", "smtp.mail.example.com"},
                {"smtp_port", 465},
                {"smtp_tls", true},
                {"username", mail}};
    store.upsert(a);
    auto c = make_account(fmt::format("caldav-{}", i), "caldav", fmt::format("Calendar {}", i));
    c.config = {{"server_url", "https://cal.example.org/dav/"}, {"username", "ann"}};
    store.upsert(c);
    auto w = make_account(fmt::format("webdav-{}", i), "webdav", fmt::format("Files {}", i));
    w.config = {{"id", w.id},
                {"label", w.display_name},
                {"base_url", "https://files.example.org/dav/"},
                {"username", "ann"}};
    store.upsert(w);
    auto n = make_account(fmt::format("nextcloud-{}", i), "nextcloud", fmt::format("Cloud {}", i));
    n.config = {
        {"id", n.id},        {"label", n.display_name}, {"server_url", "https://cloud.example.org"},
        {"username", "ann"}, {"use_files", true},       {"use_calendar", true},
        {"use_mail", false}};
    store.upsert(n);
  }
  for (const auto& account : store.accounts) {
    statuses.set(account.id,
                 {account_book::AccountSyncHealth::kHealthy, 1'700'000'000, 1'700'000'000, "ok"});
    vault.put(account.id, kalu_ui::secret::SecretText::copy_of("secret"));
  }
  (void)store.save_in(dir.path());
  (void)statuses.save_in(dir.path());
  (void)vault.try_save();
}

// A window that is already up is given a newly built pane and draws its
// first frame, as the page frame does when External Accounts is selected.
void BM_AccountsPaneFirstFrame(benchmark::State& state) {
  AccountsRoot dir;
  seed_twenty(dir);
  kalu_ui::harness::Harness window(kalu_ui::widget::boxed(kalu_ui::widget::Container()),
                                   kalu_ui::harness::Options::sized({1280.0, 800.0}));
  window.frame();
  auto& frame = dynamic_cast<kalu_ui::widget::Container&>(window.root());
  for (auto _ : state) {
    frame.with_child(kalu_ui::widget::boxed(AccountsPane(dir.root())));
    const auto report = window.frame();
    if (!report.layout_built || !report.drawn) state.SkipWithError("the pane was not drawn");
  }
}
BENCHMARK(BM_AccountsPaneFirstFrame)->Unit(benchmark::kMillisecond);

// One sync with nothing pressed, requested or running.
void BM_AccountsPaneIdleSync(benchmark::State& state) {
  AccountsRoot dir;
  seed_twenty(dir);
  kalu_ui::harness::Harness window(kalu_ui::widget::boxed(AccountsPane(dir.root())),
                                   kalu_ui::harness::Options::sized({1280.0, 800.0}));
  window.frame();
  auto& pane = dynamic_cast<AccountsPane&>(window.root());
  for (auto _ : state) pane.sync(window.document());
}
BENCHMARK(BM_AccountsPaneIdleSync)->Unit(benchmark::kMicrosecond);

}  // namespace
