#include "stored/sections.h"

#include "stored/record_json.h"

namespace settings::stored::record {

using stored::AccessibilityPrefs;
using stored::AppearancePrefs;
using stored::AudioPrefs;
using stored::DisplayPrefs;
using stored::InputPrefs;
using stored::NotificationPrefs;
using stored::PowerPrefs;
using stored::UpdatePrefs;

template <>
struct EnumNames<stored::PowerAction> {
  static constexpr std::string_view names[] = {"suspend", "lock", "ignore"};
};
template <>
struct EnumNames<stored::ColorFilter> {
  static constexpr std::string_view names[] = {"none", "grayscale", "inverted",
                                               "grayscale_inverted"};
};
template <>
struct EnumNames<stored::SwitchKeyPair> {
  static constexpr std::string_view names[] = {"f6_f7", "f9_f10", "digits12"};
};
template <>
struct EnumNames<stored::ReaderVoice> {
  static constexpr std::string_view names[] = {"system", "english_us", "english_gb",
                                               "german", "french",     "spanish"};
};

// Each record lists its fields once, in stored order, with the member they
// fill and whether a stored record must contain it; reading and writing both
// walk that list.
#define KALU_FIELD(name, req) f(#name, v.name, req)

template <typename T, typename Visit>
struct SectionCodec {
  static std::span<const std::string_view> names() {
    static const std::vector<std::string_view> list = [] {
      std::vector<std::string_view> out;
      T probe{};
      Visit::visit(probe, [&](std::string_view name, auto&, bool) { out.push_back(name); });
      return out;
    }();
    return list;
  }
  static Status read(const Json& value, T& out) {
    T record{};
    FieldReader reader(value, names(), UnknownKeys::kSkip);
    Visit::visit(record, [&](std::string_view name, auto& member, bool required) {
      if (required) {
        reader.required(name, member);
      } else {
        reader.optional(name, member);
      }
    });
    if (!reader.status()) return reader.status();
    out = std::move(record);
    return {};
  }
  static Json write(const T& value) {
    Json out = Json::object();
    Visit::visit(value, [&](std::string_view name, auto& member, bool) {
      out[std::string(name)] = encode(member);
    });
    return out;
  }
};

constexpr bool kRequired = true;
constexpr bool kOptional = false;

struct AudioFields {
  template <typename R, typename F>
  static void visit(R& v, F&& f) {
    KALU_FIELD(event_sounds, kRequired);
    KALU_FIELD(chat_join, kRequired);
    KALU_FIELD(chat_leave, kRequired);
    KALU_FIELD(output_device, kOptional);
    KALU_FIELD(input_device, kOptional);
    KALU_FIELD(balance, kOptional);
    KALU_FIELD(mono_output, kOptional);
  }
};

struct DisplayFields {
  template <typename R, typename F>
  static void visit(R& v, F&& f) {
    KALU_FIELD(auto_brightness, kRequired);
    KALU_FIELD(night_light, kRequired);
    KALU_FIELD(night_light_temperature, kOptional);
    KALU_FIELD(scale, kOptional);
  }
};

struct InputFields {
  template <typename R, typename F>
  static void visit(R& v, F&& f) {
    KALU_FIELD(natural_scroll, kOptional);
    KALU_FIELD(touchpad_natural_scroll, kOptional);
    KALU_FIELD(mouse_natural_scroll, kOptional);
    KALU_FIELD(tap_to_click, kOptional);
    KALU_FIELD(pointer_speed, kOptional);
    KALU_FIELD(touchpad_pointer_speed, kOptional);
    KALU_FIELD(mouse_pointer_speed, kOptional);
    KALU_FIELD(key_repeat, kOptional);
    KALU_FIELD(key_repeat_delay_ms, kOptional);
    KALU_FIELD(key_repeat_rate_hz, kOptional);
    KALU_FIELD(keyboard_layout, kOptional);
    KALU_FIELD(tap_drag, kOptional);
    KALU_FIELD(disable_while_typing, kOptional);
    KALU_FIELD(middle_emulation, kOptional);
    KALU_FIELD(left_handed, kOptional);
    KALU_FIELD(accel_profile, kOptional);
    KALU_FIELD(touchpad_gestures, kOptional);
    KALU_FIELD(compose_key, kOptional);
    KALU_FIELD(keyboard_layouts, kOptional);
    KALU_FIELD(pen_output, kOptional);
  }
};

struct PowerFields {
  template <typename R, typename F>
  static void visit(R& v, F&& f) {
    KALU_FIELD(auto_suspend, kRequired);
    KALU_FIELD(suspend_minutes, kOptional);
    KALU_FIELD(saver_suspend_minutes, kOptional);
    KALU_FIELD(balanced_suspend_minutes, kOptional);
    KALU_FIELD(performance_suspend_minutes, kOptional);
    KALU_FIELD(blank_minutes, kRequired);
    KALU_FIELD(lock_minutes, kOptional);
    KALU_FIELD(lid_close_action, kOptional);
    KALU_FIELD(power_key_action, kOptional);
    KALU_FIELD(low_battery_percent, kOptional);
    KALU_FIELD(critical_battery_percent, kOptional);
    KALU_FIELD(critical_action, kOptional);
  }
};

struct UpdateFields {
  template <typename R, typename F>
  static void visit(R& v, F&& f) {
    f("auto", v.auto_, kRequired);
    KALU_FIELD(channel, kRequired);
    KALU_FIELD(last_checked, kRequired);
  }
};

struct AppearanceFields {
  template <typename R, typename F>
  static void visit(R& v, F&& f) {
    KALU_FIELD(theme, kRequired);
    KALU_FIELD(high_contrast, kRequired);
    KALU_FIELD(reduce_motion, kRequired);
    KALU_FIELD(text_scale, kRequired);
    KALU_FIELD(ui_scale, kOptional);
  }
};

struct FocusFields {
  template <typename R, typename F>
  static void visit(R& v, F&& f) {
    KALU_FIELD(enabled, kOptional);
    KALU_FIELD(start_minute, kOptional);
    KALU_FIELD(end_minute, kOptional);
    KALU_FIELD(weekdays, kOptional);
    KALU_FIELD(allow_priority, kOptional);
  }
};

struct AppRuleFields {
  template <typename R, typename F>
  static void visit(R& v, F&& f) {
    KALU_FIELD(banners, kOptional);
    KALU_FIELD(sounds, kOptional);
    KALU_FIELD(badges, kOptional);
    KALU_FIELD(previews, kOptional);
    KALU_FIELD(lock_screen, kOptional);
    KALU_FIELD(cross_device, kOptional);
    KALU_FIELD(priority, kOptional);
    KALU_FIELD(priority_contacts, kOptional);
    KALU_FIELD(muted_until, kOptional);
  }
};

struct NotificationFields {
  template <typename R, typename F>
  static void visit(R& v, F&& f) {
    KALU_FIELD(do_not_disturb, kOptional);
    KALU_FIELD(show_banners, kOptional);
    KALU_FIELD(show_previews, kOptional);
    KALU_FIELD(play_sounds, kOptional);
    KALU_FIELD(show_on_lock_screen, kOptional);
    KALU_FIELD(show_badges, kOptional);
    KALU_FIELD(focus, kOptional);
    KALU_FIELD(per_app, kOptional);
  }
};

struct AccessibilityFields {
  template <typename R, typename F>
  static void visit(R& v, F&& f) {
    KALU_FIELD(large_cursor, kOptional);
    KALU_FIELD(cursor_size, kOptional);
    KALU_FIELD(screen_reader, kOptional);
    KALU_FIELD(on_screen_keyboard, kOptional);
    KALU_FIELD(sticky_keys, kOptional);
    KALU_FIELD(slow_keys, kOptional);
    KALU_FIELD(visual_alerts, kOptional);
    KALU_FIELD(color_filter, kOptional);
    KALU_FIELD(magnifier_zoom, kOptional);
    KALU_FIELD(cursor_crosshair, kOptional);
    KALU_FIELD(thick_text_caret, kOptional);
    KALU_FIELD(switch_control, kOptional);
    KALU_FIELD(switch_key_pair, kOptional);
    KALU_FIELD(switch_scan_ms, kOptional);
    KALU_FIELD(screen_reader_rate, kOptional);
    KALU_FIELD(screen_reader_voice, kOptional);
  }
};

#undef KALU_FIELD

// clang-format off
template <> struct RecordCodec<AudioPrefs> : SectionCodec<AudioPrefs, AudioFields> {};
template <> struct RecordCodec<DisplayPrefs> : SectionCodec<DisplayPrefs, DisplayFields> {};
template <> struct RecordCodec<InputPrefs> : SectionCodec<InputPrefs, InputFields> {};
template <> struct RecordCodec<PowerPrefs> : SectionCodec<PowerPrefs, PowerFields> {};
template <> struct RecordCodec<UpdatePrefs> : SectionCodec<UpdatePrefs, UpdateFields> {};
template <> struct RecordCodec<AppearancePrefs> : SectionCodec<AppearancePrefs, AppearanceFields> {};
template <> struct RecordCodec<FocusSchedule> : SectionCodec<FocusSchedule, FocusFields> {};
template <> struct RecordCodec<AppNotificationRule> : SectionCodec<AppNotificationRule, AppRuleFields> {};
template <> struct RecordCodec<NotificationPrefs> : SectionCodec<NotificationPrefs, NotificationFields> {};
template <> struct RecordCodec<AccessibilityPrefs> : SectionCodec<AccessibilityPrefs, AccessibilityFields> {};
// clang-format on

}  // namespace settings::stored::record

namespace settings::stored {

template <typename Section>
kalu_ui::Result<Section> read_section(const nlohmann::ordered_json& value) {
  return record::read<Section>(value);
}

template <typename Section>
nlohmann::ordered_json write_section(const Section& section) {
  return record::encode(section);
}

#define KALU_SECTION(T)                                                             \
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
KALU_SECTION(FocusSchedule)
KALU_SECTION(AppNotificationRule)
#undef KALU_SECTION

std::string_view stored_name(PowerAction value) {
  return record::EnumNames<PowerAction>::names[static_cast<std::size_t>(value)];
}
std::string_view stored_name(ColorFilter value) {
  return record::EnumNames<ColorFilter>::names[static_cast<std::size_t>(value)];
}
std::string_view stored_name(SwitchKeyPair value) {
  return record::EnumNames<SwitchKeyPair>::names[static_cast<std::size_t>(value)];
}
std::string_view stored_name(ReaderVoice value) {
  return record::EnumNames<ReaderVoice>::names[static_cast<std::size_t>(value)];
}

}  // namespace settings::stored
