#include "panes/updates/backend.h"

#include <fmt/format.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "limited_exec/fake_programs.h"
#include "panes/updates/services.h"

namespace settings::panes::updates {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::StartsWith;

const bool kTestMode = (limited_exec::enter_test_mode(), true);

// Fake programs that write each command line they get to one log, so a test
// can show what ran and what did not.
class UpdateBackendTest : public ::testing::Test {
 protected:
  // `body` runs after the call is logged; "$*" is the argument list.
  void fake(const std::string& program, const std::string& body) {
    fakes_.add(program, fmt::format("echo \"{} $*\" >> '{}'\n{}", program, log_path(), body));
  }

  std::vector<std::string> calls() const {
    std::ifstream in(log_path());
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }

  std::string log_path() const { return (fakes_.dir() / "calls.log").string(); }

  std::filesystem::path write_policy(const std::string& text) {
    auto path = fakes_.dir() / "update-policy";
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
    return path;
  }

  limited_exec::FakePrograms fakes_;
};

TEST_F(UpdateBackendTest, AutomaticUpdatesFromTheTimerStateNotTheExitStatus) {
  struct Case {
    const char* script;
    AutomaticUpdates state;
  };
  for (const Case& c : {
           Case{"echo enabled", AutomaticUpdates::Enabled},
           Case{"echo enabled-runtime; exit 0", AutomaticUpdates::Enabled},
           Case{"echo disabled; exit 1", AutomaticUpdates::Disabled},
           Case{"echo masked; exit 1", AutomaticUpdates::Unknown},
           Case{"echo static", AutomaticUpdates::Unknown},
           Case{"echo 'Failed to get unit file state' >&2; exit 1", AutomaticUpdates::Unknown},
       }) {
    fake("systemctl", c.script);
    EXPECT_EQ(SystemUpdateBackend().automatic_updates_enabled(), c.state) << c.script;
  }
  EXPECT_EQ(calls().back(), "systemctl is-enabled bootc-fetch-apply-updates.timer");
  fakes_.add_missing("systemctl");
  EXPECT_EQ(SystemUpdateBackend().automatic_updates_enabled(), AutomaticUpdates::Unknown);
}

TEST_F(UpdateBackendTest, ChangesStartTheirUnitsAndAnswerTheErrorOutputOrAFixedText) {
  struct Case {
    const char* name;
    std::function<kalu_ui::Status(const UpdateBackend&)> call;
    const char* command;
    const char* silent_failure;
  };
  const std::vector<Case> cases = {
      {"enable", [](const UpdateBackend& b) { return b.set_automatic_updates(true); },
       "systemctl enable --now bootc-fetch-apply-updates.timer",
       "systemctl enable bootc-fetch-apply-updates.timer failed"},
      {"disable", [](const UpdateBackend& b) { return b.set_automatic_updates(false); },
       "systemctl disable --now bootc-fetch-apply-updates.timer",
       "systemctl disable bootc-fetch-apply-updates.timer failed"},
      {"rollback", [](const UpdateBackend& b) { return b.rollback(); },
       "systemctl start --wait kalu-deployment-rollback.service",
       "kalu-deployment-rollback.service failed; see journalctl -u "
       "kalu-deployment-rollback.service"},
      {"update", [](const UpdateBackend& b) { return b.start_update(); },
       "systemctl start --wait kalu-deployment-update.service",
       "update service failed; see its system journal"},
      {"weekly", [](const UpdateBackend& b) { return b.set_schedule("Weekly"); },
       "systemctl start --wait kalu-update-policy@schedule-weekly.service",
       "kalu-update-policy@schedule-weekly.service failed"},
      {"system schedule", [](const UpdateBackend& b) { return b.set_schedule("System schedule"); },
       "systemctl start --wait kalu-update-policy@schedule-system.service",
       "kalu-update-policy@schedule-system.service failed"},
      {"avoid metered", [](const UpdateBackend& b) { return b.set_metered(false); },
       "systemctl start --wait kalu-update-policy@metered-avoid.service",
       "kalu-update-policy@metered-avoid.service failed"},
  };
  SystemUpdateBackend backend;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fake("systemctl", "exit 0");
    EXPECT_TRUE(c.call(backend));
    EXPECT_EQ(calls().back(), c.command);

    fake("systemctl", "exit 3");
    auto silent = c.call(backend);
    ASSERT_FALSE(silent);
    EXPECT_EQ(silent.error(), c.silent_failure);

    fake("systemctl", R"(printf '\n  Job failed:\tsee\033[0m log \n' >&2; exit 1)");
    auto loud = c.call(backend);
    ASSERT_FALSE(loud);
    EXPECT_EQ(loud.error(), "Job failed:\tsee[0m log");
  }
  fakes_.add_missing("systemctl");
  auto missing = backend.start_update();
  ASSERT_FALSE(missing);
  EXPECT_THAT(missing.error(), StartsWith("systemctl command failed: cannot start systemctl"));
}

