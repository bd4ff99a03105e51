#pragma once

// The preference sections of the settings document, one plain record per
// group of preferences. A value-initialised record is the section default.

#include <cstdint>
#include <map>
#include <nlohmann/json_fwd.hpp>
#include <optional>
#include <string>
#include <vector>

#include "kalu_ui/result.h"
#include "prefs_store/notification_policy.h"

namespace settings::stored {

using prefs_store::AppNotificationRule;
using prefs_store::FocusSchedule;

enum class PowerAction : std::uint8_t { Suspend, Lock, Ignore };
enum class ColorFilter : std::uint8_t { None, Grayscale, Inverted, GrayscaleInverted };
enum class SwitchKeyPair : std::uint8_t { F6F7, F9F10, Digits12 };
enum class ReaderVoice : std::uint8_t { System, EnglishUs, EnglishGb, German, French, Spanish };

struct AudioPrefs {
  bool event_sounds = true;
  bool chat_join = true;
  bool chat_leave = true;
  std::optional<std::string> output_device;
  std::optional<std::string> input_device;
  float balance = 0.5f;
  bool mono_output = false;

  bool operator==(const AudioPrefs&) const = default;
};

struct DisplayPrefs {
  bool auto_brightness = false;
  bool night_light = false;
  std::uint32_t night_light_temperature = 3700;
  double scale = 1.0;

  bool operator==(const DisplayPrefs&) const = default;
};

struct InputPrefs {
  bool natural_scroll = false;
  std::optional<bool> touchpad_natural_scroll = true;
  std::optional<bool> mouse_natural_scroll = false;
  bool tap_to_click = true;
  double pointer_speed = 0.5;
  std::optional<double> touchpad_pointer_speed;
  std::optional<double> mouse_pointer_speed;
  double key_repeat = 0.5;
  std::optional<std::uint32_t> key_repeat_delay_ms;
  std::optional<std::uint32_t> key_repeat_rate_hz;
  std::string keyboard_layout = "us";
  bool tap_drag = true;
  bool disable_while_typing = true;
  bool middle_emulation = true;
  bool left_handed = false;
  std::string accel_profile = "adaptive";
  bool touchpad_gestures = true;
  std::optional<std::string> compose_key;
  std::vector<std::string> keyboard_layouts{"us"};
  std::optional<std::string> pen_output;

  bool operator==(const InputPrefs&) const = default;
};

struct PowerPrefs {
  bool auto_suspend = true;
  std::uint32_t suspend_minutes = 15;
  std::uint32_t saver_suspend_minutes = 10;
  std::uint32_t balanced_suspend_minutes = 15;
  std::uint32_t performance_suspend_minutes = 30;
  std::uint32_t blank_minutes = 10;
  std::uint32_t lock_minutes = 5;
  PowerAction lid_close_action = PowerAction::Suspend;
  PowerAction power_key_action = PowerAction::Suspend;
  std::uint32_t low_battery_percent = 15;
  std::uint32_t critical_battery_percent = 5;
  PowerAction critical_action = PowerAction::Suspend;

  bool operator==(const PowerPrefs&) const = default;
};

struct UpdatePrefs {
  bool auto_ = true;  // stored as "auto"
  std::string channel = "Stable";
  std::string last_checked = "Never";

  bool operator==(const UpdatePrefs&) const = default;
};

struct AppearancePrefs {
  std::string theme = "Dark";
  bool high_contrast = false;
  bool reduce_motion = false;
  double text_scale = 1.0;
  double ui_scale = 1.0;

  bool operator==(const AppearancePrefs&) const = default;
};

struct NotificationPrefs {
  bool do_not_disturb = false;
  bool show_banners = true;
  bool show_previews = true;
  bool play_sounds = true;
  bool show_on_lock_screen = false;
  bool show_badges = true;
  FocusSchedule focus;
  // Keyed by application id; written in ascending byte order.
  std::map<std::string, AppNotificationRule> per_app;

  bool operator==(const NotificationPrefs&) const = default;
};

struct AccessibilityPrefs {
  bool large_cursor = false;
  std::uint32_t cursor_size = 24;
  bool screen_reader = false;
  bool on_screen_keyboard = false;
  bool sticky_keys = false;
  bool slow_keys = false;
  bool visual_alerts = false;
  ColorFilter color_filter = ColorFilter::None;
  std::uint8_t magnifier_zoom = 1;
  bool cursor_crosshair = false;
  bool thick_text_caret = false;
  bool switch_control = false;
  SwitchKeyPair switch_key_pair = SwitchKeyPair::F6F7;
  std::uint16_t switch_scan_ms = 0;
  std::uint16_t screen_reader_rate = 100;
  ReaderVoice screen_reader_voice = ReaderVoice::System;

  bool operator==(const AccessibilityPrefs&) const = default;
};

// Reading a section from its stored JSON text or value (object or array form;
// keys it does not define are skipped, a member it leaves out takes its
// default, a repeated key fails) and writing its
// JSON form (every field, in the stored order). The error says what failed.
template <typename Section>
kalu_ui::Result<Section> read_section_text(std::string_view text);
template <typename Section>
kalu_ui::Result<Section> read_section(const nlohmann::ordered_json& value);
template <typename Section>
nlohmann::ordered_json write_section(const Section& section);

// The stored names of the enumerations ("suspend", "grayscale", "f6_f7",
// "english_us" ...).
std::string_view stored_name(PowerAction value);
std::string_view stored_name(ColorFilter value);
std::string_view stored_name(SwitchKeyPair value);
std::string_view stored_name(ReaderVoice value);

}  // namespace settings::stored
