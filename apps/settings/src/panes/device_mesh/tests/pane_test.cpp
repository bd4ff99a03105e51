#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <nlohmann/json.hpp>

#include "actions/doc_readers.h"
#include "panes/device_mesh/device_mesh_pane.h"
#include "panes/device_mesh/relay_changes.h"
#include "panes/device_mesh/tests/mesh_world.h"

namespace settings::panes::device_mesh {
namespace {

using namespace testing;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using Op = DeviceMeshOperation;
using operations::OperationCompletion;

constexpr std::uint64_t kAlpha = 11;
constexpr std::uint64_t kBeta = 7;

kalu_relay::RelayConfig always_on_with(std::vector<std::uint64_t> ids) {
  kalu_relay::RelayConfig config = kalu_relay::RelayConfig::defaults();
  config.role = kalu_relay::kRoleAlwaysOn;
  config.relay_enabled = true;
  for (auto id : ids) {
    kalu_relay::WorkspaceBinding binding;
    binding.workspace_id = id;
    binding.active = true;
    config.workspaces.push_back(binding);
  }
  return config;
}

TEST(DeviceMeshPaneTest, TakesTheApplicationsCells) {
  MeshWorld world;
  HostedPane hosted;
  EXPECT_EQ(hosted.pane->link().request_cell(), hosted.requests);
  EXPECT_EQ(hosted.pane->link().completion_cell(), hosted.completion);
  EXPECT_TRUE(hosted.pane->link().hosted());
  EXPECT_EQ(hosted.pane->status(), "Not configured on this device");
  // A personal device with nothing running asks for no wake-up.
  EXPECT_EQ(hosted.pane->next_wake_deadline(), std::nullopt);
}

// The setup document on standard input, members in order; the operation
// completes when the run ends.
TEST(DeviceMeshPaneTest, AlwaysOnBindsEveryKnownWorkspaceAndSavesThroughTheSetup) {
  MeshWorld world;
  world.workspaces({{"Beta", kBeta}, {"Alpha", kAlpha}});
  HostedPane hosted;
  world.hold("pkexec");
  const std::string key = hosted.start(Op::SetRole{"Always-on server"});
  hosted.wait_for_run(world, "pkexec", 1);
  EXPECT_EQ(hosted.pane->status(), "Saving changes…");
  EXPECT_EQ(hosted.outcome(), OperationCompletion(OperationCompletion::Pending{key}));
  // Every 100 ms while it runs.
  EXPECT_TRUE(hosted.pane->next_wake_deadline().has_value());
  world.release("pkexec");
  hosted.settle();
  EXPECT_EQ(hosted.outcome(), succeeded(key));
  EXPECT_EQ(hosted.pane->status(), "Saved");
  EXPECT_THAT(world.args("pkexec", 1), ElementsAre("/usr/libexec/kalu-home-peer-control", "apply"));
  EXPECT_EQ(world.input("pkexec", 1),
            R"({"identity_root":")" + world.root().string() +
                R"(","role":"always-on","workspace_ids":[11,7],"replication":"full",)"
                R"("inbound_relay":true,"remote_control_relay":false,"app_serving":false,)"
                R"("compute":false})");
  const auto& config = hosted.pane->relay_config();
  EXPECT_TRUE(config.full_replication);
  ASSERT_EQ(config.workspaces.size(), 2u);
  for (const auto& binding : config.workspaces) {
    EXPECT_EQ(binding.replication, kalu_relay::kReplicationFull);
    EXPECT_TRUE(binding.active);
  }

  // Back to a personal device: the bindings stay, inactive.
  const std::string back = hosted.start(Op::SetRole{"Personal device"});
  hosted.settle();
  EXPECT_EQ(hosted.outcome(), succeeded(back));
  EXPECT_EQ(config.workspaces.size(), 2u);
  EXPECT_FALSE(config.relay_enabled);
  EXPECT_FALSE(config.inbound_relay);
  EXPECT_FALSE(config.full_replication);
  for (const auto& binding : config.workspaces) EXPECT_FALSE(binding.active);
  EXPECT_THAT(world.input("pkexec", 2), ::testing::HasSubstr(R"("role":"interactive")"));
}

