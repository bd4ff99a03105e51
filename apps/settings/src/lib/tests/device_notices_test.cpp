#include "lib/device_notices.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

namespace settings::lib {
namespace {

namespace fs = std::filesystem;

// A file's notices come from its watch alone: nothing before it changes,
// one notice after a replacement written as every state file is.
TEST(DeviceNotices, AWatchedFileIsNoticedOnlyWhenItChanges) {
  std::string folder_template = (fs::temp_directory_path() / "kalu-notices-XXXXXX").string();
  ASSERT_NE(::mkdtemp(folder_template.data()), nullptr);
  const fs::path folder = folder_template;
  const fs::path file = folder / "snapshot.json";
  std::ofstream(file) << "{}";
  {
    DeviceNotices notices(file);
    ASSERT_TRUE(notices.watching());
    EXPECT_FALSE(notices.take());
    std::ofstream(folder / "other.json") << "{}";  // another file of the folder
    std::ofstream(folder / "snapshot.json.tmp") << "{\"cards\": []}";
    fs::rename(folder / "snapshot.json.tmp", file);
    bool noticed = false;
    const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!noticed && std::chrono::steady_clock::now() < give_up) {
      noticed = notices.take();
      if (!noticed) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    EXPECT_TRUE(noticed);
    EXPECT_FALSE(notices.take());
  }
  // A folder that does not exist cannot be watched.
  EXPECT_FALSE(DeviceNotices(folder / "gone" / "snapshot.json").watching());
  fs::remove_all(folder);
}

}  // namespace
}  // namespace settings::lib
