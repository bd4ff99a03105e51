#include "lib/run.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "lib/dispatcher.h"
#include "limited_exec/fake_programs.h"
#include "sim_device/state.h"
#include "system_ops/display.h"

namespace settings::lib {
namespace {

using ::testing::HasSubstr;

const bool kTestMode = (limited_exec::enter_test_mode(), true);

TEST(RunLimitedCommand, PassesTheOutputRecordThroughUnjudged) {
  limited_exec::FakePrograms fakes;
  fakes.add("systemctl", R"(echo "$1 $2"; echo warn >&2; exit 4)");
  auto out = run_limited_command("systemctl", std::vector<std::string>{"is-enabled", "x.timer"}, 5);
  ASSERT_TRUE(out) << out.error();
  EXPECT_EQ(out->stdout_bytes, "is-enabled x.timer\n");
  EXPECT_EQ(out->stderr_bytes, "warn\n");
  EXPECT_EQ(out->status, 4);
}

TEST(RunLimitedCommand, FailuresNameTheProgramFirst) {
  limited_exec::FakePrograms fakes;
  fakes.add_missing("bootc");
  fakes.add("journalctl", "sleep 5");
  struct Case {
    const char* program;
    std::uint64_t secs;
    const char* error;
  };
  for (const Case& c : {
           Case{"bootc", 10, "bootc command failed: cannot start bootc: No such file or directory"},
           Case{"systemctl", 10,
                "systemctl command failed: cannot start systemctl: not in the test program table"},
           Case{"journalctl", 0, "journalctl command failed: timed out after 0 s"},
       }) {
    auto out = run_limited_command(c.program, {}, c.secs);
    ASSERT_FALSE(out) << c.program;
    EXPECT_EQ(out.error(), c.error);
  }
}

TEST(RunLimitedCommand, KeepsAtMostOneMebibyteAndStillSucceeds) {
  limited_exec::FakePrograms fakes;
  fakes.add("bootc", "head -c 2097152 /dev/zero | tr '\\0' x");
  // A limit far beyond what the clock can hold is no limit, not an overflow.
  auto out = run_limited_command("bootc", {}, UINT64_MAX);
  ASSERT_TRUE(out) << out.error();
  EXPECT_EQ(out->status, 0);
  EXPECT_EQ(out->stdout_bytes.size(), kCommandOutputCap);
  EXPECT_EQ(out->stdout_bytes.find_first_not_of('x'), std::string::npos);
}

TEST(DispatcherOrDefault, KeepsTheGivenOneElseMakesTheRealOne) {
  auto given = std::make_shared<system_ops::RealDispatcher>();
  EXPECT_EQ(dispatcher_or_default(given), given);
  auto fallback = dispatcher_or_default();
  ASSERT_NE(fallback, nullptr);
  EXPECT_NE(dynamic_cast<system_ops::RealDispatcher*>(fallback.get()), nullptr);
  // It acts on the (simulated) device.
  sim_device::ScopedDeviceState device;
  ASSERT_TRUE(fallback->set_brightness(40.0f));
  EXPECT_FLOAT_EQ(*system_ops::display::get_brightness(), 0.4f);
}

}  // namespace
}  // namespace settings::lib
