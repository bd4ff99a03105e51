#include "panes/mouse_keyboard/page.h"

#include <fmt/format.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "actions/mouse_keyboard_section.h"
#include "kalu_ui/log.h"
#include "kalu_ui/wake_slot.h"
#include "kalu_ui/widget/button.h"
#include "kalu_ui/widget/dropdown.h"
#include "kalu_ui/widget/row.h"
#include "kalu_ui/widget/slider.h"
#include "kalu_ui/widget/spacer.h"
#include "kalu_ui/widget/text.h"
#include "kalu_ui/widget/toggle.h"
#include "panes/mouse_keyboard/model.h"

namespace settings::panes::mouse_keyboard {
namespace {

namespace w = kalu_ui::widget;
using kalu_actions::ActionBinding;
using kalu_actions::Resource;
using ui_rows::WidgetBox;
using ui_rows::WidgetList;

constexpr float kSourceLabelSize = 13.0f;
constexpr float kActiveBadgeSize = 12.0f;
constexpr float kMoveButtonWidth = 36.0f;
constexpr float kRemoveButtonWidth = 84.0f;
constexpr float kSourceButtonHeight = 34.0f;

// The program's own fault (the section is built from the same settings
// document), so it is logged; the control is shown but cannot act.
std::optional<ActionBinding> published(std::optional<ActionBinding> binding,
                                       std::string_view control_id) {
  if (!binding) {
    kalu_ui::log::warn("kalu::settings", "settings::panes::mouse_keyboard",
                       "Mouse & Keyboard action must be published",
                       {{"op", "input_binding"}, {"control", std::string(control_id)}});
  }
  return binding;
}

// `control` under its id, bound to its action, or shown disabled without one.
template <typename Control>
WidgetBox input_control(Control control, std::string_view control_id,
                        std::optional<ActionBinding> binding) {
  binding = published(std::move(binding), control_id);
  control.with_id(std::string(control_id)).with_enabled(binding.has_value());
  control.on_action(std::move(binding));
  return w::boxed(std::move(control));
}

WidgetBox toggle(bool on, std::string_view control_id, std::optional<ActionBinding> binding) {
  return input_control(w::Toggle::from_state(kalu_ui::WakeSlot<bool>::create(on)), control_id,
                       std::move(binding));
}

WidgetBox slider(double value, std::string_view control_id, std::optional<ActionBinding> binding) {
  return input_control(w::Slider::from_state(kalu_ui::WakeSlot<double>::create(value), 0.0, 1.0),
                       control_id, std::move(binding));
}

WidgetBox dropdown(std::vector<std::string> choices, std::string value, std::string_view control_id,
                   std::optional<ActionBinding> binding) {
  return input_control(
      w::Dropdown::from_state(kalu_ui::WakeSlot<std::string>::create(std::move(value)),
                              std::move(choices)),
      control_id, std::move(binding));
}

std::vector<std::string> labels_of(std::span<const std::string_view> labels) {
  return {labels.begin(), labels.end()};
}

WidgetBox keyboard_card(const PageModel& model, const Resource& section) {
  const stored::InputPrefs& input = model.input;
  std::vector<std::string> active;
  active.reserve(input.keyboard_layouts.size());
  for (const std::string& id : input.keyboard_layouts) {
    active.push_back(source_label(model.sources, id));
  }
  std::vector<std::string> compose;
  for (const ComposeKey& key : compose_keys()) compose.emplace_back(key.label);
  const KeyRepeat repeat = key_repeat(input);

  WidgetList rows;
  rows.push_back(ui_rows::setting_row(
      "Active input source",
      dropdown(std::move(active), source_label(model.sources, input.keyboard_layout), kLayoutId,
               actions::input_text_binding(section, "active-source"))));
  rows.push_back(ui_rows::described_row(
      "Key repeat speed", repeat.description,
      slider(repeat.value, kKeyRepeatId, actions::input_level_binding(section, "key-repeat"))));
  rows.push_back(ui_rows::caption(kRepeatCaption));
  rows.push_back(ui_rows::setting_row(
      "Compose key", dropdown(std::move(compose), std::string(compose_key_label(input.compose_key)),
                              kComposeKeyId, actions::input_text_binding(section, "compose-key"))));
  return ui_rows::section_card("Keyboard", ui_rows::rows_column(std::move(rows)));
}

WidgetBox spell_card(const PageModel& model, const Resource& section) {
  WidgetList rows;
  rows.push_back(ui_rows::described_row(
      "Check spelling while typing", "Underline possible misspellings in natural-language fields",
      toggle(model.check_spelling, kCheckSpellingId,
             actions::input_toggle_binding(section, "spell-checking"))));
  rows.push_back(ui_rows::described_row(
      "Auto-correct obvious misspellings",
      "Apply only high-confidence corrections after Space, punctuation, or Enter",
      toggle(model.auto_correct, kAutoCorrectId,
             actions::input_toggle_binding(section, "auto-correct"))));
  rows.push_back(ui_rows::caption(kSpellCaption));
  return ui_rows::section_card("Spell checker", ui_rows::rows_column(std::move(rows)));
}

// A source button: enabled and bound only where its move applies.
WidgetBox source_button(std::string label, std::string id, std::string_view description,
                        float width, bool applies, const Resource& section,
                        std::string_view source_id, std::string_view action) {
  w::Button button(std::move(label));
  button.with_id(id).with_size(width, kSourceButtonHeight);
  if (!description.empty()) button.with_tooltip(std::string(description));
  std::optional<ActionBinding> binding;
  if (applies) {
    binding = published(actions::input_source_command_binding(section, source_id, action), id);
  }
  button.with_enabled(binding.has_value()).on_action(std::move(binding));
  return w::boxed(std::move(button));
}

WidgetBox source_row(const PageModel& model, const Resource& section, std::size_t index) {
  const std::string& id = model.input.keyboard_layouts[index];
  const std::size_t count = model.input.keyboard_layouts.size();
  w::Row row;
  row.with_gap(ui_rows::kSettingRowGap).with_alignment(w::Alignment::Center);
  row.push(w::boxed(w::Text(source_label(model.sources, id)).with_size(kSourceLabelSize)));
  row.push(w::boxed(w::Spacer()));
  if (id == model.input.keyboard_layout) {
    row.push(w::boxed(w::Text("Active").with_size(kActiveBadgeSize).with_muted()));
  }
  row.push(source_button("↑", source_button_id(index, "up"), "Move input source up",
                         kMoveButtonWidth, index != 0, section, id, "move-up"));
  row.push(source_button("↓", source_button_id(index, "down"), "Move input source down",
                         kMoveButtonWidth, index + 1 < count, section, id, "move-down"));
  row.push(source_button("Remove", source_button_id(index, "remove"), "", kRemoveButtonWidth,
                         count >= 2, section, id, "remove"));
  return w::boxed(std::move(row));
}

WidgetBox sources_card(const PageModel& model, const Resource& section) {
  const auto& active = model.input.keyboard_layouts;
  WidgetList rows;
  for (std::size_t i = 0; i < active.size(); ++i) rows.push_back(source_row(model, section, i));
  std::vector<std::string> addable = addable_sources(model.sources, active);
  if (active.size() < kMaxActiveSources && !addable.empty()) {
    std::string first = addable.front();
    rows.push_back(ui_rows::setting_row(
        "Add a language or layout", dropdown(std::move(addable), std::move(first), kAddPickerId,
                                             actions::input_text_binding(section, "add-source"))));
  } else {
    rows.push_back(ui_rows::caption(kFourSourcesCaption));
  }
  return ui_rows::section_card("Input sources", ui_rows::rows_column(std::move(rows)));
}

struct PointerToggle {
  std::string_view label;
  std::string_view description;
  bool (*value)(const stored::InputPrefs&);
  std::string_view control_id;
  std::string_view action;
};

constexpr std::array<PointerToggle, 6> kPointerToggles = {{
    {"Touchpad natural scrolling", "Content tracks finger movement",
     [](const stored::InputPrefs& i) {
       return i.touchpad_natural_scroll.value_or(i.natural_scroll);
     },
     "input.touchpad_natural_scroll", "touchpad-natural-scroll"},
    {"Mouse natural scrolling", "Content moves in the wheel direction",
     [](const stored::InputPrefs& i) { return i.mouse_natural_scroll.value_or(i.natural_scroll); },
     "input.mouse_natural_scroll", "mouse-natural-scroll"},
    {"Tap to click", "Tap the touchpad to register a click",
     [](const stored::InputPrefs& i) { return i.tap_to_click; }, "input.tap_click", "tap-to-click"},
    {"Tap-and-drag", "Hold after a tap, then move to drag",
     [](const stored::InputPrefs& i) { return i.tap_drag; }, "input.tap_drag", "tap-drag"},
    {"Disable while typing", "Prevents accidental palm input",
     [](const stored::InputPrefs& i) { return i.disable_while_typing; },
     "input.disable_while_typing", "disable-while-typing"},
    {"Touchpad gestures", "Three-finger navigation; app gestures still receive other gestures",
     [](const stored::InputPrefs& i) { return i.touchpad_gestures; }, "input.touchpad_gestures",
     "touchpad-gestures"},
}};

WidgetBox pointer_card(const PageModel& model, const Resource& section) {
  const stored::InputPrefs& input = model.input;
  WidgetList rows;
  rows.push_back(ui_rows::label_row(
      "Touchpad speed", slider(input.touchpad_pointer_speed.value_or(input.pointer_speed),
                               "input.touchpad_pointer_speed",
                               actions::input_level_binding(section, "touchpad-speed"))));
  rows.push_back(ui_rows::label_row(
      "Mouse speed",
      slider(input.mouse_pointer_speed.value_or(input.pointer_speed), "input.mouse_pointer_speed",
             actions::input_level_binding(section, "mouse-speed"))));
  for (const PointerToggle& row : kPointerToggles) {
    rows.push_back(
        ui_rows::described_row(row.label, row.description,
                               toggle(row.value(input), row.control_id,
                                      actions::input_toggle_binding(section, row.action))));
  }
  return ui_rows::section_card("Pointer", ui_rows::rows_column(std::move(rows)));
}

WidgetBox buttons_card(const PageModel& model, const Resource& section) {
  const stored::InputPrefs& input = model.input;
  WidgetList rows;
  rows.push_back(
      ui_rows::described_row("Left-handed", "Swap primary and secondary buttons",
                             toggle(input.left_handed, "input.left_handed",
                                    actions::input_toggle_binding(section, "left-handed"))));
  rows.push_back(ui_rows::described_row(
      "Middle-button emulation", "Press left and right together for middle-click",
      toggle(input.middle_emulation, "input.middle_emulation",
             actions::input_toggle_binding(section, "middle-emulation"))));
  rows.push_back(ui_rows::setting_row(
      "Acceleration",
      dropdown(labels_of(acceleration_labels()),
               std::string(acceleration_label(input.accel_profile)), kAccelProfileId,
               actions::input_text_binding(section, "acceleration-profile"))));
  return ui_rows::section_card("Buttons & acceleration", ui_rows::rows_column(std::move(rows)));
}

}  // namespace

std::string source_button_id(std::size_t index, std::string_view which) {
  return fmt::format("input.source.{}.{}", index, which);
}

WidgetBox build_page(const PageModel& model, const Resource& section) {
  WidgetList cards;
  cards.push_back(keyboard_card(model, section));
  cards.push_back(spell_card(model, section));
  cards.push_back(sources_card(model, section));
  cards.push_back(pointer_card(model, section));
  cards.push_back(buttons_card(model, section));
  cards.push_back(ui_rows::section_card("Pen & tablet", ui_rows::caption(kPenCaption)));
  return ui_rows::sections_column(std::move(cards));
}

}  // namespace settings::panes::mouse_keyboard
