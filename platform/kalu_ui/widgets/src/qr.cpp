#include "kalu_ui/widget/qr.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <qrcodegen/qrcodegen.hpp>

#include "kalu_ui/qr_modules.h"
#include "kalu_ui/scene.h"
#include "kalu_ui/text.h"
#include "kalu_ui/theme.h"

namespace kalu_ui::widget {

namespace {

qrcodegen::QrCode::Ecc to_ecc(QrWidget::ErrorCorrection level) {
  switch (level) {
    case QrWidget::ErrorCorrection::Low:
      return qrcodegen::QrCode::Ecc::LOW;
    case QrWidget::ErrorCorrection::Medium:
      break;
    case QrWidget::ErrorCorrection::Quartile:
      return qrcodegen::QrCode::Ecc::QUARTILE;
    case QrWidget::ErrorCorrection::High:
      return qrcodegen::QrCode::Ecc::HIGH;
  }
  return qrcodegen::QrCode::Ecc::MEDIUM;
}

// The encoder's segments for the payload's bytes: the automatic choice of
// modes for text, and bytes as they are when the text holds a NUL (which the
// automatic encoder, taking a C string, would cut short).
std::vector<qrcodegen::QrSegment> segments_of(const std::string& payload) {
  if (payload.find('\0') != std::string::npos) {
    return {
        qrcodegen::QrSegment::makeBytes(std::vector<std::uint8_t>(payload.begin(), payload.end()))};
  }
  return qrcodegen::QrSegment::makeSegments(payload.c_str());
}

// Modules are black on white whatever the theme: scanners expect dark on
// light.
constexpr Color kDark = Color::black();
constexpr Color kLight = Color::white();

}  // namespace

QrWidget::QrWidget(std::string payload) { set_payload(std::move(payload)); }

QrWidget& QrWidget::with_id(std::string id) & {
  id_ = std::move(id);
  return *this;
}

QrWidget& QrWidget::with_size(float size) & {
  if (std::isfinite(size) && size >= 0.0f) size_ = size;
  return *this;
}

void QrWidget::set_payload(std::string payload) {
  payload_ = std::move(payload);
  try {
    // The level is kept as given (no boosting), from the smallest version up.
    const auto code = qrcodegen::QrCode::encodeSegments(segments_of(payload_), to_ecc(level_),
                                                        qrcodegen::QrCode::MIN_VERSION,
                                                        qrcodegen::QrCode::MAX_VERSION, -1, false);
    const int size = code.getSize();
    std::vector<std::uint8_t> modules;
    modules.reserve(static_cast<std::size_t>(size) * static_cast<std::size_t>(size));
    for (int y = 0; y < size; ++y) {
      for (int x = 0; x < size; ++x) modules.push_back(code.getModule(x, y) ? 1 : 0);
    }
    modules_ = std::move(modules);
    width_ = size;
    error_.reset();
  } catch (const std::exception& failure) {
    modules_.clear();
    width_ = 0;
    error_ = failure.what();
  }
  request_redraw();
}

layout::Style QrWidget::leaf_style() const {
  layout::Style style;
  style.width = style.height = layout::Dimension::points(size_);
  style.flex_shrink = 0.0f;
  return style;
}

void QrWidget::draw(Scene& scene, const Affine& transform, text::TextRenderer& renderer,
                    const Theme& theme, DrawContext&) {
  if (width_ == 0) {
    // The error state: an outlined square with the encoder's message.
    scene.stroke(RoundedRect{rect_.inset(0.5), theme.control_radius}, theme.card_edge,
                 StrokeStyle{1.0}, transform);
    if (error_) {
      const double pad = 8.0;
      renderer.draw_text(
          scene, *error_,
          renderer.renderer_input_style(text::TextStyle::sized(12.0f)).with_color(theme.secondary),
          {rect_.x0 + pad, rect_.y0 + pad}, std::max(rect_.width() - 2 * pad, 0.0),
          text::LayoutOption::Wrap, transform);
    }
    return;
  }
  const Rect symbol = qr::symbol_rect(width_, rect_);
  const double module = symbol.width() / width_;
  scene.fill(symbol.inset(-qr::kQuietZone * module), kLight, transform);
  scene.fill(qr::modules_path(modules_, width_, rect_), kDark, transform);
}

std::optional<AccessibilityNode> QrWidget::accessibility() const {
  auto node = AccessibilityNode{}.with_role(role::kImage).with_label(label_).with_id(id_);
  if (error_) node = std::move(node).with_description(*error_);
  return node;
}

}  // namespace kalu_ui::widget
