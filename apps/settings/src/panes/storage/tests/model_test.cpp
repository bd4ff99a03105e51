#include "panes/storage/model.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace settings::panes::storage
