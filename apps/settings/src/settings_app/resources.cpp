// What the application answers as a whole: its resource tree and lookups in
// it, its accessibility node, pending values, and the desktop search.

#include <memory>
#include <string>
#include <string_view>
#include <utility>

#include "actions/pane_actions.h"
#include "actions/resource_tree.h"
#include "kalu_actions/control_invocation.h"
#include "settings_app/search_catalog.h"
#include "settings_app/settings_app.h"

namespace settings::settings_app {
namespace {

// The toolkit's accessibility role of an application window.
constexpr std::uint8_t kApplicationRole = 2;

// The controls the widgets under `widget` publish ("kalu.control:<id>", a
// button a client presses as the person would), in widget order.
void collect_controls(const kalu_ui::Widget& widget, const kalu_ui::doc::Document& document,
                      std::vector<kalu_actions::Resource>& out) {
  for (kalu_actions::Resource& resource : widget.resources(document)) {
    if (resource.id.starts_with(kalu_actions::kControlResourcePrefix)) {
      out.push_back(std::move(resource));
    }
  }
  for (const kalu_ui::Widget* child : widget.children()) {
    if (child != nullptr) collect_controls(*child, document, out);
  }
}

// The resource of `id` in the tree, for adding to it.
kalu_actions::Resource* find_mut(std::vector<kalu_actions::Resource>& tree, std::string_view id) {
  for (kalu_actions::Resource& resource : tree) {
    if (resource.id == id) return &resource;
    if (auto* found = find_mut(resource.children, id)) return found;
  }
  return nullptr;
}

}  // namespace

std::vector<kalu_actions::Resource> SettingsApp::published_controls(
    const kalu_ui::doc::Document& document) const {
  std::vector<kalu_actions::Resource> controls;
  if (shell_) collect_controls(*shell_, document, controls);
  return controls;
}

std::vector<kalu_actions::Resource> SettingsApp::resources(
    const kalu_ui::doc::Document& document) const {
  std::vector<kalu_actions::Resource> tree = actions::root_resource(document, accounts());
  // The buttons the shown page publishes are listed under its section, so
  // that `list` shows every control a client may press now. They hold ids
  // and labels only, never a value typed into the page.
  std::vector<kalu_actions::Resource> controls = published_controls(document);
  if (!controls.empty()) {
    kalu_actions::Resource* parent =
        find_mut(tree, actions::section_resource_id(selected_category_));
    if (parent == nullptr && !tree.empty()) parent = &tree.front();
    if (parent != nullptr) {
      for (auto& control : controls) parent->children.push_back(std::move(control));
    }
  }
  return tree;
}

std::optional<kalu_actions::Resource> SettingsApp::resource_by_id(
    const kalu_ui::doc::Document& document, std::string_view id) const {
  if (id.starts_with(kalu_actions::kControlResourcePrefix)) {
    for (kalu_actions::Resource& control : published_controls(document)) {
      if (control.id == id) return std::move(control);
    }
    return std::nullopt;
  }
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
