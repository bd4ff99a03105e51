#include "actions/agent_models_section.h"

#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <string>
#include <utility>
#include <variant>

#include "actions/pane_actions.h"
#include "actions/resource_tree.h"
#include "actions/specs.h"
#include "operations/records.h"
#include "vocabulary/model_service.h"

namespace settings::actions {

using kalu_actions::ActionArgs;
using kalu_actions::ActionParam;
using kalu_actions::ActionSpec;
using kalu_actions::Resource;
using model_provider::ProviderProfile;
using model_provider::ProviderProtocol;
using operations::AgentModelOperation;
using operations::AgentProviderOperation;
using stored::LocalModelSnapshot;

namespace {

constexpr std::string_view kProviderPrefix = "settings.agent-provider:";
constexpr std::array<std::string_view, 3> kAcceleratorTags = {"device-local", "agent-models",
                                                              "live-accelerator"};
constexpr std::array<std::string_view, 3> kPackageTags = {"device-local", "agent-models",
                                                          "signed-package"};
constexpr std::array<std::string_view, 3> kModelTags = {"device-local", "agent-models",
                                                        "live-model"};
constexpr std::array<std::string_view, 4> kRemoveModelTags = {"device-local", "agent-models",
                                                              "live-model", "destructive"};

void add(Resource& resource, std::optional<ActionSpec> spec, bool destructive = false) {
  if (!spec) return;
  resource.actions.push_back(destructive ? std::move(*spec).destructive() : std::move(*spec));
}

// "set-details": the name and endpoint as given (empty when missing), the
// model only when given.
ActionSpec details_spec(std::string id) {
  std::vector<ActionParam> params;
  params.push_back(ActionParam::make("label", "Provider name", kalu_actions::ParamKind::Text));
  params.push_back(
      ActionParam::make("endpoint", "HTTPS API endpoint", kalu_actions::ParamKind::Text));
  params.push_back(
      ActionParam::make("model", "Default model id", kalu_actions::ParamKind::Text).optional());
  return ActionSpec::typed(
             "set-details", "Update provider details", "Provider name",
             kalu_actions::kOperationEffect,
             std::string(kOperationActionId<AgentProviderOperation>), std::move(params),
             [id = std::move(id)](const ActionArgs& args) {
               return operation_invocation(AgentProviderOperation{
                   AgentProviderOperation::SetDetails{.id = id,
                                                      .label = arg_text(args, "label"),
                                                      .endpoint = arg_text(args, "endpoint"),
                                                      .model = args.text("model")}});
             })
      .with_contract(agent_provider_contract());
}

Resource provider_item(const ProviderProfile& profile) {
  const std::string& id = profile.id;
  Resource item = Resource::create(fmt::format("{}{}", kProviderPrefix, id),
                                   "settings.agent-provider", profile.display_label());
  const ProviderProtocol other = profile.protocol == ProviderProtocol::kAnthropic
                                     ? ProviderProtocol::kOpenAiCompatible
                                     : ProviderProtocol::kAnthropic;
  const std::string other_id(model_provider::protocol_id(other));
  add(item, agent_provider_operation_spec(
                "set-protocol", fmt::format("Use {} protocol", other_id),
                AgentProviderOperation{AgentProviderOperation::SetProtocol{id, other_id}}));
  add(item, agent_provider_operation_spec(
                profile.enabled ? "disable" : "enable",
                profile.enabled ? "Disable provider" : "Enable provider",
                AgentProviderOperation{AgentProviderOperation::SetEnabled{id, !profile.enabled}}));
  add(item,
      agent_provider_operation_spec("remove", "Remove provider",
                                    AgentProviderOperation{AgentProviderOperation::Remove{id}}),
      true);
  item.actions.push_back(details_spec(id));
  if (profile.model) {
    add(item, agent_provider_operation_spec(
                  "set-default", "Use by default",
                  AgentProviderOperation{AgentProviderOperation::SetDefault{id}}));
  }
  return item;
}

bool accelerator_offered(const stored::AcceleratorSetupState& status) {
  return std::holds_alternative<stored::accelerator::Available>(status) ||
         std::holds_alternative<stored::accelerator::Error>(status);
}

// Installing needs hardware that fits and no accelerator work in the way.
bool install_offered(const LocalModelSnapshot& snapshot) {
  if (snapshot.hardware.fit == stored::HardwareFit::Unsupported) return false;
  return !snapshot.accelerator_setup ||
         std::holds_alternative<stored::accelerator::Active>(snapshot.accelerator_setup->status);
}

Resource model_item(const stored::InstalledLocalModel& model) {
  const stored::LocalModelPackage& package = model.package;
  Resource item =
      Resource::create("settings.agent-model:" + package.id, "settings.agent-model", package.name);
  const auto* ready = std::get_if<stored::phase::Ready>(&model.phase);
  if (ready != nullptr && ready->running) {
    add(item, agent_model_operation_spec("stop", "Stop local model",
                                         AgentModelOperation::Stop{package.id}, kModelTags));
  } else if (ready != nullptr) {
    add(item, agent_model_operation_spec("start", "Start local model",
                                         AgentModelOperation::Start{package.id}, kModelTags));
  } else if (std::holds_alternative<stored::phase::Error>(model.phase)) {
    add(item, agent_model_operation_spec("retry", "Retry model installation",
                                         AgentModelOperation::Retry{package.id, package.revision},
                                         kModelTags));
  } else {
    return item;  // downloading or installing: nothing to do until it is done
  }
  add(item,
      agent_model_operation_spec("remove", "Remove local model",
                                 AgentModelOperation::Remove{package.id}, kRemoveModelTags),
      true);
  return item;
}

void add_local_part(Resource& section, const LocalModelSnapshot& snapshot) {
  if (snapshot.accelerator_setup && accelerator_offered(snapshot.accelerator_setup->status)) {
    add(section,
        agent_model_operation_spec("stage-accelerator", "Set up accelerator support",
                                   AgentModelOperation::StageAccelerator{}, kAcceleratorTags));
  }
  if (snapshot.recommendation) {
    const stored::LocalModelPackage& package = *snapshot.recommendation;
    Resource item = Resource::create("settings.agent-model-recommendation:" + package.id,
                                     "settings.agent-model-package", package.name);
    if (install_offered(snapshot)) {
      add(item, agent_model_operation_spec(
                    "install", "Accept license and install on this device",
                    AgentModelOperation::Install{package.id, package.revision}, kPackageTags));
    }
    section.children.push_back(std::move(item));
  }
  const auto count = std::min(snapshot.models.size(), kMaxItems);
  for (std::size_t i = 0; i < count; ++i)
    section.children.push_back(model_item(snapshot.models[i]));
}

}  // namespace

Resource agent_models_resource(const model_provider::ProviderConfig& config,
                               const kalu_ui::Result<LocalModelSnapshot>& snapshot) {
  Resource section =
      Resource::create("settings.section:agent_models", "settings.agent-models", "Agent Models");
  add(section, agent_provider_operation_spec(
                   "add-anthropic", "Add Anthropic provider",
                   AgentProviderOperation{AgentProviderOperation::Add{"anthropic"}}));
  add(section, agent_provider_operation_spec(
                   "add-openai-compatible", "Add compatible API provider",
                   AgentProviderOperation{AgentProviderOperation::Add{"openai-compatible"}}));
  // Profiles served on this device belong to the local part; they neither
  // get an item nor count toward the limit.
  std::size_t listed = 0;
  for (const ProviderProfile& profile : config.providers) {
    if (profile.location == model_provider::ProviderLocation::kThisDevice) continue;
    if (listed == kMaxItems) break;
    section.children.push_back(provider_item(profile));
    ++listed;
  }
  if (snapshot) add_local_part(section, *snapshot);
  return section;
}

Resource agent_models_resource() {
  const auto config = model_provider::ProviderConfig::load();
  // Built on the UI thread: what the manager said last, never a run of it.
  auto recent = panes::agent_models::recent_model_snapshot().get();
  if (!recent)
    return agent_models_resource(config, kalu_ui::fail("the model service has not answered yet"));
  return agent_models_resource(config, std::move(*recent));
}

std::optional<kalu_actions::ActionBinding> agent_provider_command_binding(
    const Resource& section, std::optional<std::string_view> provider_id,
    std::string_view action_name) {
  if (!provider_id) return bind_unit(section, action_name);
  const std::string id = fmt::format("{}{}", kProviderPrefix, *provider_id);
  const auto child = std::ranges::find(section.children, id, &Resource::id);
  if (child == section.children.end()) return std::nullopt;
  return bind_unit(*child, action_name);
}

}  // namespace settings::actions
