#pragma once

#include <array>
#include <cstdint>

#include "kalu_ui/widget/support.h"

namespace kalu_ui::widget {

// The spacing scale: steps 0 to 8.
inline constexpr std::array<float, 9> kSpacingScale = {0.0f,  4.0f,  8.0f,  12.0f, 16.0f,
                                                       24.0f, 32.0f, 48.0f, 64.0f};

// The length of a step of the spacing scale; steps past the end take the
// largest.
float spacing(std::uint8_t step);

// Empty space: flexible (it takes the free space of its line, pushing what
// follows to the end) or a fixed step of the spacing scale along the line.
// It draws nothing and never asks for a redraw.
//   boxed(Spacer())            boxed(Spacer::step(3))
class Spacer : public Leaf {
 public:
  static constexpr std::string_view kTypeName = type_names::kSpacer;

  // Flexible.
  Spacer() = default;
  static Spacer step(std::uint8_t step);
  static Spacer fixed(float length);

  bool is_flexible() const { return !length_; }
  // The fixed length along the line; none when flexible.
  std::optional<float> length() const { return length_; }

  std::string_view type_name() const override { return kTypeName; }
  void apply_layout(const layout::LayoutTree& tree, layout::NodeId node, double origin_x,
                    double origin_y) override;
  void draw(Scene&, const Affine&, text::TextRenderer&, const Theme&, DrawContext&) override {}
  bool needs_redraw() const override { return false; }
  bool is_layout_dirty() const override { return !laid_out_; }

 protected:
  layout::Style leaf_style() const override;

 private:
  std::optional<float> length_;
  bool laid_out_ = false;
};

}  // namespace kalu_ui::widget
