#include "actions/resource_tree.h"

#include <array>
#include <string>
#include <utility>

#include "actions/accessibility_section.h"
#include "actions/agent_models_section.h"
#include "actions/appearance_section.h"
#include "actions/bluetooth_section.h"
#include "actions/default_apps_section.h"
#include "actions/devices_sync_section.h"
#include "actions/displays_section.h"
#include "actions/keyboard_shortcuts_section.h"
#include "actions/mouse_keyboard_section.h"
#include "actions/network_section.h"
#include "actions/notifications_section.h"
#include "actions/pane_actions.h"
#include "actions/power_section.h"
#include "actions/region_section.h"
#include "actions/sound_section.h"
#include "actions/storage_printers_section.h"
#include "actions/time_date_section.h"
#include "actions/updates_section.h"
#include "actions/users_accounts_section.h"

namespace settings::actions {

using kalu_actions::Resource;

namespace {

struct ItemPrefix {
  std::string_view prefix;
  std::string_view pane_id;
};

// The section that holds an item resource, by the item id's prefix, tested
// in this order. The Sound section's "settings.audio-device:" items are
// looked up there too, so every item a section publishes can be found.
constexpr std::array<ItemPrefix, 18> kItemPrefixes = {{
    {"settings.default-app:", "default-apps"},
    {"settings.account:", "external_accounts"},
    {"settings.notification-app:", "notifications"},
    {"settings.audio-output:", "sound"},
    {"settings.audio-input:", "sound"},
    {"settings.audio-playback:", "sound"},
    {"settings.audio-recording:", "sound"},
    {"settings.audio-device:", "sound"},
    {"settings.display-output:", "displays"},
    {"settings.input-source:", "mouse_keyboard"},
    {"settings.bluetooth-device:", "bluetooth"},
    {"settings.printer:", "printers"},
    {"settings.print-job:", "printers"},
    {"settings.user:", "users"},
    {"settings.device-mesh-workspace:", "devices_sync"},
    {"settings.agent-model-recommendation:", "agent_models"},
    {"settings.agent-model:", "agent_models"},
    {"settings.agent-provider:", "agent_models"},
}};

// What the pane's section builder makes, before "open" is put in front.
// Panes whose sections are not built yet answer their bare section.
Resource section_body(panes::PaneIndex pane, const kalu_ui::doc::Document& document,
                      const stored::SettingsPrefs& prefs, AccountList accounts) {
  const std::string_view id = panes::pane_id(pane);
  if (id == "network") return network_resource();
  if (id == "bluetooth") return bluetooth_resource();
  if (id == "devices_sync") return devices_sync_resource();
  if (id == "sound") return sound_resource();
  if (id == "displays") return displays_resource();
  if (id == "mouse_keyboard") return mouse_keyboard_resource(document, prefs);
  if (id == "time_date") return time_date_resource();
  if (id == "power") return power_resource();
  if (id == "updates") return updates_resource();
  if (id == "region_formats") return region_resource(document);
  if (id == "notifications") return notifications_resource(document, prefs.notifications);
  if (id == "appearance") return appearance_resource(document, prefs.appearance);
  if (id == "keyboard_shortcuts") return keyboard_shortcuts_resource(document);
  if (id == "default-apps") return default_apps_resource(document);
  if (id == "accessibility") return accessibility_resource(document, prefs);
  if (id == "storage") return storage_resource();
  if (id == "printers") return printers_resource();
  if (id == "users") return users_resource();
  if (id == "external_accounts") return external_accounts_resource(accounts);
  if (id == "agent_models") return agent_models_resource();
  return Resource::create(section_resource_id(pane), std::string(section_kind(pane)),
                          std::string(panes::pane_title(pane)));
}

// Takes the first resource named `id` out of `tree`, in pre-order.
bool take_resource(Resource& tree, std::string_view id, std::optional<Resource>& found) {
  if (tree.id == id) {
    found = std::move(tree);
    return true;
  }
  for (Resource& child : tree.children) {
    if (take_resource(child, id, found)) return true;
  }
  return false;
}

std::optional<Resource> take_child(std::vector<Resource>& children, std::string_view id) {
  for (Resource& child : children) {
    if (child.id == id) return std::move(child);
  }
  return std::nullopt;
}

}  // namespace

Resource settings_sections(panes::PaneIndex pane, const kalu_ui::doc::Document& document,
                           const stored::SettingsPrefs& prefs, AccountList accounts) {
  Resource section = section_body(pane, document, prefs, accounts);
  if (auto open = open_action_spec(pane)) {
    section.actions.insert(section.actions.begin(), std::move(*open));
  }
  return section;
}

std::vector<Resource> root_resource(const kalu_ui::doc::Document& document, AccountList accounts) {
  const stored::SettingsPrefs prefs = stored::SettingsPrefs::load();
  Resource root = Resource::create(std::string(kRootResourceId), std::string(kRootResourceKind),
                                   std::string(kRootResourceLabel));
  root.children.reserve(panes::kPaneCount);
  for (const panes::PaneIndex pane : panes::SIDEBAR_ORDER) {
    root.children.push_back(settings_sections(pane, document, prefs, accounts));
  }
  std::vector<Resource> list;
  list.push_back(std::move(root));
  return list;
}

Resource attach_pane_resources(Resource resource, std::span<const panes::PaneIndex> panes) {
  for (const panes::PaneIndex pane : panes) {
    resource = std::move(resource).with_child(pane_section_resource(pane));
  }
  return resource;
}

Resource plain_root() {
  return attach_pane_resources(
      Resource::create(std::string(kRootResourceId), std::string(kRootResourceKind),
                       std::string(kRootResourceLabel)),
      panes::SIDEBAR_ORDER);
}

std::optional<Resource> find_resource(Resource tree, std::string_view id) {
  std::optional<Resource> found;
  take_resource(tree, id, found);
  return found;
}

std::optional<Resource> find_input_source_child(std::vector<Resource> children,
                                                std::string_view source_id) {
  std::string id("settings.input-source:");
  id.append(source_id);
  return take_child(children, id);
}

std::optional<Resource> find_mesh_workspace_child(std::vector<Resource> children,
                                                  std::uint64_t workspace_id) {
  return take_child(children, "settings.device-mesh-workspace:" + std::to_string(workspace_id));
}

std::optional<panes::PaneIndex> pane_of_resource(std::string_view id) {
  for (const panes::PaneIndex pane : panes::SIDEBAR_ORDER) {
    if (section_resource_id(pane) == id) return pane;
  }
  for (const ItemPrefix& item : kItemPrefixes) {
    if (id.starts_with(item.prefix)) return panes::pane_by_id(item.pane_id);
  }
  return std::nullopt;
}

std::optional<Resource> resource_by_id(const kalu_ui::doc::Document& document, AccountList accounts,
                                       std::string_view id) {
  if (id == kRootResourceId) return plain_root();
  const auto pane = pane_of_resource(id);
  if (!pane) return std::nullopt;
  return find_resource(settings_sections(*pane, document, stored::SettingsPrefs::load(), accounts),
                       id);
}

}  // namespace settings::actions
