#include "panes/storage/model.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace settings::panes::storage {
namespace {

TEST(StorageModelTest, CacheItemNamesThatAreNotTextAreNamedGenerically) {
  struct Case {
    const char* path;
    const char* name;
  } cases[] = {
      {"/c/org.example.Viewer", "org.example.Viewer"},
      {"/c/Gr\xc3\xb6\xc3\x9f"
       "e",
       "Gr\xc3\xb6\xc3\x9f"
       "e"},
      {"/c/bad\xff", "Cache item"},           // not UTF-8
      {"/c/\xc0\xaf", "Cache item"},          // overlong "/"
      {"/c/\xed\xa0\x80", "Cache item"},      // a surrogate
      {"/c/\xf4\x90\x80\x80", "Cache item"},  // past U+10FFFF
      {"/c/cut\xe2\x82", "Cache item"},       // cut short
      {"/c/folder/", "Cache item"},           // no file name
      {"", "Cache item"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(cache_item_name(c.path), c.name);
  }
}

// Eight rows in all: every file freed at once first, then the queued ones;
// files with nothing reclaimable are not listed.
TEST(StorageModelTest, ListedFilesPutWhatIsFreedAtOnceFirst) {
  host_fs::SyncedSnapshot snapshot;
  std::vector<std::string> expected_at_once;
  std::vector<std::string> expected_queued;
  for (int i = 0; i < 10; ++i) {
    const bool awaits = i % 3 == 0;  // 0, 3, 6, 9
    const std::string name = "f" + std::to_string(i);
    snapshot.files.push_back({name, name, i == 4 ? 0u : 100u, awaits});
    if (i == 4) continue;
    (awaits ? expected_queued : expected_at_once).push_back(name);
  }
  const auto names = [](const std::vector<const host_fs::SyncedFileState*>& files) {
    std::vector<std::string> out;
    for (const auto* file : files) out.push_back(file->name);
    return out;
  };
  const ListedFiles listed = listed_files(snapshot, 8);
  EXPECT_EQ(names(listed.freed_at_once), expected_at_once);  // f1 f2 f5 f7 f8
  expected_queued.resize(3);
  EXPECT_EQ(names(listed.queued), expected_queued);  // f0 f3 f6
  EXPECT_TRUE(listed_files(snapshot, 0).freed_at_once.empty());
}

}  // namespace
}  // namespace settings::panes::storage
