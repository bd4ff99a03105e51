#include "panes/device_mesh/files.h"

#include <fmt/format.h>
#include <fmt/ranges.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <functional>

#include "identity/testing.h"
#include "panes/device_mesh/model.h"
#include "prefs_store/paths.h"
#include "relay/rooms.h"
#include "vocabulary/device_mesh_vocabulary.h"

namespace settings::panes::device_mesh {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using identity_testing::ScopedEnv;
using std::chrono::system_clock;

void write_file(const fs::path& path, const std::string& text) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

// A moment with whole milliseconds, so file times and "updated_at_ms" meet.
const system_clock::time_point kNow = system_clock::time_point(1'700'000'000'123ms);

constexpr const char* kPeer =
    R"({"schema_version": 1, "device_node_id": "node-a", "relay_service_node_id": "svc-a",
        "relay_endpoint": {"addrs": ["10.0.0.2:7443"]}, "label": "Basement NAS",
        "user_public_key": [1, 2, 3], "device_cert": {"device_label": "NAS"},
        "relay_workspace_ids": [7, 9]})";

// An identity root, a configuration folder and a relay data folder in a
// temporary directory.
class DeviceMeshFiles : public ::testing::Test {
 protected:
  DeviceMeshFiles()
      : temp_(make_temp()),
        root_env_("KALU_IDENTITY_ROOT", (temp_ / "root").string()),
        config_(temp_ / "config") {
    relay_.data_dir = temp_ / "relay";
    relay_.replication_status_path = temp_ / "relay/replication.json";
  }
  ~DeviceMeshFiles() override { fs::remove_all(temp_); }

  static fs::path make_temp() {
    char tmpl[] = "/tmp/device_mesh_files.XXXXXX";
    return ::mkdtemp(tmpl);
  }
  fs::path root(const char* name) const { return temp_ / "root" / name; }

  // Running metrics written `age` before kNow.
  void metrics(std::chrono::milliseconds age) {
    const fs::path path = relay_.data_dir / "metrics.json";
    write_file(path, R"({"running": true})");
    fs::last_write_time(path, std::chrono::file_clock::from_sys(kNow - age));
  }
  std::string readiness() {
    return std::string(readiness_badge(relay_readiness(relay_, kNow)).text);
  }

  fs::path temp_;
  ScopedEnv root_env_;
  prefs_store::ScopedConfigDir config_;
  kalu_relay::RelayConfig relay_;
};

std::string peers_text(const std::vector<kalu_relay::HomePeerRegistration>& peers) {
  std::vector<std::string> labels;
  for (const auto& peer : peers) labels.push_back(peer.device_node_id + "=" + peer.label);
  return fmt::format("[{}]", fmt::join(labels, ", "));
}

std::string workspaces_text(const std::vector<KnownWorkspace>& workspaces) {
  std::vector<std::string> items;
  for (const auto& w : workspaces) items.push_back(fmt::format("{}:{}", w.label, w.id));
  return fmt::format("[{}]", fmt::join(items, ", "));
}

