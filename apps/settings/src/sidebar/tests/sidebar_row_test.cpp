#include "sidebar/sidebar_row.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>

#include "kalu_ui/harness.h"
#include "kalu_ui/layout.h"
#include "kalu_ui/scene.h"
#include "kalu_ui/text.h"
#include "kalu_ui/widget/column.h"
#include "kalu_ui/widget/support.h"

namespace settings::sidebar {
namespace {

using kalu_ui::Key;
using kalu_ui::Point;
using kalu_ui::layout::AvailableSize;
using kalu_ui::layout::AvailableSpace;
using kalu_ui::layout::KnownDimensions;

using enum panes::Pane;
constexpr panes::Pane kPrivacy = panes::Pane::kPrivacySecurity;  // the longest title

TEST(SidebarRowMeasureTest, TitleWidthLimit) {
  const struct {
    std::optional<float> known;
    std::optional<float> available;  // absent: not definite
    double limit;
  } cases[] = {
      {std::nullopt, 264.0f, 192.0},  // the sidebar's usual width
      {264.0f, 500.0f, 192.0},        // a known width wins over the space
      {264.0f, std::nullopt, 192.0}, {std::nullopt, std::nullopt, 184.0},
      {std::nullopt, 60.0f, 0.0},  // narrower than the chrome
      {40.0f, std::nullopt, 0.0},
  };
  for (const auto& c : cases) {
    EXPECT_DOUBLE_EQ(row_title_width_limit(c.known, c.available), c.limit)
        << c.known.value_or(-1) << " / " << c.available.value_or(-1);
  }
}

TEST(SidebarRowMeasureTest, HeightIsTheTitlePlusPaddingButAtLeastForty) {
  kalu_ui::text::TextRenderer renderer;
  SidebarRow row(kPrivacy, false, SelectionCell::create(0));
  const auto style =
      renderer.renderer_input_style(kalu_ui::text::TextStyle::sized(14.0f).with_line_height(1.25f));
  const auto definite = [](float w) {
    return AvailableSize{AvailableSpace::definite(w), AvailableSpace::max_content()};
  };

  // One line: 17.5 of text is less than 40 with its padding.
  const auto wide = row.measure({}, definite(400.0f), renderer);
  EXPECT_EQ(wide.width, 0.0f);  // the style's 100% gives the width
  EXPECT_EQ(wide.height, 40.0f);

  // A narrow row wraps the title: its height plus 16.
  const auto two_lines = renderer.measure(panes::pane_title(kPrivacy), style, 110.0,
                                          kalu_ui::text::LayoutOption::Wrap);
  ASSERT_GE(two_lines.lines, 2);
  const auto narrow = row.measure({182.0f, std::nullopt}, definite(400.0f), renderer);
  EXPECT_EQ(narrow.width, 182.0f);
  EXPECT_FLOAT_EQ(narrow.height, static_cast<float>(two_lines.height + 16.0));

  // A known height is kept as it is.
  EXPECT_EQ(row.measure({182.0f, 30.0f}, definite(400.0f), renderer).height, 30.0f);
}

// Three rows in a column at the top of the window.
struct RowsFixture : ::testing::Test {
  RowsFixture() : harness(make_rows(cell), options()) { harness.frame(); }

  static kalu_ui::harness::Options options() {
    kalu_ui::harness::Options o;
    o.size = {264.0, 200.0};
    return o;
  }

  static kalu_ui::WidgetBox make_rows(const std::shared_ptr<SelectionCell>& cell) {
    kalu_ui::widget::Column column;
    for (panes::Pane pane : {kNetwork, kBluetooth, kPrivacy}) {
      column.push(std::make_unique<SidebarRow>(make_sidebar_row(pane, kBluetooth, cell)));
    }
    return kalu_ui::widget::boxed(std::move(column));
  }
  SidebarRow& row(std::string_view title) { return *static_cast<SidebarRow*>(harness.find(title)); }
  Point centre(std::string_view title) { return row(title).get_rect().center(); }

