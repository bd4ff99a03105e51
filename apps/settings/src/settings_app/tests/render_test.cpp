// The window as the person first sees it, rendered headless and kept as PNG.

#include <gtest/gtest.h>

#include <string>

#include "app_fixture.h"
#include "kalu_ui/frame.h"
#include "kalu_ui/widget/text.h"

namespace settings::settings_app {
namespace {

using testing::AppFixture;

// The first text of the page whose words are `text`.
const kalu_ui::Widget* text_in(kalu_ui::Widget& root, std::string_view text) {
  const auto found = kalu_ui::frame::collect(root, [&](const kalu_ui::Widget& w) {
    const auto* t = dynamic_cast<const kalu_ui::widget::Text*>(&w);
    return t && t->text() == text;
  });
  return found.empty() ? nullptr : found.front();
}

TEST(RenderTest, NetworkPageBesideTheGroupedSidebar) {
  AppFixture t;
  t.harness.frame();
  const kalu_ui::Rect search = *t.harness.rect_of(kSearchFieldId);
  EXPECT_LT(search.x1, kNavWidth);

  // The header stands in the content, inside the page padding, in order.
  const kalu_ui::Widget* kicker = text_in(t.harness.root(), "SETTINGS");
  const kalu_ui::Widget* title = text_in(t.harness.root(), "Network");
  const kalu_ui::Widget* subtitle = text_in(t.harness.root(), "Wi-Fi, wired connections, and VPN");
  ASSERT_TRUE(kicker && title && subtitle);
  EXPECT_EQ(kicker->get_rect().x0, kNavWidth + 24.0);
  EXPECT_EQ(kicker->get_rect().y0, 24.0);
  EXPECT_LT(kicker->get_rect().y1, title->get_rect().y0);
  EXPECT_LT(title->get_rect().y1, subtitle->get_rect().y0);
  // Every group header is in the sidebar.
  for (const char* group :
       {"CONNECTIVITY", "DEVICES", "SYSTEM", "ACCOUNTS & PERMISSIONS", "MAINTENANCE"}) {
    const kalu_ui::Widget* header = text_in(t.harness.root(), group);
    ASSERT_NE(header, nullptr) << group;
    EXPECT_LT(header->get_rect().x1, kNavWidth);
  }

  const auto image = t.harness.render();
  ASSERT_TRUE(image.has_value());
  EXPECT_EQ(image->width(), 1280);
  EXPECT_EQ(image->height(), 800);
  // The sidebar's fill differs from the content's background.
  EXPECT_NE(image->pixel(132, 780), image->pixel(1240, 780));
  EXPECT_TRUE(t.harness.render_png(std::string(SETTINGS_APP_ARTIFACTS) + "/network.png"));
}

}  // namespace
}  // namespace settings::settings_app
