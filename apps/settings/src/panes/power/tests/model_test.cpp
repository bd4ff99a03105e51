#include "panes/power/model.h"

#include <gtest/gtest.h>

namespace settings::panes::power {
namespace {

using P = PowerProfile;

TEST(PowerLabels, ValuesOutsideTheTablesReadAsEachControlsFallback) {
  EXPECT_EQ(suspend_label(20), "15 minutes");
  EXPECT_EQ(lock_label(20), "5 minutes");
  EXPECT_EQ(blank_label(20), "10 minutes");
  EXPECT_EQ(blank_label(0), "Never");
  EXPECT_EQ(suspend_label(60), "1 hour");
  EXPECT_EQ(profile_label(static_cast<P>(7)), "Balanced");
  // The two tables differ: blank and lock offer one minute, suspend an hour.
  EXPECT_EQ(parse_blank_lock("1 minute"), 1u);
  EXPECT_EQ(parse_suspend("1 minute"), std::nullopt);
  EXPECT_EQ(parse_blank_lock("1 hour"), std::nullopt);
  EXPECT_EQ(parse_suspend("45 minutes"), 45u);
  EXPECT_EQ(parse_profile("balanced"), std::nullopt);
  EXPECT_EQ(parse_profile("Power Saver"), P::PowerSaver);
  EXPECT_EQ(parse_action("Lock screen"), PowerAction::Lock);
  EXPECT_EQ(parse_action("lock screen"), std::nullopt);
}

TEST(PowerLabels, ChargeLimitTexts) {
  const struct {
    const char* text;
    std::optional<std::uint32_t> percent;
  } cases[] = {
      {"80%", 80u},
      {"0%", 0u},
      {"80", std::nullopt},
      {"80.5%", std::nullopt},
      {"+80%", std::nullopt},
      {"%", std::nullopt},
      {" 80%", std::nullopt},
      {"80%%", std::nullopt},
      {"4294967295%", 4294967295u},
      {"4294967296%", std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(parse_charge_limit(c.text), c.percent) << c.text;
}

TEST(PowerProfiles, WhatTheProfileServiceAnswers) {
  using Profiles = std::vector<P>;
  const auto failed = [](const char* text) { return kalu_ui::fail(std::string(text)); };

  // Both calls fail: nothing offered, Balanced, both errors in order.
  ProfileState down = profile_state(failed("no daemon"), failed("bus closed"));
  EXPECT_EQ(down.profiles, Profiles{});
  EXPECT_EQ(down.current, P::Balanced);
  EXPECT_EQ(down.message,
            "Power-profile service is unavailable: no daemon; capabilities: bus closed.");

  // An active profile the list lacks is appended and offered.
  ProfileState appended = profile_state(P::Performance, Profiles{P::PowerSaver, P::Balanced});
  EXPECT_EQ(appended.profiles, (Profiles{P::PowerSaver, P::Balanced, P::Performance}));
  EXPECT_EQ(appended.current, P::Performance);
  EXPECT_EQ(appended.message, std::nullopt);

  // Without the active profile, the first offered one stands in.
  ProfileState first = profile_state(failed("timeout"), Profiles{P::Performance, P::Balanced});
  EXPECT_EQ(first.current, P::Performance);
  EXPECT_EQ(first.message, "Power-profile service is unavailable: timeout.");

  ProfileState listless = profile_state(P::PowerSaver, failed("denied"));
  EXPECT_EQ(listless.profiles, Profiles{P::PowerSaver});
  EXPECT_EQ(listless.message, "Power-profile service is unavailable: capabilities: denied.");
}

}  // namespace
}  // namespace settings::panes::power
