#pragma once

// The application's resource tree as automation clients see it: the root
// "settings.root", one section per pane in sidebar order ("settings.section:
// <pane id>", its "open" action first), and below the sections the item
// resources ("settings.<kind>:<id>") of what exists on the device.
//
// Nothing is kept: every request builds what it needs afresh from the
// device, the settings document and the state document, so a client always
// sees current values and the current devices. Building runs on the UI
// thread and fails nowhere: a section that cannot read the device publishes
// fewer items or actions. Every list of items is cut at kMaxItems.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "account_book/account_store.h"
#include "kalu_actions/resource.h"
#include "kalu_ui/document.h"
#include "stored/settings_prefs.h"
#include "vocabulary/registry.h"

namespace settings::actions {

inline constexpr std::string_view kRootResourceId = "settings.root";
inline constexpr std::string_view kRootResourceKind = "settings.root";
inline constexpr std::string_view kRootResourceLabel = "Settings";
// The most item resources one list of a section publishes.
inline constexpr std::size_t kMaxItems = 256;
// The most choices one choice parameter of a section offers.
inline constexpr std::size_t kMaxChoices = 128;

// The account list the External Accounts section is built from.
using AccountList = std::span<const account_book::Account>;

// The full section of a pane: what its section builder makes (panes without
// one, Device Privacy & Security and About among them, get the bare section:
// id, kind and title) with the "open" action put first. Every current value
// a section reports is read from where it is stored (the settings document,
// the look as vocabulary/look.h reads it, the desktop-controls file, the
// locale record), never from the state document, so it holds whichever pane
// was shown and before any was.
kalu_actions::Resource settings_sections(panes::Pane pane, const kalu_ui::doc::Document& document,
                                         const stored::SettingsPrefs& prefs, AccountList accounts);

// The root with every pane's full section, in sidebar order, as the only
// element. Loads the settings document (defaults when it cannot be read).
std::vector<kalu_actions::Resource> root_resource(const kalu_ui::doc::Document& document,
                                                  AccountList accounts);

// The root with each pane's plain section (only "open"): what a lookup of
// "settings.root" answers, without building the sections.
kalu_actions::Resource plain_root();

// `resource` with the plain section of each pane appended, in order.
kalu_actions::Resource attach_pane_resources(kalu_actions::Resource resource,
                                             std::span<const panes::Pane> panes);

// The first resource of the tree, in pre-order (each before its children),
// whose id is exactly `id`; the tree is taken over.
std::optional<kalu_actions::Resource> find_resource(kalu_actions::Resource tree,
                                                    std::string_view id);

// The child "settings.input-source:<id>" of the Mouse & Keyboard section, or
// "settings.device-mesh-workspace:<id>" of the Devices & Sync section.
std::optional<kalu_actions::Resource> find_input_source_child(
    std::vector<kalu_actions::Resource> children, std::string_view source_id);
std::optional<kalu_actions::Resource> find_mesh_workspace_child(
    std::vector<kalu_actions::Resource> children, std::uint64_t workspace_id);

// The pane whose section is `id` (panes in sidebar order) or holds the item
// `id` (by its prefix, first match wins).
std::optional<panes::Pane> pane_of_resource(std::string_view id);

// Lookup by id, building only what it needs: "settings.root" is the plain
// root; a section id or an item id builds that one section and searches it.
std::optional<kalu_actions::Resource> resource_by_id(const kalu_ui::doc::Document& document,
                                                     AccountList accounts, std::string_view id);

}  // namespace settings::actions
