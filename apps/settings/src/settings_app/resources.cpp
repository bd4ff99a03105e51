// What the application answers as a whole: its resource tree and lookups in
// it, its accessibility node, pending values, and the desktop search.

#include <array>
#include <memory>
#include <string_view>
#include <utility>

#include "actions/pane_actions.h"
#include "settings_app/settings_app.h"
#include "sidebar/search_catalog.h"

namespace settings::settings_app {
namespace {

constexpr std::string_view kRootId = "settings.root";
constexpr std::string_view kRootKind = "settings.root";
constexpr std::string_view kRootLabel = "Settings";
// The toolkit's accessibility role of an application window.
constexpr std::uint8_t kApplicationRole = 2;

struct ItemPrefix {
  std::string_view prefix;
  panes::PaneIndex pane;
};

// The pane whose section holds an item resource, by the item id's prefix,
// tested in this order.
constexpr std::array<ItemPrefix, 17> kItemPrefixes = {{
    {"settings.default-app:", 14},
    {"settings.account:", 16},
    {"settings.notification-app:", 13},
    {"settings.audio-output:", 3},
    {"settings.audio-input:", 3},
    {"settings.audio-playback:", 3},
    {"settings.audio-recording:", 3},
    {"settings.display-output:", 4},
    {"settings.input-source:", 5},
    {"settings.bluetooth-device:", 1},
    {"settings.printer:", 9},
    {"settings.print-job:", 9},
    {"settings.user:", 8},
    {"settings.device-mesh-workspace:", 2},
    {"settings.agent-model-recommendation:", 17},
    {"settings.agent-model:", 17},
    {"settings.agent-provider:", 17},
}};

// The root with the plain section of every pane (each with its "open"
// action only), in sidebar order.
kalu_actions::Resource plain_root() {
  auto root = kalu_actions::Resource::create(std::string(kRootId), std::string(kRootKind),
                                             std::string(kRootLabel));
  for (const panes::PaneIndex pane : panes::SIDEBAR_ORDER) {
    root = std::move(root).with_child(actions::pane_section_resource(pane));
  }
  return root;
}

// The pane whose section is `id` or holds the item `id`.
std::optional<panes::PaneIndex> pane_of_resource(std::string_view id) {
  for (const panes::PaneIndex pane : panes::SIDEBAR_ORDER) {
    if (actions::section_resource_id(pane) == id) return pane;
  }
  for (const ItemPrefix& item : kItemPrefixes) {
    if (id.starts_with(item.prefix)) return item.pane;
  }
  return std::nullopt;
}

// The full section of a pane. Sections carry only their "open" action until
// the action surface builds their items and settings.
kalu_actions::Resource pane_section(panes::PaneIndex pane) {
  return actions::pane_section_resource(pane);
}

}  // namespace

std::vector<kalu_actions::Resource> SettingsApp::resources(const kalu_ui::doc::Document&) const {
  return {plain_root()};
}

std::optional<kalu_actions::Resource> SettingsApp::resource_by_id(const kalu_ui::doc::Document&,
                                                                  std::string_view id) const {
  if (id == kRootId) return plain_root();
  const auto pane = pane_of_resource(id);
  if (!pane) return std::nullopt;
  const kalu_actions::Resource section = pane_section(*pane);
  if (const kalu_actions::Resource* found = section.find(id)) return *found;
  return std::nullopt;
}

std::optional<kalu_ui::AccessibilityNode> SettingsApp::accessibility() const {
  return kalu_ui::AccessibilityNode{}
      .with_role(kApplicationRole)
      .with_label(std::string(kRootLabel))
      .with_id("settings.app");
}

std::optional<kalu_ui::PendingValue> SettingsApp::take_pending_value() {
  for (kalu_ui::Widget* child : children_mut()) {
    if (auto value = kalu_ui::find_pending_value(*child)) return value;
  }
  return std::nullopt;
}

kalu_ui::SearchProviderList SettingsApp::search_providers() const {
  // The provider shares the catalog; copying it copies a handle.
  return {std::make_shared<sidebar::PaneSearchProvider>(search_catalog_)};
}

}  // namespace settings::settings_app
