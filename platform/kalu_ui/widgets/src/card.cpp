#include "kalu_ui/widget/card.h"

#include <algorithm>
#include <cmath>

#include "kalu_ui/scene.h"
#include "kalu_ui/text.h"
#include "kalu_ui/theme.h"
#include "kalu_ui/widget/text.h"

namespace kalu_ui::widget {

Card::Card(WidgetBox content) : Card({}, std::nullopt, std::move(content)) {}

Card::Card(std::string title, std::optional<std::string> description, WidgetBox content)
    : Stack(layout::FlexDirection::Column),
      title_(std::move(title)),
      description_(std::move(description)) {
  style_.padding = layout::Edges::all(kPadding);
  style_.gap.height = kHeaderGap;
  push_child(std::move(content));
}

namespace {

text::TextStyle title_style(const text::TextRenderer& renderer) {
  return renderer.renderer_input_style(
      text::TextStyle::sized(Card::kTitleSize).with_weight(text::kWeightSemibold));
}

text::TextStyle description_style(const text::TextRenderer& renderer) {
  return renderer.renderer_input_style(text::TextStyle::sized(Card::kDescriptionSize));
}

}  // namespace

layout::NodeId Card::build_layout(layout::LayoutTree& tree, const RenderContext& context,
                                  layout::NodeRegistry& registry) {
  header_node_ = layout::NodeId{};
  if (has_header()) header_node_ = build_leaf(tree, registry, *this, layout::Style{});
  return build_stack(tree, context, registry, header_node_);
}

layout::LayoutSize Card::measure(layout::KnownDimensions known, layout::AvailableSize available,
                                 text::TextRenderer& renderer) {
  const auto limit = text_width_limit(known, available);
  double width = 0.0;
  double height = 0.0;
  if (!title_.empty()) {
    const auto m = renderer.measure(title_, title_style(renderer), limit, text::LayoutOption::Wrap);
    width = m.width;
    height = m.height;
  }
  if (description_) {
    const auto m = renderer.measure(*description_, description_style(renderer), limit,
                                    text::LayoutOption::Wrap);
    width = std::max(width, m.width);
    height += (title_.empty() ? 0.0 : kDescriptionGap) + m.height;
  }
  return {known.width.value_or(static_cast<float>(std::ceil(width))),
          known.height.value_or(static_cast<float>(std::ceil(height)))};
}

void Card::apply_layout(const layout::LayoutTree& tree, layout::NodeId node, double origin_x,
                        double origin_y) {
  Stack::apply_layout(tree, node, origin_x, origin_y);
  header_rect_ =
      header_node_.is_valid() ? layout_rect(tree, header_node_, rect_.x0, rect_.y0) : Rect::zero();
}

void Card::draw(Scene& scene, const Affine& transform, text::TextRenderer& renderer,
                const Theme& theme, DrawContext& context) {
  surface::card(scene, rect_, theme, transform);
  if (has_header()) {
    const double width = header_rect_.width();
    double y = header_rect_.y0;
    if (!title_.empty()) {
      const auto m =
          renderer.draw_text(scene, title_, title_style(renderer).with_color(theme.foreground),
                             {header_rect_.x0, y}, width, text::LayoutOption::Wrap, transform);
      y += m.height + kDescriptionGap;
    }
    if (description_) {
      renderer.draw_text(scene, *description_,
                         description_style(renderer).with_color(theme.secondary),
                         {header_rect_.x0, y}, width, text::LayoutOption::Wrap, transform);
    }
  }
  Stack::draw(scene, transform, renderer, theme, context);
}

std::optional<AccessibilityNode> Card::accessibility() const {
  const std::string& name = title_.empty() ? group_name_ : title_;
  if (name.empty()) return std::nullopt;
  return AccessibilityNode{}
      .with_role(role::kGroup)
      .with_label(name)
      .with_description(description_.value_or(std::string()));
}

namespace card {
Card surface(std::string title, std::optional<std::string> description, WidgetBox content) {
  return Card(std::move(title), std::move(description), std::move(content));
}

}  // namespace card
}  // namespace kalu_ui::widget
