#pragma once

// The Agent Models section of the automation surface,
// "settings.section:agent_models" of kind "settings.agent-models": adding a
// hosted provider ("add-anthropic", "add-openai-compatible"), one item
// "settings.agent-provider:<id>" per configured provider not located on this
// device (at most kMaxItems of them) with "set-protocol", "enable" or
// "disable", "remove", "set-details" and, when it has a default model,
// "set-default" ("settings.agent-provider-operation", answered at once by
// the application); then from the local model service's snapshot:
// "stage-accelerator" while accelerator support can be set up, an item for
// the recommended model ("install" when the hardware fits and no accelerator
// work is pending), and one item "settings.agent-model:<id>" per installed
// model with the actions its phase allows ("settings.agent-model-operation",
// carried out by the pane). A snapshot that fails leaves the local part out.
//
// The Agent Models page builds the section once per page build (from the
// configuration and snapshot it already holds) and binds its provider
// buttons with agent_provider_command_binding.

#include <optional>
#include <string_view>

#include "kalu_actions/binding.h"
#include "kalu_actions/resource.h"
#include "kalu_ui/result.h"
#include "model_provider/config.h"
#include "stored/local_models.h"

namespace settings::actions {

// The stored configuration, read now, and what the model manager said last
// (panes::agent_models::recent_model_snapshot: no local part before its first answer).
kalu_actions::Resource agent_models_resource();
kalu_actions::Resource agent_models_resource(
    const model_provider::ProviderConfig& config,
    const kalu_ui::Result<stored::LocalModelSnapshot>& snapshot);

// A button without a value: with a provider id, the action of the section's
// child "settings.agent-provider:<id>" (none without that child); without,
// the section's own action. None when that resource has no such action.
std::optional<kalu_actions::ActionBinding> agent_provider_command_binding(
    const kalu_actions::Resource& section, std::optional<std::string_view> provider_id,
    std::string_view action_name);

}  // namespace settings::actions