// A change during a run is saved once more after it, whether the first run
// succeeded or failed; after a failure without the first run's change, which
// was never saved.
TEST(DeviceMeshPaneTest, AChangeDuringARunIsAppliedOnceMoreAfterIt) {
  for (const bool first_fails : {false, true}) {
    SCOPED_TRACE(first_fails ? "first run fails" : "first run succeeds");
    MeshWorld world;
    world.workspaces({{"Alpha", kAlpha}});
    ASSERT_TRUE(world.relay(always_on_with({kAlpha})));
    HostedPane hosted;
    world.hold("pkexec");
    if (first_fails) world.fail_run("pkexec", 1, "Request dismissed\n");
    const std::string first = hosted.start(Op::SetService{"compute", true});
    hosted.wait_for_run(world, "pkexec", 1);
    // Two more changes while it runs; the page's, so nothing waits on them
    // but the pane.
    hosted.hand_over(Op::SetService{"app_serving", true});
    hosted.sync();
    EXPECT_EQ(hosted.pane->status(), "Saving latest changes…");
    const Op last = Op::SetReplication{"Workspace state"};
    hosted.hand_over(last);
    hosted.sync();
    EXPECT_TRUE(hosted.pane->reapply_pending());
    // The executor hands over the next operation only once the first is
    // final; here it is already Pending so its completion shows.
    world.release("pkexec");
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (hosted.outcome().tag() == 1 && std::chrono::steady_clock::now() < end) {
      hosted.sync();
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_EQ(hosted.outcome(),
              first_fails ? failed(first, "Not saved: Request dismissed") : succeeded(first));
    (void)hosted.completion->publish(OperationCompletion::Pending{operations::operation_key(last)});
    hosted.settle();
    EXPECT_EQ(world.runs("pkexec"), 2);
    EXPECT_EQ(hosted.outcome(), succeeded(operations::operation_key(last)));
    EXPECT_EQ(world.input("pkexec", 2),
              R"({"identity_root":")" + world.root().string() +
                  R"(","role":"always-on","workspace_ids":[11],"replication":"workspace-only",)"
                  R"("inbound_relay":false,"remote_control_relay":false,"app_serving":true,)"
                  R"("compute":)" +
                  (first_fails ? "false" : "true") + "}");
    EXPECT_EQ(hosted.pane->relay_config().compute, !first_fails);
    EXPECT_EQ(hosted.pane->status(), "Saved");
  }
}

// A change whose save was refused is not kept: the pane shows the stored
// configuration again and the next save, of something else, does not carry
// the refused change.
TEST(DeviceMeshPaneTest, ARefusedSaveLeavesNothingStaged) {
  MeshWorld world;
  world.workspaces({{"Alpha", kAlpha}});
  ASSERT_TRUE(world.relay(always_on_with({kAlpha})));
  const auto stored = [] { return *kalu_relay::load(kalu_relay::relay_config_path()); };
  HostedPane hosted;
  world.fail("pkexec", "polkit: authentication dismissed\n");
  const std::string refused = hosted.start(Op::SetReplication{"Full workspace copy"});
  hosted.settle();
  EXPECT_EQ(hosted.outcome(), failed(refused, "Not saved: polkit: authentication dismissed"));
  EXPECT_EQ(hosted.pane->status(), "Not saved: polkit: authentication dismissed");
  EXPECT_EQ(shown_replication(hosted.pane->relay_config()), shown_replication(stored()));
  EXPECT_FALSE(hosted.pane->relay_config().full_replication);

  world.succeed("pkexec");
  const std::string toggle = hosted.start(Op::SetService{"continuity.enabled", true});
  hosted.settle();
  EXPECT_EQ(hosted.outcome(), succeeded(toggle));
  ASSERT_EQ(world.runs("pkexec"), 2);
  EXPECT_EQ(world.input("pkexec", 2), setup_document(stored(), world.root()));
  EXPECT_TRUE(hosted.pane->continuity().continuity.enabled);
}

