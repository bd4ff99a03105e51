#pragma once

// The pane registry: the fixed, compiled-in table of the application's 22
// panes, one row per pane in the order of Pane (the pane, id, title,
// subtitle, icon, group, place in the sidebar, search keywords, the type
// name its widget answers). Every part of the program that names a pane
// names it by Pane and reads it here; SIDEBAR_ORDER and the sidebar's group
// table are read off the rows. Data only: it includes no pane, so any room of
// the program may include it.
// Tables elsewhere that hold a row per pane (the constructors of the pane
// table, the resource tree's sections) check theirs against Pane where they
// are compiled.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "kalu_ui/icon.h"

namespace settings::panes {

// The panes. The value, 0 to 21, is the pane's row in kPaneRows and what
// the selection cell carries; it is not the display order.
enum class Pane : std::uint8_t {
  kNetwork,
  kBluetooth,
  kDevicesSync,
  kSound,
  kDisplays,
  kMouseKeyboard,
  kKeyboardShortcuts,
  kTimeDate,
  kUsers,
  kPrinters,
  kPower,
  kAppearance,
  kAccessibility,
  kNotifications,
  kAppsFiles,
  kStorage,
  kExternalAccounts,
  kAgentModels,
  kRegionFormats,
  kPrivacySecurity,
  kUpdates,
  kAbout,
};

inline constexpr std::size_t kPaneCount = 22;

// The pane's row in kPaneRows (and in every table kept by pane).
constexpr std::size_t index_of(Pane pane) { return static_cast<std::size_t>(pane); }
// The pane of row `index`; none past the table (a value from outside).
constexpr std::optional<Pane> pane_at(std::size_t index) {
  if (index >= kPaneCount) return std::nullopt;
  return static_cast<Pane>(index);
}

// The sidebar's groups, in the order they are shown.
namespace group {
inline constexpr std::uint8_t kConnectivity = 0;
inline constexpr std::uint8_t kDevices = 1;
inline constexpr std::uint8_t kSystem = 2;
inline constexpr std::uint8_t kAccountsPermissions = 3;
inline constexpr std::uint8_t kMaintenance = 4;
}  // namespace group

struct PaneRow {
  Pane pane;
  std::string_view id;  // "settings.section:" + id names its section resource
  std::string_view title;
  std::string_view subtitle;
  std::uint8_t icon;           // an id of the toolkit's icon set
  std::uint8_t group;          // one of group::
  std::uint8_t sidebar_place;  // 1 to 22, the pane's place in the sidebar
  // Lower-case words and phrases, in stored order, duplicates across panes kept.
  std::span<const std::string_view> keywords;
  // The full name the pane's widget answers from type_name (its kTypeName
  // reads it here); none for a plain page, which has no widget of its own.
  std::string_view type_name = {};
};

namespace keywords {
using namespace std::string_view_literals;
inline constexpr std::array kNetwork = {"wifi"sv,     "wi-fi"sv,    "wired"sv,
                                        "ethernet"sv, "vpn"sv,      "wireguard"sv,
                                        "proxy"sv,    "internet"sv, "connection"sv};
inline constexpr std::array kBluetooth = {"pair"sv,     "pairing"sv, "device"sv,  "headphones"sv,
                                          "keyboard"sv, "mouse"sv,   "wireless"sv};
inline constexpr std::array kDevicesSync = {"sync"sv,
                                            "continuity"sv,
                                            "devices"sv,
                                            "server"sv,
                                            "host"sv,
                                            "remote control"sv,
                                            "relay"sv,
                                            "copies"sv,
                                            "files"sv,
                                            "clipboard"sv,
                                            "file transfer"sv,
                                            "realtime sessions"sv,
                                            "wi-fi settings"sv,
                                            "media handoff"sv,
                                            "display extension"sv,
                                            "notification mirroring"sv,
                                            "gamepad"sv,
                                            "typed gamepad"sv,
                                            "handoff"sv,
                                            "privacy"sv};
inline constexpr std::array kSound = {"audio"sv,  "volume"sv,       "mute"sv,   "microphone"sv,
                                      "mic"sv,    "speaker"sv,      "output"sv, "input"sv,
                                      "device"sv, "system sounds"sv};
inline constexpr std::array kDisplays = {"monitor"sv,    "screen"sv,      "resolution"sv,
                                         "scale"sv,      "brightness"sv,  "night light"sv,
                                         "blue light"sv, "arrangement"sv, "external"sv};
inline constexpr std::array kMouseKeyboard = {
    "pointer"sv,      "trackpad"sv,    "touchpad"sv,    "scroll"sv, "natural scrolling"sv,
    "tap to click"sv, "key repeat"sv,  "layout"sv,      "cursor"sv, "spell checker"sv,
    "spelling"sv,     "autocorrect"sv, "auto-correct"sv};
inline constexpr std::array kKeyboardShortcuts = {"shortcuts"sv, "hotkeys"sv,      "keybindings"sv,
                                                  "keys"sv,      "combinations"sv, "accelerators"sv,
                                                  "workspace"sv};
inline constexpr std::array kTimeDate = {"clock"sv,   "timezone"sv,       "time zone"sv, "ntp"sv,
                                         "24-hour"sv, "automatic time"sv, "calendar"sv};
inline constexpr std::array kUsers = {"accounts"sv, "people"sv, "administrator"sv,
                                      "admin"sv,    "login"sv,  "roles"sv};
inline constexpr std::array kPrinters = {"cups"sv, "print"sv, "queue"sv,
                                         "job"sv,  "paper"sv, "scanner"sv};
inline constexpr std::array kPower = {"battery"sv,       "charge"sv,      "energy"sv,
                                      "power profile"sv, "performance"sv, "power saver"sv,
                                      "suspend"sv,       "sleep"sv,       "screen blank"sv};
inline constexpr std::array kAppearance = {
    "theme"sv,         "dark mode"sv, "light mode"sv, "contrast"sv,  "high contrast"sv,
    "reduce motion"sv, "text size"sv, "font"sv,       "wallpaper"sv, "color"sv};
inline constexpr std::array kAccessibility = {
    "a11y"sv,          "accessibility"sv, "universal access"sv,
    "screen reader"sv, "orca"sv,          "on-screen keyboard"sv,
    "osk"sv,           "cursor size"sv,   "large cursor"sv,
    "pointer size"sv,  "sticky keys"sv,   "slow keys"sv,
    "visual alerts"sv, "high contrast"sv, "reduce motion"sv,
    "text size"sv,     "zoom"sv};
inline constexpr std::array kNotifications = {
    "notification"sv, "notify"sv, "banner"sv, "alert"sv,       "do not disturb"sv, "dnd"sv,
    "focus"sv,        "quiet"sv,  "sounds"sv, "lock screen"sv, "previews"sv,       "badge"sv};
inline constexpr std::array kDefaultApps = {"default app"sv, "open with"sv, "file association"sv,
                                            "handler"sv,     "browser"sv,   "mail"sv,
                                            "pdf"sv};
inline constexpr std::array kStorage = {"disk space"sv, "cache"sv,        "cleanup"sv,
                                        "app data"sv,   "synced files"sv, "backup"sv};
inline constexpr std::array kExternalAccounts = {
    "email"sv,  "mail"sv,   "imap"sv,      "smtp"sv, "calendar"sv,
    "caldav"sv, "webdav"sv, "nextcloud"sv, "sync"sv, "cloud"sv};
inline constexpr std::array kAgentModels = {
    "agent"sv,  "ai"sv,        "model"sv,       "models"sv, "provider"sv,
    "openai"sv, "anthropic"sv, "api key"sv,     "vllm"sv,   "local model"sv,
    "ollama"sv, "llm"sv,       "tool calling"sv};
inline constexpr std::array kRegionFormats = {"locale"sv,      "language"sv,    "currency"sv,
                                              "date format"sv, "time format"sv, "units"sv,
                                              "measurement"sv, "metric"sv,      "imperial"sv};
inline constexpr std::array kPermissions = {
    "roles"sv,         "access"sv,   "sandbox"sv,   "grants"sv,     "file access"sv,
    "collaboration"sv, "security"sv, "privacy"sv,   "encryption"sv, "secure boot"sv,
    "firewall"sv,      "camera"sv,   "microphone"sv};
inline constexpr std::array kUpdates = {"software"sv, "upgrade"sv,  "version"sv, "bootc"sv,
                                        "firmware"sv, "rollback"sv, "release"sv};
inline constexpr std::array kAbout = {"device"sv,          "identity"sv,         "os"sv,
                                      "kernel"sv,          "hostname"sv,         "system"sv,
                                      "version"sv,         "fingerprint"sv,      "backup"sv,
                                      "portable backup"sv, "encrypted backup"sv, "recovery"sv};
}  // namespace keywords

// In the order of Pane. Two pairs share an icon (Devices & Sync and External
// Accounts; Appearance and Agent Models).
inline constexpr std::array<PaneRow, kPaneCount> kPaneRows = {{
    {Pane::kNetwork, "network", "Network", "Wi-Fi, wired connections, and VPN",
     kalu_ui::icon::kNetwork, group::kConnectivity, 1, keywords::kNetwork,
     "settings::panes::network::NetworkPane"},
    {Pane::kBluetooth, "bluetooth", "Bluetooth", "Pair and manage Bluetooth devices",
     kalu_ui::icon::kBluetooth, group::kConnectivity, 2, keywords::kBluetooth,
     "settings::panes::bluetooth::BluetoothPane"},
    {Pane::kDevicesSync, "devices_sync", "Devices & Sync",
     "Copies, remote access, and server roles", kalu_ui::icon::kSync, group::kDevices, 3,
     keywords::kDevicesSync, "settings::panes::device_mesh::DeviceMeshPane"},
    {Pane::kSound, "sound", "Sound", "Output, input, volume, and system sounds",
     kalu_ui::icon::kSpeaker, group::kDevices, 4, keywords::kSound,
     "settings::panes::audio::AudioPane"},
    {Pane::kDisplays, "displays", "Displays", "Resolution, scale, arrangement, and brightness",
     kalu_ui::icon::kDisplay, group::kDevices, 5, keywords::kDisplays,
     "settings::panes::display::DisplayPane"},
    {Pane::kMouseKeyboard, "mouse_keyboard", "Mouse & Keyboard",
     "Typing, spelling, input sources, and pointer behaviour", kalu_ui::icon::kKeyboard,
     group::kDevices, 6, keywords::kMouseKeyboard,
     "settings::panes::mouse_keyboard::MouseKeyboardPane"},
    {Pane::kKeyboardShortcuts, "keyboard_shortcuts", "Keyboard Shortcuts",
     "System and workspace keyboard shortcuts", kalu_ui::icon::kShortcuts, group::kDevices, 7,
     keywords::kKeyboardShortcuts, "settings::panes::keyboard_shortcuts::ShortcutPane"},
    {Pane::kTimeDate, "time_date", "Time & Date", "Clock, time zone, and how dates display",
     kalu_ui::icon::kClock, group::kSystem, 15, keywords::kTimeDate,
     "settings::panes::time_date::TimeDatePane"},
    {Pane::kUsers, "users", "Users", "Accounts on this device and their roles",
     kalu_ui::icon::kUsers, group::kSystem, 16, keywords::kUsers,
     "settings::panes::users::UsersPane"},
    {Pane::kPrinters, "printers", "Printers", "Printers, queues, and recent jobs",
     kalu_ui::icon::kPrinter, group::kDevices, 8, keywords::kPrinters,
     "settings::panes::printers::PrintersPane"},
    {Pane::kPower, "power", "Power", "Battery, power profile, and automatic suspend",
     kalu_ui::icon::kPower, group::kSystem, 14, keywords::kPower,
     "settings::panes::power::PowerPane"},
    {Pane::kAppearance, "appearance", "Appearance", "Theme, contrast, motion, and text size",
     kalu_ui::icon::kContrast, group::kSystem, 9, keywords::kAppearance,
     "settings::panes::appearance::AppearancePane"},
    {Pane::kAccessibility, "accessibility", "Accessibility",
     "Vision, pointer, typing, and hearing assists", kalu_ui::icon::kAccessibility, group::kSystem,
     10, keywords::kAccessibility, "settings::panes::accessibility::AccessibilityPane"},
    {Pane::kNotifications, "notifications", "Notifications",
     "Banners, previews, sounds, and Do Not Disturb", kalu_ui::icon::kBell, group::kSystem, 11,
     keywords::kNotifications, "settings::panes::notifications::NotificationsPane"},
    {Pane::kAppsFiles, "default-apps", "Apps & Files",
     "Your preferred apps for links and file types", kalu_ui::icon::kAppsFiles, group::kSystem, 12,
     keywords::kDefaultApps, "settings::panes::personal_apps::PersonalAppsPane"},
    {Pane::kStorage, "storage", "Storage", "Apps, data, cache, and synced files",
     kalu_ui::icon::kStorage, group::kSystem, 13, keywords::kStorage,
     "settings::panes::storage::StoragePane"},
    {Pane::kExternalAccounts, "external_accounts", "External Accounts",
     "Accounts shared with compatible installed apps", kalu_ui::icon::kSync,
     group::kAccountsPermissions, 18, keywords::kExternalAccounts,
     "settings::panes::accounts::AccountsPane"},
    {Pane::kAgentModels, "agent_models", "Agent Models",
     "Providers, local models, and the model agents use", kalu_ui::icon::kContrast,
     group::kAccountsPermissions, 19, keywords::kAgentModels,
     "settings::panes::agent_models::AgentModelsPane"},
    {Pane::kRegionFormats, "region_formats", "Region & Formats",
     "Currency, date, time, and measurement units", kalu_ui::icon::kGlobe, group::kSystem, 17,
     keywords::kRegionFormats, "settings::panes::region::RegionPane"},
    {Pane::kPrivacySecurity, "permissions", "Device Privacy & Security",
     "This device's privacy and security; workspace access is managed per workspace",
     kalu_ui::icon::kShield, group::kAccountsPermissions, 20, keywords::kPermissions},
    {Pane::kUpdates, "updates", "Updates", "Operating-system and firmware updates",
     kalu_ui::icon::kUpdates, group::kMaintenance, 21, keywords::kUpdates,
     "settings::panes::updates::UpdatesPane"},
    {Pane::kAbout, "about", "About", "Device identity and transfer", kalu_ui::icon::kInfo,
     group::kMaintenance, 22, keywords::kAbout},
}};

// Whether `rows` holds one row per pane in the order of Pane, each row's
// pane read by `pane_of`: how a table every pane needs a row of checks itself.
template <typename Row, std::size_t N, typename PaneOf>
constexpr bool one_row_per_pane_in_order(const std::array<Row, N>& rows, PaneOf pane_of) {
  if (N != kPaneCount) return false;
  for (std::size_t i = 0; i < N; ++i) {
    if (index_of(pane_of(rows[i])) != i) return false;
  }
  return true;
}

// Whether `rows` holds at most one row per pane, in the order of Pane: how a
// table only some panes have a row of checks itself.
template <typename Row, std::size_t N, typename PaneOf>
constexpr bool rows_in_pane_order(const std::array<Row, N>& rows, PaneOf pane_of) {
  for (std::size_t i = 1; i < N; ++i) {
    if (index_of(pane_of(rows[i - 1])) >= index_of(pane_of(rows[i]))) return false;
  }
  return true;
}
static_assert(one_row_per_pane_in_order(kPaneRows, [](const PaneRow& row) { return row.pane; }));

// The row of `pane`.
constexpr const PaneRow& pane_row(Pane pane) { return kPaneRows[index_of(pane)]; }

namespace detail {
constexpr std::array<Pane, kPaneCount> sidebar_order() {
  std::array<Pane, kPaneCount> order{};
  for (const PaneRow& row : kPaneRows) order[row.sidebar_place - 1] = row.pane;
  return order;
}
}  // namespace detail

// The order in which the sidebar, search and resource tree list the panes; it
// runs group by group.
inline constexpr std::array<Pane, kPaneCount> SIDEBAR_ORDER = detail::sidebar_order();

// The group of each pane, by its row.
constexpr std::array<std::uint8_t, kPaneCount> group_column() {
  std::array<std::uint8_t, kPaneCount> groups{};
  for (std::size_t pane = 0; pane < kPaneCount; ++pane) groups[pane] = kPaneRows[pane].group;
  return groups;
}

// Texts live for the whole program.
std::string_view pane_id(Pane pane);
std::string_view pane_title(Pane pane);
std::string_view pane_subtitle(Pane pane);
std::uint8_t pane_icon(Pane pane);
std::span<const std::string_view> pane_keywords(Pane pane);

// The first pane in sidebar order whose id equals `id` byte for byte.
std::optional<Pane> pane_by_id(std::string_view id);

}  // namespace settings::panes
