#include "panes/agent_models/local_profile.h"

#include <algorithm>
#include <utility>
#include <variant>
#include <vector>

#include "vocabulary/model_providers.h"

namespace settings::panes::agent_models {

using model_provider::ProviderConfig;
using model_provider::ProviderProfile;

namespace {

bool ready(const stored::InstalledLocalModel& model) {
  return std::holds_alternative<stored::phase::Ready>(model.phase);
}

const ProviderProfile* existing_local(const ProviderConfig& config) {
  const auto found = std::ranges::find_if(
      config.providers, [](const ProviderProfile& p) { return p.is_local_vllm_candidate(); });
  return found == config.providers.end() ? nullptr : &*found;
}

}  // namespace

std::optional<ProviderProfile> updated_local_profile(
    const ProviderConfig& config, std::span<const stored::InstalledLocalModel> models) {
  std::vector<const stored::InstalledLocalModel*> ready_models;
  for (const auto& model : models) {
    if (ready(model)) ready_models.push_back(&model);
  }
  if (ready_models.empty()) return std::nullopt;

  const ProviderProfile* existing = existing_local(config);
  const auto candidate = std::ranges::find_if(
      ready_models,
      [](const stored::InstalledLocalModel* m) { return stored::serves_locally(*m); });
  const bool serving = candidate != ready_models.end();
  if (existing == nullptr && !serving) return std::nullopt;

  ProviderProfile profile = existing ? *existing : ProviderProfile::local_vllm();
  profile.models.clear();
  for (const auto* model : ready_models) {
    profile.models.push_back(provider_model_entry(model->package.id));
  }
  const bool kept = profile.model && std::ranges::any_of(profile.models, [&](const auto& entry) {
                      return entry.id == *profile.model;
                    });
  if (!kept) profile.model = std::optional<std::string>(profile.models.front().id);
  if (serving) {
    // serves_locally has checked that the endpoint is there.
    const auto& endpoint = *std::get<stored::phase::Ready>((*candidate)->phase).endpoint;
    profile.endpoint = endpoint.url;
    profile.model = endpoint.model_id;
  }
  profile.enabled = serving;
  if (existing != nullptr && *existing == profile) return std::nullopt;
  return profile;
}

LocalProfileSync sync_local_profile(ProviderConfig& config,
                                    std::span<const stored::InstalledLocalModel> models) {
  std::optional<ProviderProfile> profile = updated_local_profile(config, models);
  if (!profile) return LocalProfileSync::kUnchanged;
  config.upsert(*std::move(profile));
  return config.save() ? LocalProfileSync::kSaved : LocalProfileSync::kSaveFailed;
}

LocalProfileSync sync_local_profile(std::span<const stored::InstalledLocalModel> models) {
  ProviderConfig config = ProviderConfig::load();
  return sync_local_profile(config, models);
}

}  // namespace settings::panes::agent_models
