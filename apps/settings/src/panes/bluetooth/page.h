#pragma once

// The Bluetooth page, built afresh from the pane's state whenever the pane
// lays out: one card "Bluetooth" with the power toggle beside its title,
// the discovery and refresh buttons, the status line, and one block per
// device (its row, its state caption and, for the one device expanded, its
// details). Every control writes under the document key the pane's
// handlers read.

#include <optional>
#include <span>
#include <string>

#include "kalu_actions/binding.h"
#include "lib/ui_rows.h"
#include "panes/bluetooth/model.h"

namespace settings::panes::bluetooth {

inline constexpr std::string_view kLookingText = "Looking for nearby devices…";
inline constexpr std::string_view kNoDevicesText =
    "No devices found. Put a device in pairing mode, then start discovery.";
inline constexpr std::string_view kTrustCaption =
    "A trusted device may use previously authorised services without another confirmation. "
    "This does not force reconnection.";
inline constexpr std::string_view kAudioCaption =
    "Sound exposes profiles and codecs only when PipeWire reports selectable capabilities.";

struct PageState {
  std::span<const BluetoothDevice> devices;
  // The devices' keys, in list order.
  std::span<const std::string> keys;
  const std::optional<std::string>& status;
  const std::optional<std::string>& expanded_device;
  const std::optional<std::string>& forget_confirmation;
  const std::optional<std::string>& pairing_device;
  bool scanning = false;
  // The power toggle's action; none leaves the toggle unbound.
  std::optional<kalu_actions::ActionBinding> power_binding;
};

ui_rows::WidgetBox build_page(const PageState& state);

}  // namespace settings::panes::bluetooth