// A run that fails while the stored configuration has become unreadable
// saves nothing more: the change waiting for the re-run fails too (the
// page's here, so nothing waits on it), and the defaults never reach the
// setup.
TEST(DeviceMeshPaneTest, AFailedRunOverAnUnreadableConfigurationFailsTheWaitingChanges) {
  MeshWorld world;
  world.workspaces({{"Alpha", kAlpha}});
  ASSERT_TRUE(world.relay(always_on_with({kAlpha})));
  HostedPane hosted;
  world.hold("pkexec");
  world.fail_run("pkexec", 1, "Request dismissed\n");
  const std::string first = hosted.start(Op::SetService{"compute", true});
  hosted.wait_for_run(world, "pkexec", 1);
  const Op later = Op::SetService{"app_serving", true};
  hosted.hand_over(later);
  hosted.sync();
  ASSERT_TRUE(hosted.pane->reapply_pending());
  write_file(kalu_relay::relay_config_path(), "role = [\n");
  world.release("pkexec");
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (hosted.pane->applying() && std::chrono::steady_clock::now() < end) {
    hosted.sync();
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_EQ(hosted.outcome(), failed(first, "Not saved: Request dismissed"));
  hosted.settle();
  EXPECT_EQ(world.runs("pkexec"), 1);
  EXPECT_FALSE(hosted.pane->reapply_pending());
  EXPECT_EQ(read_file(kalu_relay::relay_config_path()), "role = [\n");
  EXPECT_THAT(hosted.pane->status(), ::testing::StartsWith("Configuration could not be read: "));
}

// Each refusal fails at once and runs nothing; SetRole to the role in place
// still saves.
TEST(DeviceMeshPaneTest, OperationsCompleteExactlyOnce) {
  struct Case {
    const char* name;
    Op operation;
    std::string relay_file;  // empty: none
    std::string expected;    // empty: saved
  } cases[] = {
      {"the current role", Op::SetRole{"Personal device"}, "", ""},
      {"unknown role", Op::SetRole{"Server"}, "", "unsupported device role"},
      {"unknown replication", Op::SetReplication{"All"}, "", "unsupported replication policy"},
      {"unknown service", Op::SetService{"vpn", true}, "", "unsupported device service"},
      {"unknown capability", Op::SetService{"continuity.teleport", true}, "",
       "unsupported Continuity capability"},
      {"gone workspace", Op::SetWorkspace{999, true}, "",
       "workspace is no longer available on this device"},
      {"known workspace", Op::SetWorkspace{kAlpha, true}, "", ""},
      {"unreadable configuration", Op::SetRole{"Always-on server"}, "role = \"nonsense\"\n",
       "relay configuration could not be read"},
      {"unreadable configuration, Continuity", Op::SetService{"continuity.clipboard", true},
       "role = [\n", "relay configuration could not be read"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    MeshWorld world;
    world.workspaces({{"Alpha", kAlpha}});
    if (!c.relay_file.empty()) write_file(kalu_relay::relay_config_path(), c.relay_file);
    HostedPane hosted;
    const std::string key = hosted.start(c.operation);
    hosted.settle();
    if (c.expected.empty()) {
      EXPECT_EQ(hosted.outcome(), succeeded(key));
      EXPECT_EQ(world.runs("pkexec"), 1);
    } else {
      EXPECT_EQ(hosted.outcome(), failed(key, c.expected));
      EXPECT_EQ(world.runs("pkexec"), 0);
    }
    if (!c.relay_file.empty()) {
      // Left as it was, never replaced by the defaults.
      EXPECT_EQ(read_file(kalu_relay::relay_config_path()), c.relay_file);
      EXPECT_THAT(hosted.pane->status(),
                  ::testing::StartsWith("Configuration could not be read: "));
    }
  }
}

TEST(DeviceMeshPaneTest, AMendedConfigurationIsReadAgainByTheNextChange) {
  MeshWorld world;
  write_file(kalu_relay::relay_config_path(), "role = 5\n");
  HostedPane hosted;
  EXPECT_TRUE(hosted.pane->config_error().has_value());
  ASSERT_TRUE(world.relay(always_on_with({})));
  const std::string key = hosted.start(Op::SetService{"compute", true});
  hosted.settle();
  EXPECT_EQ(hosted.outcome(), succeeded(key));
  EXPECT_THAT(world.input("pkexec", 1), ::testing::HasSubstr(R"("role":"always-on")"));
}

TEST(DeviceMeshPaneTest, ASetupThatCannotStartFailsTheOperation) {
  MeshWorld world;
  world.fakes().add_missing("pkexec");
  HostedPane hosted;
  const std::string key = hosted.start(Op::SetService{"compute", true});
  const auto outcome = hosted.outcome();
  ASSERT_EQ(outcome.tag(), 3) << "not failed";
  EXPECT_THAT(std::get<OperationCompletion::Failed>(outcome).message,
              ::testing::StartsWith("Not saved: could not start system setup: "));
  EXPECT_FALSE(hosted.pane->applying());
  EXPECT_EQ(hosted.pane->status(), std::get<OperationCompletion::Failed>(outcome).message);
}

TEST(DeviceMeshPaneTest, AContinuityChoiceThatIsNotSavedFailsAndRunsNoSetup) {
  MeshWorld world;
  // A folder where the settings file belongs.
  fs::create_directories(world.config_dir() / "kalu/settings.json");
  HostedPane hosted;
  const std::string key = hosted.start(Op::SetService{"continuity.clipboard", true});
  const auto outcome = hosted.outcome();
  ASSERT_EQ(outcome.tag(), 3) << "not failed";
  EXPECT_THAT(std::get<OperationCompletion::Failed>(outcome).message,
              ::testing::StartsWith("Continuity choices were not saved: "));
  EXPECT_EQ(world.runs("pkexec"), 0);
  // What is shown is what is stored.
  EXPECT_FALSE(hosted.pane->continuity().continuity.clipboard);
  EXPECT_TRUE(hosted.pane->continuity().continuity_error.has_value());

  fs::remove(world.config_dir() / "kalu/settings.json");
  const std::string saved = hosted.start(Op::SetService{"continuity.clipboard", true});
  hosted.settle();
  EXPECT_EQ(hosted.outcome(), succeeded(saved));
  const auto stored =
      nlohmann::json::parse(read_file(world.config_dir() / "kalu/settings.json"), nullptr, false);
  EXPECT_EQ(stored["continuity"]["clipboard"], true);
}

// ---- Pairing ----

const std::string kCandidate = R"({"device_node_id": ")" + node_id('a') +
                               R"(", "relay_service_node_id": ")" + node_id('b') +
                               R"(", "label": "Attic Server", "verification_code": "482913",
                                 "extra": 1})";

