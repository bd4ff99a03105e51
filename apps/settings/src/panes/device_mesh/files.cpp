#include "panes/device_mesh/files.h"

#include <fmt/format.h>

#include <nlohmann/json.hpp>
#include <system_error>

#include "codec/codec.h"
#include "prefs_store/document.h"
#include "relay/store.h"
#include "safe_write/safe_write.h"
#include "stored/home_peers.h"

namespace settings::panes::device_mesh {
namespace {

namespace fs = std::filesystem;
using std::chrono::milliseconds;
using std::chrono::seconds;

constexpr auto kMetricsFreshFor = seconds(5);
constexpr std::uint64_t kStatusFreshBelowMs = 5'001;
// The replication status is a few members; anything past this is not it.
constexpr std::size_t kMaxStatusFileBytes = 1 << 20;

// The text of a file no longer than `limit`; nothing for any failure.
std::optional<std::string> read_small(const fs::path& path, std::size_t limit) {
  auto text = prefs_store::read_text(path, limit);
  if (!text || !*text) return std::nullopt;
  return std::move(**text);
}

bool metrics_fresh(const fs::path& metrics, std::chrono::system_clock::time_point now) {
  std::error_code error;
  const fs::file_time_type written = fs::last_write_time(metrics, error);
  if (error) return false;
  return now - std::chrono::file_clock::to_sys(written) <= kMetricsFreshFor;
}

// The replication status says everything is copied and said so just now.
bool replication_ready(const prefs_store::Json& status, std::chrono::system_clock::time_point now) {
  auto state = status.find("state");
  if (state == status.end() || *state != "ready") return false;
  auto full = status.find("full_content_replication");
  if (full == status.end() || *full != true) return false;
  auto updated = status.find("updated_at_ms");
  if (updated == status.end() || !updated->is_number_unsigned()) return false;
  const std::uint64_t updated_ms = updated->get<std::uint64_t>();
  const std::uint64_t now_ms = unix_time_ms(now);
  const std::uint64_t age = now_ms > updated_ms ? now_ms - updated_ms : 0;
  return age < kStatusFreshBelowMs;
}

}  // namespace

std::vector<kalu_relay::HomePeerRegistration> read_home_peers() {
  auto root = identity_root();
  if (!root) return {};
  auto text = read_small(*root / "home-peers.json", kMaxHomePeerFileBytes);
  if (!text) return {};
  auto peers = stored::read_home_peer_registrations(*text);
  return peers ? std::move(*peers) : std::vector<kalu_relay::HomePeerRegistration>{};
}

kalu_ui::Result<fs::path> home_peer_health_path() {
  auto root = identity_root();
  if (!root) return kalu_ui::fail(root.error());
  return *root / "home-peer-health.json";
}

HomePeerHealth read_home_peer_health() {
  auto path = home_peer_health_path();
  if (!path) return {};
  auto text = read_small(*path, kMaxHomePeerFileBytes);
  if (!text) return {};
  auto health = codec::from_json<HomePeerHealth>(*text);
  return health ? std::move(*health) : HomePeerHealth{};
}

kalu_ui::Status write_home_peer_health(const HomePeerHealth& health) {
  auto path = home_peer_health_path();
  if (!path) return kalu_ui::fail(path.error());
  return safe_write::write_creating_parent_with_mode(*path, codec::to_json_pretty(health), 0600);
}

std::size_t read_pending_decommissions() {
  // Only the relay administration tool writes this list; it has no size
  // limit of its own.
  auto root = identity_root();
  if (!root) return 0;
  auto text = prefs_store::read_text(*root / "pending-home-peer-decommissions.json");
  if (!text || !*text) return 0;
  auto list = prefs_store::parse(**text);
  return list && list->is_array() ? list->size() : 0;
}

RelayReadiness relay_readiness(const kalu_relay::RelayConfig& config,
                               std::chrono::system_clock::time_point now) {
  // A relative folder would be looked up wherever the program happens to run.
  if (!config.data_dir.is_absolute() ||
      !metrics_fresh(kalu_relay::store::metrics_path(config.data_dir), now)) {
    return RelayReadiness::Offline;
  }
  auto metrics = kalu_relay::store::load_metrics(config.data_dir);
  if (!metrics || !metrics->running) return RelayReadiness::Offline;
  if (config.role != kalu_relay::kRoleAlwaysOn || !config.full_replication) {
    return RelayReadiness::Online;
  }
  if (!config.replication_status_path.is_absolute()) return RelayReadiness::Online;
  auto text = read_small(config.replication_status_path, kMaxStatusFileBytes);
  if (!text) return RelayReadiness::Online;
  auto status = prefs_store::parse(*text);
  if (!status || !status->is_object()) return RelayReadiness::Online;
  return replication_ready(*status, now) ? RelayReadiness::Ready : RelayReadiness::Syncing;
}

std::string roaming_provenance_error_text(std::string_view error) {
  return fmt::format("Roaming provenance is unavailable; no conflict decision is shown: {}", error);
}

std::optional<LoadedProvenance> load_roaming_provenance(const fs::path& path) {
  std::error_code error;
  const fs::file_time_type modified = fs::last_write_time(path, error);
  if (error) return std::nullopt;
  auto loaded = prefs_store::RoamingProvenance::load_at(path);
  if (!loaded) return LoadedProvenance{roaming_provenance_error_text(loaded.error()), modified};
  return LoadedProvenance{std::move(*loaded), modified};
}

}  // namespace settings::panes::device_mesh
