#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "kalu_ui/instant.h"
#include "kalu_ui/widget/support.h"

namespace kalu_ui::widget {

// A horizontal bar: determinate (a fraction filled from the left) or
// indeterminate (a segment sweeping across, animated frame by frame), with
// an optional label above it. It takes the width its line gives it.
//   boxed(ProgressBar(0.4).with_label("Downloading"))
//   boxed(ProgressBar::indeterminate().with_label("Preparing accelerator support"))
class ProgressBar : public Leaf {
 public:
  static constexpr std::string_view kTypeName = type_names::kProgressBar;
  static constexpr float kBarHeight = 6.0f;
  static constexpr float kLabelSize = 12.0f;
  static constexpr float kLabelGap = 6.0f;
  // One sweep of the indeterminate segment.
  static constexpr double kSweepSeconds = 1.5;

  // Determinate; the fraction is clamped to 0..1 (not a number: 0).
  explicit ProgressBar(double fraction = 0.0);
  static ProgressBar indeterminate();

  ProgressBar& with_label(std::string label) &;
  KALU_UI_RVALUE_BUILDER(ProgressBar, with_label)

  void set_fraction(double fraction);  // and becomes determinate
  void set_indeterminate();
  // Holds the indeterminate segment still (reduced motion).
  void set_animation_suppressed(bool suppressed);
  void set_label(std::string label);

  // None while indeterminate.
  std::optional<double> fraction() const;
  const std::string& label() const { return label_; }
  // The segment of the track (as fractions start, end) that is filled at
  // `now`: [0, fraction] when determinate.
  std::pair<double, double> filled_span(Instant now) const;

  std::string_view type_name() const override { return kTypeName; }
  layout::LayoutSize measure(layout::KnownDimensions known, layout::AvailableSize available,
                             text::TextRenderer& renderer) override;
  void draw(Scene& scene, const Affine& transform, text::TextRenderer& renderer, const Theme& theme,
            DrawContext& context) override;
  std::optional<AccessibilityNode> accessibility() const override;
  bool needs_animation_frame() const override;
  bool needs_redraw() const override { return redraw_requested() || needs_animation_frame(); }
  bool is_layout_dirty() const override { return is_zero_rect(rect_); }

 private:
  std::optional<double> fraction_;
  std::string label_;
  bool suppressed_ = false;
  Instant started_ = Instant::now();
};

}  // namespace kalu_ui::widget
