#pragma once

#include "kalu_ui/result.h"

// The output volume and mute of the device's default audio output, as the
// dispatcher changes them (media_kit holds the audio graph itself).
namespace system_ops::audio {

struct VolumeState {
  float volume = 0.5f;  // 0 to 1
  bool muted = false;
};

kalu_ui::Result<VolumeState> get_volume_state();
kalu_ui::Status set_volume(float percent);  // clamped to 0..100
kalu_ui::Status set_mute(bool muted);
kalu_ui::Status toggle_mute();

}  // namespace system_ops::audio
