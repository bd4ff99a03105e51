#pragma once

// The Accessibility pane's words: for every dropdown of its page the labels
// in option order, the label of a stored value and the value of a label; and
// the two facts of the device that decide what the page and the action
// surface's Accessibility section offer (a speech engine, the on-screen
// keyboard). The pane folder and the action surface both read them from
// here, so a label a client picks is one the pane maps to a value. The label
// functions are pure; every text lives for the whole program.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string_view>

#include "stored/sections.h"

namespace settings::panes::accessibility {

// Option lists, in the page's order.
std::span<const std::string_view> cursor_size_labels();   // "Default" ... "Largest"
std::span<const std::string_view> color_filter_labels();  // "Off" ... "Grayscale + inverted"
std::span<const std::string_view> magnifier_labels();     // "Off", "2×", "3×"
std::span<const std::string_view> switch_keys_labels();   // "F6 / F7", "F9 / F10", "1 / 2"
std::span<const std::string_view> switch_scan_labels();   // "Manual" ... "3 seconds"
std::span<const std::string_view> reader_rate_labels();   // "Slow" ... "Very fast"
std::span<const std::string_view> reader_voice_labels();  // "System voice" ... "Spanish"

// Value -> label.
// The nearest of "Default" 24, "Large" 36, "Larger" 48, "Largest" 64 (a tie
// goes to the smaller).
std::string_view cursor_size_label(std::uint32_t pixels);
std::string_view color_filter_label(stored::ColorFilter filter);
// 2 "2×", 3 "3×", anything else "Off".
std::string_view magnifier_label(std::uint8_t zoom);
std::string_view switch_keys_label(stored::SwitchKeyPair pair);
// 1000, 2000 and 3000 ms are their seconds; anything else "Manual".
std::string_view switch_scan_label(std::uint16_t milliseconds);
// Below 76 "Slow", below 116 "Default", below 161 "Fast", else "Very fast".
std::string_view reader_rate_label(std::uint16_t rate);
std::string_view reader_voice_label(stored::ReaderVoice voice);

// Label -> value: exactly one of the labels above, else none (no change).
std::optional<std::uint32_t> cursor_size_from_label(std::string_view label);
std::optional<stored::ColorFilter> color_filter_from_label(std::string_view label);
std::optional<stored::SwitchKeyPair> switch_keys_from_label(std::string_view label);
std::optional<stored::ReaderVoice> reader_voice_from_label(std::string_view label);
// These three map every text: "2×" 2, "3×" 3, else 1; the seconds, else 0
// (manual); "Slow" 65, "Fast" 140, "Very fast" 185, else 100.
std::uint8_t magnifier_from_label(std::string_view label);
std::uint16_t switch_scan_from_label(std::string_view label);
std::uint16_t reader_rate_from_label(std::string_view label);

// "Speech Dispatcher" when a regular file "speech-dispatcher" is in a folder
// of PATH, else "eSpeak NG" for "espeak-ng", else none (also without PATH).
// The execute permission plays no part.
std::optional<std::string_view> speech_engine_name();
bool speech_engine_available();

// Whether an installed application is the on-screen keyboard: application id
// "kalu.osk", package kind "service" and a graphical program. Reads the
// installed applications' entries (cached until a folder changes).
bool on_screen_keyboard_installed();

}  // namespace settings::panes::accessibility
