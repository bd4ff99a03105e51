#pragma once

#include <cstdint>
#include <string>
#include <variant>

#include "kalu_ui/color.h"
#include "kalu_ui/theme.h"
#include "kalu_ui/widget/support.h"

namespace kalu_ui::widget {

// A small pill with a short status text, in one of the theme's badge tones
// (kToneSuccess, kToneInfo, kToneNeutral, kToneWarning, kToneError of
// kalu_ui/theme.h) or in a colour of its own. The pill keeps its measured
// size at the left of its node, centred vertically.
//   boxed(Badge::with_tone("Online", kToneSuccess))
class Badge : public Leaf {
 public:
  static constexpr std::string_view kTypeName = type_names::kBadge;
  static constexpr float kTextSize = 11.0f;
  static constexpr float kPaddingX = 8.0f;
  static constexpr float kPaddingY = 3.0f;

  static Badge with_tone(std::string text, std::uint8_t tone);
  static Badge with_color(std::string text, Color color);

  const std::string& text() const { return text_; }
  void set_text(std::string text);
  // The tone, or none for a custom colour.
  std::optional<std::uint8_t> tone() const;
  // The pill's colours under `theme`: a custom colour draws its text in the
  // colour on a faint fill of it, moved just far enough from the fill to
  // keep kTextContrast on a card and on the window.
  BadgeColors colors(const Theme& theme) const;
  // Where the pill was laid out.
  Rect pill_rect() const { return pill_rect_; }

  std::string_view type_name() const override { return kTypeName; }
  layout::LayoutSize measure(layout::KnownDimensions known, layout::AvailableSize available,
                             text::TextRenderer& renderer) override;
  void apply_layout(const layout::LayoutTree& tree, layout::NodeId node, double origin_x,
                    double origin_y) override;
  void draw(Scene& scene, const Affine& transform, text::TextRenderer& renderer, const Theme& theme,
            DrawContext& context) override;
  std::optional<AccessibilityNode> accessibility() const override;
  bool needs_redraw() const override { return redraw_requested(); }
  bool is_layout_dirty() const override { return is_zero_rect(pill_rect_); }

 protected:
  // Sized by measure; never shrunk below its text.
  layout::Style leaf_style() const override;

 private:
  Badge(std::string text, std::variant<std::uint8_t, Color> look);

  std::string text_;
  std::variant<std::uint8_t, Color> look_;
  layout::LayoutSize pill_size_;
  Rect pill_rect_;
};

}  // namespace kalu_ui::widget
