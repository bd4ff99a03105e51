#include "kalu_ui/widget/badge.h"

#include <algorithm>
#include <cmath>

#include "kalu_ui/scene.h"
#include "kalu_ui/text.h"

namespace kalu_ui::widget {

namespace {

text::TextStyle badge_style(const text::TextRenderer& renderer) {
  return renderer.renderer_input_style(
      text::TextStyle::sized(Badge::kTextSize).with_weight(text::kWeightSemibold));
}

}  // namespace

Badge::Badge(std::string text, std::variant<std::uint8_t, Color> look)
    : text_(std::move(text)), look_(look) {}

Badge Badge::with_tone(std::string text, std::uint8_t tone) { return Badge(std::move(text), tone); }

Badge Badge::with_color(std::string text, Color color) { return Badge(std::move(text), color); }

void Badge::set_text(std::string text) {
  if (text == text_) return;
  text_ = std::move(text);
  request_redraw();
}

std::optional<std::uint8_t> Badge::tone() const {
  if (const auto* tone = std::get_if<std::uint8_t>(&look_)) return *tone;
  return std::nullopt;
}

BadgeColors Badge::colors(const Theme& theme) const {
  if (const auto* tone = std::get_if<std::uint8_t>(&look_)) return theme.badge_tone(*tone);
  const Color color = std::get<Color>(look_);
  const Color fill = color.with_alpha_factor(0.18);
  // The colour as text, darkened or lightened until it reads on its pill.
  return {fill,
          readable_on(readable_on(color, over(fill, theme.card)), over(fill, theme.background))};
}

layout::Style Badge::leaf_style() const {
  layout::Style style;
  style.flex_shrink = 0.0f;
  return style;
}

layout::LayoutSize Badge::measure(layout::KnownDimensions known, layout::AvailableSize,
                                  text::TextRenderer& renderer) {
  const auto m =
      renderer.measure(text_, badge_style(renderer), std::nullopt, text::LayoutOption::SingleLine);
  pill_size_ = {static_cast<float>(std::ceil(m.width) + 2 * kPaddingX),
                static_cast<float>(std::ceil(m.height) + 2 * kPaddingY)};
  return {known.width.value_or(pill_size_.width), known.height.value_or(pill_size_.height)};
}

void Badge::apply_layout(const layout::LayoutTree& tree, layout::NodeId node, double origin_x,
                         double origin_y) {
  Leaf::apply_layout(tree, node, origin_x, origin_y);
  if (is_zero_rect(rect_)) {
    pill_rect_ = Rect::zero();
    return;
  }
  const double width = std::min<double>(pill_size_.width, rect_.width());
  const double height = std::min<double>(pill_size_.height, rect_.height());
  const double y = rect_.y0 + (rect_.height() - height) / 2;
  pill_rect_ = Rect{rect_.x0, y, rect_.x0 + width, y + height};
}

void Badge::draw(Scene& scene, const Affine& transform, text::TextRenderer& renderer,
                 const Theme& theme, DrawContext&) {
  const BadgeColors look = colors(theme);
  // The text may have changed since the layout: the pill follows it, within
  // the node.
  const auto style = badge_style(renderer);
  const auto m = renderer.measure(text_, style, std::nullopt, text::LayoutOption::SingleLine);
  Rect pill = pill_rect_;
  pill.x1 = std::min(rect_.x1, pill.x0 + std::ceil(m.width) + 2 * kPaddingX);
  scene.fill(RoundedRect{pill, pill.height() / 2}, look.fill, transform);
  scene.push_clip(pill, transform);
  renderer.draw_text(scene, text_, style.with_color(look.text),
                     {pill.x0 + kPaddingX, pill.y0 + kPaddingY}, std::nullopt,
                     text::LayoutOption::SingleLine, transform);
  scene.pop_clip();
}

std::optional<AccessibilityNode> Badge::accessibility() const {
  return AccessibilityNode{}.with_role(role::kStatus).with_label(text_);
}

}  // namespace kalu_ui::widget
