#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "sim_device/state.h"

namespace sim_device {
namespace {

namespace fs = std::filesystem;

std::string file_text(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

kalu_ui::Status set_secure_boot(Json value) {
  return update("", [&](Json& s) -> kalu_ui::Status {
    s["security"]["secure_boot"] = value;
    return {};
  });
}

// The directory follows the state: enabled, disabled, no UEFI at all, and a
// state written before the member existed (the seeded device).
TEST(SimulatedEfivars, FollowTheSecureBootMember) {
  ScopedDeviceState scoped;
  const std::string variable = "SecureBoot-8be4df61-93ca-11d2-aa0d-00e098032b8c";

  auto dir = efivars_dir();
  ASSERT_TRUE(dir) << dir.error();
  EXPECT_EQ(dir->parent_path(), scoped.dir());
  EXPECT_EQ(file_text(*dir / variable), std::string("\x06\0\0\0\x01", 5));

  ASSERT_TRUE(set_secure_boot(false));
  ASSERT_TRUE(efivars_dir());
  EXPECT_EQ(file_text(*dir / variable), std::string("\x06\0\0\0\0", 5));

  ASSERT_TRUE(set_secure_boot(nullptr));
  ASSERT_TRUE(efivars_dir());
  EXPECT_FALSE(fs::exists(*dir));

  ASSERT_TRUE(update("", [](Json& s) -> kalu_ui::Status {
    s["security"].erase("secure_boot");
    return {};
  }));
  ASSERT_TRUE(efivars_dir());
  EXPECT_EQ(file_text(*dir / variable), std::string("\x06\0\0\0\x01", 5));

  ASSERT_TRUE(update("", [](Json& s) -> kalu_ui::Status {
    s["faults"]["security.secure_boot"] = "firmware variables are locked";
    return {};
  }));
  EXPECT_EQ(efivars_dir().error(), "firmware variables are locked");
}

}  // namespace
}  // namespace sim_device
