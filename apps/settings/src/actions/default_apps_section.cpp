#include "actions/default_apps_section.h"

#include <fmt/format.h>

#include <algorithm>

#include "actions/resource_tree.h"
#include "actions/settings_action.h"
#include "actions/specs.h"
#include "vocabulary/app_candidates.h"

namespace settings::actions {

using desktop_rules::AppCandidate;
using desktop_rules::ResourceKind;
using kalu_actions::Resource;

namespace {

constexpr std::string_view kItemKind = "settings.default-app-handler";

Resource bare_section() {
  return Resource::create("settings.section:default-apps", "settings.default-apps", "Apps & Files");
}

kalu_actions::ActionSpec handler_spec(std::string_view kind_key, std::vector<std::string> names,
                                      std::string current) {
  std::vector<kalu_actions::ActionParam> params;
  params.push_back(kalu_actions::ActionParam::make(std::string(kChoiceParam),
                                                   "Installed application",
                                                   kalu_actions::ParamKind::Text)
                       .with_choices(std::move(names)));
  return kalu_actions::ActionSpec::typed(
             "set-handler", "Set default application", "Choose an installed application",
             kalu_actions::kOperationSetting, std::nullopt, std::move(params),
             [key = default_app_key(kind_key),
              current = std::move(current)](const kalu_actions::ActionArgs& args) {
               return settings_action_invocation(operations::SettingsAction::set_setting(
                   key, arg_text(args, kChoiceParam, current)));
             })
      .with_contract(configuration_contract());
}

// The sorted choices of the candidates that handle `kind`.
std::vector<std::string> handler_names(std::span<const AppCandidate> candidates,
                                       const ResourceKind& kind) {
  std::vector<AppCandidate> handling;
  for (const AppCandidate& candidate : candidates) {
    if (candidate.handles(kind)) handling.push_back(candidate);
  }
  return handler_choices(handling);
}

}  // namespace

std::string handler_choice(std::span<const AppCandidate> handling, const AppCandidate& candidate) {
  const auto named = std::ranges::count(handling, candidate.name, &AppCandidate::name);
  return named > 1 ? candidate.label() : candidate.name;
}

std::vector<std::string> handler_choices(std::span<const AppCandidate> handling) {
  std::vector<std::string> choices;
  choices.reserve(handling.size());
  for (const AppCandidate& candidate : handling) {
    choices.push_back(handler_choice(handling, candidate));
  }
  std::ranges::sort(choices);
  return choices;
}

std::string default_app_key(std::string_view kind_key) {
  std::string key = fmt::format("default_apps.{}", kind_key);
  std::ranges::replace(key, ':', '.');
  return key;
}

Resource default_apps_resource(std::span<const AppCandidate> candidates,
                               const desktop_rules::MimeDatabase& mime) {
  Resource section = bare_section();
  std::vector<ResourceKind> kinds = panes::personal_apps::resource_kinds(candidates);
  if (kinds.size() > kMaxItems) kinds.erase(kinds.begin() + kMaxItems, kinds.end());
  for (const ResourceKind& kind : kinds) {
    std::vector<std::string> names = handler_names(candidates, kind);
    if (names.empty()) continue;
    // The choice is required: no current value stands in for a missing one.
    std::string current = names.front();
    section.children.push_back(
        Resource::create(fmt::format("settings.default-app:{}", kind.key()), std::string(kItemKind),
                         kind.display_label(mime))
            .with_action(handler_spec(kind.key(), std::move(names), std::move(current))));
  }
  return section;
}

Resource default_apps_resource() {
  const auto candidates = panes::personal_apps::app_candidates();
  return default_apps_resource(candidates);
}

std::optional<kalu_actions::ActionBinding> default_app_binding(
    std::string_view kind_key, std::string_view action_name,
    std::span<const AppCandidate> handling) {
  if (action_name != "set-handler" || handling.empty()) return std::nullopt;
  const auto kind = ResourceKind::parse(kind_key);
  if (!kind) return std::nullopt;
  std::vector<std::string> choices = handler_choices(handling);
  std::string first = choices.front();
  const Resource item =
      Resource::create(fmt::format("settings.default-app:{}", kind->key()), std::string(kItemKind),
                       kind->key())
          .with_action(handler_spec(kind->key(), std::move(choices), std::move(first)));
  // The dropdown shows each application's label; the action takes its
  // choice, so the control passes the same check as a client.
  std::vector<std::pair<std::string, std::string>> by_label;
  by_label.reserve(handling.size());
  for (const AppCandidate& candidate : handling) {
    by_label.emplace_back(candidate.label(), handler_choice(handling, candidate));
  }
  auto arguments = [by_label = std::move(by_label)](const kalu_actions::ControlValue& value) {
    const std::string* text = std::get_if<std::string>(&value);
    if (text == nullptr) return kalu_actions::ActionArgs();
    const auto found =
        std::ranges::find(by_label, *text, &std::pair<std::string, std::string>::first);
    const std::string& choice = found != by_label.end() ? found->second : *text;
    return kalu_actions::ActionArgs().with(std::string(kChoiceParam), std::string_view(choice));
  };
  return bind_action(item, action_name, std::move(arguments));
}

}  // namespace settings::actions
