#include "vocabulary/model_providers.h"

#include <algorithm>
#include <utility>

#include "limited_exec/text.h"

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

void choose_default_model(model_provider::ProviderProfile& profile, std::string_view typed) {
  const std::string_view model = limited_exec::trim_white_space(typed);
  if (model.empty()) return;
  const bool listed = std::ranges::any_of(
      profile.models, [&](const model_provider::ProviderModel& m) { return m.id == model; });
  if (!listed) profile.models.push_back(provider_model_entry(std::string(model)));
  profile.model = std::string(model);
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
