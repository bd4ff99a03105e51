#include "vocabulary/accessibility_labels.h"

#include <cstdlib>
#include <system_error>

#include "app_launcher/manifest.h"
#include "app_launcher/registry.h"

namespace settings::panes::accessibility {
namespace {

using stored::ColorFilter;
using stored::ReaderVoice;
using stored::SwitchKeyPair;

constexpr std::string_view kCursorSizes[] = {"Default", "Large", "Larger", "Largest"};
constexpr std::uint32_t kCursorPixels[] = {24, 36, 48, 64};
// Indexed by the enumerations' values.
constexpr std::string_view kColorFilters[] = {"Off", "Grayscale", "Inverted",
                                              "Grayscale + inverted"};
constexpr std::string_view kMagnifiers[] = {"Off", "2\u00d7", "3\u00d7"};
constexpr std::string_view kSwitchKeys[] = {"F6 / F7", "F9 / F10", "1 / 2"};
constexpr std::string_view kSwitchScans[] = {"Manual", "1 second", "2 seconds", "3 seconds"};
constexpr std::string_view kReaderRates[] = {"Slow", "Default", "Fast", "Very fast"};
constexpr std::string_view kReaderVoices[] = {"System voice", "English (US)", "English (UK)",
                                              "German",       "French",       "Spanish"};

// The entry of `table` for an enumerator; a value out of range (a record cast
// from a stray byte) reads as the first entry.
template <typename Enum, std::size_t N>
std::string_view entry(const std::string_view (&table)[N], Enum value) {
  const auto index = static_cast<std::size_t>(value);
  return table[index < N ? index : 0];
}

template <std::size_t N>
std::optional<std::size_t> index_of(const std::string_view (&table)[N], std::string_view label) {
  for (std::size_t i = 0; i < N; ++i) {
    if (table[i] == label) return i;
  }
  return std::nullopt;
}

bool regular_file_on_path(std::string_view path_list, std::string_view program) {
  while (true) {
    const auto colon = path_list.find(':');
    const std::string_view dir = path_list.substr(0, colon);
    // An empty or relative entry would be read against the working
    // directory, which says nothing about what is installed.
    if (dir.starts_with('/')) {
      std::error_code error;
      if (std::filesystem::is_regular_file(std::filesystem::path(dir) / program, error)) {
        return true;
      }
    }
    if (colon == std::string_view::npos) return false;
    path_list.remove_prefix(colon + 1);
  }
}

}  // namespace

std::span<const std::string_view> cursor_size_labels() { return kCursorSizes; }
std::span<const std::string_view> color_filter_labels() { return kColorFilters; }
std::span<const std::string_view> magnifier_labels() { return kMagnifiers; }
std::span<const std::string_view> switch_keys_labels() { return kSwitchKeys; }
std::span<const std::string_view> switch_scan_labels() { return kSwitchScans; }
std::span<const std::string_view> reader_rate_labels() { return kReaderRates; }
std::span<const std::string_view> reader_voice_labels() { return kReaderVoices; }

std::string_view cursor_size_label(std::uint32_t pixels) {
  std::size_t best = 0;
  const auto distance = [pixels](std::uint32_t size) {
    return pixels > size ? pixels - size : size - pixels;
  };
  for (std::size_t i = 1; i < std::size(kCursorPixels); ++i) {
    if (distance(kCursorPixels[i]) < distance(kCursorPixels[best])) best = i;
  }
  return kCursorSizes[best];
}

std::string_view color_filter_label(ColorFilter filter) { return entry(kColorFilters, filter); }

std::string_view magnifier_label(std::uint8_t zoom) {
  if (zoom == 2) return kMagnifiers[1];
  if (zoom == 3) return kMagnifiers[2];
  return kMagnifiers[0];
}

std::string_view switch_keys_label(SwitchKeyPair pair) { return entry(kSwitchKeys, pair); }

std::string_view switch_scan_label(std::uint16_t milliseconds) {
  switch (milliseconds) {
    case 1000:
      return kSwitchScans[1];
    case 2000:
      return kSwitchScans[2];
    case 3000:
      return kSwitchScans[3];
    default:
      return kSwitchScans[0];
  }
}

std::string_view reader_rate_label(std::uint16_t rate) {
  if (rate < 76) return kReaderRates[0];
  if (rate < 116) return kReaderRates[1];
  if (rate < 161) return kReaderRates[2];
  return kReaderRates[3];
}

std::string_view reader_voice_label(ReaderVoice voice) { return entry(kReaderVoices, voice); }

std::optional<std::uint32_t> cursor_size_from_label(std::string_view label) {
  const auto index = index_of(kCursorSizes, label);
  if (!index) return std::nullopt;
  return kCursorPixels[*index];
}

std::optional<ColorFilter> color_filter_from_label(std::string_view label) {
  const auto index = index_of(kColorFilters, label);
  if (!index) return std::nullopt;
  return static_cast<ColorFilter>(*index);
}

std::optional<SwitchKeyPair> switch_keys_from_label(std::string_view label) {
  const auto index = index_of(kSwitchKeys, label);
  if (!index) return std::nullopt;
  return static_cast<SwitchKeyPair>(*index);
}

std::optional<ReaderVoice> reader_voice_from_label(std::string_view label) {
  const auto index = index_of(kReaderVoices, label);
  if (!index) return std::nullopt;
  return static_cast<ReaderVoice>(*index);
}

std::uint8_t magnifier_from_label(std::string_view label) {
  if (label == kMagnifiers[1]) return 2;
  if (label == kMagnifiers[2]) return 3;
  return 1;
}

std::uint16_t switch_scan_from_label(std::string_view label) {
  const auto index = index_of(kSwitchScans, label);
  return index ? static_cast<std::uint16_t>(*index * 1000) : 0;
}

std::uint16_t reader_rate_from_label(std::string_view label) {
  if (label == kReaderRates[0]) return 65;
  if (label == kReaderRates[2]) return 140;
  if (label == kReaderRates[3]) return 185;
  return 100;
}

std::optional<std::string_view> speech_engine_name() {
  const char* path = std::getenv("PATH");
  if (path == nullptr) return std::nullopt;
  if (regular_file_on_path(path, "speech-dispatcher")) return "Speech Dispatcher";
  if (regular_file_on_path(path, "espeak-ng")) return "eSpeak NG";
  return std::nullopt;
}

bool speech_engine_available() { return speech_engine_name().has_value(); }

bool on_screen_keyboard_installed() {
  auto installed = app_launcher::registry::list_installed();
  if (!installed) return false;
  for (const auto& package : *installed) {
    // A manifest's id is its package's, so only that entry is read.
    if (package.id != "kalu.osk") continue;
    auto manifest = app_launcher::manifest::read_manifest(package);
    if (!manifest) continue;
    if (manifest->app_id == "kalu.osk" && manifest->kind == "service" &&
        manifest->entrypoint.gui_bin) {
      return true;
    }
  }
  return false;
}

}  // namespace settings::panes::accessibility
