#pragma once

// The full names that the program's own widget types answer from type_name:
// the application object, the sidebar row, the time-zone map, the privacy
// page's security rows and one type per pane. Each type answers its row (`static constexpr
// std::string_view kTypeName = type_names::kNetworkPane;`); the toolkit's widgets have their table
// in the widget contract (widget_contract/type_names.h).

#include <string_view>

namespace settings::type_names {

inline constexpr std::string_view kSettingsApp = "settings::settings_app::SettingsApp";
inline constexpr std::string_view kSidebarRow = "settings::sidebar::SidebarRow";
inline constexpr std::string_view kTimeZoneMap = "settings::panes::time_date::TimeZoneMap";
inline constexpr std::string_view kSecurityRows = "settings::panes::privacy::SecurityRows";
inline constexpr std::string_view kAccessibilityPane =
    "settings::panes::accessibility::AccessibilityPane";
inline constexpr std::string_view kAccountsPane = "settings::panes::accounts::AccountsPane";
inline constexpr std::string_view kAgentModelsPane =
    "settings::panes::agent_models::AgentModelsPane";
inline constexpr std::string_view kAppearancePane = "settings::panes::appearance::AppearancePane";
inline constexpr std::string_view kAudioPane = "settings::panes::audio::AudioPane";
inline constexpr std::string_view kBluetoothPane = "settings::panes::bluetooth::BluetoothPane";
inline constexpr std::string_view kDeviceMeshPane = "settings::panes::device_mesh::DeviceMeshPane";
inline constexpr std::string_view kDisplayPane = "settings::panes::display::DisplayPane";
inline constexpr std::string_view kMouseKeyboardPane =
    "settings::panes::mouse_keyboard::MouseKeyboardPane";
inline constexpr std::string_view kNetworkPane = "settings::panes::network::NetworkPane";
inline constexpr std::string_view kNotificationsPane =
    "settings::panes::notifications::NotificationsPane";
inline constexpr std::string_view kPersonalAppsPane =
    "settings::panes::personal_apps::PersonalAppsPane";
inline constexpr std::string_view kPowerPane = "settings::panes::power::PowerPane";
inline constexpr std::string_view kPrintersPane = "settings::panes::printers::PrintersPane";
inline constexpr std::string_view kRegionPane = "settings::panes::region::RegionPane";
inline constexpr std::string_view kShortcutPane =
    "settings::panes::keyboard_shortcuts::ShortcutPane";
inline constexpr std::string_view kStoragePane = "settings::panes::storage::StoragePane";
inline constexpr std::string_view kTimeDatePane = "settings::panes::time_date::TimeDatePane";
inline constexpr std::string_view kUpdatesPane = "settings::panes::updates::UpdatesPane";
inline constexpr std::string_view kUsersPane = "settings::panes::users::UsersPane";

// Every name above, for checks that walk the whole table.
inline constexpr std::string_view kAll[] = {
    kSettingsApp,      kSidebarRow,      kTimeZoneMap,       kSecurityRows, kAccessibilityPane,
    kAccountsPane,     kAgentModelsPane, kAppearancePane,    kAudioPane,    kBluetoothPane,
    kDeviceMeshPane,   kDisplayPane,     kMouseKeyboardPane, kNetworkPane,  kNotificationsPane,
    kPersonalAppsPane, kPowerPane,       kPrintersPane,      kRegionPane,   kShortcutPane,
    kStoragePane,      kTimeDatePane,    kUpdatesPane,       kUsersPane,
};

}  // namespace settings::type_names
