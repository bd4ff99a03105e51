#include "kalu_net/secret.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace kalu_net {
namespace {

TEST(SecretTest, WipingZeroesTheWholeBufferOfALiveString) {
  for (std::string text : {std::string("short"), std::string(100, 's')}) {
    text.resize(text.size() / 2);  // bytes past size() still hold the secret
    const char* data = text.data();
    std::size_t capacity = text.capacity();
    wipe(text);
    EXPECT_TRUE(text.empty());
    EXPECT_EQ(text.data(), data);
    EXPECT_TRUE(std::all_of(data, data + capacity, [](char c) { return c == 0; }));
  }
}

TEST(SecretTest, SecretTextGrowsAndMovesWithItsContent) {
  SecretText text(4);
  text.append("pass");
  text.append(std::string(40, 'w'));  // past the reserved room
  text.append('!');
  EXPECT_EQ(text.view(), "pass" + std::string(40, 'w') + "!");
  SecretText moved(std::move(text));
  EXPECT_EQ(moved.size(), 45u);
  EXPECT_TRUE(text.empty());  // NOLINT(bugprone-use-after-move): moved-from is defined empty
  SecretText assigned("x");
  assigned = std::move(moved);
  EXPECT_EQ(assigned.view().substr(0, 4), "pass");
}

}  // namespace
}  // namespace kalu_net
