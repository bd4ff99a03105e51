#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "kalu_ui/text.h"
#include "kalu_ui/widget/support.h"

namespace kalu_ui::widget {

// A run of text: one line, or wrapped into lines within its laid-out width.
// Muted text takes the theme's secondary colour.
//   boxed(Text("Brightness").with_size(13.0f).with_wrap())
class Text : public Leaf {
 public:
  static constexpr std::string_view kTypeName = type_names::kText;
  static constexpr float kDefaultSize = 14.0f;

  explicit Text(std::string text = {});

  Text& with_size(float size) &;
  Text& with_muted(bool muted = true) &;
  Text& with_wrap(bool wrap = true) &;
  Text& with_weight(std::uint16_t weight) &;
  Text& with_id(std::string id) &;
  KALU_UI_RVALUE_BUILDER(Text, with_size)
  KALU_UI_RVALUE_BUILDER(Text, with_muted)
  KALU_UI_RVALUE_BUILDER(Text, with_wrap)
  KALU_UI_RVALUE_BUILDER(Text, with_weight)
  KALU_UI_RVALUE_BUILDER(Text, with_id)

  // Replaces the text; the widget is measured and drawn again.
  void set_text(std::string text);
  const std::string& text() const { return text_; }
  float size() const { return size_; }
  bool muted() const { return muted_; }
  bool wraps() const { return wrap_; }

  // The style the text is shaped in, resolved by the renderer.
  text::TextStyle resolved_style(const text::TextRenderer& renderer) const;

  std::string_view type_name() const override { return kTypeName; }
  layout::LayoutSize measure(layout::KnownDimensions known, layout::AvailableSize available,
                             text::TextRenderer& renderer) override;
  void apply_layout(const layout::LayoutTree& tree, layout::NodeId node, double origin_x,
                    double origin_y) override;
  void draw(Scene& scene, const Affine& transform, text::TextRenderer& renderer, const Theme& theme,
            DrawContext& context) override;
  std::optional<std::string> id() const override;
  std::optional<AccessibilityNode> accessibility() const override;
  bool needs_commit() const override { return false; }
  std::optional<PresenceKey> presence_key() const override;
  bool needs_redraw() const override { return redraw_requested(); }
  // Until laid out, and again once the text or its style changed.
  bool is_layout_dirty() const override { return measure_dirty_ || is_zero_rect(rect_); }

 private:
  void changed();

  std::string text_;
  float size_ = kDefaultSize;
  std::uint16_t weight_ = text::kWeightRegular;
  bool muted_ = false;
  bool wrap_ = false;
  std::string id_;  // empty: none
  bool measure_dirty_ = true;
};

}  // namespace kalu_ui::widget
