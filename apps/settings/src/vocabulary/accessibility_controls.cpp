#include "vocabulary/accessibility_controls.h"

#include <array>
#include <cmath>
#include <limits>
#include <type_traits>

#include "vocabulary/accessibility_labels.h"
#include "vocabulary/appearance_labels.h"

namespace settings::panes::accessibility {
namespace {

using stored::AccessibilityPrefs;
using stored::AppearancePrefs;

template <auto Section, auto Field>
bool get_flag(const Model& model) {
  return model.*Section.*Field;
}
template <auto Section, auto Field>
void set_flag(Model& model, bool on) {
  model.*Section.*Field = on;
}

template <auto Section, auto Field>
Control switch_of(std::string_view id) {
  Control control;
  control.id = id;
  control.get = &get_flag<Section, Field>;
  control.set = &set_flag<Section, Field>;
  return control;
}
template <auto Field>
Control appearance_switch(std::string_view id) {
  return switch_of<&Model::appearance, Field>(id);
}
template <auto Field>
Control flag(std::string_view id) {
  return switch_of<&Model::accessibility, Field>(id);
}

// A choice over an accessibility field: its labels, the label of the stored
// value, and the value of a label (an optional, or a value every label has).
template <auto Field, auto Labels, auto LabelOf, auto FromLabel>
Control choice(std::string_view id) {
  Control control;
  control.id = id;
  control.labels = Labels();
  control.label = [](const Model& model) { return LabelOf(model.accessibility.*Field); };
  control.adopt = [](Model& model, std::string_view label) {
    auto& field = model.accessibility.*Field;
    const auto value = FromLabel(label);
    std::remove_cvref_t<decltype(field)> taken;
    if constexpr (requires { value.has_value(); }) {
      if (!value) return false;
      taken = *value;
    } else {
      taken = value;
    }
    if (taken == field) return false;
    field = taken;
    return true;
  };
  return control;
}

Control text_size() {
  Control control;
  control.id = "a11y.text_size";
  control.labels = appearance::text_size_labels();
  control.label = [](const Model& model) {
    return appearance::text_size_label(model.appearance.text_scale);
  };
  control.adopt = [](Model& model, std::string_view label) {
    const auto scale = appearance::text_scale_for_label(label);
    if (!scale ||
        std::abs(*scale - model.appearance.text_scale) <= std::numeric_limits<double>::epsilon()) {
      return false;
    }
    model.appearance.text_scale = *scale;
    return true;
  };
  return control;
}

using A = AccessibilityPrefs;

const std::array<Control, 19> kControls = {
    appearance_switch<&AppearancePrefs::high_contrast>("a11y.high_contrast"),
    appearance_switch<&AppearancePrefs::reduce_motion>("a11y.reduce_motion"),
    text_size(),
    flag<&A::large_cursor>("a11y.large_cursor"),
    flag<&A::sticky_keys>("a11y.sticky_keys"),
    flag<&A::slow_keys>("a11y.slow_keys"),
    flag<&A::on_screen_keyboard>("a11y.on_screen_keyboard"),
    flag<&A::visual_alerts>("a11y.visual_alerts"),
    flag<&A::screen_reader>("a11y.screen_reader"),
    flag<&A::cursor_crosshair>("a11y.cursor_crosshair"),
    flag<&A::thick_text_caret>("a11y.thick_text_caret"),
    flag<&A::switch_control>("a11y.switch_control"),
    choice<&A::switch_key_pair, &switch_keys_labels, &switch_keys_label, &switch_keys_from_label>(
        "a11y.switch_keys"),
    choice<&A::switch_scan_ms, &switch_scan_labels, &switch_scan_label, &switch_scan_from_label>(
        "a11y.switch_scan"),
    choice<&A::color_filter, &color_filter_labels, &color_filter_label, &color_filter_from_label>(
        "a11y.color_filter"),
    choice<&A::magnifier_zoom, &magnifier_labels, &magnifier_label, &magnifier_from_label>(
        "a11y.magnifier"),
    choice<&A::screen_reader_rate, &reader_rate_labels, &reader_rate_label,
           &reader_rate_from_label>("a11y.reader_rate"),
    choice<&A::screen_reader_voice, &reader_voice_labels, &reader_voice_label,
           &reader_voice_from_label>("a11y.reader_voice"),
    choice<&A::cursor_size, &cursor_size_labels, &cursor_size_label, &cursor_size_from_label>(
        "a11y.cursor_size"),
};

}  // namespace

std::span<const Control> controls() { return kControls; }

const Control* control(std::string_view id) {
  for (const Control& c : kControls) {
    if (c.id == id) return &c;
  }
  return nullptr;
}

bool is_label(const Control& control, std::string_view text) {
  for (std::string_view label : control.labels) {
    if (label == text) return true;
  }
  return false;
}

}  // namespace settings::panes::accessibility
