#pragma once

#include <cstdint>
#include <optional>

#include "kalu_ui/color.h"
#include "kalu_ui/icon.h"
#include "kalu_ui/widget/support.h"

namespace kalu_ui::widget {

// One glyph of the toolkit's icon set in a square of a fixed size, in the
// theme's foreground colour unless given one.
//   boxed(IconWidget(icon::kDisplay, 34.0f, 1.5))
class IconWidget : public Leaf {
 public:
  static constexpr std::string_view kTypeName = type_names::kIconWidget;
  static constexpr float kDefaultSize = 18.0f;

  explicit IconWidget(std::uint8_t icon, float size = kDefaultSize,
                      double weight = Icon::kDefaultWeight);

  IconWidget& with_color(Color color) &;
  KALU_UI_RVALUE_BUILDER(IconWidget, with_color)

  std::uint8_t icon() const { return icon_; }
  float size() const { return size_; }
  double weight() const { return weight_; }

  std::string_view type_name() const override { return kTypeName; }
  void draw(Scene& scene, const Affine& transform, text::TextRenderer& renderer, const Theme& theme,
            DrawContext& context) override;
  bool is_layout_dirty() const override { return is_zero_rect(rect_); }

 protected:
  layout::Style leaf_style() const override;

 private:
  std::uint8_t icon_;
  float size_;
  double weight_;
  std::optional<Color> color_;
};

}  // namespace kalu_ui::widget
