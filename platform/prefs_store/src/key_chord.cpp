#include "prefs_store/key_chord.h"

#include <fmt/format.h>

#include <array>
#include <optional>
#include <utility>

#include "text.h"

namespace prefs_store {
namespace {

// Canonical names in the order of ChordKey.
constexpr std::array<std::string_view, 87> kKeyNames = {
    // clang-format off
    "A", "B", "C", "D", "E", "F", "G", "H", "I", "J", "K", "L", "M", "N", "O", "P", "Q", "R",
    "S", "T", "U", "V", "W", "X", "Y", "Z",
    "0", "1", "2", "3", "4", "5", "6", "7", "8", "9",
    "F1", "F2", "F3", "F4", "F5", "F6", "F7", "F8", "F9", "F10", "F11", "F12",
    "F13", "F14", "F15", "F16", "F17", "F18", "F19", "F20", "F21", "F22", "F23", "F24",
    "Space", "Tab", "Return", "Escape", "Backspace", "Delete", "Insert", "Home", "End",
    "PageUp", "PageDown", "Left", "Right", "Up", "Down",
    "Minus", "Equal", "Comma", "Period", "Slash", "Backslash", "Semicolon", "Apostrophe",
    "BracketLeft", "BracketRight", "Grave", "Print",
    // clang-format on
};
static_assert(kKeyNames.size() == static_cast<std::size_t>(ChordKey::Print) + 1);

// Other spellings in use: key-symbol names and the characters themselves.
constexpr std::array<std::pair<std::string_view, ChordKey>, 18> kKeyAliases = {{
    {"Enter", ChordKey::Return},
    {"Esc", ChordKey::Escape},
    {"Page_Up", ChordKey::PageUp},
    {"Prior", ChordKey::PageUp},
    {"Page_Down", ChordKey::PageDown},
    {"Next", ChordKey::PageDown},
    {"Equals", ChordKey::Equal},
    {"-", ChordKey::Minus},
    {"=", ChordKey::Equal},
    {",", ChordKey::Comma},
    {".", ChordKey::Period},
    {"/", ChordKey::Slash},
    {"\\", ChordKey::Backslash},
    {";", ChordKey::Semicolon},
    {"'", ChordKey::Apostrophe},
    {"[", ChordKey::BracketLeft},
    {"]", ChordKey::BracketRight},
    {"`", ChordKey::Grave},
}};

// In display order.
constexpr std::array<std::pair<std::string_view, KeyChord::Modifier>, 4> kModifierNames = {{
    {"Super", KeyChord::kSuper},
    {"Ctrl", KeyChord::kCtrl},
    {"Alt", KeyChord::kAlt},
    {"Shift", KeyChord::kShift},
}};

char ascii_lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool same_name(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (ascii_lower(a[i]) != ascii_lower(b[i])) return false;
  }
  return true;
}

std::optional<KeyChord::Modifier> modifier_named(std::string_view name) {
  for (const auto& [text, modifier] : kModifierNames) {
    if (same_name(name, text)) return modifier;
  }
  if (same_name(name, "Control")) return KeyChord::kCtrl;
  return std::nullopt;
}

std::optional<ChordKey> key_named(std::string_view name) {
  for (std::size_t i = 0; i < kKeyNames.size(); ++i) {
    if (same_name(name, kKeyNames[i])) return static_cast<ChordKey>(i);
  }
  for (const auto& [text, key] : kKeyAliases) {
    if (same_name(name, text)) return key;
  }
  return std::nullopt;
}

// Keys that type nothing, so a chord of them alone leaves typing alone.
bool stands_alone(ChordKey key) {
  return (key >= ChordKey::F1 && key <= ChordKey::F24) || key == ChordKey::Print;
}

}  // namespace

std::string_view chord_key_name(ChordKey key) {
  const auto index = static_cast<std::size_t>(key);
  return index < kKeyNames.size() ? kKeyNames[index] : std::string_view();
}

kalu_ui::Result<KeyChord> KeyChord::parse(std::string_view text) {
  const auto refuse = [text](std::string_view why) {
    return kalu_ui::fail("\"{}\" is not a key chord: {}", text, why);
  };
  if (detail::trim_ascii_space(text).empty()) return refuse("it is empty");

  std::uint8_t modifiers = 0;
  std::string_view rest = text;
  for (;;) {
    const std::size_t plus = rest.find('+');
    const std::string_view part = detail::trim_ascii_space(rest.substr(0, plus));
    if (part.empty()) return refuse("a part between '+' signs is empty");
    if (plus == std::string_view::npos) {
      // The last part is the key.
      if (modifier_named(part)) return refuse("it has no key after its modifiers");
      const std::optional<ChordKey> key = key_named(part);
      if (!key) return refuse(fmt::format("\"{}\" is not a known key", part));
      if ((modifiers & (kSuper | kCtrl | kAlt)) == 0 && !stands_alone(*key)) {
        return refuse("a chord needs Super, Ctrl or Alt unless its key is a function key");
      }
      return KeyChord(modifiers, *key);
    }
    const std::optional<Modifier> modifier = modifier_named(part);
    if (!modifier) {
      return refuse(key_named(part) ? "only the last part may be a key"
                                    : fmt::format("\"{}\" is not a modifier", part));
    }
    if ((modifiers & *modifier) != 0) return refuse(fmt::format("it names {} twice", part));
    modifiers |= *modifier;
    rest.remove_prefix(plus + 1);
  }
}

std::string KeyChord::display() const {
  std::string text;
  for (const auto& [name, modifier] : kModifierNames) {
    if (has(modifier)) {
      text += name;
      text += '+';
    }
  }
  text += chord_key_name(key_);
  return text;
}

}  // namespace prefs_store
