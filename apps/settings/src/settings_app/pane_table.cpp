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

// The two shapes of construction most panes share; setters apply left to
// right.
template <typename Pane>
WidgetBox device_local(const PaneCells& c) {
  return boxed(Pane()
                   .with_operation_requests(c.device_local_request)
                   .with_operation_completion(c.operation_completion));
}
template <typename Pane>
WidgetBox boxed_alone(const PaneCells&) {
  return Pane::boxed();
}

// By pane index. Mouse & Keyboard takes only the completion cell, Devices &
// Sync a request cell of its own, the preference panes no cell at all.
constexpr std::array<PaneConstructor, panes::kPaneCount> kConstructors = {
    &device_local<panes::network::NetworkPane>,      // 0 Network
    &device_local<panes::bluetooth::BluetoothPane>,  // 1 Bluetooth
    [](const PaneCells& c) -> WidgetBox {            // 2 Devices & Sync
      return boxed(panes::device_mesh::DeviceMeshPane()
                       .with_mesh_requests(c.device_mesh_request)
                       .with_operation_completion(c.operation_completion));
    },
    &device_local<panes::audio::AudioPane>,      // 3 Sound
    &device_local<panes::display::DisplayPane>,  // 4 Displays
    [](const PaneCells& c) -> WidgetBox {        // 5 Mouse & Keyboard
      return boxed(panes::mouse_keyboard::MouseKeyboardPane().with_operation_completion(
          c.operation_completion));
    },
    &boxed_alone<panes::keyboard_shortcuts::ShortcutPane>,  // 6 Keyboard Shortcuts
    &boxed_alone<panes::time_date::TimeDatePane>,           // 7 Time & Date
    &device_local<panes::users::UsersPane>,                 // 8 Users
    &device_local<panes::printers::PrintersPane>,           // 9 Printers
    &device_local<panes::power::PowerPane>,                 // 10 Power
    &boxed_alone<panes::appearance::AppearancePane>,        // 11 Appearance
    &boxed_alone<panes::accessibility::AccessibilityPane>,  // 12 Accessibility
    &boxed_alone<panes::notifications::NotificationsPane>,  // 13 Notifications
    &boxed_alone<panes::personal_apps::PersonalAppsPane>,   // 14 Apps & Files
    &device_local<panes::storage::StoragePane>,             // 15 Storage
    [](const PaneCells& c) -> WidgetBox {                   // 16 External Accounts
      return boxed(panes::accounts::AccountsPane(c.accounts_root)
                       .with_account_requests(c.account_requests)
                       .with_account_completion(c.account_completion)
                       .with_account_check_note(c.account_check_note)
                       .with_account_probe(c.account_probe));
    },
    [](const PaneCells& c) -> WidgetBox {  // 17 Agent Models
      return boxed(panes::agent_models::AgentModelsPane()
                       .with_operation_requests(c.device_local_request)
                       .with_operation_completion(c.operation_completion)
                       .with_status_cell(c.agent_models_status)
                       .with_providers_changed_cell(c.agent_models_providers_changed));
    },
    [](const PaneCells& c) -> WidgetBox {  // 18 Region & Formats
      return panes::region::RegionPane::boxed(c.content_width_hint);
    },
    [](const PaneCells&) { return panes::privacy::build_page(); },  // 19 Device Privacy & Security
    &device_local<panes::updates::UpdatesPane>,                     // 20 Updates
    [](const PaneCells&) { return panes::about::build_page(); },    // 21 About
};

}  // namespace

const std::array<PaneConstructor, panes::kPaneCount>& pane_constructors() { return kConstructors; }

WidgetBox build_pane(panes::PaneIndex pane, const PaneCells& cells) {
  if (pane >= kConstructors.size()) return nullptr;
  return kConstructors[pane](cells);
}

}  // namespace settings::settings_app
