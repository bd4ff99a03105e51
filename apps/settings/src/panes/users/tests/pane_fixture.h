#pragma once

// The Users pane as the application hosts it, in the headless harness, on
// the fake backends: three accounts (ada an administrator, grace standard,
// "me" signed in) and two identities; the application's request and
// completion cells; presses and typing as a person does them, operations
// handed over as the executor does.

#include <chrono>
#include <optional>
#include <thread>

#include "kalu_ui/harness.h"
#include "operations/keys.h"
#include "panes/users/tests/fakes.h"
#include "panes/users/users_pane.h"

namespace settings::panes::users::testing {

using Completion = operations::OperationCompletion;

inline std::vector<LocalUser> three_accounts() {
  return {user("ada", "Ada Lovelace", 1001, true), user("grace", "Grace Hopper", 1002, false),
          user("me", "Pat Doe", 1000, false, true)};
}

inline std::vector<LocalIdentity> two_identities() {
  return {identity("home", "Home", true, host_identity::Protection::MigrationRequired),
          identity("work-7f", "", false, host_identity::Protection::PrivateFile,
                   {0xff, 0x00, 0x10, 0x01})};
}

inline std::string key_of(const UserOperation& operation) {
  return operations::operation_key(operation);
}

struct PaneFixture {
  explicit PaneFixture(std::vector<LocalUser> accounts = three_accounts(),
                       std::optional<std::vector<LocalIdentity>> ids = two_identities(),
                       kalu_ui::Size size = {1000.0, 1600.0}) {
    users = std::make_shared<FakeUsers>(std::move(accounts));
    if (ids) identities = std::make_shared<FakeIdentities>(std::move(*ids));
    h.emplace(kalu_ui::widget::boxed(UsersPane(users, identities)
                                         .with_operation_requests(requests)
                                         .with_operation_completion(completion)),
              kalu_ui::harness::Options::sized(size));
    EXPECT_TRUE(settle());
  }
  ~PaneFixture() {
    users->gate.open();
    EXPECT_TRUE(settle());
    // Nothing was read or changed on the UI thread.
    EXPECT_FALSE(users->ran_on(std::this_thread::get_id()));
  }

  UsersPane& pane() { return dynamic_cast<UsersPane&>(h->root()); }
  kalu_ui::doc::Document& doc() { return pane().link().own_document(); }

  // Frames until no change runs (a minute at most), then one more so
  // the page shows the answer.
  bool settle() {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    h->frame();
    while (pane().busy()) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      h->wait_for_frame(std::chrono::milliseconds(5));
      h->frame();
    }
    h->frame();
    return true;
  }
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
  // Hands the operation over as the executor does and runs one frame.
  void start(const UserOperation& operation) {
    completion->publish(Completion::Pending{key_of(operation)});
    requests->publish(operations::DeviceLocalRequest(std::in_place_type<UserOperation>, operation));
    h->frame();
  }

  std::shared_ptr<FakeUsers> users;
  std::shared_ptr<FakeIdentities> identities;
  std::shared_ptr<operations::DeviceLocalRequestCell> requests =
      operations::DeviceLocalRequestCell::create({});
  std::shared_ptr<operations::OperationCompletionCell> completion =
      operations::OperationCompletionCell::create({});
  std::optional<kalu_ui::harness::Harness> h;
};

}  // namespace settings::panes::users::testing
