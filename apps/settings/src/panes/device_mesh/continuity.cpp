#include "panes/device_mesh/continuity.h"

#include <fmt/format.h>

#include <nlohmann/json.hpp>

#include "actions/doc_readers.h"
#include "panes/device_mesh/model.h"
#include "panes/device_mesh/operations.h"
#include "prefs_store/document.h"
#include "vocabulary/doc_flags.h"

namespace settings::panes::device_mesh {
namespace {

namespace doc = kalu_ui::doc;
using stored::ContinuityCapability;
using stored::ContinuityPrivacy;
using stored::FleetDevice;

constexpr std::string_view kContinuityPrefix = "continuity.";
constexpr std::string_view kNoTarget = "No certified target";
constexpr std::size_t kCapabilityCount = 9;
static_assert(static_cast<std::size_t>(ContinuityCapability::AppContinuations) + 1 ==
              kCapabilityCount);

kalu_ui::Status save_section(const ContinuityPrivacy& continuity,
                             const std::optional<std::filesystem::path>& settings_path) {
  const nlohmann::ordered_json value = continuity.to_json();
  if (!value.is_object()) return kalu_ui::fail("continuity policy is not an object");
  return settings_path
             ? prefs_store::update_section_at(*settings_path, ContinuityPrivacy::kSection, value)
             : prefs_store::update_section(ContinuityPrivacy::kSection, value);
}

// Revokes `device` with the reason its dropdown holds and updates the model.
DeviceControlsOutcome revoke(kalu_ui::doc::Document& document, ContinuityModel& model,
                             const FleetDevice& device, std::chrono::system_clock::time_point now) {
  DeviceControlsOutcome outcome;
  outcome.rebuild = true;
  const auto reason = actions::read_doc_text(
      document, doc::kRoot, personal_device_control_id(device.device_public_key, "reason"));
  auto revoked = revoke_device(device.device_public_key, reason.value_or(""), now);
  if (!revoked) {
    model.device_list_error = revoked.error().message;
    return outcome;
  }
  model.reload_devices();
  outcome.status = revoked_status_text(*revoked);
  return outcome;
}

}  // namespace

ContinuityModel ContinuityModel::load(const std::optional<std::filesystem::path>& settings_path) {
  ContinuityModel model;
  model.continuity = ContinuityPrivacy::load(settings_path);
  model.reload_devices();
  return model;
}

void ContinuityModel::reload_devices() {
  auto fleet = stored::fleet::load_active_fleet();
  if (fleet) {
    devices = std::move(*fleet);
    device_list_error.reset();
    return;
  }
  devices.clear();
  if (fleet.error().kind == stored::ErrorKind::NotFound) {
    device_list_error.reset();
  } else {
    device_list_error = fleet.error().message;
  }
}

bool is_continuity_service(std::string_view service) {
  return service.starts_with(kContinuityPrefix);
}

kalu_ui::Status apply_continuity_change(ContinuityPrivacy& continuity, std::string_view service,
                                        bool enabled, std::uint64_t now_secs) {
  if (!is_continuity_service(service)) return kalu_ui::fail("unsupported Continuity capability");
  const std::string_view name = service.substr(kContinuityPrefix.size());
  if (name == "enabled") {
    continuity.enabled = enabled;
    continuity.record_change(std::nullopt, enabled, now_secs);
    return {};
  }
  auto index = continuity_capability_index(name);
  if (!index) return kalu_ui::fail("unsupported Continuity capability");
  const auto capability = static_cast<ContinuityCapability>(*index);
  continuity.capability(capability) = enabled;
  continuity.record_change(capability, enabled, now_secs);
  return {};
}

kalu_ui::Status save_continuity(ContinuityModel& model,
                                const std::optional<std::filesystem::path>& settings_path) {
  auto saved = save_section(model.continuity, settings_path);
  if (saved) {
    model.continuity_error.reset();
    return {};
  }
  model.continuity_error = fmt::format("Continuity choices were not saved: {}", saved.error());
  return kalu_ui::fail(*model.continuity_error);
}

ContinuityTarget continuity_target(const std::vector<FleetDevice>& devices) {
  for (const FleetDevice& device : devices) {
    if (device.this_device || device.revoked) continue;
    return {device.label,
            fmt::format("Certified by your Kalu identity · fingerprint {}. Private keys and "
                        "pairing credentials never appear here.",
                        device.fingerprint),
            true};
  }
  return {std::string(kNoTarget),
          "Add another personal device to make it an eligible Continuity target.", false};
}

std::string continuity_source_text(const std::vector<FleetDevice>& devices) {
  for (const FleetDevice& device : devices) {
    if (device.this_device && !device.revoked) {
      return fmt::format("{} · certified fingerprint {}", device.label, device.fingerprint);
    }
  }
  return "This source is not yet present in the certified-device fleet.";
}

std::string capability_caption(const ContinuityCapabilityInfo& capability, bool on, bool master_on,
                               std::string_view target_name) {
  if (!on) return fmt::format("{} Off on this device.", capability.description);
  if (!master_on) {
    return fmt::format("{} Prepared, but stopped by the master switch.", capability.description);
  }
  return fmt::format("{} Active for {}.", capability.description, target_name);
}

std::string audit_entry_text(const stored::AuditEntry& entry) {
  const std::string_view label =
      entry.capability
          ? continuity_capabilities()[static_cast<std::size_t>(*entry.capability)].label
          : std::string_view("All Continuity");
  return fmt::format("{} {} · local record {}", label, entry.enabled ? "allowed" : "stopped",
                     entry.recorded_at_secs);
}

void seed_device_controls(kalu_ui::doc::Document& document,
                          const std::vector<FleetDevice>& devices) {
  for (const FleetDevice& device : devices) {
    const auto& key = device.device_public_key;
    (void)document.put(doc::kRoot, personal_device_control_id(key, "revoke"), doc::Scalar(false));
    (void)document.put(doc::kRoot, personal_device_control_id(key, "cancel"), doc::Scalar(false));
    (void)document.put(doc::kRoot, personal_device_control_id(key, "reason"), "Retired");
  }
}

DeviceControlsOutcome sync_device_controls(kalu_ui::doc::Document& document, ContinuityModel& model,
                                           std::chrono::system_clock::time_point now) {
  DeviceControlsOutcome outcome;
  // A revocation reloads the list: walk a copy.
  const std::vector<FleetDevice> devices = model.devices;
  for (const FleetDevice& device : devices) {
    const auto& key = device.device_public_key;
    if (take_doc_flag(document, personal_device_control_id(key, "cancel"))) {
      model.revoke_confirm.erase(key);
      outcome.rebuild = true;
    }
    if (!take_doc_flag(document, personal_device_control_id(key, "revoke"))) continue;
    outcome.rebuild = true;
    if (model.revoke_confirm.erase(key) > 0) {
      DeviceControlsOutcome revoked = revoke(document, model, device, now);
      if (revoked.status) outcome.status = std::move(revoked.status);
    } else if (!device.this_device && !device.revoked) {
      model.revoke_confirm.insert(key);
    }
  }
  return outcome;
}

}  // namespace settings::panes::device_mesh
