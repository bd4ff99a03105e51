#include "panes/device_mesh/model.h"

#include <fmt/format.h>

#include "stored/fleet.h"

namespace settings::panes::device_mesh {

std::filesystem::path identity_root() { return stored::fleet::identity_root(); }

std::string revoked_status_text(std::string_view label) {
  return fmt::format("{} can no longer access your workspaces", label);
}

}  // namespace settings::panes::device_mesh
