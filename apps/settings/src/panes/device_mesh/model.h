#pragma once

// The Devices & Sync pane's plain values and the small texts built from
// them: where the identity root lies, the relay's health as a badge, the
// status lines of home servers and roaming settings, the control ids of
// per-device controls, and the message of a failed command. Nothing here
// reads a file except identity_root's one directory test.

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "identity/user_identity.h"
#include "prefs_store/roaming_provenance.h"

namespace settings::panes::device_mesh {

// The identity root that holds this device's key files and the device-mesh
// files: $KALU_IDENTITY_ROOT when it is set and not empty, else
// "/var/lib/kalu" when "/var/lib/kalu/device" is a directory, else "kalu"
// under the user's data directory. The same root the fleet records use
// (stored::fleet::identity_root). Computed on every call. An empty variable
// counts as unset, and without a data folder there is no root (its error
// says so), so the root is never the working directory and no command is
// ever given an empty or relative "--identity-root".
kalu_ui::Result<std::filesystem::path> identity_root();

// "{} can no longer access your workspaces": the status after a revocation.
std::string revoked_status_text(std::string_view label);

// Nanoseconds since the Unix epoch of a clock reading: 0 before the epoch,
// the largest unsigned 64-bit value when it does not fit.
template <typename Duration>
std::uint64_t unix_time_ns(std::chrono::time_point<std::chrono::system_clock, Duration> when) {
  using std::chrono::floor;
  using std::chrono::nanoseconds;
  using std::chrono::seconds;
  const auto since = when.time_since_epoch();
  if (since < Duration::zero()) return 0;
  const auto whole = floor<seconds>(since);
  const auto fraction = std::chrono::duration_cast<nanoseconds>(since - whole).count();
  std::uint64_t total = 0;
  if (__builtin_mul_overflow(static_cast<std::uint64_t>(whole.count()), 1'000'000'000u, &total) ||
      __builtin_add_overflow(total, static_cast<std::uint64_t>(fraction), &total)) {
    return UINT64_MAX;
  }
  return total;
}

// Milliseconds and seconds since the Unix epoch; 0 before the epoch.
std::uint64_t unix_time_ms(std::chrono::system_clock::time_point when);
std::uint64_t unix_time_secs(std::chrono::system_clock::time_point when);

// The relay's health, shown as the home-peer badge.
enum class RelayReadiness : std::uint8_t { Offline = 0, Online = 1, Syncing = 2, Ready = 3 };

struct Badge {
  std::string_view text;
  std::uint8_t tone;  // the toolkit's badge tone

  bool operator==(const Badge&) const = default;
};

// Offline "Offline" tone 2, Online "Online" 0, Syncing "Syncing" 1, Ready "Ready" 0.
Badge readiness_badge(RelayReadiness readiness);

// A home server not heard from since `last_seen_ms`: "Offline · Last seen
// just now" below a minute (and when the clock reads before the epoch),
// "... {} min ago" below an hour, "... {} h ago" from an hour on. A time in
// the future counts as now.
std::string last_seen_text(std::uint64_t last_seen_ms, std::chrono::system_clock::time_point now =
                                                           std::chrono::system_clock::now());

// "{source} · revision {revision}".
std::string revision_text(std::string_view source, std::uint64_t revision);

// "From {revision text}" without a conflict; otherwise "Resolved to {revision
// text}; differs from {up to three sources, joined by ", "}" with " and {n}
// more" for the sources beyond three.
std::string provenance_summary(const prefs_store::ProvenanceEntry& entry);

// "device_mesh.home_peer.{node id}.{field}.edit" (fields "name", "rename",
// "remove", "cancel_remove").
std::string home_peer_control_id(std::string_view device_node_id, std::string_view field);

// "device_mesh.personal_device.{key as 64 lower-case hex digits}.{field}.edit"
// (fields "revoke", "reason", "cancel").
std::string personal_device_control_id(const kalu_user_identity::PublicKey& device_key,
                                       std::string_view field);

// What a failed command said: its bytes as UTF-8 (invalid sequences
// replaced), trimmed of white space; `fallback` when nothing is left.
std::string command_output_text(std::string_view bytes, std::string_view fallback);

}  // namespace settings::panes::device_mesh
