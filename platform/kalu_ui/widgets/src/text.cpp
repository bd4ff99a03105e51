#include "kalu_ui/widget/text.h"

#include <cmath>

#include "kalu_ui/scene.h"
#include "kalu_ui/theme.h"

namespace kalu_ui::widget {

Text::Text(std::string text) : text_(std::move(text)) {}

void Text::changed() {
  measure_dirty_ = true;
  request_redraw();
}

Text& Text::with_size(float size) & {
  size_ = size;
  changed();
  return *this;
}

Text& Text::with_muted(bool muted) & {
  muted_ = muted;
  request_redraw();
  return *this;
}

Text& Text::with_wrap(bool wrap) & {
  wrap_ = wrap;
  changed();
  return *this;
}

Text& Text::with_weight(std::uint16_t weight) & {
  weight_ = weight;
  changed();
  return *this;
}

Text& Text::with_id(std::string id) & {
  id_ = std::move(id);
  return *this;
}

void Text::set_text(std::string text) {
  if (text == text_) return;
  text_ = std::move(text);
  changed();
}

text::TextStyle Text::resolved_style(const text::TextRenderer& renderer) const {
  return renderer.renderer_input_style(text::TextStyle::sized(size_).with_weight(weight_));
}

layout::LayoutSize Text::measure(layout::KnownDimensions known, layout::AvailableSize available,
                                 text::TextRenderer& renderer) {
  const auto style = resolved_style(renderer);
  const auto option = wrap_ ? text::LayoutOption::Wrap : text::LayoutOption::SingleLine;
  const auto limit = wrap_ ? text_width_limit(known, available) : std::nullopt;
  const auto metrics = renderer.measure(text_, style, limit, option);
  // Rounded up so that drawing within the laid-out width (a float) never
  // breaks a line the measurement kept whole.
  return {known.width.value_or(static_cast<float>(std::ceil(metrics.width))),
          known.height.value_or(static_cast<float>(std::ceil(metrics.height)))};
}

void Text::apply_layout(const layout::LayoutTree& tree, layout::NodeId node, double origin_x,
                        double origin_y) {
  Leaf::apply_layout(tree, node, origin_x, origin_y);
  measure_dirty_ = false;
}

void Text::draw(Scene& scene, const Affine& transform, text::TextRenderer& renderer,
                const Theme& theme, DrawContext&) {
  if (text_.empty()) return;
  const auto style =
      resolved_style(renderer).with_color(muted_ ? theme.secondary : theme.foreground);
  const auto option = wrap_ ? text::LayoutOption::Wrap : text::LayoutOption::SingleLine;
  const std::optional<double> limit = wrap_ ? std::optional<double>(rect_.width()) : std::nullopt;
  renderer.draw_text(scene, text_, style, rect_.origin(), limit, option, transform);
}

std::optional<std::string> Text::id() const {
  if (id_.empty()) return std::nullopt;
  return id_;
}

std::optional<AccessibilityNode> Text::accessibility() const {
  return AccessibilityNode{}.with_role(role::kText).with_label(text_).with_id(id_);
}

std::optional<PresenceKey> Text::presence_key() const {
  if (id_.empty()) return std::nullopt;
  return PresenceKey{id_};
}

}  // namespace kalu_ui::widget
