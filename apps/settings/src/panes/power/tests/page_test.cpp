#include "panes/power/page.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "kalu_ui/harness.h"
#include "kalu_ui/widget/card.h"
#include "kalu_ui/widget/dropdown.h"
#include "kalu_ui/widget/sparkline.h"
#include "kalu_ui/widget/text.h"
#include "kalu_ui/widget/toggle.h"
#include "panes/power/power_pane.h"
#include "prefs_store/paths.h"
#include "sim_device/state.h"

namespace settings::panes::power {
namespace {

namespace w = kalu_ui::widget;
using kalu_ui::Widget;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::Not;

template <typename T>
void collect(const Widget& widget, std::vector<const T*>& out) {
  if (const auto* found = dynamic_cast<const T*>(&widget)) out.push_back(found);
  for (const Widget* child : widget.children()) collect(*child, out);
}

template <typename T>
std::vector<const T*> all(const Widget& root) {
  std::vector<const T*> out;
  collect(root, out);
  return out;
}

std::vector<std::string> card_titles(const Widget& root) {
  std::vector<std::string> titles;
  for (const auto* card : all<w::Card>(root)) titles.push_back(card->title());
  return titles;
}

std::vector<std::string> texts(const Widget& root) {
  std::vector<std::string> out;
  for (const auto* text : all<w::Text>(root)) out.push_back(text->text());
  return out;
}

const w::Dropdown* dropdown(const Widget& root, std::string_view id) {
  for (const auto* found : all<w::Dropdown>(root)) {
    if (found->id() == id) return found;
  }
  return nullptr;
}

class PowerPage : public ::testing::Test {
 protected:
  PowerPage() : config_(device_.dir() / "config") {}

  static kalu_ui::harness::Options tall() {
    return kalu_ui::harness::Options::sized({900.0, 2000.0});
  }

