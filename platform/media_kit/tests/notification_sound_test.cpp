// The notification sound backend as the simulated device reports it.

#include "media_kit/notification_sound.h"

#include <gtest/gtest.h>

#include "sim_device/state.h"

namespace media_kit::notification_sound {
namespace {

TEST(NotificationSoundTest, TheDeviceSaysWhichBackendPlaysThem) {
  sim_device::ScopedDeviceState device;
  EXPECT_EQ(sound_backend(), SoundBackend::SoundTheme);  // a fresh device
  for (SoundBackend backend :
       {SoundBackend::PipeWireRoute, SoundBackend::Unavailable, SoundBackend::SoundTheme}) {
    ASSERT_TRUE(sim_device::update("test.set", [&](sim_device::Json& state) -> kalu_ui::Status {
      state["audio_runtime"]["notification_sound"] = std::string(device_name(backend));
      return {};
    }));
    EXPECT_EQ(sound_backend(), backend) << device_name(backend);
  }
  // A device file from before the member existed.
  ASSERT_TRUE(sim_device::update("test.drop", [](sim_device::Json& state) -> kalu_ui::Status {
    state["audio_runtime"].erase("notification_sound");
    return {};
  }));
  EXPECT_EQ(sound_backend(), SoundBackend::SoundTheme);
}

TEST(NotificationSoundTest, AFaultMeansNoBackend) {
  sim_device::ScopedDeviceState device;
  ASSERT_TRUE(sim_device::update("test.fault", [](sim_device::Json& state) -> kalu_ui::Status {
    state["faults"]["audio_runtime.notification_sound"] = "sound server gone";
    return {};
  }));
  EXPECT_EQ(sound_backend(), SoundBackend::Unavailable);
}

}  // namespace
}  // namespace media_kit::notification_sound
