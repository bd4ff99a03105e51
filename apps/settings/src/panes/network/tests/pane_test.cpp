// The pane's sync through the headless harness on scripted services: the
// password road with the person's certified devices, the first frame's
// seeding, its requests, the chooser, worker failures and the layout.

#include <fmt/format.h>
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "actions/doc_readers.h"
#include "kalu_ui/log.h"
#include "operations/keys.h"
#include "pane_fixture.h"
#include "panes/network/network_pane.h"
#include "sim_device/state.h"

namespace settings::panes::network {
namespace {

namespace doc = kalu_ui::doc;
using operations::OperationCompletion;
using testing::Fakes;
using testing::PaneFixture;

constexpr const char* kHarbour = "Harbour Net 2.4";
constexpr const char* kTyped = "tide-and-rope-77";

Fakes harbour_fakes() {
  Fakes f;
  // A secured network that reports share mode 1 (byte 2).
  f.backend->wifi =
      std::vector<net::WifiNetwork>{{"Lindenhof", true, 1, 3}, {kHarbour, true, 2, 2}};
  return f;
}

TEST(NetworkPaneTest, LookupThenTypedPasswordJoinsAndSealsIt) {
  PaneFixture t(harbour_fakes());
  t.harness.frames(2);
  ASSERT_TRUE(t.harness.click_id(fmt::format("settings.network.connect.{}", kHarbour)));
  t.harness.frames(3);
  // Nothing sealed yet: the password row opens.
  EXPECT_EQ(t.pane->view().expanded, kHarbour);
  EXPECT_EQ(t.pane->view().status, fmt::format("Enter the password for {}.", kHarbour));
  EXPECT_EQ(t.harness.document().read_str(doc::kRoot, "network.expanded"), kHarbour);
  const std::string field = fmt::format("settings.network.password.{}", kHarbour);
  ASSERT_TRUE(t.harness.click_id(field));
  t.harness.type_text(kTyped);
  EXPECT_EQ(t.pane->secrets().find_network_password(kHarbour)->lock().view(), kTyped);

  ASSERT_TRUE(t.harness.click_id(fmt::format("settings.network.join.{}", kHarbour)));
  t.harness.frames(3);
  EXPECT_EQ(t.pane->view().status,
            fmt::format("Connected to {}. Password sealed for your certified devices.", kHarbour));
  EXPECT_EQ(t.pane->view().expanded, std::nullopt);
  EXPECT_TRUE(t.pane->view().connects_in_flight.empty());

  const auto& seen = t.fakes.continuity->seen;
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0].kind, "lookup");
  EXPECT_EQ(seen[1].kind, "seal");
  EXPECT_EQ(seen[1].mode, 1);
  EXPECT_EQ(seen[1].passphrase, kTyped);
  ASSERT_EQ(t.fakes.dispatcher->connects.size(), 1u);
  EXPECT_EQ(t.fakes.dispatcher->connects[0].password, kTyped);

  // Every buffer is empty and the password went nowhere else.
  EXPECT_TRUE(t.pane->secrets().all_empty());
  EXPECT_EQ(testing::document_dump(t.harness.document()).find(kTyped), std::string::npos);
  EXPECT_EQ(testing::outward_texts(t.harness.root(), t.harness.document()).find(kTyped),
            std::string::npos);
}

// The whole road on the simulated device: the home network's password was
// sealed (mode 0, which its state byte 1 selects) by another of the person's
// devices, so Connect joins with it.
TEST(NetworkPaneTest, OnTheSimulatedDeviceConnectUsesTheSealedPassword) {
  sim_device::ScopedDeviceState device;
  ASSERT_TRUE(sim_device::update("", [](sim_device::Json& state) -> kalu_ui::Status {
    // The device forgot the network, so only the sealed password can join it.
    state["network"]["profiles"].erase(0);
    return {};
  }));
  NetworkPane::Services services = NetworkPane::Services::system();
  services.threads = testing::inline_threads();
  kalu_ui::harness::Harness h(kalu_ui::widget::boxed(NetworkPane(services)), testing::tall());
  auto* pane = static_cast<NetworkPane*>(&h.root());
  h.frames(2);
  ASSERT_TRUE(h.click_id("settings.network.connect.Lindenhof"));
  h.frames(3);
  EXPECT_EQ(pane->view().status,
            "Connected to Lindenhof. Used the sealed password from your certified devices.");
  // The join saved a profile for the network again.
  ASSERT_EQ(pane->snapshot().profiles_of(kWifiProfileType).size(), 1u);
  EXPECT_EQ(pane->snapshot().profiles_of(kWifiProfileType)[0]->name, "Lindenhof");
}

constexpr const char* kSeededWiredProfile = "0b8e5d3c-2f6a-4c19-8e7b-5a4d3c2b1a09";

