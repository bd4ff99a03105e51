// Every pane as a screen reader reads it (the accessibility bridge's
// snapshot of the window): each control is named in words, by its row's
// label or its own text, never by an internal key, and none is left
// unnamed. The panes are read on a simulated device of their own, in the
// state they open in and in the states a few presses open.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "app_fixture.h"
#include "kalu_ui/atspi/snapshot.h"
#include "prefs_store/paths.h"
#include "sim_device/state.h"

namespace settings::settings_app {
namespace {

using kalu_ui::atspi::Node;
using kalu_ui::atspi::State;
namespace role = kalu_ui::atspi::role;
using testing::AppFixture;

// A text made like an identifier: lower case, no space, words joined by
// dots, dashes or underscores ("settings.bluetooth.toggle", "login-name").
bool looks_like_key(std::string_view name) {
  if (name.empty() || name.find_first_of("._-") == std::string_view::npos) return false;
  for (char c : name) {
    const bool allowed = (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' || c == '_' ||
                         c == '-' || c == ':';
    if (!allowed) return false;
  }
  return true;
}

bool is_control(const Node& node) {
  switch (node.role) {
    case role::kButton:
    case role::kToggleButton:
    case role::kSlider:
    case role::kComboBox:
    case role::kEntry:
    case role::kPasswordText:
    case role::kListItem:
      return true;
    default:
      // A focusable image (the time-zone map); a viewport that takes the
      // focus only while it holds nothing else is no control.
      return node.role != role::kScrollPane && node.states.has(State::Focusable);
  }
}

// What is wrong with the names in the window as it is now, one line each;
// every control goes into `seen` as its role and name.
std::vector<std::string> misnamed(kalu_ui::harness::Harness& h, std::string_view pane,
                                  std::set<std::string>& seen) {
  std::vector<std::string> faults;
  const auto snapshot = kalu_ui::atspi::build_snapshot(h.root(), {});
  for (const Node& node : snapshot.nodes) {
    if (!is_control(node)) continue;
    seen.insert(std::string(kalu_ui::atspi::role_name(node.role)) + " " + node.name);
    const std::string where = std::string(pane) + ": " +
                              std::string(kalu_ui::atspi::role_name(node.role)) + " " +
                              node.accessible_id;
    if (node.name.empty()) faults.push_back(where + " has no name");
    if (looks_like_key(node.name) || (!node.name.empty() && node.name == node.accessible_id)) {
      faults.push_back(where + " is named \"" + node.name + "\"");
    }
  }
  return faults;
}

struct Window {
  Window() : config(device.dir() / "config") {}
  // Frames with short pauses, so that the pane's workers answer and the
  // pages they rebuild are read too.
  std::vector<std::string> read(std::string_view pane, int frames = 40) {
    std::vector<std::string> faults;
    for (int i = 0; i < frames; ++i) {
      t.harness.frame();
      for (std::string& fault : misnamed(t.harness, pane, seen)) {
        if (std::find(faults.begin(), faults.end(), fault) == faults.end()) {
          faults.push_back(std::move(fault));
        }
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return faults;
  }
  bool press(std::string_view id) {
    kalu_ui::Widget* widget = t.harness.find(id);
    return widget && widget->perform_action(kalu_ui::SemanticAction::activate(), {});
  }

  std::set<std::string> seen;
  sim_device::ScopedDeviceState device;
  prefs_store::ScopedConfigDir config;
  AppFixture t{kalu_ui::harness::Options::sized({1280.0, 1500.0})};
};

TEST(AccessibleNames, EveryControlOfEveryPaneIsNamedInWords) {
  Window w;
  std::vector<std::string> faults = w.read("sidebar", 2);
  for (const panes::PaneRow& row : panes::kPaneRows) {
    const panes::Pane pane = row.pane;
    w.t.app->select_pane(pane);
    for (std::string& fault : w.read(panes::pane_id(pane))) faults.push_back(std::move(fault));
  }
  // Forms and questions that a press opens.
  w.t.app->select_pane(panes::Pane::kUsers);
  w.read("users");
  if (w.press("settings.users.add")) {
    for (std::string& fault : w.read("users form")) faults.push_back(std::move(fault));
  }
  // The walk reached the pages: controls named by their rows and cards.
  for (const char* control : {"toggle button Bluetooth", "slider Brightness", "combo box Time zone",
                              "entry User name", "list item Displays"}) {
    EXPECT_TRUE(w.seen.contains(control)) << control;
  }
  EXPECT_TRUE(faults.empty()) << [&] {
    std::string all;
    for (const std::string& fault : faults) all += "\n  " + fault;
    return all;
  }();
}

TEST(AccessibleNames, AKeyIsToldFromWords) {
  for (std::string_view key : {"settings.bluetooth.toggle", "login-name", "time.timezone",
                               "settings.display.brightness"}) {
    EXPECT_TRUE(looks_like_key(key)) << key;
  }
  for (std::string_view words :
       {"Bluetooth", "User name", "Wi-Fi", "Search settings", "wlan0", "Time zone", "Brightness"}) {
    EXPECT_FALSE(looks_like_key(words)) << words;
  }
}

}  // namespace
}  // namespace settings::settings_app
