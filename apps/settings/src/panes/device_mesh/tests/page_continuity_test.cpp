#include "panes/device_mesh/page_continuity.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "kalu_actions/action_spec.h"
#include "kalu_actions/resource.h"
#include "kalu_ui/harness.h"
#include "kalu_ui/widget/badge.h"
#include "kalu_ui/widget/button.h"
#include "kalu_ui/widget/dropdown.h"
#include "kalu_ui/widget/toggle.h"
#include "panes/device_mesh/model.h"

namespace settings::panes::device_mesh {
namespace {

namespace w = kalu_ui::widget;
namespace doc = kalu_ui::doc;
using kalu_user_identity::PublicKey;
using stored::ContinuityCapability;
using stored::FleetDevice;

PublicKey key_of(std::uint8_t first) {
  PublicKey key{};
  key.fill(0x11);
  key[0] = first;
  return key;
}

FleetDevice device(std::string label, std::uint8_t key, bool this_device, bool revoked,
                   bool host = false) {
  FleetDevice d;
  d.label = std::move(label);
  d.device_public_key = key_of(key);
  d.fingerprint = stored::fleet::fingerprint(d.device_public_key);
  d.this_device = this_device;
  d.revoked = revoked;
  d.can_act_as_host = host;
  return d;
}

// Desk (this device), a revoked tablet, a laptop whose revocation asks for
// confirmation and a home server; Continuity on with three capabilities on
// and four changes recorded.
ContinuityModel busy_model() {
  ContinuityModel model;
  model.devices = {device("Desk", 0xD0, true, false), device("Tablet", 0x7A, false, true),
                   device("Laptop", 0x1A, false, false),
                   device("Basement NAS", 0x4A, false, false, true)};
  model.revoke_confirm.insert(key_of(0x1A));
  auto& c = model.continuity;
  c.enabled = true;
  c.clipboard = true;
  c.media = true;
  c.file_transfer = true;
  c.audit = {{1'700'000'000, std::nullopt, true},
             {1'700'000'060, ContinuityCapability::Clipboard, true},
             {1'700'000'120, ContinuityCapability::Media, true},
             {1'700'000'180, ContinuityCapability::WifiSettings, false}};
  return model;
}

ui_rows::WidgetBox page(const ContinuityModel& model, const ToggleBindings& bindings) {
  ui_rows::WidgetList cards;
  cards.push_back(continuity_privacy_card(model, bindings));
  cards.push_back(continuity_route_card(model));
  cards.push_back(continuity_activity_card(model));
  cards.push_back(trusted_devices_card(model));
  return ui_rows::sections_column(std::move(cards));
}

// A stand-in for the Devices & Sync section: one action per toggle name.
ToggleBindings section_bindings() {
  auto section = kalu_actions::Resource::create("settings.section:devices_sync", "settings.section",
                                                "Devices & Sync");
  std::vector<std::string> names{std::string(kContinuityMasterAction)};
  for (const auto& capability : continuity_capabilities()) {
    names.push_back(continuity_action_name(capability.id));
  }
  for (const auto& name : names) {
    section = std::move(section).with_action(
        *kalu_actions::ActionSpec::nullary(name, name, kalu_actions::kOperationInterface,
                                           "settings.device-mesh-operation", std::string("{}")));
  }
  return [section](std::string_view name) -> std::optional<kalu_actions::ActionBinding> {
    auto binding = kalu_actions::ActionBinding::unit_for(section, name);
    if (!binding) return std::nullopt;
    return *binding;
  };
}

kalu_ui::harness::Options continuity_window() {
  return kalu_ui::harness::Options::sized({760.0, 2100.0});
}

TEST(ContinuityPageTest, TogglesCarryTheirStateAndActions) {
  kalu_ui::harness::Harness harness(page(busy_model(), section_bindings()), continuity_window());
  harness.frame();
  const struct {
    const char* id;
    bool on;
    const char* action;
  } toggles[] = {
      {"device_mesh.continuity.enabled", true, "continuity-enabled"},
      {"device_mesh.continuity.clipboard", true, "continuity-clipboard"},
      {"device_mesh.continuity.wifi_settings", false, "continuity-wifi-settings"},
      {"device_mesh.continuity.app_continuations", false, "continuity-app-continuations"},
  };
  for (const auto& t : toggles) {
    auto* toggle = dynamic_cast<w::Toggle*>(harness.find(t.id));
    ASSERT_NE(toggle, nullptr) << t.id;
    EXPECT_EQ(toggle->value(), t.on) << t.id;
    ASSERT_TRUE(toggle->binding()) << t.id;
    EXPECT_EQ(toggle->binding()->action, t.action);
  }

  // Without bindings the same toggles have no action.
  kalu_ui::harness::Harness unbound(page(busy_model(), {}), continuity_window());
  unbound.frame();
  auto* master = dynamic_cast<w::Toggle*>(unbound.find("device_mesh.continuity.enabled"));
  ASSERT_NE(master, nullptr);
  EXPECT_FALSE(master->binding());
}

TEST(ContinuityPageTest, ShowsTheRouteAuditAndDevices) {
  kalu_ui::harness::Harness harness(page(busy_model(), {}), continuity_window());
  harness.frame();
  const auto& scene = harness.scene();
  for (const char* shown :
       {"Clipboard",
        "Share copied text and images with the current certified device. Active for Laptop.",
        "Offer saved network and compatible personal settings. Off on this device.", "Laptop",
        "Desk · certified fingerprint D0 11 11 11 11 11",
        "Wi-Fi & settings stopped · local record 1700000180",
        "All Continuity allowed · local record 1700000000", "Revoked", "This device", "Home server",
        "Revoke access", "Why is access ending?", "Access ends permanently", "Cancel",
        "Identity fingerprint · 1A 11 11 11 11 11"}) {
    EXPECT_FALSE(scene.find_text(shown).empty()) << shown;
  }
  // The laptop asks; nobody else offers "Decommission", and the reason
  // starts at "Retired".
  EXPECT_TRUE(scene.find_text("Decommission").empty());
  auto* reason = dynamic_cast<w::Dropdown*>(
      harness.find("device_mesh.personal_device.1a" + std::string(62, '1') + ".reason"));
  ASSERT_NE(reason, nullptr);
  EXPECT_EQ(reason->selected(), "Retired");
  EXPECT_THAT(reason->options(),
              ::testing::ElementsAre("Retired", "Lost", "Stolen", "Compromised"));
  // Newest audit entry first.
  const auto newest = scene.find_text("Wi-Fi & settings stopped · local record 1700000180");
  const auto oldest = scene.find_text("All Continuity allowed · local record 1700000000");
  ASSERT_FALSE(newest.empty());
  ASSERT_FALSE(oldest.empty());
  EXPECT_LT(newest[0]->transform.translation().y, oldest[0]->transform.translation().y);

  EXPECT_TRUE(
      harness.render_png(std::string(SETTINGS_DEVICE_MESH_ARTIFACTS) + "/continuity_devices.png"));
}

TEST(ContinuityPageTest, EmptyStateAndErrors) {
  ContinuityModel model;
  model.continuity.clipboard = true;  // on, with the master switch off
  kalu_ui::harness::Harness harness(page(model, {}), continuity_window());
  harness.frame();
  const auto& scene = harness.scene();
  for (const char* shown :
       {"No certified target",
        "Add another personal device to make it an eligible Continuity target.",
        "This source is not yet present in the certified-device fleet.",
        "No capability can become active until another non-revoked certified device is available.",
        "No local Continuity control changes have been recorded yet.",
        "This device appears here after identity setup completes.",
        "Share copied text and images with the current certified device. Prepared, but stopped by "
        "the master switch."}) {
    EXPECT_FALSE(scene.find_text(shown).empty()) << shown;
  }
  auto* clipboard = dynamic_cast<w::Toggle*>(harness.find("device_mesh.continuity.clipboard"));
  ASSERT_NE(clipboard, nullptr);
  EXPECT_TRUE(clipboard->value());  // stays on
  EXPECT_TRUE(
      harness.render_png(std::string(SETTINGS_DEVICE_MESH_ARTIFACTS) + "/continuity_empty.png"));

  model.continuity_error = "Continuity choices were not saved: disk full";
  model.device_list_error = "device fleet identity/schema mismatch";
  kalu_ui::harness::Harness failed(page(model, {}), continuity_window());
  failed.frame();
  EXPECT_FALSE(failed.scene().find_text("Continuity choices were not saved: disk full").empty());
  EXPECT_FALSE(failed.scene()
                   .find_text("Device list unavailable: device fleet identity/schema mismatch")
                   .empty());
  EXPECT_TRUE(
      failed.scene().find_text("This device appears here after identity setup completes.").empty());
}

TEST(ContinuityPageTest, DecommissionWritesItsFlagForThePane) {
  ContinuityModel model = busy_model();
  model.revoke_confirm.clear();
  kalu_ui::harness::Harness harness(page(model, {}), continuity_window());
  harness.frame();
  const PublicKey laptop = key_of(0x1A);
  const std::string flag = personal_device_control_id(laptop, "revoke");
  const std::string id = flag.substr(0, flag.size() - 5);
  ASSERT_TRUE(harness.click_id(id));
  EXPECT_EQ(harness.document().read_bool(doc::kRoot, flag), true);
  auto* button = dynamic_cast<w::Button*>(harness.find(id));
  ASSERT_NE(button, nullptr);
  EXPECT_EQ(button->label(), "Decommission");
  EXPECT_TRUE(harness.root().next_wake_deadline().has_value());  // one more frame for the pane
  // The pane's next sync takes the press and asks for confirmation.
  const DeviceControlsOutcome outcome = sync_device_controls(harness.document(), model);
  EXPECT_TRUE(outcome.rebuild);
  EXPECT_TRUE(model.revoke_confirm.contains(laptop));
  harness.frame();
  EXPECT_FALSE(harness.root().next_wake_deadline().has_value());
}

}  // namespace
}  // namespace settings::panes::device_mesh
