// The Users pane in the application's frame on a simulated device whose
// account programs are simdev's: its wiring to the application's cells, and
// a click of a bound account button, which writes the button's flag and is
// replayed as the Users section's action. The change runs once and no
// error card follows.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include "app_fixture.h"
#include "limited_exec/programs.h"
#include "panes/users/users_pane.h"
#include "prefs_store/paths.h"
#include "sim_device/state.h"

namespace settings::settings_app {
namespace {

using testing::AppFixture;
namespace users = panes::users;

using enum panes::Pane;

// Sets an environment variable for the guard's lifetime.
class Env {
 public:
  Env(const char* name, const std::string& value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    ::setenv(name, value.c_str(), 1);
  }
  ~Env() {
    if (old_) {
      ::setenv(name_, old_->c_str(), 1);
    } else {
      ::unsetenv(name_);
    }
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

std::string name_of(const std::vector<users::LocalUser>& list, std::string_view display) {
  for (const auto& user : list) {
    if (user.display_name == display) return user.username;
  }
  return {};
}

bool lists(const std::vector<users::LocalUser>& list, const std::string& name) {
  return std::ranges::any_of(list, [&](const auto& u) { return u.username == name; });
}

class UsersInTheWindow : public ::testing::Test {
 protected:
  UsersInTheWindow() : config_(device_.dir() / "config") {}

  users::UsersPane& open() {
    t.harness.frame();
    t.app->select_pane(kUsers);
    t.harness.frame();
    auto* pane = dynamic_cast<users::UsersPane*>(t.pane_widget());
    EXPECT_NE(pane, nullptr);
    settle();
    return *pane;
  }
  users::UsersPane& pane() { return dynamic_cast<users::UsersPane&>(*t.pane_widget()); }

  // Frames until the pane and the executor are free (a while at most).
  void settle() {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    for (int quiet = 0; quiet < 5 && std::chrono::steady_clock::now() < deadline;) {
      t.harness.wait_for_frame(std::chrono::milliseconds(20));
      t.harness.frame();
      quiet = (pane().busy() || t.app->executor().busy()) ? 0 : quiet + 1;
    }
  }

  sim_device::ScopedDeviceState device_;
  prefs_store::ScopedConfigDir config_;
  Env user_{"USER", "frame-tester"};
  Env identities_{"KALU_IDENTITY_DIR", (device_.dir() / "identities").string()};
  limited_exec::ScopedTestPrograms programs_{
      limited_exec::simulated_programs(limited_exec::simdev_path())};
  AppFixture t;
};

TEST_F(UsersInTheWindow, ThePaneTakesTheApplicationsCells) {
  users::UsersPane& p = open();
  EXPECT_TRUE(p.link().hosted());
  EXPECT_TRUE(p.loaded());
  EXPECT_FALSE(name_of(p.users(), "Grace Hopper").empty());
}

TEST_F(UsersInTheWindow, AClickedAccountButtonChangesTheAccountOnce) {
  users::UsersPane& p = open();
  const std::string grace = name_of(p.users(), "Grace Hopper");
  const std::string ada = name_of(p.users(), "Ada Lovelace");
  ASSERT_FALSE(grace.empty());
  ASSERT_FALSE(ada.empty());
  (void)t.harness.take_replayed();

  ASSERT_TRUE(t.harness.click_id(users::control::role(grace)));
  settle();
  auto replayed = t.harness.take_replayed();
  ASSERT_EQ(replayed.size(), 1u);
  EXPECT_EQ(replayed[0].invocation.resource_id, "settings.user:" + grace);
  EXPECT_EQ(replayed[0].invocation.action, "set-admin");
  // The action ran through the executor; the button's own flag found the
  // pane busy with it and was dropped (else grace would be standard again).
  EXPECT_EQ(replayed[0].fate, kalu_ui::host::ReplayedControl::Fate::Started) << replayed[0].message;
  EXPECT_EQ(pane().last_error(), std::nullopt);
  for (const auto& user : pane().users()) {
    if (user.username == grace) {
      EXPECT_TRUE(user.administrator);
    }
  }

  ASSERT_TRUE(t.harness.click_id(users::control::remove(ada)));
  t.harness.frame();
  t.harness.frame();
  ASSERT_TRUE(t.harness.click_id(users::control::confirm_remove_keep(ada)));
  settle();
  EXPECT_EQ(pane().last_error(), std::nullopt);
  EXPECT_FALSE(lists(pane().users(), ada));
  EXPECT_TRUE(lists(pane().users(), grace));
  EXPECT_EQ(pane().pending_user_removal(), std::nullopt);
}

}  // namespace
}  // namespace settings::settings_app
