#include "panes/users/workers.h"

#include <utility>

#include "lib/worker.h"

namespace settings::panes::users {
namespace {

// The lists alone: the pane's first reading.
ChangeOutcome read_lists(UsersBackend& users, IdentityBackend* identities) {
  ChangeOutcome outcome;
  outcome.users = users.load_users();
  if (identities != nullptr) outcome.identities = identities->load_identities();
  return outcome;
}

// A backend that throws still answers, so the pane is never left busy; the
// lists are then read again on their own.
ChangeOutcome guarded(std::optional<Change> change, UsersBackend& users,
                      IdentityBackend* identities) {
  constexpr std::string_view kUnknown = "the account change failed";
  auto done = lib::guarded<ChangeOutcome>(
      [&]() -> kalu_ui::Result<ChangeOutcome> {
        if (!change) return read_lists(users, identities);
        return run_change(std::move(*change), users, identities);
      },
      kUnknown);
  if (done) return std::move(*done);
  ChangeOutcome outcome{kalu_ui::fail(done.error()), {}, std::nullopt};
  auto lists = lib::guarded<ChangeOutcome>(
      [&]() -> kalu_ui::Result<ChangeOutcome> { return read_lists(users, identities); }, kUnknown);
  if (lists) {
    outcome.users = std::move(lists->users);
    outcome.identities = std::move(lists->identities);
  }
  return outcome;
}

}  // namespace

kalu_ui::Result<ChangeReceiver> start_change_worker(std::optional<Change> change,
                                                    std::shared_ptr<UsersBackend> users,
                                                    std::shared_ptr<IdentityBackend> identities) {
  auto [sender, receiver] = kalu_ui::channel::oneshot<ChangeOutcome>();
  auto started = lib::try_spawn_worker(
      kChangeWorkerName, [sender = std::move(sender), change = std::move(change),
                          users = std::move(users), identities = std::move(identities)]() mutable {
        (void)sender.send(guarded(std::move(change), *users, identities.get()));
      });
  if (!started) return kalu_ui::fail(started.error());
  return std::move(receiver);
}

}  // namespace settings::panes::users
