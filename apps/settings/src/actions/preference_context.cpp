#include "actions/preference_context.h"

#include <string>

namespace settings::actions {

std::optional<kalu_actions::ActionContext> preference_pane_context(bool changed,
                                                                   std::string_view scope,
                                                                   std::string_view title,
                                                                   std::string_view purpose) {
  if (!changed) return std::nullopt;
  kalu_actions::ActionContext context;
  context.subject.kind = std::string(kPreferencePaneKind);
  context.subject.id = std::string(kPreferenceSubjectPrefix);
  context.subject.id.append(scope);
  context.title = std::string(title);
  context.purpose = std::string(purpose);
  context.application.app_id = std::string(kSettingsAppIdentity);
  context.application.title = std::string(kSettingsAppTitle);
  return context;
}

}  // namespace settings::actions