// Frames until `done` holds (at most ten seconds, against a hang).
template <typename Done>
bool frames_until(kalu_ui::harness::Harness& h, Done done) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    h.frame();
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

// Changes made outside the application (as simdev makes them) reach the
// page without Refresh: the switches, the VPNs, the wired link's address
// and the fields of the profile the device changed.
TEST(NetworkPaneTest, OnTheSimulatedDeviceThePageFollowsOutsideChanges) {
  sim_device::ScopedDeviceState device;
  NetworkPane::Services services = NetworkPane::Services::system();
  services.threads = testing::inline_threads();
  kalu_ui::harness::Harness h(kalu_ui::widget::boxed(NetworkPane(services)), testing::tall());
  auto* pane = static_cast<NetworkPane*>(&h.root());
  h.frames(2);
  ASSERT_EQ(h.document().read_bool(doc::kRoot, "network.wifi_enabled"), true);
  ASSERT_TRUE(sim_device::update("", [](sim_device::Json& state) -> kalu_ui::Status {
    auto& net = state["network"];
    net["wifi_enabled"] = false;
    net["vpn"][0]["active"] = true;
    net["wired"]["ipv4"] = "10.1.2.3/24";
    net["profiles"][1]["ipv4"]["addresses"] = sim_device::Json::array({"10.1.2.3/24"});
    return {};
  }));
  ASSERT_TRUE(frames_until(h, [&] { return pane->snapshot().wired.ipv4 == "10.1.2.3/24"; }));
  h.frame();
  EXPECT_FALSE(pane->snapshot().wifi_enabled);
  EXPECT_EQ(h.document().read_bool(doc::kRoot, "network.wifi_enabled"), false);
  EXPECT_EQ(h.document().read_bool(doc::kRoot, "network.vpn.Office VPN"), true);
  EXPECT_EQ(actions::read_doc_text(h.document(), doc::kRoot,
                                   fmt::format("network.ipv4.{}.address", kSeededWiredProfile)),
            "10.1.2.3/24");
  EXPECT_TRUE(testing::has_text(h.root(), "10.1.2.3/24"));
  EXPECT_TRUE(testing::has_text(h.root(), "Wi-Fi is off"));
}

// After "Applied IP settings ..." the wired row shows what the device now
// holds, without any notice of the change.
TEST(NetworkPaneTest, OnTheSimulatedDeviceAppliedIpSettingsShowInTheWiredRow) {
  sim_device::ScopedDeviceState device;
  NetworkPane::Services services = NetworkPane::Services::system();
  services.threads = testing::inline_threads();
  services.device_changed = nullptr;
  kalu_ui::harness::Harness h(kalu_ui::widget::boxed(NetworkPane(services)), testing::tall());
  auto* pane = static_cast<NetworkPane*>(&h.root());
  h.frames(2);
  ASSERT_TRUE(testing::has_text(h.root(), "192.168.1.42/24"));
  const std::string id = kSeededWiredProfile;
  (void)h.document().put(doc::kRoot, fmt::format("network.ipv4.{}.address", id),
                         doc::Scalar(std::string("10.0.0.7/24")));
  (void)h.document().put(doc::kRoot, fmt::format("network.ipv4.{}.apply", id), doc::Scalar(true));
  h.frames(2);
  EXPECT_EQ(pane->view().status, "Applied IP settings to Wired connection 1.");
  EXPECT_EQ(pane->snapshot().wired.ipv4, "10.0.0.7/24");
  EXPECT_TRUE(testing::has_text(h.root(), "10.0.0.7/24"));
  EXPECT_FALSE(testing::has_text(h.root(), "192.168.1.42/24"));
}

TEST(NetworkPaneTest, SecuredConnectPressesWhileTheRowIsOpenCloseItAndDuplicatesStartNothing) {
  Fakes f = harbour_fakes();
  // The worker never starts: its job stays in flight.
  f.threads = [](std::move_only_function<void()>) -> kalu_ui::Status { return {}; };
  PaneFixture t(std::move(f));
  t.harness.frame();
  t.pane->start_wifi_connect(kHarbour, 2, std::nullopt, true);
  t.pane->start_wifi_connect(kHarbour, 2, SecretText::copy_of("x"), false);
  EXPECT_EQ(t.pane->view().connects_in_flight.size(), 1u);
  EXPECT_EQ(t.pane->view().status, fmt::format("Connecting to {}…", kHarbour));

  t.pane->set_expanded(t.harness.document(), std::string("Lindenhof"));
  t.harness.frames(2);
  t.pane->secrets().network_password("Lindenhof")->lock().assign("half-typed");
  ASSERT_TRUE(t.harness.click_id("settings.network.connect.Lindenhof"));  // reads "Cancel"
  t.harness.frames(3);
  EXPECT_EQ(t.pane->view().expanded, std::nullopt);
  EXPECT_TRUE(t.pane->secrets().find_network_password("Lindenhof")->empty());
}

