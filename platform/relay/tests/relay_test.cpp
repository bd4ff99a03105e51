#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "relay/config.h"
#include "relay/home_peer.h"
#include "relay/rooms.h"
#include "relay/store.h"
#include "sim_device/state.h"

namespace kalu_relay {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;

class TempDir {
 public:
  TempDir() {
    char tmpl[] = "/tmp/relay_test.XXXXXX";
    root_ = ::mkdtemp(tmpl);
  }
  ~TempDir() { fs::remove_all(root_); }
  fs::path operator/(const fs::path& rel) const { return root_ / rel; }

 private:
  fs::path root_;
};

void write_file(const fs::path& path, const std::string& text) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

std::string read_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// A file a newer relay wrote: keys this library does not know at every level.
constexpr const char* kNewerRelay = R"(role = "always-on"
relay_enabled = true
full_replication = true
data_dir = "/srv/relay"
listen_port = 7443

[services]
inbound_relay = true
compute = true
gpu_jobs = "shared"

[tuning]
max_peers = 12

[[workspaces]]
workspace_id = 7
replication = "full"
active = true
entries = ["notes", "chat"]
pinned = true

[[workspaces]]
workspace_id = "18446744073709551615"
replication = 9
active = false
)";

TEST(RelayConfigTest, LoadEditAndWriteKeepUnknownKeys) {
  TempDir dir;
  const fs::path path = dir / "etc/relay.toml";
  write_file(path, kNewerRelay);

  auto config = load(path);
  ASSERT_TRUE(config) << config.error().message;
  EXPECT_EQ(config->role, kRoleAlwaysOn);
  EXPECT_TRUE(config->relay_enabled);
  EXPECT_TRUE(config->full_replication);
  EXPECT_TRUE(config->inbound_relay);
  EXPECT_FALSE(config->remote_control_relay);
  EXPECT_TRUE(config->compute);
  EXPECT_EQ(config->data_dir, "/srv/relay");
  // Left out: in the data folder.
  EXPECT_EQ(config->replication_status_path, "/srv/relay/replication-status.json");
  ASSERT_EQ(config->workspaces.size(), 2u);
  EXPECT_EQ(config->workspaces[0].workspace_id, 7u);
  EXPECT_EQ(config->workspaces[0].replication, kReplicationFull);
  EXPECT_THAT(config->workspaces[0].entries, ::testing::ElementsAre("notes", "chat"));
  EXPECT_EQ(config->workspaces[1].workspace_id, UINT64_MAX);
  EXPECT_EQ(config->workspaces[1].replication, 9);  // a mode this library has no name for

  // An edit as the Devices & Sync pane makes one, written and read again.
  config->role = kRoleHybrid;
  config->app_serving = true;
  EXPECT_TRUE(config->remove_workspace(7));
  EXPECT_FALSE(config->remove_workspace(7));
  config->workspaces.push_back(WorkspaceBinding{kReplicationOnDemand, 40, {}, false, {}});
  ASSERT_TRUE(write(path, *config));
  EXPECT_EQ(fs::status(path).permissions() & fs::perms::all, fs::perms(0644));

  const std::string text = read_file(path);
  for (const char* kept : {"listen_port = 7443", "gpu_jobs = 'shared'", "max_peers = 12",
                           "workspace_id = '18446744073709551615'", "replication = 9"}) {
    EXPECT_THAT(text, HasSubstr(kept));
  }
  EXPECT_THAT(text, ::testing::Not(HasSubstr("pinned")));  // went with workspace 7
  auto again = load(path);
  ASSERT_TRUE(again) << again.error().message;
  EXPECT_EQ(*again, *config);
  EXPECT_EQ(again->role, kRoleHybrid);
  EXPECT_TRUE(again->app_serving);
  EXPECT_EQ(again->workspaces.back().workspace_id, 40u);
  EXPECT_EQ(again->workspaces.back().replication, kReplicationOnDemand);
}

TEST(RelayConfigTest, MissingBrokenAndWrongFilesAreToldApart) {
  TempDir dir;
  auto missing = load(dir / "relay.toml");
  ASSERT_FALSE(missing);
  EXPECT_EQ(missing.error().kind, LoadError::Kind::NotFound);

  const struct {
    const char* text;
    const char* message;
  } cases[] = {
      // The parser's own description, with where it stopped.
      {"role = \"always-on\nrelay_enabled = true\n", "(line 1, column"},
      {"[services\n", "line 1"},
      {"relay_enabled = \"yes\"\n", "`relay_enabled` must be true or false (line 1, column 17)"},
      {"role = \"server\"\n", "unknown role \"server\""},
      {"[[workspaces]]\nworkspace_id = -1\n", "`workspace_id` must be an unsigned 64-bit number"},
      {"[[workspaces]]\nworkspace_id = \"18446744073709551616\"\n", "`workspace_id` must be"},
      {"[[workspaces]]\nreplication = \"mirror\"\n", "unknown replication \"mirror\""},
      {"services = 3\n", "`services` must be a table"},
      {"workspaces = [1]\n", "`workspaces` must be a list of tables"},
  };
  for (const auto& c : cases) {
    write_file(dir / "relay.toml", c.text);
    auto config = load(dir / "relay.toml");
    ASSERT_FALSE(config) << c.text;
    EXPECT_EQ(config.error().kind, LoadError::Kind::Other) << c.text;
    EXPECT_THAT(config.error().message, HasSubstr(c.message)) << c.text;
  }

  // A directory in the file's place, and a file past 1 MiB, are other errors.
  fs::remove(dir / "relay.toml");
  fs::create_directory(dir / "relay.toml");
  EXPECT_EQ(load(dir / "relay.toml").error().kind, LoadError::Kind::Other);
  fs::remove(dir / "relay.toml");
  write_file(dir / "relay.toml", "# " + std::string(1 << 20, 'x') + "\n");
  EXPECT_THAT(load(dir / "relay.toml").error().message, HasSubstr("larger than"));

  // An empty file is a configuration with every default.
  write_file(dir / "relay.toml", "");
  EXPECT_EQ(load(dir / "relay.toml").value(), RelayConfig::defaults());
}

