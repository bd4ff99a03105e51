#include "panes/personal_apps/personal_apps_pane.h"

#include <algorithm>
#include <string>
#include <utility>

#include "actions/preference_context.h"
#include "kalu_ui/log.h"
#include "kalu_ui/widget/support.h"
#include "panes/personal_apps/page.h"
#include "vocabulary/app_candidates.h"

namespace settings::panes::personal_apps {
namespace {

using desktop_rules::AppCandidate;
using desktop_rules::ResourceKind;

constexpr std::string_view kModule = "settings::panes::personal_apps";

// The defaults as stored; an unreadable file is logged and reads as none
// (the store refuses to change it while it stays unreadable).
std::optional<desktop_rules::PersonalDefaults> load_defaults() {
  auto loaded = desktop_rules::PersonalDefaults::load();
  if (loaded) return std::move(*loaded);
  kalu_ui::log::warn("kalu::settings", kModule, "failed to read default applications",
                     {{"op", "default_apps_load"}, {"error", loaded.error()}});
  return std::nullopt;
}

}  // namespace

PersonalAppsPane::PersonalAppsPane(std::vector<AppCandidate> candidates,
                                   desktop_rules::PersonalDefaults defaults,
                                   desktop_rules::DefaultAppResolver resolver,
                                   const desktop_rules::MimeDatabase& mime)
    : PreferencePane(true),
      candidates_(std::move(candidates)),
      kinds_(resource_kinds(candidates_)),
      defaults_(std::move(defaults)),
      resolver_(std::move(resolver)),
      mime_(&mime) {}

kalu_ui::WidgetBox PersonalAppsPane::boxed() {
  return kalu_ui::widget::boxed(PersonalAppsPane(
      installed_gui_apps(), load_defaults().value_or(desktop_rules::PersonalDefaults{}),
      desktop_rules::DefaultAppResolver::from_environment()));
}

bool PersonalAppsPane::reload() {
  if (auto stored = load_defaults()) defaults_ = std::move(*stored);
  return false;
}

std::vector<lib::ShownSetting> PersonalAppsPane::shown() const {
  std::vector<lib::ShownSetting> shown;
  for (const ResourceKind& kind : kinds_) {
    // A kind nothing resolves for shows no value, so that a choice made for
    // it is seen too.
    kalu_ui::doc::Scalar value = kalu_ui::doc::Null{};
    if (const auto resolved = resolver_.resolve(candidates_, kind, defaults_)) {
      const auto candidate = std::ranges::find(candidates_, *resolved, &AppCandidate::id);
      if (candidate != candidates_.end()) value = candidate->label();
    }
    shown.push_back({control_key(kind), std::move(value)});
  }
  return shown;
}

kalu_ui::layout::NodeId PersonalAppsPane::build_layout(kalu_ui::layout::LayoutTree& tree,
                                                       const kalu_ui::RenderContext& context,
                                                       kalu_ui::layout::NodeRegistry& registry) {
  return lay_out_page(tree, context, registry,
                      build_page({candidates_, kinds_, defaults_, *mime_}));
}

std::optional<kalu_actions::ActionContext> PersonalAppsPane::take_permission_request() {
  return actions::preference_pane_context(take_interaction(), "personal-apps",
                                          "Personal app defaults", "Change default apps");
}

}  // namespace settings::panes::personal_apps
