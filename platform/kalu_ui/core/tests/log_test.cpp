#include "kalu_ui/log.h"

#include <gtest/gtest.h>

namespace kalu_ui::log {
namespace {

TEST(LogTest, CaptureSinkKeepsTargetModuleAndFields) {
  ScopedCapture capture;
  warn("kalu::settings", "settings::panes::display", "display preference could not be saved",
       {{"op", "display_prefs_save"}, {"error", "disk full"}});
  const auto events = capture.events();
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].target, "kalu::settings");
  EXPECT_EQ(events[0].module, "settings::panes::display");
  ASSERT_NE(events[0].field("op"), nullptr);
  EXPECT_EQ(*events[0].field("op"), "display_prefs_save");
  EXPECT_EQ(*events[0].field("error"), "disk full");
  EXPECT_EQ(events[0].field("device"), nullptr);
}

TEST(LogTest, ScopedCaptureRestoresThePreviousSink) {
  auto outer = std::make_shared<CaptureSink>();
  auto before = set_sink(outer);
  {
    ScopedCapture inner;
    warn("t", "m", "inside");
    EXPECT_EQ(inner.events().size(), 1u);
  }
  warn("t", "m", "outside");
  EXPECT_EQ(outer->events().size(), 1u);
  EXPECT_EQ(outer->events()[0].message, "outside");
  set_sink(before);
}

}  // namespace
}  // namespace kalu_ui::log
