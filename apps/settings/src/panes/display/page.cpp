#include "panes/display/page.h"

#include <fmt/format.h>

#include <utility>

#include "actions/displays_section.h"
#include "kalu_ui/widget/button.h"
#include "kalu_ui/widget/dropdown.h"
#include "kalu_ui/widget/slider.h"
#include "kalu_ui/widget/support.h"
#include "kalu_ui/widget/toggle.h"
#include "lib/ui_rows.h"

namespace settings::panes::display {

namespace {

namespace w = kalu_ui::widget;
using kalu_ui::WidgetBox;
using prefs_store::DisplayTransaction;
using prefs_store::OutputConfig;
using ui_rows::WidgetList;

template <typename F, typename... Args>
DisplayBindings::Binding binding_of(const F& builder, Args&&... args) {
  if (!builder) return std::nullopt;
  return builder(std::forward<Args>(args)...);
}

OutputConfig entry_of(const PageModel& m, const DisplayOutput& output, std::size_t index) {
  auto found = m.layout->outputs.find(output.connector);
  return found != m.layout->outputs.end() ? found->second : default_output_config(index);
}

WidgetBox output_toggle(const DisplayBindings& b, const DisplayOutput& output,
                        std::string_view label, std::string_view field, std::string_view action) {
  const std::string id = output_control_id(output.connector, field);
  return boxed(w::Toggle(std::string(label), id)
                   .with_id(id)
                   .on_action(binding_of(b.output_toggle, action, output.connector)));
}

WidgetBox output_dropdown(const DisplayBindings& b, const DisplayOutput& output,
                          std::string_view field, std::string_view action,
                          std::vector<std::string> choices, std::string placeholder) {
  const std::string id = output_control_id(output.connector, field);
  auto binding = binding_of(b.output_choice, action, output.connector, choices);
  return boxed(
      w::Dropdown(id, std::move(choices), std::move(placeholder)).with_id(id).on_action(binding));
}

// HDR or variable refresh: a toggle where the compositor controls it, else
// why not.
WidgetBox capability_row(const DisplayBindings& b, const DisplayOutput& output,
                         std::string_view label, std::string_view field, bool supported,
                         bool capable, const std::optional<std::string>& note) {
  if (supported) return ui_rows::label_row(label, output_toggle(b, output, label, field, field));
  std::string why =
      note      ? *note
      : capable ? std::string("Display support detected; compositor output support unavailable")
                : std::string("Not supported by this display");
  return ui_rows::info_row(label, why);
}

WidgetBox summary_card(const PageModel& m, const std::vector<DisplayOutput>& connected) {
  WidgetList rows;
  if (connected.empty()) {
    rows.push_back(ui_rows::caption("No displays detected on this device."));
    return ui_rows::section_card("Displays", ui_rows::rows_column(std::move(rows)));
  }
  for (std::size_t i = 0; i < connected.size(); ++i) {
    const OutputConfig entry = entry_of(m, connected[i], i);
    const char* state = !entry.enabled ? "Disabled" : entry.primary ? "Active · primary" : "Active";
    rows.push_back(ui_rows::info_row(connected[i].label, state));
  }
  // Only a display alone has nothing to extend or mirror.
  if (connected.size() == 1) {
    const bool all_connected = connected.size() == m.outputs->size();
    rows.push_back(
        ui_rows::caption(all_connected ? "Connect a second display to extend or mirror your screen."
                                       : "Connect a display to a free port to extend or mirror "
                                         "your screen."));
  }
  return ui_rows::section_card("Displays", ui_rows::rows_column(std::move(rows)));
}

WidgetBox mode_row(const DisplayBindings& b, const DisplayOutput& output,
                   const OutputConfig& entry) {
  constexpr std::string_view kLabel = "Resolution & refresh rate";
  if (output.modes.empty()) {
    return ui_rows::info_row(kLabel, "Compositor capability data unavailable");
  }
  std::vector<std::string> choices;
  choices.reserve(output.modes.size());
  for (const auto& mode : output.modes) choices.push_back(mode.label());
  std::string placeholder = entry.mode            ? entry.mode->label()
                            : output.current_mode ? output.current_mode->label()
                                                  : std::string("Preferred");
  return ui_rows::setting_row(kLabel, output_dropdown(b, output, field::kMode, "mode",
                                                      std::move(choices), std::move(placeholder)));
}

WidgetBox profile_row(const DisplayBindings& b, const DisplayOutput& output,
                      const OutputConfig& entry) {
  constexpr std::string_view kLabel = "Colour profile";
  if (output.color_profiles.empty()) {
    return ui_rows::info_row(kLabel, "System default · no valid ICC profiles detected");
  }
  std::vector<std::string> choices{std::string(kSystemDefaultProfile)};
  for (const std::string& id : output.color_profiles) {
    auto name = output.color_profile_names.find(id);
    if (name != output.color_profile_names.end()) {
      choices.push_back(color_profile_label(name->second, id));
    }
  }
  return ui_rows::setting_row(
      kLabel,
      output_dropdown(b, output, field::kColorProfile, "color-profile", std::move(choices),
                      profile_label(entry.color_profile, &output, UnnamedProfile::kSystemDefault)));
}

WidgetBox output_card(const PageModel& m, const DisplayBindings& b,
                      const std::vector<DisplayOutput>& connected, std::size_t index) {
  const DisplayOutput& output = connected[index];
  const OutputConfig entry = entry_of(m, output, index);
  const OutputLabels others = choice_labels(connected);

  std::vector<std::string> scales;
  for (const auto& preset : scale_presets()) scales.emplace_back(preset.label);
  std::vector<std::string> positions{std::string(kAutomaticPosition)};
  for (std::string& label : arrangement_labels(output.connector, others)) {
    positions.push_back(std::move(label));
  }
  std::vector<std::string> mirrors{std::string(kExtendWorkspace)};
  for (std::string& label : mirror_labels(output.connector, others)) {
    mirrors.push_back(std::move(label));
  }
  std::vector<std::string> transforms(transform_labels().begin(), transform_labels().end());

  WidgetList rows;
  rows.push_back(ui_rows::label_row("Use this display", output_toggle(b, output, "Use this display",
                                                                      field::kEnabled, "enabled")));
  rows.push_back(ui_rows::label_row(
      "Primary display", output_toggle(b, output, "Primary display", field::kPrimary, "primary")));
  rows.push_back(ui_rows::setting_row(
      "Scale", output_dropdown(b, output, field::kScale, "scale", std::move(scales),
                               std::string(scale_label(entry.scale)))));
  rows.push_back(ui_rows::setting_row(
      "Position", output_dropdown(b, output, field::kPosition, "position", std::move(positions),
                                  std::string(kAutomaticPosition))));
  rows.push_back(ui_rows::setting_row(
      "Mirroring", output_dropdown(b, output, field::kMirror, "mirror", std::move(mirrors),
                                   mirror_label(entry, connected))));
  rows.push_back(mode_row(b, output, entry));
  rows.push_back(ui_rows::setting_row(
      "Rotation", output_dropdown(b, output, field::kTransform, "transform", std::move(transforms),
                                  std::string(transform_label(entry.transform)))));
  rows.push_back(capability_row(b, output, "HDR", field::kHdr, output.hdr_supported,
                                output.hdr_capable, output.hdr_note));
  rows.push_back(capability_row(b, output, "Variable refresh rate", field::kVrr,
                                output.vrr_supported, output.vrr_capable, output.vrr_note));
  rows.push_back(profile_row(b, output, entry));
  return ui_rows::section_card(output.label, ui_rows::rows_column(std::move(rows)));
}

// `answer`: the button is the default answer of the question on the card;
// `described`: what a screen reader hears about it beside the row's label.
WidgetBox command_row(const DisplayBindings& b, std::string_view label, std::string_view name,
                      std::string_view text, std::string_view action, bool answer = false,
                      std::string_view described = {}) {
  WidgetBox button = boxed(w::Button(std::string(text))
                               .with_id(std::string(name))
                               .with_default_answer(answer)
                               .on_action(binding_of(b.command, action)));
  if (!described.empty()) w::label_controls(*button, label, described);
  return ui_rows::label_row(label, std::move(button));
}

WidgetBox configuration_card(const PageModel& m, const DisplayBindings& b) {
  const std::optional<DisplayTransaction>& t = *m.transaction;
  WidgetList rows;
  const std::uint8_t state = t ? t->state : std::uint8_t{DisplayTransaction::kKept};
  if (t && (state == 0 || state == 2 || state == 3)) {
    rows.push_back(ui_rows::caption(
        t->message.value_or("The compositor is validating and applying the output plan…")));
    return ui_rows::section_card("Applying display configuration",
                                 ui_rows::rows_column(std::move(rows)));
  }
  if (t && state == DisplayTransaction::kTesting) {
    const std::string countdown = fmt::format(
        "Every display should be visible. Restoring the previous layout in {} seconds unless you "
        "keep this one.",
        countdown_seconds(*t, m.now_unix_ms));
    rows.push_back(ui_rows::caption(countdown));
    // The countdown is heard with the answer it waits for.
    rows.push_back(command_row(b, "Everything looks correct", "settings.display.keep", "Keep",
                               "confirm", true, countdown));
    rows.push_back(
        command_row(b, "Something is wrong", "settings.display.revert", "Revert now", "revert"));
    return ui_rows::section_card("Keep this display configuration?",
                                 ui_rows::rows_column(std::move(rows)));
  }
  if (t && state == DisplayTransaction::kRejected) {
    rows.push_back(
        ui_rows::caption(t->message.value_or("The compositor rejected this output plan.")));
    if (m.staged) {
      rows.push_back(command_row(b, "Test the newly edited layout", "settings.display.apply",
                                 "Try again", "apply"));
    }
    return ui_rows::section_card("Display change was not applied",
                                 ui_rows::rows_column(std::move(rows)));
  }
  if (t && state == DisplayTransaction::kReverted) {
    // Whoever asked for the revert (the person, or the device at the
    // deadline), the page says the layout is back.
    rows.push_back(ui_rows::caption("Display changes reverted."));
    if (t->message) rows.push_back(ui_rows::caption(*t->message));
  }
  if (m.staged) {
    rows.push_back(ui_rows::caption(
        "The layout is staged, not active. Applying it starts a 15-second safety test; closing "
        "Settings cannot cancel the automatic restore."));
    rows.push_back(
        command_row(b, "Test staged layout", "settings.display.apply", "Apply", "apply"));
    return ui_rows::section_card("Apply display changes", ui_rows::rows_column(std::move(rows)));
  }
  rows.push_back(ui_rows::caption("No unapplied display changes."));
  return ui_rows::section_card("Display configuration", ui_rows::rows_column(std::move(rows)));
}

WidgetBox brightness_card(const PageModel& m, const DisplayBindings& b) {
  WidgetList rows;
  if (m.has_light_sensor) {
    rows.push_back(
        ui_rows::label_row("Automatic brightness",
                           boxed(w::Toggle("Automatic brightness", std::string(kAutoBrightnessId))
                                     .with_id(std::string(kAutoBrightnessId))
                                     .on_action(binding_of(b.toggle, "auto_brightness")))));
  } else {
    rows.push_back(ui_rows::info_row("Automatic brightness", "No ambient-light sensor detected"));
  }
  rows.push_back(ui_rows::label_row("Brightness",
                                    boxed(w::Slider(std::string(kBrightnessId), 0.0, 1.0, m.level)
                                              .with_label("Brightness")
                                              .with_id(std::string(kBrightnessId))
                                              .on_action(binding_of(b.brightness, "brightness")))));
  rows.push_back(ui_rows::label_row("Night light",
                                    boxed(w::Toggle("Night light", std::string(kNightLightId))
                                              .with_id(std::string(kNightLightId))
                                              .on_action(binding_of(b.toggle, "night_light")))));
  std::vector<std::string> warmths;
  for (const auto& preset : warmth_presets()) warmths.emplace_back(preset.label);
  rows.push_back(ui_rows::setting_row(
      "Night light warmth",
      boxed(w::Dropdown(std::string(kNightLightTemperatureId), std::move(warmths),
                        std::string(warmth_label(m.night_light_temperature)))
                .with_id(std::string(kNightLightTemperatureId))
                .on_action(binding_of(b.night_light_warmth, "night_light_temperature")))));
  rows.push_back(ui_rows::caption(
      "Night Light applies a whole-desktop colour transform. Automatic brightness follows the "
      "kernel ambient-light sensor with smoothing and a deadband."));
  return ui_rows::section_card("Brightness", ui_rows::rows_column(std::move(rows)));
}

}  // namespace

DisplayBindings section_bindings() {
  DisplayBindings b;
  b.brightness = actions::brightness_binding;
  b.toggle = actions::display_toggle_binding;
  b.night_light_warmth = actions::night_light_warmth_binding;
  b.command = actions::display_command_binding;
  b.output_toggle = actions::display_output_toggle_binding;
  b.output_choice = actions::display_output_choice_binding;
  return b;
}

std::int64_t countdown_seconds(const DisplayTransaction& transaction, std::int64_t now_unix_ms) {
  if (!transaction.deadline_unix_ms || *transaction.deadline_unix_ms <= now_unix_ms) return 0;
  const std::int64_t left = *transaction.deadline_unix_ms - now_unix_ms;
  return (left + 999) / 1000;
}

WidgetBox build_page(const PageModel& m, const DisplayBindings& b) {
  std::vector<DisplayOutput> connected;
  for (const DisplayOutput& output : *m.outputs) {
    if (output.connected) connected.push_back(output);
  }
  WidgetList cards;
  cards.push_back(summary_card(m, connected));
  for (std::size_t i = 0; i < connected.size(); ++i)
    cards.push_back(output_card(m, b, connected, i));
  cards.push_back(configuration_card(m, b));
  cards.push_back(brightness_card(m, b));
  return ui_rows::sections_column(std::move(cards));
}

}  // namespace settings::panes::display
