#include "panes/mouse_keyboard/model.h"

#include <fmt/format.h>

#include <algorithm>

namespace settings::panes::mouse_keyboard {

KeyRepeat key_repeat(const stored::InputPrefs& input) {
  if (!input.key_repeat_delay_ms || !input.key_repeat_rate_hz) {
    return {input.key_repeat, std::string(kRepeatUnknown)};
  }
  const std::uint32_t rate = *input.key_repeat_rate_hz;
  // Unsigned: 10 keys per second and fewer stand at the left end.
  const std::uint32_t above = rate > 10 ? rate - 10 : 0;
  const double value = std::min(1.0, static_cast<double>(above) / 40.0);
  if (rate == 0) return {value, std::string(kRepeatOff)};
  return {value,
          fmt::format("{} keys per second · starts after {} ms", rate, *input.key_repeat_delay_ms)};
}

std::string source_label(std::span<const InputSource> sources, std::string_view id) {
  return known_source_label(sources, id).value_or(std::string(id));
}

}  // namespace settings::panes::mouse_keyboard
