// The Users pane at 1280x800, on the fake backends with twenty accounts and
// three identities: the page frame's road when the pane is selected (the
// pane made, its first reading started on the worker, placed in a window
// that is already up and drawn), the frame in which that reading's answer
// arrives and the whole page is built, laid out and drawn, and a sync when
// nothing is pending.
#include <benchmark/benchmark.h>

#include <chrono>
#include <thread>

#include "kalu_ui/harness.h"
#include "kalu_ui/widget/container.h"
#include "panes/users/tests/fakes.h"
#include "panes/users/users_pane.h"

namespace {

using settings::panes::users::LocalIdentity;
using settings::panes::users::LocalUser;
using settings::panes::users::UsersPane;
namespace fakes = settings::panes::users::testing;

// The page frame's place for a pane: the new one replaces the old.
struct Holder : kalu_ui::widget::Container {
  void set(kalu_ui::WidgetBox pane) {
    clear_children();
    push_child(std::move(pane));
  }
};

std::shared_ptr<fakes::FakeUsers> twenty_accounts() {
  std::vector<LocalUser> users;
  for (int i = 0; i < 20; ++i) {
    users.push_back(fakes::user("user" + std::to_string(i), "Person " + std::to_string(i), 1000 + i,
                                i % 3 == 0, i == 0, i == 4));
  }
  return std::make_shared<fakes::FakeUsers>(std::move(users));
}

std::shared_ptr<fakes::FakeIdentities> three_identities() {
  using P = host_identity::Protection;
  return std::make_shared<fakes::FakeIdentities>(
      std::vector<LocalIdentity>{fakes::identity("home", "Home", true, P::SecretService),
                                 fakes::identity("work", "Work", false, P::PrivateFile),
                                 fakes::identity("lab", "", false, P::MigrationRequired)});
}

void wait_until_free(kalu_ui::harness::Harness& window, const UsersPane& pane) {
  for (int i = 0; i < 4000 && pane.busy(); ++i) {
    std::this_thread::sleep_for(std::chrono::microseconds(200));
    window.frame();
  }
}

void BM_UsersPaneSelected(benchmark::State& state) {
  auto users = twenty_accounts();
  auto identities = three_identities();
  auto holder = std::make_unique<Holder>();
  Holder& frame = *holder;
  kalu_ui::harness::Harness window(std::move(holder),
                                   kalu_ui::harness::Options::sized({1280.0, 800.0}));
  window.frame();
  for (auto _ : state) {
    frame.set(kalu_ui::widget::boxed(UsersPane(users, identities)));
    window.frame();
  }
}
BENCHMARK(BM_UsersPaneSelected)->Unit(benchmark::kMillisecond);

// Only the frame that takes the reading's answer and builds the full page.
void BM_UsersPageFirstFullFrame(benchmark::State& state) {
  auto users = twenty_accounts();
  auto identities = three_identities();
  auto holder = std::make_unique<Holder>();
  Holder& frame = *holder;
  kalu_ui::harness::Harness window(std::move(holder),
                                   kalu_ui::harness::Options::sized({1280.0, 800.0}));
  window.frame();
  for (auto _ : state) {
    state.PauseTiming();
    users->gate.close();
    const int loads = users->loads();
    auto pane = kalu_ui::widget::boxed(UsersPane(users, identities));
    auto* users_pane = static_cast<UsersPane*>(pane.get());
    frame.set(std::move(pane));
    window.frame();
    users->gate.open();
    // The worker's answer is in its channel before the timed frame.
    while (users->loads() == loads) std::this_thread::yield();
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    state.ResumeTiming();
    window.frame();
    state.PauseTiming();
    if (users_pane->busy() || users_pane->users().size() != 20) {
      state.SkipWithError("the first reading had not answered");
    }
    state.ResumeTiming();
  }
}
BENCHMARK(BM_UsersPageFirstFullFrame)->Unit(benchmark::kMillisecond);

void BM_UsersSyncNothingPending(benchmark::State& state) {
  auto users = twenty_accounts();
  kalu_ui::harness::Harness window(kalu_ui::widget::boxed(UsersPane(users, three_identities())),
                                   kalu_ui::harness::Options::sized({1280.0, 800.0}));
  auto& pane = dynamic_cast<UsersPane&>(window.root());
  window.frame();
  wait_until_free(window, pane);
  window.frame();
  const auto calls = users->calls().size();
  const int loads = users->loads();
  for (auto _ : state) pane.sync(window.document());
  if (users->calls().size() != calls || users->loads() != loads || pane.busy()) {
    state.SkipWithError("an idle sync changed or read something");
  }
}
BENCHMARK(BM_UsersSyncNothingPending)->Unit(benchmark::kMicrosecond);

}  // namespace
