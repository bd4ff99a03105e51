#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "kalu_ui/result.h"

// A key chord of a desktop shortcut: some of the modifiers Super, Ctrl, Alt
// and Shift, then exactly one key. Its text is the modifiers in that order and
// the key, joined by '+' ("Super+Shift+Slash"); that canonical text is what
// `display` gives and what the shortcut file stores.
//
// Parsing is forgiving about spelling and strict about meaning: names match
// in any letter case, the modifiers may come in any order, common key-symbol
// names are accepted ("slash", "Page_Up", "BackSpace", "Return", "equal", the
// way the shortcut recorder writes them), and surrounding white space of the
// text and of each part is ignored. A text is refused when it is empty, names
// a modifier twice, has no key, more than one key or a key that is not in the
// table, or when the chord would swallow ordinary typing: a chord needs Super,
// Ctrl or Alt unless its key is a function key (F1 to F24) or Print.
namespace prefs_store {

// The keys a chord may end with.
enum class ChordKey : std::uint8_t {
  // clang-format off
  A, B, C, D, E, F, G, H, I, J, K, L, M, N, O, P, Q, R, S, T, U, V, W, X, Y, Z,
  Digit0, Digit1, Digit2, Digit3, Digit4, Digit5, Digit6, Digit7, Digit8, Digit9,
  F1, F2, F3, F4, F5, F6, F7, F8, F9, F10, F11, F12,
  F13, F14, F15, F16, F17, F18, F19, F20, F21, F22, F23, F24,
  Space, Tab, Return, Escape, Backspace, Delete, Insert, Home, End, PageUp, PageDown,
  Left, Right, Up, Down,
  Minus, Equal, Comma, Period, Slash, Backslash, Semicolon, Apostrophe,
  BracketLeft, BracketRight, Grave, Print,
  // clang-format on
};

// The canonical name of a key ("A", "0", "F5", "PageUp", "Slash").
std::string_view chord_key_name(ChordKey key);

class KeyChord {
 public:
  enum Modifier : std::uint8_t { kSuper = 1, kCtrl = 2, kAlt = 4, kShift = 8 };

  // `modifiers` is a set of Modifier bits; other bits are dropped. No check of
  // the typing rule: this is for tables written in code, texts go through
  // `parse`.
  constexpr KeyChord(std::uint8_t modifiers, ChordKey key)
      : modifiers_(modifiers & (kSuper | kCtrl | kAlt | kShift)), key_(key) {}

  // The chord a text names, or a message saying why it is not one.
  static kalu_ui::Result<KeyChord> parse(std::string_view text);

  // The canonical text: "Super+Ctrl+Alt+Shift+Key" with the modifiers held.
  std::string display() const;

  std::uint8_t modifiers() const { return modifiers_; }
  bool has(Modifier modifier) const { return (modifiers_ & modifier) != 0; }
  ChordKey key() const { return key_; }

  bool operator==(const KeyChord&) const = default;

 private:
  std::uint8_t modifiers_;
  ChordKey key_;
};

}  // namespace prefs_store
