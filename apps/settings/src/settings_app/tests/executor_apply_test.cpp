// The operations the executor applies itself, on a temporary settings file
// and a simulated device: every check and its sentence, what is written, and
// that a failure writes nothing.

#include "settings_app/executor_apply.h"

#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <nlohmann/json.hpp>
#include <string>
#include <variant>

#include "executor_fixture.h"
#include "stored/locale.h"
#include "stored/sections.h"
#include "stored/settings_prefs.h"
#include "system_ops/time.h"

namespace settings::settings_app {
namespace {

using Json = nlohmann::ordered_json;
using stored::InputPrefs;
using testing::DeviceScope;
namespace op = operations;
using Sources = std::vector<std::string>;

constexpr std::uint64_t kLargest = std::numeric_limits<std::uint64_t>::max();

using AnyOperation =
    std::variant<op::InputOperation, op::KeyboardSourceOperation, op::TimeDateOperation>;

AppliedResult apply(const AnyOperation& operation) {
  return std::visit([](const auto& record) { return apply_operation(record); }, operation);
}

std::string document_with_input(const InputPrefs& input) {
  Json document = Json::object();
  document["input"] = stored::write_section(input);
  return document.dump(2);
}

InputPrefs with_sources(Sources layouts, std::string active) {
  InputPrefs input;
  input.keyboard_layouts = std::move(layouts);
  input.keyboard_layout = std::move(active);
  return input;
}

InputPrefs stored_input(const DeviceScope& scope) {
  const auto text = scope.settings_text();
  if (!text) return InputPrefs{};
  auto read = stored::read_section_text<InputPrefs>(*stored::member_text(*text, "input"));
  return read ? *read : InputPrefs{};
}

struct InputCase {
  std::string name;
  AnyOperation operation;
  InputPrefs before;
  // The success message, or the failure's (then nothing may be written).
  AppliedResult expected;
  // What the success changes in `before`.
  std::function<void(InputPrefs&)> change = {};
};

void run_input_cases(const std::vector<InputCase>& cases) {
  for (const InputCase& c : cases) {
    SCOPED_TRACE(c.name);
    DeviceScope scope;
    const std::string before = document_with_input(c.before);
    scope.write_settings(before);
    EXPECT_EQ(apply(c.operation), c.expected);
    if (!c.expected) {
      EXPECT_EQ(scope.settings_text(), before);
      continue;
    }
    InputPrefs expected = c.before;
    if (c.change) c.change(expected);
    EXPECT_EQ(stored_input(scope), expected);
  }
}

using I = op::InputOperation;
using K = op::KeyboardSourceOperation;

TEST(ExecutorApply, InputOperations) {
  const auto out_of_range = kalu_ui::fail("input value must be between 0.0 and 1.0");
  InputPrefs explicit_repeat;
  explicit_repeat.key_repeat_delay_ms = 300;
  explicit_repeat.key_repeat_rate_hz = 30;
  InputPrefs with_compose;
  with_compose.compose_key = "ralt";
  const InputPrefs two = with_sources({"us", "cz"}, "us");
  const double nan = std::numeric_limits<double>::quiet_NaN();
  run_input_cases({
      {"speed 1.0",
       I::SetTouchpadPointerSpeed{1.0},
       {},
       "touchpad speed updated",
       [](InputPrefs& p) { p.touchpad_pointer_speed = 1.0; }},
      {"speed -0.0",
       I::SetMousePointerSpeed{-0.0},
       {},
       "mouse speed updated",
       [](InputPrefs& p) { p.mouse_pointer_speed = 0.0; }},
      {"speed 1.5", I::SetTouchpadPointerSpeed{1.5}, {}, out_of_range},
      {"speed -0.5", I::SetTouchpadPointerSpeed{-0.5}, {}, out_of_range},
      {"speed NaN", I::SetTouchpadPointerSpeed{nan}, {}, out_of_range},
      {"repeat NaN", I::SetKeyRepeat{nan}, explicit_repeat, out_of_range},
      {"repeat clears delay and rate", I::SetKeyRepeat{0.25}, explicit_repeat, "key repeat updated",
       [](InputPrefs& p) {
         p.key_repeat = 0.25;
         p.key_repeat_delay_ms.reset();
         p.key_repeat_rate_hz.reset();
       }},
      {"compose disabled", I::SetComposeKey{"Disabled"}, with_compose, "compose key updated",
       [](InputPrefs& p) { p.compose_key.reset(); }},
      {"compose right super",
       I::SetComposeKey{"Right Super"},
       {},
       "compose key updated",
       [](InputPrefs& p) { p.compose_key = "rwin"; }},
      {"compose lower-case menu", I::SetComposeKey{"menu"}, with_compose,
       kalu_ui::fail("unsupported compose key; key must be one of Disabled, Right Alt, Menu, Caps "
                     "Lock, Right Super, Left Super")},
      {"acceleration Flat",
       I::SetAccelerationProfile{"Flat"},
       {},
       "pointer acceleration updated",
       [](InputPrefs& p) { p.accel_profile = "flat"; }},
      {"acceleration flat",
       I::SetAccelerationProfile{"flat"},
       {},
       kalu_ui::fail("unsupported acceleration profile; profile must be one of Adaptive, Flat")},
      {"active source", I::SetActiveSource{"Czech"}, two, "active keyboard source updated",
       [](InputPrefs& p) { p.keyboard_layout = "cz"; }},
      {"active source not active", I::SetActiveSource{"French"}, two,
       kalu_ui::fail("keyboard input source is not active on this device")},
      // Installed on most machines, but not in this device's catalogue.
      {"active source not installed", I::SetActiveSource{"German"}, two,
       kalu_ui::fail("keyboard input source is no longer installed")},
      {"touchpad natural scroll",
       I::SetTouchpadNaturalScroll{false},
       {},
       "touchpad natural scrolling updated",
       [](InputPrefs& p) { p.touchpad_natural_scroll = false; }},
      {"mouse natural scroll",
       I::SetMouseNaturalScroll{true},
       {},
       "mouse natural scrolling updated",
       [](InputPrefs& p) { p.mouse_natural_scroll = true; }},
      {"tap to click",
       I::SetTapToClick{false},
       {},
       "tap to click updated",
       [](InputPrefs& p) { p.tap_to_click = false; }},
      {"tap and drag",
       I::SetTapDrag{false},
       {},
       "tap and drag updated",
       [](InputPrefs& p) { p.tap_drag = false; }},
      {"disable while typing",
       I::SetDisableWhileTyping{false},
       {},
       "disable while typing updated",
       [](InputPrefs& p) { p.disable_while_typing = false; }},
      {"middle emulation",
       I::SetMiddleEmulation{false},
       {},
       "middle-button emulation updated",
       [](InputPrefs& p) { p.middle_emulation = false; }},
      {"left handed",
       I::SetLeftHanded{true},
       {},
       "pointer handedness updated",
       [](InputPrefs& p) { p.left_handed = true; }},
      {"gestures",
       I::SetTouchpadGestures{false},
       {},
       "touchpad gestures updated",
       [](InputPrefs& p) { p.touchpad_gestures = false; }},
  });
}

TEST(ExecutorApply, KeyboardSourceOperations) {
  const InputPrefs one = with_sources({"us"}, "us");
  const InputPrefs two = with_sources({"us", "cz"}, "us");
  const InputPrefs four = with_sources({"us", "cz", "fr", "gb"}, "us");
  const auto up = kalu_ui::fail("keyboard input source can no longer move up");
  const auto down = kalu_ui::fail("keyboard input source can no longer move down");
  const auto removal = kalu_ui::fail("keyboard input source can no longer be removed");
  const auto sources = [](Sources layouts, std::string active) {
    return [=](InputPrefs& p) {
      p.keyboard_layouts = layouts;
      p.keyboard_layout = active;
    };
  };
  run_input_cases({
      {"add", K::Add{"Czech"}, one, "keyboard input source added", sources({"us", "cz"}, "cz")},
      {"add a variant", K::Add{"English (US) — Colemak"}, one, "keyboard input source added",
       sources({"us", "us:colemak"}, "us:colemak")},
      {"add a fifth", K::Add{"Swedish"}, four,
       kalu_ui::fail("the maximum number of keyboard input sources is already active")},
      {"add an active one with four", K::Add{"French"}, four,
       kalu_ui::fail("keyboard input source is already active")},
      {"add one not installed", K::Add{"German"}, one,
       kalu_ui::fail("keyboard input source is no longer installed")},
      {"move up", K::MoveUp{1}, two, "keyboard input source moved up", sources({"cz", "us"}, "us")},
      {"move up the first", K::MoveUp{0}, two, up},
      {"move up past the end", K::MoveUp{2}, two, up},
      {"move up the largest index", K::MoveUp{kLargest}, two, up},
      {"move down", K::MoveDown{0}, two, "keyboard input source moved down",
       sources({"cz", "us"}, "us")},
      {"move down the last", K::MoveDown{1}, two, down},
      {"move down the only", K::MoveDown{0}, one, down},
      {"move down the largest index", K::MoveDown{kLargest}, two, down},
      {"remove the only", K::Remove{0}, one, removal},
      {"remove the largest index", K::Remove{kLargest}, two, removal},
      {"remove the active last", K::Remove{2}, with_sources({"us", "cz", "fr"}, "fr"),
       "keyboard input source removed", sources({"us", "cz"}, "cz")},
      {"remove the active middle", K::Remove{1}, with_sources({"us", "cz", "fr"}, "cz"),
       "keyboard input source removed", sources({"us", "fr"}, "fr")},
      {"remove one not active", K::Remove{1}, with_sources({"us", "cz", "fr"}, "us"),
       "keyboard input source removed", sources({"us", "fr"}, "us")},
  });
}

TEST(ExecutorApply, InputKeepsEverythingElseOfTheDocument) {
  DeviceScope scope;
  // A foreign key, a section that does not read, an unknown member inside
  // "input": each keeps its value and its place.
  const std::string before = R"({
  "zeta": {"x": 1},
  "appearance": "broken",
  "input": {"tap_to_click": true, "future": [1, 2]},
  "alpha": [true]
})";
  scope.write_settings(before);
  ASSERT_EQ(apply(I::SetTapToClick{false}), AppliedResult("tap to click updated"));
  const Json after = Json::parse(*scope.settings_text());
  std::vector<std::string> keys;
  for (const auto& [key, value] : after.items()) keys.push_back(key);
  EXPECT_EQ(keys, (Sources{"zeta", "appearance", "input", "alpha"}));
  EXPECT_EQ(after["zeta"], Json::parse(R"({"x": 1})"));
  EXPECT_EQ(after["appearance"], "broken");
  EXPECT_EQ(after["alpha"], Json::parse("[true]"));
  EXPECT_EQ(after["input"]["tap_to_click"], false);
  EXPECT_EQ(after["input"]["future"], Json::parse("[1, 2]"));
  EXPECT_EQ(after["input"]["keyboard_layouts"], Json::parse(R"(["us"])"));
}

