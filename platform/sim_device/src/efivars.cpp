#include <fmt/format.h>

#include <array>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>

#include "safe_write/safe_write.h"
#include "sim_device/state.h"

namespace sim_device {

namespace {

namespace fs = std::filesystem;
using kalu_ui::fail;

// The variable's name in the global EFI namespace, as the kernel names its file.
constexpr std::string_view kSecureBootFile = "SecureBoot-8be4df61-93ca-11d2-aa0d-00e098032b8c";

// The kernel's efivars file: four bytes of attributes (boot-service and
// runtime access), then the value byte.
std::string secure_boot_bytes(bool enabled) {
  return std::string{'\x06', '\0', '\0', '\0', enabled ? '\x01' : '\0'};
}

std::string file_bytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return {};
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

}  // namespace

kalu_ui::Result<fs::path> efivars_dir() {
  auto security = section("security.secure_boot", "security");
  if (!security) return fail(security.error());
  fs::path dir = state_path();
  dir.replace_extension(".efivars");
  std::error_code ec;
  // A state written before the member existed describes the seeded device.
  auto member = security->find("secure_boot");
  bool uefi = member == security->end() || !member->is_null();
  if (!uefi) {
    fs::remove_all(dir, ec);
    if (ec) return fail("{} could not be removed: {}", dir.string(), ec.message());
    return dir;
  }
  const std::string wanted = secure_boot_bytes(member == security->end() || *member == true);
  const fs::path file = dir / kSecureBootFile;
  if (file_bytes(file) == wanted) return dir;
  fs::create_directories(dir, ec);
  if (ec) return fail("{} could not be made: {}", dir.string(), ec.message());
  if (auto written = safe_write::write_with_mode(file, wanted, 0644); !written) {
    return fail(written.error());
  }
  return dir;
}

}  // namespace sim_device
