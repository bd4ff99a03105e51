#include "panes/device_mesh/page_continuity.h"

#include <fmt/format.h>

#include <string>
#include <vector>

#include "kalu_ui/wake_slot.h"
#include "kalu_ui/widget/dropdown.h"
#include "kalu_ui/widget/toggle.h"
#include "lib/flag_button.h"
#include "panes/device_mesh/model.h"

namespace settings::panes::device_mesh {
namespace {

namespace w = kalu_ui::widget;
using ui_rows::caption;
using ui_rows::WidgetBox;
using ui_rows::WidgetList;

constexpr std::string_view kStaysOnDevice =
    "These hardware and privacy choices stay on this device. They are not copied by settings "
    "sync.";

WidgetBox toggle(const std::string& id, std::string_view label, bool on, std::string_view action,
                 const ToggleBindings& bindings) {
  return bound_toggle(id, label, on, bindings ? bindings(action) : std::nullopt);
}

// The id of a device's control: its document key without ".edit".
std::string device_control(const kalu_user_identity::PublicKey& key, std::string_view field) {
  std::string id = personal_device_control_id(key, field);
  id.resize(id.size() - std::string_view(".edit").size());
  return id;
}

WidgetBox device_button(const stored::FleetDevice& device, std::string_view field,
                        std::string label, bool danger = false) {
  const auto& key = device.device_public_key;
  lib::FlagButton button(std::move(label), device_control(key, field),
                         personal_device_control_id(key, field));
  button.with_danger(danger);
  return w::boxed(std::move(button));
}

// The rows of one device: its own, and the confirmation's while it asks.
void device_rows(WidgetList& rows, const stored::FleetDevice& device, bool confirming) {
  const std::string fingerprint = fmt::format("Identity fingerprint · {}", device.fingerprint);
  WidgetBox control;
  if (device.revoked) {
    control = ui_rows::badge_with_tone("Revoked", 2);
  } else if (device.this_device) {
    control = ui_rows::badge_with_tone("This device", 0);
  } else if (device.can_act_as_host) {
    control = ui_rows::badge_with_tone("Home server", 2);
  } else if (!confirming) {
    control = device_button(device, "revoke", "Decommission");
  } else {
    control = device_button(device, "revoke", "Revoke access", true);
  }
  rows.push_back(ui_rows::described_row(device.label, fingerprint, std::move(control)));
  if (!confirming || device.revoked || device.this_device || device.can_act_as_host) return;

  const auto& key = device.device_public_key;
  std::vector<std::string> reasons;
  for (std::string_view reason : revocation_reason_labels()) reasons.emplace_back(reason);
  w::Dropdown reason(personal_device_control_id(key, "reason"), std::move(reasons), "Retired");
  reason.with_id(device_control(key, "reason")).with_label("Why is access ending?");
  rows.push_back(ui_rows::described_control_row(
      "Why is access ending?",
      "This reason is signed into your device history and cannot be changed later.",
      w::boxed(std::move(reason))));
  rows.push_back(ui_rows::described_row(
      "Access ends permanently",
      "The device stops receiving and authoring new workspace changes. Data already on it is not "
      "remotely erased; change account passwords too if it is lost or stolen.",
      device_button(device, "cancel", "Cancel")));
}

}  // namespace

WidgetBox bound_toggle(std::string id, std::string_view label, bool on,
                       std::optional<kalu_actions::ActionBinding> binding) {
  w::Toggle control = w::Toggle::from_state(kalu_ui::WakeSlot<bool>::create(on));
  control.with_id(std::move(id)).with_label(std::string(label));
  control.on_action(std::move(binding));
  return w::boxed(std::move(control));
}

WidgetBox continuity_privacy_card(const ContinuityModel& model, const ToggleBindings& bindings) {
  const auto& continuity = model.continuity;
  const std::string target = continuity_target(model.devices).name;
  WidgetList rows;
  rows.push_back(ui_rows::described_row(
      "Allow Continuity from this device",
      "Master device-local kill switch. Turning it off stops every facet immediately without "
      "forgetting individual choices.",
      toggle("device_mesh.continuity.enabled", "Allow Continuity from this device",
             continuity.enabled, kContinuityMasterAction, bindings)));
  const auto capabilities = continuity_capabilities();
  for (std::size_t i = 0; i < capabilities.size(); ++i) {
    const auto& capability = capabilities[i];
    const bool on = continuity.capability(static_cast<stored::ContinuityCapability>(i));
    rows.push_back(ui_rows::described_row(
        capability.label, capability_caption(capability, on, continuity.enabled, target),
        toggle(fmt::format("device_mesh.continuity.{}", capability.id), capability.label, on,
               continuity_action_name(capability.id), bindings)));
  }
  rows.push_back(caption(kStaysOnDevice));
  if (model.continuity_error) rows.push_back(caption(*model.continuity_error));
  return ui_rows::section_card_with_description("Continuity privacy", kStaysOnDevice,
                                                ui_rows::rows_column(std::move(rows)));
}

WidgetBox continuity_route_card(const ContinuityModel& model) {
  const ContinuityTarget target = continuity_target(model.devices);
  WidgetList rows;
  rows.push_back(ui_rows::info_row("Current target", target.name));
  rows.push_back(caption(target.line));
  rows.push_back(ui_rows::info_row("Source", continuity_source_text(model.devices)));
  if (!target.present) {
    rows.push_back(
        caption("No capability can become active until another non-revoked certified device is "
                "available."));
  }
  return ui_rows::section_card("Current Continuity route", ui_rows::rows_column(std::move(rows)));
}

WidgetBox continuity_activity_card(const ContinuityModel& model) {
  const auto& audit = model.continuity.audit;
  WidgetList rows;
  if (audit.empty()) {
    rows.push_back(caption("No local Continuity control changes have been recorded yet."));
  } else {
    rows.push_back(caption(
        "Only the latest 24 control changes stay on this device. Clipboard data, notification "
        "text, file names, session credentials, addresses, and input payloads are never logged."));
    for (auto entry = audit.rbegin(); entry != audit.rend(); ++entry) {
      rows.push_back(ui_rows::info_row("Local policy change", audit_entry_text(*entry)));
    }
  }
  return ui_rows::section_card("Recent Continuity activity", ui_rows::rows_column(std::move(rows)));
}

WidgetBox trusted_devices_card(const ContinuityModel& model) {
  WidgetList rows;
  for (const auto& device : model.devices) {
    device_rows(rows, device, model.revoke_confirm.contains(device.device_public_key));
  }
  if (model.device_list_error) {
    rows.push_back(caption(fmt::format("Device list unavailable: {}", *model.device_list_error)));
  } else if (model.devices.empty()) {
    rows.push_back(caption("This device appears here after identity setup completes."));
  }
  return ui_rows::section_card("Your trusted devices", ui_rows::rows_column(std::move(rows)));
}

}  // namespace settings::panes::device_mesh
