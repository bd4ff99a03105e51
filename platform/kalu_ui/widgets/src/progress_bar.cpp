#include "kalu_ui/widget/progress_bar.h"

#include <algorithm>
#include <chrono>
#include <cmath>

#include "fmt/format.h"
#include "kalu_ui/scene.h"
#include "kalu_ui/text.h"
#include "kalu_ui/theme.h"

namespace kalu_ui::widget {

namespace {

double clamp_fraction(double fraction) {
  return std::isfinite(fraction) ? std::clamp(fraction, 0.0, 1.0) : 0.0;
}

text::TextStyle label_style(const text::TextRenderer& renderer) {
  return renderer.renderer_input_style(text::TextStyle::sized(ProgressBar::kLabelSize));
}

// The indeterminate segment's share of the track.
constexpr double kSegment = 0.3;

}  // namespace

ProgressBar::ProgressBar(double fraction) : fraction_(clamp_fraction(fraction)) {}

ProgressBar ProgressBar::indeterminate() {
  ProgressBar bar;
  bar.fraction_.reset();
  return bar;
}

ProgressBar& ProgressBar::with_label(std::string label) & {
  set_label(std::move(label));
  return *this;
}

void ProgressBar::set_fraction(double fraction) {
  const double clamped = clamp_fraction(fraction);
  if (fraction_ == clamped) return;
  fraction_ = clamped;
  request_redraw();
}

void ProgressBar::set_indeterminate() {
  if (!fraction_) return;
  fraction_.reset();
  started_ = Instant::now();
  request_redraw();
}

void ProgressBar::set_animation_suppressed(bool suppressed) {
  if (suppressed_ == suppressed) return;
  suppressed_ = suppressed;
  request_redraw();
}

void ProgressBar::set_label(std::string label) {
  if (label == label_) return;
  label_ = std::move(label);
  request_redraw();
}

std::optional<double> ProgressBar::fraction() const { return fraction_; }

std::pair<double, double> ProgressBar::filled_span(Instant now) const {
  if (fraction_) return {0.0, *fraction_};
  if (suppressed_) return {0.0, kSegment};
  const auto elapsed = now - started_;
  const double seconds = std::chrono::duration<double>(elapsed).count();
  const double phase = std::fmod(std::max(seconds, 0.0), kSweepSeconds) / kSweepSeconds;
  // The segment enters at the left edge and leaves at the right one.
  const double start = phase * (1.0 + kSegment) - kSegment;
  return {std::max(start, 0.0), std::min(start + kSegment, 1.0)};
}

layout::LayoutSize ProgressBar::measure(layout::KnownDimensions known,
                                        layout::AvailableSize available,
                                        text::TextRenderer& renderer) {
  double height = kBarHeight;
  if (!label_.empty()) {
    const auto m =
        renderer.measure(label_, label_style(renderer), text_width_limit(known, available),
                         text::LayoutOption::Ellipsize);
    height += std::ceil(m.height) + kLabelGap;
  }
  const float width = known.width.value_or(available.width.as_definite().value_or(0.0f));
  return {width, known.height.value_or(static_cast<float>(height))};
}

void ProgressBar::draw(Scene& scene, const Affine& transform, text::TextRenderer& renderer,
                       const Theme& theme, DrawContext&) {
  double y = rect_.y0;
  if (!label_.empty()) {
    const auto m =
        renderer.draw_text(scene, label_, label_style(renderer).with_color(theme.secondary),
                           {rect_.x0, y}, rect_.width(), text::LayoutOption::Ellipsize, transform);
    y += std::ceil(m.height) + kLabelGap;
  }
  const Rect track{rect_.x0, y, rect_.x1, y + kBarHeight};
  const double radius = kBarHeight / 2;
  scene.fill(RoundedRect{track, radius}, theme.control, transform);
  const auto [start, end] = filled_span(Instant::now());
  if (end > start) {
    const Rect filled{track.x0 + start * track.width(), track.y0, track.x0 + end * track.width(),
                      track.y1};
    scene.fill(RoundedRect{filled, radius}, theme.accent, transform);
  }
}

std::optional<AccessibilityNode> ProgressBar::accessibility() const {
  auto node = AccessibilityNode{}.with_role(role::kProgressIndicator).with_label(label_);
  if (fraction_) node = std::move(node).with_value(fmt::format("{:.0f}%", *fraction_ * 100.0));
  return node;
}

bool ProgressBar::needs_animation_frame() const { return !fraction_ && !suppressed_; }

}  // namespace kalu_ui::widget
