#pragma once

#include <optional>
#include <string>

#include "kalu_ui/widget/support.h"

namespace kalu_ui::widget {

// A card surface around one content widget, with an optional title and a
// description under it. The header is a measured node of the card's own;
// the content is the card's only child.
//   boxed(card::surface("Display", std::nullopt, std::move(rows)))
class Card : public Stack {
 public:
  static constexpr std::string_view kTypeName = type_names::kCard;
  static constexpr float kPadding = 16.0f;
  static constexpr float kHeaderGap = 12.0f;  // header to content
  static constexpr float kTitleSize = 15.0f;
  static constexpr float kDescriptionSize = 12.0f;
  static constexpr float kDescriptionGap = 4.0f;  // title to description

  // A card without a header.
  explicit Card(WidgetBox content);
  Card(std::string title, std::optional<std::string> description, WidgetBox content);

  const std::string& title() const { return title_; }
  const std::optional<std::string>& description() const { return description_; }
  bool has_header() const { return !title_.empty() || description_.has_value(); }
  // The name screen readers hear for a card whose title is a row of its
  // content (a titled card is named by its title).
  Card& with_group_name(std::string name) & {
    group_name_ = std::move(name);
    return *this;
  }
  KALU_UI_RVALUE_BUILDER(Card, with_group_name)
  // Where the header was laid out (zero without a header).
  Rect header_rect() const { return header_rect_; }

  std::string_view type_name() const override { return kTypeName; }
  layout::NodeId build_layout(layout::LayoutTree& tree, const RenderContext& context,
                              layout::NodeRegistry& registry) override;
  // Sizes the header: the title and description wrapped to the width.
  layout::LayoutSize measure(layout::KnownDimensions known, layout::AvailableSize available,
                             text::TextRenderer& renderer) override;
  void apply_layout(const layout::LayoutTree& tree, layout::NodeId node, double origin_x,
                    double origin_y) override;
  void draw(Scene& scene, const Affine& transform, text::TextRenderer& renderer, const Theme& theme,
            DrawContext& context) override;
  // A group named by the title (its description describing it), so that its
  // controls are heard in the card's context; none for an unnamed card.
  std::optional<AccessibilityNode> accessibility() const override;

 private:
  std::string title_;
  std::string group_name_;
  std::optional<std::string> description_;
  layout::NodeId header_node_;
  Rect header_rect_;
};

namespace card {

// The toolkit's card: a titled surface, with the description when given,
// around the content.
Card surface(std::string title, std::optional<std::string> description, WidgetBox content);

}  // namespace card
}  // namespace kalu_ui::widget
