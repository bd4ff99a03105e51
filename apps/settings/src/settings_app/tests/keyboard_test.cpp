// The window by keyboard alone: the sidebar is one Tab stop that the arrow
// keys move within, Ctrl+F reaches the search field, Down and Enter in it
// reach the first result and Escape clears it, and a long dropdown jumps to
// what is typed.

#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "app_fixture.h"
#include "kalu_ui/frame.h"
#include "kalu_ui/widget/dropdown.h"
#include "panes/display/model.h"
#include "panes/time_date/page.h"
#include "prefs_store/paths.h"
#include "sidebar/sidebar_row.h"
#include "sim_device/state.h"

namespace settings::settings_app {
namespace {

using kalu_ui::Key;
using kalu_ui::Modifiers;
using testing::AppFixture;

std::string focused_id(kalu_ui::harness::Harness& h) {
  kalu_ui::Widget* focused = h.focused();
  return focused ? focused->id().value_or("(no id)") : "(nothing)";
}

struct Window {
  Window() : config(device.dir() / "config") { t.harness.frame(); }
  kalu_ui::harness::Harness& h() { return t.harness; }
  // Frames (waiting for wake-ups between them) until `done`, at most a
  // minute, against hangs only.
  template <typename Done>
  bool until(Done done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(1);
    while (!done()) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      if (!h().wait_for_frame(std::chrono::milliseconds(20))) h().frame();
    }
    return true;
  }
  void focus(std::string_view id) {
    kalu_ui::Widget* widget = h().find(id);
    ASSERT_NE(widget, nullptr) << id;
    h().driver().set_focus(widget);
  }

