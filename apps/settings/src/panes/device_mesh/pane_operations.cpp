// The device-mesh operations: each changes the pane's copy of the relay
// configuration (or the Continuity choices) and is completed when the
// system setup that saves it ends, or at once when it is refused.
#include <fmt/format.h>

#include <algorithm>
#include <variant>

#include "panes/device_mesh/device_mesh_pane.h"
#include "panes/device_mesh/relay_changes.h"

namespace settings::panes::device_mesh {
namespace {

using Op = DeviceMeshOperation;

bool is_continuity_change(const DeviceMeshOperation& operation) {
  const auto* service = std::get_if<Op::SetService>(&operation);
  return service != nullptr && is_continuity_service(service->service);
}

bool is_known(std::span<const KnownWorkspace> workspaces, std::uint64_t id) {
  return std::ranges::any_of(workspaces,
                             [&](const KnownWorkspace& workspace) { return workspace.id == id; });
}

}  // namespace

bool DeviceMeshPane::load_config() {
  auto loaded = kalu_relay::load(relay_config_path_);
  if (loaded) {
    relay_config_ = std::move(*loaded);
  } else if (loaded.error().kind == kalu_relay::LoadError::Kind::NotFound) {
    relay_config_ = kalu_relay::RelayConfig::defaults();
  } else {
    // Kept until a change finds it readable: a change must never replace
    // a configuration that exists with the defaults.
    relay_config_ = kalu_relay::RelayConfig::defaults();
    config_error_ = loaded.error().message;
    return false;
  }
  config_error_.reset();
  return true;
}

kalu_ui::Status DeviceMeshPane::ensure_config() {
  if (!config_error_) return {};
  // Read again: the file may have been mended meanwhile. A file that is now
  // gone starts from the defaults like a device never set up.
  if (!load_config()) {
    status_ = fmt::format("Configuration could not be read: {}", *config_error_);
    return kalu_ui::fail(std::string(kUnreadableConfig));
  }
  request_rebuild();
  return {};
}

kalu_ui::Status DeviceMeshPane::apply_operation(const DeviceMeshOperation& operation) {
  if (auto readable = ensure_config(); !readable) return readable;
  if (const auto* service = std::get_if<Op::SetService>(&operation);
      service != nullptr && is_continuity_service(service->service)) {
    const stored::ContinuityPrivacy before = continuity_.continuity;
    const auto now_secs = unix_time_secs(std::chrono::system_clock::now());
    if (auto applied = apply_continuity_change(continuity_.continuity, service->service,
                                               service->enabled, now_secs);
        !applied) {
      return applied;
    }
    if (auto saved = save_continuity(continuity_, settings_path_); !saved) {
      // What is shown stays what is stored; the caption says why.
      continuity_.continuity = before;
      return saved;
    }
    return {};
  }
  return apply_relay_change(operation);
}

kalu_ui::Status DeviceMeshPane::apply_relay_change(const DeviceMeshOperation& operation) {
  if (const auto* role = std::get_if<Op::SetRole>(&operation)) {
    auto crossed = set_role(relay_config_, role->role, known_workspaces_);
    if (!crossed) return kalu_ui::fail(crossed.error());
    if (*crossed) request_rebuild();
    // The relay's health is looked at once more at the next sync.
    next_refresh_ = kalu_ui::Instant::now();
    return {};
  }
  if (const auto* replication = std::get_if<Op::SetReplication>(&operation)) {
    return set_replication(relay_config_, replication->replication);
  }
  if (const auto* service = std::get_if<Op::SetService>(&operation)) {
    return set_relay_service(relay_config_, service->service, service->enabled);
  }
  const auto& workspace = std::get<Op::SetWorkspace>(operation);
  if (!is_known(known_workspaces_, workspace.id)) {
    // The desktop may have opened it since the page was built.
    known_workspaces_ = known_workspaces(relay_config_);
    if (!is_known(known_workspaces_, workspace.id)) {
      return kalu_ui::fail("workspace is no longer available on this device");
    }
  }
  set_workspace(relay_config_, workspace.id, workspace.enabled);
  return {};
}

void DeviceMeshPane::save_and_complete(std::string key, const DeviceMeshOperation& operation) {
  request_rebuild();
  if (apply_job_) {
    // Carried by one more run with the latest configuration after this one.
    // Its relay change is kept apart too: should the running setup fail,
    // the configuration goes back to what is stored and only the changes
    // made since are applied again for the next run.
    if (!is_continuity_change(operation)) restaged_.push_back(operation);
    reapply_pending_ = true;
    reapply_waiting_.push_back(std::move(key));
    status_ = "Saving latest changes…";
    return;
  }
  apply_waiting_.push_back(std::move(key));
  run_system_setup();
}

}  // namespace settings::panes::device_mesh
