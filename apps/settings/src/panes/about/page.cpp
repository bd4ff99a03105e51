#include "panes/about/page.h"

#include <string>
#include <utility>

#include "kalu_ui/icon.h"
#include "kalu_ui/widget/button.h"
#include "kalu_ui/widget/row.h"
#include "lib/tools.h"
#include "lib/ui_rows.h"

namespace settings::panes::about {

namespace w = kalu_ui::widget;
using kalu_ui::WidgetBox;
using ui_rows::WidgetList;

namespace {

constexpr float kBackupButtonWidth = 236.0f;
constexpr float kBackupButtonHeight = 40.0f;

WidgetBox identity_card(const SystemSummary& summary) {
  WidgetList rows;
  rows.push_back(ui_rows::info_row("Person", summary.identity_name.value_or("Not connected")));
  rows.push_back(ui_rows::info_row("Identity", identity_code(summary)));
  rows.push_back(ui_rows::caption(
      "This is the identity selected for the current workspace. Apps receive its public "
      "profile; private signing material stays outside the sandbox."));
  return ui_rows::section_card("Workspace identity", ui_rows::rows_column(std::move(rows)));
}

WidgetBox backup_card() {
  // The backup is made outside Settings: the click hands over to the
  // platform's identity backup.
  auto button = lib::tool_button(lib::ToolButton::IdentityBackup);
  button.with_size(kBackupButtonWidth, kBackupButtonHeight);
  WidgetList rows;
  rows.push_back(ui_rows::caption(
      "Create an encrypted portable copy of your identity. Kalu asks for a passphrase, lets you "
      "choose where to save it, and verifies the copy before confirming success."));
  rows.push_back(w::boxed(w::Row().push(w::boxed(std::move(button)))));
  return ui_rows::section_card("Identity backup", ui_rows::rows_column(std::move(rows)));
}

WidgetBox system_card(const SystemSummary& summary) {
  WidgetList rows;
  rows.push_back(ui_rows::info_row("OS", summary.os_name));
  rows.push_back(ui_rows::info_row("Kernel", summary.kernel_release));
  rows.push_back(ui_rows::info_row("Architecture", summary.architecture));
  rows.push_back(ui_rows::info_row("Uptime", summary.uptime));
  return ui_rows::section_card("System", ui_rows::rows_column(std::move(rows)));
}

WidgetBox hardware_card(const SystemSummary& summary) {
  WidgetList rows;
  rows.push_back(ui_rows::info_row("Processor", summary.processor_model));
  rows.push_back(ui_rows::info_row("Memory", summary.memory_total));
  return ui_rows::section_card("Hardware", ui_rows::rows_column(std::move(rows)));
}

}  // namespace

WidgetBox build_page() { return build_page(summary()); }

WidgetBox build_page(const SystemSummary& summary) {
  WidgetList cards;
  cards.push_back(ui_rows::hero_card(kalu_ui::icon::kDisplay, summary.host_name, summary.os_name));
  cards.push_back(identity_card(summary));
  cards.push_back(backup_card());
  cards.push_back(system_card(summary));
  cards.push_back(hardware_card(summary));
  return ui_rows::sections_column(std::move(cards));
}

}  // namespace settings::panes::about
