#pragma once

// The Devices & Sync pane (Pane::kDevicesSync, "devices_sync"): this device's role for
// the person's other devices, how much of each workspace it keeps, the relay
// services it offers, the workspaces it keeps available, the device-local
// Continuity choices, pairing of home servers and personal devices, the
// paired home servers (rename, remove, their health) and the certified
// devices (revocation).
//
// How it runs, on the UI thread inside its widget calls:
// - Settings controls (role, replication, services, workspaces, Continuity)
//   are bound to the Devices & Sync section's actions, so a change arrives
//   as a DeviceMeshOperation in the device-mesh request cell, from the page
//   or from an automation client alike. Buttons that start work (pair,
//   approve, rename, remove, revoke) write one-shot flags into the state
//   document.
// - The relay configuration is never written here: the pane edits its copy
//   and hands it to the privileged system setup (commands.h), one run at a
//   time. An operation completes exactly once, when the run that carries its
//   change ends: Succeeded "Device & Sync settings saved on this device" on
//   exit 0, Failed "Not saved: {}" otherwise. A failed run leaves nothing
//   staged: the pane's copy goes back to the stored configuration, so a
//   later save never carries the change that was refused. A change that
//   arrives while a run is going is carried by one more run after it,
//   whatever the first run's outcome (after a failure, on top of the stored
//   configuration). A change the pane refuses
//   (an unknown role, a workspace that is gone, a Continuity choice that
//   could not be saved, a configuration that could not be read) fails at
//   once and runs nothing.
// - Commands run as bounded child processes in three slots (setup, pairing,
//   home-server administration), polled without blocking in sync; while one
//   runs the pane asks for a frame every 100 ms. Every 2 s a refresh
//   recomputes the relay's health and probes the next home server (or
//   retries pending removals). A rename or removal the person asks for
//   while the administration slot is busy waits for it and runs next,
//   before any further probe.
// - Leaving the page drops the pane and with it its commands; the
//   application fails an operation still pending.
//
// Hosted by the application (given its request cell), the pane works on a
// state document of its own; alone (in tests) on the document it is given.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "kalu_ui/document.h"
#include "kalu_ui/instant.h"
#include "lib/page_pane.h"
#include "limited_exec/limited_exec.h"
#include "operations/link.h"
#include "operations/records.h"
#include "panes/device_mesh/commands.h"
#include "panes/device_mesh/continuity.h"
#include "panes/device_mesh/files.h"
#include "panes/device_mesh/model.h"
#include "relay/config.h"
#include "relay/home_peer.h"
#include "vocabulary/device_mesh_vocabulary.h"
#include "vocabulary/registry.h"

