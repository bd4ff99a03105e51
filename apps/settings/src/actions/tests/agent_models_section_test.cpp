// The Agent Models section: provider items from the configuration (profiles
// served on this device left out), the local part from the model service's
// snapshot by phase and readiness, a failed snapshot, and the page's
// binding.

#include "actions/agent_models_section.h"

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "actions/resource_tree.h"
#include "actions/tests/section_support.h"
#include "limited_exec/fake_programs.h"
#include "limited_exec/programs.h"
#include "prefs_store/paths.h"
#include "sim_device/state.h"
#include "vocabulary/model_service.h"

namespace settings::actions {
namespace {

using kalu_actions::ControlValue;
using kalu_actions::Resource;
using model_provider::ProviderLocation;
using model_provider::ProviderProfile;
using model_provider::ProviderProtocol;
using stored::LocalModelSnapshot;
using namespace section_testing;

constexpr std::string_view kProviderId = "settings.agent-provider-operation";
constexpr std::string_view kModelId = "settings.agent-model-operation";

ProviderProfile profile(std::string id, ProviderProtocol protocol, bool enabled = true,
                        ProviderLocation location = ProviderLocation::kHosted) {
  ProviderProfile p;
  p.id = std::move(id);
  p.label = "Team " + p.id;
  p.protocol = protocol;
  p.enabled = enabled;
  p.location = location;
  return p;
}

kalu_ui::Result<LocalModelSnapshot> no_snapshot() {
  return kalu_ui::fail("model service is unavailable: gone");
}

stored::InstalledLocalModel installed(std::string id, stored::LocalModelPhase phase) {
  stored::InstalledLocalModel model;
  model.package.id = id;
  model.package.name = "Model " + id;
  model.package.revision = "r1";
  model.phase = std::move(phase);
  return model;
}

TEST(AgentModelsSectionTest, ProvidersOfferTheOtherProtocolTheFlippedStateAndTheirDefault) {
  model_provider::ProviderConfig config;
  config.providers.push_back(
      profile("local", ProviderProtocol::kOpenAiCompatible, true, ProviderLocation::kThisDevice));
  config.providers.push_back(profile("a1", ProviderProtocol::kAnthropic));
  ProviderProfile compatible =
      profile("c1", ProviderProtocol::kOpenAiCompatible, false, ProviderLocation::kPrivateNetwork);
  compatible.model = "m1";
  config.providers.push_back(compatible);

  const Resource section = agent_models_resource(config, no_snapshot());
  EXPECT_EQ(section.id, "settings.section:agent_models");
  EXPECT_EQ(section.kind, "settings.agent-models");
  EXPECT_EQ(names(section), (std::vector<std::string>{"add-anthropic", "add-openai-compatible"}));
  EXPECT_EQ(invoke(section, "add-anthropic", "{}", kProviderId),
            R"({"Add":{"protocol":"anthropic"}})");
  EXPECT_EQ(tags_of(action(section, "add-openai-compatible")),
            (std::vector<std::string>{"device-local", "agent-provider"}));
  EXPECT_EQ(child_ids(section),
            (std::vector<std::string>{"settings.agent-provider:a1", "settings.agent-provider:c1"}));

  const Resource& anthropic = section.children[0];
  EXPECT_EQ(anthropic.kind, "settings.agent-provider");
  EXPECT_EQ(anthropic.label, "Team a1");
  EXPECT_EQ(names(anthropic),
            (std::vector<std::string>{"set-protocol", "disable", "remove", "set-details"}));
  EXPECT_EQ(action(anthropic, "set-protocol").label, "Use openai-compatible protocol");
  EXPECT_EQ(invoke(anthropic, "set-protocol", "{}", kProviderId),
            R"({"SetProtocol":{"id":"a1","protocol":"openai-compatible"}})");
  EXPECT_EQ(invoke(anthropic, "disable", "{}", kProviderId),
            R"({"SetEnabled":{"id":"a1","enabled":false}})");
  EXPECT_TRUE(action(anthropic, "remove").is_destructive);
  EXPECT_FALSE(action(anthropic, "disable").is_destructive);
  for (const auto& spec : anthropic.actions) {
    EXPECT_EQ(spec.operation_kind, kalu_actions::kOperationEffect);
    EXPECT_EQ(tags_of(spec), (std::vector<std::string>{"device-local", "agent-provider"}));
  }

  const auto& details = action(anthropic, "set-details");
  ASSERT_EQ(details.parameters.size(), 3u);
  EXPECT_EQ(details.description, "Provider name");
  EXPECT_EQ(details.parameters[1].label, "HTTPS API endpoint");
  EXPECT_TRUE(details.parameters[1].required);
  EXPECT_FALSE(details.parameters[2].required);
  EXPECT_EQ(invoke(anthropic, "set-details",
                   R"({"label":"Work","endpoint":"https://e","model":"m2"})", kProviderId),
            R"({"SetDetails":{"id":"a1","label":"Work","endpoint":"https://e","model":"m2"}})");
  // The model may be left out; the label and the endpoint may not.
  EXPECT_EQ(
      invoke(anthropic, "set-details", R"({"label":"Work","endpoint":"https://e"})", kProviderId),
      R"({"SetDetails":{"id":"a1","label":"Work","endpoint":"https://e","model":null}})");
  EXPECT_EQ(invoke(anthropic, "set-details", "{}", kProviderId),
            "(failed: set-details: label is required: a string)");

  const Resource& other = section.children[1];
  EXPECT_EQ(names(other), (std::vector<std::string>{"set-protocol", "enable", "remove",
                                                    "set-details", "set-default"}));
  EXPECT_EQ(action(other, "set-protocol").label, "Use anthropic protocol");
  EXPECT_EQ(action(other, "enable").label, "Enable provider");
  EXPECT_EQ(invoke(other, "set-default", "{}", kProviderId), R"({"SetDefault":{"id":"c1"}})");

  // Profiles on this device do not count toward the limit.
  model_provider::ProviderConfig many;
  many.providers.push_back(
      profile("here", ProviderProtocol::kAnthropic, true, ProviderLocation::kThisDevice));
  for (int i = 0; i < 300; ++i) {
    many.providers.push_back(profile(fmt::format("p{}", i), ProviderProtocol::kAnthropic));
  }
  const Resource cut = agent_models_resource(many, no_snapshot());
  ASSERT_EQ(cut.children.size(), kMaxItems);
  EXPECT_EQ(cut.children.back().id, "settings.agent-provider:p255");

  auto add = agent_provider_command_binding(section, std::nullopt, "add-openai-compatible");
  ASSERT_TRUE(add);
  EXPECT_EQ(add->encode(ControlValue())->payload_text(),
            R"({"Add":{"protocol":"openai-compatible"}})");
  auto remove = agent_provider_command_binding(section, "c1", "remove");
  ASSERT_TRUE(remove);
  EXPECT_EQ(remove->resource_id, "settings.agent-provider:c1");
  EXPECT_EQ(remove->encode(ControlValue())->payload_text(), R"({"Remove":{"id":"c1"}})");
  EXPECT_FALSE(agent_provider_command_binding(section, "local", "remove"));
  EXPECT_FALSE(agent_provider_command_binding(section, "a1", "set-default"));
  EXPECT_FALSE(agent_provider_command_binding(section, std::nullopt, "remove"));
}

TEST(AgentModelsSectionTest, TheLocalPartFollowsFitAcceleratorAndPhases) {
  namespace ph = stored::phase;
  namespace acc = stored::accelerator;
  LocalModelSnapshot snapshot;
  snapshot.hardware.fit = stored::HardwareFit::Good;
  snapshot.recommendation = stored::LocalModelPackage{};
  snapshot.recommendation->id = "lumen-8b";
  snapshot.recommendation->name = "Lumen 8B";
  snapshot.recommendation->revision = "2025.03.2";
  snapshot.models = {installed("d", ph::Downloading{}), installed("i", ph::Installing{}),
                     installed("run", ph::Ready{true, std::nullopt}),
                     installed("idle", ph::Ready{false, std::nullopt}),
                     installed("bad", ph::Error{"disk full"})};
  const model_provider::ProviderConfig none;

  const Resource fits = agent_models_resource(none, snapshot);
  EXPECT_EQ(names(fits), (std::vector<std::string>{"add-anthropic", "add-openai-compatible"}));
  EXPECT_EQ(child_ids(fits),
            (std::vector<std::string>{"settings.agent-model-recommendation:lumen-8b",
                                      "settings.agent-model:d", "settings.agent-model:i",
                                      "settings.agent-model:run", "settings.agent-model:idle",
                                      "settings.agent-model:bad"}));
  const Resource& recommended = fits.children[0];
  EXPECT_EQ(recommended.kind, "settings.agent-model-package");
  EXPECT_EQ(recommended.label, "Lumen 8B");
  EXPECT_EQ(tags_of(action(recommended, "install")),
            (std::vector<std::string>{"device-local", "agent-models", "signed-package"}));
  EXPECT_EQ(invoke(recommended, "install", "{}", kModelId),
            R"({"Install":{"id":"lumen-8b","revision":"2025.03.2"}})");
  EXPECT_TRUE(fits.children[1].actions.empty());
  EXPECT_TRUE(fits.children[2].actions.empty());
  EXPECT_EQ(names(fits.children[3]), (std::vector<std::string>{"stop", "remove"}));
  EXPECT_EQ(names(fits.children[4]), (std::vector<std::string>{"start", "remove"}));
  EXPECT_EQ(names(fits.children[5]), (std::vector<std::string>{"retry", "remove"}));
  EXPECT_EQ(invoke(fits.children[5], "retry", "{}", kModelId),
            R"({"Retry":{"id":"bad","revision":"r1"}})");
  const auto& remove = action(fits.children[3], "remove");
  EXPECT_TRUE(remove.is_destructive);
  EXPECT_EQ(tags_of(remove), (std::vector<std::string>{"device-local", "agent-models", "live-model",
                                                       "destructive"}));
  EXPECT_EQ(tags_of(action(fits.children[4], "start")),
            (std::vector<std::string>{"device-local", "agent-models", "live-model"}));

  // The accelerator decides both the setup action and whether to install.
  const struct {
    stored::AcceleratorSetupState status;
    bool stage;
    bool install;
  } accelerator_cases[] = {
      {acc::Available{}, true, false},        {acc::Error{"no stack"}, true, false},
      {acc::Queued{}, false, false},          {acc::Staging{}, false, false},
      {acc::RestartRequired{}, false, false}, {acc::Active{}, false, true},
  };
  for (const auto& c : accelerator_cases) {
    snapshot.accelerator_setup = stored::AcceleratorSetup{"pack", c.status};
    const Resource section = agent_models_resource(none, snapshot);
    EXPECT_EQ(section.action("stage-accelerator") != nullptr, c.stage) << c.status.index();
    EXPECT_EQ(section.children[0].action("install") != nullptr, c.install) << c.status.index();
  }
  snapshot.accelerator_setup.reset();
  snapshot.hardware.fit = stored::HardwareFit::Unsupported;
  const Resource unsupported = agent_models_resource(none, snapshot);
  EXPECT_TRUE(unsupported.children[0].actions.empty());
  LocalModelSnapshot setup_only;
  setup_only.accelerator_setup = stored::AcceleratorSetup{"pack", acc::Available{}};
  EXPECT_EQ(tags_of(action(agent_models_resource(none, setup_only), "stage-accelerator")),
            (std::vector<std::string>{"device-local", "agent-models", "live-accelerator"}));
}

// The section as the tree builds it: the stored configuration and the
// model manager's snapshot.
class AgentModelsDeviceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    model_provider::ProviderConfig config = model_provider::ProviderConfig::load();
    config.upsert(profile("a1", ProviderProtocol::kAnthropic));
    ASSERT_TRUE(config.save());
  }

  sim_device::ScopedDeviceState device_;
  prefs_store::ScopedConfigDir config_{device_.dir() / "config"};
};

// The section as a second request finds it: the first starts the read of the
// manager on a worker and answers what was read before.
Resource section_after_a_read() {
  panes::agent_models::RecentModelSnapshot& recent = panes::agent_models::recent_model_snapshot();
  recent.wait_idle();
  recent.expire();
  (void)agent_models_resource();
  recent.wait_idle();
  return agent_models_resource();
}

TEST_F(AgentModelsDeviceTest, ReadsTheSimulatedManagerAndAFailingOneLeavesOnlyTheProviders) {
  {
    limited_exec::ScopedTestPrograms programs(
        limited_exec::simulated_programs(limited_exec::simdev_path()));
    const Resource section = section_after_a_read();
    EXPECT_EQ(names(section), (std::vector<std::string>{"add-anthropic", "add-openai-compatible",
                                                        "stage-accelerator"}));
    EXPECT_EQ(child_ids(section),
              (std::vector<std::string>{"settings.agent-provider:a1",
                                        "settings.agent-model-recommendation:lumen-8b-instruct",
                                        "settings.agent-model:lumen-3b-instruct"}));
  }
  limited_exec::FakePrograms fakes;
  fakes.add("kalu-model-manager", "echo 'service down' >&2; exit 1");
  const Resource section = section_after_a_read();
  EXPECT_EQ(names(section), (std::vector<std::string>{"add-anthropic", "add-openai-compatible"}));
  EXPECT_EQ(child_ids(section), (std::vector<std::string>{"settings.agent-provider:a1"}));
}

// The tree is built on the UI thread: a manager that hangs holds up no request.
TEST_F(AgentModelsDeviceTest, AHangingManagerHoldsUpNoRequest) {
  limited_exec::FakePrograms fakes;
  const auto gate = fakes.dir() / "gate";
  const auto finished = fakes.dir() / "finished";
  // The manager hangs until the test lets it go. A request that waited for
  // it would have it killed at its time limit, so it would never finish.
  fakes.add("kalu-model-manager", "while [ ! -e '" + gate.string() +
                                      "' ]; do sleep 0.01; done; touch '" + finished.string() +
                                      "'; exit 1");
  panes::agent_models::RecentModelSnapshot recent(std::chrono::milliseconds(0));
  for (int i = 0; i < 3; ++i) EXPECT_FALSE(recent.get());
  std::ofstream{gate};
  recent.wait_idle();
  EXPECT_TRUE(std::filesystem::exists(finished));
}

}  // namespace
}  // namespace settings::actions
