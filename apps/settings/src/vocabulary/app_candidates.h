#pragma once

// The installed applications a person can choose as the default for a kind
// of file or link (Apps & Files): every installed application with a
// graphical program, its name and the kinds its entry declares. The Apps &
// Files pane and the action surface's Apps & Files section both list them,
// so the list lives beside the registry.

#include <span>
#include <string_view>
#include <vector>

#include "desktop_file/applications.h"
#include "desktop_rules/default_apps.h"

namespace settings::panes::personal_apps {

// Sorted by name, then id. An application whose entry cannot be read, or
// that has no graphical program, is left out; so are the declared types and
// schemes that are not valid kinds. Reads the desktop folders of the
// environment (or `roots`) through the application cache; nothing when none
// is known.
std::vector<desktop_rules::AppCandidate> installed_gui_apps();
std::vector<desktop_rules::AppCandidate> installed_gui_apps(
    const desktop_file::ApplicationRoots& roots);
// What the action surface offers: installed_gui_apps().
std::vector<desktop_rules::AppCandidate> app_candidates();

// The candidates that declare `kind`, sorted by label.
std::vector<desktop_rules::AppCandidate> candidates_for(
    std::span<const desktop_rules::AppCandidate> candidates,
    const desktop_rules::ResourceKind& kind);

// The candidate declaring `kind` that `text` names: by its label ("Name —
// id"), or by its display name when no other candidate of the kind has it;
// none otherwise.
const desktop_rules::AppCandidate* candidate_named(
    std::span<const desktop_rules::AppCandidate> candidates,
    const desktop_rules::ResourceKind& kind, std::string_view text);

// Every kind some candidate declares, sorted, each once.
std::vector<desktop_rules::ResourceKind> resource_kinds(
    std::span<const desktop_rules::AppCandidate> candidates);

}  // namespace settings::panes::personal_apps
