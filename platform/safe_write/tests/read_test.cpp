#include "safe_write/read.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <string>

#include "safe_write/bad_files.h"

namespace {

namespace fs = std::filesystem;
using safe_write::testing::BadFile;

class ReadTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/safe_read_test.XXXXXX";
    ASSERT_NE(::mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
  }
  void TearDown() override {
    std::error_code ec;
    fs::permissions(dir_ / "file", fs::perms::owner_all, ec);
    fs::remove_all(dir_);
  }
  static void put(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
  }
  // Gives the file a modification time well in the past, as a file that has
  // settled.
  static void age(const fs::path& path) {
    fs::last_write_time(path, fs::file_time_type::clock::now() - std::chrono::minutes(5));
  }

  fs::path dir_;
};

// Every kind of file a reader must refuse is refused at once, with a reason,
// whichever way the file is read.
TEST_F(ReadTest, RefusesWhatIsNoBoundedRegularFile) {
  struct Expect {
    BadFile kind;
    std::string reason;
  };
  const Expect table[] = {
      {BadFile::kFifo, "not a regular file (a FIFO)"},
      {BadFile::kDevZeroLink, "not a regular file (a device)"},
      {BadFile::kHuge, "larger than 1048576 bytes"},
      {BadFile::kDirectory, "not a regular file (a directory)"},
      {BadFile::kNoPermission, "Permission denied"},
  };
  for (const auto& c : table) {
    SCOPED_TRACE(static_cast<int>(c.kind));
    const fs::path path = dir_ / "file";
    std::error_code ec;
    fs::remove_all(path, ec);
    if (!safe_write::testing::make_bad_file(path, c.kind)) continue;  // mode 000 as root
    const auto started = std::chrono::steady_clock::now();
    auto text = safe_write::read_bounded(path, 1 << 20);
    ASSERT_FALSE(text);
    EXPECT_EQ(text.error(), c.reason);
    safe_write::ReadCache cache;
    auto cached = cache.read(path, 1 << 20);
    ASSERT_FALSE(cached);
    EXPECT_EQ(cached.error(), c.reason);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
    fs::permissions(path, fs::perms::owner_all, ec);
  }
}

TEST_F(ReadTest, ReadsUpToTheBoundAndTellsMissingFromEmpty) {
  const fs::path path = dir_ / "file";
  EXPECT_EQ(safe_write::read_bounded(path, 8).value(), std::nullopt);
  put(path, "");
  EXPECT_EQ(safe_write::read_bounded(path, 8).value(), std::string());
  put(path, "12345678");
  EXPECT_EQ(safe_write::read_bounded(path, 8).value(), "12345678");
  put(path, "123456789");
  auto over = safe_write::read_bounded(path, 8);
  ASSERT_FALSE(over);
  EXPECT_EQ(safe_write::read_error("the thing", over.error()),
            "the thing could not be read: larger than 8 bytes");
}

TEST_F(ReadTest, RefusingLinksRefusesOnlyLinks) {
  put(dir_ / "target", "x");
  fs::create_symlink(dir_ / "target", dir_ / "link");
  EXPECT_EQ(safe_write::read_bounded(dir_ / "link", 8).value(), "x");
  auto refused = safe_write::read_bounded(dir_ / "link", 8, safe_write::Links::kRefuse);
  ASSERT_FALSE(refused);
  EXPECT_EQ(refused.error(), "not a regular file (a symbolic link)");
  EXPECT_EQ(safe_write::read_bounded(dir_ / "target", 8, safe_write::Links::kRefuse).value(), "x");
}

TEST_F(ReadTest, CacheRereadsOnlyWhenTheFileChanged) {
  const fs::path path = dir_ / "file";
  safe_write::ReadCache cache;
  EXPECT_EQ(cache.read(path, 64).value(), nullptr);
  put(path, "first");
  age(path);
  auto first = cache.read(path, 64).value();
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(*first, "first");
  EXPECT_EQ(cache.read(path, 64).value(), first) << "an unchanged file is not read again";

  put(path, "second, longer");
  age(path);
  auto second = cache.read(path, 64).value();
  EXPECT_EQ(*second, "second, longer");

  // A file that has not settled is read on every call.
  put(path, "third");
  auto third = cache.read(path, 64).value();
  EXPECT_EQ(*third, "third");
  EXPECT_NE(cache.read(path, 64).value(), third);

  // The bound holds for a cached file too.
  EXPECT_FALSE(cache.read(path, 2));
}

}  // namespace
