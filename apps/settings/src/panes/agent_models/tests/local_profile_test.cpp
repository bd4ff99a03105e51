// The local provider profile kept in step with the local models, on a
// configuration folder of the test's own: what is saved, when nothing is
// written, and a configuration that does not read left alone.

#include "panes/agent_models/local_profile.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "model_provider/config.h"
#include "prefs_store/paths.h"
#include "sim_device/state.h"

namespace settings::panes::agent_models {
namespace {

namespace fs = std::filesystem;
namespace ph = stored::phase;
using model_provider::ProviderConfig;
using model_provider::ProviderLocation;
using model_provider::ProviderProfile;
using Models = std::vector<stored::InstalledLocalModel>;

stored::InstalledLocalModel model(std::string id, stored::LocalModelPhase phase) {
  stored::InstalledLocalModel m;
  m.package.id = std::move(id);
  m.package.name = m.package.id;
  m.phase = std::move(phase);
  return m;
}

stored::InstalledLocalModel running(std::string id, std::string url, std::string model_id = {}) {
  if (model_id.empty()) model_id = id;
  return model(std::move(id),
               ph::Ready{true, stored::LocalModelEndpoint{std::move(url), std::move(model_id)}});
}

stored::InstalledLocalModel stopped(std::string id) { return model(std::move(id), ph::Ready{}); }

class LocalProfileTest : public ::testing::Test {
 protected:
  std::optional<ProviderProfile> local() {
    const ProviderConfig config = ProviderConfig::load();
    for (const auto& p : config.providers) {
      if (p.is_local_vllm_candidate()) return p;
    }
    return std::nullopt;
  }
  fs::path file() { return *model_provider::config_file(); }
  // Backdates the file so a rewrite shows in its modification time.
  fs::file_time_type age_file() {
    const auto old = fs::file_time_type::clock::now() - std::chrono::hours(1);
    fs::last_write_time(file(), old);
    return fs::last_write_time(file());
  }

  sim_device::ScopedDeviceState device_;
  prefs_store::ScopedConfigDir config_{device_.dir() / "config"};
};

TEST_F(LocalProfileTest, FollowsTheModelServedOnThisDevice) {
  struct Step {
    const char* what;
    Models models;
    LocalProfileSync result;
    bool exists;
    bool enabled;
    std::string endpoint;
    std::optional<std::string> chosen;
    std::vector<std::string> listed;
  };
  const std::string url = "http://127.0.0.1:8000/v1";
  const std::vector<Step> steps = {
      {"a loopback name is no candidate",
       {running("m7", "http://localhost:8000")},
       LocalProfileSync::kUnchanged,
       false,
       false,
       "",
       std::nullopt,
       {}},
      {"nothing ready, no profile",
       {model("m7", ph::Downloading{1, 2})},
       LocalProfileSync::kUnchanged,
       false,
       false,
       "",
       std::nullopt,
       {}},
      {"one running model",
       {running("m7", url)},
       LocalProfileSync::kSaved,
       true,
       true,
       url,
       "m7",
       {"m7"}},
      {"the same again writes nothing",
       {running("m7", url)},
       LocalProfileSync::kUnchanged,
       true,
       true,
       url,
       "m7",
       {"m7"}},
      {"stopped keeps the endpoint",
       {stopped("m7")},
       LocalProfileSync::kSaved,
       true,
       false,
       url,
       "m7",
       {"m7"}},
      {"no ready model changes nothing",
       {model("m7", ph::Error{"broken"})},
       LocalProfileSync::kUnchanged,
       true,
       false,
       url,
       "m7",
       {"m7"}},
      {"the chosen model is kept while listed",
       {stopped("a"), stopped("m7")},
       LocalProfileSync::kSaved,
       true,
       false,
       url,
       "m7",
       {"a", "m7"}},
      {"an unlisted choice falls to the first",
       {stopped("b"), stopped("c")},
       LocalProfileSync::kSaved,
       true,
       false,
       url,
       "b",
       {"b", "c"}},
      {"another model's endpoint is no candidate",
       {running("b", "http://[::1]:9000/v1", "c")},
       LocalProfileSync::kSaved,
       true,
       false,
       url,
       "b",
       {"b"}},
      {"the first serving model gives the endpoint",
       {stopped("b"), running("c", "http://[::1]:9000/v1"), running("d", url)},
       LocalProfileSync::kSaved,
       true,
       true,
       "http://[::1]:9000/v1",
       "c",
       {"b", "c", "d"}},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.what);
    const bool existed = fs::exists(file());
    const auto before = existed ? age_file() : fs::file_time_type{};
    EXPECT_EQ(sync_local_profile(step.models), step.result);
    if (existed && step.result == LocalProfileSync::kUnchanged) {
      EXPECT_EQ(fs::last_write_time(file()), before);
    }
    const auto profile = local();
    ASSERT_EQ(profile.has_value(), step.exists);
    if (!profile) continue;
    EXPECT_EQ(profile->enabled, step.enabled);
    EXPECT_EQ(profile->endpoint, step.endpoint);
    EXPECT_EQ(profile->model, step.chosen);
    std::vector<std::string> listed;
    for (const auto& entry : profile->models) listed.push_back(entry.id);
    EXPECT_EQ(listed, step.listed);
    EXPECT_EQ(profile->location, ProviderLocation::kThisDevice);
  }
}

TEST_F(LocalProfileTest, OtherProvidersAndTheExistingProfileKeepTheirFields) {
  ProviderConfig config = ProviderConfig::load();
  ProviderProfile hosted = ProviderProfile::hosted(model_provider::ProviderProtocol::kAnthropic);
  ProviderProfile mine = ProviderProfile::local_vllm();
  mine.id = "my-local";
  mine.label = "Workstation";
  mine.api_key_ref = "my-local";
  config.providers = {hosted, mine};
  ASSERT_TRUE(config.save());
  EXPECT_EQ(sync_local_profile(Models{running("m7", "http://127.0.0.1:1/v1")}),
            LocalProfileSync::kSaved);
  const ProviderConfig saved = ProviderConfig::load();
  ASSERT_EQ(saved.providers.size(), 2u);
  EXPECT_EQ(saved.providers[0], hosted);
  EXPECT_EQ(saved.providers[1].id, "my-local");
  EXPECT_EQ(saved.providers[1].label, "Workstation");
  EXPECT_EQ(saved.providers[1].api_key_ref, "my-local");
  EXPECT_TRUE(saved.providers[1].enabled);
}

TEST_F(LocalProfileTest, AConfigurationThatDoesNotReadIsLeftAsItWas) {
  fs::create_directories(file().parent_path());
  std::ofstream(file()) << "{ not json";
  EXPECT_EQ(sync_local_profile(Models{running("m7", "http://127.0.0.1:1/v1")}),
            LocalProfileSync::kSaveFailed);
  std::ifstream in(file());
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "{ not json");
}

}  // namespace
}  // namespace settings::panes::agent_models
