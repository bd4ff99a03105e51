#include "desktop_file/applications.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <fstream>

#include "desktop_file/cache.h"

namespace {

namespace fs = std::filesystem;
using desktop_file::ApplicationRoots;

// Two data folders, "home" before "system", each with its "applications".
class Applications : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/desktop_file_apps.XXXXXX";
    root_ = ::mkdtemp(tmpl);
    roots_ = ApplicationRoots::under({root_ / "home", root_ / "system"});
  }
  void TearDown() override { fs::remove_all(root_); }

  fs::path put(const std::string& data, const std::string& relative, const std::string& text) {
    const fs::path path = root_ / data / "applications" / relative;
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
    return path;
  }
  static std::string app(const std::string& name, const std::string& extra = "") {
    return "[Desktop Entry]\nType=Application\nName=" + name + "\nExec=" + name + " %U\n" + extra;
  }
  std::vector<std::string> ids() const {
    std::vector<std::string> out;
    for (const auto& entry : desktop_file::scan(roots_)) out.push_back(entry.desktop_id);
    return out;
  }

  fs::path root_;
  ApplicationRoots roots_;
};

TEST_F(Applications, ListsApplicationEntriesOncePerDesktopIdFirstFolderWinning) {
  put("system", "editor.desktop", app("System Editor"));
  put("home", "editor.desktop", app("My Editor"));
  put("system", "gone.desktop", app("Gone"));
  put("home", "gone.desktop", "[Desktop Entry]\nHidden=true\n");  // the person removed it
  put("system", "helper.desktop", app("Helper", "NoDisplay=true\n"));
  put("system", "hidden.desktop", app("Hidden", "Hidden=true\n"));
  put("system", "org/Example.desktop", app("Nested"));
  put("system", "link.desktop", "[Desktop Entry]\nType=Link\nName=L\nURL=https://x\n");
  put("system", "broken.desktop", app("Broken", "this is no key file line\n"));
  put("system", "nameless.desktop", "[Desktop Entry]\nType=Application\nExec=x\n");
  put("system", "notes.txt", app("Not a desktop file"));
  put("system", ".desktop", app("No id"));
  ASSERT_EQ(::mkfifo((root_ / "system/applications/fifo.desktop").c_str(), 0600), 0);
  fs::create_symlink(root_ / "system/applications/editor.desktop",
                     root_ / "system/applications/alias.desktop");

  EXPECT_EQ(ids(), (std::vector<std::string>{"alias.desktop", "editor.desktop", "helper.desktop",
                                             "org-Example.desktop"}));
  const auto entries = desktop_file::scan(roots_);
  EXPECT_EQ(entries[1].name, "My Editor");
  EXPECT_EQ(entries[1].path, root_ / "home/applications/editor.desktop");
  EXPECT_EQ(entries[1].exec, "My Editor %U");
  EXPECT_EQ(entries[1].app_id(), "editor");
  EXPECT_TRUE(entries[2].no_display);  // NoDisplay entries are installed, only not shown
}

TEST_F(Applications, MissingAndUnreadableFoldersAddNothing) {
  put("system", "a.desktop", app("A"));
  roots_.dirs.insert(roots_.dirs.begin(), root_ / "nowhere/applications");
  EXPECT_EQ(ids(), std::vector<std::string>{"a.desktop"});
  roots_.dirs = {};
  EXPECT_TRUE(ids().empty());
}

TEST_F(Applications, CacheKeepsItsAnswerUntilAFolderChanges) {
  const fs::path editor = put("home", "editor.desktop", app("Editor"));
  // Folder times well in the past, so the cache may trust them.
  const auto old = fs::file_time_type::clock::now() - std::chrono::hours(1);
  for (const char* dir : {"home", "home/applications", "system"}) {
    fs::create_directories(root_ / dir);
    fs::last_write_time(root_ / dir, old);
  }
  auto names = [&] {
    std::vector<std::string> out;
    for (const auto& entry : desktop_file::cache::cached_scan(roots_)) out.push_back(entry.name);
    return out;
  };
  EXPECT_EQ(names(), std::vector<std::string>{"Editor"});
  std::ofstream(editor, std::ios::binary) << app("Edited in place");
  fs::last_write_time(root_ / "home/applications", old);
  EXPECT_EQ(names(), std::vector<std::string>{"Editor"});  // served from the cache

  put("system", "viewer.desktop", app("Viewer"));  // a folder that did not exist appears
  EXPECT_EQ(names(), (std::vector<std::string>{"Edited in place", "Viewer"}));
  const auto cached = desktop_file::cache::cached_scan(roots_);
  EXPECT_EQ(cached[0].desktop_id, "editor.desktop");
  EXPECT_EQ(cached[0].app_id, "editor");
}

TEST_F(Applications, AnEntryChangedInPlaceIsReadAgain) {
  const fs::path editor = put("home", "editor.desktop", app("Editor"));
  ASSERT_EQ(desktop_file::read_entry(editor, "editor.desktop")->name, "Editor");
  // The same size, most likely within the same tick of the file clock.
  std::ofstream(editor, std::ios::binary) << app("Writer");
  const auto again = desktop_file::read_entry(editor, "writer.desktop");
  ASSERT_TRUE(again);
  EXPECT_EQ(again->name, "Writer");
  EXPECT_EQ(again->desktop_id, "writer.desktop");
  fs::remove(editor);
  EXPECT_FALSE(desktop_file::read_entry(editor, "editor.desktop"));
}

TEST(ExecProgram, TakesTheFirstWordWithQuotingUndone) {
  const std::pair<const char*, std::optional<std::string>> cases[] = {
      {"gedit %U", "gedit"},
      {"  /usr/bin/app", "/usr/bin/app"},
      {"\"/opt/My App/run\" --x", "/opt/My App/run"},
      {"\"a\\\"b\\\\c\" x", "a\"b\\c"},
      {"\"unclosed", std::nullopt},
      {"", std::nullopt},
      {"   ", std::nullopt},
  };
  for (const auto& [exec, program] : cases) {
    EXPECT_EQ(desktop_file::exec_program(exec), program) << exec;
  }
}

}  // namespace
