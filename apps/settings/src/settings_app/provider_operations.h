#pragma once

// The model provider operations ("settings.agent-provider-operation") that
// automation clients send: add a hosted provider, change a provider's
// protocol, enable or disable it, remove it with its API key, make it the
// default, or set its name, endpoint and model. Each is carried out at once
// on the UI thread: the provider configuration is loaded, changed and saved
// whole (model_provider/config.h). Every refusal leaves the configuration
// file as it was; a removal whose save fails puts the removed API key back.
// The application shows Agent Models after a success (entry_points.cpp).

#include "kalu_ui/result.h"
#include "widget_contract/records.h"
#include "widget_contract/widget.h"

namespace settings::settings_app {

// Carries out one provider operation of `kind` (only effect operations, 1)
// from its JSON `payload`: what was done, for the client ("Removed provider
// Anthropic (anthropic-3f09a1c2) and its API key."), or the error for it.
kalu_ui::Result<std::string> run_provider_operation(kalu_ui::OperationKind kind,
                                                    kalu_ui::Payload payload);

}  // namespace settings::settings_app