namespace settings::panes::device_mesh {

using operations::DeviceMeshOperation;

inline constexpr std::string_view kSavedMessage = "Device & Sync settings saved on this device";
inline constexpr std::string_view kUnreadableConfig = "relay configuration could not be read";
inline constexpr std::string_view kApproveEnrollmentFlag = "device_mesh.approve_enrollment.edit";
inline constexpr std::string_view kApprovePersonalDeviceFlag =
    "device_mesh.approve_personal_device.edit";

// A found candidate and what it was looked for as.
struct HeldCandidate {
  PairCandidate candidate;
  PairingKind kind = PairingKind::HomeServer;
};

class DeviceMeshPane final
    : public lib::PagePane,
      public operations::WithOperationLink<DeviceMeshPane, DeviceMeshOperation> {
 public:
  static constexpr std::string_view kTypeName = pane_row(Pane::kDevicesSync).type_name;

  // Reads the relay configuration, the relay's health, the known
  // workspaces, the paired home servers and their health, the certified
  // devices, the Continuity choices and the roaming provenance: small
  // files, no command.
  DeviceMeshPane();
  ~DeviceMeshPane() override;
  DeviceMeshPane(DeviceMeshPane&&) noexcept;
  DeviceMeshPane& operator=(DeviceMeshPane&&) = delete;

  // ---- State, for the page and the tests ----
  const kalu_relay::RelayConfig& relay_config() const { return relay_config_; }
  // Why the configuration could not be read, while it cannot.
  const std::optional<std::string>& config_error() const { return config_error_; }
  const std::string& status() const { return status_; }
  const std::vector<KnownWorkspace>& known() const { return known_workspaces_; }
  const std::vector<kalu_relay::HomePeerRegistration>& home_peers() const { return home_peers_; }
  const ContinuityModel& continuity() const { return continuity_; }
  const std::optional<LoadedProvenance>& roaming() const { return roaming_; }
  const std::map<std::string, std::string>& peer_status_texts() const { return peer_status_; }
  const HomePeerHealth& last_seen() const { return last_seen_; }
  const std::set<std::string>& remove_confirm() const { return remove_confirm_; }
  const std::optional<HeldCandidate>& candidate() const { return candidate_; }
  PairingKind pairing_kind() const { return pairing_kind_; }
  RelayReadiness readiness() const { return readiness_; }
  bool applying() const { return apply_job_.has_value(); }
  bool pairing() const { return pairing_job_.has_value(); }
  bool discovering() const { return discovering_; }
  bool probing() const { return status_job_.has_value(); }
  bool reapply_pending() const { return reapply_pending_; }
  // A home server's "Availability" text: its status text, else when it was
  // last seen, else "Checking…".
  std::string server_status_text(const std::string& device_node_id) const;
  // Makes the periodic refresh due at the next sync.
  void make_refresh_due() { next_refresh_ = kalu_ui::Instant::now(); }
  // How long after a probe the next one is due: tests that count probes set
  // it beyond their length, so the machine's speed adds none.
  void set_refresh_period(std::chrono::nanoseconds period) {
    refresh_period_ = period;
    next_refresh_ = kalu_ui::Instant::now() + period;
  }

  // ---- The widget contract ----
  std::string_view type_name() const override { return kTypeName; }
  void sync(kalu_ui::doc::Document& document) override;
  kalu_ui::layout::NodeId build_layout(kalu_ui::layout::LayoutTree& tree,
                                       const kalu_ui::RenderContext& context,
                                       kalu_ui::layout::NodeRegistry& registry) override;
  // Soon while a job runs; otherwise the periodic refresh, unless the relay
  // is interactive.
  std::optional<kalu_ui::Instant> own_wake_deadline() const override;
  std::optional<kalu_actions::ActionContext> take_permission_request() override;

 private:
  // The steps of sync (pane_jobs.cpp for the three jobs).
  void take_apply_job();
  void take_pairing_job();
  void take_status_job();
  void take_request();
  void seed(kalu_ui::doc::Document& document);
  void seed_home_peers(kalu_ui::doc::Document& document);
  void take_pairing_buttons(kalu_ui::doc::Document& document);
  void take_device_controls(kalu_ui::doc::Document& document);
  void take_home_server_controls(kalu_ui::doc::Document& document);
  void periodic_refresh();

  // Operations (pane_operations.cpp).
  // Applies the change to the pane's model; an error is the failure text.
  kalu_ui::Status apply_operation(const DeviceMeshOperation& operation);
  // A relay change (role, replication, relay service, workspace) to the
  // pane's copy of the configuration.
  kalu_ui::Status apply_relay_change(const DeviceMeshOperation& operation);
  // Reads the stored configuration into the pane's copy: the defaults when
  // there is none; the defaults and config_error_ when it cannot be read.
  // Answers whether it read.
  bool load_config();
  // Makes sure the configuration reads (a missing file is the defaults);
  // kUnreadableConfig while it does not.
  kalu_ui::Status ensure_config();
  void save_and_complete(std::string key, const DeviceMeshOperation& operation);

  // Commands (pane_jobs.cpp).
  // Starts a setup run for the keys in apply_waiting_; when it cannot start,
  // fails them.
  void run_system_setup();
  // Ends a setup run: completes its keys, then starts the re-run a change
  // asked for meanwhile.
  void finish_setup(const kalu_ui::Result<std::string>& outcome);
  // After a failed run: reads the stored configuration again and applies
  // `changes` (those made during the run) to it. When it cannot be read,
  // fails the changes waiting for the re-run and answers false.
  bool restage(const std::vector<DeviceMeshOperation>& changes);
  void approve_device(PairingKind kind);
  void start_discovery(PairingKind kind);
  void start_approval(const HeldCandidate& held);
  // Runs a home-server command in the administration slot. A probe finding
  // the slot busy is dropped (the next refresh probes again); a rename or
  // removal waits for the slot.
  void run_relay_admin(RelayAdmin subcommand, const kalu_relay::HomePeerRegistration& server,
                       std::string_view label = {});
  // Starts the first waiting rename or removal once the slot is free.
  void run_waiting_admin();
  void reload_home_peers();
  // The first half of the periodic refresh: the relay's health and the
  // roaming provenance.
  void refresh_health();

  kalu_relay::RelayConfig relay_config_;
  std::optional<std::string> config_error_;
  std::filesystem::path relay_config_path_;
  std::string status_;
  std::vector<KnownWorkspace> known_workspaces_;
  std::vector<kalu_relay::HomePeerRegistration> home_peers_;
  // Home servers whose controls the document holds.
  std::set<std::string> seeded_peers_;
  ContinuityModel continuity_;
  std::optional<std::filesystem::path> settings_path_;
  std::optional<LoadedProvenance> roaming_;
  std::map<std::string, std::string> peer_status_;
  HomePeerHealth last_seen_;
  std::set<std::string> remove_confirm_;
  std::optional<HeldCandidate> candidate_;
  PairingKind pairing_kind_ = PairingKind::HomeServer;
  RelayReadiness readiness_ = RelayReadiness::Offline;

  std::optional<limited_exec::AsyncCommand> apply_job_;
  std::optional<limited_exec::AsyncCommand> pairing_job_;
  std::optional<limited_exec::AsyncCommand> status_job_;
  // Operations the running setup carries, and those waiting for the re-run.
  std::vector<std::string> apply_waiting_;
  std::vector<std::string> reapply_waiting_;
  // The relay changes of reapply_waiting_, in order: after a failed run the
  // configuration is read again and these are applied to it once more.
  std::vector<DeviceMeshOperation> restaged_;
  bool reapply_pending_ = false;
  bool discovering_ = false;
  std::optional<std::string> status_job_key_;
  // Renames and removals waiting for the administration slot, oldest first.
  struct WaitingAdmin {
    RelayAdmin subcommand = RelayAdmin::Status;
    std::string server;  // its device node id
    std::string label;
  };
  std::vector<WaitingAdmin> admin_waiting_;
  kalu_ui::Instant next_refresh_;
  std::chrono::nanoseconds refresh_period_ = std::chrono::seconds(2);
  std::uint64_t probe_cursor_ = 0;

  bool seed_document_ = true;
};

}  // namespace settings::panes::device_mesh
