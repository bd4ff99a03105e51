#pragma once

// The permission request of a preference pane: the context in which the
// toolkit asks the person whether the pane may keep the change just made.

#include <optional>
#include <string_view>

#include "kalu_actions/context.h"

namespace settings::actions {

inline constexpr std::string_view kPreferenceSubjectPrefix = "settings.preference:";
inline constexpr std::string_view kPreferencePaneKind = "settings.preference-pane";
inline constexpr std::string_view kSettingsAppIdentity = "kalu.Settings";
inline constexpr std::string_view kSettingsAppTitle = "Settings";

// None when nothing changed; otherwise the subject "settings.preference:<scope>"
// of kind "settings.preference-pane", with the title and purpose given, in
// the name of "kalu.Settings" ("Settings").
std::optional<kalu_actions::ActionContext> preference_pane_context(bool changed,
                                                                   std::string_view scope,
                                                                   std::string_view title,
                                                                   std::string_view purpose);

}  // namespace settings::actions
