#include "panes/registry.h"

namespace settings::panes {
namespace {

using namespace std::string_view_literals;

struct PaneInfo {
  std::string_view id;
  std::string_view title;
  std::string_view subtitle;
  std::uint8_t icon;
};

// By pane index. Two pairs share an icon (2 and 16; 11 and 17).
constexpr std::array<PaneInfo, kPaneCount> kPanes = {{
    {"network", "Network", "Wi-Fi, wired connections, and VPN", 7},
    {"bluetooth", "Bluetooth", "Pair and manage Bluetooth devices", 8},
    {"devices_sync", "Devices & Sync", "Copies, remote access, and server roles", 71},
    {"sound", "Sound", "Output, input, volume, and system sounds", 89},
    {"displays", "Displays", "Resolution, scale, arrangement, and brightness", 9},
    {"mouse_keyboard", "Mouse & Keyboard", "Typing, spelling, input sources, and pointer behaviour",
     2},
    {"keyboard_shortcuts", "Keyboard Shortcuts", "System and workspace keyboard shortcuts", 3},
    {"time_date", "Time & Date", "Clock, time zone, and how dates display", 85},
    {"users", "Users", "Accounts on this device and their roles", 4},
    {"printers", "Printers", "Printers, queues, and recent jobs", 5},
    {"power", "Power", "Battery, power profile, and automatic suspend", 10},
    {"appearance", "Appearance", "Theme, contrast, motion, and text size", 66},
    {"accessibility", "Accessibility", "Vision, pointer, typing, and hearing assists", 67},
    {"notifications", "Notifications", "Banners, previews, sounds, and Do Not Disturb", 73},
    {"default-apps", "Apps & Files", "Your preferred apps for links and file types", 0},
    {"storage", "Storage", "Apps, data, cache, and synced files", 56},
    {"external_accounts", "External Accounts", "Accounts shared with compatible installed apps",
     71},
    {"agent_models", "Agent Models", "Providers, local models, and the model agents use", 66},
    {"region_formats", "Region & Formats", "Currency, date, time, and measurement units", 6},
    {"permissions", "Device Privacy & Security",
     "This device's privacy and security; workspace access is managed per workspace", 11},
    {"updates", "Updates", "Operating-system and firmware updates", 76},
    {"about", "About", "Device identity and transfer", 70},
}};

constexpr std::array kNetwork = {"wifi"sv,      "wi-fi"sv, "wired"sv,    "ethernet"sv,  "vpn"sv,
                                 "wireguard"sv, "proxy"sv, "internet"sv, "connection"sv};
constexpr std::array kBluetooth = {"pair"sv,     "pairing"sv, "device"sv,  "headphones"sv,
                                   "keyboard"sv, "mouse"sv,   "wireless"sv};
constexpr std::array kDevicesSync = {"sync"sv,
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
constexpr std::array kSound = {"audio"sv,  "volume"sv,       "mute"sv,   "microphone"sv,
                               "mic"sv,    "speaker"sv,      "output"sv, "input"sv,
                               "device"sv, "system sounds"sv};
constexpr std::array kDisplays = {"monitor"sv,    "screen"sv,      "resolution"sv,
                                  "scale"sv,      "brightness"sv,  "night light"sv,
                                  "blue light"sv, "arrangement"sv, "external"sv};
constexpr std::array kMouseKeyboard = {
    "pointer"sv,      "trackpad"sv,    "touchpad"sv,    "scroll"sv, "natural scrolling"sv,
    "tap to click"sv, "key repeat"sv,  "layout"sv,      "cursor"sv, "spell checker"sv,
    "spelling"sv,     "autocorrect"sv, "auto-correct"sv};
constexpr std::array kKeyboardShortcuts = {"shortcuts"sv, "hotkeys"sv,      "keybindings"sv,
                                           "keys"sv,      "combinations"sv, "accelerators"sv,
                                           "workspace"sv};
constexpr std::array kTimeDate = {"clock"sv,   "timezone"sv,       "time zone"sv, "ntp"sv,
                                  "24-hour"sv, "automatic time"sv, "calendar"sv};
constexpr std::array kUsers = {"accounts"sv, "people"sv, "administrator"sv,
                               "admin"sv,    "login"sv,  "roles"sv};
constexpr std::array kPrinters = {"cups"sv, "print"sv, "queue"sv, "job"sv, "paper"sv, "scanner"sv};
constexpr std::array kPower = {"battery"sv,       "charge"sv,      "energy"sv,
                               "power profile"sv, "performance"sv, "power saver"sv,
                               "suspend"sv,       "sleep"sv,       "screen blank"sv};
constexpr std::array kAppearance = {
    "theme"sv,         "dark mode"sv, "light mode"sv, "contrast"sv,  "high contrast"sv,
    "reduce motion"sv, "text size"sv, "font"sv,       "wallpaper"sv, "color"sv};
constexpr std::array kAccessibility = {"a11y"sv,          "accessibility"sv, "universal access"sv,
                                       "screen reader"sv, "orca"sv,          "on-screen keyboard"sv,
                                       "osk"sv,           "cursor size"sv,   "large cursor"sv,
                                       "pointer size"sv,  "sticky keys"sv,   "slow keys"sv,
                                       "visual alerts"sv, "high contrast"sv, "reduce motion"sv,
                                       "text size"sv,     "zoom"sv};
constexpr std::array kNotifications = {
    "notification"sv, "notify"sv, "banner"sv, "alert"sv,       "do not disturb"sv, "dnd"sv,
    "focus"sv,        "quiet"sv,  "sounds"sv, "lock screen"sv, "previews"sv,       "badge"sv};
constexpr std::array kDefaultApps = {"default app"sv, "open with"sv, "file association"sv,
                                     "handler"sv,     "browser"sv,   "mail"sv,
                                     "pdf"sv};
constexpr std::array kStorage = {"disk space"sv, "cache"sv,        "cleanup"sv,
                                 "app data"sv,   "synced files"sv, "backup"sv};
constexpr std::array kExternalAccounts = {"email"sv,    "mail"sv,   "imap"sv,   "smtp"sv,
                                          "calendar"sv, "caldav"sv, "webdav"sv, "nextcloud"sv,
                                          "sync"sv,     "cloud"sv};
constexpr std::array kAgentModels = {"agent"sv,       "ai"sv,          "model"sv,     "models"sv,
                                     "provider"sv,    "openai"sv,      "anthropic"sv, "api key"sv,
                                     "vllm"sv,        "local model"sv, "ollama"sv,    "llm"sv,
                                     "tool calling"sv};
constexpr std::array kRegionFormats = {"locale"sv,      "language"sv,    "currency"sv,
                                       "date format"sv, "time format"sv, "units"sv,
                                       "measurement"sv, "metric"sv,      "imperial"sv};
constexpr std::array kPermissions = {"roles"sv,       "access"sv,        "sandbox"sv,  "grants"sv,
                                     "file access"sv, "collaboration"sv, "security"sv, "privacy"sv,
                                     "encryption"sv,  "secure boot"sv,   "firewall"sv, "camera"sv,
                                     "microphone"sv};
constexpr std::array kUpdates = {"software"sv, "upgrade"sv,  "version"sv, "bootc"sv,
                                 "firmware"sv, "rollback"sv, "release"sv};
constexpr std::array kAbout = {"device"sv,          "identity"sv,         "os"sv,
                               "kernel"sv,          "hostname"sv,         "system"sv,
                               "version"sv,         "fingerprint"sv,      "backup"sv,
                               "portable backup"sv, "encrypted backup"sv, "recovery"sv};

// By pane index.
constexpr std::array<std::span<const std::string_view>, kPaneCount> kKeywords = {kNetwork,
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
                                                                                 kDefaultApps,
                                                                                 kStorage,
                                                                                 kExternalAccounts,
                                                                                 kAgentModels,
                                                                                 kRegionFormats,
                                                                                 kPermissions,
                                                                                 kUpdates,
                                                                                 kAbout};

const PaneInfo* info(PaneIndex pane) { return pane < kPaneCount ? &kPanes[pane] : nullptr; }

}  // namespace

std::string_view pane_id(PaneIndex pane) {
  const PaneInfo* p = info(pane);
  return p ? p->id : std::string_view{};
}

std::string_view pane_title(PaneIndex pane) {
  const PaneInfo* p = info(pane);
  return p ? p->title : std::string_view{};
}

std::string_view pane_subtitle(PaneIndex pane) {
  const PaneInfo* p = info(pane);
  return p ? p->subtitle : std::string_view{};
}

std::uint8_t pane_icon(PaneIndex pane) {
  const PaneInfo* p = info(pane);
  return p ? p->icon : 0;
}

std::span<const std::string_view> pane_keywords(PaneIndex pane) {
  return pane < kPaneCount ? kKeywords[pane] : std::span<const std::string_view>{};
}

std::optional<PaneIndex> pane_by_id(std::string_view id) {
  for (const PaneIndex pane : SIDEBAR_ORDER) {
    if (kPanes[pane].id == id) return pane;
  }
  return std::nullopt;
}

}  // namespace settings::panes