TEST(NetworkPaneTest, FirstFrameWritesTheDeviceOverStaleDocumentValues) {
  Fakes f;
  f.backend->radios = net::RadioState{false, true, true, false};
  PaneFixture t(std::move(f));
  // Left by an earlier page: every one of these is stale.
  auto& d = t.harness.document();
  (void)d.put(doc::kRoot, "network.wifi_enabled", doc::Scalar(false));
  (void)d.put(doc::kRoot, "network.wired_enabled", doc::Scalar(false));
  (void)d.put(doc::kRoot, "network.airplane_mode", doc::Scalar(true));
  (void)d.put(doc::kRoot, "network.mobile_broadband", doc::Scalar(false));
  (void)d.put(doc::kRoot, "network.vpn.Office VPN", doc::Scalar(true));
  (void)d.put(doc::kRoot, "network.profile.autoconnect.wifi-1111-aaaa", doc::Scalar(false));
  (void)d.put(doc::kRoot, "network.profile.metered.wired-2222-bbbb", doc::Scalar("Metered"));
  t.harness.frame();
  EXPECT_TRUE(t.pane->applied_wifi());
  const std::pair<const char*, bool> bools[] = {
      {"network.wifi_enabled", true},
      {"network.wired_enabled", true},
      {"network.airplane_mode", false},
      {"network.mobile_broadband", true},
      {"network.hotspot", false},
      {"network.vpn.Office VPN", false},
      {"network.vpn.morlit.Office VPN", false},
      {"network.profile.autoconnect.wifi-1111-aaaa", true},
      {"network.ipv4.wired-2222-bbbb.automatic", false},
      {"network.hotspot.qr", false}};
  for (const auto& [key, value] : bools) EXPECT_EQ(d.read_bool(doc::kRoot, key), value) << key;
  const std::pair<const char*, const char*> texts[] = {
      {"network.profile.metered.wired-2222-bbbb", "Unmetered"},
      {"network.profile.mac.wifi-1111-aaaa", "Stable per network"},
      {"network.profile.proxy.wifi-1111-aaaa", ""},
      {"network.ipv4.wired-2222-bbbb.address", "192.168.1.42/24"},
      {"network.ipv4.wired-2222-bbbb.gateway", "192.168.1.1"},
      {"network.ipv4.wired-2222-bbbb.dns", "192.168.1.1, 9.9.9.9"},
      {"network.advanced.profile", "Lindenhof · wifi-111"},
      {"network.ipv4.profile", "Wired connection 1 · wired-22"},
      {"network.hotspot.ssid", "Kalu Hotspot"},
      {"network.hotspot.band", "Automatic"},
      {"network.enterprise.method", "PEAP"},
      {"network.enterprise.phase2", "MSCHAPv2"},
      {"network.mobile.sim", "SIM 1"},
      {"network.enterprise.ca", ""},
      {"network.expanded", ""}};
  for (const auto& [key, value] : texts) EXPECT_EQ(d.read_text(doc::kRoot, key), value) << key;
}

TEST(NetworkPaneTest, TakesOnlyItsOwnRequests) {
  PaneFixture t(Fakes{}, /*hosted=*/true);
  t.harness.frame();
  // Another pane's request stays in the cell.
  operations::DeviceLocalRequest other(std::in_place_type<operations::BluetoothOperation>,
                                       operations::BluetoothOperation::StartScan{});
  t.requests->publish(other);
  t.harness.frame();
  EXPECT_EQ(t.requests->get(), other);

  const NetworkOperation operation = NetworkOperation::SetWifiEnabled{false};
  const std::string key = operations::operation_key("settings.network-operation", operation);
  t.requests->publish(
      operations::DeviceLocalRequest(std::in_place_type<NetworkOperation>, operation));
  t.completion->publish(OperationCompletion::Pending{key});
  t.harness.frame();
  EXPECT_TRUE(t.requests->get().empty());
  EXPECT_EQ(t.completion->get(),
            OperationCompletion(OperationCompletion::Succeeded{key, "Wi-Fi disabled."}));
  // The hosted pane keeps its values in a document of its own.
  EXPECT_TRUE(t.harness.document().keys(doc::kRoot).empty());
  EXPECT_EQ(t.pane->link().own_document().read_bool(doc::kRoot, "network.wifi_enabled"), false);
}

