#include "panes/model_providers.h"

#include <utility>

namespace settings::panes::agent_models {

using model_provider::ProviderLocation;
using model_provider::ProviderProtocol;

kalu_ui::Result<ProviderProtocol> parse_provider_protocol(std::string_view text) {
  if (auto protocol = model_provider::protocol_from_id(text)) return *protocol;
  return kalu_ui::fail("unsupported provider protocol");
}

model_provider::ProviderModel provider_model_entry(std::string name) {
  model_provider::ProviderModel entry;
  entry.label = name;
  entry.id = std::move(name);
  entry.enabled = true;
  return entry;
}

std::string_view protocol_label(ProviderProtocol protocol) {
  return protocol == ProviderProtocol::kAnthropic ? "Anthropic" : "OpenAI-compatible";
}

std::string_view location_label(ProviderLocation location) {
  switch (location) {
    case ProviderLocation::kThisDevice:
      return "This device (local)";
    case ProviderLocation::kPrivateNetwork:
      return "Private network";
    case ProviderLocation::kHosted:
      break;
  }
  return "Hosted provider";
}

}  // namespace settings::panes::agent_models
