#include "actions/resource_tree.h"

#include <algorithm>
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
#include "vocabulary/look.h"

namespace settings::actions {

using kalu_actions::Resource;

namespace {

using panes::Pane;

struct ItemPrefix {
  std::string_view prefix;
  Pane pane;
};

// The section that holds an item resource, by the item id's prefix, tested
// in this order. The Sound section's "settings.audio-device:" items are
// looked up there too, so every item a section publishes can be found.
constexpr std::array<ItemPrefix, 18> kItemPrefixes = {{
    {"settings.default-app:", Pane::kAppsFiles},
    {"settings.account:", Pane::kExternalAccounts},
    {"settings.notification-app:", Pane::kNotifications},
    {"settings.audio-output:", Pane::kSound},
    {"settings.audio-input:", Pane::kSound},
    {"settings.audio-playback:", Pane::kSound},
    {"settings.audio-recording:", Pane::kSound},
    {"settings.audio-device:", Pane::kSound},
    {"settings.display-output:", Pane::kDisplays},
    {"settings.input-source:", Pane::kMouseKeyboard},
    {"settings.bluetooth-device:", Pane::kBluetooth},
    {"settings.printer:", Pane::kPrinters},
    {"settings.print-job:", Pane::kPrinters},
    {"settings.user:", Pane::kUsers},
    {"settings.device-mesh-workspace:", Pane::kDevicesSync},
    {"settings.agent-model-recommendation:", Pane::kAgentModels},
    {"settings.agent-model:", Pane::kAgentModels},
    {"settings.agent-provider:", Pane::kAgentModels},
}};

// What a section builder reads: the stored preferences each section reports
// its current values from, never a value a pane left in the state document.
struct SectionInputs {
  const stored::SettingsPrefs& prefs;
  // The look as stored (vocabulary/look.h).
  const stored::AppearancePrefs& look;
  AccountList accounts;
};

// What a pane's section builder makes, before "open" is put in front; at
// most one row per pane, in the order of Pane. A pane without a row (Device
// Privacy & Security, About) answers its bare section: id, kind and title.
struct SectionRow {
  Pane pane;
  Resource (*build)(const SectionInputs& in);
};

constexpr auto kSections = std::to_array<SectionRow>({
    {Pane::kNetwork, [](const SectionInputs&) { return network_resource(); }},
    {Pane::kBluetooth, [](const SectionInputs&) { return bluetooth_resource(); }},
    {Pane::kDevicesSync, [](const SectionInputs&) { return devices_sync_resource(); }},
    {Pane::kSound, [](const SectionInputs&) { return sound_resource(); }},
    {Pane::kDisplays, [](const SectionInputs&) { return displays_resource(); }},
    {Pane::kMouseKeyboard,
     [](const SectionInputs& in) {
       return mouse_keyboard_resource(stored::TextAssistance::load(), in.prefs);
     }},
    {Pane::kKeyboardShortcuts, [](const SectionInputs&) { return keyboard_shortcuts_resource(); }},
    {Pane::kTimeDate, [](const SectionInputs&) { return time_date_resource(); }},
    {Pane::kUsers, [](const SectionInputs&) { return users_resource(); }},
    {Pane::kPrinters, [](const SectionInputs&) { return printers_resource(); }},
    {Pane::kPower, [](const SectionInputs&) { return power_resource(); }},
    {Pane::kAppearance, [](const SectionInputs& in) { return appearance_resource(in.look); }},
    {Pane::kAccessibility,
     [](const SectionInputs& in) {
       stored::SettingsPrefs prefs = in.prefs;
       prefs.appearance = in.look;
       return accessibility_resource(prefs);
     }},
    {Pane::kNotifications,
     [](const SectionInputs& in) { return notifications_resource(in.prefs.notifications); }},
    {Pane::kAppsFiles, [](const SectionInputs&) { return default_apps_resource(); }},
    {Pane::kStorage, [](const SectionInputs&) { return storage_resource(); }},
    {Pane::kExternalAccounts,
     [](const SectionInputs& in) { return external_accounts_resource(in.accounts); }},
    {Pane::kAgentModels, [](const SectionInputs&) { return agent_models_resource(); }},
    {Pane::kRegionFormats, [](const SectionInputs&) { return region_resource(); }},
    {Pane::kUpdates, [](const SectionInputs&) { return updates_resource(); }},
});
static_assert(panes::rows_in_pane_order(kSections, [](const SectionRow& row) { return row.pane; }));

Resource section_body(Pane pane, const SectionInputs& in) {
  const auto row = std::ranges::find(kSections, pane, &SectionRow::pane);
  if (row != kSections.end()) return row->build(in);
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

namespace {

Resource section_with_open(Pane pane, const SectionInputs& in) {
  Resource section = section_body(pane, in);
  if (auto open = open_action_spec(pane)) {
    section.actions.insert(section.actions.begin(), std::move(*open));
  }
  return section;
}

}  // namespace

Resource settings_sections(panes::Pane pane, const kalu_ui::doc::Document& /*document*/,
                           const stored::SettingsPrefs& prefs, AccountList accounts) {
  const stored::AppearancePrefs look = panes::appearance::stored_look();
  return section_with_open(pane, {prefs, look, accounts});
}

std::vector<Resource> root_resource(const kalu_ui::doc::Document& /*document*/,
                                    AccountList accounts) {
  const stored::SettingsPrefs prefs = stored::SettingsPrefs::load();
  const stored::AppearancePrefs look = panes::appearance::stored_look();
  Resource root = Resource::create(std::string(kRootResourceId), std::string(kRootResourceKind),
                                   std::string(kRootResourceLabel));
  root.children.reserve(panes::kPaneCount);
  for (const panes::Pane pane : panes::SIDEBAR_ORDER) {
    root.children.push_back(section_with_open(pane, {prefs, look, accounts}));
  }
  std::vector<Resource> list;
  list.push_back(std::move(root));
  return list;
}

Resource attach_pane_resources(Resource resource, std::span<const panes::Pane> panes) {
  for (const panes::Pane pane : panes) {
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

std::optional<panes::Pane> pane_of_resource(std::string_view id) {
  for (const panes::Pane pane : panes::SIDEBAR_ORDER) {
    if (section_resource_id(pane) == id) return pane;
  }
  for (const ItemPrefix& item : kItemPrefixes) {
    if (id.starts_with(item.prefix)) return item.pane;
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
