#include "desktop_rules/storage.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>

namespace {

namespace fs = std::filesystem;
using namespace desktop_rules::storage;

class Storage : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/desktop_rules_storage.XXXXXX";
    root_ = ::mkdtemp(tmpl);
    roots_ = StorageRoots::discover(root_ / "data", root_ / "cache");
    cache_ = *roots_.cache;
  }
  void TearDown() override { fs::remove_all(root_); }

  // A file of `size` bytes at `path`, its folders made.
  static void file(const fs::path& path, std::size_t size) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << std::string(size, 'x');
  }
  static std::vector<std::string> names(const CleanupPreview& preview) {
    std::vector<std::string> out;
    for (const auto& item : preview.items) out.push_back(item.path.filename().string());
    return out;
  }

  fs::path root_;
  StorageRoots roots_;
  fs::path cache_;
};

TEST_F(Storage, RootsFollowTheDocumentedLayout) {
  EXPECT_EQ(roots_.installed_apps, root_ / "data/kalu/apps");
  EXPECT_EQ(roots_.app_data, root_ / "data/kalu/app-data");
  EXPECT_EQ(roots_.synced, root_ / "data/kalu/synced");
  EXPECT_EQ(roots_.cache, root_ / "cache/kalu/app-cache");
  const auto none = StorageRoots::discover(std::nullopt, root_ / "cache");
  EXPECT_EQ(none.installed_apps, std::nullopt);
  EXPECT_EQ(none.cache, root_ / "cache/kalu/app-cache");
}

TEST_F(Storage, ScanSizesEachApplicationFolderWithoutFollowingLinks) {
  file(*roots_.installed_apps / "org.b/bin/app", 300);
  file(*roots_.installed_apps / "org.a/lib/deep/er/x", 20);
  file(*roots_.installed_apps / "org.a/y", 5);
  file(root_ / "outside/big", 10000);
  fs::create_directory_symlink(root_ / "outside", *roots_.installed_apps / "org.a/link");
  file(cache_ / "org.a/c", 7);
  fs::create_directories(*roots_.synced);  // exists, empty
  // App data: a file where the root folder should be, so it cannot be read.
  file(*roots_.app_data, 1);

  const StorageSnapshot snapshot = scan_storage(roots_);
  ASSERT_EQ(snapshot.items.size(), 3u);
  const std::string link_size = std::to_string(fs::path(root_ / "outside").string().size());
  EXPECT_EQ(snapshot.items[0].name, "org.a");
  EXPECT_EQ(snapshot.items[0].size, 25 + std::stoull(link_size));  // the link, not its target
  EXPECT_EQ(snapshot.items[0].category, Category::InstalledApps);
  EXPECT_EQ(snapshot.items[1].name, "org.b");
  EXPECT_EQ(snapshot.items[1].path, *roots_.installed_apps / "org.b");
  EXPECT_EQ(snapshot.items[2].category, Category::Cache);
  EXPECT_EQ(snapshot.not_measured, std::vector<Category>{Category::AppData});
  EXPECT_FALSE(snapshot.measured(Category::AppData));
  EXPECT_TRUE(snapshot.measured(Category::SyncedFiles));
  const auto totals = snapshot.totals();
  EXPECT_EQ(totals[0], snapshot.items[0].size + 300);
  EXPECT_EQ(totals[1], 0u);
  EXPECT_EQ(totals[2], 7u);
  EXPECT_EQ(totals[3], 0u);

  // Without a data home the three data roots are not measured.
  const auto partial = scan_storage(StorageRoots::discover(std::nullopt, root_ / "cache"));
  EXPECT_EQ(partial.not_measured, (std::vector<Category>{Category::InstalledApps, Category::AppData,
                                                         Category::SyncedFiles}));
}

