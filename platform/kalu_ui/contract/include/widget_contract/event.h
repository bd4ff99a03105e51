#pragma once

#include <concepts>
#include <cstdint>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>
#include <variant>

#include "kalu_ui/geometry.h"

// Input as the frame loop hands it to the widget tree. Positions are logical
// pixels in window coordinates: the launcher has already divided physical
// positions by the scale factor, so widgets compare them with their rect.
namespace kalu_ui {

class Widget;

struct Modifiers {
  bool shift = false;
  bool ctrl = false;
  bool alt = false;
  bool super = false;
  bool any() const { return shift || ctrl || alt || super; }
  friend bool operator==(const Modifiers&, const Modifiers&) = default;
};

enum class PointerButton : std::uint8_t { Primary, Secondary, Middle, Other };

enum class Key : std::uint8_t {
  Unknown,
  Enter,
  Space,
  Tab,
  Escape,
  Backspace,
  Delete,
  Insert,
  Left,
  Right,
  Up,
  Down,
  Home,
  End,
  PageUp,
  PageDown,
  // clang-format off
  A, B, C, D, E, F, G, H, I, J, K, L, M, N, O, P, Q, R, S, T, U, V, W, X, Y, Z,
  Digit0, Digit1, Digit2, Digit3, Digit4, Digit5, Digit6, Digit7, Digit8, Digit9,
  F1, F2, F3, F4, F5, F6, F7, F8, F9, F10, F11, F12,
  // clang-format on
  Minus,
  Equals,
  Comma,
  Period,
  Slash,
  Backslash,
  Semicolon,
  Apostrophe,
  BracketLeft,
  BracketRight,
  Grave,
  Shift,
  Control,
  Alt,
  Super,
};

struct PointerDown {
  Point position;
  PointerButton button = PointerButton::Primary;
  Modifiers modifiers;
  std::uint8_t click_count = 1;
};
struct PointerUp {
  Point position;
  PointerButton button = PointerButton::Primary;
  Modifiers modifiers;
};
struct PointerMove {
  Point position;
  Modifiers modifiers;
};
// The pointer left the window.
struct PointerLeave {};
// A scroll: delta in logical pixels, positive y scrolls the content up.
struct Wheel {
  Point position;
  Vec2 delta;
  Modifiers modifiers;
};
struct KeyDown {
  Key key = Key::Unknown;
  Modifiers modifiers;
  bool repeat = false;
};
struct KeyUp {
  Key key = Key::Unknown;
  Modifiers modifiers;
};
// Committed text, UTF-8 (typed characters and finished compositions).
struct TextInput {
  std::string text;
};
// The composition an input method shows before committing; the cursor is a
// byte range within the text, when the method gives one.
struct ImePreedit {
  std::string text;
  std::optional<std::pair<std::size_t, std::size_t>> cursor;
};
// The window gained or lost keyboard focus.
struct FocusGained {};
struct FocusLost {};
struct WindowResized {
  Size size;
};
struct ScaleChanged {
  double scale_factor = 1.0;
};

struct Event {
  using Kind =
      std::variant<PointerDown, PointerUp, PointerMove, PointerLeave, Wheel, KeyDown, KeyUp,
                   TextInput, ImePreedit, FocusGained, FocusLost, WindowResized, ScaleChanged>;
  Kind kind;

  template <typename T>
  requires(!std::same_as<std::remove_cvref_t<T>, Event> && std::constructible_from<Kind, T>)
      Event(T&& value)
      : kind(std::forward<T>(value)) {}

  template <typename T>
  const T* as() const {
    return std::get_if<T>(&kind);
  }
  template <typename T>
  bool is() const {
    return std::holds_alternative<T>(kind);
  }
  // The pointer position of pointer and wheel events.
  std::optional<Point> position() const;
};

// The window's clipboard, reached from event handling (copy, cut, paste).
class Clipboard {
 public:
  virtual ~Clipboard() = default;
  virtual std::optional<std::string> read_text() = 0;
  virtual void write_text(std::string text) = 0;
};

// What handle_event can tell the frame loop, besides changing itself.
struct EventContext {
  // Physical pixels per logical pixel, for widgets that snap to pixels.
  double scale_factor = 1.0;
  // The window's clipboard; absent when the window has none (headless).
  Clipboard* clipboard = nullptr;

  // Set when the widget consumed the event or changed its state because of
  // it; the loop then redraws, and panes count it as the user's interaction.
  bool handled = false;
  // The widget that asks for keyboard focus; the loop calls set_focus(true)
  // on it (and set_focus(false) on the previous holder) after dispatch.
  Widget* focus_request = nullptr;
  // The widget that asks to receive pointer events until the button is
  // released, even outside its rectangle.
  Widget* pointer_capture_request = nullptr;
  bool release_pointer_capture = false;

  void set_handled() { handled = true; }
  void request_focus(Widget& widget) { focus_request = &widget; }
  void capture_pointer(Widget& widget) { pointer_capture_request = &widget; }
};

}  // namespace kalu_ui
