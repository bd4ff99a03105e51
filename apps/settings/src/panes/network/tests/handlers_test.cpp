// The pane's handlers on a scripted device: every operation a client can
// send, with the value already in place, a failing system and a vanished
// wired device; the pending-operation gate; switches changed outside the
// application; the Wired toggle's binding; and the page's form presses.

#include <fmt/format.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>

#include "kalu_ui/log.h"
#include "kalu_ui/widget/toggle.h"
#include "operations/keys.h"
#include "pane_fixture.h"
#include "panes/network/network_pane.h"

namespace settings::panes::network {
namespace {

namespace doc = kalu_ui::doc;
using operations::OperationCompletion;
using ::testing::ElementsAre;
using testing::Fakes;
using ::testing::IsEmpty;
using testing::PaneFixture;
using Op = NetworkOperation;

std::string key_of(const Op& op) {
  return operations::operation_key("settings.network-operation", op);
}

OperationCompletion succeeded(const Op& op, std::string text) {
  return OperationCompletion::Succeeded{key_of(op), std::move(text)};
}

OperationCompletion failed(const Op& op, std::string text) {
  return OperationCompletion::Failed{key_of(op), std::move(text)};
}

// The pane as the application hosts it, its first frame run.
struct Hosted {
  explicit Hosted(Fakes fakes = {}) : t(std::move(fakes), /*hosted=*/true) { t.harness.frame(); }

  // Hands `op` over as the executor does and runs one frame.
  OperationCompletion run(const Op& op) {
    t.requests->publish(operations::DeviceLocalRequest(std::in_place_type<Op>, op));
    t.completion->publish(OperationCompletion::Pending{key_of(op)});
    t.harness.frame();
    return t.completion->get();
  }
  std::optional<bool> flag(std::string_view key) {
    return t.pane->link().own_document().read_bool(doc::kRoot, key);
  }
  const std::vector<std::string>& calls() { return t.fakes.dispatcher->calls; }

