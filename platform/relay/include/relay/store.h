#pragma once

#include <filesystem>

#include "kalu_ui/result.h"

// The relay's own report about itself, kept in its data folder.
namespace kalu_relay::store {

// "metrics.json" in the relay's data folder, rewritten by the running relay
// every few seconds:
//   {"running": true, "connected_peers": 2, ...}
// Members other than these are ignored; one missing or of another type
// counts as false or 0.
struct RelayMetrics {
  bool running = false;
  std::uint64_t connected_peers = 0;

  bool operator==(const RelayMetrics&) const = default;
};

std::filesystem::path metrics_path(const std::filesystem::path& data_dir);

// The metrics in `data_dir`; an error when the file is missing, larger than
// 1 MiB, not JSON or not an object.
kalu_ui::Result<RelayMetrics> load_metrics(const std::filesystem::path& data_dir);

}  // namespace kalu_relay::store
