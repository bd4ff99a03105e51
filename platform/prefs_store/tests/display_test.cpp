#include "prefs_store/display.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <thread>

#include "sim_device/display.h"
#include "sim_device/simdev.h"
#include "sim_device/state.h"

namespace prefs_store {
namespace {

using ::testing::HasSubstr;

// The device's file as it is on disk, read past sim_device (whose reads
// would end an overdue test themselves).
sim_device::Json file_of(const sim_device::ScopedDeviceState& scoped) {
  std::ifstream in(scoped.path());
  return sim_device::Json::parse(in, nullptr, false);
}

TEST(DisplaySnapshot, ReadsTheBuiltInPanelAndTheExternalMonitor) {
  sim_device::ScopedDeviceState scoped;
  auto snapshot = DisplayHardwareSnapshot::load();
  ASSERT_TRUE(snapshot.live_capabilities);
  ASSERT_EQ(snapshot.cards.size(), 1u);
  EXPECT_FALSE(snapshot.card_qualifier(0));
  const auto& outputs = snapshot.cards[0].outputs;
  ASSERT_EQ(outputs.size(), 2u);
  EXPECT_TRUE(outputs[0].internal);
  EXPECT_EQ(outputs[1].connector, "DP-2");
  EXPECT_TRUE(outputs[1].hdr_capable);
  EXPECT_EQ(outputs[1].color_profile_names.at("display-p3"), "Display P3");
  EXPECT_EQ(outputs[1].current_mode, (OutputMode{3840, 2160, 60000}));
  EXPECT_EQ(DisplayConfig::load().outputs.at("eDP-1").scale, 1.5);
}

TEST(DisplaySnapshot, ModeLabels) {
  EXPECT_EQ((OutputMode{2560, 1440, 144000}.label()), "2560 × 1440 · 144 Hz");
  EXPECT_EQ((OutputMode{1920, 1080, 59940}.label()), "1920 × 1080 · 59.94 Hz");
  EXPECT_EQ((OutputMode{1280, 720, 59500}.label()), "1280 × 720 · 59.5 Hz");
}

TEST(DisplaySnapshot, ItsFileMovesWhenOutputsChangeOnly) {
  sim_device::ScopedDeviceState scoped;
  auto path = display_snapshot_path();
  ASSERT_TRUE(path);
  auto before = std::filesystem::last_write_time(*path);
  ASSERT_TRUE(sim_device::update("", [](sim_device::Json& s) -> kalu_ui::Status {
    s["audio"]["sinks"][0]["volume"] = 0.1;
    return {};
  }));
  EXPECT_EQ(std::filesystem::last_write_time(*path), before);
  ASSERT_TRUE(sim_device::update("", [](sim_device::Json& s) -> kalu_ui::Status {
    s["display"]["outputs"].erase(1);
    return {};
  }));
  EXPECT_NE(std::filesystem::last_write_time(*path), before);
}

struct Invalid {
  const char* name;
  std::function<void(DisplayConfig&)> spoil;
  const char* says;
};

class InvalidConfig : public ::testing::TestWithParam<Invalid> {};

TEST_P(InvalidConfig, IsRefused) {
  sim_device::ScopedDeviceState scoped;
  auto hardware = hardware_view(DisplayHardwareSnapshot::load());
  DisplayConfig config = DisplayConfig::load();
  ASSERT_TRUE(config.validate_for(hardware));
  GetParam().spoil(config);
  auto refused = config.validate_for(hardware);
  ASSERT_FALSE(refused);
  EXPECT_THAT(refused.error(), HasSubstr(GetParam().says));
}

INSTANTIATE_TEST_SUITE_P(
    All, InvalidConfig,
    ::testing::Values(
        Invalid{"SelfMirror", [](DisplayConfig& c) { c.outputs["DP-2"].mirror = "DP-2"; },
                "cannot mirror itself"},
        Invalid{"MirrorsMissing", [](DisplayConfig& c) { c.outputs["eDP-1"].mirror = "HDMI-1"; },
                "which is not connected"},
        Invalid{"MirrorChain",
                [](DisplayConfig& c) {
                  c.outputs["HDMI-1"] = c.outputs["DP-2"];
                  c.outputs["DP-2"].mirror = "eDP-1";
                  c.outputs["eDP-1"].mirror = "DP-2";
                },
                "mirrors another display"},
        Invalid{"UnknownMode",
                [](DisplayConfig& c) {
                  c.outputs["DP-2"].mode = OutputMode{800, 600, 60000};
                },
                "800 × 600 · 60 Hz is not a mode of DP-2"},
        Invalid{"UnknownProfile",
                [](DisplayConfig& c) { c.outputs["eDP-1"].color_profile = "adobe-rgb"; },
                "adobe-rgb"},
        Invalid{"Hdr", [](DisplayConfig& c) { c.outputs["eDP-1"].hdr = true; }, "HDR"},
        Invalid{"NoneEnabled",
                [](DisplayConfig& c) {
                  c.outputs["eDP-1"].enabled = false;
                  c.outputs["DP-2"].enabled = false;
                },
                "At least one display"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(DisplayTransaction, IsKeptOnConfirmAndRevertedAtTheDeadline) {
  sim_device::ScopedDeviceState scoped;
  std::int64_t now = 1'000'000;
  ScopedDisplayClock clock([&] { return now; });
  DisplayConfig original = DisplayConfig::load();
  DisplayConfig wanted = original;
  wanted.outputs["DP-2"].mode = OutputMode{2560, 1440, 144000};

  auto first = DisplayTransaction::request(wanted);
  ASSERT_TRUE(first) << first.error();
  EXPECT_EQ(first->state, DisplayTransaction::kTesting);
  EXPECT_EQ(first->deadline_unix_ms, now + 15000);
  EXPECT_EQ(DisplayConfig::load(), wanted);
  EXPECT_FALSE(DisplayTransaction::request(original));  // one test at a time
  now += 14999;
  ASSERT_TRUE(DisplayTransaction::request_confirmation(*first));
  EXPECT_EQ(DisplayTransaction::load()->state, DisplayTransaction::kKept);
  EXPECT_EQ(DisplayHardwareSnapshot::load().cards[0].outputs[1].current_mode,
            (OutputMode{2560, 1440, 144000}));

  auto second = DisplayTransaction::request(original);
  ASSERT_TRUE(second);
  now += 15000;  // nobody keeps it
  auto seen = DisplayTransaction::load();
  ASSERT_TRUE(seen);
  EXPECT_EQ(seen->id, second->id);
  EXPECT_EQ(seen->state, DisplayTransaction::kReverted);
  EXPECT_EQ(DisplayConfig::load(), wanted);
  EXPECT_FALSE(DisplayTransaction::request_confirmation(*second));

  DisplayConfig broken = original;
  broken.outputs["DP-2"].mirror = "DP-2";
  auto rejected = DisplayTransaction::request(broken);
  ASSERT_TRUE(rejected);
  EXPECT_EQ(rejected->state, DisplayTransaction::kRejected);
  EXPECT_THAT(rejected->message.value_or(""), HasSubstr("cannot mirror itself"));
  EXPECT_EQ(DisplayConfig::load(), wanted);
}

TEST(DisplayTransaction, RevertRestoresThePreviousLayout) {
  sim_device::ScopedDeviceState scoped;
  DisplayConfig original = DisplayConfig::load();
  DisplayConfig wanted = original;
  wanted.outputs["eDP-1"].scale = 2.0;
  auto t = DisplayTransaction::request(wanted);
  ASSERT_TRUE(t);
  ASSERT_TRUE(DisplayTransaction::request_revert(*t));
  EXPECT_EQ(DisplayTransaction::load()->state, DisplayTransaction::kReverted);
  EXPECT_EQ(DisplayConfig::load(), original);
  EXPECT_FALSE(DisplayTransaction::request_revert(*t));
}

// The restore at the deadline is the device's: whatever reaches the device
// first after it (a read, simdev, a change of something else) finds the
// previous layout back, restored once.
TEST(DisplayTransaction, AnOverdueTestIsRestoredForWhoeverComesFirst) {
  const struct {
    const char* name;
    std::function<void()> access;
  } cases[] = {
      {"a read", [] { (void)sim_device::read(); }},
      {"simdev get",
       [] {
         (void)sim_device::simdev::command({"get", "display.config"});
       }},
      {"another change",
       [] {
         ASSERT_TRUE(sim_device::update("", [](sim_device::Json& state) -> kalu_ui::Status {
           state["display"]["brightness"] = 40;
           return {};
         }));
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    sim_device::ScopedDeviceState scoped;
    std::int64_t now = 1'000'000;
    ScopedDisplayClock clock([&] { return now; });
    const DisplayConfig original = DisplayConfig::load();
    DisplayConfig wanted = original;
    wanted.outputs["DP-2"].scale = 1.25;
    ASSERT_TRUE(DisplayTransaction::request(wanted));
    now += DisplayTransaction::kTestMillis;
    ASSERT_EQ(file_of(scoped)["display"]["transaction"]["state"], DisplayTransaction::kTesting);

    c.access();
    const sim_device::Json file = file_of(scoped);
    EXPECT_EQ(file["display"]["transaction"]["state"], DisplayTransaction::kReverted);
    EXPECT_EQ(file["display"]["transaction"]["message"], sim_device::display::kExpiredMessage);
    EXPECT_EQ(file["display"]["config"]["DP-2"]["scale"], 1.5);
    EXPECT_EQ(DisplayConfig::load(), original);

    // Once: a layout set after the restore stays.
    ASSERT_TRUE(sim_device::update("", [](sim_device::Json& state) -> kalu_ui::Status {
      state["display"]["config"]["DP-2"]["scale"] = 2.0;
      return {};
    }));
    now += 60'000;
    c.access();
    EXPECT_EQ(file_of(scoped)["display"]["config"]["DP-2"]["scale"], 2.0);
  }
}

// A process that started a test restores the layout at the deadline with
// nobody reading: the device's delays shorten the test, as tests do.
TEST(DisplayTransaction, TheProcessThatStartedATestRestoresItAtTheDeadline) {
  sim_device::ScopedDeviceState scoped;
  ASSERT_TRUE(sim_device::update("", [](sim_device::Json& state) -> kalu_ui::Status {
    state["delays"]["display.safety_test"] = 200;
    return {};
  }));
  DisplayConfig wanted = DisplayConfig::load();
  wanted.outputs["DP-2"].scale = 1.25;
  const auto started = DisplayTransaction::request(wanted);
  ASSERT_TRUE(started);
  EXPECT_EQ(*started->deadline_unix_ms - display_clock_unix_ms() <= 200, true);

  const auto bound = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (file_of(scoped)["display"]["transaction"]["state"] != DisplayTransaction::kReverted &&
         std::chrono::steady_clock::now() < bound) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  const sim_device::Json file = file_of(scoped);
  EXPECT_EQ(file["display"]["transaction"]["state"], DisplayTransaction::kReverted);
  EXPECT_EQ(file["display"]["config"]["DP-2"]["scale"], 1.5);
}

}  // namespace
}  // namespace prefs_store