  std::shared_ptr<SelectionCell> cell = SelectionCell::create(0xFF);
  kalu_ui::harness::Harness harness;
};

TEST_F(RowsFixture, LaysOutFullWidthRowsAtLeastFortyHigh) {
  const kalu_ui::Rect network = row("Network").get_rect();
  EXPECT_EQ(network, (kalu_ui::Rect{0.0, 0.0, 264.0, 40.0}));
  EXPECT_EQ(row("Bluetooth").get_rect().y0, 40.0);
  EXPECT_EQ(row("Network").text_size(), 14.0f);
}

TEST_F(RowsFixture, ReleaseInsideAfterPressInsideActivates) {
  harness.click(centre("Bluetooth"));
  EXPECT_EQ(cell->get(), panes::index_of(kBluetooth));
  EXPECT_EQ(cell->generation(), 1u);
  EXPECT_FALSE(row("Bluetooth").pressed());
  // The press asked for keyboard focus.
  EXPECT_EQ(harness.focused(), &row("Bluetooth"));
}

TEST_F(RowsFixture, PressMoveOutAndBackIn) {
  const Point inside = centre("Network");
  const Point outside{inside.x, 190.0};

  // Out and released outside: no activation, and the press is gone.
  harness.pointer_move(inside);
  harness.pointer_down(inside);
  EXPECT_TRUE(row("Network").pressed());
  harness.pointer_move(outside);
  EXPECT_FALSE(row("Network").hovered());
  EXPECT_TRUE(row("Network").pressed());  // leaving alone does not cancel
  harness.pointer_up(outside);
  EXPECT_FALSE(row("Network").pressed());
  EXPECT_EQ(cell->generation(), 0u);

  // Out and back in before releasing: activates.
  harness.pointer_move(inside);
  harness.pointer_down(inside);
  harness.pointer_move(outside);
  harness.pointer_move(inside);
  harness.pointer_up(inside);
  EXPECT_EQ(cell->get(), panes::index_of(kNetwork));
  EXPECT_EQ(cell->generation(), 1u);
}

TEST_F(RowsFixture, OnlyThePrimaryButtonPresses) {
  const Point inside = centre("Network");
  harness.pointer_move(inside);
  harness.pointer_down(inside, kalu_ui::PointerButton::Secondary);
  harness.pointer_up(inside, kalu_ui::PointerButton::Secondary);
  EXPECT_FALSE(row("Network").pressed());
  EXPECT_EQ(cell->generation(), 0u);
}

TEST_F(RowsFixture, EnterAndSpaceActivateOnlyTheFocusedRow) {
  harness.key(Key::Enter);
  EXPECT_EQ(cell->generation(), 0u);

  harness.driver().set_focus(&row("Bluetooth"));
  harness.key(Key::Enter);
  EXPECT_EQ(cell->get(), panes::index_of(kBluetooth));  // the selected pane, published again
  EXPECT_EQ(cell->generation(), 1u);
  harness.key(Key::Space);
  EXPECT_EQ(cell->generation(), 2u);
  harness.key(Key::A);
  harness.send(kalu_ui::KeyDown{Key::Enter, {}, /*repeat=*/true});
  EXPECT_EQ(cell->generation(), 2u);
}

TEST_F(RowsFixture, RefusedPublicationIsDropped) {
  cell->wake_handle().set_refusing(true);
  harness.click(centre("Network"));
  EXPECT_EQ(cell->get(), 0xFF);
  EXPECT_EQ(cell->generation(), 0u);
}

TEST_F(RowsFixture, ReportsItselfToTheToolkit) {
  SidebarRow& bluetooth = row("Bluetooth");
  EXPECT_EQ(bluetooth.type_name(), "settings::sidebar::SidebarRow");
  EXPECT_EQ(bluetooth.short_type_name(), "SidebarRow");
  EXPECT_EQ(bluetooth.get_state(), "active");
  EXPECT_EQ(row("Network").get_state(), "inactive");
  EXPECT_EQ(bluetooth.cursor_icon_at(10.0, 45.0), 3);
  EXPECT_EQ(bluetooth.cursor_icon_at(10.0, 80.0), std::nullopt);  // the next row's top edge

  EXPECT_TRUE(bluetooth.perform_action(kalu_ui::SemanticAction::activate(), {}));
  EXPECT_EQ(cell->get(), panes::index_of(kBluetooth));
  EXPECT_FALSE(bluetooth.perform_action({kalu_ui::SemanticAction::Kind::Focus, std::nullopt}, {}));
  EXPECT_EQ(cell->generation(), 1u);
}

// 64-bit FNV-1a, written out here so the test does not share the code it checks.
std::uint64_t fnv1a(std::string_view bytes) {
  std::uint64_t hash = 0xcbf29ce484222325ULL;
  for (unsigned char byte : bytes) {
    hash ^= byte;
    hash *= 0x100000001b3ULL;
  }
  return hash;
}

TEST_F(RowsFixture, AccessibilityNodeCarriesTheOpenAddress) {
  harness.driver().set_focus(&row("Bluetooth"));
  const auto node = row("Bluetooth").accessibility();
  ASSERT_TRUE(node.has_value());
  EXPECT_EQ(node->role, 20);
  EXPECT_EQ(node->label, "Bluetooth");
  EXPECT_EQ(node->action_address, "settings.section:bluetooth#open");
  EXPECT_EQ(node->id, node->action_address);
  EXPECT_EQ(node->numeric_id, fnv1a("settings.section:bluetooth#open\xFF"));
  EXPECT_TRUE(node->focused);
  EXPECT_TRUE(node->focusable);
  EXPECT_TRUE(node->selected);
  EXPECT_EQ(node->toggled, true);
  EXPECT_TRUE(node->description.empty());

  const auto other = row("Network").accessibility();
  EXPECT_FALSE(other->focused);
  EXPECT_FALSE(other->selected);
  EXPECT_EQ(other->toggled, false);
}

TEST_F(RowsFixture, DrawsIconAndTitleAtTheirOffsets) {
  const kalu_ui::Rect rect = row("Network").get_rect();
  const auto titles = harness.scene().find_text("Network");
  ASSERT_EQ(titles.size(), 1u);
  const kalu_ui::Rect title = kalu_ui::Scene::bounds(kalu_ui::SceneCmd{*titles[0]});
  EXPECT_DOUBLE_EQ(title.x0, rect.x0 + 52.0);
  // Vertically centred in the row.
  EXPECT_NEAR(title.y0 - rect.y0, rect.y1 - title.y1, 1e-9);
}

// The pressed tile shrinks about its centre; the focus ring stays unscaled.
TEST_F(RowsFixture, PressedTileScalesAboutItsCentre) {
  const kalu_ui::Rect rect = row("Network").get_rect();
  const kalu_ui::Rect tile{rect.x0 + 8.0, rect.y0 + 4.0, rect.x1 - 8.0, rect.y1 - 4.0};
  const auto tier = kalu_ui::chrome::shell::selection_tier(harness.driver().theme(), 0, 1, 1);
  if (std::abs(tier.scale - 1.0) <= 1e-12) GTEST_SKIP() << "the theme does not scale pressed tiles";

  harness.pointer_move(tile.center());
  harness.pointer_down(tile.center());
  harness.driver().invalidate();
  harness.frame();
  bool saw_scaled_fill = false;
  bool saw_focus_ring = false;
  for (const auto& cmd : harness.scene().commands()) {
    if (const auto* fill = std::get_if<kalu_ui::FillCmd>(&cmd)) {
      const auto* shape = std::get_if<kalu_ui::RoundedRect>(&fill->shape);
      if (!shape || shape->rect != tile) continue;
      saw_scaled_fill = true;
      EXPECT_NEAR((fill->transform * tile.center()).x, tile.center().x, 1e-9);
      EXPECT_NEAR(fill->transform.m[0], tier.scale, 1e-12);
    }
    const auto* stroke = std::get_if<kalu_ui::StrokeCmd>(&cmd);
    const auto* outline = stroke ? std::get_if<kalu_ui::RoundedRect>(&stroke->shape) : nullptr;
    if (outline && outline->rect == tile && stroke->style.width == 2.0) {
      saw_focus_ring = true;
      EXPECT_EQ(stroke->transform, kalu_ui::Affine::identity());
    }
  }
  EXPECT_TRUE(saw_scaled_fill);
  EXPECT_TRUE(saw_focus_ring);
}

}  // namespace
}  // namespace settings::sidebar