TEST(DeviceMeshPaneTest, PairingDiscoversThenApprovesWithTheWorkspaces) {
  struct Case {
    const char* name;
    std::vector<std::pair<std::string, std::uint64_t>> workspaces;
    std::vector<std::uint64_t> bound;
    std::vector<std::string> workspace_args;
  } cases[] = {
      {"none bound: every known one",
       {{"Beta", kBeta}, {"Alpha", kAlpha}},
       {},
       {"--workspace-id", "11", "--workspace-id", "7"}},
      {"bound ones only", {{"Beta", kBeta}, {"Alpha", kAlpha}}, {kBeta}, {"--workspace-id", "7"}},
      {"no workspace at all", {}, {}, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    MeshWorld world;
    world.workspaces(c.workspaces);
    if (!c.bound.empty()) {
      ASSERT_TRUE(world.relay(always_on_with(c.bound)));
    }
    world.output("enroll", kCandidate);
    HostedPane hosted;
    hosted.sync();
    hosted.press(std::string(kApproveEnrollmentFlag));
    EXPECT_EQ(hosted.pane->status(), "Looking for your new home server…");
    hosted.settle();
    EXPECT_THAT(world.args("enroll", 1), ElementsAre("discover", "--timeout", "15"));
    ASSERT_TRUE(hosted.pane->candidate().has_value());
    EXPECT_EQ(hosted.pane->candidate()->candidate.label, "Attic Server");
    EXPECT_EQ(hosted.pane->status(),
              "Found Attic Server. Confirm code 482913 on both devices, then approve.");

    world.home_peers({peer_json('a', 'b', "Attic Server")});
    hosted.press(std::string(kApproveEnrollmentFlag));
    EXPECT_EQ(hosted.pane->status(), "Approving Attic Server with code 482913…");
    hosted.settle();
    std::vector<std::string> expected = {"/usr/libexec/kalu-home-peer-control",
                                         "approve-enrollment",
                                         "--identity-root",
                                         world.root().string(),
                                         "--expected-device",
                                         node_id('a'),
                                         "--expected-service",
                                         node_id('b')};
    expected.insert(expected.end(), c.workspace_args.begin(), c.workspace_args.end());
    EXPECT_THAT(world.args("pkexec", 1), ElementsAreArray(expected));
    EXPECT_EQ(hosted.pane->status(), "Home server paired");
    EXPECT_FALSE(hosted.pane->candidate().has_value());
    EXPECT_EQ(hosted.pane->home_peers().size(), 1u);
  }
}

TEST(DeviceMeshPaneTest, APersonalDeviceIsApprovedWithTheIdentityStore) {
  MeshWorld world;
  world.output("enroll", kCandidate);
  HostedPane hosted;
  hosted.sync();
  hosted.press(std::string(kApprovePersonalDeviceFlag));
  EXPECT_EQ(hosted.pane->status(), "Looking for your new device…");
  hosted.settle();
  EXPECT_THAT(world.args("enroll", 1), ElementsAre("discover-device", "--timeout", "15"));
  world.fail("pkexec", "");
  hosted.press(std::string(kApprovePersonalDeviceFlag));
  hosted.settle();
  EXPECT_THAT(
      world.args("pkexec", 1),
      ElementsAre("/usr/libexec/kalu-home-peer-control", "approve-device", "--identity-root",
                  world.root().string(), "--identity-dir", std::getenv("KALU_IDENTITY_DIR"),
                  "--expected-device", node_id('a'), "--expected-service", node_id('b')));
  // A refused approval keeps the candidate for another try.
  EXPECT_EQ(hosted.pane->status(),
            "Device was not paired: the pairing window closed or was cancelled. Choose the "
            "pairing action to retry.");
  EXPECT_TRUE(hosted.pane->candidate().has_value());
  // A press for the other kind drops the candidate and looks again.
  hosted.press(std::string(kApproveEnrollmentFlag));
  EXPECT_FALSE(hosted.pane->candidate().has_value());
  EXPECT_EQ(hosted.pane->pairing_kind(), PairingKind::HomeServer);
  hosted.settle();
}

TEST(DeviceMeshPaneTest, ASecondPressDuringDiscoveryStartsNothing) {
  MeshWorld world;
  world.hold("enroll");
  HostedPane hosted;
  hosted.sync();
  hosted.press(std::string(kApproveEnrollmentFlag));
  hosted.wait_for_run(world, "enroll", 1);
  hosted.press(std::string(kApproveEnrollmentFlag));
  hosted.press(std::string(kApprovePersonalDeviceFlag));
  EXPECT_TRUE(hosted.pane->discovering());
  world.output("enroll", "{}");
  world.release("enroll");
  hosted.settle();
  EXPECT_EQ(world.runs("enroll"), 1);
  EXPECT_EQ(hosted.pane->status(), "Nearby discovery returned an invalid identity");
  EXPECT_FALSE(hosted.pane->candidate().has_value());
}

TEST(DeviceMeshPaneTest, CandidatesAreCheckedBeforeTheyBecomeArguments) {
  const std::string a = node_id('a');
  const std::string b = node_id('b');
  struct Case {
    std::string output;
    bool valid;
  } cases[] = {
      {kCandidate, true},
      {R"([")" + a + R"(", ")" + b + R"(", "Attic", "482913"])", true},
      {R"({"device_node_id": ")" + a + R"(", "relay_service_node_id": ")" + b +
           R"(", "label": "Attic"})",
       false},  // no code
      {R"({"device_node_id": "--identity-root=/tmp", "relay_service_node_id": ")" + b +
           R"(", "label": "Attic", "verification_code": "1"})",
       false},
      {R"({"device_node_id": ")" + a + R"(", "relay_service_node_id": ")" + b.substr(1) +
           R"(", "label": "Attic", "verification_code": "1"})",
       false},
      {R"({"device_node_id": 5, "relay_service_node_id": ")" + b +
           R"(", "label": "Attic", "verification_code": "1"})",
       false},
      {R"([")" + a + R"(", ")" + b + R"(", "Attic"])", false},
      {"not json", false},
      {"", false},
  };
  for (const auto& c : cases) {
    auto candidate = parse_pair_candidate(c.output);
    EXPECT_EQ(candidate.has_value(), c.valid) << c.output;
    if (!candidate) {
      EXPECT_EQ(candidate.error(), kInvalidCandidate);
    }
  }
}

