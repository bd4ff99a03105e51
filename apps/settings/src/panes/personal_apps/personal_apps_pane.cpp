#include "panes/personal_apps/personal_apps_pane.h"

#include <algorithm>
#include <utility>

#include "actions/doc_readers.h"
#include "actions/preference_context.h"
#include "actions/settings_action.h"
#include "kalu_ui/log.h"
#include "kalu_ui/widget/support.h"
#include "panes/app_candidates.h"
#include "panes/personal_apps/page.h"

namespace settings::panes::personal_apps {
namespace {

namespace doc = kalu_ui::doc;
using desktop_rules::AppCandidate;
using desktop_rules::ResourceKind;
using operations::SettingsAction;

constexpr std::string_view kModule = "settings::panes::personal_apps";

void write_text(doc::Document& document, std::string_view key, std::string_view text) {
  if (auto written = document.put(doc::kRoot, key, doc::Scalar(std::string(text))); !written) {
    kalu_ui::log::warn("kalu::settings", kModule, "failed to write default application",
                       {{"op", "default_apps_write"},
                        {"key", std::string(key)},
                        {"error", written.error()}});
  }
}

desktop_rules::PersonalDefaults load_defaults() {
  auto loaded = desktop_rules::PersonalDefaults::load();
  if (loaded) return std::move(*loaded);
  // A later save reads the file again and fails while it stays unreadable,
  // so starting empty loses nothing.
  kalu_ui::log::warn("kalu::settings", kModule, "failed to read default applications",
                     {{"op", "default_apps_load"}, {"error", loaded.error()}});
  return {};
}

}  // namespace

PersonalAppsPane::PersonalAppsPane(std::vector<AppCandidate> candidates,
                                   desktop_rules::PersonalDefaults defaults,
                                   desktop_rules::DefaultAppResolver resolver,
                                   std::optional<std::filesystem::path> defaults_location,
                                   const desktop_rules::MimeDatabase& mime)
    : candidates_(std::move(candidates)),
      kinds_(resource_kinds(candidates_)),
      defaults_(std::move(defaults)),
      resolver_(std::move(resolver)),
      defaults_location_(std::move(defaults_location)),
      mime_(&mime) {}

kalu_ui::WidgetBox PersonalAppsPane::boxed() {
  return kalu_ui::widget::boxed(PersonalAppsPane(installed_gui_apps(), load_defaults(),
                                                 desktop_rules::DefaultAppResolver::from_environment()));
}

void PersonalAppsPane::dispatch_setting(kalu_ui::host::ActionHost& host, doc::Document& document,
                                        const SettingsAction& action) {
  host.dispatch_with_context(document, actions::kSettingsActionNamespace,
                             actions::TypedSettingsAction(action),
                             actions::settings_action_context(actions::kSettingsAppId,
                                                              actions::kSettingsAppTitle, action));
}

std::optional<std::string> PersonalAppsPane::label_named(const ResourceKind& kind,
                                                         std::string_view text) const {
  const AppCandidate* by_name = nullptr;
  int named = 0;
  for (const AppCandidate& candidate : candidates_) {
    if (!candidate.handles(kind)) continue;
    if (candidate.label() == text) return candidate.label();
    if (candidate.name == text) {
      by_name = &candidate;
      ++named;
    }
  }
  if (named == 1) return by_name->label();
  return std::nullopt;
}

void PersonalAppsPane::publish(doc::Document& document) {
  for (const ResourceKind& kind : kinds_) {
    const auto resolved = resolver_.resolve(candidates_, kind, defaults_);
    if (!resolved) continue;
    const auto candidate = std::ranges::find(candidates_, *resolved, &AppCandidate::id);
    if (candidate == candidates_.end()) continue;
    const std::string key = control_key(kind);
    const std::string label = candidate->label();
    dispatch_setting(host_, document, SettingsAction::set_setting(key, label));
    // An edit key left from an earlier visit would otherwise read as a new
    // choice and undo what was chosen since.
    write_text(document, edit_key(kind), label);
    published_.insert_or_assign(key, label);
  }
}

bool PersonalAppsPane::sync_kind(doc::Document& document, const ResourceKind& kind) {
  const std::string key = control_key(kind);
  const std::string edit = edit_key(kind);
  const auto stored = actions::read_doc_text(document, doc::kRoot, key);
  const auto edited = actions::read_doc_text(document, doc::kRoot, edit);
  if (!stored && !edited) return false;
  const auto published = published_.find(key);
  const std::string last = published == published_.end() ? std::string() : published->second;

  // What stands under the control key, as a label; a text that names no
  // candidate of the kind goes back to what was published.
  std::string current = last;
  if (stored) {
    if (auto label = label_named(kind, *stored)) {
      current = std::move(*label);
    } else if (!last.empty()) {
      write_text(document, key, last);
    }
  }

  if (edited && *edited != current && *edited != last) {
    // The person's choice in the dropdown, whatever the personal default.
    if (label_named(kind, *edited) == *edited) {
      dispatch_setting(host_, document, SettingsAction::set_setting(key, *edited));
      return false;
    }
  }
  if (!current.empty() && (!edited || *edited != current)) write_text(document, edit, current);
  if (current.empty() || current == last) return false;

  published_.insert_or_assign(key, current);
  const auto chosen = std::ranges::find(candidates_, current, &AppCandidate::label);
  if (chosen == candidates_.end() || defaults_.get(kind) == chosen->id) return false;
  if (auto set = defaults_.set(kind, chosen->id, candidates_); !set) {
    kalu_ui::log::warn("kalu::settings", kModule, "default application refused",
                       {{"op", "default_apps_set"}, {"requested", std::string(kind.key())}, {"error", set.error()}});
    return false;
  }
  return true;
}

void PersonalAppsPane::sync(doc::Document& document) {
  if (std::exchange(first_sync_, false)) publish(document);
  bool changed = false;
  for (const ResourceKind& kind : kinds_) changed = sync_kind(document, kind) || changed;
  if (changed) save();
  PagePane::sync(document);
}

void PersonalAppsPane::save() {
  auto saved = defaults_location_ ? defaults_.save_at(*defaults_location_) : defaults_.save();
  if (!saved) {
    // Not shown on the page; the defaults keep the choice and the next save
    // writes it again.
    kalu_ui::log::warn("kalu::settings", kModule, "failed to save default applications",
                       {{"op", "default_apps_save"}, {"error", saved.error()}});
  }
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
