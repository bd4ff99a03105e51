#pragma once

// The Displays pane's two worker threads. The probe reads the backlight level
// and whether an ambient-light sensor exists, sends the pair once and ends.
// The brightness worker lives as long as the pane: it takes percentages from
// its request channel one at a time, in arrival order, hands each to the
// dispatcher and sends back the level reached or the error; it ends when the
// pane drops the request channel. Neither is joined, and each owns only its
// channel ends and a share of what it calls.

#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "kalu_ui/channel.h"
#include "panes/display/backend.h"
#include "system_ops/dispatcher.h"

namespace settings::panes::display {

inline constexpr std::string_view kProbeThread = "settings-display-probe";
inline constexpr std::string_view kBrightnessThread = "settings-brightness-apply";

// The level shown when the backlight cannot be read.
inline constexpr float kUnknownLevel = 0.5f;

struct ProbeResult {
  float level = kUnknownLevel;
  bool light_sensor = false;
};

// A brightness change: the level reached (percent / 100), or the error.
struct BrightnessResult {
  std::optional<float> level;
  std::string error;
};

// Starts the probe. When the thread cannot start, the receiver reports the
// channel closed.
kalu_ui::channel::Receiver<ProbeResult> start_probe(std::shared_ptr<DisplayBackend> backend);

struct BrightnessWorker {
  kalu_ui::channel::Sender<float> requests;
  kalu_ui::channel::Receiver<BrightnessResult> results;
};

// Starts the brightness worker. When the thread cannot start, sending a
// request fails.
BrightnessWorker start_brightness_worker(std::shared_ptr<system_ops::Dispatcher> dispatcher);

}  // namespace settings::panes::display
