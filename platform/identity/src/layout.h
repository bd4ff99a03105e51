#pragma once

// Where the identity store keeps each file (the layout host_identity.h
// describes).

#include <filesystem>
#include <string_view>

namespace identity_detail {

inline std::filesystem::path identities_dir(const std::filesystem::path& dir) {
  return dir / "identities";
}
inline std::filesystem::path entry_path(const std::filesystem::path& dir, std::string_view id) {
  return identities_dir(dir) / id / "identity.json";
}
inline std::filesystem::path key_path(const std::filesystem::path& dir, std::string_view id) {
  return identities_dir(dir) / id / "signing.key";
}
inline std::filesystem::path active_path(const std::filesystem::path& dir) {
  return dir / "active";
}

}  // namespace identity_detail
