#pragma once

#include <cairo.h>

namespace kalu_ui {
class Scene;
namespace cairo_backend {

// Plays a scene into `cr`; every command's transform is applied before
// `base` (the device scale, or wherever the scene is embedded). Leaves the
// context's matrix changed: callers that continue drawing save and restore.
void play_scene(cairo_t* cr, const Scene& scene, const cairo_matrix_t& base);

}  // namespace cairo_backend
}  // namespace kalu_ui
