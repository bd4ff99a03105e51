#include "stored/sections.h"

#include <nlohmann/json.hpp>

#include "codec/codec.h"
#include "codec/tree.h"

// The stored forms of the sections, read and written by the strict record
// codec. Field order is the stored order. Every member may be left out and
// then takes its default, so a section written by hand or by an older program
// keeps every member it holds.
namespace prefs_store {

namespace codec = settings::codec;

constexpr auto describe(codec::Tag<FocusSchedule>) {
  using T = FocusSchedule;
  return codec::record("FocusSchedule", codec::field_or_default("enabled", &T::enabled),
                       codec::field_or_default("start_minute", &T::start_minute),
                       codec::field_or_default("end_minute", &T::end_minute),
                       codec::field_or_default("weekdays", &T::weekdays),
                       codec::field_or_default("allow_priority", &T::allow_priority));
}

constexpr auto describe(codec::Tag<AppNotificationRule>) {
  using T = AppNotificationRule;
  return codec::record("AppNotificationRule", codec::field_or_default("banners", &T::banners),
                       codec::field_or_default("sounds", &T::sounds),
                       codec::field_or_default("badges", &T::badges),
                       codec::field_or_default("previews", &T::previews),
                       codec::field_or_default("lock_screen", &T::lock_screen),
                       codec::field_or_default("cross_device", &T::cross_device),
                       codec::field_or_default("priority", &T::priority),
                       codec::field_or_default("priority_contacts", &T::priority_contacts),
                       codec::field_or_default("muted_until", &T::muted_until));
}

}  // namespace prefs_store

