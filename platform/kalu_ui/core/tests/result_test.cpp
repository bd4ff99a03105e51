#include "kalu_ui/result.h"

#include <gtest/gtest.h>

#include <string>

namespace kalu_ui {
namespace {

TEST(FailTest, FormatsItsArgumentsAndTakesAMessageAsItIs) {
  const std::string path = "/tmp/a {b}";
  EXPECT_EQ(fail("{} could not be read: {}", path, 2).error(), "/tmp/a {b} could not be read: 2");
  // A message made already keeps its braces: it is not a format.
  EXPECT_EQ(fail("no {} here").error(), "no {} here");
  EXPECT_EQ(fail(path).error(), path);
  const Result<int> failed = fail("{}%", 40);
  EXPECT_EQ(failed.error(), "40%");
}

}  // namespace
}  // namespace kalu_ui
