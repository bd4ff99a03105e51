#include "settings_app/executor_apply.h"

#include <fmt/format.h>
#include <fmt/ranges.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <nlohmann/json.hpp>
#include <utility>
#include <vector>

#include "kalu_actions/action_spec.h"
#include "prefs_store/document.h"
#include "prefs_store/input_sources.h"
#include "stored/locale.h"
#include "stored/settings_prefs.h"
#include "system_ops/time.h"
#include "vocabulary/input_sources.h"

namespace settings::settings_app {
namespace {

using kalu_ui::fail;
using stored::InputPrefs;
namespace op = operations;
namespace mk = panes::mouse_keyboard;

using Change = kalu_ui::Result<std::string_view>;

// ---- The settings document, edited in place ---------------------------------

// The document's text as a change sees it: nothing when there is no file
// (or no configuration directory, which the save then reports) or when it
// does not read (the save keeps it aside and starts afresh); an error when
// the file cannot be read at all.
kalu_ui::Result<std::optional<std::string_view>> current_settings_text(stored::SettingsText& held) {
  auto text = stored::settings_text_for_edit();
  if (!text) return fail(text.error());
  held = std::move(*text);
  if (!held) return std::optional<std::string_view>();
  return std::optional<std::string_view>(*held);
}

// The stored input section, for changing and saving back; an error when
// saving over it would lose what is stored.
kalu_ui::Result<InputPrefs> load_input() {
  stored::SettingsText held;
  const auto text = current_settings_text(held);
  if (!text) return fail(text.error());
  const auto members = stored::editable_members(*text);
  if (!members) return fail(members.error());
  return stored::read_input_section(*members);
}

// Loads, changes, normalises and saves the input section. A failed change
// saves nothing; its message is the answer. `persist` is the failure sentence
// of a section that cannot be loaded or saved.
template <typename Edit>
AppliedResult edit_input(std::string_view persist, Edit&& change) {
  auto input = load_input();
  if (!input) return fail(fmt::format(fmt::runtime(persist), input.error()));
  const Change message = change(*input);
  if (!message) return fail(message.error());
  stored::normalise_input_sources(*input);
  // Only this section is written, merged into what the file holds now.
  if (auto saved = prefs_store::update_section("input", stored::write_section(*input)); !saved) {
    return fail(fmt::format(fmt::runtime(persist), saved.error()));
  }
  return std::string(*message);
}

constexpr std::string_view kPersistInput = "could not persist input preferences: {}";
constexpr std::string_view kPersistSources = "could not persist keyboard input sources: {}";
constexpr std::string_view kNotInstalled = "keyboard input source is no longer installed";
constexpr std::string_view kZoneUnavailable = "time zone is not available on this device";

bool is_active(const InputPrefs& input, std::string_view id) {
  return std::ranges::find(input.keyboard_layouts, id) != input.keyboard_layouts.end();
}

// ---- Input ------------------------------------------------------------------

Change set_unit_value(double value, auto& field, std::string_view message) {
  auto checked = unit_interval_value(value);
  if (!checked) return fail(checked.error());
  field = *checked;
  return message;
}

Change set_active_source(InputPrefs& input, std::string_view label) {
  const auto source = mk::find_source_by_label(mk::available_input_sources(), label);
  if (!source) return fail(std::string(kNotInstalled));
  if (!is_active(input, source->id)) {
    return fail("keyboard input source is not active on this device");
  }
  input.keyboard_layout = source->id;
  return "active keyboard source updated";
}

// The switches: the field each variant sets and its message.
Change change_switch(const op::InputOperation& operation, InputPrefs& input) {
  using I = op::InputOperation;
  if (const auto* v = std::get_if<I::SetTouchpadNaturalScroll>(&operation)) {
    input.touchpad_natural_scroll = v->enabled;
    return "touchpad natural scrolling updated";
  }
  if (const auto* v = std::get_if<I::SetMouseNaturalScroll>(&operation)) {
    input.mouse_natural_scroll = v->enabled;
    return "mouse natural scrolling updated";
  }
  if (const auto* v = std::get_if<I::SetTapToClick>(&operation)) {
    input.tap_to_click = v->enabled;
    return "tap to click updated";
  }
  if (const auto* v = std::get_if<I::SetTapDrag>(&operation)) {
    input.tap_drag = v->enabled;
    return "tap and drag updated";
  }
  if (const auto* v = std::get_if<I::SetDisableWhileTyping>(&operation)) {
    input.disable_while_typing = v->enabled;
    return "disable while typing updated";
  }
  if (const auto* v = std::get_if<I::SetMiddleEmulation>(&operation)) {
    input.middle_emulation = v->enabled;
    return "middle-button emulation updated";
  }
  if (const auto* v = std::get_if<I::SetLeftHanded>(&operation)) {
    input.left_handed = v->enabled;
    return "pointer handedness updated";
  }
  const auto& v = std::get<I::SetTouchpadGestures>(operation);
  input.touchpad_gestures = v.enabled;
  return "touchpad gestures updated";
}

Change change_input(const op::InputOperation& operation, InputPrefs& input) {
  using I = op::InputOperation;
  if (const auto* v = std::get_if<I::SetTouchpadPointerSpeed>(&operation)) {
    return set_unit_value(v->value, input.touchpad_pointer_speed, "touchpad speed updated");
  }
  if (const auto* v = std::get_if<I::SetMousePointerSpeed>(&operation)) {
    return set_unit_value(v->value, input.mouse_pointer_speed, "mouse speed updated");
  }
  if (const auto* v = std::get_if<I::SetKeyRepeat>(&operation)) {
    auto message = set_unit_value(v->value, input.key_repeat, "key repeat updated");
    if (message) {
      // One value now stands for both; explicit delay and rate give way.
      input.key_repeat_delay_ms.reset();
      input.key_repeat_rate_hz.reset();
    }
    return message;
  }
  if (const auto* v = std::get_if<I::SetAccelerationProfile>(&operation)) {
    if (v->profile == "Adaptive") {
      input.accel_profile = "adaptive";
    } else if (v->profile == "Flat") {
      input.accel_profile = "flat";
    } else {
      return fail("unsupported acceleration profile; profile must be one of {}",
                  fmt::join(mk::acceleration_labels(), ", "));
    }
    return "pointer acceleration updated";
  }
  if (const auto* v = std::get_if<I::SetComposeKey>(&operation)) {
    auto value = compose_key_value(v->key);
    if (!value) return fail(value.error());
    input.compose_key = std::move(*value);
    return "compose key updated";
  }
  if (const auto* v = std::get_if<I::SetActiveSource>(&operation)) {
    return set_active_source(input, v->label);
  }
  return change_switch(operation, input);
}

// ---- Keyboard sources -------------------------------------------------------

// `n` is the number of active sources before the change. The index checks
// are written so that no subtraction can wrap, whatever index a client sends.
Change change_sources(const op::KeyboardSourceOperation& operation, InputPrefs& input) {
  using K = op::KeyboardSourceOperation;
  auto& layouts = input.keyboard_layouts;
  const std::uint64_t n = layouts.size();
  if (const auto* v = std::get_if<K::Add>(&operation)) {
    const auto source = mk::find_source_by_label(mk::available_input_sources(), v->label);
    if (!source) return fail(std::string(kNotInstalled));
    if (is_active(input, source->id)) return fail("keyboard input source is already active");
    if (n >= prefs_store::kMaxInputSources) {
      return fail("the maximum number of keyboard input sources is already active");
    }
    input.keyboard_layout = source->id;
    layouts.push_back(source->id);
    return "keyboard input source added";
  }
  if (const auto* v = std::get_if<K::MoveUp>(&operation)) {
    if (v->index < 1 || v->index >= n) return fail("keyboard input source can no longer move up");
    std::swap(layouts[v->index - 1], layouts[v->index]);
    return "keyboard input source moved up";
  }
  if (const auto* v = std::get_if<K::MoveDown>(&operation)) {
    if (n < 2 || v->index > n - 2) return fail("keyboard input source can no longer move down");
    std::swap(layouts[v->index], layouts[v->index + 1]);
    return "keyboard input source moved down";
  }
  const auto& v = std::get<K::Remove>(operation);
  if (n < 2 || v.index >= n) return fail("keyboard input source can no longer be removed");
  const std::string removed = layouts[v.index];
  layouts.erase(layouts.begin() + static_cast<std::ptrdiff_t>(v.index));
  if (removed == input.keyboard_layout) {
    input.keyboard_layout = layouts[std::min(v.index, n - 2)];
  }
  return "keyboard input source removed";
}

// ---- Time and date ----------------------------------------------------------

AppliedResult set_timezone(const std::string& zone) {
  // A list that cannot be read offers nothing, so nothing is set.
  const auto zones = system_ops::time::list_timezones().value_or(std::vector<std::string>{});
  if (std::ranges::find(zones, zone) == zones.end()) {
    // The zone a client named, cut short, and one the device does have.
    const std::string named = kalu_actions::echo_text(zone);
    if (zones.empty()) return fail("{}: \"{}\"; it lists none", kZoneUnavailable, named);
    return fail(
        "{}: \"{}\"; timezone must name one of its IANA time zones, such as "
        "\"{}\"",
        kZoneUnavailable, named, zones.front());
  }
  // Read before: a zone already set is said to be so, not "updated".
  const auto before = system_ops::time::get_time_sync_status();
  if (before && before->timezone == zone) {
    return fmt::format("Time zone is already {}.", zone);
  }
  if (auto set = system_ops::time::set_timezone(zone); !set) {
    return fail("time zone could not be changed: {}", set.error());
  }
  return fmt::format("Time zone set to {}.", zone);
}

// Saves the clock format. A stored locale that reads is saved whole with the
// new format; with none stored, the default record is; a stored one that does
// not read keeps every value but the format, which is written into it.
kalu_ui::Status save_clock_format(stored::TimeFormat format) {
  stored::SettingsText held;
  const auto text = current_settings_text(held);
  if (!text) return fail(text.error());
  const auto members = stored::editable_members(*text);
  if (!members) return fail(members.error());
  const auto found = members->find("locale");
  stored::Locale locale;
  if (found != members->end()) {
    auto read = stored::Locale::from_json(found->second);
    if (!read) {
      auto entry = prefs_store::parse(found->second);
      if (!entry || !entry->is_object()) {
        return fail("the stored \"locale\" entry does not read: {}", read.error());
      }
      locale.time_format = format;
      nlohmann::ordered_json only_format = nlohmann::ordered_json::object();
      only_format["time_format"] = locale.to_json()["time_format"];
      return prefs_store::update_section("locale", only_format);
    }
    locale = *read;
  }
  locale.time_format = format;
  if (auto saved = locale.save(); !saved) return fail(saved.error());
  return {};
}

}  // namespace

kalu_ui::Result<double> unit_interval_value(double value) {
  // NaN fails both comparisons; -0.0 compares equal to 0.0.
  if (std::isfinite(value) && value >= 0.0 && value <= 1.0) return value;
  return fail("input value must be between 0.0 and 1.0");
}

kalu_ui::Result<std::optional<std::string>> compose_key_value(std::string_view key) {
  // Compared in the table's order, exactly.
  for (const auto& [label, stored] : panes::mouse_keyboard::compose_keys()) {
    if (label != key) continue;
    if (stored.empty()) return std::optional<std::string>();
    return std::optional<std::string>(std::string(stored));
  }
  std::vector<std::string_view> labels;
  for (const auto& [label, stored] : panes::mouse_keyboard::compose_keys()) labels.push_back(label);
  return fail("unsupported compose key; key must be one of {}", fmt::join(labels, ", "));
}

AppliedResult apply_operation(const op::InputOperation& operation) {
  return edit_input(kPersistInput,
                    [&](InputPrefs& input) { return change_input(operation, input); });
}

AppliedResult apply_operation(const op::KeyboardSourceOperation& operation) {
  // The section read is normalised already, so `n` counts usable sources.
  return edit_input(kPersistSources,
                    [&](InputPrefs& input) { return change_sources(operation, input); });
}

AppliedResult apply_operation(const op::TimeDateOperation& operation) {
  using T = op::TimeDateOperation;
  if (const auto* v = std::get_if<T::SetAutomaticTime>(&operation)) {
    if (auto set = system_ops::time::set_ntp(v->enabled); !set) {
      return fail("automatic time could not be changed: {}", set.error());
    }
    return std::string("automatic time updated");
  }
  if (const auto* v = std::get_if<T::SetTimezone>(&operation)) return set_timezone(v->timezone);
  const auto& v = std::get<T::SetHourCycle>(operation);
  if (auto saved = save_clock_format(v.h24 ? stored::TimeFormat::H24 : stored::TimeFormat::H12);
      !saved) {
    return fail("could not persist clock format: {}", saved.error());
  }
  return std::string("clock format updated");
}

}  // namespace settings::settings_app
