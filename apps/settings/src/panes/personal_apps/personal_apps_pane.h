#pragma once

// The Apps & Files pane (pane 14): for every kind of file or link an
// installed graphical application declares, which application opens it. The
// choices are the person's defaults in mimeapps.list (desktop_rules).
//
// Each kind has a control key "default_apps.<kind key, ':' as '.'>" holding
// the applied choice as a candidate label ("Name — id"), and its edit key
// ("<control key>.edit") that the page's dropdown writes. The first sync
// publishes each kind's resolved application through the set-setting action
// of the "settings.action" namespace and under the edit key. Afterwards an
// edit that differs from both the applied choice and what the pane last
// published is the person's choice and is dispatched; a choice that appears
// under the control key (that action, or an automation client's) is made the
// kind's personal default and saved. A client may name the application by
// its display name when exactly one candidate of the kind has it; a text
// that names no candidate is put back.

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "desktop_rules/default_apps.h"
#include "desktop_rules/resource_kind.h"
#include "kalu_ui/host.h"
#include "lib/page_pane.h"
#include "operations/records.h"

namespace settings::panes::personal_apps {

class PersonalAppsPane final : public lib::PagePane {
 public:
  static constexpr std::string_view kTypeName =
      "settings::panes::personal_apps::PersonalAppsPane";

  // `defaults_location`: where the defaults are saved (none: their default
  // location). `mime` names the kinds and must outlive the pane.
  PersonalAppsPane(std::vector<desktop_rules::AppCandidate> candidates,
                   desktop_rules::PersonalDefaults defaults,
                   desktop_rules::DefaultAppResolver resolver,
                   std::optional<std::filesystem::path> defaults_location = std::nullopt,
                   const desktop_rules::MimeDatabase& mime = desktop_rules::MimeDatabase::shared());
  // The installed applications, the person's defaults and the system's, as
  // the page frame builds it.
  static kalu_ui::WidgetBox boxed();

  const std::vector<desktop_rules::AppCandidate>& candidates() const { return candidates_; }
  const std::vector<desktop_rules::ResourceKind>& kinds() const { return kinds_; }
  const desktop_rules::PersonalDefaults& defaults() const { return defaults_; }

  // Dispatches `action` in the "settings.action" namespace with the
  // application's context; a refusal is logged by the host.
  static void dispatch_setting(kalu_ui::host::ActionHost& host, kalu_ui::doc::Document& document,
                               const operations::SettingsAction& action);

  std::string_view type_name() const override { return kTypeName; }
  void sync(kalu_ui::doc::Document& document) override;
  kalu_ui::layout::NodeId build_layout(kalu_ui::layout::LayoutTree& tree,
                                       const kalu_ui::RenderContext& context,
                                       kalu_ui::layout::NodeRegistry& registry) override;
  std::optional<kalu_actions::ActionContext> take_permission_request() override;

 private:
  // The first sync: each kind's resolved application under its keys.
  void publish(kalu_ui::doc::Document& document);
  // One kind's keys reconciled; true when its personal default changed.
  bool sync_kind(kalu_ui::doc::Document& document, const desktop_rules::ResourceKind& kind);
  // The label of the kind's candidate that `text` names (its label, or the
  // display name only it has among the kind's candidates).
  std::optional<std::string> label_named(const desktop_rules::ResourceKind& kind,
                                         std::string_view text) const;
  void save();

  std::vector<desktop_rules::AppCandidate> candidates_;
  std::vector<desktop_rules::ResourceKind> kinds_;
  desktop_rules::PersonalDefaults defaults_;
  desktop_rules::DefaultAppResolver resolver_;
  std::optional<std::filesystem::path> defaults_location_;
  const desktop_rules::MimeDatabase* mime_;
  // Control key -> the label last published for it.
  std::map<std::string, std::string, std::less<>> published_;
  kalu_ui::host::ActionHost host_{nullptr};
  bool first_sync_ = true;
};

}  // namespace settings::panes::personal_apps