  PaneFixture t;
};

net::ConnectionDiagnostics some_diagnostics() {
  return net::ConnectionDiagnostics{
      "connected (global)", 4, "wlp2s0", "192.168.1.42/24", "192.168.1.1", {"192.168.1.1"}, {}};
}

struct OperationRow {
  const char* name;
  std::function<void(Fakes&)> setup;
  Op op;
  OperationCompletion want;
  std::vector<std::string> calls;  // the dispatcher's, in order
  std::function<void(Hosted&)> check;
};

// Every operation ends once, in the frame that takes it: carried out, already
// in place, or failed with the previous value written back.
TEST(NetworkHandlersTest, EveryOperationEndsInTheFrameThatTakesIt) {
  const auto none = [](Fakes&) {};
  const auto fault = [](std::string name, std::string text) {
    return [name, text](Fakes& f) { f.dispatcher->faults[name] = text; };
  };
  const std::vector<OperationRow> rows = {
      {"wifi off",
       none,
       Op::SetWifiEnabled{false},
       succeeded(Op::SetWifiEnabled{false}, "Wi-Fi disabled."),
       {"set_wifi(false)"},
       [](Hosted& h) { EXPECT_EQ(h.flag("network.wifi_enabled"), false); }},
      {"wifi already on",
       none,
       Op::SetWifiEnabled{true},
       succeeded(Op::SetWifiEnabled{true}, "Wi-Fi is already enabled."),
       {},
       nullptr},
      {"wifi refused",
       fault("set_wifi", "rfkill says no"),
       Op::SetWifiEnabled{false},
       failed(Op::SetWifiEnabled{false}, "Could not change Wi-Fi power: rfkill says no"),
       {"set_wifi(false)"},
       [](Hosted& h) { EXPECT_EQ(h.flag("network.wifi_enabled"), true); }},
      {"wired off",
       none,
       Op::SetWiredEnabled{false},
       succeeded(Op::SetWiredEnabled{false}, "Wired networking disabled."),
       {"set_wired(false)"},
       [](Hosted& h) { EXPECT_FALSE(h.t.pane->snapshot().wired.enabled); }},
      {"wired already on",
       none,
       Op::SetWiredEnabled{true},
       succeeded(Op::SetWiredEnabled{true}, "Wired networking is already enabled."),
       {},
       nullptr},
      {"wired refused",
       fault("set_wired", "cable fault"),
       Op::SetWiredEnabled{false},
       failed(Op::SetWiredEnabled{false}, "Could not change wired networking: cable fault"),
       {"set_wired(false)"},
       [](Hosted& h) { EXPECT_EQ(h.flag("network.wired_enabled"), true); }},
      {"wired device gone",
       [](Fakes& f) { f.backend->wired = std::optional<net::WiredState>(); },
       Op::SetWiredEnabled{false},
       failed(Op::SetWiredEnabled{false}, "wired networking is unavailable on this device"),
       {},
       nullptr},
      {"airplane on",
       none,
       Op::SetAirplaneMode{true},
       succeeded(Op::SetAirplaneMode{true}, "Airplane mode enabled."),
       {"set_airplane_mode(true)"},
       [](Hosted& h) {
         // The device switched Wi-Fi off with it; nothing switches it back.
         EXPECT_EQ(h.flag("network.airplane_mode"), true);
         EXPECT_EQ(h.flag("network.wifi_enabled"), false);
         h.t.harness.frames(2);
         EXPECT_EQ(h.calls().size(), 1u);
       }},
      {"airplane off",
       [](Fakes& f) { f.backend->radios->airplane_mode = true; },
       Op::SetAirplaneMode{false},
       succeeded(Op::SetAirplaneMode{false}, "Airplane mode disabled."),
       {"set_airplane_mode(false)"},
       [](Hosted& h) { EXPECT_EQ(h.flag("network.airplane_mode"), false); }},
      {"airplane already off",
       none,
       Op::SetAirplaneMode{false},
       succeeded(Op::SetAirplaneMode{false}, "Airplane mode is already disabled."),
       {},
       nullptr},
      {"airplane refused",
       fault("set_airplane_mode", "radio jammed"),
       Op::SetAirplaneMode{true},
       failed(Op::SetAirplaneMode{true}, "Could not change airplane state: radio jammed"),
       {"set_airplane_mode(true)"},
       [](Hosted& h) {
         EXPECT_EQ(h.flag("network.airplane_mode"), false);
         EXPECT_FALSE(h.t.pane->snapshot().radios.airplane_mode);
       }},
      {"hotspot on",
       none,
       Op::SetHotspot{true},
       succeeded(Op::SetHotspot{true}, "Hotspot enabled."),
       {"set_hotspot(true)"},
       nullptr},
      {"hotspot already off",
       none,
       Op::SetHotspot{false},
       succeeded(Op::SetHotspot{false}, "Hotspot is already disabled."),
       {},
       nullptr},
      {"mobile on",
       none,
       Op::SetMobileBroadband{true},
       succeeded(Op::SetMobileBroadband{true}, "Mobile broadband enabled."),
       {"set_mobile_broadband(true)"},
       nullptr},
      {"mobile already off",
       none,
       Op::SetMobileBroadband{false},
       succeeded(Op::SetMobileBroadband{false}, "Mobile broadband is already disabled."),
       {},
       nullptr},
      {"refresh",
       none,
       Op::Refresh{},
       succeeded(Op::Refresh{}, "Network list refreshed."),
       {},
       [](Hosted& h) { EXPECT_EQ(h.flag("network.refresh"), false); }},
      {"refresh fails",
       [](Fakes& f) { f.backend->wifi = kalu_ui::fail("scan broke"); },
       Op::Refresh{},
       failed(Op::Refresh{}, "Could not refresh network list: scan broke"),
       {},
       [](Hosted& h) { EXPECT_EQ(h.t.pane->snapshot().wifi_networks.size(), 0u); }},
      {"diagnostics",
       [](Fakes& f) { f.backend->diagnostics = some_diagnostics(); },
       Op::RunDiagnostics{},
       succeeded(Op::RunDiagnostics{}, "Network diagnostics completed."),
       {},
       [](Hosted& h) { EXPECT_TRUE(h.t.pane->snapshot().diagnostics.has_value()); }},
      {"diagnostics fail",
       [](Fakes& f) { f.backend->diagnostics = kalu_ui::fail("no manager"); },
       Op::RunDiagnostics{},
       failed(Op::RunDiagnostics{}, "Diagnostics unavailable: no manager"),
       {},
       [](Hosted& h) {
         EXPECT_EQ(h.t.pane->view().status, "Diagnostics unavailable: no manager");
       }},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    Fakes fakes;
    row.setup(fakes);
    Hosted h(std::move(fakes));
    EXPECT_EQ(h.run(row.op), row.want);
    EXPECT_TRUE(h.t.requests->get().empty());
    EXPECT_EQ(h.calls(), row.calls);
    if (row.check) row.check(h);
  }
}

// While reporting, a document edit that is not the pending operation is
// undone without a call, even with another operation pending; a pane alone
// applies it.
TEST(NetworkHandlersTest, AnUnboundWiredEditIsRevertedWithoutACall) {
  Hosted h;
  auto& document = h.t.pane->link().own_document();
  (void)document.put(doc::kRoot, "network.wired_enabled", doc::Scalar(false));
  h.t.harness.frame();
  EXPECT_EQ(h.flag("network.wired_enabled"), true);
  const Op other = Op::SetWifiEnabled{false};
  h.t.completion->publish(OperationCompletion::Pending{key_of(other)});
  (void)document.put(doc::kRoot, "network.wired_enabled", doc::Scalar(false));
  h.t.harness.frame();
  EXPECT_EQ(h.flag("network.wired_enabled"), true);
  EXPECT_THAT(h.calls(), IsEmpty());
  EXPECT_EQ(h.t.completion->get(),
            OperationCompletion(OperationCompletion::Pending{key_of(other)}));

  PaneFixture alone;
  alone.harness.frame();
  (void)alone.document().put(doc::kRoot, "network.wired_enabled", doc::Scalar(false));
  alone.harness.frame();
  EXPECT_THAT(alone.fakes.dispatcher->calls, ElementsAre("set_wired(false)"));
  EXPECT_FALSE(alone.pane->snapshot().wired.enabled);
}

// A radio, a VPN and an auto-connect flag switched on the device between two
// syncs stay switched: a refresh writes them, and no frame switches them back.
TEST(NetworkHandlersTest, SwitchesChangedOutsideStaySwitched) {
  Hosted h;
  auto& device = *h.t.fakes.backend;
  device.radios->airplane_mode = true;
  device.radios->hotspot_enabled = true;
  device.vpns->front().active = true;
  (*device.profiles)[0].autoconnect = false;
  EXPECT_EQ(h.run(Op::Refresh{}), succeeded(Op::Refresh{}, "Network list refreshed."));
  h.t.harness.frames(3);
  EXPECT_THAT(h.calls(), IsEmpty());
  EXPECT_EQ(device.changes, 0);
  EXPECT_EQ(h.flag("network.airplane_mode"), true);
  EXPECT_EQ(h.flag("network.hotspot"), true);
  EXPECT_EQ(h.flag("network.vpn.Office VPN"), true);
  EXPECT_EQ(h.flag("network.profile.autoconnect.wifi-1111-aaaa"), false);

  // A request is measured against the device, not the pane's last look.
  device.radios->mobile_broadband_enabled = true;
  EXPECT_EQ(h.run(Op::SetMobileBroadband{true}),
            succeeded(Op::SetMobileBroadband{true}, "Mobile broadband is already enabled."));
  device.wifi_on = false;
  EXPECT_EQ(h.run(Op::SetWifiEnabled{true}), succeeded(Op::SetWifiEnabled{true}, "Wi-Fi enabled."));
  EXPECT_THAT(h.calls(), ElementsAre("set_wifi(true)"));
}

// The Wired toggle flips through the section's command for the other
// direction; the operation it makes reaches the device, and the binding turns.
TEST(NetworkHandlersTest, AWiredFlipFromThePageReachesTheDevice) {
  Hosted h;
  auto toggle = [&] {
    return dynamic_cast<kalu_ui::widget::Toggle*>(h.t.harness.find("settings.network.wired"));
  };
  ASSERT_NE(toggle(), nullptr);
  // The frame's replay takes what a click records (and, with no application
  // publishing the sections here, cannot carry it out).
  ASSERT_TRUE(h.t.harness.click_id("settings.network.wired"));
  auto replayed = h.t.harness.take_replayed();
  ASSERT_EQ(replayed.size(), 1u);
  EXPECT_EQ(replayed[0].invocation.resource_id, "settings.section:network");
  EXPECT_EQ(replayed[0].invocation.action, "disable-wired");
  h.t.harness.frames(2);
  EXPECT_THAT(h.calls(), IsEmpty());

  // What the action starts, as the executor hands it over.
  EXPECT_EQ(h.run(Op::SetWiredEnabled{false}),
            succeeded(Op::SetWiredEnabled{false}, "Wired networking disabled."));
  EXPECT_FALSE((*h.t.fakes.backend->wired)->enabled);
  h.t.harness.frame();
  ASSERT_TRUE(h.t.harness.click_id("settings.network.wired"));
  replayed = h.t.harness.take_replayed();
  ASSERT_EQ(replayed.size(), 1u);
  EXPECT_EQ(replayed[0].invocation.action, "enable-wired");
}

// A press on the page is handled once, in the frame that sees it.
struct PressRow {
  const char* name;
  std::function<void(Fakes&)> setup;
  std::function<void(PaneFixture&)> press;
  std::optional<std::string> status;
  std::function<void(PaneFixture&)> check;
};

void put_bool(doc::Document& d, std::string_view key, bool value) {
  (void)d.put(doc::kRoot, key, doc::Scalar(value));
}
void put_text(doc::Document& d, std::string_view key, std::string value) {
  (void)d.put(doc::kRoot, key, doc::Scalar(std::move(value)));
}

TEST(NetworkHandlersTest, PressesActOnceWithTheirTexts) {
  const auto none = [](Fakes&) {};
  const auto changes_fail = [](Fakes& f) { f.backend->change_status = kalu_ui::fail("denied"); };
  const std::vector<PressRow> rows = {
      {"autoconnect refused", changes_fail,
       [](PaneFixture& t) {
         doc::Document& d = t.document();
         put_bool(d, "network.profile.autoconnect.wifi-1111-aaaa", false);
       },
       "Could not update Lindenhof: denied",
       [](PaneFixture& t) {
         EXPECT_EQ(t.document().read_bool(doc::kRoot, "network.profile.autoconnect.wifi-1111-aaaa"),
                   true);
       }},
      {"forget", none,
       [](PaneFixture& t) {
         doc::Document& d = t.document();
         put_bool(d, "network.profile.forget.wifi-1111-aaaa", true);
       },
       "Forgot Lindenhof.",
       [](PaneFixture& t) {
         EXPECT_EQ(t.pane->snapshot().profiles.size(), 2u);
         EXPECT_EQ(t.pane->snapshot().policy_profile, std::nullopt);
       }},
      {"forget refused", changes_fail,
       [](PaneFixture& t) {
         doc::Document& d = t.document();
         put_bool(d, "network.profile.forget.wifi-1111-aaaa", true);
       },
       "Could not forget Lindenhof: denied",
       [](PaneFixture& t) { EXPECT_EQ(t.pane->snapshot().profiles.size(), 3u); }},
      {"share", none,
       [](PaneFixture& t) {
         doc::Document& d = t.document();
         put_bool(d, "network.profile.share.wifi-1111-aaaa", true);
       },
       "Lindenhof is sealed for your certified devices. Device-specific profile settings were "
       "not shared.",
       nullptr},
      {"ipv4 parsed", none,
       [](PaneFixture& t) {
         doc::Document& d = t.document();
         put_bool(d, "network.ipv4.wired-2222-bbbb.automatic", false);
         put_text(d, "network.ipv4.wired-2222-bbbb.address", " 10.0.0.2/24 , ,10.0.0.3/24 ");
         put_text(d, "network.ipv4.wired-2222-bbbb.gateway", "  ");
         put_text(d, "network.ipv4.wired-2222-bbbb.dns", "9.9.9.9,");
         put_bool(d, "network.ipv4.wired-2222-bbbb.apply", true);
       },
       "Applied IP settings to Wired connection 1.",
       [](PaneFixture& t) {
         const auto& sent = t.fakes.backend->last_ipv4;
         ASSERT_TRUE(sent.has_value());
         EXPECT_FALSE(sent->automatic);
         EXPECT_THAT(sent->addresses, ElementsAre("10.0.0.2/24", "10.0.0.3/24"));
         EXPECT_EQ(sent->gateway, std::nullopt);
         EXPECT_THAT(sent->dns, ElementsAre("9.9.9.9"));
       }},
      {"ipv4 unreadable", [](Fakes& f) { f.backend->settings.erase("wired-2222-bbbb"); },
       [](PaneFixture& t) {
         doc::Document& d = t.document();
         put_bool(d, "network.ipv4.wired-2222-bbbb.apply", true);
       },
       "IP settings were not applied because the profile could not be read safely.",
       [](PaneFixture& t) { EXPECT_EQ(t.fakes.backend->changes, 0); }},
      {"ipv4 refused", changes_fail,
       [](PaneFixture& t) {
         doc::Document& d = t.document();
         put_bool(d, "network.ipv4.wired-2222-bbbb.apply", true);
       },
       "IP settings were not applied: denied", nullptr},
      {"policy patch holds only what differs", none,
       [](PaneFixture& t) {
         doc::Document& d = t.document();
         put_text(d, "network.profile.metered.wifi-1111-aaaa", "Metered");
         put_text(d, "network.profile.mac.wifi-1111-aaaa", "Stable per network");
         put_text(d, "network.profile.proxy.wifi-1111-aaaa", " ");
         put_bool(d, "network.profile.policy.wifi-1111-aaaa", true);
       },
       "Applied advanced policy to Lindenhof.",
       [](PaneFixture& t) {
         const auto& patch = t.fakes.backend->last_patch;
         ASSERT_TRUE(patch.has_value());
         EXPECT_EQ(patch->metered, std::uint8_t{1});
         EXPECT_EQ(patch->mac_policy, std::nullopt);
         EXPECT_EQ(patch->proxy_url, std::nullopt);
       }},
      {"policy unreadable", [](Fakes& f) { f.backend->settings.erase("wifi-1111-aaaa"); },
       [](PaneFixture& t) {
         doc::Document& d = t.document();
         put_bool(d, "network.profile.policy.wifi-1111-aaaa", true);
       },
       "Policy was not applied because NetworkManager's current values could not be read.",
       nullptr},
      {"hotspot with an empty name", none,
       [](PaneFixture& t) {
         doc::Document& d = t.document();
         t.pane->secrets().hotspot_password()->lock().assign("harbour-lights");
         put_text(d, "network.hotspot.ssid", "");
         put_bool(d, "network.hotspot.apply", true);
       },
       "Hotspot is active.",
       [](PaneFixture& t) {
         EXPECT_EQ(t.fakes.backend->hotspot_ssid, "Kalu Hotspot");
         EXPECT_EQ(t.document().read_bool(doc::kRoot, "network.hotspot"), true);
         EXPECT_TRUE(t.pane->snapshot().radios.hotspot_enabled);
         // Switched on by the configuration, not again by the switch.
         EXPECT_THAT(t.fakes.dispatcher->calls, IsEmpty());
       }},
      {"hotspot refused", changes_fail,
       [](PaneFixture& t) {
         t.pane->secrets().hotspot_password()->lock().assign("harbour-lights");
         put_bool(t.document(), "network.hotspot.apply", true);
       },
       "Hotspot failed: denied", nullptr},
      {"sign-in page unavailable", none,
       [](PaneFixture& t) {
         doc::Document& d = t.document();
         put_bool(d, "network.captive_portal.open", true);
       },
       "Could not open network sign-in: not scripted", nullptr},
      {"sign-in page opener fails",
       [](Fakes& f) {
         f.backend->portal_uri = std::string("http://portal.example/");
         f.backend->job_status = kalu_ui::fail("no browser");
       },
       [](PaneFixture& t) {
         doc::Document& d = t.document();
         put_bool(d, "network.captive_portal.open", true);
       },
       "Could not open network sign-in: could not open browser through the desktop portal: no "
       "browser",
       nullptr},
      {"vpn refused",
       [](Fakes& f) { f.dispatcher->faults["set_vpn_connection(Office VPN)"] = "tunnel down"; },
       [](PaneFixture& t) {
         doc::Document& d = t.document();
         put_bool(d, "network.vpn.Office VPN", true);
       },
       std::nullopt,
       [](PaneFixture& t) {
         EXPECT_EQ(t.document().read_bool(doc::kRoot, "network.vpn.Office VPN"), false);
       }},
      {"ipv4 picker", none,
       [](PaneFixture& t) {
         doc::Document& d = t.document();
         put_text(d, "network.ipv4.profile", "Office · wired-33");
       },
       std::nullopt,
       [](PaneFixture& t) { EXPECT_EQ(t.pane->snapshot().ipv4_profile, "wired-3333-cccc"); }},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.name);
    Fakes fakes;
    fakes.backend->profiles->push_back({"wired-3333-cccc", "Office", "802-3-ethernet", false});
    row.setup(fakes);
    PaneFixture t(std::move(fakes));
    t.harness.frame();
    row.press(t);
    t.harness.frames(2);  // a worker's outcome arrives in the next frame
    EXPECT_EQ(t.pane->view().status, row.status);
    if (row.check) row.check(t);
    // Nothing more happens in later frames.
    const int changes = t.fakes.backend->changes;
    const std::size_t calls = t.fakes.dispatcher->call_count();
    t.harness.frames(2);
    EXPECT_EQ(t.fakes.backend->changes, changes);
    EXPECT_EQ(t.fakes.dispatcher->call_count(), calls);
  }
}

// A radio edit from the page goes ahead without a gate; a failure writes the
// old value back and warns.
TEST(NetworkHandlersTest, AFailingRadioKeepsItsOldValue) {
  Fakes fakes;
  fakes.dispatcher->faults["set_airplane_mode"] = "radio jammed";
  PaneFixture t(std::move(fakes));
  t.harness.frame();
  kalu_ui::log::ScopedCapture capture;
  put_bool(t.document(), "network.airplane_mode", true);
  t.harness.frame();
  EXPECT_EQ(t.document().read_bool(doc::kRoot, "network.airplane_mode"), false);
  const auto events = capture.events();
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].message, "radio action failed");
  EXPECT_EQ(events[0].target, "kalu::settings");
  EXPECT_EQ(*events[0].field("op"), "set_airplane_mode");
  EXPECT_EQ(*events[0].field("error"), "radio jammed");
}

