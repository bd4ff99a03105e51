#include "panes/device_mesh/device_mesh_pane.h"

#include <fmt/format.h>

#include <utility>

#include "actions/doc_readers.h"
#include "actions/preference_context.h"
#include "lib/text_object.h"
#include "operations/keys.h"
#include "panes/device_mesh/page.h"
#include "prefs_store/paths.h"
#include "vocabulary/doc_flags.h"

namespace settings::panes::device_mesh {
namespace {

namespace doc = kalu_ui::doc;
using namespace std::chrono_literals;

constexpr auto kJobPoll = 100ms;

void put(doc::Document& document, std::string_view key, doc::Scalar value) {
  (void)document.put(doc::kRoot, key, std::move(value));
}

}  // namespace

DeviceMeshPane::DeviceMeshPane() : relay_config_path_(kalu_relay::relay_config_path()) {
  // 1. The relay configuration.
  if (auto loaded = kalu_relay::load(relay_config_path_)) {
    relay_config_ = std::move(*loaded);
    status_ = "Configuration loaded";
  } else {
    relay_config_ = kalu_relay::RelayConfig::defaults();
    if (loaded.error().kind == kalu_relay::LoadError::Kind::NotFound) {
      status_ = "Not configured on this device";
    } else {
      // Kept until a change finds it readable: a change must never replace
      // a configuration that exists with the defaults.
      config_error_ = loaded.error().message;
      status_ = fmt::format("Configuration could not be read: {}", loaded.error().message);
    }
  }
  // 2. Health, workspaces and home servers.
  readiness_ = relay_readiness(relay_config_, std::chrono::system_clock::now());
  known_workspaces_ = known_workspaces(relay_config_);
  home_peers_ = read_home_peers();
  // 3, 4. The certified devices and the Continuity choices.
  settings_path_ = prefs_store::settings_path();
  continuity_ = ContinuityModel::load(settings_path_);
  // 5. Roaming provenance.
  if (auto path = prefs_store::roaming_provenance::path())
    roaming_ = load_roaming_provenance(*path);
  // 6, 7.
  last_seen_ = read_home_peer_health();
  next_refresh_ = kalu_ui::Instant::now() + refresh_period_;
}

DeviceMeshPane::~DeviceMeshPane() = default;
DeviceMeshPane::DeviceMeshPane(DeviceMeshPane&&) noexcept = default;

std::string DeviceMeshPane::server_status_text(const std::string& device_node_id) const {
  if (auto found = peer_status_.find(device_node_id); found != peer_status_.end()) {
    return found->second;
  }
  if (auto seen = last_seen_.find(device_node_id); seen != last_seen_.end()) {
    return last_seen_text(seen->second);
  }
  return "Checking…";
}

// ---- sync ----

void DeviceMeshPane::sync(doc::Document& toolkit_document) {
  doc::Document& document = link_.working(toolkit_document);
  take_apply_job();
  take_pairing_job();
  take_status_job();
  run_waiting_admin();
  take_request();
  if (seed_document_) {
    seed(document);
    seed_document_ = false;
  }
  seed_home_peers(document);
  take_pairing_buttons(document);
  take_device_controls(document);
  take_home_server_controls(document);
  run_waiting_admin();
  periodic_refresh();
  PagePane::sync(document);
}

void DeviceMeshPane::take_request() {
  const std::optional<DeviceMeshOperation> request = link_.take();
  if (!request) return;
  const std::string key = operations::operation_key(*request);
  if (auto applied = apply_operation(*request); !applied) {
    // A refused change is shown as it was: the page's controls go back.
    request_rebuild();
    link_.complete(key, kalu_ui::fail(applied.error()));
    return;
  }
  save_and_complete(key, *request);
}

void DeviceMeshPane::seed(doc::Document& document) {
  seed_device_controls(document, continuity_.devices);
  put(document, kApproveEnrollmentFlag, false);
  put(document, kApprovePersonalDeviceFlag, false);
}

void DeviceMeshPane::seed_home_peers(doc::Document& document) {
  // Servers that appear after a pairing or a probe get their controls too.
  for (const auto& server : home_peers_) {
    const std::string& key = server.device_node_id;
    if (!seeded_peers_.insert(key).second) continue;
    put(document, home_peer_control_id(key, "name"), server.label);
    (void)lib::seed_text_object(document, doc::kRoot, home_peer_control_id(key, "name"));
    for (std::string_view field : {"rename", "remove", "cancel_remove"}) {
      put(document, home_peer_control_id(key, field), false);
    }
  }
}

void DeviceMeshPane::take_pairing_buttons(doc::Document& document) {
  if (take_doc_flag(document, kApproveEnrollmentFlag)) approve_device(PairingKind::HomeServer);
  if (take_doc_flag(document, kApprovePersonalDeviceFlag)) {
    approve_device(PairingKind::PersonalDevice);
  }
}

void DeviceMeshPane::take_device_controls(doc::Document& document) {
  const DeviceControlsOutcome outcome = sync_device_controls(document, continuity_);
  if (outcome.rebuild) request_rebuild();
  if (outcome.status) status_ = *outcome.status;
  // Devices a reload brought get their controls (known ones keep theirs).
  if (outcome.rebuild) {
    std::vector<stored::FleetDevice> fresh;
    for (const auto& device : continuity_.devices) {
      const auto revoke = personal_device_control_id(device.device_public_key, "revoke");
      if (!actions::get_doc_value(document, doc::kRoot, revoke)) fresh.push_back(device);
    }
    seed_device_controls(document, fresh);
  }
}

void DeviceMeshPane::take_home_server_controls(doc::Document& document) {
  // A copy: a command's answer may replace the list later, never during
  // this loop, but the loop must not depend on that.
  const auto servers = home_peers_;
  for (const auto& server : servers) {
    const std::string& key = server.device_node_id;
    if (take_doc_flag(document, home_peer_control_id(key, "rename"))) {
      const auto label =
          actions::read_doc_text(document, doc::kRoot, home_peer_control_id(key, "name"));
      // An invalid name is ignored: the field shows what is wrong with it.
      if (label && kalu_relay::home_peer::valid_home_peer_label(*label)) {
        run_relay_admin(RelayAdmin::Rename, server, *label);
      }
    }
    if (take_doc_flag(document, home_peer_control_id(key, "cancel_remove"))) {
      remove_confirm_.erase(key);
      request_rebuild();
    }
    if (take_doc_flag(document, home_peer_control_id(key, "remove"))) {
      if (remove_confirm_.insert(key).second) {
        status_ = fmt::format(
            "Review the file-copy warning, then choose Revoke & remove to stop {} permanently",
            server.label);
        request_rebuild();
      } else {
        remove_confirm_.erase(key);
        run_relay_admin(RelayAdmin::Remove, server);
      }
    }
  }
}

void DeviceMeshPane::refresh_health() {
  const RelayReadiness readiness = relay_readiness(relay_config_, std::chrono::system_clock::now());
  if (readiness != readiness_) {
    readiness_ = readiness;
    request_rebuild();
  }
  if (auto path = prefs_store::roaming_provenance::path()) {
    auto loaded = load_roaming_provenance(*path);
    const bool changed = loaded.has_value() != roaming_.has_value() ||
                         (loaded && loaded->modified != roaming_->modified);
    if (changed) {
      roaming_ = std::move(loaded);
      request_rebuild();
    }
  }
  next_refresh_ = kalu_ui::Instant::now() + refresh_period_;
}

void DeviceMeshPane::periodic_refresh() {
  if (kalu_ui::Instant::now() < next_refresh_) return;
  refresh_health();
  if (status_job_ || !admin_waiting_.empty()) return;
  if (read_pending_decommissions() > 0) {
    // Pending removals were read under the root, so it is known.
    auto root = identity_root();
    if (!root) return;
    if (auto started = limited_exec::spawn_prepared(retry_removals_command(*root))) {
      status_job_ = std::move(*started);
      status_job_key_ = std::string(kPendingRemovalsKey);
    }
    return;
  }
  if (home_peers_.empty()) return;
  const auto& server = home_peers_[probe_cursor_++ % home_peers_.size()];
  run_relay_admin(RelayAdmin::Status, server);
}

// ---- The widget contract ----

kalu_ui::layout::NodeId DeviceMeshPane::build_layout(kalu_ui::layout::LayoutTree& tree,
                                                     const kalu_ui::RenderContext& context,
                                                     kalu_ui::layout::NodeRegistry& registry) {
  return lay_out_page(tree, context, registry,
                      build_page(*this, section_bindings(known_workspaces_)));
}

std::optional<kalu_ui::Instant> DeviceMeshPane::own_wake_deadline() const {
  if (apply_job_ || pairing_job_ || status_job_) return kalu_ui::Instant::now() + kJobPoll;
  if (relay_config_.role != kalu_relay::kRoleInteractive) return next_refresh_;
  return std::nullopt;
}

std::optional<kalu_actions::ActionContext> DeviceMeshPane::take_permission_request() {
  return actions::preference_pane_context(take_interaction(), "devices-sync", "Devices & Sync",
                                          "Change device mesh settings");
}

}  // namespace settings::panes::device_mesh
