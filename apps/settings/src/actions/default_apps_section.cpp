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

// The sorted names of the candidates that handle `kind`.
std::vector<std::string> handler_names(std::span<const AppCandidate> candidates,
                                       const ResourceKind& kind) {
  std::vector<std::string> names;
  for (const AppCandidate& candidate : candidates) {
    if (candidate.handles(kind)) names.push_back(candidate.name);
  }
  std::ranges::sort(names);
  return names;
}

}  // namespace

std::string default_app_key(std::string_view kind_key) {
  std::string key = fmt::format("default_apps.{}", kind_key);
  std::ranges::replace(key, ':', '.');
  return key;
}

Resource default_apps_resource(const kalu_ui::doc::Document& document,
                               std::span<const AppCandidate> candidates,
                               const desktop_rules::MimeDatabase& mime) {
  Resource section = bare_section();
  std::vector<ResourceKind> kinds = panes::personal_apps::resource_kinds(candidates);
  if (kinds.size() > kMaxItems) kinds.erase(kinds.begin() + kMaxItems, kinds.end());
  for (const ResourceKind& kind : kinds) {
    std::vector<std::string> names = handler_names(candidates, kind);
    if (names.empty()) continue;
    std::string current = current_text(document, default_app_key(kind.key()), names.front());
    section.children.push_back(
        Resource::create(fmt::format("settings.default-app:{}", kind.key()), std::string(kItemKind),
                         kind.display_label(mime))
            .with_action(handler_spec(kind.key(), std::move(names), std::move(current))));
  }
  return section;
}

Resource default_apps_resource(const kalu_ui::doc::Document& document) {
  const auto candidates = panes::personal_apps::app_candidates();
  return default_apps_resource(document, candidates);
}

std::optional<kalu_actions::ActionBinding> default_app_binding(std::string_view kind_key,
                                                               std::string_view action_name,
                                                               std::vector<std::string> choices) {
  if (action_name != "set-handler" || choices.empty()) return std::nullopt;
  const auto kind = ResourceKind::parse(kind_key);
  if (!kind) return std::nullopt;
  std::string first = choices.front();
  const Resource item =
      Resource::create(fmt::format("settings.default-app:{}", kind->key()), std::string(kItemKind),
                       kind->key())
          .with_action(handler_spec(kind->key(), std::move(choices), std::move(first)));
  return bind_action(item, action_name, choice_arguments());
}

}  // namespace settings::actions
