#pragma once

// The programs the Devices & Sync pane runs, as prepared commands for the
// bounded runner, and how their answers are read. The privileged home-peer
// control program (behind pkexec) applies the relay configuration and
// approves new devices; the enrolment tool finds a device waiting nearby; the
// relay administration tool probes, renames and removes paired home servers.
// Every command collects at most 1 MiB of each output stream and has its own
// time limit; none goes through a shell.
//
// Text that reaches a privileged program from elsewhere is checked first:
// endpoint ids must have the endpoint id form (kalu_relay::home_peer::
// valid_node_id) and a home server's new name must pass
// valid_home_peer_label, so nothing can be read as an option.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "kalu_ui/result.h"
#include "limited_exec/limited_exec.h"
#include "relay/config.h"
#include "relay/home_peer.h"
#include "vocabulary/device_mesh_vocabulary.h"

namespace settings::panes::device_mesh {

inline constexpr std::size_t kCommandOutputCap = 1'048'576;

inline constexpr std::string_view kPkexec = "pkexec";
inline constexpr std::string_view kHomePeerControl = "/usr/libexec/kalu-home-peer-control";
inline constexpr std::string_view kEnroll = "/usr/bin/kalu-enroll";
inline constexpr std::string_view kRelayAdmin = "/usr/bin/kalu-relay-admin";

// The status job key of the retry of pending removals; no home server has it.
inline constexpr std::string_view kPendingRemovalsKey = "__pending__";

// What is being paired.
enum class PairingKind : std::uint8_t { HomeServer = 0, PersonalDevice = 1 };

// A device waiting nearby, as the enrolment tool found it.
struct PairCandidate {
  std::string device_node_id;
  std::string relay_service_node_id;
  std::string label;
  // The six-digit code both devices show.
  std::string verification_code;

  bool operator==(const PairCandidate&) const = default;
};

inline constexpr std::string_view kInvalidCandidate =
    "Nearby discovery returned an invalid identity";

// The candidate in the discovery tool's output: a JSON object with the four
// text members (others ignored) or an array of the four texts in order. A
// missing member, one that is not text, or an endpoint id not of the
// endpoint id form fails with kInvalidCandidate.
kalu_ui::Result<PairCandidate> parse_pair_candidate(std::string_view output);

// The setup document handed to the system setup on standard input: one
// compact JSON object with "identity_root", "role" (its name),
// "workspace_ids" (binding order), "replication" (the first binding's name,
// "on-demand" without bindings or for another mode) and the four service
// switches, in this order.
std::string setup_document(const kalu_relay::RelayConfig& config,
                           const std::filesystem::path& identity_root);

// pkexec kalu-home-peer-control apply, the setup document on standard input.
limited_exec::PreparedCommand system_setup_command(const kalu_relay::RelayConfig& config,
                                                   const std::filesystem::path& identity_root);

// kalu-enroll discover (a home server) or discover-device (a personal
// device), with a 15 s discovery window.
limited_exec::PreparedCommand discovery_command(PairingKind kind);

// The workspace ids a new home server is given: those bound in the relay
// configuration, else every known workspace's.
std::vector<std::uint64_t> approval_workspace_ids(const kalu_relay::RelayConfig& config,
                                                  std::span<const KnownWorkspace> known);

// pkexec kalu-home-peer-control approve-enrollment for the candidate, then
// "--workspace-id" n for each id.
limited_exec::PreparedCommand approve_home_server_command(
    const std::filesystem::path& identity_root, const PairCandidate& candidate,
    std::span<const std::uint64_t> workspace_ids);

// pkexec kalu-home-peer-control approve-device for the candidate, with the
// identity store's directory.
limited_exec::PreparedCommand approve_personal_device_command(
    const std::filesystem::path& identity_root, const std::filesystem::path& identity_dir,
    const PairCandidate& candidate);

// The relay administration tool's subcommands for one home server.
enum class RelayAdmin : std::uint8_t { Status, Rename, Remove };

// kalu-relay-admin home-peer-status / home-peer-rename (with "--label") /
// home-peer-remove for the server. A server whose ids do not have the
// endpoint id form, or a label that valid_home_peer_label refuses, fails
// with why and builds nothing.
kalu_ui::Result<limited_exec::PreparedCommand> relay_admin_command(
    RelayAdmin subcommand, const std::filesystem::path& identity_root,
    const kalu_relay::HomePeerRegistration& server, std::string_view label = {});

// kalu-relay-admin home-peer-retry-removals.
limited_exec::PreparedCommand retry_removals_command(const std::filesystem::path& identity_root);

// The members the pane reads of a status probe's answer; absent or
// non-boolean members are false.
struct ProbeAnswer {
  bool files_ready = false;
  bool decommissioned = false;
};

// The probe's output as a JSON object; none when it is not one.
std::optional<ProbeAnswer> parse_probe_answer(std::string_view output);

// "Removed", "Online · Files ready" or "Online · Syncing files".
std::string_view probe_status_text(const ProbeAnswer& answer);

}  // namespace settings::panes::device_mesh