// ---- Home servers ----

TEST(DeviceMeshPaneTest, AProbeWritesTheHealthFileAndALaterFailureShowsWhenLastSeen) {
  MeshWorld world;
  world.home_peers({peer_json('c', 'd', "Basement NAS")});
  world.output("admin", R"({"files_ready": true, "decommissioned": "yes"})");
  HostedPane hosted;
  hosted.sync();
  EXPECT_EQ(hosted.pane->server_status_text(node_id('c')), "Checking…");
  hosted.pane->make_refresh_due();
  hosted.sync();
  EXPECT_EQ(hosted.pane->server_status_text(node_id('c')), "Connecting…");
  hosted.settle();
  EXPECT_THAT(world.args("admin", 1),
              ElementsAre("home-peer-status", "--identity-root", world.root().string(), "--device",
                          node_id('c'), "--service", node_id('d')));
  EXPECT_EQ(hosted.pane->server_status_text(node_id('c')), "Online · Files ready");
  struct stat st {};
  ASSERT_EQ(::stat((world.root() / "home-peer-health.json").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  EXPECT_EQ(read_home_peer_health().count(node_id('c')), 1u);

  world.fail("admin", "connection refused");
  hosted.pane->make_refresh_due();
  hosted.settle();
  EXPECT_EQ(hosted.pane->server_status_text(node_id('c')), "Offline · Last seen just now");
}

TEST(DeviceMeshPaneTest, AProbeThatNeverAnsweredShowsTheError) {
  MeshWorld world;
  world.home_peers({peer_json('c', 'd', "Basement NAS")});
  world.fail("admin", "");
  HostedPane hosted;
  hosted.pane->make_refresh_due();
  hosted.settle();
  EXPECT_EQ(hosted.pane->server_status_text(node_id('c')), "Offline · not reachable");
  EXPECT_FALSE(fs::exists(world.root() / "home-peer-health.json"));
}

TEST(DeviceMeshPaneTest, RetryingPendingRemovalsRecordsNoHomeServer) {
  MeshWorld world;
  world.home_peers({peer_json('c', 'd', "Basement NAS")});
  write_file(world.root() / "pending-home-peer-decommissions.json", R"([{"device": "x"}])");
  world.output("admin", R"({"files_ready": true})");
  HostedPane hosted;
  hosted.pane->make_refresh_due();
  hosted.settle();
  EXPECT_THAT(world.args("admin", 1),
              ElementsAre("home-peer-retry-removals", "--identity-root", world.root().string()));
  EXPECT_TRUE(hosted.pane->last_seen().empty());
  EXPECT_TRUE(hosted.pane->peer_status_texts().empty());
  EXPECT_FALSE(fs::exists(world.root() / "home-peer-health.json"));
}

TEST(DeviceMeshPaneTest, RemoveServerRunsOnTheSecondPressOnly) {
  MeshWorld world;
  world.home_peers({peer_json('c', 'd', "Basement NAS")});
  HostedPane hosted;
  hosted.sync();
  const std::string remove = home_peer_control_id(node_id('c'), "remove");
  hosted.press(remove);
  EXPECT_TRUE(hosted.pane->remove_confirm().contains(node_id('c')));
  EXPECT_EQ(hosted.pane->status(),
            "Review the file-copy warning, then choose Revoke & remove to stop Basement NAS "
            "permanently");
  hosted.settle();
  EXPECT_EQ(world.runs("admin"), 0);
  // Cancel, then ask again: still only asking.
  hosted.press(home_peer_control_id(node_id('c'), "cancel_remove"));
  EXPECT_FALSE(hosted.pane->remove_confirm().contains(node_id('c')));
  hosted.press(remove);
  EXPECT_EQ(world.runs("admin"), 0);
  world.output("admin", R"({"decommissioned": true})");
  hosted.press(remove);
  hosted.settle();
  EXPECT_THAT(world.args("admin", 1),
              ElementsAre("home-peer-remove", "--identity-root", world.root().string(), "--device",
                          node_id('c'), "--service", node_id('d')));
  EXPECT_EQ(hosted.pane->server_status_text(node_id('c')), "Removed");
}

TEST(DeviceMeshPaneTest, RenameSendsAValidTrimmedLabelOnly) {
  MeshWorld world;
  world.home_peers({peer_json('c', 'd', "Basement NAS")});
  HostedPane hosted;
  hosted.sync();
  const std::string name = home_peer_control_id(node_id('c'), "name");
  EXPECT_EQ(actions::read_doc_text(hosted.document(), kalu_ui::doc::kRoot, name), "Basement NAS");
  const std::string rename = home_peer_control_id(node_id('c'), "rename");
  for (const char* refused : {"-rf", "   ", "bad\nname"}) {
    (void)hosted.document().put(kalu_ui::doc::kRoot, name, kalu_ui::doc::Scalar(refused));
    hosted.press(rename);
  }
  EXPECT_EQ(world.runs("admin"), 0);
  (void)hosted.document().put(kalu_ui::doc::kRoot, name, kalu_ui::doc::Scalar("  Loft NAS "));
  hosted.press(rename);
  hosted.settle();
  EXPECT_THAT(world.args("admin", 1),
              ElementsAre("home-peer-rename", "--identity-root", world.root().string(), "--device",
                          node_id('c'), "--service", node_id('d'), "--label", "Loft NAS"));
}

// A probe holds the administration slot: a rename and a confirmed removal
// pressed meanwhile wait for it, in the order pressed, and no probe goes
// before them.
TEST(DeviceMeshPaneTest, ARenameAndARemovalPressedDuringAProbeRunAfterIt) {
  MeshWorld world;
  world.home_peers({peer_json('c', 'd', "Basement NAS")});
  world.hold("admin");
  HostedPane hosted;
  hosted.pane->make_refresh_due();
  hosted.wait_for_run(world, "admin", 1);
  ASSERT_TRUE(hosted.pane->probing());

  (void)hosted.document().put(kalu_ui::doc::kRoot, home_peer_control_id(node_id('c'), "name"),
                              kalu_ui::doc::Scalar("Loft NAS"));
  hosted.press(home_peer_control_id(node_id('c'), "rename"));
  const std::string remove = home_peer_control_id(node_id('c'), "remove");
  hosted.press(remove);
  hosted.press(remove);
  EXPECT_FALSE(hosted.pane->remove_confirm().contains(node_id('c')));
  hosted.pane->make_refresh_due();
  hosted.sync();
  EXPECT_EQ(world.runs("admin"), 1);
  EXPECT_EQ(hosted.pane->server_status_text(node_id('c')), "Connecting…");

  world.release("admin");
  hosted.wait_for_run(world, "admin", 3);
  hosted.settle();
  EXPECT_EQ(world.runs("admin"), 3);
  EXPECT_EQ(world.args("admin", 2).at(0), "home-peer-rename");
  EXPECT_EQ(world.args("admin", 2).back(), "Loft NAS");
  EXPECT_EQ(world.args("admin", 3).at(0), "home-peer-remove");
}

TEST(DeviceMeshPaneTest, AServerWithAMalformedIdIsNeverHandedToTheTool) {
  MeshWorld world;
  world.home_peers({R"({"schema_version": 1, "device_node_id": "-x", "relay_service_node_id": ")" +
                    node_id('d') +
                    R"(", "relay_endpoint": {}, "label": "Odd", "user_public_key": [1],
                       "device_cert": {}, "relay_workspace_ids": []})"});
  HostedPane hosted;
  hosted.pane->make_refresh_due();
  hosted.settle();
  EXPECT_EQ(world.runs("admin"), 0);
  EXPECT_EQ(hosted.pane->server_status_text("-x"),
            "Offline · the home server's registration has an invalid identity");
}

}  // namespace
}  // namespace settings::panes::device_mesh
