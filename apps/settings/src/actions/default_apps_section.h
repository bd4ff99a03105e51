#pragma once

// The Apps & Files section of the automation surface,
// "settings.section:default-apps" of kind "settings.default-apps": no action
// of its own; one item "settings.default-app:<kind key>" per kind of file or
// link that an installed application declares (vocabulary/app_candidates.h),
// sorted by key, at most kMaxItems, labelled with the kind's display label.
// Its one action "set-handler" chooses among the names of the applications
// that handle the kind (sorted; an application whose name another handler of
// the kind shares is offered by its label, "Name — id") and sets
// "default_apps.<kind key with every ':' as '.'>".
//
// The Apps & Files page binds each kind's dropdown with
// default_app_binding.

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "desktop_rules/default_apps.h"
#include "desktop_rules/resource_kind.h"
#include "kalu_actions/binding.h"
#include "kalu_actions/resource.h"

namespace settings::actions {

// The section from the installed applications.
kalu_actions::Resource default_apps_resource();
// The same with the candidates given, labels from `mime` (the shared
// database by default).
kalu_actions::Resource default_apps_resource(
    std::span<const desktop_rules::AppCandidate> candidates,
    const desktop_rules::MimeDatabase& mime = desktop_rules::MimeDatabase::shared());

// What "set-handler" offers for `candidate` among the kind's handlers
// (`handling`): its name, or its label when another of them has that name;
// and all of them, sorted.
std::string handler_choice(std::span<const desktop_rules::AppCandidate> handling,
                           const desktop_rules::AppCandidate& candidate);
std::vector<std::string> handler_choices(std::span<const desktop_rules::AppCandidate> handling);

// The state document key of a kind's choice: "default_apps." and the kind's
// key with every ':' as '.'.
std::string default_app_key(std::string_view kind_key);

// "set-handler" of the kind's item among the handlers' choices: the
// control's text, an application's label as the dropdown shows it, becomes
// the "choice" the section offers for it; none for another action name, a
// kind key that is no kind, or no handler.
std::optional<kalu_actions::ActionBinding> default_app_binding(
    std::string_view kind_key, std::string_view action_name,
    std::span<const desktop_rules::AppCandidate> handling);

}  // namespace settings::actions
