#include "relay/store.h"

#include <fmt/format.h>

#include <nlohmann/json.hpp>
#include <optional>
#include <string>

#include "prefs_store/document.h"

namespace kalu_relay::store {
namespace {

constexpr std::size_t kMaxFileBytes = 1 << 20;

}  // namespace

std::filesystem::path metrics_path(const std::filesystem::path& data_dir) {
  return data_dir / "metrics.json";
}

kalu_ui::Result<RelayMetrics> load_metrics(const std::filesystem::path& data_dir) {
  const auto path = metrics_path(data_dir);
  auto text = prefs_store::read_text(path, kMaxFileBytes);
  if (!text) return kalu_ui::fail(text.error());
  if (!*text) return kalu_ui::fail("{} does not exist", path.string());
  auto document = prefs_store::parse(**text);
  if (!document) return kalu_ui::fail("{}: {}", path.string(), document.error());
  if (!document->is_object()) {
    return kalu_ui::fail("{}: relay metrics must be a JSON object", path.string());
  }
  RelayMetrics metrics;
  if (auto running = document->find("running");
      running != document->end() && running->is_boolean()) {
    metrics.running = running->get<bool>();
  }
  if (auto peers = document->find("connected_peers");
      peers != document->end() && peers->is_number_unsigned()) {
    metrics.connected_peers = peers->get<std::uint64_t>();
  }
  return metrics;
}

}  // namespace kalu_relay::store
