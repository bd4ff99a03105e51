#pragma once

// The local provider profile in step with the models this device serves.
// Agents reach a local model through one provider profile "on this device"
// (model_provider's is_local_vllm_candidate); this keeps its model list, its
// chosen model, its endpoint and whether it is enabled in step with the
// local model service's snapshot.
//
// What it promises:
// - No ready model: nothing changes, not even an existing profile (a service
//   between installs is no reason to forget it).
// - The endpoint is only ever taken from a model that serves locally
//   (stored::serves_locally: running, its own id, a loopback address); a
//   profile is created only when there is one, and is enabled exactly while
//   there is one. A stopped model keeps the last endpoint.
// - The file is written only when some field differs, so a quiet snapshot
//   leaves it (and its modification time) alone. A failed save changes
//   nothing and is not reported: the next snapshot tries again.
//
// It reads and may write the provider configuration file, so the pane runs
// it on its model-service worker, never on the UI thread.

#include <optional>
#include <span>

#include "model_provider/config.h"
#include "stored/local_models.h"

namespace settings::panes::agent_models {

// The local profile as it should be after this snapshot's models; none when
// nothing is to change.
std::optional<model_provider::ProviderProfile> updated_local_profile(
    const model_provider::ProviderConfig& config,
    std::span<const stored::InstalledLocalModel> models);

enum class LocalProfileSync { kUnchanged, kSaved, kSaveFailed };

// Brings `config`'s local profile in step and saves `config` when it changed.
LocalProfileSync sync_local_profile(model_provider::ProviderConfig& config,
                                    std::span<const stored::InstalledLocalModel> models);
// The same on the stored configuration (ProviderConfig::load).
LocalProfileSync sync_local_profile(std::span<const stored::InstalledLocalModel> models);

}  // namespace settings::panes::agent_models
