#pragma once

// The Sound page: the "Output", "Input", "Device capabilities",
// "Applications" and "Recording" cards, built from the pane's model each time
// the pane lays out. It reads, never changes: every control shows the value
// under its control id of the pane's document and is bound to its action of
// the Sound section of the automation surface (actions/sound_section.h), so
// a change travels as an audio operation and comes back through the pane's
// sync. The two device dropdowns are bound when the section offers their
// choice; the per-stream and per-device controls always.

#include <optional>
#include <string>

#include "media_kit/audio.h"
#include "media_kit/runtime.h"
#include "panes/audio/tool.h"
#include "widget_contract/widget.h"

namespace settings::panes::audio {

// What the page shows. The pointers outlive the build.
struct PageModel {
  const WpctlStatus* status = nullptr;
  const media_kit::AudioGraph* graph = nullptr;
  media_kit::RuntimeCapabilities capabilities;
  std::optional<std::string> status_text;
  bool diagnostics_shown = false;
  bool meter_running = false;
  float meter_level = 0.0f;
  // Where the sliders start until the document gives them their values.
  float output_volume = 0.5f;
  float balance = 0.5f;
  float input_level = kFallbackInputLevel;
};

// "Input activity: 37%" while the meter runs, else "Microphone test records
// no audio".
std::string meter_text(bool running, float level);

// The "Applications" card (playback streams) or the "Recording" card: per
// stream its route dropdown, volume slider and mute toggle, or a caption
// when there are none.
kalu_ui::WidgetBox stream_routes_section(const media_kit::AudioGraph& graph, bool playback);

kalu_ui::WidgetBox build_page(const PageModel& model);

}  // namespace settings::panes::audio
