#include "widget_contract/event.h"

namespace kalu_ui {

std::optional<Point> Event::position() const {
  if (auto* e = as<PointerDown>()) return e->position;
  if (auto* e = as<PointerUp>()) return e->position;
  if (auto* e = as<PointerMove>()) return e->position;
  if (auto* e = as<Wheel>()) return e->position;
  return std::nullopt;
}

}  // namespace kalu_ui
