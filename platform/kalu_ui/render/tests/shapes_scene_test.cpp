#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "kalu_ui/qr_modules.h"
#include "kalu_ui/scene.h"
#include "kalu_ui/shapes.h"

namespace kalu_ui {
namespace {

void expect_rect_near(const Rect& a, const Rect& b, double eps = 1e-9) {
  EXPECT_NEAR(a.x0, b.x0, eps);
  EXPECT_NEAR(a.y0, b.y0, eps);
  EXPECT_NEAR(a.x1, b.x1, eps);
  EXPECT_NEAR(a.y1, b.y1, eps);
}

TEST(Shapes, RoundedRectRadiusIsClampedToHalfTheShorterSide) {
  struct Case {
    Rect rect;
    double radius;
    double expected;
  };
  const Case cases[] = {
      {{0, 0, 100, 20}, 8.0, 8.0},  {{0, 0, 100, 20}, 30.0, 10.0},
      {{0, 0, 100, 20}, -3.0, 0.0}, {{0, 0, 100, 20}, std::nan(""), 0.0},
      {{0, 0, 0, 20}, 5.0, 0.0},
  };
  for (const auto& c : cases) {
    EXPECT_DOUBLE_EQ((RoundedRect{c.rect, c.radius}.effective_radius()), c.expected);
  }
}

TEST(Shapes, PathsOfClosedShapesSpanTheirBounds) {
  expect_rect_near(RoundedRect{{10, 20, 110, 60}, 8}.to_path().control_box(), {10, 20, 110, 60});
  expect_rect_near(Circle{{50, 50}, 10}.to_path().control_box(), {40, 40, 60, 60}, 1e-6);
  // A rotated ellipse's box is wider than its unrotated radii along y.
  const Rect e = shape_bounds(Ellipse{{0, 0}, {20, 5}, std::numbers::pi / 2});
  EXPECT_NEAR(e.x0, -5.0, 1e-6);
  EXPECT_NEAR(e.y1, 20.0, 1.0);
}

TEST(Shapes, ArcEndsOnTheCircleAndStartsWithMoveWhenEmpty) {
  BezPath p;
  p.arc({0, 0}, 10, 0.0, std::numbers::pi);
  ASSERT_FALSE(p.empty());
  EXPECT_EQ(p.elements().front().kind, PathEl::Kind::MoveTo);
  const PathEl& last = p.elements().back();
  ASSERT_EQ(last.kind, PathEl::Kind::CurveTo);
  EXPECT_NEAR(last.p2.x, -10.0, 1e-9);
  EXPECT_NEAR(last.p2.y, 0.0, 1e-9);
  // Half a turn is two quarter pieces; the midpoint of the first lies on the circle.
  EXPECT_EQ(p.elements().size(), 3u);
  // A second arc joins with a line rather than starting a new subpath.
  p.arc({0, 0}, 5, 0.0, 1.0);
  EXPECT_EQ(p.elements()[3].kind, PathEl::Kind::LineTo);
  // Non-finite input adds nothing.
  const auto n = p.elements().size();
  p.arc({0, 0}, std::nan(""), 0.0, 1.0);
  EXPECT_EQ(p.elements().size(), n);
}

TEST(Scene, CallTransformActsFirstThenPushedOnesInnermostFirst) {
  Scene scene;
  scene.push_transform(Affine::translate({100, 0}));
  scene.push_transform(Affine::scale(2.0));
  // The call's translate by (1, 1) happens before the pushed scale: (1,1) -> (2,2) -> (102, 2).
  scene.fill(Rect{0, 0, 10, 10}, Color::white(), Affine::translate({1, 1}));
  scene.pop_transform();
  scene.fill(Rect{0, 0, 10, 10}, Color::white());
  scene.pop_transform();
  scene.pop_transform();  // unbalanced: ignored
  scene.fill(Rect{0, 0, 10, 10}, Color::white());
  ASSERT_EQ(scene.size(), 3u);
  expect_rect_near(Scene::bounds(scene.commands()[0]), {102, 2, 122, 22});
  expect_rect_near(Scene::bounds(scene.commands()[1]), {100, 0, 110, 10});
  expect_rect_near(Scene::bounds(scene.commands()[2]), {0, 0, 10, 10});
}

TEST(Scene, TileScaledAboutItsCentreKeepsTheCentre) {
  // How a pressed tile is drawn: the row's transform after a scaling about
  // the tile's centre.
  const Rect tile{8, 4, 248, 36};
  const Affine row = Affine::translate({0, 100});
  Scene scene;
  scene.fill(RoundedRect{tile, 8}, Color::white(), row * Affine::scale_about(0.9, tile.center()));
  const Rect b = Scene::bounds(scene.commands()[0]);
  EXPECT_NEAR(b.center().x, tile.center().x, 1e-9);
  EXPECT_NEAR(b.center().y, tile.center().y + 100, 1e-9);
  EXPECT_NEAR(b.width(), tile.width() * 0.9, 1e-9);
}

TEST(Scene, StrokeBoundsIncludeHalfTheWidthAndClipsBalance) {
  Scene scene;
  scene.pop_clip();  // nothing open: ignored
  scene.push_clip(Rect{0, 0, 50, 50});
  scene.stroke(Line{{10, 10}, {40, 10}}, Color::black(), StrokeStyle{4.0});
  EXPECT_EQ(scene.open_clips(), 1);
  scene.pop_clip();
  EXPECT_EQ(scene.open_clips(), 0);
  ASSERT_EQ(scene.size(), 3u);
  const auto* stroke = std::get_if<StrokeCmd>(&scene.commands()[1]);
  ASSERT_NE(stroke, nullptr);
  EXPECT_EQ(stroke->color, Color::black());
  expect_rect_near(Scene::bounds(scene.commands()[1]), {8, 8, 42, 12});
  scene.clear();
  EXPECT_TRUE(scene.empty());
}

TEST(Color, HexParsingAndMixing) {
  EXPECT_EQ(Color::from_hex("#1e1f24"), Color::rgb8(0x1e, 0x1f, 0x24));
  EXPECT_EQ(Color::from_hex("FF000080"), Color::rgba8(255, 0, 0, 128));
  for (const char* bad : {"", "#12345", "#12345g", "#1234567"}) {
    EXPECT_FALSE(Color::from_hex(bad).has_value()) << bad;
  }
  EXPECT_EQ(Color::black().mix(Color::white(), 0.5), Color::rgb8(128, 128, 128));
  EXPECT_EQ(Color::white().with_alpha_factor(2.0).a, 255);
  EXPECT_EQ(Color::white().with_alpha_factor(std::nan("")).a, 255);
}

TEST(QrModules, RunsOfARowMergeAndModulesAreWholePixels) {
  // 3 x 3 symbol: row 0 "110", row 1 "000", row 2 "101".
  const std::vector<std::uint8_t> modules = {1, 1, 0, 0, 0, 0, 1, 0, 1};
  const Rect area{0, 0, 100, 100};
  const Rect sym = qr::symbol_rect(3, area);
  // 3 + 8 quiet modules = 11 across 100 pixels: 9 pixels a module.
  EXPECT_DOUBLE_EQ(sym.width(), 27.0);
  EXPECT_DOUBLE_EQ(sym.x0, std::round(50.0 - 13.5));
  const BezPath path = qr::modules_path(modules, 3, area);
  int subpaths = 0;
  for (const auto& el : path.elements()) subpaths += el.kind == PathEl::Kind::MoveTo;
  EXPECT_EQ(subpaths, 3);  // "11" merged, then two single modules
  expect_rect_near(path.control_box(), {sym.x0, sym.y0, sym.x1, sym.y1});
  // Mismatched sizes and an empty symbol draw nothing.
  EXPECT_TRUE(qr::modules_path(modules, 4, area).empty());
  EXPECT_TRUE(qr::modules_path({}, 0, area).empty());
  EXPECT_TRUE(qr::symbol_rect(0, area).is_zero_area());
}

}  // namespace
}  // namespace kalu_ui
