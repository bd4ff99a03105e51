#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "kalu_ui/result.h"

// What settings sync last decided about the settings and Wi-Fi profiles that
// roam between the user's certified devices: for each, the device that the
// value came from, its revision, and the devices whose values lost. Settings
// sync publishes the file; Settings only reads it.
//
// The file, "<config dir>/kalu/roaming/provenance.json":
//
//   {
//     "settings": [
//       {"name": "Appearance", "source": "Laptop", "revision": 12,
//        "conflicting_sources": ["Desk"]}
//     ],
//     "wifi_profiles": [
//       {"network": "Home", "security": "WPA3", "source": "Laptop", "revision": 4,
//        "conflicting_sources": []}
//     ]
//   }
//
// "settings" and "wifi_profiles" may be left out (nothing roams), and so may
// "conflicting_sources" (no conflict). Members not named here are ignored.
// Any other deviation (a missing name, a revision that is not an unsigned
// 64-bit number, a file that is not JSON) fails the whole load. Passwords and
// sealed envelopes never appear in it.
namespace prefs_store {

struct ProvenanceEntry {
  std::string source;
  std::uint64_t revision = 0;
  std::vector<std::string> conflicting_sources;

  bool operator==(const ProvenanceEntry&) const = default;
};

struct RoamingSetting {
  std::string name;
  ProvenanceEntry provenance;

  bool operator==(const RoamingSetting&) const = default;
};

struct RoamingWifiProfile {
  std::string network;
  std::string security;  // "WPA3", "WPA2", "Open" ...
  ProvenanceEntry provenance;

  bool operator==(const RoamingWifiProfile&) const = default;
};

struct RoamingProvenance {
  std::vector<RoamingSetting> settings;
  std::vector<RoamingWifiProfile> wifi_profiles;

  bool operator==(const RoamingProvenance&) const = default;

  // The file at `path` (at most 1 MiB). The error says which file and why.
  static kalu_ui::Result<RoamingProvenance> load_at(const std::filesystem::path& path);
  static kalu_ui::Result<RoamingProvenance> from_json_text(std::string_view text);
};

namespace roaming_provenance {

// "<config dir>/kalu/roaming/provenance.json"; nothing without a
// configuration directory.
std::optional<std::filesystem::path> path();

}  // namespace roaming_provenance
}  // namespace prefs_store
