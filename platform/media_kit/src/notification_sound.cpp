#include "media_kit/notification_sound.h"

#include <array>

#include "sim_device/state.h"

namespace media_kit::notification_sound {
namespace {

constexpr std::array<SoundBackend, 3> kBackends = {
    SoundBackend::SoundTheme, SoundBackend::PipeWireRoute, SoundBackend::Unavailable};

}  // namespace

std::string_view device_name(SoundBackend backend) {
  switch (backend) {
    case SoundBackend::SoundTheme:
      return "sound-theme";
    case SoundBackend::PipeWireRoute:
      return "pipewire";
    case SoundBackend::Unavailable:
      break;
  }
  return "none";
}

SoundBackend sound_backend() {
  auto state = sim_device::read_for("audio_runtime.notification_sound");
  if (!state) return SoundBackend::Unavailable;
  const auto& runtime = (**state)["audio_runtime"];
  if (!runtime.contains("notification_sound")) return SoundBackend::SoundTheme;
  const auto& member = runtime["notification_sound"];
  for (SoundBackend backend : kBackends) {
    if (member == device_name(backend)) return backend;
  }
  return SoundBackend::Unavailable;
}

}  // namespace media_kit::notification_sound
