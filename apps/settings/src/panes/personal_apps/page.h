#pragma once

// The Apps & Files page, built at each layout: "Personal" (where the choices
// apply, and the hand-over to the workspace's own app rules,
// "open-workspace-app-defaults") and "Open files and links with" (one
// dropdown a kind, showing the kind's edit key and recording the person's
// choice as the kind's "set-handler" action of the Apps & Files section).

#include <span>
#include <string>
#include <string_view>

#include "desktop_rules/default_apps.h"
#include "desktop_rules/resource_kind.h"
#include "lib/ui_rows.h"

namespace settings::panes::personal_apps {

inline constexpr std::string_view kNoKindsCaption =
    "No installed application currently declares a supported file or link type. Defaults "
    "appear here as apps are installed.";

// The state document keys of a kind: "default_apps.<key with ':' as '.'>"
// and that with ".edit".
std::string control_key(const desktop_rules::ResourceKind& kind);
std::string edit_key(const desktop_rules::ResourceKind& kind);
// The dropdown's id: "personal-default.<key>".
std::string dropdown_id(const desktop_rules::ResourceKind& kind);

struct PageModel {
  std::span<const desktop_rules::AppCandidate> candidates;
  std::span<const desktop_rules::ResourceKind> kinds;
  const desktop_rules::PersonalDefaults& defaults;
  const desktop_rules::MimeDatabase& mime;
};

ui_rows::WidgetBox build_page(const PageModel& model);

}  // namespace settings::panes::personal_apps
