#pragma once

// Continuity on the Devices & Sync pane: the device-local choices (a master
// switch and nine capabilities, with an audit of the latest 24 changes) kept
// in the settings document's "continuity" section, and the devices that the
// user's identity certified, one of which becomes the Continuity target and
// any other of which the user may revoke. Everything here runs on the UI
// thread: a few small files are read and at most one is written.

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "identity/user_identity.h"
#include "kalu_ui/document.h"
#include "kalu_ui/result.h"
#include "stored/continuity.h"
#include "stored/fleet.h"
#include "vocabulary/device_mesh_vocabulary.h"

namespace settings::panes::device_mesh {

// What the Continuity cards show, and the pane's state behind them.
struct ContinuityModel {
  stored::ContinuityPrivacy continuity;
  // "Continuity choices were not saved: {}" after a failed save.
  std::optional<std::string> continuity_error;
  // The active identity's certified devices, in certificate order.
  std::vector<stored::FleetDevice> devices;
  // Why the list could not be read or a revocation failed; the page shows
  // "Device list unavailable: {}".
  std::optional<std::string> device_list_error;
  // Devices whose "Decommission" was pressed and not yet revoked or cancelled.
  std::set<kalu_user_identity::PublicKey> revoke_confirm;

  // The "continuity" section of the settings document at `settings_path` (the
  // settings store's own when none; the default record when it is missing or
  // unreadable, the audit cut to its latest 24) and the active fleet.
  static ContinuityModel load(const std::optional<std::filesystem::path>& settings_path);

  // Reads the active fleet again. Nothing set up yet (NotFound) is an empty
  // list without a message; any other failure empties the list and keeps
  // its text.
  void reload_devices();
};

// Whether a service name of a device-mesh operation is a Continuity one:
// "continuity." and anything after it.
bool is_continuity_service(std::string_view service);

// Applies a Continuity change to the record: "continuity.enabled" sets the
// master switch, "continuity.{id}" the capability with that id; either
// appends an audit entry (at `now_secs`, the capability or none, the value)
// and keeps the latest 24. Any other name after "continuity." fails with
// "unsupported Continuity capability" and changes nothing.
kalu_ui::Status apply_continuity_change(stored::ContinuityPrivacy& continuity,
                                        std::string_view service, bool enabled,
                                        std::uint64_t now_secs);

// Merges the record's members into the "continuity" section of the settings
// document at `settings_path` (the settings store's own when none), keeping
// every other section and member. Success clears continuity_error; a failure
// sets it to "Continuity choices were not saved: {}" and answers that text,
// so that the operation that made the change can fail with it. The change
// stays applied in the model either way.
kalu_ui::Status save_continuity(ContinuityModel& model,
                                const std::optional<std::filesystem::path>& settings_path);

// The Continuity target: the first device that is neither this device nor
// revoked. Without one, "No certified target" and a line saying how to get
// one.
struct ContinuityTarget {
  std::string name;
  std::string line;
  bool present = false;
};
ContinuityTarget continuity_target(const std::vector<stored::FleetDevice>& devices);

// "{label} · certified fingerprint {fingerprint}" of the first device that is
// this device and not revoked, else that this device is not in the fleet.
std::string continuity_source_text(const std::vector<stored::FleetDevice>& devices);

// The caption of a capability's row: its description followed by "Active
// for {target}.", "Prepared, but stopped by the master switch." or "Off on
// this device.".
std::string capability_caption(const ContinuityCapabilityInfo& capability, bool on, bool master_on,
                               std::string_view target_name);

// "{capability label, or All Continuity} {allowed|stopped} · local record {secs}".
std::string audit_entry_text(const stored::AuditEntry& entry);

// Writes the initial values of every device's controls: revoke and cancel
// false, reason "Retired".
void seed_device_controls(kalu_ui::doc::Document& document,
                          const std::vector<stored::FleetDevice>& devices);

struct DeviceControlsOutcome {
  // The confirmation set, the device list or its error changed.
  bool rebuild = false;
  // The pane's status line after a revocation: "{} can no longer access
  // your workspaces".
  std::optional<std::string> status;
};

// Reads each device's cancel and revoke controls (one-shot flags, set back
// to false): cancel ends the device's confirmation; revoke on a confirming
// device revokes it with the reason its dropdown holds ("Lost", "Stolen",
// "Compromised"; anything else is Retired), else asks for confirmation
// unless it is this device or revoked already. A revocation that succeeds
// (also one that finds the device revoked already) reloads the device list;
// one that fails keeps its text as device_list_error.
DeviceControlsOutcome sync_device_controls(
    kalu_ui::doc::Document& document, ContinuityModel& model,
    std::chrono::system_clock::time_point now = std::chrono::system_clock::now());

}  // namespace settings::panes::device_mesh
