// The Network page in the application frame at 1280 by 800, rendered headless
// and kept as PNG for people to look at: the seeded simulated device with its
// hotspot on and the join code shown, and a bare device.

#include <gtest/gtest.h>

#include <string>

#include "app_fixture.h"
#include "kalu_ui/frame.h"
#include "kalu_ui/widget/qr.h"
#include "kalu_ui/widget/text.h"
#include "panes/network/network_pane.h"
#include "panes/network/tests/fakes.h"
#include "sim_device/state.h"

namespace settings::settings_app {
namespace {

using testing::AppFixture;
using testing::TempDir;
namespace network = panes::network;

std::string artifact(std::string_view name) {
  return std::string(SETTINGS_APP_ARTIFACTS) + "/" + std::string(name);
}

bool shows(kalu_ui::Widget& root, std::string_view text) {
  return !kalu_ui::frame::collect(root, [&](const kalu_ui::Widget& w) {
            const auto* t = dynamic_cast<const kalu_ui::widget::Text*>(&w);
            return t && t->text() == text;
          }).empty();
}

// Scrolls the page until the widget with `id` stands near the top.
void scroll_to(kalu_ui::harness::Harness& harness, std::string_view id) {
  const auto rect = harness.rect_of(id);
  ASSERT_TRUE(rect.has_value()) << id;
  harness.wheel({900.0, 400.0}, {0.0, rect->y0 - 140.0});
  harness.frames(2);
}

TEST(NetworkRenderTest, SeededDeviceWithTheHotspotsJoinCode) {
  sim_device::ScopedDeviceState device;
  ASSERT_TRUE(sim_device::update("", [](sim_device::Json& state) -> kalu_ui::Status {
    state["network"]["hotspot"]["active"] = true;
    return {};
  }));
  AppFixture t;
  t.harness.frames(3);
  for (const char* text : {"Connected to Lindenhof", "Connected · Wired connection 1", "Office VPN",
                           "Connected to the internet"}) {
    EXPECT_TRUE(shows(t.harness.root(), text)) << text;
  }
  ASSERT_NE(t.harness.find("settings.network.wifi"), nullptr);
  EXPECT_TRUE(t.harness.render_png(artifact("network-seeded.png")));

  scroll_to(t.harness, "settings.network.hotspot");
  ASSERT_TRUE(t.harness.click_id("network.hotspot.password"));
  t.harness.type_text("harbour-lights-9");
  ASSERT_TRUE(t.harness.click_id("settings.network.hotspot.qr"));
  t.harness.frames(3);
  auto* qr = dynamic_cast<kalu_ui::widget::QrWidget*>(t.harness.find("qr_widget"));
  ASSERT_NE(qr, nullptr);
  EXPECT_GT(qr->width(), 0);
  scroll_to(t.harness, "settings.network.hotspot");
  const auto image = t.harness.render();
  ASSERT_TRUE(image.has_value());
  // The code is drawn dark on light inside its square.
  const kalu_ui::Rect code = qr->get_rect();
  ASSERT_GT(code.y1, 0.0);
  ASSERT_LT(code.y0, 800.0);
  EXPECT_TRUE(t.harness.render_png(artifact("network-seeded-hotspot.png")));

  // The whole page at once, for looking it over.
  t.harness.resize({1280.0, 3600.0});
  t.harness.frames(2);
  EXPECT_TRUE(t.harness.render_png(artifact("network-seeded-full.png")));
}

TEST(NetworkRenderTest, BareDeviceAskingForSignIn) {
  network::testing::Fakes fakes;
  fakes.backend->wifi_on = false;
  fakes.backend->wifi = std::vector<system_ops::network::WifiNetwork>{};
  fakes.backend->wired = std::optional<system_ops::network::WiredState>();
  fakes.backend->vpns = std::vector<system_ops::network::VpnConnection>{};
  fakes.backend->radios = system_ops::network::RadioState{};
  fakes.backend->sims = kalu_ui::fail("no modem");
  fakes.backend->connectivity = std::uint8_t{2};
  fakes.backend->profiles = std::vector<system_ops::network::NetworkProfile>{};
  PaneFactory panes = [&](panes::Pane pane, const PaneCells& cells) -> kalu_ui::WidgetBox {
    if (pane != panes::Pane::kNetwork) return build_pane(pane, cells);
    return kalu_ui::widget::boxed(network::NetworkPane(fakes.services())
                                      .with_operation_requests(cells.device_local_request)
                                      .with_operation_completion(cells.operation_completion));
  };
  TempDir root;
  kalu_ui::harness::Harness harness(std::make_unique<SettingsApp>(root.path(), panes));
  harness.frames(3);
  EXPECT_NE(harness.find("settings.network.captive-portal"), nullptr);
  EXPECT_EQ(harness.find("settings.network.wired"), nullptr);
  EXPECT_TRUE(harness.render_png(artifact("network-bare.png")));
  harness.resize({1280.0, 2400.0});
  harness.frames(2);
  EXPECT_TRUE(harness.render_png(artifact("network-bare-full.png")));
}

}  // namespace
}  // namespace settings::settings_app
