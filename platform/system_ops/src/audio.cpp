#include "system_ops/audio.h"

#include "media_kit/audio.h"

namespace system_ops::audio {

kalu_ui::Result<VolumeState> get_volume_state() {
  auto state = media_kit::volume_state();
  if (!state) return kalu_ui::fail(state.error());
  return VolumeState{state->volume, state->muted};
}

kalu_ui::Status set_volume(float percent) { return media_kit::set_output_volume(percent / 100.0f); }

kalu_ui::Status set_mute(bool muted) { return media_kit::set_output_muted(muted); }

kalu_ui::Status toggle_mute() {
  auto state = media_kit::volume_state();
  if (!state) return kalu_ui::fail(state.error());
  return media_kit::set_output_muted(!state->muted);
}

}  // namespace system_ops::audio
