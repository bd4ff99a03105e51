#pragma once

#include <cstdint>
#include <expected>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "kalu_ui/result.h"

// The relay configuration of this device: the part it plays for the user's
// other devices (its role), which relay services it offers, which workspaces
// it keeps and how much of each, and where the relay keeps its data. The
// relay reads it; the privileged system setup is its only writer (Settings
// edits a copy and hands it to the setup, never writing the file itself).
//
// The file is TOML:
//
//   role = "always-on"                 # "interactive", "always-on" or "hybrid"
//   relay_enabled = true
//   full_replication = true
//   data_dir = "/var/lib/kalu/relay"
//   replication_status_path = "/var/lib/kalu/relay/replication-status.json"
//
//   [services]
//   inbound_relay = true
//   remote_control_relay = false
//   app_serving = false
//   compute = false
//
//   [[workspaces]]
//   workspace_id = 42                  # above 2^63-1: a decimal string
//   replication = "full"               # "workspace-only", "on-demand", "full",
//                                      # or the number of another mode
//   active = true
//   entries = []                       # the binding's further entries
//
// Every key may be left out and then takes its default (the values of
// `RelayConfig::defaults()`; a status path left out is
// "replication-status.json" in the data folder). A known key of the wrong type, an unknown role or
// replication name, or a workspace id that is not an unsigned 64-bit number
// makes the file unreadable. Keys this library does not know, at the top, in
// [services] and in each workspace, are kept: a configuration loaded and
// written again loses nothing a newer relay put there.
namespace kalu_relay {

// Roles (RelayConfig::role) and the names the file and the system setup use.
inline constexpr std::uint8_t kRoleInteractive = 0;  // "interactive": a personal device
inline constexpr std::uint8_t kRoleAlwaysOn = 1;     // "always-on": a home server
inline constexpr std::uint8_t kRoleHybrid = 2;       // "hybrid": available while active

// Replication modes of a workspace binding. Other values may be held; the
// file writes them as numbers.
inline constexpr std::uint8_t kReplicationWorkspaceOnly = 0;  // "workspace-only"
inline constexpr std::uint8_t kReplicationOnDemand = 1;       // "on-demand"
inline constexpr std::uint8_t kReplicationFull = 2;           // "full"

// The names of the file for the known roles and modes ("" for another value).
std::string_view role_name(std::uint8_t role);
std::string_view replication_name(std::uint8_t replication);

// TOML content this library does not know, carried unchanged from a load to a
// write. Immutable and cheap to copy.
class UnknownKeys {
 public:
  struct Table;

  UnknownKeys() = default;
  explicit UnknownKeys(std::shared_ptr<const Table> table) : table_(std::move(table)) {}

  bool empty() const;
  const Table* table() const { return table_.get(); }
  bool operator==(const UnknownKeys& other) const;

 private:
  std::shared_ptr<const Table> table_;
};

// One workspace this device keeps.
struct WorkspaceBinding {
  std::uint8_t replication = kReplicationOnDemand;
  std::uint64_t workspace_id = 0;
  std::vector<std::string> entries;
  // Follows RelayConfig::relay_enabled: an inactive binding is kept for
  // later but not served.
  bool active = false;
  UnknownKeys unknown;

  bool operator==(const WorkspaceBinding&) const = default;
};

struct RelayConfig {
  std::uint8_t role = kRoleInteractive;
  bool relay_enabled = false;
  bool full_replication = false;
  bool inbound_relay = false;
  bool remote_control_relay = false;
  bool app_serving = false;
  bool compute = false;
  std::vector<WorkspaceBinding> workspaces;
  // Where the relay keeps its data, "metrics.json" among it.
  std::filesystem::path data_dir;
  // The JSON file in which the relay reports the progress of full
  // replication.
  std::filesystem::path replication_status_path;
  UnknownKeys unknown;
  UnknownKeys unknown_services;

  bool operator==(const RelayConfig&) const = default;

  // The configuration of a device that was never set up: a personal device
  // offering nothing, with the relay's data in the device's relay folder
  // (default_data_dir).
  static RelayConfig defaults();

  // Removes every binding of the workspace; answers whether there was one.
  bool remove_workspace(std::uint64_t workspace_id);
};

struct LoadError {
  enum class Kind { NotFound, Other };
  Kind kind = Kind::Other;
  // A missing file: the system's text. A file that does not parse: the
  // parser's description with the line and column. Otherwise what is wrong.
  std::string message;
};

// Reads the file at `path` (at most 1 MiB). A missing file is NotFound;
// every other failure is Other.
std::expected<RelayConfig, LoadError> load(const std::filesystem::path& path);

// The configuration as the text of its file.
std::string to_toml(const RelayConfig& config);
// Parses the text of a file; `source` names it in messages.
std::expected<RelayConfig, LoadError> from_toml(std::string_view text, std::string_view source);

// Replaces the file at `path` atomically (mode 0644, missing parent folders
// made). Only the privileged system setup writes the configuration.
kalu_ui::Status write(const std::filesystem::path& path, const RelayConfig& config);

// Where this device's configuration lives: "/etc/kalu/relay.toml" when
// KALU_DEVICE is "system"; otherwise "relay.toml" beside the simulated
// device's state file (empty when there is no simulated device, under test
// without one).
std::filesystem::path relay_config_path();

// The relay's data folder of a configuration that names none:
// "/var/lib/kalu/relay" on the system, "relay" beside the simulated device's
// state file otherwise (empty without a simulated device).
std::filesystem::path default_data_dir();

}  // namespace kalu_relay
