#pragma once

// The installed applications a person can choose as the default for a kind
// of file or link (Apps & Files): every installed application with a
// graphical program, its name and the kinds its entry declares. The Apps &
// Files pane and the action surface's Apps & Files section both list them,
// so the list lives beside the registry.

#include <span>
#include <vector>

#include "desktop_rules/default_apps.h"

namespace settings::panes::personal_apps {

// In the registry's order (by desktop id). An application whose entry
// cannot be read, or that has no graphical program, is left out; so are the
// declared types and schemes that are not valid kinds. Reads the desktop
// folders through the application cache; nothing when none is known.
std::vector<desktop_rules::AppCandidate> app_candidates();

// Every kind some candidate declares, sorted, each once.
std::vector<desktop_rules::ResourceKind> resource_kinds(
    std::span<const desktop_rules::AppCandidate> candidates);

}  // namespace settings::panes::personal_apps
