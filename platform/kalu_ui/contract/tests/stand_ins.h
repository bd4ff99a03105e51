#pragma once

#include <cstddef>

#include "widget_contract/widget.h"

namespace kalu_ui::testing {

// The scene, renderer and theme are only passed along by the contract, never
// used: storage of the right alignment stands in for them.
inline Scene& scene() {
  alignas(std::max_align_t) static unsigned char storage[64];
  return *reinterpret_cast<Scene*>(storage);
}
inline text::TextRenderer& renderer() {
  alignas(std::max_align_t) static unsigned char storage[64];
  return *reinterpret_cast<text::TextRenderer*>(storage);
}
inline const Theme& theme() {
  alignas(std::max_align_t) static unsigned char storage[64];
  return *reinterpret_cast<const Theme*>(storage);
}

}  // namespace kalu_ui::testing
