// Secret buffers and texts: edits in place, the capacity bound, taking the
// text out, and the overwriting of what is let go.

#include "kalu_ui/secret.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

namespace kalu_ui::secret {
namespace {

bool all_zero(const char* data, std::size_t size) {
  return std::all_of(data, data + size, [](char c) { return c == 0; });
}

TEST(SecretTest, BufferEditsInPlaceAndOverwritesWhatItDrops) {
  auto buffer = SecretBuffer::create();
  const char* storage = nullptr;
  {
    auto access = buffer->lock();
    ASSERT_TRUE(access.assign("amber-lantern"));
    storage = access.view().data();
    ASSERT_TRUE(access.replace(5, 1, " "));     // a character replaced
    ASSERT_TRUE(access.replace(13, 0, "-42"));  // appended
    ASSERT_TRUE(access.replace(0, 6, ""));      // a prefix removed
    EXPECT_EQ(access.view(), "lantern-42");
    // The six bytes past the shorter text were overwritten.
    EXPECT_TRUE(all_zero(storage + 10, 6));
    ASSERT_TRUE(access.replace(100, 100, "!"));  // clamped to the end
    EXPECT_EQ(access.view(), "lantern-42!");
  }
  // Another holder cannot get in while the lock is held.
  {
    auto held = buffer->lock();
    EXPECT_FALSE(buffer->try_lock().has_value());
  }
  EXPECT_TRUE(buffer->try_lock().has_value());

  SecretText taken = buffer->take();
  EXPECT_EQ(taken.view(), "lantern-42!");
  EXPECT_TRUE(buffer->empty());
  EXPECT_TRUE(all_zero(storage, 11));
}

TEST(SecretTest, BufferRefusesAnEditPastItsCapacityWhole) {
  auto buffer = SecretBuffer::create();
  auto access = buffer->lock();
  ASSERT_TRUE(access.assign(std::string(SecretBuffer::kCapacity - 1, 'a')));
  EXPECT_TRUE(access.replace(0, 0, "b"));
  EXPECT_FALSE(access.replace(0, 0, "c"));
  EXPECT_FALSE(access.replace(0, 1, "dd"));
  EXPECT_EQ(access.size(), SecretBuffer::kCapacity);
  EXPECT_EQ(access.view().front(), 'b');
}

TEST(SecretTest, SecretTextMovesAndWipesAndExposesOnlyForACall) {
  SecretText text = SecretText::copy_of("tide-and-rope");
  SecretText moved = std::move(text);
  EXPECT_TRUE(text.empty());  // NOLINT(bugprone-use-after-move): moved-from is empty
  EXPECT_EQ(moved.view(), "tide-and-rope");
  {
    Exposed exposed = moved.expose();
    EXPECT_EQ(exposed.str(), "tide-and-rope");
  }
  moved.wipe();
  EXPECT_TRUE(moved.empty());
  EXPECT_TRUE(SecretText::copy_of("").empty());

  std::string plain = "a longer string that lives on the heap";
  const char* data = plain.data();
  const std::size_t capacity = plain.capacity();
  wipe(plain);
  EXPECT_TRUE(plain.empty());
  EXPECT_TRUE(all_zero(data, capacity));
}

TEST(SecretTest, SecretTextGrowsCopiesApartAndEndsInAZeroByte) {
  SecretText text = SecretText::with_capacity(4);
  EXPECT_STREQ(text.c_str(), "");
  text.append("pass");
  const std::string page(5000, 'w');  // past the first page of memory
  text.append(page);
  text.append('!');
  EXPECT_EQ(text.view(), "pass" + page + "!");
  EXPECT_EQ(std::strlen(text.c_str()), text.size());

  SecretText copy = text;
  EXPECT_NE(copy.view().data(), text.view().data());
  text.wipe();
  EXPECT_EQ(copy.size(), 5005u);
  copy = copy;  // NOLINT(misc-redundant-expression): a self-copy keeps the text
  EXPECT_EQ(copy.view().substr(0, 5), "passw");
  SecretText assigned = SecretText::copy_of("x");
  assigned = copy;
  EXPECT_EQ(assigned, copy);
  EXPECT_TRUE(SecretText(SecretText()).empty());
}

}  // namespace
}  // namespace kalu_ui::secret
