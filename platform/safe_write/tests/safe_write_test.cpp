#include "safe_write/safe_write.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>

namespace {

namespace fs = std::filesystem;

class SafeWriteTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/safe_write_test.XXXXXX";
    ASSERT_NE(::mkdtemp(tmpl), nullptr);
    dir_ = tmpl;
    old_umask_ = ::umask(022);
  }
  void TearDown() override {
    ::umask(old_umask_);
    fs::remove_all(dir_);
  }

  static std::string read(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }
  static void put(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
  }
  static mode_t mode_of(const fs::path& path) {
    struct stat st {};
    EXPECT_EQ(::stat(path.c_str(), &st), 0);
    return st.st_mode & 07777;
  }
  size_t entries() const {
    return static_cast<size_t>(std::distance(fs::directory_iterator(dir_), {}));
  }

  fs::path dir_;
  mode_t old_umask_ = 0;
};

TEST_F(SafeWriteTest, WritesNewFileWithDefaultPermissions) {
  const fs::path path = dir_ / "settings.json";
  ASSERT_TRUE(safe_write::write(path, "{}"));
  EXPECT_EQ(read(path), "{}");
  EXPECT_EQ(mode_of(path), 0644u);
  EXPECT_EQ(entries(), 1u) << "no temporary file is left behind";
}

TEST_F(SafeWriteTest, ReplacingKeepsPermissionsUnlessModeGiven) {
  const fs::path path = dir_ / "vault";
  put(path, "old content that is longer than the new one");
  ::chmod(path.c_str(), 0600);

  ASSERT_TRUE(safe_write::write(path, "new"));
  EXPECT_EQ(read(path), "new");
  EXPECT_EQ(mode_of(path), 0600u);

  ASSERT_TRUE(safe_write::write_with_mode(path, "newer", 0640));
  EXPECT_EQ(read(path), "newer");
  EXPECT_EQ(mode_of(path), 0640u);

  ::umask(077);  // an explicit mode is not filtered by the umask
  ASSERT_TRUE(safe_write::write_with_mode(dir_ / "shared", "x", 0644));
  EXPECT_EQ(mode_of(dir_ / "shared"), 0644u);
}

TEST_F(SafeWriteTest, CreatingParentMakesPrivateDirectoriesForPrivateFiles) {
  const fs::path path = dir_ / "a" / "b" / "secret.bin";
  ASSERT_TRUE(safe_write::write_creating_parent_with_mode(path, "key", 0600));
  EXPECT_EQ(read(path), "key");
  EXPECT_EQ(mode_of(path), 0600u);
  EXPECT_EQ(mode_of(dir_ / "a"), 0700u);
  EXPECT_EQ(mode_of(dir_ / "a" / "b"), 0700u);

  ASSERT_TRUE(safe_write::write_creating_parent_with_mode(dir_ / "c" / "pub", "x", 0644));
  EXPECT_EQ(mode_of(dir_ / "c"), 0755u);
}

TEST_F(SafeWriteTest, FailedRenameLeavesPreviousFileAndNoTemporary) {
  const fs::path path = dir_ / "settings.json";
  put(path, "previous");
  fs::path seen_temp;
  {
    safe_write::testing::ScopedRenameHook hook([&](const fs::path& from, const fs::path& to) {
      seen_temp = from;
      EXPECT_EQ(from.parent_path(), to.parent_path()) << "temporary file in the same directory";
      EXPECT_EQ(read(from), "replacement") << "data is complete before the rename";
      return EIO;
    });
    auto result = safe_write::write(path, "replacement");
    ASSERT_FALSE(result);
    EXPECT_NE(result.error().find("could not replace"), std::string::npos) << result.error();
  }
  EXPECT_EQ(read(path), "previous");
  EXPECT_FALSE(fs::exists(seen_temp));
  EXPECT_EQ(entries(), 1u);
}

TEST_F(SafeWriteTest, ProcessKilledBeforeRenameLeavesPreviousFile) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  const fs::path path = dir_ / "settings.json";
  put(path, "previous");
  EXPECT_EXIT(
      {
        safe_write::testing::ScopedRenameHook hook([](const fs::path&, const fs::path&) {
          ::raise(SIGKILL);
          return 0;
        });
        (void)safe_write::write(path, "half-done");
      },
      ::testing::KilledBySignal(SIGKILL), "");
  EXPECT_EQ(read(path), "previous");
  // The crash leaves a stray temporary file; the next write is not disturbed.
  ASSERT_TRUE(safe_write::write(path, "next"));
  EXPECT_EQ(read(path), "next");
}

