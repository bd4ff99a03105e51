#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

#include "sim_device/simdev.h"
#include "sim_device/state.h"

namespace sim_device {
namespace {

using simdev::run;
using ::testing::ElementsAre;
using ::testing::EndsWith;
using ::testing::HasSubstr;

const char* const kBooted = "registry.kalu.example/kalu/desktop:42.20250310";
const char* const kPrevious = "registry.kalu.example/kalu/desktop:42.20250224";
const char* const kAvailable = "registry.kalu.example/kalu/desktop:42.20250324";

Json updates() { return (**read())["updates"]; }

Json bootc_status() {
  auto shown = run("bootc", {"status", "--format", "json"});
  EXPECT_EQ(shown.status, 0) << shown.err;
  return Json::parse(shown.out);
}

// The image reference of a deployment in a bootc status document, or "none".
std::string image_of(const Json& document, const char* which) {
  const Json& deployment = document["status"][which];
  return deployment.is_null() ? "none" : deployment["image"]["image"]["image"].get<std::string>();
}

std::vector<std::string> journal(const std::string& count = "6") {
  auto shown = run("journalctl", {"-u", "bootc-fetch-apply-updates.service", "-n", count,
                                  "--output=short-iso", "--no-pager"});
  EXPECT_EQ(shown.status, 0) << shown.err;
  std::vector<std::string> lines;
  std::istringstream in(shown.out);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::string policy_file() {
  std::ifstream in(update_policy_file());
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

simdev::Outcome start(const std::string& unit) {
  return run("systemctl", {"start", "--wait", unit});
}

TEST(SimdevUpdates, TheUpdateUnitStagesTheAvailableImageOnce) {
  ScopedDeviceState scoped;
  Json before = bootc_status();
  EXPECT_EQ(image_of(before, "booted"), kBooted);
  EXPECT_EQ(image_of(before, "staged"), "none");
  EXPECT_EQ(image_of(before, "rollback"), kPrevious);
  EXPECT_EQ(before["status"]["booted"]["image"]["version"], "42.20250310.0");

  auto first = start("kalu-deployment-update.service");
  ASSERT_EQ(first.status, 0) << first.err;
  Json after = bootc_status();
  EXPECT_EQ(image_of(after, "staged"), kAvailable);
  EXPECT_EQ(image_of(after, "booted"), kBooted);
  auto lines = journal("2");
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_THAT(lines[0], EndsWith(std::string("bootc[") + std::to_string(::getpid()) +
                                 "]: Fetching " + kAvailable));
  EXPECT_THAT(lines[1], EndsWith(std::string(": Queued for next boot: ") + kAvailable));

  ASSERT_EQ(start("kalu-deployment-update.service").status, 0);
  EXPECT_EQ(image_of(bootc_status(), "staged"), kAvailable);
  EXPECT_THAT(journal("1"), ElementsAre(EndsWith(": No update available.")));
  // The journal of any other unit, and an empty one, is the journal's own note.
  EXPECT_EQ(run("journalctl", {"-u", "kalu-deployment-update.service", "-n", "6"}).out,
            "-- No entries --\n");
  ASSERT_EQ(run("simdev", {"set", "updates.journal", "[]"}).status, 0);
  EXPECT_THAT(journal(), ElementsAre("-- No entries --"));
}

TEST(SimdevUpdates, TheRollbackUnitSwapsTheImagesAndDropsAStagedOne) {
  ScopedDeviceState scoped;
  ASSERT_EQ(start("kalu-deployment-update.service").status, 0);
  auto rolled = start("kalu-deployment-rollback.service");
  ASSERT_EQ(rolled.status, 0) << rolled.err;
  Json status = bootc_status();
  EXPECT_EQ(image_of(status, "booted"), kPrevious);
  EXPECT_EQ(image_of(status, "rollback"), kBooted);
  EXPECT_EQ(image_of(status, "staged"), "none");
  // Rolling back again is the way forward.
  ASSERT_EQ(start("kalu-deployment-rollback.service").status, 0);
  EXPECT_EQ(image_of(bootc_status(), "booted"), kBooted);

  ASSERT_EQ(run("simdev", {"set", "updates.rollback", "null"}).status, 0);
  Json kept = updates();
  auto refused = start("kalu-deployment-rollback.service");
  EXPECT_EQ(refused.status, 1);
  EXPECT_THAT(refused.err, HasSubstr("Job for kalu-deployment-rollback.service failed"));
  EXPECT_EQ(updates(), kept);
}

TEST(SimdevUpdates, PolicyUnitsRewriteThePolicyFile) {
  ScopedDeviceState scoped;
  ASSERT_TRUE(read());
  EXPECT_EQ(update_policy_file().parent_path(), scoped.dir());
  EXPECT_EQ(policy_file(), "schedule=system\nmetered=avoid\n");
  for (const char* action : {"schedule-weekly", "metered-allow"}) {
    auto done = start(std::string("kalu-update-policy@") + action + ".service");
    ASSERT_EQ(done.status, 0) << action << done.err;
  }
  EXPECT_EQ(policy_file(), "schedule=weekly\nmetered=allow\n");
  auto unknown = start("kalu-update-policy@schedule-hourly.service");
  EXPECT_EQ(unknown.status, 1);
  EXPECT_THAT(unknown.err, HasSubstr("Job for kalu-update-policy@schedule-hourly.service failed"));
  EXPECT_EQ(start("kalu-update-policy@.service").status, 5);
  EXPECT_EQ(policy_file(), "schedule=weekly\nmetered=allow\n");
  // A person's edit reaches the file too; a value that would add a line does not.
  ASSERT_EQ(run("simdev", {"set", "updates.policy.schedule", "WEEKLY"}).status, 0);
  ASSERT_EQ(run("simdev", {"set", "updates.policy.extra", "\"x\\nmetered=allow\""}).status, 0);
  EXPECT_EQ(policy_file(), "schedule=WEEKLY\nmetered=allow\n");
  ASSERT_EQ(run("simdev", {"reset"}).status, 0);
  EXPECT_EQ(policy_file(), "schedule=system\nmetered=avoid\n");
}

TEST(SimdevUpdates, TimersAnswerTheirStateAndSwitchUnlessMaskedOrStatic) {
  ScopedDeviceState scoped;
  const std::string timer = "bootc-fetch-apply-updates.timer";
  auto state_of = [&] { return updates()["timers"][timer].get<std::string>(); };
  struct Case {
    const char* state;
    int status;
  };
  for (const Case& c : {Case{"enabled", 0}, Case{"enabled-runtime", 0}, Case{"static", 0},
                        Case{"disabled", 1}, Case{"masked", 1}}) {
    ASSERT_EQ(run("simdev", {"set", "updates.timers[\"" + timer + "\"]", c.state}).status, 0);
    auto answer = run("systemctl", {"is-enabled", timer});
    EXPECT_EQ(answer.status, c.status) << c.state;
    EXPECT_EQ(answer.out, std::string(c.state) + "\n");
  }
  auto masked = run("systemctl", {"enable", "--now", timer});
  EXPECT_EQ(masked.status, 1);
  EXPECT_THAT(masked.err, HasSubstr("is masked"));
  EXPECT_EQ(state_of(), "masked");

  ASSERT_EQ(run("simdev", {"set", "updates.timers[\"" + timer + "\"]", "static"}).status, 0);
  EXPECT_EQ(run("systemctl", {"disable", "--now", timer}).status, 0);
  EXPECT_EQ(state_of(), "static");

  ASSERT_EQ(run("simdev", {"set", "updates.timers[\"" + timer + "\"]", "enabled"}).status, 0);
  EXPECT_EQ(run("systemctl", {"disable", "--now", timer}).status, 0);
  EXPECT_EQ(state_of(), "disabled");
  EXPECT_EQ(run("systemctl", {"enable", "--now", timer}).status, 0);
  EXPECT_EQ(state_of(), "enabled");

  auto unknown = run("systemctl", {"is-enabled", "no-such.timer"});
  EXPECT_EQ(unknown.status, 1);
  EXPECT_EQ(unknown.out, "");
  EXPECT_THAT(unknown.err, HasSubstr("No such file or directory"));
  EXPECT_EQ(run("systemctl", {"enable", "no-such.timer"}).status, 1);
}

TEST(SimdevUpdates, RebootOnlyCountsARestart) {
  ScopedDeviceState scoped;
  ASSERT_EQ(start("kalu-deployment-update.service").status, 0);
  Json before = **read();
  ASSERT_EQ(run("systemctl", {"reboot"}).status, 0);
  ASSERT_EQ(run("systemctl", {"reboot"}).status, 0);
  Json after = **read();
  EXPECT_EQ(after["updates"]["restarts"], 2);
  after["updates"]["restarts"] = 0;
  EXPECT_EQ(after, before);
}

TEST(SimdevUpdates, AFaultOnAUnitFailsItAloneAndChangesNothing) {
  ScopedDeviceState scoped;
  ASSERT_EQ(
      run("simdev", {"fault", "kalu-deployment-update.service", "registry unreachable"}).status, 0);
  ASSERT_EQ(
      run("simdev", {"fault", "kalu-update-policy@.service", "policy store is read-only"}).status,
      0);
  Json before = updates();
  auto update = start("kalu-deployment-update.service");
  EXPECT_EQ(update.status, 1);
  EXPECT_EQ(update.err, "registry unreachable\n");
  for (const char* action : {"schedule-daily", "metered-allow"}) {
    auto policy = start(std::string("kalu-update-policy@") + action + ".service");
    EXPECT_EQ(policy.status, 1);
    EXPECT_EQ(policy.err, "policy store is read-only\n");
  }
  EXPECT_EQ(updates(), before);
  EXPECT_EQ(start("kalu-deployment-rollback.service").status, 0);
  EXPECT_EQ(run("systemctl", {"is-enabled", "bootc-fetch-apply-updates.timer"}).status, 0);
  // Healing the fault lets the unit run again.
  ASSERT_EQ(run("simdev", {"fault", "kalu-deployment-update.service"}).status, 0);
  EXPECT_EQ(start("kalu-deployment-update.service").status, 0);
}

}  // namespace
}  // namespace sim_device
