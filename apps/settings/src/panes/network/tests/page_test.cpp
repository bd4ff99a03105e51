// The page's cards built from scripted device states, through the harness.

#include "panes/network/page.h"

#include <gtest/gtest.h>

#include "kalu_ui/widget/button.h"
#include "kalu_ui/widget/dropdown.h"
#include "kalu_ui/widget/qr.h"
#include "kalu_ui/widget/text_input.h"
#include "kalu_ui/widget/toggle.h"
#include "pane_fixture.h"

namespace settings::panes::network {
namespace {

namespace doc = kalu_ui::doc;
using testing::Fakes;
using testing::PaneFixture;

TEST(NetworkPageTest, TenCardsInOrderOnTheSeededDevice) {
  PaneFixture t;
  t.harness.frames(2);
  EXPECT_EQ(testing::card_titles(t.harness.root()),
            (std::vector<std::string>{"Internet access", "Wi-Fi", "Enterprise Wi-Fi", "Wired",
                                      "Connection profiles", "Connection diagnostics", "VPN",
                                      "Airplane mode", "Wi-Fi hotspot", "Mobile broadband"}));
  auto& root = t.harness.root();
  EXPECT_TRUE(testing::has_text(root, "Connected to Lindenhof"));
  EXPECT_TRUE(testing::has_text(root, "Connected · Wired connection 1"));
  EXPECT_TRUE(testing::has_text(root, "enp3s0"));
  EXPECT_TRUE(testing::has_text(root, "Office VPN"));
  EXPECT_TRUE(testing::has_text(root, "\U000F0925  \U000F033E  Lindenhof"));
  EXPECT_TRUE(testing::has_text(root, "\U000F091F  \U000F033F  Cafe Guest"));
  // The toggles show the document's values.
  auto* wifi = dynamic_cast<kalu_ui::widget::Toggle*>(t.harness.find("settings.network.wifi"));
  ASSERT_NE(wifi, nullptr);
  EXPECT_TRUE(wifi->value());
  // Only one wired profile: no picker; its IPv4 editor is there.
  EXPECT_EQ(t.harness.find("network.ipv4.profile"), nullptr);
  EXPECT_NE(t.harness.find("network.ipv4.address"), nullptr);
  EXPECT_NE(t.harness.find("settings.network.ipv4.apply"), nullptr);
}

TEST(NetworkPageTest, WifiToggleFlipsThroughTheNetworkSectionsAction) {
  PaneFixture t;
  t.harness.frames(2);
  auto* wifi = dynamic_cast<kalu_ui::widget::Toggle*>(t.harness.find("settings.network.wifi"));
  ASSERT_NE(wifi, nullptr);
  ASSERT_TRUE(wifi->binding().has_value());
  EXPECT_EQ(wifi->binding()->resource_id, "settings.section:network");
  EXPECT_EQ(wifi->binding()->action, "wifi");
  wifi->flip();
  const auto invocation = wifi->take_control_invocation();
  ASSERT_TRUE(invocation.has_value());
  EXPECT_EQ(invocation->action, "wifi");
  EXPECT_EQ(invocation->arguments_json, R"({"value":false})");
}

TEST(NetworkPageTest, WifiOffShowsNoNetworkRows) {
  Fakes f;
  f.backend->wifi_on = false;
  PaneFixture t(std::move(f));
  t.harness.frame();
  EXPECT_TRUE(testing::has_text(t.harness.root(), "Wi-Fi is off"));
  EXPECT_EQ(t.harness.find("settings.network.connect.Lindenhof"), nullptr);
  EXPECT_NE(t.harness.find("settings.network.refresh"), nullptr);
}

TEST(NetworkPageTest, CaptivePortalButtonOnlyWhenSignInIsRequired) {
  for (std::uint8_t state = 0; state <= 4; ++state) {
    Fakes f;
    f.backend->connectivity = state;
    PaneFixture t(std::move(f));
    t.harness.frame();
    EXPECT_EQ(t.harness.find("settings.network.captive-portal") != nullptr, state == 2) << +state;
    EXPECT_TRUE(testing::has_text(t.harness.root(), connectivity_label(state)));
  }
}

TEST(NetworkPageTest, SsidsWithSpacesAndDotsGoIntoBothIdsUnchanged) {
  Fakes f;
  f.backend->wifi = std::vector<net::WifiNetwork>{{"My Cafe 2.4 GHz.", false, 0, 7}};
  PaneFixture t(std::move(f));
  t.harness.frame();
  ASSERT_NE(t.harness.find("settings.network.connect.My Cafe 2.4 GHz."), nullptr);
  EXPECT_TRUE(testing::has_text(t.harness.root(), "\U000F0928  \U000F033F  My Cafe 2.4 GHz."));
  ASSERT_TRUE(t.harness.click_id("settings.network.connect.My Cafe 2.4 GHz."));
  t.harness.frames(3);
  // The press reached the pane under "network.connect.{}": an open network
  // joins at once without a password.
  EXPECT_EQ(t.harness.document().read_bool(doc::kRoot, "network.connect.My Cafe 2.4 GHz."), false);
  ASSERT_EQ(t.fakes.dispatcher->connects.size(), 1u);
  EXPECT_EQ(t.fakes.dispatcher->connects[0].ssid, "My Cafe 2.4 GHz.");
  EXPECT_TRUE(t.fakes.continuity->seen.empty());
}

TEST(NetworkPageTest, BareDeviceCards) {
  Fakes f;
  f.backend->wifi_on = false;
  f.backend->wired = std::optional<net::WiredState>();
  f.backend->vpns = std::vector<net::VpnConnection>{};
  f.backend->radios = net::RadioState{};
  f.backend->sims = kalu_ui::fail("no modem");
  f.backend->profiles = std::vector<net::NetworkProfile>{};
  PaneFixture t(std::move(f));
  t.harness.frame();
  auto& root = t.harness.root();
  // No wired device: no toggle, only the cable line.
  EXPECT_EQ(t.harness.find("settings.network.wired"), nullptr);
  EXPECT_TRUE(testing::has_text(root, "Not connected"));
  EXPECT_TRUE(testing::has_text(root, "Plug in an Ethernet cable to use a wired connection."));
  EXPECT_TRUE(testing::has_text(root, "No saved Wi-Fi networks."));
  EXPECT_NE(t.harness.find("settings.network.vpn.morlit.open"), nullptr);
  const auto titles = testing::card_titles(root);
  EXPECT_EQ(titles.size(), 9u);
  EXPECT_EQ(titles.back(), "Wi-Fi hotspot");
}

TEST(NetworkPageTest, EditorsOpenWithTheirProfilesAndLabels) {
  Fakes f;
  f.backend->profiles->push_back({"wired-3333-cccc", "Dock", "802-3-ethernet", false});
  f.backend->profiles->push_back({"wifi-4444-dddd", "Harbour", "802-11-wireless", false});
  PaneFixture t(std::move(f));
  t.harness.frame();
  // Two wired profiles: the picker offers both, the selected one first.
  auto* picker = dynamic_cast<kalu_ui::widget::Dropdown*>(t.harness.find("network.ipv4.profile"));
  ASSERT_NE(picker, nullptr);
  EXPECT_EQ(picker->options(),
            (std::vector<std::string>{"Wired connection 1 · wired-22", "Dock · wired-33"}));
  // The policy editor and the enterprise editor are closed until asked for.
  EXPECT_EQ(t.harness.find("network.advanced.profile"), nullptr);
  EXPECT_EQ(t.harness.find("network.enterprise.password"), nullptr);
  EXPECT_TRUE(testing::has_text(t.harness.root(), "Harbour"));
}

TEST(NetworkPageTest, QrCodeOnlyForAValidDraftAndItTellsNothingButItsName) {
  PaneFixture t;
  t.harness.frame();
  ASSERT_TRUE(t.harness.click_id("network.hotspot.password"));
  t.harness.type_text("short");
  ASSERT_TRUE(t.harness.click_id("settings.network.hotspot.qr"));
  t.harness.frames(3);
  EXPECT_FALSE(t.pane->view().qr_shown);
  EXPECT_EQ(t.harness.find("qr_widget"), nullptr);
  ASSERT_TRUE(t.pane->view().status.has_value());
  EXPECT_NE(t.pane->view().status->find("8"), std::string::npos) << *t.pane->view().status;

  ASSERT_TRUE(t.harness.click_id("network.hotspot.password"));
  t.harness.type_text("-and-longer");
  ASSERT_TRUE(t.harness.click_id("settings.network.hotspot.qr"));
  t.harness.frames(3);
  EXPECT_TRUE(t.pane->view().qr_shown);
  auto* qr = dynamic_cast<kalu_ui::widget::QrWidget*>(t.harness.find("qr_widget"));
  ASSERT_NE(qr, nullptr);
  EXPECT_GT(qr->width(), 0);
  EXPECT_EQ(qr->accessibility()->label, "QR code");
  EXPECT_TRUE(testing::has_text(t.harness.root(),
                                "Scan to join. The QR code contains the hotspot password."));
  const std::string outward = testing::outward_texts(t.harness.root(), t.harness.document());
  EXPECT_EQ(outward.find("short-and-longer"), std::string::npos);
  EXPECT_EQ(testing::document_dump(t.harness.document()).find("short"), std::string::npos);
  // The label flips; pressing again hides the code.
  auto* button =
      dynamic_cast<kalu_ui::widget::Button*>(t.harness.find("settings.network.hotspot.qr"));
  ASSERT_NE(button, nullptr);
  EXPECT_EQ(button->label(), "Hide QR");
}

TEST(NetworkPageTest, SecretFieldsEditTheirBuffersAndCreateMissingOnes) {
  SecretFields secrets;
  EXPECT_EQ(secrets.field_count(), 2u);
  auto field = secret_field(secrets, "__other", "network.other", "Secret");
  EXPECT_EQ(secrets.field_count(), 3u);
  auto& input = dynamic_cast<kalu_ui::widget::TextInput&>(*field);
  EXPECT_TRUE(input.is_secret());
  EXPECT_EQ(input.id(), "network.other");
  input.insert("1234");
  EXPECT_EQ(secrets.find_field("__other")->lock().view(), "1234");
  EXPECT_EQ(secrets.take_field("__other").view(), "1234");
  EXPECT_TRUE(secrets.all_empty());
}

// The Wi-Fi rows' signal and lock glyphs drawn large, for a person to check
// that each is the toolkit's icon and no font's missing-glyph box.
TEST(NetworkPageTest, WifiRowGlyphsRenderedLarge) {
  Fakes f;
  f.backend->wifi = std::vector<net::WifiNetwork>{{"Signal 0 secured", true, 0, 0},
                                                  {"Signal 1 open", false, 0, 1},
                                                  {"Signal 2 secured", true, 0, 2},
                                                  {"Signal 3 open", false, 0, 3},
                                                  {"Signal unknown", true, 0, 9}};
  kalu_ui::harness::Harness h(kalu_ui::widget::boxed(f.pane()),
                              kalu_ui::harness::Options::sized({520.0, 520.0}, 3.0));
  h.frames(2);
  EXPECT_TRUE(h.render_png(std::string(SETTINGS_NETWORK_ARTIFACTS) + "/wifi-rows@3x.png"));
}

}  // namespace
}  // namespace settings::panes::network