TEST_F(SafeWriteTest, RefusesUnwritableTargets) {
  fs::create_directory(dir_ / "taken");
  struct Case {
    fs::path path;
    const char* expect;
  };
  for (const Case& c : {Case{dir_ / "taken", "could not write"},
                        Case{dir_ / "missing" / "file", "could not create a temporary file"},
                        Case{fs::path(), "not a file path"}}) {
    auto result = safe_write::write(c.path, "x");
    ASSERT_FALSE(result) << c.path;
    EXPECT_NE(result.error().find(c.expect), std::string::npos) << result.error();
  }
  EXPECT_TRUE(fs::is_directory(dir_ / "taken"));
  EXPECT_TRUE(fs::is_empty(dir_ / "taken"));
}

TEST_F(SafeWriteTest, SymbolicLinkStaysALink) {
  const fs::path real = dir_ / "real.json";
  const fs::path link = dir_ / "link.json";
  put(real, "old");
  fs::create_symlink("real.json", link);
  ASSERT_TRUE(safe_write::write(link, "new"));
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(read(real), "new");
}

// A link is written through only to a regular file of this user's own;
// anything else is refused and left exactly as it was.
TEST_F(SafeWriteTest, RefusesLinksToWhatIsNotTheUsersOwnFile) {
  struct Case {
    const char* name;
    std::function<bool(const fs::path& target)> make;  // false: cannot be shown here
  };
  const Case cases[] = {
      {"nothing", [](const fs::path&) { return true; }},
      {"a directory", [](const fs::path& target) { return fs::create_directory(target); }},
      {"another user's file",
       [](const fs::path& target) {
         std::ofstream(target) << "theirs";
         return ::chown(target.c_str(), 65534, 65534) == 0;  // root only
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const fs::path target = dir_ / "target";
    const fs::path link = dir_ / "link.json";
    fs::remove_all(target);
    fs::remove(link);
    if (!c.make(target)) continue;
    fs::create_symlink(target, link);
    const auto written = safe_write::write(link, "new");
    ASSERT_FALSE(written);
    EXPECT_EQ(written.error(), "could not write " + link.string() + ": it is a link to " +
                                   target.string() +
                                   ", which is not a regular file owned by this user; nothing "
                                   "was written");
    EXPECT_TRUE(fs::is_symlink(link));
    if (fs::is_regular_file(target)) {
      EXPECT_EQ(read(target), "theirs");
    }
  }
}

TEST_F(SafeWriteTest, ANewFileNeverReplacesOneThatIsThere) {
  const fs::path path = dir_ / "copy";
  auto first = safe_write::write_new_with_mode(path, "first", 0600);
  ASSERT_TRUE(first && *first) << (first ? "" : first.error());
  EXPECT_EQ(mode_of(path), 0600u);
  auto second = safe_write::write_new_with_mode(path, "second", 0600);
  ASSERT_TRUE(second);
  EXPECT_FALSE(*second);
  EXPECT_EQ(read(path), "first");
  EXPECT_EQ(entries(), 1u) << "no temporary file is left behind";
}

// Temporary files of writers that no longer run are removed; those of a live
// writer, and every other name, stay.
TEST_F(SafeWriteTest, RemovesOnlyStaleTemporariesOfItsOwn) {
  const pid_t gone = 1 << 22;  // past any pid this kernel hands out
  ASSERT_NE(::kill(gone, 0), 0);
  const std::string stale = ".settings.json." + std::to_string(gone) + "-3.tmp";
  const std::string live = ".settings.json." + std::to_string(::getpid()) + "-0.tmp";
  const std::string parent = ".vault.enc." + std::to_string(::getppid()) + "-1.tmp";
  for (const std::string& name : {stale, live, parent, std::string("settings.json"),
                                  std::string(".notes.tmp"), std::string(".a.12x-1.tmp")}) {
    put(dir_ / name, "x");
  }
  EXPECT_EQ(safe_write::remove_stale_temporaries(dir_), 1u);
  EXPECT_FALSE(fs::exists(dir_ / stale));
  EXPECT_EQ(entries(), 5u);
  EXPECT_EQ(safe_write::remove_stale_temporaries(dir_ / "missing"), 0u);
}

}  // namespace