  sim_device::ScopedDeviceState device;
  prefs_store::ScopedConfigDir config;
  AppFixture t;
};

TEST(Keyboard, TheSidebarIsOneTabStopThatTheArrowsMoveWithin) {
  Window w;
  auto& h = w.h();
  // Tab: the search field, then the selected row, then the page.
  h.key(Key::Tab);
  EXPECT_EQ(focused_id(h), kSearchFieldId);
  h.key(Key::Tab);
  EXPECT_EQ(focused_id(h), "Network");
  h.key(Key::Down);
  EXPECT_EQ(focused_id(h), "Bluetooth");
  h.key(Key::End);
  EXPECT_EQ(focused_id(h), "About");
  h.key(Key::Up);
  EXPECT_EQ(focused_id(h), "Updates");
  h.key(Key::Home);
  EXPECT_EQ(focused_id(h), "Network");
  h.key(Key::Up);
  EXPECT_EQ(focused_id(h), "Network");
  // Arrows move the focus only: the selection stays until Enter.
  EXPECT_EQ(w.t.app->selected_category(), panes::Pane::kNetwork);
  h.key(Key::Tab);
  const kalu_ui::Widget* after = h.focused();
  ASSERT_NE(after, nullptr);
  EXPECT_EQ(dynamic_cast<const sidebar::SidebarRow*>(after), nullptr) << focused_id(h);
  // Back into the sidebar: its stop, the selected row.
  h.key(Key::Tab, Modifiers{.shift = true});
  EXPECT_EQ(focused_id(h), "Network");
}

TEST(Keyboard, CtrlFReachesSearchWhereEnterOrDownReachTheFirstResultAndEscapeClears) {
  Window w;
  auto& h = w.h();
  h.key(Key::Tab);
  h.key(Key::Tab);
  ASSERT_EQ(focused_id(h), "Network");
  h.key(Key::F, Modifiers{.ctrl = true});
  EXPECT_EQ(focused_id(h), kSearchFieldId);

  h.type_text("blue");
  h.frame();
  h.key(Key::Down);
  EXPECT_EQ(focused_id(h), "Bluetooth");

  h.key(Key::F, Modifiers{.ctrl = true});
  h.key(Key::Enter);
  h.frame();
  EXPECT_EQ(focused_id(h), "Bluetooth");

  h.key(Key::F, Modifiers{.ctrl = true});
  h.key(Key::Escape);
  h.frame();
  EXPECT_EQ(w.t.app->synchronized_search_query(), "");
  EXPECT_EQ(kalu_ui::frame::collect(h.root(),
                                    [](const kalu_ui::Widget& x) {
                                      return dynamic_cast<const sidebar::SidebarRow*>(&x);
                                    })
                .size(),
            panes::kPaneCount);
  EXPECT_EQ(focused_id(h), kSearchFieldId);
}

// Activation keeps the focus where it was: on the switch after Space, on the
// dropdown after Enter picks a choice, though each rebuilds the page; on the
// sidebar row after Enter opens its pane, from where Tab reaches the page.
TEST(Keyboard, ActivationKeepsTheFocusOnTheControl) {
  Window w;
  auto& h = w.h();
  w.focus("Bluetooth");
  h.key(Key::Enter);
  ASSERT_TRUE(w.until([&] { return w.t.app->selected_category() == panes::Pane::kBluetooth; }));
  EXPECT_EQ(focused_id(h), "Bluetooth");
  h.key(Key::Tab);
  EXPECT_EQ(focused_id(h), "bluetooth.toggle");

  const auto powered = [] {
    return (*sim_device::read().value())["bluetooth"]["powered"].get<bool>();
  };
  const bool before = powered();
  h.key(Key::Space);
  ASSERT_TRUE(w.until([&] { return powered() != before && !w.t.app->executor().busy(); }));
  h.frames(2);
  EXPECT_EQ(focused_id(h), "bluetooth.toggle");

  w.t.app->select_pane(panes::Pane::kPower);
  h.frame();
  w.focus("power.suspend");
  h.key(Key::Enter);
  h.key(Key::Down);
  h.key(Key::Enter);
  h.frames(3);
  EXPECT_EQ(focused_id(h), "power.suspend");
}

// The Displays safety test asks a question: Apply puts the focus on its
// default answer, Keep, so Enter keeps the layout in time.
TEST(Keyboard, ApplyOnDisplaysPutsTheFocusOnKeep) {
  Window w;
  auto& h = w.h();
  w.t.app->select_pane(panes::Pane::kDisplays);
  const std::string scale =
      panes::display::output_control_id("DP-2", panes::display::field::kScale);
  ASSERT_TRUE(w.until([&] { return h.find(scale) != nullptr; }));
  w.focus(scale);
  h.key(Key::Enter);
  h.key(Key::Down);
  h.key(Key::Enter);
  ASSERT_TRUE(w.until([&] { return h.find("settings.display.apply") != nullptr; }));
  EXPECT_EQ(focused_id(h), scale);
  w.focus("settings.display.apply");
  h.key(Key::Enter);
  ASSERT_TRUE(w.until([&] { return h.find("settings.display.keep") != nullptr; }));
  h.frame();
  EXPECT_EQ(focused_id(h), "settings.display.keep");
}

// Escape cancels the Add-user form, as its Cancel button does.
TEST(Keyboard, EscapeCancelsTheAddUserForm) {
  Window w;
  auto& h = w.h();
  w.t.app->select_pane(panes::Pane::kUsers);
  ASSERT_TRUE(w.until([&] { return h.find("settings.users.add") != nullptr; }));
  w.focus("settings.users.add");
  h.key(Key::Enter);
  ASSERT_TRUE(w.until([&] { return h.find("users.form.username") != nullptr; }));
  w.focus("users.form.username");
  h.type_text("ada");
  h.key(Key::Escape);
  ASSERT_TRUE(w.until([&] { return h.find("users.form.username") == nullptr; }));
}

// Ctrl+F selects the query already there, so what is typed next replaces
// it; Escape clears the text just typed as well as the query searched.
TEST(Keyboard, CtrlFSelectsTheQueryAndEscapeClearsWhatWasTyped) {
  Window w;
  auto& h = w.h();
  const auto typed = [&] {
    kalu_ui::Widget* search = h.find(kSearchFieldId);
    const auto review = search ? search->text_review() : std::nullopt;
    return review ? review->text : std::string("(none)");
  };
  h.key(Key::F, Modifiers{.ctrl = true});
  h.type_text("theme");
  h.frame();
  h.key(Key::F, Modifiers{.ctrl = true});
  h.type_text("printer");
  h.frame();
  EXPECT_EQ(typed(), "printer");
  EXPECT_EQ(w.t.app->synchronized_search_query(), "printer");

  h.key(Key::Escape);
  h.frame();
  EXPECT_EQ(typed(), "");
  EXPECT_EQ(w.t.app->synchronized_search_query(), "");
  EXPECT_EQ(focused_id(h), kSearchFieldId);
  // Typed and not yet searched: Escape clears it all the same.
  h.type_text("wifi");
  h.key(Key::Escape);
  EXPECT_EQ(typed(), "");
}

// The form "Add user" opens takes the focus on its first field; cancelled,
// it gives the focus back to "Add user".
TEST(Keyboard, TheAddUserFormTakesTheFocusAndGivesItBack) {
  Window w;
  auto& h = w.h();
  w.t.app->select_pane(panes::Pane::kUsers);
  ASSERT_TRUE(w.until([&] { return h.find("settings.users.add") != nullptr; }));
  w.focus("settings.users.add");
  h.key(Key::Enter);
  ASSERT_TRUE(w.until([&] { return h.find("users.form.full_name") != nullptr; }));
  h.frame();
  EXPECT_EQ(focused_id(h), "users.form.full_name");
  h.type_text("Ada");
  h.key(Key::Escape);
  ASSERT_TRUE(w.until([&] { return h.find("users.form.full_name") == nullptr; }));
  h.frame();
  EXPECT_EQ(focused_id(h), "settings.users.add");
}

// The removal question takes the focus on its safe answer, Cancel; Escape
// dismisses it, removing nothing, and the focus goes back to "Remove…".
TEST(Keyboard, TheRemovalQuestionFocusesCancelAndEscapeDismissesIt) {
  Window w;
  auto& h = w.h();
  w.t.app->select_pane(panes::Pane::kUsers);
  std::string remove;
  ASSERT_TRUE(w.until([&] {
    for (kalu_ui::Widget* x : kalu_ui::frame::collect(h.root(), [](const kalu_ui::Widget& y) {
           return y.id().value_or("").starts_with("settings.users.remove.");
         })) {
      remove = *x->id();
    }
    return !remove.empty();
  }));
  const std::string name = remove.substr(std::string("settings.users.remove.").size());
  const std::string cancel = "settings.users.cancel_remove." + name;
  const auto accounts = [] { return (*sim_device::read().value())["users"].dump(); };
  const std::string before = accounts();

  w.focus(remove);
  h.key(Key::Enter);
  ASSERT_TRUE(w.until([&] { return h.find(cancel) != nullptr; }));
  h.frame();
  EXPECT_EQ(focused_id(h), cancel);
  // A stray Space answers Cancel: nothing is removed.
  h.key(Key::Space);
  ASSERT_TRUE(w.until([&] { return h.find(cancel) == nullptr; }));
  h.frame();
  EXPECT_EQ(focused_id(h), remove);
  EXPECT_EQ(accounts(), before);

  h.key(Key::Enter);
  ASSERT_TRUE(w.until([&] { return h.find(cancel) != nullptr; }));
  h.key(Key::Escape);
  ASSERT_TRUE(w.until([&] { return h.find(cancel) == nullptr; }));
  h.frame();
  EXPECT_EQ(focused_id(h), remove);
  EXPECT_EQ(accounts(), before);
}

TEST(Keyboard, TheTimeZoneDropdownJumpsToWhatIsTyped) {
  Window w;
  auto& h = w.h();
  w.t.app->select_pane(panes::Pane::kTimeDate);
  h.frame();
  auto* zones = dynamic_cast<kalu_ui::widget::Dropdown*>(h.find(panes::time_date::kZoneSelectorId));
  ASSERT_NE(zones, nullptr);
  ASSERT_GT(zones->options().size(), 100u);
  w.focus(panes::time_date::kZoneSelectorId);
  h.type_text("pacific/");
  ASSERT_TRUE(zones->highlighted());
  EXPECT_TRUE(zones->options()[*zones->highlighted()].starts_with("Pacific/"))
      << zones->options()[*zones->highlighted()];
}

}  // namespace
}  // namespace settings::settings_app
