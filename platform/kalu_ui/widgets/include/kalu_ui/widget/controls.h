#pragma once

#include <cstdint>
#include <string_view>

#include "kalu_ui/geometry.h"
#include "widget_contract/event.h"
#include "widget_contract/records.h"

// Values the toolkit's controls share: cursor kinds, accessibility roles and
// the resource operation that presses a control.
namespace kalu_ui::widget::controls {

// The pointing hand over clickable controls, and the text beam over fields.
inline constexpr CursorKind kCursorPointer = 3;
inline constexpr CursorKind kCursorText = 8;

// Accessibility roles of the controls (after the display widgets' roles).
inline constexpr std::uint8_t kRoleButton = 10;
inline constexpr std::uint8_t kRoleSwitch = 11;
inline constexpr std::uint8_t kRoleSlider = 12;
inline constexpr std::uint8_t kRoleComboBox = 13;
inline constexpr std::uint8_t kRoleTextField = 14;
inline constexpr std::uint8_t kRoleSearchField = 15;
inline constexpr std::uint8_t kRolePasswordField = 16;
inline constexpr std::uint8_t kRoleShortcutRecorder = 17;

// The resource operation an automation client starts to press a button; its
// payload is the button's id as a JSON string.
inline constexpr std::string_view kControlInvokeAction = "kalu.ui.control.invoke";
// The resource and action every clickable button publishes.
inline constexpr std::string_view kControlResourceKind = "kalu.control";
inline constexpr std::string_view kControlInvokeName = "invoke";

}  // namespace kalu_ui::widget::controls

namespace kalu_ui::widget::detail {

// Hover and press of a clickable area: a press inside arms it, a release
// inside while armed clicks, a release elsewhere disarms it. Leaving the
// area does not disarm by itself, so moving back in and releasing clicks.
struct PressTracker {
  bool hovered = false;
  bool pressed = false;

  enum class Outcome { None, Changed, Pressed, Clicked };
  Outcome handle(const Event& event, const Rect& rect);
  void reset() { hovered = pressed = false; }
};

}  // namespace kalu_ui::widget::detail
