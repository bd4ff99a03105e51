#include "kalu_ui/geometry.h"

#include <gtest/gtest.h>

#include <limits>

namespace kalu_ui {
namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

TEST(RectTest, ContainmentIsHalfOpenAndRejectsNaN) {
  const Rect r{10, 20, 30, 40};
  struct Case {
    Point p;
    bool inside;
  } cases[] = {
      {{10, 20}, true},     {{29.999, 39.999}, true}, {{30, 25}, false},   {{15, 40}, false},
      {{9.999, 25}, false}, {{kNaN, 25}, false},      {{15, kNaN}, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(r.contains(c.p), c.inside) << c.p.x << "," << c.p.y;
  }
}

TEST(RectTest, IntersectionAreaFollowsNaNRules) {
  // Touching along an edge: zero area.
  EXPECT_EQ(Rect(0, 0, 10, 10).intersect(Rect(10, 0, 20, 10)).area(), 0.0);
  // Disjoint: clamped to zero area, not negative.
  EXPECT_EQ(Rect(0, 0, 10, 10).intersect(Rect(50, 50, 60, 60)).area(), 0.0);
  // Overlap.
  EXPECT_EQ(Rect(0, 0, 10, 10).intersect(Rect(5, 5, 20, 20)), Rect(5, 5, 10, 10));
  // A NaN operand is ignored: the other side is taken.
  EXPECT_EQ(Rect(kNaN, 0, 10, 10).intersect(Rect(2, 0, 8, 10)), Rect(2, 0, 8, 10));
  // NaN on both sides keeps NaN, whose area is not zero.
  const Rect nan_both = Rect(kNaN, 0, kNaN, 10).intersect(Rect(kNaN, 0, kNaN, 10));
  EXPECT_FALSE(nan_both.area() == 0.0);
}

TEST(AffineTest, ScaleAboutKeepsTheCentreFixed) {
  const Point c{50, 20};
  const Affine t = Affine::scale_about(0.98, c);
  const Point mapped = t * c;
  EXPECT_DOUBLE_EQ(mapped.x, 50);
  EXPECT_DOUBLE_EQ(mapped.y, 20);
  const Point corner = t * Point{0, 0};
  EXPECT_NEAR(corner.x, 1.0, 1e-12);
  EXPECT_NEAR(corner.y, 0.4, 1e-12);
}

TEST(AffineTest, CompositionAppliesRightOperandFirst) {
  const Affine t = Affine::translate({10, 0}) * Affine::scale(2);
  const Point p = t * Point{1, 1};
  EXPECT_DOUBLE_EQ(p.x, 12);
  EXPECT_DOUBLE_EQ(p.y, 2);
  const Point back = t.inverse() * p;
  EXPECT_DOUBLE_EQ(back.x, 1);
  EXPECT_DOUBLE_EQ(back.y, 1);
}

}  // namespace
}  // namespace kalu_ui
