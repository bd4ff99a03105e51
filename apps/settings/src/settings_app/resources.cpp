// What the application answers as a whole: its resource tree and lookups in
// it, its accessibility node, pending values, and the desktop search.

#include <memory>
#include <string_view>
#include <utility>

#include "actions/resource_tree.h"
#include "settings_app/search_catalog.h"
#include "settings_app/settings_app.h"

namespace settings::settings_app {
namespace {

// The toolkit's accessibility role of an application window.
constexpr std::uint8_t kApplicationRole = 2;

}  // namespace

std::vector<kalu_actions::Resource> SettingsApp::resources(
    const kalu_ui::doc::Document& document) const {
  return actions::root_resource(document, accounts());
}

std::optional<kalu_actions::Resource> SettingsApp::resource_by_id(
    const kalu_ui::doc::Document& document, std::string_view id) const {
  return actions::resource_by_id(document, accounts(), id);
}

std::optional<kalu_ui::AccessibilityNode> SettingsApp::accessibility() const {
  return kalu_ui::AccessibilityNode{}
      .with_role(kApplicationRole)
      .with_label(std::string(actions::kRootResourceLabel))
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
  return {std::make_shared<SearchProvider>(search_catalog_)};
}

}  // namespace settings::settings_app
