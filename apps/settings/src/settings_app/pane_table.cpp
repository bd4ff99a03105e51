#include "settings_app/pane_table.h"

#include "kalu_ui/widget/support.h"
#include "panes/about/page.h"
#include "panes/accessibility/accessibility_pane.h"
#include "panes/accounts/accounts_pane.h"
#include "panes/agent_models/agent_models_pane.h"
#include "panes/appearance/appearance_pane.h"
#include "panes/audio/audio_pane.h"
#include "panes/bluetooth/bluetooth_pane.h"
#include "panes/device_mesh/device_mesh_pane.h"
#include "panes/display/display_pane.h"
#include "panes/keyboard_shortcuts/keyboard_shortcuts_pane.h"
#include "panes/mouse_keyboard/mouse_keyboard_pane.h"
#include "panes/network/network_pane.h"
#include "panes/notifications/notifications_pane.h"
#include "panes/personal_apps/personal_apps_pane.h"
#include "panes/power/power_pane.h"
#include "panes/printers/printers_pane.h"
#include "panes/privacy/page.h"
#include "panes/region/region_pane.h"
#include "panes/storage/storage_pane.h"
#include "panes/time_date/time_date_pane.h"
#include "panes/updates/updates_pane.h"
#include "panes/users/users_pane.h"

namespace settings::settings_app {
namespace {

using kalu_ui::WidgetBox;
using kalu_ui::widget::boxed;
using panes::Pane;

// The two shapes of construction most panes share; setters apply left to
// right.
template <typename PaneWidget>
WidgetBox device_local(const PaneCells& c) {
  return boxed(PaneWidget()
                   .with_operation_requests(c.device_local_request)
                   .with_operation_completion(c.operation_completion));
}
template <typename PaneWidget>
WidgetBox boxed_alone(const PaneCells&) {
  return PaneWidget::boxed();
}

struct ConstructorRow {
  Pane pane;
  PaneConstructor build;
};

// The preference panes take no cell at all.
constexpr std::array<ConstructorRow, panes::kPaneCount> kConstructors = {{
    {Pane::kNetwork, &device_local<panes::network::NetworkPane>},
    {Pane::kBluetooth, &device_local<panes::bluetooth::BluetoothPane>},
    {Pane::kDevicesSync, &device_local<panes::device_mesh::DeviceMeshPane>},
    {Pane::kSound, &device_local<panes::audio::AudioPane>},
    {Pane::kDisplays, &device_local<panes::display::DisplayPane>},
    {Pane::kMouseKeyboard, &boxed_alone<panes::mouse_keyboard::MouseKeyboardPane>},
    {Pane::kKeyboardShortcuts, &boxed_alone<panes::keyboard_shortcuts::ShortcutPane>},
    {Pane::kTimeDate, &boxed_alone<panes::time_date::TimeDatePane>},
    {Pane::kUsers, &device_local<panes::users::UsersPane>},
    {Pane::kPrinters, &device_local<panes::printers::PrintersPane>},
    {Pane::kPower, &device_local<panes::power::PowerPane>},
    {Pane::kAppearance, &boxed_alone<panes::appearance::AppearancePane>},
    {Pane::kAccessibility, &boxed_alone<panes::accessibility::AccessibilityPane>},
    {Pane::kNotifications, &boxed_alone<panes::notifications::NotificationsPane>},
    {Pane::kAppsFiles, &boxed_alone<panes::personal_apps::PersonalAppsPane>},
    {Pane::kStorage, &device_local<panes::storage::StoragePane>},
    {Pane::kExternalAccounts,
     [](const PaneCells& c) -> WidgetBox {
       return boxed(panes::accounts::AccountsPane(c.accounts_root)
                        .with_account_requests(c.account_requests)
                        .with_account_completion(c.account_completion)
                        .with_account_check_note(c.account_check_note)
                        .with_account_probe(c.account_probe));
     }},
    {Pane::kAgentModels,
     [](const PaneCells& c) -> WidgetBox {
       return boxed(panes::agent_models::AgentModelsPane()
                        .with_operation_requests(c.device_local_request)
                        .with_operation_completion(c.operation_completion)
                        .with_status_cell(c.agent_models_status)
                        .with_providers_changed_cell(c.agent_models_providers_changed));
     }},
    {Pane::kRegionFormats,
     [](const PaneCells& c) -> WidgetBox {
       return panes::region::RegionPane::boxed(c.content_width_hint);
     }},
    {Pane::kPrivacySecurity, [](const PaneCells&) { return panes::privacy::build_page(); }},
    {Pane::kUpdates, &device_local<panes::updates::UpdatesPane>},
    {Pane::kAbout, [](const PaneCells&) { return panes::about::build_page(); }},
}};
static_assert(panes::one_row_per_pane_in_order(kConstructors,
                                               [](const ConstructorRow& row) { return row.pane; }));

}  // namespace

WidgetBox build_pane(Pane pane, const PaneCells& cells) {
  return kConstructors[panes::index_of(pane)].build(cells);
}

}  // namespace settings::settings_app
