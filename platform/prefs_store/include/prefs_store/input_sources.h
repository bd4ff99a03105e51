#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "kalu_ui/result.h"

// Keyboard input sources and the input settings handed to the session.
namespace prefs_store {

// One keyboard input source: an XKB layout, optionally with a variant.
class KeyboardInputSource {
 public:
  // Accepts "layout", "layout:variant" and the XKB form "layout(variant)",
  // with surrounding white space ignored. Layout and variant names are
  // non-empty runs of ASCII letters, digits, '_', '-' and '.', at most 64
  // bytes each. Anything else is refused with a message.
  static kalu_ui::Result<KeyboardInputSource> parse(std::string_view text);

  const std::string& layout() const { return layout_; }
  const std::optional<std::string>& variant() const { return variant_; }

  // The canonical id: "layout" or "layout:variant".
  std::string id() const;

  bool operator==(const KeyboardInputSource&) const = default;

 private:
  std::string layout_;
  std::optional<std::string> variant_;
};

// The most input sources that can be active at once (the XKB group limit,
// which is also what the keyboard page offers).
inline constexpr std::size_t kMaxInputSources = 4;

// The fallback source when nothing usable is configured.
inline constexpr std::string_view kDefaultInputSource = "us";

// The input settings as the session applies them.
struct RichInputConfig {
  bool natural_scroll = false;
  bool touchpad_natural_scroll = true;
  bool mouse_natural_scroll = false;
  bool tap_to_click = true;
  bool tap_drag = true;
  bool disable_while_typing = true;
  bool middle_emulation = true;
  bool left_handed = false;
  bool touchpad_gestures = true;
  double pointer_speed = 0.5;
  std::optional<double> touchpad_pointer_speed;
  std::optional<double> mouse_pointer_speed;
  double key_repeat = 0.5;
  std::optional<std::uint32_t> key_repeat_delay_ms;
  std::optional<std::uint32_t> key_repeat_rate_hz;
  // Adaptive pointer acceleration; false is the flat profile.
  bool adaptive_acceleration = true;
  // The active source id and the configured sources, in order.
  std::string keyboard_layout = std::string(kDefaultInputSource);
  std::vector<std::string> keyboard_layouts{std::string(kDefaultInputSource)};
  std::optional<std::string> compose_key;
  std::optional<std::string> pen_output;

  // Repairs the source fields so the session always gets a usable set; no
  // other field changes:
  //  1. Each source of `keyboard_layouts` is parsed (KeyboardInputSource) and
  //     kept in its canonical id; empty and unparsable sources are dropped,
  //     and so is every repeat of a source already kept (first one wins).
  //  2. Only the first kMaxInputSources remain.
  //  3. The active source, parsed the same way, stays active. When it is
  //     empty or unparsable, the first source of the list becomes active, or
  //     "us" when the list is empty.
  //  4. The active source is always in the list: when missing it is appended,
  //     or, with the list full, it takes the last place. An empty list thus
  //     becomes the active source alone.
  void normalise_sources();
};

}  // namespace prefs_store
