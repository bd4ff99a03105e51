#pragma once

// The Accessibility pane's model: the accessibility section and the three
// vision comforts it shares with the Appearance pane, and its controls as
// one table in read-back order. Each control is a key of the state document
// beginning "a11y." holding a bool or one of its dropdown's labels
// (vocabulary/accessibility_labels.h, vocabulary/appearance_labels.h for the text
// size), with what the model shows for it and how a value from the document
// is taken. The pane shows the table and the set-setting store keeps what a
// control sets with it, so it lives beside the registry. Pure functions over
// plain data.

#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "stored/sections.h"

namespace settings::panes::accessibility {

struct Model {
  stored::AppearancePrefs appearance;
  stored::AccessibilityPrefs accessibility;

  bool operator==(const Model&) const = default;
};

// One control: a switch (get, set) or a choice (labels, label, adopt).
struct Control {
  std::string_view id;
  bool (*get)(const Model&) = nullptr;
  void (*set)(Model&, bool) = nullptr;
  std::span<const std::string_view> labels;
  std::string_view (*label)(const Model&) = nullptr;
  // Takes `label` (one of `labels`) into the model; whether it changed.
  bool (*adopt)(Model&, std::string_view) = nullptr;

  bool is_switch() const { return get != nullptr; }
};

// The nineteen controls in read-back order: the comforts shared with
// Appearance, the flags, the switch keys and scan, then colour filter,
// magnifier, reader rate and voice, cursor size.
std::span<const Control> controls();
// The control of `id`; none for another key.
const Control* control(std::string_view id);

// Whether `text` is one of the choice's labels.
bool is_label(const Control& control, std::string_view text);

}  // namespace settings::panes::accessibility
