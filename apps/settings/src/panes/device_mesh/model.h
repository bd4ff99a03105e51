#pragma once

// The Devices & Sync pane's files and status texts that need no window:
// where the identity root lies and how a finished revocation is reported.

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace settings::panes::device_mesh {

// The identity root that holds this device's key files and the device-mesh
// files: $KALU_IDENTITY_ROOT when it is set and not empty, else
// "/var/lib/kalu" when "/var/lib/kalu/device" is a directory, else "kalu"
// under the user's data directory. The same root the fleet records use
// (stored::fleet::identity_root). Computed on every call.
std::filesystem::path identity_root();

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

}  // namespace settings::panes::device_mesh