TEST_F(UpdateBackendTest, UnknownSchedulesAndActionsRunNothing) {
  fake("systemctl", "exit 0");
  SystemUpdateBackend backend;
  for (const char* label : {"Hourly", "weekly", ""}) {
    auto refused = backend.set_schedule(label);
    ASSERT_FALSE(refused) << label;
    EXPECT_EQ(refused.error(), "unknown update schedule");
  }
  for (const char* action : {"schedule-hourly", "metered-allow --now", "../../reboot"}) {
    auto refused = run_policy_action(action);
    ASSERT_FALSE(refused) << action;
    EXPECT_EQ(refused.error(), "invalid update policy action");
  }
  EXPECT_THAT(calls(), IsEmpty());
  EXPECT_TRUE(run_policy_action("metered-allow"));
  EXPECT_THAT(calls(),
              ElementsAre("systemctl start --wait kalu-update-policy@metered-allow.service"));
}

TEST_F(UpdateBackendTest, ThePolicyFileIsReadAfreshOnEveryCall) {
  SystemUpdateBackend backend(write_policy("schedule = weekly\nmetered=allow\n"));
  EXPECT_EQ(backend.schedule(), "Weekly");
  EXPECT_EQ(backend.metered_allowed(), MeteredDownloads::Allowed);
  write_policy("schedule=daily\nmetered=allow\nmetered=avoid\n");
  EXPECT_EQ(backend.schedule(), "Daily");
  EXPECT_EQ(backend.metered_allowed(), MeteredDownloads::NotAllowed);
  for (const std::filesystem::path& unreadable :
       {fakes_.dir() / "no-such-policy", fakes_.dir(), std::filesystem::path()}) {
    SystemUpdateBackend missing(unreadable);
    EXPECT_EQ(missing.schedule(), "System schedule") << unreadable;
    EXPECT_EQ(missing.metered_allowed(), MeteredDownloads::NotAllowed) << unreadable;
  }
  EXPECT_THAT(calls(), IsEmpty());
}

constexpr const char* kStatusDocument = R"({
  "apiVersion": "org.containers.bootc/v1",
  "status": {
    "staged": {"image": {"image": {"image": "quay.io/kalu/os:43"}}},
    "booted": {"image": {"image": {"image": "quay.io/kalu/os:42"},
               "labels": {"org.opencontainers.image.url": "http://kalu.example/42",
                          "vendor": {"documentation": "https://kalu.example/notes/42"}}}},
    "rollback": {"image": {"version": "41.3", "image": {"transport": "registry"}}}
  }
})";

TEST_F(UpdateBackendTest, ReadersTakeTheImagesFromTheStatusDocumentOnlyOnSuccess) {
  fake("bootc", fmt::format("cat <<'EOF'\n{}\nEOF", kStatusDocument));
  auto os_release = fakes_.dir() / "os-release";
  std::ofstream(os_release) << "NAME=Kalu\nPRETTY_NAME=\"Kalu 42\"\n";
  SystemUpdateBackend backend;
  EXPECT_EQ(read_os_and_staged(os_release), (OsImageInfo{"Kalu 42", "quay.io/kalu/os:43"}));
  EXPECT_EQ(backend.rollback_image(), "41.3");
  EXPECT_EQ(calls().back(), "bootc status --format json");

  fake("bootc", fmt::format("cat <<'EOF'\n{}\nEOF\nexit 1", kStatusDocument));
  EXPECT_EQ(read_os_and_staged(fakes_.dir() / "no-os-release"),
            (OsImageInfo{"Kalu (Fedora bootc)", std::nullopt}));
  EXPECT_EQ(backend.rollback_image(), std::nullopt);
  fakes_.add_missing("bootc");
  EXPECT_EQ(backend.rollback_image(), std::nullopt);
}