TEST(NetworkPaneTest, ReportingGatesOnThePendingKey) {
  PaneFixture hosted(Fakes{}, true);
  const NetworkOperation on = NetworkOperation::SetWifiEnabled{true};
  const NetworkOperation off = NetworkOperation::SetWifiEnabled{false};
  EXPECT_FALSE(hosted.pane->link().may_apply(on));
  hosted.completion->publish(
      OperationCompletion::Pending{operations::operation_key("settings.network-operation", on)});
  EXPECT_TRUE(hosted.pane->link().may_apply(on));
  EXPECT_FALSE(hosted.pane->link().may_apply(off));
  hosted.pane->link().complete(off, std::string("Wi-Fi disabled."));  // not pending: dropped
  EXPECT_EQ(hosted.completion->get().tag(), 1);
  hosted.pane->link().complete(on, std::string("Wi-Fi enabled."));
  EXPECT_EQ(hosted.completion->get(),
            OperationCompletion(OperationCompletion::Succeeded{
                operations::operation_key("settings.network-operation", on), "Wi-Fi enabled."}));

  // Built alone: everything may go ahead, nothing is ever taken or reported.
  PaneFixture alone;
  EXPECT_TRUE(alone.pane->link().may_apply(off));
  EXPECT_FALSE(alone.pane->link().hosted() || alone.pane->link().reporting());
}

TEST(NetworkPaneTest, WorkerFailuresReachTheStatusAndTheLog) {
  Fakes f;
  f.threads = testing::no_threads();
  PaneFixture t(std::move(f));
  t.harness.frame();
  kalu_ui::log::ScopedCapture log;
  t.pane->start_wifi_connect("Lindenhof", 1, std::nullopt, true);
  t.harness.frame();
  EXPECT_EQ(t.pane->view().status,
            "Could not configure Lindenhof: the worker thread could not be started: Resource "
            "temporarily unavailable");
  EXPECT_TRUE(t.pane->view().connects_in_flight.empty());
  const auto events = log.events();
  ASSERT_EQ(events.size(), 1u);
  const auto& event = events[0];
  EXPECT_EQ(event.target, "kalu::settings");
  EXPECT_EQ(event.module, "settings::panes::network");
  EXPECT_EQ(event.message, "network pane operation failed");
  EXPECT_EQ(*event.field("op"), "network_job");
}

TEST(NetworkPaneTest, ChooserAnswersSetTheCertificatePathOrTheStatus) {
  struct Case {
    kalu_ui::Result<std::optional<std::filesystem::path>> answer;
    std::string ca;
    std::optional<std::string> status;
  };
  const Case cases[] = {
      {std::optional<std::filesystem::path>("/etc/ssl/org-ca.pem"), "/etc/ssl/org-ca.pem",
       "CA certificate selected."},
      {std::optional<std::filesystem::path>(), "", std::nullopt},
      {kalu_ui::fail("portal went away"), "", "Could not choose certificate: portal went away"},
  };
  for (const auto& c : cases) {
    Fakes f;
    f.backend->chosen = c.answer;
    PaneFixture t(std::move(f));
    t.harness.frame();
    t.pane->open_certificate_chooser();
    EXPECT_TRUE(t.pane->chooser_open());
    t.pane->open_certificate_chooser();  // one at a time
    t.harness.frame();
    EXPECT_FALSE(t.pane->chooser_open());
    EXPECT_EQ(t.fakes.backend->choosers.load(), 1);
    EXPECT_EQ(t.fakes.backend->last_chooser_title, "Choose organization CA certificate");
    EXPECT_EQ(t.harness.document().read_text(doc::kRoot, "network.enterprise.ca"), c.ca);
    EXPECT_EQ(t.pane->view().status, c.status);
  }
}

TEST(NetworkPaneTest, ARefusedLayoutNodeLeavesThePageEmptyWithAWarning) {
  Fakes f;
  auto pane = f.pane();
  kalu_ui::layout::NodeRegistry registry;
  const kalu_ui::RenderContext context{1.0, 14.0f};
  kalu_ui::layout::LayoutTree roomy;
  ASSERT_TRUE(pane.build_layout(roomy, context, registry).is_valid());
  // Room for the page's nodes and not one more.
  kalu_ui::layout::LayoutTree full(roomy.size() - 1);
  registry.clear();
  kalu_ui::log::ScopedCapture log;
  EXPECT_FALSE(pane.build_layout(full, context, registry).is_valid());
  EXPECT_TRUE(pane.children().empty());
  ASSERT_EQ(log.events().size(), 1u);
  EXPECT_EQ(log.events()[0].message, "page layout refused");
  EXPECT_EQ(*log.events()[0].field("op"), "build_layout");
  EXPECT_EQ(*log.events()[0].field("pane"), "NetworkPane");
  // The next build with room shows the page again.
  registry.clear();
  kalu_ui::layout::LayoutTree again;
  EXPECT_TRUE(pane.build_layout(again, context, registry).is_valid());
  EXPECT_EQ(pane.children().size(), 1u);
}

}  // namespace
}  // namespace settings::panes::network
