#include "vocabulary/model_service.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "limited_exec/fake_programs.h"

namespace settings::panes::agent_models {
namespace {

namespace phase = stored::phase;
using stored::HardwareFit;
using ::testing::StartsWith;

const bool kTestMode = (limited_exec::enter_test_mode(), true);

// The fake manager answers only the snapshot command line.
std::string manager(const std::string& body) {
  return R"(if [ "$*" != "snapshot --format json" ]; then echo "bad args: $*" >&2; exit 9; fi
)" + body;
}

TEST(ModelServiceSnapshot, ReadsTheManagersOutput) {
  limited_exec::FakePrograms fakes;
  fakes.add("kalu-model-manager", manager(R"(cat <<'JSON'
{"hardware": {"fit": "tight", "memory_gib": 8, "accelerator": "none", "reason": "small"},
 "models": [{"package": {"id": "m", "name": "n", "description": "", "source": "", "revision": "",
   "license": "", "license_url": "", "download_bytes": 1, "installed_bytes": 2},
   "phase": {"state": "ready", "running": true}}]}
JSON
echo "noise on stderr" >&2)"));
  auto snapshot = model_service_snapshot();
  ASSERT_TRUE(snapshot) << snapshot.error();
  EXPECT_EQ(snapshot->hardware.fit, HardwareFit::Tight);
  ASSERT_EQ(snapshot->models.size(), 1u);
  EXPECT_TRUE(std::get<phase::Ready>(snapshot->models[0].phase).running);
}

TEST(ModelServiceSnapshot, ReportsEachKindOfFailure) {
  limited_exec::FakePrograms fakes;
  std::string long_error(600, 'e');
  struct Case {
    std::string script;  // empty: the manager is not installed
    std::string error;
  };
  const std::vector<Case> cases = {
      {"",
       "model service is unavailable: kalu-model-manager command failed: "
       "cannot start kalu-model-manager: No such file or directory"},
      {manager("printf '   " + long_error + "' >&2; exit 2"), std::string(509, 'e')},
      {manager("echo '  refused: no GPU  ' >&2; exit 1"), "refused: no GPU"},
      // A valid snapshot does not make a failed run a success.
      {manager(R"(echo '{"hardware": {}}'; exit 1)"), "model service exited with status 1"},
      {manager("echo 'not json'"), "model service returned invalid status: expected ident"},
      {manager("echo '{}'"),
       "model service returned invalid status: missing field `hardware` at line 1 column 2"},
  };
  for (const Case& c : cases) {
    if (c.script.empty()) {
      fakes.add_missing("kalu-model-manager");
    } else {
      fakes.add("kalu-model-manager", c.script);
    }
    auto snapshot = model_service_snapshot();
    ASSERT_FALSE(snapshot) << c.script;
    EXPECT_THAT(snapshot.error(), StartsWith(c.error)) << c.script;
    if (c.error == std::string(509, 'e')) {
      EXPECT_EQ(snapshot.error(), c.error);  // cut at 512 characters, then trimmed
    }
  }
}

}  // namespace
}  // namespace settings::panes::agent_models