TEST_F(UpdateBackendTest, DeploymentStatusProbesEachSourceOnItsOwn) {
  fake("bootc", fmt::format("cat <<'EOF'\n{}\nEOF", kStatusDocument));
  fake("journalctl", R"(printf '%s\n' \
    '2024-05-01T10:00:00+0000 host bootc[7]: Fetching quay.io/kalu/os:43' \
    '2024-05-01T10:02:00+0000 host bootc[7]: Queued for next boot')");
  fake("systemctl", "echo enabled");
  DeploymentStatus status = deployment_status(std::string("41.3"));
  EXPECT_EQ(status.release_notes_url, "https://kalu.example/notes/42");
  EXPECT_THAT(status.journal_lines,
              ElementsAre("2024-05-01T10:00:00+0000 host bootc[7]: Fetching quay.io/kalu/os:43",
                          "2024-05-01T10:02:00+0000 host bootc[7]: Queued for next boot"));
  EXPECT_EQ(status.rollback_protection, "Protected · fallback available: 41.3");
  EXPECT_THAT(calls(), ElementsAre("bootc status --format json",
                                   "journalctl -u bootc-fetch-apply-updates.service -n 6 "
                                   "--output=short-iso --no-pager",
                                   "systemctl is-enabled kalu-rollback-confirm.timer"));

  // Every probe failing in its own way still gives a status.
  fake("bootc", "echo '{}'; exit 1");
  fake("journalctl", "echo '-- No entries --'");
  fake("systemctl", "echo static");
  status = deployment_status(std::nullopt);
  EXPECT_EQ(status,
            (DeploymentStatus{{}, std::nullopt, "Rollback protection state is not reported"}));
  fake("journalctl", "echo 'kept only on success'; exit 1");
  fake("systemctl", "echo enabled-runtime; exit 1");
  status = deployment_status(std::nullopt);
  EXPECT_THAT(status.journal_lines, IsEmpty());
  EXPECT_EQ(status.rollback_protection,
            "Boot confirmation active · no previous image retained yet");
  fakes_.add_missing("systemctl");
  EXPECT_EQ(deployment_status(std::string("41.3")).rollback_protection,
            "Fallback available (41.3); automatic confirmation not reported");
}

TEST_F(UpdateBackendTest, RebootFailsWithTheErrorOutputEvenWhenItIsEmpty) {
  fake("systemctl", "exit 0");
  EXPECT_TRUE(reboot());
  EXPECT_THAT(calls(), ElementsAre("systemctl reboot"));
  fake("systemctl", "echo 'Access denied' >&2; exit 1");
  EXPECT_EQ(reboot().error(), "Access denied");
  fake("systemctl", "exit 1");
  auto silent = reboot();
  ASSERT_FALSE(silent);
  EXPECT_EQ(silent.error(), "");
  fakes_.add_missing("systemctl");
  EXPECT_THAT(reboot().error(), StartsWith("systemctl command failed: "));
}

TEST_F(UpdateBackendTest, OneReadingOfTheImageRunsEachProgramOnce) {
  fake("bootc", fmt::format("cat <<'EOF'\n{}\nEOF", kStatusDocument));
  fake("journalctl", "echo '-- No entries --'");
  fake("systemctl", "echo enabled");
  auto services = device_update_services(
      std::make_shared<const SystemUpdateBackend>(write_policy("schedule=daily\n")));
  const ImageStatus status = read_image_status(*services);
  EXPECT_EQ(status.os.staged_update, "quay.io/kalu/os:43");
  EXPECT_EQ(status.rollback_image, "41.3");
  EXPECT_EQ(status.deployment.release_notes_url, "https://kalu.example/notes/42");
  EXPECT_THAT(calls(), ElementsAre("bootc status --format json",
                                   "systemctl is-enabled bootc-fetch-apply-updates.timer",
                                   "journalctl -u bootc-fetch-apply-updates.service -n 6 "
                                   "--output=short-iso --no-pager",
                                   "systemctl is-enabled kalu-rollback-confirm.timer"));
  // The snapshot lasts one reading: the next one asks again.
  (void)read_image_status(*services, /*with_timer=*/false);
  const auto all = calls();
  EXPECT_EQ(std::count(all.begin(), all.end(), "bootc status --format json"), 2);
}

TEST_F(UpdateBackendTest, OneBackendServesSeveralThreadsAtOnce) {
  fake("bootc", fmt::format("cat <<'EOF'\n{}\nEOF", kStatusDocument));
  fake("journalctl", "echo '-- No entries --'");
  fake("systemctl", "case \"$1\" in is-enabled) echo enabled ;; start) sleep 0.05 ;; esac");
  auto backend = std::make_shared<const SystemUpdateBackend>(write_policy("schedule=daily\n"));
  auto services = device_update_services(backend);
  std::vector<ImageStatus> statuses(4);
  std::vector<kalu_ui::Status> actions(4);
  {
    std::vector<std::jthread> workers;
    for (std::size_t i = 0; i < statuses.size(); ++i) {
      workers.emplace_back([&, i] { statuses[i] = read_image_status(*services); });
      workers.emplace_back([&, i] { actions[i] = backend->set_metered(i % 2 == 0); });
    }
  }
  for (const ImageStatus& status : statuses) {
    EXPECT_EQ(status.automatic, AutomaticUpdates::Enabled);
    EXPECT_EQ(status.rollback_image, "41.3");
    EXPECT_EQ(status.os.staged_update, "quay.io/kalu/os:43");
    EXPECT_EQ(status.deployment.rollback_protection, "Protected · fallback available: 41.3");
  }
  for (const auto& action : actions) EXPECT_TRUE(action);
  EXPECT_EQ(backend->schedule(), "Daily");
}

}  // namespace
}  // namespace settings::panes::updates