TEST_F(Storage, CleanupRemovesExactlyThePreviewedItems) {
  file(cache_ / "org.a/one", 10);
  file(cache_ / "org.a/sub/two", 20);
  file(cache_ / "org.b/three", 400);
  file(cache_ / "stray", 5);
  file(root_ / "outside/keep", 3);
  fs::create_directory_symlink(root_ / "outside", cache_ / "org.a/sub/escape");
  fs::create_directory_symlink(root_ / "outside", cache_ / "link-item");
  const CleanupPreview preview = preview_cache_cleanup(cache_).value();
  const std::string link_size = std::to_string((root_ / "outside").string().size());
  EXPECT_EQ(names(preview), (std::vector<std::string>{"org.b", "org.a", "link-item", "stray"}));
  EXPECT_EQ(preview.total_bytes, 435 + 2 * std::stoull(link_size));

  // Appears after the preview: not part of it, so it stays.
  file(cache_ / "org.c/new", 1);
  ASSERT_TRUE(apply_cleanup(preview));
  EXPECT_EQ(names(preview_cache_cleanup(cache_).value()), std::vector<std::string>{"org.c"});
  EXPECT_TRUE(fs::exists(root_ / "outside/keep"));  // links went, their target did not
  EXPECT_TRUE(fs::is_directory(cache_));

  // Applying again finds everything gone and succeeds.
  EXPECT_TRUE(apply_cleanup(preview));
  EXPECT_TRUE(preview_cache_cleanup(root_ / "no/cache").value().items.empty());
}

TEST_F(Storage, CleanupRefusesPathsOutsideTheCacheRoot) {
  file(cache_ / "org.a/x", 1);
  file(root_ / "cache/kalu/app-cache-other/y", 1);
  file(root_ / "victim/z", 1);
  const CleanupPreview good = preview_cache_cleanup(cache_).value();
  for (const fs::path& outside :
       {root_ / "victim", cache_ / ".." / ".." / ".." / "victim",
        root_ / "cache/kalu/app-cache-other", fs::path(cache_), cache_ / ".", fs::path("victim")}) {
    CleanupPreview doctored = good;
    doctored.items.push_back(CleanupItem{outside, 1});
    const auto applied = apply_cleanup(doctored);
    ASSERT_FALSE(applied) << outside;
    EXPECT_NE(applied.error().find("is not inside the cache folder"), std::string::npos);
  }
  EXPECT_TRUE(fs::exists(root_ / "victim/z"));
  EXPECT_TRUE(fs::exists(root_ / "cache/kalu/app-cache-other/y"));
  EXPECT_TRUE(fs::exists(cache_ / "org.a/x"));  // refused before anything was removed

  CleanupPreview relative_root = good;
  relative_root.root = "cache";
  EXPECT_FALSE(apply_cleanup(relative_root));
}

TEST_F(Storage, CleanupNeverWalksThroughAFolderReplacedByALink) {
  file(cache_ / "org.a/nested/target", 1);
  file(cache_ / "org.b/x", 1);
  file(root_ / "victim/nested/target", 1);
  CleanupPreview preview;
  preview.root = cache_;
  preview.items = {{cache_ / "org.a/nested/target", 1}, {cache_ / "org.b", 1}};
  // Between the preview and the clean-up, org.a becomes a link to elsewhere.
  fs::remove_all(cache_ / "org.a");
  fs::create_directory_symlink(root_ / "victim", cache_ / "org.a");

  const auto applied = apply_cleanup(preview);
  ASSERT_FALSE(applied);
  EXPECT_NE(applied.error().find("no longer lies inside the cache folder"), std::string::npos);
  EXPECT_TRUE(fs::exists(root_ / "victim/nested/target"));
  EXPECT_FALSE(fs::exists(cache_ / "org.b"));  // the other item still went

  // The cache root itself replaced by a link: nothing is followed.
  file(root_ / "victim/org.b/x", 1);
  fs::remove_all(cache_);
  fs::create_directory_symlink(root_ / "victim", cache_);
  EXPECT_FALSE(apply_cleanup(preview));
  EXPECT_TRUE(fs::exists(root_ / "victim/org.b/x"));
}

}  // namespace
