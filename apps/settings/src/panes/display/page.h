#pragma once

// The Displays page: a summary of the connected outputs, one card per output
// with its settings, a card for the staged layout or the running display
// transaction, and the brightness card. It is built from the pane's model
// each time the model changes; it reads, never changes, and every control
// carries the control id its value lives under and the binding of its
// action of the Displays section.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "kalu_actions/binding.h"
#include "panes/display/model.h"
#include "prefs_store/display.h"
#include "widget_contract/widget.h"

namespace settings::panes::display {

// The builders of the bindings of the page's controls, one per kind of
// action of the Displays section; each answers none when the section does
// not offer the action. A control without a binding changes nothing.
struct DisplayBindings {
  using Binding = std::optional<kalu_actions::ActionBinding>;
  // "brightness".
  std::function<Binding(std::string_view action)> brightness;
  // "auto_brightness", "night_light".
  std::function<Binding(std::string_view action)> toggle;
  // "night_light_temperature".
  std::function<Binding(std::string_view action)> night_light_warmth;
  // "apply", "confirm", "revert".
  std::function<Binding(std::string_view action)> command;
  // "enabled", "primary", "hdr", "vrr" of an output.
  std::function<Binding(std::string_view action, std::string_view connector)> output_toggle;
  // "scale", "position", "mirror", "mode", "transform", "color-profile" of an
  // output, with the dropdown's choices.
  std::function<Binding(std::string_view action, std::string_view connector,
                        std::vector<std::string> choices)>
      output_choice;
};

// The builders of the Displays section of the automation surface
// (actions/displays_section.h): what the pane binds its page with unless it
// is given others.
DisplayBindings section_bindings();

// What the page shows.
struct PageModel {
  const std::vector<DisplayOutput>* outputs = nullptr;
  // The layout the outputs' cards show: the staged one while it exists.
  const prefs_store::DisplayConfig* layout = nullptr;
  bool staged = false;
  std::uint32_t night_light_temperature = 3700;
  bool has_light_sensor = false;
  // The level the slider starts at until the document gives it.
  float level = 0.5f;
  const std::optional<prefs_store::DisplayTransaction>* transaction = nullptr;
  // The transactions' clock when the page is built.
  std::int64_t now_unix_ms = 0;
};

// The whole seconds left until a testing transaction's deadline, rounded up;
// 0 once it has passed or without a deadline.
std::int64_t countdown_seconds(const prefs_store::DisplayTransaction& transaction,
                               std::int64_t now_unix_ms);

kalu_ui::WidgetBox build_page(const PageModel& model, const DisplayBindings& bindings);

}  // namespace settings::panes::display
