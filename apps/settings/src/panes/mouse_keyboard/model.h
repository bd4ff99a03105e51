#pragma once

// What the Mouse & Keyboard page shows of the stored input section, as plain
// functions of it: the key-repeat slider and its description, and the label
// a source id is listed under. Nothing here reads the system.

#include <span>
#include <string>
#include <string_view>

#include "stored/sections.h"
#include "vocabulary/input_sources.h"

namespace settings::panes::mouse_keyboard {

inline constexpr std::string_view kRepeatOff = "Repeat is off — move the slider to turn it on";
inline constexpr std::string_view kRepeatUnknown = "Faster repeat starts sooner";

// The key-repeat slider's position (0..1) and the text under it.
struct KeyRepeat {
  double value = 0.0;
  std::string description;
  bool operator==(const KeyRepeat&) const = default;
};

// With both the delay and the rate stored: the rate mapped from 10..50 keys
// per second onto 0..1, and "{rate} keys per second · starts after {delay}
// ms" (or the repeat-off text at rate 0). Otherwise the stored key_repeat
// and kRepeatUnknown.
KeyRepeat key_repeat(const stored::InputPrefs& input);

// The label of the catalogue entry whose id is `id` exactly; `id` itself
// when the catalogue has none.
std::string source_label(std::span<const InputSource> sources, std::string_view id);

}  // namespace settings::panes::mouse_keyboard
