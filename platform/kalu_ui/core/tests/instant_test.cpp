#include "kalu_ui/instant.h"

#include <gtest/gtest.h>

namespace kalu_ui {
namespace {

using namespace std::chrono_literals;

TEST(InstantTest, AdditionCarriesIntoSeconds) {
  const Instant t{5, 900'000'000};
  EXPECT_EQ(t + 200ms, (Instant{6, 100'000'000}));
  EXPECT_EQ((Instant{6, 100'000'000}) - t, 200ms);
}

TEST(InstantTest, EarliestIgnoresAbsentAndKeepsFirstOnTies) {
  const Instant a{1, 0};
  const Instant b{2, 0};
  EXPECT_EQ(earliest(std::nullopt, b), b);
  EXPECT_EQ(earliest(a, std::nullopt), a);
  EXPECT_EQ(earliest(b, a), a);
  EXPECT_EQ(earliest(std::nullopt, std::nullopt), std::nullopt);
}

TEST(InstantTest, NowIsMonotonic) {
  const Instant a = Instant::now();
  const Instant b = Instant::now();
  EXPECT_LE(a, b);
  EXPECT_LT(a.nanos, 1'000'000'000u);
}

}  // namespace
}  // namespace kalu_ui
