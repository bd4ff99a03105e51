#include "panes/device_mesh/model.h"

#include <fmt/format.h>
#include <fmt/ranges.h>

#include <algorithm>

#include "limited_exec/text.h"
#include "stored/fleet.h"

namespace settings::panes::device_mesh {
namespace {

using std::chrono::duration_cast;
using std::chrono::milliseconds;
using std::chrono::seconds;
using std::chrono::system_clock;

constexpr std::uint64_t kMinuteMs = 60'000;
constexpr std::uint64_t kHourMs = 3'600'000;
constexpr std::size_t kListedConflicts = 3;

template <typename Unit>
std::uint64_t since_epoch(system_clock::time_point when) {
  const auto count = duration_cast<Unit>(when.time_since_epoch()).count();
  return count < 0 ? 0 : static_cast<std::uint64_t>(count);
}

}  // namespace

kalu_ui::Result<std::filesystem::path> identity_root() {
  auto root = stored::fleet::identity_root();
  if (!root) return kalu_ui::fail(root.error().message);
  return *root;
}

std::string revoked_status_text(std::string_view label) {
  return fmt::format("{} can no longer access your workspaces", label);
}

std::uint64_t unix_time_ms(system_clock::time_point when) {
  return since_epoch<milliseconds>(when);
}
std::uint64_t unix_time_secs(system_clock::time_point when) { return since_epoch<seconds>(when); }

Badge readiness_badge(RelayReadiness readiness) {
  switch (readiness) {
    case RelayReadiness::Online:
      return {"Online", 0};
    case RelayReadiness::Syncing:
      return {"Syncing", 1};
    case RelayReadiness::Ready:
      return {"Ready", 0};
    case RelayReadiness::Offline:
      break;
  }
  return {"Offline", 2};
}

std::string last_seen_text(std::uint64_t last_seen_ms, system_clock::time_point now) {
  if (now.time_since_epoch().count() < 0) return "Offline · Last seen just now";
  const std::uint64_t now_ms = unix_time_ms(now);
  const std::uint64_t elapsed = now_ms > last_seen_ms ? now_ms - last_seen_ms : 0;
  if (elapsed < kMinuteMs) return "Offline · Last seen just now";
  if (elapsed < kHourMs) return fmt::format("Offline · Last seen {} min ago", elapsed / kMinuteMs);
  return fmt::format("Offline · Last seen {} h ago", elapsed / kHourMs);
}

std::string revision_text(std::string_view source, std::uint64_t revision) {
  return fmt::format("{} · revision {}", source, revision);
}

std::string provenance_summary(const prefs_store::ProvenanceEntry& entry) {
  const std::string revision = revision_text(entry.source, entry.revision);
  const auto& conflicts = entry.conflicting_sources;
  if (conflicts.empty()) return fmt::format("From {}", revision);
  const std::size_t listed = std::min(conflicts.size(), kListedConflicts);
  std::string more;
  if (conflicts.size() > kListedConflicts) {
    more = fmt::format(" and {} more", conflicts.size() - kListedConflicts);
  }
  return fmt::format(
      "Resolved to {}; differs from {}{}", revision,
      fmt::join(conflicts.begin(), conflicts.begin() + static_cast<std::ptrdiff_t>(listed), ", "),
      more);
}

std::string home_peer_control_id(std::string_view device_node_id, std::string_view field) {
  return fmt::format("device_mesh.home_peer.{}.{}.edit", device_node_id, field);
}

std::string personal_device_control_id(const kalu_user_identity::PublicKey& device_key,
                                       std::string_view field) {
  return fmt::format("device_mesh.personal_device.{:02x}.{}.edit", fmt::join(device_key, ""),
                     field);
}

std::string command_output_text(std::string_view bytes, std::string_view fallback) {
  const std::string decoded = limited_exec::decode_lossy(bytes);
  const std::string_view trimmed = limited_exec::trim_white_space(decoded);
  return std::string(trimmed.empty() ? fallback : trimmed);
}

}  // namespace settings::panes::device_mesh
