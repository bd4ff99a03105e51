#pragma once

#include "kalu_ui/result.h"

// The built-in display's backlight and light sensor (simulated device,
// section "display": "brightness" in percent). The outputs, their modes and
// the display configuration are prefs_store's (prefs_store/display.h). A
// fault injected as "display.<function>" answers its text.
namespace system_ops::display {

// The backlight level, 0 to 1.
kalu_ui::Result<float> get_brightness();
bool has_ambient_light_sensor();
// `percent` is clamped to 0..100.
kalu_ui::Status set_brightness(float percent);

}  // namespace system_ops::display