TEST(RelayConfigTest, LocationFollowsTheDevice) {
  ::unsetenv("KALU_DEVICE");
  {
    sim_device::ScopedDeviceState device;
    EXPECT_EQ(relay_config_path(), device.dir() / "relay.toml");
    EXPECT_EQ(RelayConfig::defaults().data_dir, device.dir() / "relay");
    EXPECT_EQ(RelayConfig::defaults().replication_status_path,
              device.dir() / "relay/replication-status.json");
    ::setenv("KALU_DEVICE", "system", 1);
    EXPECT_EQ(relay_config_path(), "/etc/kalu/relay.toml");
    EXPECT_EQ(default_data_dir(), "/var/lib/kalu/relay");
    ::unsetenv("KALU_DEVICE");
  }
}

TEST(HomePeerLabelTest, AcceptsOnlyShortPrintableLabels) {
  const struct {
    std::string label;
    bool valid;
  } cases[] = {
      {"Basement NAS", true},
      {"  Basement NAS \t", true},  // trimmed first
      {std::string(64, 'x'), true},
      {" " + std::string(64, 'x') + " ", true},
      {std::string(65, 'x'), false},
      {"Åsa's Server ✓", true},
      {std::string(64, 'x').replace(0, 2, "é"), true},  // characters, not bytes
      {"", false},
      {"   ", false},
      {"-rf", false},
      {"  -rf", false},
      {"a-b", true},
      {"line\nbreak", false},
      {"tab\there", false},
      {std::string("nul\0byte", 8), false},
      {"del\x7f", false},
      {"c1\xC2\x85x", false},  // U+0085 inside
      {"bad\xFFutf8", false},
      {"ok \xEF\xBF\xBD", true},  // a real replacement character
  };
  for (const auto& c : cases) {
    EXPECT_EQ(home_peer::valid_home_peer_label(c.label), c.valid) << c.label;
  }
  EXPECT_EQ(home_peer::trim_label("  NAS \n"), "NAS");
}

TEST(HomePeerTest, NodeIdsAreSixtyFourLowerCaseHexDigits) {
  const std::string good(64, 'a');
  struct Case {
    std::string id;
    bool valid;
  } cases[] = {
      {good, true},
      {"0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef", true},
      {std::string(63, 'a'), false},
      {std::string(65, 'a'), false},
      {std::string(64, 'A'), false},
      {"-" + std::string(63, 'a'), false},
      {std::string(63, 'a') + "g", false},
      {std::string(62, 'a') + " a", false},
      {"", false},
  };
  for (const auto& c : cases) EXPECT_EQ(home_peer::valid_node_id(c.id), c.valid) << c.id;
}

TEST(RoomWorkspaceIdTest, StableIdsForValidRoomsOnly) {
  auto id = room_workspace_id("team-room:42");
  ASSERT_TRUE(id);
  EXPECT_EQ(room_workspace_id("team-room:42"), id);
  EXPECT_NE(room_workspace_id("team-room:43"), id);
  EXPECT_TRUE(room_workspace_id(std::string(255, 'r')));
  for (const std::string& bad : {std::string(), std::string(256, 'r'), std::string("has space"),
                                 std::string("tab\t"), std::string("caf\xC3\xA9")}) {
    EXPECT_FALSE(room_workspace_id(bad)) << bad;
  }
}

TEST(RelayMetricsTest, ReadsTheRunningFlag) {
  TempDir dir;
  EXPECT_FALSE(store::load_metrics(dir / "relay"));  // no file
  write_file(dir / "relay/metrics.json", R"({"running": true, "connected_peers": 3, "x": 1})");
  EXPECT_EQ(store::load_metrics(dir / "relay").value(), (store::RelayMetrics{true, 3}));
  write_file(dir / "relay/metrics.json", R"({"running": "yes"})");
  EXPECT_EQ(store::load_metrics(dir / "relay").value(), store::RelayMetrics{});
  for (const char* bad : {"[true]", "{\"running\": tru", ""}) {
    write_file(dir / "relay/metrics.json", bad);
    EXPECT_FALSE(store::load_metrics(dir / "relay")) << bad;
  }
}

}  // namespace
}  // namespace kalu_relay
