#pragma once

// The Apps & Files pane (Pane::kAppsFiles): for every kind of file or link an
// installed graphical application declares, which application opens it. The
// choices are the person's defaults in mimeapps.list (desktop_rules).
//
// It shows each kind's resolved application as stored (the person's
// default, else the system's; lib/preference_pane.h): its label ("Name —
// id") under the kind's control key "default_apps.<kind key, ':' as '.'>" and
// edit key, which the kind's dropdown shows. A choice in the dropdown is the
// kind's "set-handler" action of the Apps & Files section, and that
// set-setting makes the application the kind's personal default
// (actions/setting_store.h), whoever sets it, by its label or by a display
// name only one candidate of the kind has; the pane saves nothing.

#include <optional>
#include <string_view>
#include <vector>

#include "desktop_rules/default_apps.h"
#include "desktop_rules/resource_kind.h"
#include "lib/preference_pane.h"
#include "vocabulary/registry.h"

namespace settings::panes::personal_apps {

class PersonalAppsPane final : public lib::PreferencePane {
 public:
  static constexpr std::string_view kTypeName = pane_row(Pane::kAppsFiles).type_name;

  // `mime` names the kinds and must outlive the pane.
  PersonalAppsPane(std::vector<desktop_rules::AppCandidate> candidates,
                   desktop_rules::PersonalDefaults defaults,
                   desktop_rules::DefaultAppResolver resolver,
                   const desktop_rules::MimeDatabase& mime = desktop_rules::MimeDatabase::shared());
  // The installed applications, the person's defaults and the system's, as
  // the page frame builds it.
  static kalu_ui::WidgetBox boxed();

  const std::vector<desktop_rules::AppCandidate>& candidates() const { return candidates_; }
  const std::vector<desktop_rules::ResourceKind>& kinds() const { return kinds_; }
  const desktop_rules::PersonalDefaults& defaults() const { return defaults_; }

  std::string_view type_name() const override { return kTypeName; }
  kalu_ui::layout::NodeId build_layout(kalu_ui::layout::LayoutTree& tree,
                                       const kalu_ui::RenderContext& context,
                                       kalu_ui::layout::NodeRegistry& registry) override;
  std::optional<kalu_actions::ActionContext> take_permission_request() override;

 protected:
  // The dropdowns follow the document: the page stays.
  bool reload() override;
  std::vector<lib::ShownSetting> shown() const override;

 private:
  std::vector<desktop_rules::AppCandidate> candidates_;
  std::vector<desktop_rules::ResourceKind> kinds_;
  desktop_rules::PersonalDefaults defaults_;
  desktop_rules::DefaultAppResolver resolver_;
  const desktop_rules::MimeDatabase* mime_;
};

}  // namespace settings::panes::personal_apps
