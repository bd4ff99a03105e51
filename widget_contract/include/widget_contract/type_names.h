#pragma once

#include <string_view>

// The full type names that widgets answer from type_name. A type declares
// its own as `static constexpr std::string_view kTypeName = ...;` and answers
// it; short_type_name is the text after the last "::".
namespace kalu_ui {

constexpr std::string_view short_type_name_of(std::string_view full_name) {
  const auto pos = full_name.rfind("::");
  return pos == std::string_view::npos ? full_name : full_name.substr(pos + 2);
}

namespace type_names {

// The program's own widgets.
inline constexpr std::string_view kSettingsApp = "settings::settings_app::SettingsApp";
inline constexpr std::string_view kSidebarRow = "settings::sidebar::SidebarRow";
inline constexpr std::string_view kTimeZoneMap = "settings::panes::time_date::TimeZoneMap";
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

// The toolkit's widgets.
inline constexpr std::string_view kAppShell = "kalu_ui::widget::app_shell::AppShell";
inline constexpr std::string_view kBadge = "kalu_ui::widget::badge::Badge";
inline constexpr std::string_view kButton = "kalu_ui::widget::button::Button";
inline constexpr std::string_view kCard = "kalu_ui::widget::card::Card";
inline constexpr std::string_view kColumn = "kalu_ui::widget::column::Column";
inline constexpr std::string_view kContainer = "kalu_ui::widget::container::Container";
inline constexpr std::string_view kDropdown = "kalu_ui::widget::dropdown::Dropdown";
inline constexpr std::string_view kIconWidget = "kalu_ui::widget::icon::IconWidget";
inline constexpr std::string_view kProgressBar = "kalu_ui::widget::progress_bar::ProgressBar";
inline constexpr std::string_view kQrWidget = "kalu_ui::widget::qr::QrWidget";
inline constexpr std::string_view kRow = "kalu_ui::widget::row::Row";
inline constexpr std::string_view kScrollable = "kalu_ui::widget::scrollable::Scrollable";
inline constexpr std::string_view kShortcutRecorder =
    "kalu_ui::widget::shortcut_recorder::ShortcutRecorder";
inline constexpr std::string_view kSlider = "kalu_ui::widget::slider::Slider";
inline constexpr std::string_view kSpacer = "kalu_ui::widget::spacer::Spacer";
inline constexpr std::string_view kSparkline = "kalu_ui::widget::chart::Sparkline";
inline constexpr std::string_view kText = "kalu_ui::widget::text::Text";
inline constexpr std::string_view kTextInput = "kalu_ui::widget::text_input::TextInput";
inline constexpr std::string_view kToggle = "kalu_ui::widget::toggle::Toggle";

// Every name above, for checks that walk the whole table.
inline constexpr std::string_view kAll[] = {
    kSettingsApp,
    kSidebarRow,
    kTimeZoneMap,
    kAccessibilityPane,
    kAccountsPane,
    kAgentModelsPane,
    kAppearancePane,
    kAudioPane,
    kBluetoothPane,
    kDeviceMeshPane,
    kDisplayPane,
    kMouseKeyboardPane,
    kNetworkPane,
    kNotificationsPane,
    kPersonalAppsPane,
    kPowerPane,
    kPrintersPane,
    kRegionPane,
    kShortcutPane,
    kStoragePane,
    kTimeDatePane,
    kUpdatesPane,
    kUsersPane,
    kAppShell,
    kBadge,
    kButton,
    kCard,
    kColumn,
    kContainer,
    kDropdown,
    kIconWidget,
    kProgressBar,
    kQrWidget,
    kRow,
    kScrollable,
    kShortcutRecorder,
    kSlider,
    kSpacer,
    kSparkline,
    kText,
    kTextInput,
    kToggle,
};

}  // namespace type_names
}  // namespace kalu_ui
