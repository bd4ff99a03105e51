#include "panes/device_mesh/page.h"

#include <fmt/format.h>

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "actions/devices_sync_section.h"
#include "kalu_ui/wake_slot.h"
#include "kalu_ui/widget/dropdown.h"
#include "kalu_ui/widget/text_input.h"
#include "lib/flag_button.h"
#include "panes/device_mesh/device_mesh_pane.h"
#include "panes/device_mesh/relay_changes.h"

namespace settings::panes::device_mesh {
namespace {

namespace w = kalu_ui::widget;
using ui_rows::caption;
using ui_rows::WidgetBox;
using ui_rows::WidgetList;

constexpr std::string_view kHomeServerButton = "device_mesh.approve_enrollment";
constexpr std::string_view kPersonalDeviceButton = "device_mesh.approve_personal_device";

bool starts_with(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

// The control id of a flag key: the key without ".edit".
std::string control_of(std::string key) {
  key.resize(key.size() - std::string_view(".edit").size());
  return key;
}

WidgetBox flag_button(std::string label, std::string flag_key, bool danger = false) {
  lib::FlagButton button(std::move(label), control_of(flag_key), flag_key);
  button.with_danger(danger);
  return w::boxed(std::move(button));
}

std::optional<kalu_actions::ActionBinding> bind_toggle(const PageBindings& bindings,
                                                       std::string_view action) {
  return bindings.toggles ? bindings.toggles(action) : std::nullopt;
}

WidgetBox dropdown(std::string id, std::string_view label,
                   std::span<const std::string_view> options, std::string_view current,
                   std::string_view action, const PageBindings& bindings) {
  std::vector<std::string> texts(options.begin(), options.end());
  w::Dropdown control = w::Dropdown::from_state(
      kalu_ui::WakeSlot<std::string>::create(std::string(current)), std::move(texts));
  control.with_id(std::move(id)).with_label(std::string(label));
  if (bindings.choices) {
    control.on_action(bindings.choices(action));
  }
  return w::boxed(std::move(control));
}

std::string_view replication_description(std::uint8_t replication) {
  switch (replication) {
    case kalu_relay::kReplicationWorkspaceOnly:
      return "Open workspaces and app progress sync here without keeping workspace files.";
    case kalu_relay::kReplicationFull:
      return "Open workspaces, app progress, and full file copies stay synced on this device.";
    default:
      return "File names, metadata, and preview thumbnails stay ready. File contents download "
             "when opened.";
  }
}

std::string_view readiness_description(RelayReadiness readiness) {
  switch (readiness) {
    case RelayReadiness::Offline:
      return "The sync service is not currently reachable.";
    case RelayReadiness::Online:
      return "This device is reachable by your other devices.";
    case RelayReadiness::Syncing:
      return "Keep this device powered and online while file copies finish.";
    case RelayReadiness::Ready:
      return "All selected workspace files are available here.";
  }
  return "";
}

std::string_view role_caption(const kalu_relay::RelayConfig& config) {
  switch (config.role) {
    case kalu_relay::kRoleInteractive:
      return "Choose Always-on server to make this device your always-on sync home.";
    case kalu_relay::kRoleAlwaysOn:
      if (config.workspaces.empty()) {
        return "Workspaces added to this device stay available around the clock.";
      }
      if (config.full_replication) {
        return "Open workspaces, app progress, and full file copies stay available from this "
               "device.";
      }
      return "Open workspaces and app progress stay available from this device around the clock.";
    default:
      return "Workspace updates stay available to your other devices while this device is awake.";
  }
}

std::string role_label(std::uint8_t role) {
  const auto labels = role_labels();
  return std::string(role < labels.size() ? labels[role] : labels[0]);
}

// ---- Cards ----

WidgetBox continue_card(const DeviceMeshPane& pane, const PageBindings& bindings) {
  const auto& config = pane.relay_config();
  WidgetList rows;
  rows.push_back(ui_rows::info_row("Workspace and app activity", "Sync automatically"));
  rows.push_back(
      caption("Pick up your open workspaces, app tabs, reading position, and playback on any "
              "device signed in as you."));
  if (config.workspaces.empty()) {
    rows.push_back(ui_rows::info_row("Files", "Download when opened"));
  } else {
    const std::uint8_t replication = shown_replication(config);
    rows.push_back(ui_rows::described_row(
        "Files", replication_description(replication),
        dropdown("device_mesh.replication", "Files", replication_choice_order(),
                 replication_label(replication), "replication", bindings)));
  }
  if (status_belongs_to_settings(pane.status())) rows.push_back(caption(pane.status()));
  return ui_rows::section_card("Continue across devices", ui_rows::rows_column(std::move(rows)));
}

WidgetBox roaming_card(const DeviceMeshPane& pane) {
  WidgetList rows;
  const auto& roaming = pane.roaming();
  const prefs_store::RoamingProvenance* record =
      roaming ? std::get_if<prefs_store::RoamingProvenance>(&roaming->record) : nullptr;
  if (!roaming) {
    rows.push_back(caption("No roaming settings decision has been published on this device yet."));
  } else if (record != nullptr) {
    if (record->settings.empty() && record->wifi_profiles.empty()) {
      rows.push_back(caption("No personal settings or saved Wi-Fi profiles are roaming."));
    }
    for (const auto& setting : record->settings) {
      rows.push_back(ui_rows::info_row(setting.name, provenance_summary(setting.provenance)));
    }
    for (const auto& profile : record->wifi_profiles) {
      rows.push_back(ui_rows::info_row(fmt::format("Wi-Fi · {}", profile.network),
                                       fmt::format("Sealed {} profile. {}", profile.security,
                                                   provenance_summary(profile.provenance))));
    }
  } else {
    rows.push_back(caption(std::get<std::string>(roaming->record)));
  }
  rows.push_back(
      caption("Settings conflicts use the newest certified revision, then the device identity as "
              "a stable tie-break. Wi-Fi rows contain only profile metadata; passwords and sealed "
              "envelopes never enter Settings."));
  return ui_rows::section_card("Roaming settings & Wi-Fi", ui_rows::rows_column(std::move(rows)));
}

// The label of a pairing button: "Pairing…" while its pairing runs, the
// approval of a candidate found for it, else `idle`.
std::string pairing_label(const DeviceMeshPane& pane, PairingKind kind, std::string_view idle) {
  if (pane.pairing() && pane.pairing_kind() == kind) return "Pairing…";
  if (const auto& held = pane.candidate(); held && held->kind == kind) {
    return fmt::format("Approve {} · {}", held->candidate.label, held->candidate.verification_code);
  }
  return std::string(idle);
}

// Whether the pairing of `kind` is under way: running, or a candidate held.
bool pairing_of(const DeviceMeshPane& pane, PairingKind kind) {
  if (pane.pairing_kind() != kind) return false;
  return pane.pairing() || (pane.candidate() && pane.candidate()->kind == kind);
}

WidgetBox personal_device_card(const DeviceMeshPane& pane) {
  WidgetList rows;
  rows.push_back(
      caption("On the new device, choose Use my existing Kalu identity. Compare the nearby "
              "six-digit code, then approve it here. Your open workspaces and trusted home peers "
              "appear automatically."));
  if (pane.pairing_kind() == PairingKind::PersonalDevice &&
      (pairing_of(pane, PairingKind::PersonalDevice) || !pane.status().empty())) {
    rows.push_back(caption(pane.status()));
  }
  return ui_rows::section_card_with_control(
      "Add a personal device",
      flag_button(pairing_label(pane, PairingKind::PersonalDevice, "Add device"),
                  std::string(kApprovePersonalDeviceFlag)),
      ui_rows::rows_column(std::move(rows)));
}

WidgetBox availability_card(const DeviceMeshPane& pane, const PageBindings& bindings) {
  const auto& config = pane.relay_config();
  WidgetList rows;
  rows.push_back(ui_rows::described_row(
      "This device",
      "Use it normally, sync while it is awake, or make it the always-on home for your workspaces "
      "and files.",
      dropdown("device_mesh.role", "This device", role_choice_order(), role_label(config.role),
               "role", bindings)));
  if (config.role != kalu_relay::kRoleInteractive) {
    const Badge badge = readiness_badge(pane.readiness());
    rows.push_back(ui_rows::described_row("Home peer", readiness_description(pane.readiness()),
                                          ui_rows::badge_with_tone(badge.text, badge.tone)));
  }
  rows.push_back(ui_rows::info_row("Workspaces", fmt::format("{}", config.workspaces.size())));
  rows.push_back(caption(role_caption(config)));
  return ui_rows::section_card("Device availability", ui_rows::rows_column(std::move(rows)));
}

WidgetBox workspaces_card(const DeviceMeshPane& pane, const PageBindings& bindings) {
  const auto& config = pane.relay_config();
  WidgetList rows;
  if (pane.known().empty()) {
    rows.push_back(caption("Your workspaces appear here as soon as they are opened."));
  }
  for (const auto& workspace : pane.known()) {
    const bool bound = std::ranges::any_of(config.workspaces, [&](const auto& binding) {
      return binding.workspace_id == workspace.id;
    });
    rows.push_back(ui_rows::described_row(
        workspace.label, "Keep this workspace available from this device",
        bound_toggle(fmt::format("device_mesh.workspace.{}", workspace.id), workspace.label, bound,
                     bindings.workspaces ? bindings.workspaces(workspace.id) : std::nullopt)));
  }
  return ui_rows::section_card("Synced workspaces", ui_rows::rows_column(std::move(rows)));
}

WidgetBox home_server_card(const DeviceMeshPane& pane) {
  WidgetList rows;
  rows.push_back(
      caption("Choose Pair home server while your new Kalu server is starting. It receives its "
              "identity and full-sync setup automatically."));
  if (!pane.home_peers().empty()) {
    rows.push_back(
        ui_rows::info_row("Paired home servers", fmt::format("{}", pane.home_peers().size())));
  }
  if (pairing_of(pane, PairingKind::HomeServer) || starts_with(pane.status(), "Home server")) {
    rows.push_back(caption(pane.status()));
  }
  return ui_rows::section_card_with_control(
      "Home server or NAS",
      flag_button(pairing_label(pane, PairingKind::HomeServer, "Pair home server"),
                  std::string(kApproveEnrollmentFlag)),
      ui_rows::rows_column(std::move(rows)));
}

WidgetBox server_card(const DeviceMeshPane& pane, const kalu_relay::HomePeerRegistration& server) {
  const std::string& key = server.device_node_id;
  const bool confirming = pane.remove_confirm().contains(key);
  WidgetList rows;
  w::TextInput name(home_peer_control_id(key, "name"));
  name.with_placeholder(server.label);
  name.with_id(control_of(home_peer_control_id(key, "name"))).with_label("Name this home server");
  rows.push_back(
      ui_rows::described_control_row("Name", "Name this home server", w::boxed(std::move(name))));
  rows.push_back(
      ui_rows::described_row("Apply name", "Updates the authenticated home server",
                             flag_button("Rename", home_peer_control_id(key, "rename"))));
  const std::string status = pane.server_status_text(key);
  const ServerBadge badge = server_badge(status);
  rows.push_back(ui_rows::described_row("Availability", status,
                                        ui_rows::badge_with_tone(badge.text, badge.tone)));
  if (confirming) {
    rows.push_back(ui_rows::described_row(
        "Files are not remotely erased",
        "Revoking stops this server receiving new changes. Make sure another device has any files "
        "whose only full copy is here.",
        flag_button("Cancel", home_peer_control_id(key, "cancel_remove"))));
  }
  return ui_rows::section_card_with_control(
      server.label,
      flag_button(confirming ? "Revoke & remove" : "Remove server",
                  home_peer_control_id(key, "remove"), confirming),
      ui_rows::rows_column(std::move(rows)));
}

WidgetBox services_card(const DeviceMeshPane& pane, const PageBindings& bindings) {
  const auto& config = pane.relay_config();
  struct Service {
    std::string_view label;
    std::string_view description;
    std::string_view id;
    std::string_view action;
    bool on;
  };
  const std::array<Service, 4> services = {{
      {"Collaboration and chat relay", "Keep workspace updates and messages moving between devices",
       "device_mesh.inbound_relay", "inbound-relay", config.inbound_relay},
      {"Remote-control relay", "Connect remote-control sessions through this device when needed",
       "device_mesh.remote_relay", "remote-control", config.remote_control_relay},
      {"Serve app backends", "Run compatible app services from this device",
       "device_mesh.app_serving", "app-serving", config.app_serving},
      {"Accept distributed jobs", "Run compatible background jobs from this device",
       "device_mesh.compute", "compute", config.compute},
  }};
  WidgetList rows;
  for (const auto& service : services) {
    rows.push_back(
        ui_rows::described_row(service.label, service.description,
                               bound_toggle(std::string(service.id), service.label, service.on,
                                            bind_toggle(bindings, service.action))));
  }
  return ui_rows::section_card("Device services", ui_rows::rows_column(std::move(rows)));
}

}  // namespace

PageBindings section_bindings(std::span<const KnownWorkspace> workspaces) {
  auto section =
      std::make_shared<const kalu_actions::Resource>(actions::devices_sync_resource(workspaces));
  PageBindings bindings;
  bindings.toggles = [section](std::string_view action) {
    return actions::device_mesh_toggle_binding(*section, action);
  };
  bindings.choices = [section](std::string_view action) {
    return actions::device_mesh_choice_binding(*section, action);
  };
  bindings.workspaces = [section](std::uint64_t id) {
    return actions::device_mesh_workspace_binding(*section, id);
  };
  return bindings;
}

bool status_belongs_to_settings(std::string_view status) {
  for (std::string_view prefix :
       {"Configuration could not", "Not saved", "Saving", "Waiting", "Could not start pairing"}) {
    if (starts_with(status, prefix)) return true;
  }
  return status == "Saved";
}

ServerBadge server_badge(std::string_view status_text) {
  if (starts_with(status_text, "Online")) {
    return status_text.find("Syncing") != std::string_view::npos ? ServerBadge{"Syncing", 0}
                                                                 : ServerBadge{"Online", 0};
  }
  if (status_text == "Checking…") return {"Checking", 1};
  if (status_text == "Connecting…") return {"Checking", 2};
  if (status_text == "Removed") return {"Removed", 2};
  return {"Offline", 2};
}

WidgetBox build_page(const DeviceMeshPane& pane, const PageBindings& bindings) {
  const ContinuityModel& continuity = pane.continuity();
  WidgetList cards;
  cards.push_back(continue_card(pane, bindings));
  cards.push_back(continuity_privacy_card(continuity, bindings.toggles));
  cards.push_back(continuity_route_card(continuity));
  cards.push_back(roaming_card(pane));
  cards.push_back(continuity_activity_card(continuity));
  cards.push_back(personal_device_card(pane));
  cards.push_back(trusted_devices_card(continuity));
  cards.push_back(availability_card(pane, bindings));
  cards.push_back(workspaces_card(pane, bindings));
  cards.push_back(home_server_card(pane));
  for (const auto& server : pane.home_peers()) cards.push_back(server_card(pane, server));
  if (pane.relay_config().role != kalu_relay::kRoleInteractive) {
    cards.push_back(services_card(pane, bindings));
  }
  return ui_rows::sections_column(std::move(cards));
}

}  // namespace settings::panes::device_mesh
