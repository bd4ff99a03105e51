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
using kalu_ui::Status;
using model_provider::ProviderConfig;
using model_provider::ProviderProfile;
using Op = operations::AgentProviderOperation;

namespace {

constexpr std::string_view kGone = "provider is no longer available";

// One operation applied to a loaded configuration. A removal keeps the key
// it took from the vault until the configuration is saved.
class ProviderChange {
 public:
  explicit ProviderChange(ProviderConfig& config) : config_(config) {}

  Status operator()(const Op::Add& op) {
    auto protocol = panes::agent_models::parse_provider_protocol(op.protocol);
    if (!protocol) return fail(protocol.error());
    ProviderProfile profile = ProviderProfile::hosted(*protocol);
    // The id is random; draw again in the unlikely case it is taken, so an
    // add never replaces a provider.
    while (config_.find(profile.id) != nullptr) profile = ProviderProfile::hosted(*protocol);
    config_.upsert(std::move(profile));
    return {};
  }

  Status operator()(const Op::SetProtocol& op) {
    ProviderProfile* profile = config_.find(op.id);
    if (profile == nullptr) return fail(std::string(kGone));
    auto protocol = panes::agent_models::parse_provider_protocol(op.protocol);
    if (!protocol) return fail(protocol.error());
    profile->protocol = *protocol;
    return {};
  }

  Status operator()(const Op::SetEnabled& op) {
    ProviderProfile* profile = config_.find(op.id);
    if (profile == nullptr) return fail(std::string(kGone));
    profile->enabled = op.enabled;
    return {};
  }

  Status operator()(const Op::Remove& op) {
    if (config_.find(op.id) == nullptr) return fail(std::string(kGone));
    auto taken = kalu_model_gateway::take_api_key(op.id);
    if (!taken) return fail("provider vault key was not removed: {}", taken.error());
    removed_key_ = std::move(*taken);
    removed_from_ = op.id;
    config_.remove(op.id);
    return {};
  }

  Status operator()(const Op::SetDefault& op) {
    const bool selectable = std::ranges::any_of(config_.providers, [&](const ProviderProfile& p) {
      return p.id == op.id && p.enabled && p.model.has_value();
    });
    if (!selectable) return fail("provider cannot currently be selected as default");
    config_.default_provider = op.id;
    return {};
  }

  Status operator()(const Op::SetDetails& op) {
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
    return {};
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

Status run_provider_operation(kalu_ui::OperationKind kind, kalu_ui::Payload payload) {
  if (kind != 1) return fail("provider configuration requires an effect operation");
  auto operation = operations::read_record<Op>(payload);
  if (!operation) return fail(std::move(operation.error()));
  ProviderConfig config = ProviderConfig::load();
  ProviderChange change(config);
  if (auto applied = std::visit(change, static_cast<const Op::variant&>(*operation)); !applied) {
    return applied;
  }
  if (auto saved = config.save(); !saved) {
    return fail(
        change.restore_key(fmt::format("provider settings were not saved: {}", saved.error())));
  }
  return {};
}

}  // namespace settings::settings_app
