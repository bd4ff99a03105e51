#include "panes/privacy/page.h"

#include <string>
#include <utility>

#include "kalu_ui/log.h"
#include "kalu_ui/widget/button.h"
#include "kalu_ui/widget/container.h"
#include "kalu_ui/widget/row.h"
#include "kalu_ui/widget/text.h"
#include "lib/tools.h"
#include "lib/ui_rows.h"
#include "panes/privacy/security_rows.h"
#include "prefs_store/paths.h"
#include "system_ops/privacy.h"

namespace settings::panes::privacy {

namespace w = kalu_ui::widget;
using kalu_ui::WidgetBox;
using stored::WorkspaceAccessOverview;
using system_ops::privacy::PrivacyStatus;
using ui_rows::WidgetList;

namespace {

constexpr float kBodySize = 12.0f;
constexpr float kSummarySize = 11.0f;
constexpr float kAppNameSize = 13.0f;
constexpr float kGrantGap = 8.0f;

WidgetBox body_text(std::string_view text) {
  return w::boxed(w::Text(std::string(text)).with_size(kBodySize).with_wrap());
}

WidgetBox list(WidgetBox first, WidgetBox second) {
  WidgetList items;
  items.push_back(std::move(first));
  items.push_back(std::move(second));
  return ui_rows::rows_column(std::move(items));
}

// ---- The cards, in page order ----------------------------------------------

WidgetBox this_device_card() {
  return ui_rows::section_card(
      "This device",
      body_text("Privacy hardware and security status apply to this device and your sign-in. They "
                "do not change who can access a shared workspace or what an app may do there."));
}

WidgetBox privacy_hardware_card(const kalu_ui::Result<PrivacyStatus>& status) {
  WidgetList rows;
  if (status) {
    rows.push_back(ui_rows::info_row(
        "Camera", privacy_state_text(status->camera_state, status->camera_present)));
    rows.push_back(ui_rows::info_row(
        "Microphone", privacy_state_text(status->microphone_state, status->microphone_mute != 2)));
    rows.push_back(
        ui_rows::info_row("Microphone mute", microphone_mute_text(status->microphone_mute)));
  } else {
    for (std::string_view label : {"Camera", "Microphone", "Microphone mute"}) {
      rows.push_back(ui_rows::info_row(label, kUnavailable));
    }
  }
  return ui_rows::section_card("Privacy hardware", ui_rows::rows_column(std::move(rows)));
}

WidgetBox active_use_card(const kalu_ui::Result<PrivacyStatus>& status) {
  WidgetList rows;
  if (!status) {
    rows.push_back(ui_rows::caption(kUnavailable));
  } else if (status->active_uses.empty()) {
    rows.push_back(ui_rows::caption("No application is using the camera or microphone now."));
  }
  if (status) {
    for (const auto& use : status->active_uses) {
      rows.push_back(ui_rows::info_row(use.app_name, active_use_text(use.kind)));
    }
  }
  return ui_rows::section_card("Active privacy use", ui_rows::rows_column(std::move(rows)));
}

WidgetBox device_security_card(std::shared_ptr<SecurityCell> security) {
  auto rows = std::make_unique<SecurityRows>(std::move(security));
  return ui_rows::section_card(
      "Device security",
      list(std::move(rows),
           ui_rows::caption("Detailed firewall policy belongs in Firewall; disk recovery and "
                            "repartitioning belong in Backups and Disks. This page reports their "
                            "effective device state without copying their editors.")));
}

WidgetBox workspace_access_card() {
  auto button = lib::tool_button(lib::ToolButton::WorkspaceAccess);
  return ui_rows::section_card(
      "Workspace access \u00b7 read-only overview",
      list(body_text("App access is scoped to the workspace where the app runs. This page only "
                     "summarizes it across workspaces; it cannot grant, revoke, or change "
                     "workspace roles. Change access in that workspace's Settings, where its "
                     "people and roles are visible."),
           w::boxed(w::Row().push(w::boxed(std::move(button))))));
}

WidgetBox unavailable_card() {
  return ui_rows::section_card(
      "Workspace access status unavailable",
      list(body_text(stored::kWorkspaceAccessUnavailable),
           ui_rows::caption("Open current workspace access or try again after the desktop "
                            "session has finished starting.")));
}

WidgetBox no_grants_card() {
  WidgetList items;
  items.push_back(
      body_text("No app currently holds an out-of-sandbox grant. When you approve one at the "
                "compositor's prompt, it appears here \u2014 grouped by workspace and app \u2014 "
                "with the access it covers and how long it lasts."));
  items.push_back(ui_rows::spacer(3));
  items.push_back(ui_rows::caption(
      "Nothing here means nothing is granted: apps see only their own workspace until you say "
      "otherwise."));
  return ui_rows::section_card("No workspace access grants",
                               ui_rows::column(std::move(items), 0.0f));
}

// [category badge, detail taking the free space, duration badge].
WidgetBox grant_row(const stored::GrantItem& item) {
  auto detail = w::Container().with_expand().with_child(body_text(item.detail));
  return w::boxed(
      w::Row()
          .with_gap(kGrantGap)
          .with_alignment(w::Alignment::Center)
          .push(ui_rows::badge_with_color(item.category_label, category_color(item.category)))
          .push(w::boxed(std::move(detail)))
          .push(ui_rows::badge_with_color(item.duration_label, duration_color())));
}

WidgetBox workspace_card(const stored::WorkspaceGrants& workspace) {
  WidgetList items;
  for (const stored::AppGrants& app : workspace.apps) {
    if (!items.empty()) items.push_back(ui_rows::spacer(3));
    WidgetList group;
    group.push_back(w::boxed(w::Text(app.app).with_size(kAppNameSize).with_wrap()));
    for (const stored::GrantItem& item : app.items) group.push_back(grant_row(item));
    items.push_back(ui_rows::column(std::move(group), ui_rows::kSettingRowGap * 2));
  }
  return ui_rows::section_card(workspace.title, ui_rows::column(std::move(items), 0.0f));
}

void push_workspace_grants(WidgetList& cards, const WorkspaceAccessOverview& overview) {
  switch (overview.state) {
    case WorkspaceAccessOverview::State::Unavailable:
      cards.push_back(unavailable_card());
      return;
    case WorkspaceAccessOverview::State::NoGrants:
      cards.push_back(no_grants_card());
      return;
    case WorkspaceAccessOverview::State::Grants:
      cards.push_back(
          w::boxed(w::Text(overview.summary).with_size(kSummarySize).with_muted().with_wrap()));
      for (const auto& workspace : overview.workspaces) cards.push_back(workspace_card(workspace));
      return;
  }
}

WidgetBox enforcement_card() {
  return ui_rows::section_card(
      "Where enforcement happens",
      ui_rows::caption("These grants are enforced by the compositor (file access, collaboration, "
                       "devices) and by the FUSE mount, not by this panel. This is a read-only "
                       "view of the list they apply; revoke a grant in Workspace Settings for the "
                       "workspace that owns it."));
}

}  // namespace

kalu_ui::Color category_color(stored::GrantCategory category) {
  static const kalu_ui::Theme theme = kalu_ui::Theme::dark();
  switch (category) {
    case stored::GrantCategory::Files:
      return theme.accent;
    case stored::GrantCategory::Camera:
      return theme.warning;
    case stored::GrantCategory::Microphone:
      return theme.error;
    case stored::GrantCategory::ScreenSharing:
      return theme.accent.mix(theme.error, 0.5);
    case stored::GrantCategory::RemoteControl:
      return theme.warning.mix(theme.error, 0.5);
    case stored::GrantCategory::Network:
      return theme.success;
  }
  return theme.secondary;
}

kalu_ui::Color duration_color() { return kalu_ui::Theme::dark().secondary; }

kalu_ui::WidgetBox build_page() { return build_page(device_efivars_dir); }

kalu_ui::WidgetBox build_page(EfivarsSource efivars) {
  // The probes start first so they run while the rest is read.
  auto security = start_security_probe(std::move(efivars));
  WorkspaceAccessOverview overview = workspace_access(prefs_store::config_path("state.json"));
  auto status = system_ops::privacy::get_privacy_status();
  if (!status) {
    kalu_ui::log::warn("kalu::settings", "settings::panes::privacy",
                       "privacy status is unavailable",
                       {{"op", "get_privacy_status"}, {"error", status.error()}});
  }
  WidgetList cards;
  cards.push_back(this_device_card());
  cards.push_back(privacy_hardware_card(status));
  cards.push_back(active_use_card(status));
  cards.push_back(device_security_card(std::move(security)));
  cards.push_back(workspace_access_card());
  push_workspace_grants(cards, overview);
  cards.push_back(enforcement_card());
  return ui_rows::sections_column(std::move(cards));
}

}  // namespace settings::panes::privacy