  sim_device::ScopedDeviceState device_;
  prefs_store::ScopedConfigDir config_;
};

TEST_F(PowerPage, ALaptop) {
  kalu_ui::harness::Harness harness(kalu_ui::widget::boxed(PowerPane()), tall());
  harness.frames(2);
  const Widget& root = harness.root();
  EXPECT_THAT(card_titles(root), ElementsAre("Battery", "Power devices", "Power profile",
                                             "Automatic power saving", "Power behaviour"));
  const auto shown = texts(root);
  EXPECT_THAT(shown, Contains("78%"));
  EXPECT_THAT(shown, Contains("214"));
  EXPECT_THAT(shown, Contains("Lithium-ion 57 Wh"));
  EXPECT_THAT(shown, Contains("Battery · 78% · discharging"));
  EXPECT_THAT(shown, Contains("Desk UPS"));
  EXPECT_THAT(shown, Contains("The kernel exposes a hardware stop threshold. A lower cap can "
                              "reduce long-term battery wear."));
  EXPECT_THAT(shown, Contains("You'll be warned at 15% and this action runs at 5%."));

  const auto sparklines = all<w::Sparkline>(root);
  ASSERT_EQ(sparklines.size(), 1u);
  EXPECT_EQ(sparklines[0]->values().size(), 24u);
  EXPECT_EQ(sparklines[0]->top_value(), 100.0);

  const w::Dropdown* cap = dropdown(root, kChargeLimitKey);
  ASSERT_NE(cap, nullptr);
  EXPECT_THAT(cap->options(), ElementsAre("60%", "80%", "100%"));
  EXPECT_EQ(cap->selected(), "80%");
  const w::Dropdown* profile = dropdown(root, kProfileKey);
  ASSERT_NE(profile, nullptr);
  EXPECT_THAT(profile->options(), ElementsAre("Power Saver", "Balanced", "Performance"));
  EXPECT_EQ(profile->selected(), "Balanced");
  EXPECT_THAT(
      dropdown(root, kLockKey)->options(),
      ElementsAre("1 minute", "5 minutes", "10 minutes", "15 minutes", "30 minutes", "Never"));
  const auto toggles = all<w::Toggle>(root);
  ASSERT_EQ(toggles.size(), 1u);
  EXPECT_TRUE(toggles[0]->value());
  // The per-profile timers carry no widget id of their own.
  EXPECT_EQ(dropdown(root, kSaverSuspendKey), nullptr);
  EXPECT_EQ(all<w::Dropdown>(root).size(), 11u);
}

// Every control is bound to its action of the Power section; a choice is
// recorded as an invocation of that action for the toolkit to take.
TEST_F(PowerPage, ControlsInvokeThePowerSectionsActions) {
  kalu_ui::harness::Harness harness(kalu_ui::widget::boxed(PowerPane()), tall());
  harness.frames(2);
  std::vector<std::string> actions;
  for (const auto* found : all<w::Dropdown>(harness.root())) {
    ASSERT_TRUE(found->binding().has_value());
    EXPECT_EQ(found->binding()->resource_id, "settings.section:power");
    actions.push_back(found->binding()->action);
  }
  EXPECT_THAT(actions, ElementsAre("set-charge-cap", "profile", "suspend-after", "blank-after",
                                   "lock-after", "saver-suspend", "balanced-suspend",
                                   "performance-suspend", "lid", "power_key", "critical"));
  const auto toggles = all<w::Toggle>(harness.root());
  ASSERT_EQ(toggles.size(), 1u);
  ASSERT_TRUE(toggles[0]->binding().has_value());
  EXPECT_EQ(toggles[0]->binding()->action, "auto_suspend");

  auto* saver = const_cast<w::Dropdown*>(all<w::Dropdown>(harness.root())[5]);
  saver->choose(5);  // "1 hour"
  const auto invocation = harness.root().take_control_invocation();
  ASSERT_TRUE(invocation.has_value());
  EXPECT_EQ(invocation->action, "saver-suspend");
  EXPECT_THAT(invocation->arguments_json, ::testing::HasSubstr("1 hour"));
}

TEST_F(PowerPage, ADesktopWhoseProfileServiceIsDown) {
  PowerReadings readings = read_power_readings();
  readings.battery.present = false;
  readings.power_devices.resize(1);
  readings.charge_capability.reset();
  readings.profiles =
      profile_state(kalu_ui::fail(std::string("no daemon")), kalu_ui::fail(std::string("gone")));
  kalu_ui::harness::Harness harness(kalu_ui::widget::boxed(PowerPane(readings, nullptr)), tall());
  harness.frame();
  EXPECT_THAT(
      card_titles(harness.root()),
      ElementsAre("Power source", "Power profile", "Automatic power saving", "Power behaviour"));
  const auto shown = texts(harness.root());
  EXPECT_THAT(shown, Contains("AC power"));
  EXPECT_THAT(shown, Contains("This device has no battery — it runs on mains power, so charge "
                              "and battery-saver settings don't apply."));
  EXPECT_THAT(shown, Contains("Power-profile service unavailable"));
  EXPECT_THAT(shown, Contains("Power-profile service is unavailable: no daemon; capabilities: "
                              "gone."));
  EXPECT_EQ(dropdown(harness.root(), kProfileKey), nullptr);
  EXPECT_TRUE(all<w::Sparkline>(harness.root()).empty());
}

TEST_F(PowerPage, OneHistorySampleNoHealthAndNoCapControl) {
  PowerReadings readings = read_power_readings();
  readings.battery_history.resize(1);
  readings.battery.energy_full_design_wh = 0;
  readings.charge_capability.reset();
  kalu_ui::harness::Harness harness(kalu_ui::widget::boxed(PowerPane(readings, nullptr)), tall());
  harness.frame();
  const auto shown = texts(harness.root());
  EXPECT_TRUE(all<w::Sparkline>(harness.root()).empty());
  EXPECT_THAT(shown, Not(Contains(::testing::StartsWith("Charge history"))));
  EXPECT_THAT(shown, Contains("Not reported by this device"));
  EXPECT_THAT(shown, Contains("Not supported by this hardware"));
  EXPECT_EQ(dropdown(harness.root(), kChargeLimitKey), nullptr);
}

TEST_F(PowerPage, TheCapCaptionFollowsTheHardware) {
  system_ops::battery::ChargeCapability cap;
  const struct {
    std::uint8_t kind;
    bool start;
    const char* starts;
  } cases[] = {{0, false, "The kernel exposes a hardware stop threshold."},
               {0, true, "The kernel exposes start and stop thresholds;"},
               {1, true, "This laptop exposes a discrete conservation mode,"},
               {2, false, "The platform uses paired start/end thresholds;"},
               {9, false, "The platform uses paired start/end thresholds;"}};
  for (const auto& c : cases) {
    cap.kind = c.kind;
    cap.start_threshold = c.start;
    EXPECT_TRUE(charge_cap_caption(cap).starts_with(c.starts)) << int(c.kind);
  }
}

// Values outside the tables show each control's fallback.
TEST_F(PowerPage, TwentyMinutesShowTheFallbackLabels) {
  std::filesystem::create_directories(device_.dir() / "config" / "kalu");
  std::ofstream(device_.dir() / "config" / "kalu" / "settings.json")
      << R"({"power": {"auto_suspend": false, "suspend_minutes": 20, "lock_minutes": 20,
                     "blank_minutes": 20, "lid_close_action": "lock"}})";
  kalu_ui::harness::Harness harness(kalu_ui::widget::boxed(PowerPane()), tall());
  harness.frame();
  EXPECT_EQ(dropdown(harness.root(), kSuspendKey)->selected(), "15 minutes");
  EXPECT_EQ(dropdown(harness.root(), kLockKey)->selected(), "5 minutes");
  EXPECT_EQ(dropdown(harness.root(), kBlankKey)->selected(), "10 minutes");
  // The section was read (not replaced by its defaults).
  EXPECT_EQ(dropdown(harness.root(), kLidKey)->selected(), "Lock screen");
}

TEST_F(PowerPage, UsingThePageAsksForPermission) {
  kalu_ui::harness::Harness harness(kalu_ui::widget::boxed(PowerPane()), tall());
  harness.frame();
  EXPECT_EQ(harness.root().take_permission_request(), std::nullopt);
  ASSERT_TRUE(harness.click_id(kLidKey));
  const auto context = harness.root().take_permission_request();
  ASSERT_TRUE(context.has_value());
  EXPECT_EQ(context->subject.id, "settings.preference:power");
  // Asked once per use.
  EXPECT_EQ(harness.root().take_permission_request(), std::nullopt);
}

}  // namespace
}  // namespace settings::panes::power