// "Join" with an empty password connects without one.
TEST(NetworkHandlersTest, JoinWithAnEmptyPasswordSendsNone) {
  PaneFixture t;
  t.harness.frame();
  t.pane->set_expanded(t.document(), "Lindenhof");
  t.harness.frame();
  ASSERT_TRUE(t.harness.click_id("settings.network.join.Lindenhof"));
  t.harness.frames(2);
  ASSERT_EQ(t.fakes.dispatcher->connects.size(), 1u);
  EXPECT_EQ(t.fakes.dispatcher->connects[0].ssid, "Lindenhof");
  EXPECT_EQ(t.fakes.dispatcher->connects[0].password, std::nullopt);
  EXPECT_EQ(t.pane->view().expanded, std::nullopt);
}

// A frame in which nothing changed asks nothing of the platform: 100 of
// them on a seeded pane, alone and hosted, make no read, change, dispatcher
// call or worker.
TEST(NetworkHandlersTest, QuietFramesMakeNoPlatformCall) {
  for (bool hosted : {false, true}) {
    SCOPED_TRACE(hosted ? "hosted" : "alone");
    PaneFixture t(Fakes{}, hosted);
    t.harness.frames(2);
    const auto& backend = *t.fakes.backend;
    const int reads = backend.reads;
    t.harness.frames(100);
    EXPECT_EQ(backend.reads, reads);
    EXPECT_EQ(backend.changes, 0);
    EXPECT_EQ(backend.sim_unlocks, 0);
    EXPECT_EQ(backend.choosers, 0);
    EXPECT_EQ(t.fakes.dispatcher->call_count(), 0u);
    EXPECT_TRUE(t.fakes.continuity->seen.empty());
  }
}

}  // namespace
}  // namespace settings::panes::network
