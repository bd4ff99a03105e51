#pragma once

#include <string_view>

// How notification sounds reach the speakers: through the session's sound
// theme player, through the PipeWire session route, or not at all. The
// Notifications page shows it beside its sound switch; nothing is played.
//
// This stand-in reads it from the simulated device: the member
// "notification_sound" of the section "audio_runtime" is "sound-theme",
// "pipewire" or "none" (`simdev set audio_runtime.notification_sound none`).
// A device file from before the member existed counts as "sound-theme", what
// a fresh device holds; a device that cannot be read, or a fault injected as
// "audio_runtime.notification_sound", counts as no backend.
namespace media_kit::notification_sound {

enum class SoundBackend {
  SoundTheme,
  PipeWireRoute,
  Unavailable,
};

SoundBackend sound_backend();

// The backend's member text on the device ("sound-theme", "pipewire",
// "none").
std::string_view device_name(SoundBackend backend);

}  // namespace media_kit::notification_sound
