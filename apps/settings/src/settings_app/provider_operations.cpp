#include "settings_app/provider_operations.h"

#include <fmt/format.h>

#include <algorithm>
#include <optional>
#include <string>
#include <utility>

#include "limited_exec/text.h"
#include "model_provider/config.h"
#include "model_provider/gateway.h"
#include "operations/records.h"
#include "vocabulary/model_providers.h"

namespace settings::settings_app {

using kalu_ui::fail;
using Said = kalu_ui::Result<std::string>;
using model_provider::ProviderConfig;
using model_provider::ProviderProfile;
using Op = operations::AgentProviderOperation;

namespace {

constexpr std::string_view kGone = "provider is no longer available";

// One operation applied to a loaded configuration, answering what it did
// for the client ("Added provider Anthropic (anthropic-3f09a1c2)."). A
// removal keeps the key it took from the vault until the configuration is
// saved.
class ProviderChange {
 public:
  explicit ProviderChange(ProviderConfig& config) : config_(config) {}

  Said operator()(const Op::Add& op) {
    auto protocol = panes::agent_models::parse_provider_protocol(op.protocol);
    if (!protocol) return fail(protocol.error());
    ProviderProfile profile = ProviderProfile::hosted(*protocol);
    // The id is random; draw again in the unlikely case it is taken, so an
    // add never replaces a provider.
    while (config_.find(profile.id) != nullptr) profile = ProviderProfile::hosted(*protocol);
    std::string said = fmt::format("Added provider {} ({}).", profile.display_label(), profile.id);
    config_.upsert(std::move(profile));
    return said;
  }

  Said operator()(const Op::SetProtocol& op) {
    ProviderProfile* profile = config_.find(op.id);
    if (profile == nullptr) return fail(std::string(kGone));
    auto protocol = panes::agent_models::parse_provider_protocol(op.protocol);
    if (!protocol) return fail(protocol.error());
    const bool same = profile->protocol == *protocol;
    profile->protocol = *protocol;
    return fmt::format("{} {} the {} protocol.", profile->display_label(),
                       same ? "already uses" : "now uses", op.protocol);
  }

  Said operator()(const Op::SetEnabled& op) {
    ProviderProfile* profile = config_.find(op.id);
    if (profile == nullptr) return fail(std::string(kGone));
    const bool same = profile->enabled == op.enabled;
    profile->enabled = op.enabled;
    return fmt::format("{} {}{}.", profile->display_label(), same ? "already " : "",
                       op.enabled ? "enabled" : "disabled");
  }

  Said operator()(const Op::Remove& op) {
    const ProviderProfile* profile = config_.find(op.id);
    if (profile == nullptr) return fail(std::string(kGone));
    std::string said =
        fmt::format("Removed provider {} ({}) and its API key.", profile->display_label(), op.id);
    auto taken = kalu_model_gateway::take_api_key(op.id);
    if (!taken) return fail("provider vault key was not removed: {}", taken.error());
    removed_key_ = std::move(*taken);
    removed_from_ = op.id;
    config_.remove(op.id);
    return said;
  }

  Said operator()(const Op::SetDefault& op) {
    const auto found = std::ranges::find_if(config_.providers, [&](const ProviderProfile& p) {
      return p.id == op.id && p.enabled && p.model.has_value();
    });
    if (found == config_.providers.end()) {
      return fail("provider cannot currently be selected as default");
    }
    const bool same = config_.default_provider == op.id;
    config_.default_provider = op.id;
    return fmt::format("{} is {} the default provider.", found->display_label(),
                       same ? "already" : "now");
  }

  Said operator()(const Op::SetDetails& op) {
    if (limited_exec::trim_white_space(op.label).empty() ||
        limited_exec::trim_white_space(op.endpoint).empty()) {
      return fail("provider name and endpoint are required");
    }
    ProviderProfile* profile = config_.find(op.id);
    if (profile == nullptr) return fail(std::string(kGone));
    profile->label = op.label;
    profile->endpoint = op.endpoint;
    // The label and endpoint are kept exactly as the client sent them.
    if (op.model) panes::agent_models::choose_default_model(*profile, *op.model);
    return fmt::format("Saved the details of provider {}: endpoint {}{}.", profile->display_label(),
                       profile->endpoint,
                       profile->model ? fmt::format(", default model {}", *profile->model) : "");
  }

  // After a failed save: the removed key goes back into the vault.
  std::string restore_key(std::string message) {
    if (!removed_key_) return message;
    auto restored = kalu_model_gateway::set_api_key(removed_from_, std::move(*removed_key_));
    removed_key_.reset();
    if (restored) return message;
    return fmt::format("{}; the API key could not be put back: {}", message, restored.error());
  }

 private:
  ProviderConfig& config_;
  std::optional<kalu_ui::secret::SecretText> removed_key_;
  std::string removed_from_;
};

}  // namespace

kalu_ui::Result<std::string> run_provider_operation(kalu_ui::OperationKind kind,
                                                    kalu_ui::Payload payload) {
  if (kind != 1) return fail("provider configuration requires an effect operation");
  auto operation = operations::read_record<Op>(payload);
  if (!operation) return fail(std::move(operation.error()));
  ProviderConfig config = ProviderConfig::load();
  ProviderChange change(config);
  Said applied = std::visit(change, static_cast<const Op::variant&>(*operation));
  if (!applied) return applied;
  if (auto saved = config.save(); !saved) {
    return fail(
        change.restore_key(fmt::format("provider settings were not saved: {}", saved.error())));
  }
  return applied;
}

}  // namespace settings::settings_app
