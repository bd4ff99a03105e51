#include "relay/simulated_programs.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "relay/config.h"
#include "sim_device/simdev.h"
#include "sim_device/state.h"

namespace kalu_relay {
namespace {

namespace fs = std::filesystem;
using sim_device::simdev::Outcome;
using ::testing::HasSubstr;
using Json = nlohmann::json;

std::string read_text(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// The simulated device with the device mesh's programs, and an identity root.
class SimulatedMesh : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { sim_device::simdev::add_programs(simulated::programs()); }
  SimulatedMesh() {
    root_ = device_.dir() / "identity-root";
    fs::create_directories(root_);
  }

  Outcome run(const std::string& program, std::vector<std::string> args,
              std::string_view input = {}) {
    return sim_device::simdev::run(program, args, input);
  }
  Outcome simdev(std::vector<std::string> args) { return run("simdev", std::move(args)); }
  Json peers() { return Json::parse(read_text(root_ / "home-peers.json")); }

  sim_device::ScopedDeviceState device_;
  fs::path root_;
};

constexpr std::string_view kSetup =
    R"({"identity_root":"/r","role":"always-on","workspace_ids":[7,11],"replication":"full",)"
    R"("inbound_relay":true,"remote_control_relay":false,"app_serving":true,"compute":false})";

TEST_F(SimulatedMesh, TheSetupWritesTheRelayConfigurationThroughPkexec) {
  std::vector<std::string> args = {"/usr/libexec/kalu-home-peer-control", "apply"};
  EXPECT_TRUE(sim_device::simdev::takes_input("pkexec", args));
  EXPECT_FALSE(sim_device::simdev::takes_input("/usr/bin/kalu-enroll", {"discover"}));
  const Outcome applied = run("pkexec", args, kSetup);
  ASSERT_EQ(applied.status, 0) << applied.err;
  auto config = load(relay_config_path());
  ASSERT_TRUE(config) << config.error().message;
  EXPECT_EQ(config->role, kRoleAlwaysOn);
  EXPECT_TRUE(config->relay_enabled);
  EXPECT_TRUE(config->full_replication);
  EXPECT_TRUE(config->inbound_relay);
  EXPECT_TRUE(config->app_serving);
  ASSERT_EQ(config->workspaces.size(), 2u);
  EXPECT_EQ(config->workspaces[0].workspace_id, 7u);
  EXPECT_EQ(config->workspaces[1].replication, kReplicationFull);
  EXPECT_TRUE(config->workspaces[1].active);

  // Back to a personal device keeping one workspace.
  const Outcome personal = run(
      "pkexec", args,
      R"({"identity_root":"/r","role":"interactive","workspace_ids":[11],"replication":"on-demand",)"
      R"("inbound_relay":false,"remote_control_relay":false,"app_serving":false,"compute":false})");
  ASSERT_EQ(personal.status, 0) << personal.err;
  config = load(relay_config_path());
  ASSERT_TRUE(config);
  EXPECT_EQ(config->role, kRoleInteractive);
  ASSERT_EQ(config->workspaces.size(), 1u);
  EXPECT_FALSE(config->workspaces[0].active);

  // Faults: the program's command, and pkexec's refusal.
  for (const auto& [fault, status] :
       {std::pair{"kalu-home-peer-control.apply", 1}, std::pair{"pkexec", 126}}) {
    ASSERT_EQ(simdev({"fault", fault, "no agent"}).status, 0);
    const Outcome faulted = run("pkexec", args, kSetup);
    EXPECT_EQ(faulted.status, status) << fault;
    EXPECT_EQ(faulted.err, "no agent\n");
    ASSERT_EQ(simdev({"fault", fault}).status, 0);
  }
  const std::string before = read_text(relay_config_path());
  for (std::string_view bad : {std::string_view("not json"), std::string_view("{}"),
                               std::string_view(R"({"role":"server"})")}) {
    const Outcome refused = run("pkexec", args, bad);
    EXPECT_EQ(refused.status, 1) << bad;
    EXPECT_THAT(refused.err, HasSubstr("invalid setup document")) << bad;
  }
  EXPECT_EQ(read_text(relay_config_path()), before);
}

TEST_F(SimulatedMesh, DiscoveryApprovalAndTheHomeServersTools) {
  const Outcome found = run("/usr/bin/kalu-enroll", {"discover", "--timeout", "15"});
  ASSERT_EQ(found.status, 0) << found.err;
  const Json candidate = Json::parse(found.out);
  EXPECT_EQ(candidate["device_node_id"], simulated::kHomeServerNode);
  EXPECT_EQ(candidate["verification_code"], "482913");
  EXPECT_EQ(Json::parse(run("/usr/bin/kalu-enroll", {"discover-device"}).out)["label"], "Laptop");

  const std::string device(simulated::kHomeServerNode);
  const std::string service(simulated::kHomeServerService);
  const Outcome approved =
      run("pkexec", {"/usr/libexec/kalu-home-peer-control", "approve-enrollment", "--identity-root",
                     root_.string(), "--expected-device", device, "--expected-service", service,
                     "--workspace-id", "11", "--workspace-id", "7"});
  ASSERT_EQ(approved.status, 0) << approved.err;
  ASSERT_EQ(peers().size(), 1u);
  EXPECT_EQ(peers()[0]["label"], "Kalu Home Server");
  EXPECT_EQ(peers()[0]["relay_workspace_ids"], Json::array({11, 7}));
  EXPECT_EQ(peers()[0].size(), 8u);

  const std::vector<std::string> server = {"--identity-root", root_.string(), "--device", device,
                                           "--service",       service};
  auto admin = [&](std::string command, std::vector<std::string> more = {}) {
    std::vector<std::string> args = {std::move(command)};
    args.insert(args.end(), server.begin(), server.end());
    args.insert(args.end(), more.begin(), more.end());
    return run("/usr/bin/kalu-relay-admin", args);
  };
  EXPECT_EQ(Json::parse(admin("home-peer-status").out)["files_ready"], true);
  ASSERT_EQ(admin("home-peer-rename", {"--label", "  Loft  "}).status, 0);
  EXPECT_EQ(peers()[0]["label"], "Loft");
  EXPECT_EQ(admin("home-peer-rename", {"--label", "-x"}).status, 2);
  ASSERT_EQ(simdev({"fault", "kalu-relay-admin.home-peer-status", "timed out"}).status, 0);
  EXPECT_EQ(admin("home-peer-status").err, "timed out\n");
  ASSERT_EQ(simdev({"fault", "kalu-relay-admin.home-peer-status"}).status, 0);
  EXPECT_EQ(Json::parse(admin("home-peer-remove").out)["decommissioned"], true);
  EXPECT_TRUE(peers().empty());
  const Outcome gone = admin("home-peer-status");
  EXPECT_EQ(gone.status, 1);
  EXPECT_EQ(gone.err, "home server is not paired with this device\n");

  std::ofstream(root_ / "pending-home-peer-decommissions.json") << R"([{"d": 1}, {"d": 2}])";
  const Outcome retried = run("/usr/bin/kalu-relay-admin",
                              {"home-peer-retry-removals", "--identity-root", root_.string()});
  ASSERT_EQ(retried.status, 0) << retried.err;
  EXPECT_EQ(Json::parse(retried.out)["retried"], 2);
  EXPECT_EQ(Json::parse(read_text(root_ / "pending-home-peer-decommissions.json")), Json::array());
}

}  // namespace
}  // namespace kalu_relay
