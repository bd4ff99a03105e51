#pragma once

#include <pango/pangocairo.h>

#include "kalu_ui/text.h"

namespace kalu_ui::text {

// What a TextLayout holds: the Pango layout (which keeps its context and
// font map alive), and what was measured from it.
struct TextLayout::Impl {
  std::string text;
  TextStyle style;
  TextMetrics metrics;
  PangoLayout* layout = nullptr;

  Impl() = default;
  Impl(const Impl&) = delete;
  Impl& operator=(const Impl&) = delete;
  ~Impl() {
    if (layout != nullptr) g_object_unref(layout);
  }
};

// The cairo font options every layout is shaped and drawn with: no hinting,
// unhinted metrics, grey antialiasing. Hinting would make glyph advances
// depend on the device scale, so measured widths would not match what is
// drawn at another scale factor.
cairo_font_options_t* new_font_options();

}  // namespace kalu_ui::text
