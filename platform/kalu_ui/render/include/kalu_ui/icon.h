#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "kalu_ui/color.h"
#include "kalu_ui/geometry.h"

namespace kalu_ui {

class Scene;

// The toolkit's icon set: vector glyphs addressed by an 8-bit id, drawn as
// strokes (and a few small fills) on a 24-unit grid scaled to the target
// square. They are meant to read at 18 and at 34 pixels.
//
//   Icon::draw(scene, icon::kNetwork, Rect{x, y, x + 18, y + 18}, theme.foreground, t);
namespace icon {
inline constexpr std::uint8_t kAppsFiles = 0;
inline constexpr std::uint8_t kKeyboard = 2;
inline constexpr std::uint8_t kShortcuts = 3;
inline constexpr std::uint8_t kUsers = 4;
inline constexpr std::uint8_t kPrinter = 5;
inline constexpr std::uint8_t kGlobe = 6;
inline constexpr std::uint8_t kNetwork = 7;
inline constexpr std::uint8_t kBluetooth = 8;
inline constexpr std::uint8_t kDisplay = 9;
inline constexpr std::uint8_t kPower = 10;
inline constexpr std::uint8_t kShield = 11;
inline constexpr std::uint8_t kStorage = 56;
inline constexpr std::uint8_t kContrast = 66;
inline constexpr std::uint8_t kAccessibility = 67;
inline constexpr std::uint8_t kInfo = 70;
inline constexpr std::uint8_t kSync = 71;
inline constexpr std::uint8_t kBell = 73;
inline constexpr std::uint8_t kUpdates = 76;
inline constexpr std::uint8_t kClock = 85;
inline constexpr std::uint8_t kSpeaker = 89;
// Glyphs that pages place inside text by code point (see Icon::for_codepoint).
inline constexpr std::uint8_t kWifiSignal0 = 200;
inline constexpr std::uint8_t kWifiSignal1 = 201;
inline constexpr std::uint8_t kWifiSignal2 = 202;
inline constexpr std::uint8_t kWifiSignal3 = 203;
inline constexpr std::uint8_t kWifiUnknown = 204;
inline constexpr std::uint8_t kLockClosed = 205;
inline constexpr std::uint8_t kLockOpen = 206;
}  // namespace icon

class Icon {
 public:
  // The default stroke weight: the line width in logical pixels at 18 pixels,
  // growing in proportion with the icon.
  static constexpr double kDefaultWeight = 1.5;

  // Draws icon `id` centred in the largest square inside `rect`, in `color`.
  // `weight` is as above (non-finite or non-positive: the default). An id
  // outside the set draws a neutral placeholder (a rounded square outline).
  static void draw(Scene& scene, std::uint8_t id, const Rect& rect, Color color,
                   const Affine& transform = Affine::identity(), double weight = kDefaultWeight);

  static bool is_known(std::uint8_t id);
  // Every id the set draws, ascending.
  static std::span<const std::uint8_t> known_ids();

  // The icon standing for a private-use code point of the icon font that
  // pages embed in text: Wi-Fi signal 0 U+F092B, 1 U+F091F, 2 U+F0922,
  // 3 U+F0925, unknown U+F0928; secured U+F033E, open U+F033F.
  static std::optional<std::uint8_t> for_codepoint(char32_t cp);
};

}  // namespace kalu_ui
