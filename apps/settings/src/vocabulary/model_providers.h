#pragma once

// The words of the Agent Models pane about model providers: the protocol a
// client names by its id, the model entry a chosen model name becomes, and
// the labels of protocols and locations. The provider operations of the
// application object, the action surface's Agent Models section and the
// pane all read them from here, so none of them can spell a protocol or a
// label differently. Pure functions of their arguments.

#include <string>
#include <string_view>

#include "kalu_ui/result.h"
#include "model_provider/config.h"

namespace settings::panes::agent_models {

// "anthropic" gives Anthropic and "openai-compatible" OpenAI-compatible,
// compared exactly; anything else fails with "unsupported provider protocol".
kalu_ui::Result<model_provider::ProviderProtocol> parse_provider_protocol(std::string_view text);

// The entry of a model named by hand: `name` as its id, a copy as its label,
// nothing else known, enabled.
model_provider::ProviderModel provider_model_entry(std::string name);

// Makes the typed model the profile's default. The text is taken without
// the white space around it (a model id with spaces names nothing a service
// knows); a new name is appended to the profile's models once. A blank text
// leaves the models and the default as they were.
void choose_default_model(model_provider::ProviderProfile& profile, std::string_view typed);

// "OpenAI-compatible", "Anthropic".
std::string_view protocol_label(model_provider::ProviderProtocol protocol);
// "Hosted provider", "This device (local)", "Private network".
std::string_view location_label(model_provider::ProviderLocation location);

}  // namespace settings::panes::agent_models