namespace settings::stored {

constexpr auto describe(codec::Tag<PowerAction>) {
  return codec::names<PowerAction>("PowerAction", "suspend", "lock", "ignore");
}
constexpr auto describe(codec::Tag<ColorFilter>) {
  return codec::names<ColorFilter>("ColorFilter", "none", "grayscale", "inverted",
                                   "grayscale_inverted");
}
constexpr auto describe(codec::Tag<SwitchKeyPair>) {
  return codec::names<SwitchKeyPair>("SwitchKeyPair", "f6_f7", "f9_f10", "digits12");
}
constexpr auto describe(codec::Tag<ReaderVoice>) {
  return codec::names<ReaderVoice>("ReaderVoice", "system", "english_us", "english_gb", "german",
                                   "french", "spanish");
}

constexpr auto describe(codec::Tag<AudioPrefs>) {
  using T = AudioPrefs;
  return codec::record("AudioPrefs", codec::field_or_default("event_sounds", &T::event_sounds),
                       codec::field_or_default("chat_join", &T::chat_join),
                       codec::field_or_default("chat_leave", &T::chat_leave),
                       codec::field_or_default("output_device", &T::output_device),
                       codec::field_or_default("input_device", &T::input_device),
                       codec::field_or_default("balance", &T::balance),
                       codec::field_or_default("mono_output", &T::mono_output));
}

constexpr auto describe(codec::Tag<DisplayPrefs>) {
  using T = DisplayPrefs;
  return codec::record(
      "DisplayPrefs", codec::field_or_default("auto_brightness", &T::auto_brightness),
      codec::field_or_default("night_light", &T::night_light),
      codec::field_or_default("night_light_temperature", &T::night_light_temperature),
      codec::field_or_default("scale", &T::scale));
}

constexpr auto describe(codec::Tag<InputPrefs>) {
  using T = InputPrefs;
  return codec::record(
      "InputPrefs", codec::field_or_default("natural_scroll", &T::natural_scroll),
      codec::field_or_default("touchpad_natural_scroll", &T::touchpad_natural_scroll),
      codec::field_or_default("mouse_natural_scroll", &T::mouse_natural_scroll),
      codec::field_or_default("tap_to_click", &T::tap_to_click),
      codec::field_or_default("pointer_speed", &T::pointer_speed),
      codec::field_or_default("touchpad_pointer_speed", &T::touchpad_pointer_speed),
      codec::field_or_default("mouse_pointer_speed", &T::mouse_pointer_speed),
      codec::field_or_default("key_repeat", &T::key_repeat),
      codec::field_or_default("key_repeat_delay_ms", &T::key_repeat_delay_ms),
      codec::field_or_default("key_repeat_rate_hz", &T::key_repeat_rate_hz),
      codec::field_or_default("keyboard_layout", &T::keyboard_layout),
      codec::field_or_default("tap_drag", &T::tap_drag),
      codec::field_or_default("disable_while_typing", &T::disable_while_typing),
      codec::field_or_default("middle_emulation", &T::middle_emulation),
      codec::field_or_default("left_handed", &T::left_handed),
      codec::field_or_default("accel_profile", &T::accel_profile),
      codec::field_or_default("touchpad_gestures", &T::touchpad_gestures),
      codec::field_or_default("compose_key", &T::compose_key),
      codec::field_or_default("keyboard_layouts", &T::keyboard_layouts),
      codec::field_or_default("pen_output", &T::pen_output));
}

constexpr auto describe(codec::Tag<PowerPrefs>) {
  using T = PowerPrefs;
  return codec::record(
      "PowerPrefs", codec::field_or_default("auto_suspend", &T::auto_suspend),
      codec::field_or_default("suspend_minutes", &T::suspend_minutes),
      codec::field_or_default("saver_suspend_minutes", &T::saver_suspend_minutes),
      codec::field_or_default("balanced_suspend_minutes", &T::balanced_suspend_minutes),
      codec::field_or_default("performance_suspend_minutes", &T::performance_suspend_minutes),
      codec::field_or_default("blank_minutes", &T::blank_minutes),
      codec::field_or_default("lock_minutes", &T::lock_minutes),
      codec::field_or_default("lid_close_action", &T::lid_close_action),
      codec::field_or_default("power_key_action", &T::power_key_action),
      codec::field_or_default("low_battery_percent", &T::low_battery_percent),
      codec::field_or_default("critical_battery_percent", &T::critical_battery_percent),
      codec::field_or_default("critical_action", &T::critical_action));
}

constexpr auto describe(codec::Tag<UpdatePrefs>) {
  using T = UpdatePrefs;
  return codec::record("UpdatePrefs", codec::field_or_default("auto", &T::auto_),
                       codec::field_or_default("channel", &T::channel),
                       codec::field_or_default("last_checked", &T::last_checked));
}

constexpr auto describe(codec::Tag<AppearancePrefs>) {
  using T = AppearancePrefs;
  return codec::record("AppearancePrefs", codec::field_or_default("theme", &T::theme),
                       codec::field_or_default("high_contrast", &T::high_contrast),
                       codec::field_or_default("reduce_motion", &T::reduce_motion),
                       codec::field_or_default("text_scale", &T::text_scale),
                       codec::field_or_default("ui_scale", &T::ui_scale));
}

constexpr auto describe(codec::Tag<NotificationPrefs>) {
  using T = NotificationPrefs;
  return codec::record(
      "NotificationPrefs", codec::field_or_default("do_not_disturb", &T::do_not_disturb),
      codec::field_or_default("show_banners", &T::show_banners),
      codec::field_or_default("show_previews", &T::show_previews),
      codec::field_or_default("play_sounds", &T::play_sounds),
      codec::field_or_default("show_on_lock_screen", &T::show_on_lock_screen),
      codec::field_or_default("show_badges", &T::show_badges),
      codec::field_or_default("focus", &T::focus), codec::field_or_default("per_app", &T::per_app));
}

constexpr auto describe(codec::Tag<AccessibilityPrefs>) {
  using T = AccessibilityPrefs;
  return codec::record("AccessibilityPrefs",
                       codec::field_or_default("large_cursor", &T::large_cursor),
                       codec::field_or_default("cursor_size", &T::cursor_size),
                       codec::field_or_default("screen_reader", &T::screen_reader),
                       codec::field_or_default("on_screen_keyboard", &T::on_screen_keyboard),
                       codec::field_or_default("sticky_keys", &T::sticky_keys),
                       codec::field_or_default("slow_keys", &T::slow_keys),
                       codec::field_or_default("visual_alerts", &T::visual_alerts),
                       codec::field_or_default("color_filter", &T::color_filter),
                       codec::field_or_default("magnifier_zoom", &T::magnifier_zoom),
                       codec::field_or_default("cursor_crosshair", &T::cursor_crosshair),
                       codec::field_or_default("thick_text_caret", &T::thick_text_caret),
                       codec::field_or_default("switch_control", &T::switch_control),
                       codec::field_or_default("switch_key_pair", &T::switch_key_pair),
                       codec::field_or_default("switch_scan_ms", &T::switch_scan_ms),
                       codec::field_or_default("screen_reader_rate", &T::screen_reader_rate),
                       codec::field_or_default("screen_reader_voice", &T::screen_reader_voice));
}

template <typename Section>
kalu_ui::Result<Section> read_section_text(std::string_view text) {
  return codec::from_json<Section>(text);
}

template <typename Section>
kalu_ui::Result<Section> read_section(const nlohmann::ordered_json& value) {
  return codec::from_json<Section>(value.dump());
}

template <typename Section>
nlohmann::ordered_json write_section(const Section& section) {
  return codec::to_tree(section);
}

#define KALU_SECTION(T)                                                             \
  template kalu_ui::Result<T> read_section_text<T>(std::string_view text);          \
  template kalu_ui::Result<T> read_section<T>(const nlohmann::ordered_json& value); \
  template nlohmann::ordered_json write_section<T>(const T& section);
KALU_SECTION(AudioPrefs)
KALU_SECTION(DisplayPrefs)
KALU_SECTION(InputPrefs)
KALU_SECTION(PowerPrefs)
KALU_SECTION(UpdatePrefs)
KALU_SECTION(AppearancePrefs)
KALU_SECTION(NotificationPrefs)
KALU_SECTION(AccessibilityPrefs)
#undef KALU_SECTION

template <typename E>
std::string_view enum_name(E value) {
  return describe(codec::Tag<E>{}).names[static_cast<std::size_t>(value)];
}
std::string_view stored_name(PowerAction value) { return enum_name(value); }
std::string_view stored_name(ColorFilter value) { return enum_name(value); }
std::string_view stored_name(SwitchKeyPair value) { return enum_name(value); }
std::string_view stored_name(ReaderVoice value) { return enum_name(value); }

}  // namespace settings::stored