// A section that does not read is the person's to mend: saving over it
// would lose it. (A whole document that does not read is kept aside by the
// save instead: the settings file fault tests.)
TEST(ExecutorApply, ASectionThatDoesNotReadIsNeverReplaced) {
  struct Case {
    std::string name;
    std::string document;
    AnyOperation operation;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {"input of the wrong type", R"({"input": {"tap_to_click": "yes"}})", I::SetTapToClick{false},
       "could not persist input preferences: the stored \"input\" section does not read: "},
      {"input not an object", R"({"input": ["us"]})", K::MoveUp{1},
       "could not persist keyboard input sources: the stored \"input\" section is not an object"},
      {"locale that is not an object", R"({"locale": "EUR"})",
       op::TimeDateOperation::SetHourCycle{true},
       "could not persist clock format: the stored \"locale\" entry does not read: "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    DeviceScope scope;
    scope.write_settings(c.document);
    const AppliedResult result = apply(c.operation);
    ASSERT_FALSE(result);
    EXPECT_TRUE(result.error().starts_with(c.expected)) << result.error();
    EXPECT_EQ(scope.settings_text(), c.document);
  }
  DeviceScope scope;
  prefs_store::ScopedConfigDir none{std::filesystem::path()};
  EXPECT_EQ(apply(I::SetLeftHanded{true}),
            AppliedResult(kalu_ui::fail("could not persist input preferences: no config dir")));
}

TEST(ExecutorApply, TimeAndDate) {
  using T = op::TimeDateOperation;
  {
    SCOPED_TRACE("automatic time");
    DeviceScope scope;
    EXPECT_EQ(apply(T::SetAutomaticTime{false}), AppliedResult("automatic time updated"));
    EXPECT_EQ(system_ops::time::get_ntp(), kalu_ui::Result<bool>(false));
    DeviceScope::inject_fault("time.set_ntp", "timedated is not running");
    EXPECT_EQ(apply(T::SetAutomaticTime{true}),
              AppliedResult(
                  kalu_ui::fail("automatic time could not be changed: timedated is not running")));
  }
  {
    SCOPED_TRACE("time zone");
    DeviceScope scope;
    EXPECT_EQ(apply(T::SetTimezone{"Asia/Tokyo"}), AppliedResult("Time zone set to Asia/Tokyo."));
    EXPECT_EQ(system_ops::time::get_time_sync_status()->timezone, "Asia/Tokyo");
    EXPECT_EQ(apply(T::SetTimezone{"Asia/Tokyo"}),
              AppliedResult("Time zone is already Asia/Tokyo."));
    // The fault shows whether the service was asked at all.
    DeviceScope::inject_fault("time.set_timezone", "timedated is not running");
    EXPECT_EQ(apply(T::SetTimezone{"Europe/Paris"}),
              AppliedResult(kalu_ui::fail(
                  "time zone is not available on this device: \"Europe/Paris\"; timezone must "
                  "name one of its IANA time zones, such as \"Asia/Tokyo\"")));
    EXPECT_EQ(
        apply(T::SetTimezone{"Europe/Berlin"}),
        AppliedResult(kalu_ui::fail("time zone could not be changed: timedated is not running")));
    // A table that cannot be read lists nothing.
    std::filesystem::remove(scope.zones.path() / "zone1970.tab");
    EXPECT_EQ(apply(T::SetTimezone{"Asia/Tokyo"}),
              AppliedResult(kalu_ui::fail(
                  "time zone is not available on this device: \"Asia/Tokyo\"; it lists none")));
  }
  struct ClockCase {
    std::string name;
    std::optional<std::string> document;
    bool h24;
    std::string expected_locale;  // the "locale" entry written
  };
  const std::vector<ClockCase> clock_cases = {
      {"no stored locale", std::nullopt, false,
       R"({"currency":"USD","date_format":"ISO","time_format":"H12","measurement":"Metric","number_style":"DecimalPoint","first_day_of_week":"Monday"})"},
      {"a locale that reads", R"({"locale": {"currency": "EUR", "time_format": "H12"}})", true,
       R"({"currency":"EUR","date_format":"ISO","time_format":"H24","measurement":"Metric","number_style":"DecimalPoint","first_day_of_week":"Monday"})"},
      // Only the format is written into an entry that does not read.
      {"a locale that does not read",
       R"({"locale": {"currency": "XXX", "time_format": "H12", "extra": 1}})", true,
       R"({"currency":"XXX","time_format":"H24","extra":1})"},
  };
  for (const ClockCase& c : clock_cases) {
    SCOPED_TRACE(c.name);
    DeviceScope scope;
    if (c.document) scope.write_settings(*c.document);
    EXPECT_EQ(apply(T::SetHourCycle{c.h24}), AppliedResult("clock format updated"));
    const Json after = Json::parse(*scope.settings_text());
    EXPECT_EQ(after["locale"].dump(), c.expected_locale);
    EXPECT_FALSE(after.contains("input"));  // the preference sections stay as they were
  }
}

}  // namespace
}  // namespace settings::settings_app