// One row per rule of the device-mesh files: what it sets up and reads, and
// what it must answer.
TEST_F(DeviceMeshFiles, EdgeCasesOfTheFilesAndTexts) {
  const std::string peer_sequence =
      R"([[1, "node-b", "svc-b", null, "Attic", "key", {"c": 1}, []]])";
  const std::string room = "team-room:1";
  const std::uint64_t room_id = kalu_relay::room_workspace_id(room).value();

  const struct Case {
    const char* name;
    std::function<std::string()> run;
    std::string expected;
  } cases[] = {
      // The identity root.
      {"a set root is used as it is", [&] { return identity_root()->string(); },
       (temp_ / "root").string()},
      {"an empty root counts as unset",
       [&] {
         ScopedEnv empty("KALU_IDENTITY_ROOT", "");
         ScopedEnv data("XDG_DATA_HOME", (temp_ / "data").string());
         return identity_root()->string();
       },
       (temp_ / "data/kalu").string()},
      // The home-peer list, its size limit and its strict records.
      {"home-peers.json of exactly 1 MiB is read",
       [&] {
         std::string text = std::string("[") + kPeer + "]";
         write_file(root("home-peers.json"),
                    text + std::string(kMaxHomePeerFileBytes - text.size(), ' '));
         return peers_text(read_home_peers());
       },
       "[node-a=Basement NAS]"},
      {"one byte more counts as missing",
       [&] {
         std::string text = std::string("[") + kPeer + "]";
         write_file(root("home-peers.json"),
                    text + std::string(kMaxHomePeerFileBytes + 1 - text.size(), ' '));
         return peers_text(read_home_peers());
       },
       "[]"},
      {"the eight-element sequence form is read",
       [&] {
         write_file(root("home-peers.json"), peer_sequence);
         return peers_text(read_home_peers());
       },
       "[node-b=Attic]"},
      {"an unknown member invalidates the whole file",
       [&] {
         std::string extra = std::string(kPeer);
         extra.insert(1, R"("nickname": "x", )");
         write_file(root("home-peers.json"), fmt::format("[{}, {}]", kPeer, extra));
         return peers_text(read_home_peers());
       },
       "[]"},
      {"a missing member invalidates the whole file",
       [&] {
         write_file(root("home-peers.json"),
                    R"([[1, "node-b", "svc-b", null, "Attic", "key", {"c": 1}]])");
         return peers_text(read_home_peers());
       },
       "[]"},
      // The health map: the same limit, and what a write leaves.
      {"the health map is written 0600 and read back",
       [&] {
         EXPECT_TRUE(write_home_peer_health({{"node-a", 1'700'000'000'000}, {"node-b", 5}}));
         const auto mode = fs::status(*home_peer_health_path()).permissions() & fs::perms::all;
         return fmt::format("{:o} {}", static_cast<unsigned>(mode), read_home_peer_health().size());
       },
       "600 2"},
      {"a health map past 1 MiB counts as missing",
       [&] {
         write_file(*home_peer_health_path(),
                    R"({"n": 1})" + std::string(kMaxHomePeerFileBytes, ' '));
         return std::to_string(read_home_peer_health().size());
       },
       "0"},
      {"pending removals are counted; anything else is none",
       [&] {
         write_file(root("pending-home-peer-decommissions.json"), R"([{"id": 1}, "b", 3])");
         const std::size_t three = read_pending_decommissions();
         write_file(root("pending-home-peer-decommissions.json"), R"({"id": 1})");
         return fmt::format("{} {}", three, read_pending_decommissions());
       },
       "3 0"},
      // The workspace list.
      {"two workspaces with one label come in id order; a binding is listed once",
       [&] {
         write_file(temp_ / "config/kalu/state.json",
                    fmt::format(R"({{"workspaces": [{{"id": 9, "name": "Team"}},
                                   {{"id": 4, "name": "Team"}}, {{"room": "{}"}},
                                   {{"name": "no id"}}, 5, {{"id": -1}}]}})",
                                room));
         kalu_relay::RelayConfig relay;
         relay.workspaces = {{2, 9, {}, true, {}}, {1, 11, {}, true, {}}};
         return workspaces_text(known_workspaces(relay));
       },
       fmt::format("[Team:4, Team:9, Workspace:{}, Workspace 11:11]", room_id)},
      {"without a configuration folder only the bindings count",
       [&] {
         prefs_store::ScopedConfigDir none{fs::path()};
         kalu_relay::RelayConfig relay;
         relay.workspaces = {{1, 3, {}, false, {}}};
         return workspaces_text(known_workspaces(relay));
       },
       "[Workspace 3:3]"},
      // The relay's health.
      {"metrics written exactly 5 s ago still count",
       [&] {
         metrics(5000ms);
         return readiness();
       },
       "Online"},
      {"metrics written 5.001 s ago do not",
       [&] {
         metrics(5001ms);
         return readiness();
       },
       "Offline"},
      {"metrics from the future count",
       [&] {
         metrics(-60'000ms);
         return readiness();
       },
       "Online"},
      {"a relative data folder is never looked up",
       [&] {
         metrics(0ms);
         kalu_relay::RelayConfig relative = relay_;
         relative.data_dir = fs::relative(relay_.data_dir);
         return std::string(readiness_badge(relay_readiness(relative, kNow)).text);
       },
       "Offline"},
      {"metrics of a relay that does not run",
       [&] {
         metrics(0ms);
         write_file(relay_.data_dir / "metrics.json", R"({"running": false})");
         fs::last_write_time(relay_.data_dir / "metrics.json",
                             std::chrono::file_clock::from_sys(kNow));
         return readiness();
       },
       "Offline"},
      {"updated 5,000 ms ago on a full always-on relay is Ready",
       [&] {
         metrics(0ms);
         relay_.role = kalu_relay::kRoleAlwaysOn;
         relay_.full_replication = true;
         write_file(relay_.replication_status_path,
                    fmt::format(R"({{"state": "ready", "full_content_replication": true,
                                   "updated_at_ms": {}}})",
                                unix_time_ms(kNow) - 5000));
         return readiness();
       },
       "Ready"},
      {"updated 5,001 ms ago is Syncing",
       [&] {
         write_file(relay_.replication_status_path,
                    fmt::format(R"({{"state": "ready", "full_content_replication": true,
                                   "updated_at_ms": {}}})",
                                unix_time_ms(kNow) - 5001));
         return readiness();
       },
       "Syncing"},
      {"a status that is not an object is Online",
       [&] {
         write_file(relay_.replication_status_path, "[]");
         return readiness();
       },
       "Online"},
      // The texts.
      {"last seen 59,999 ms ago", [&] { return last_seen_text(unix_time_ms(kNow) - 59'999, kNow); },
       "Offline · Last seen just now"},
      {"last seen 60,000 ms ago", [&] { return last_seen_text(unix_time_ms(kNow) - 60'000, kNow); },
       "Offline · Last seen 1 min ago"},
      {"last seen 3,600,000 ms ago",
       [&] { return last_seen_text(unix_time_ms(kNow) - 3'600'000, kNow); },
       "Offline · Last seen 1 h ago"},
      {"last seen in the future, or with the clock before the epoch",
       [&] {
         return last_seen_text(unix_time_ms(kNow) + 10, kNow) + " | " +
                last_seen_text(5, system_clock::time_point(-1s));
       },
       "Offline · Last seen just now | Offline · Last seen just now"},
      {"four conflicting sources",
       [&] {
         return provenance_summary({"Laptop", 12, {"Desk", "Tablet", "Phone", "Watch"}});
       },
       "Resolved to Laptop · revision 12; differs from Desk, Tablet, Phone and 1 more"},
      {"no conflicting source",
       [&] {
         return provenance_summary({"Laptop", 3, {}});
       },
       "From Laptop · revision 3"},
      {"control ids",
       [&] {
         kalu_user_identity::PublicKey key{};
         key[0] = 0xAB;
         key[31] = 0x01;
         return home_peer_control_id("node-a", "rename") + " " +
                personal_device_control_id(key, "revoke");
       },
       "device_mesh.home_peer.node-a.rename.edit device_mesh.personal_device.ab" +
           std::string(60, '0') + "01.revoke.edit"},
      {"command output",
       [&] {
         return command_output_text(" \n  denied \xFF\t\n", "x") + "|" +
                command_output_text(" \n\t ", "administrator approval was not granted");
       },
       "denied \xEF\xBF\xBD|administrator approval was not granted"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.run(), c.expected) << c.name;
  }
}

TEST_F(DeviceMeshFiles, RoamingProvenanceKeepsItsErrorAndTime) {
  const fs::path path = temp_ / "config/kalu/roaming/provenance.json";
  EXPECT_EQ(load_roaming_provenance(path), std::nullopt);

  write_file(path, R"({"settings": [{"name": "Theme", "source": "Desk", "revision": 2}]})");
  const auto written = fs::file_time_type::clock::now() - 1h;
  fs::last_write_time(path, written);
  auto loaded = load_roaming_provenance(path);
  ASSERT_TRUE(loaded);
  EXPECT_EQ(loaded->modified, written);
  ASSERT_TRUE(std::holds_alternative<prefs_store::RoamingProvenance>(loaded->record));

  write_file(path, "{");
  loaded = load_roaming_provenance(path);
  ASSERT_TRUE(loaded);
  const auto* error = std::get_if<std::string>(&loaded->record);
  ASSERT_NE(error, nullptr);
  EXPECT_THAT(*error, ::testing::StartsWith(
                          "Roaming provenance is unavailable; no conflict decision is shown: " +
                          path.string()));
}

}  // namespace
}  // namespace settings::panes::device_mesh
