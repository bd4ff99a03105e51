#include "system_ops/display.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "access.h"

namespace system_ops::display {

using detail::Json;
using kalu_ui::fail;

namespace {
bool has_internal_output(const Json& display) {
  return std::any_of(display["outputs"].begin(), display["outputs"].end(),
                     [](const Json& o) { return o["internal"] == true; });
}
}  // namespace

kalu_ui::Result<float> get_brightness() {
  auto display = device::section("display.get_brightness", "display");
  if (!display) return fail(display.error());
  if (!has_internal_output(*display)) return fail("this device has no built-in display backlight");
  return static_cast<float>((*display)["brightness"].get<double>() / 100.0);
}

bool has_ambient_light_sensor() {
  auto display = device::section("display.has_ambient_light_sensor", "display");
  return display && (*display)["ambient_light_sensor"].get<bool>();
}

kalu_ui::Status set_brightness(float percent) {
  if (!std::isfinite(percent)) return fail("brightness must be a number from 0 to 100");
  return device::update("display.set_brightness", [&](Json& state) -> kalu_ui::Status {
    Json& display = state["display"];
    if (!has_internal_output(display)) return fail("this device has no built-in display backlight");
    // A whole percentage is kept as a whole number, as the device reports it.
    const double level = std::clamp(static_cast<double>(percent), 0.0, 100.0);
    display["brightness"] =
        level == std::floor(level) ? Json(static_cast<std::int64_t>(level)) : Json(level);
    return {};
  });
}

}  // namespace system_ops::display
