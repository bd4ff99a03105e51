#pragma once

// The files the Devices & Sync pane reads beside the relay configuration:
// the paired home servers, when each last answered, the home servers whose
// removal is pending (all under the identity root), the relay's health and
// the roaming provenance. Every reader fails silently to an empty value, as
// a file that is missing, unreadable, too large or broken means nothing to
// show; only the roaming provenance keeps its error for the page.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "kalu_ui/result.h"
#include "panes/device_mesh/model.h"
#include "prefs_store/roaming_provenance.h"
#include "relay/config.h"
#include "relay/home_peer.h"

namespace settings::panes::device_mesh {

// "home-peers.json" and "home-peer-health.json" are read up to this size;
// a longer file counts as missing.
inline constexpr std::size_t kMaxHomePeerFileBytes = 1'048'576;

// The registrations of "home-peers.json" under the identity root; empty when
// the file is missing, longer than 1 MiB or not a valid list (one invalid
// record makes the whole file invalid).
std::vector<kalu_relay::HomePeerRegistration> read_home_peers();

// Device node id -> milliseconds since the Unix epoch of the last answer.
using HomePeerHealth = std::map<std::string, std::uint64_t>;

// "home-peer-health.json" under the identity root; the root's error without one.
kalu_ui::Result<std::filesystem::path> home_peer_health_path();
// Its map; empty when missing, longer than 1 MiB or not an object of
// unsigned numbers.
HomePeerHealth read_home_peer_health();
// Replaces it atomically with mode 0600 (its folder made when missing). The
// caller may ignore a failure: its map stays current and the next write
// tries again.
kalu_ui::Status write_home_peer_health(const HomePeerHealth& health);

// The number of entries of "pending-home-peer-decommissions.json" under the
// identity root (only how many matters); 0 when missing or not an array.
std::size_t read_pending_decommissions();

// The relay's health at `now` (a data folder or status file that is not an
// absolute path counts as missing):
// - Offline unless "metrics.json" in the relay's data folder was written at
//   most 5 s before `now` (a time after `now` counts as fresh) and its
//   metrics say the relay runs;
// - Online unless the role is always-on with full replication;
// - then, from the replication status file (a JSON object; unreadable or
//   not an object: Online): Ready when "state" is "ready",
//   "full_content_replication" is true and "updated_at_ms" is less than
//   5,001 ms before `now` (a time after `now` is age 0; a missing or
//   non-integer value is not fresh); else Syncing.
RelayReadiness relay_readiness(const kalu_relay::RelayConfig& config,
                               std::chrono::system_clock::time_point now);

// The text shown in place of the roaming rows when the record cannot be
// loaded: "Roaming provenance is unavailable; no conflict decision is shown: {}".
std::string roaming_provenance_error_text(std::string_view error);

struct LoadedProvenance {
  // The record, or the text above.
  std::variant<prefs_store::RoamingProvenance, std::string> record;
  std::filesystem::file_time_type modified;
};

// The roaming provenance at `path` with the file's modification time, so a
// later refresh reloads it only when that changed; nothing when the file
// does not exist or its time cannot be read.
std::optional<LoadedProvenance> load_roaming_provenance(const std::filesystem::path& path);

}  // namespace settings::panes::device_mesh
