#include "kalu_ui/widget/qr.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <exception>
#include <limits>
#include <qrcodegen/qrcodegen.hpp>
#include <string_view>
#include <utility>

#include "kalu_ui/qr_modules.h"
#include "kalu_ui/scene.h"
#include "kalu_ui/secret.h"
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

// Character count bits of a segment header by mode (numeric, alphanumeric,
// byte) for the versions 1-9, 10-26 and 27-40.
constexpr int kCountBits[3][3] = {{10, 12, 14}, {9, 11, 13}, {8, 16, 16}};
constexpr std::pair<int, int> kVersionGroups[3] = {{1, 9}, {10, 26}, {27, 40}};

enum Mode : std::uint8_t { kNumeric, kAlphanumeric, kByte };

bool is_numeric(char c) { return c >= '0' && c <= '9'; }
bool is_alphanumeric(char c) {
  return is_numeric(c) || (c >= 'A' && c <= 'Z') ||
         std::string_view(" $%*+-./:").find(c) != std::string_view::npos;
}

// The payload's bytes split into numeric, alphanumeric and byte segments so
// that the data takes the fewest bits for versions of `group`: a run of
// digits inside text costs a third of its bytes' bits. Costs are counted in
// sixths of a bit (a digit is 10/3 bits, an alphanumeric 11/2, a byte 8).
std::vector<qrcodegen::QrSegment> optimal_segments(const std::string& payload, int group) {
  const std::size_t n = payload.size();
  if (n == 0) return {};
  constexpr int kNone = std::numeric_limits<int>::max() / 2;
  // cost[i][m]: fewest sixths for payload[0, i) ending in mode m.
  std::vector<std::array<int, 3>> cost(n + 1, {kNone, kNone, kNone});
  std::vector<std::array<std::uint8_t, 3>> from(n + 1);
  const auto header = [&](int mode) { return (4 + kCountBits[mode][group]) * 6; };
  for (int m = 0; m < 3; ++m) cost[0][m] = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const char c = payload[i];
    const int step[3] = {is_numeric(c) ? 20 : kNone, is_alphanumeric(c) ? 33 : kNone, 48};
    for (int to = 0; to < 3; ++to) {
      if (step[to] == kNone) continue;
      for (int prev = 0; prev < 3; ++prev) {
        if (cost[i][prev] == kNone) continue;
        // A segment starts at the payload's start or where the mode changes.
        const int open = (i == 0 || prev != to) ? header(to) : 0;
        const int total = cost[i][prev] + open + step[to];
        if (total < cost[i + 1][to]) {
          cost[i + 1][to] = total;
          from[i + 1][to] = static_cast<std::uint8_t>(prev);
        }
      }
    }
  }
  int mode = 0;
  for (int m = 1; m < 3; ++m) {
    if (cost[n][m] < cost[n][mode]) mode = m;
  }
  std::vector<int> modes(n);
  for (std::size_t i = n; i > 0; --i) {
    modes[i - 1] = mode;
    mode = from[i][mode];
  }
  std::vector<qrcodegen::QrSegment> segments;
  for (std::size_t start = 0; start < n;) {
    std::size_t end = start + 1;
    while (end < n && modes[end] == modes[start]) ++end;
    const std::string part = payload.substr(start, end - start);
    switch (modes[start]) {
      case kNumeric:
        segments.push_back(qrcodegen::QrSegment::makeNumeric(part.c_str()));
        break;
      case kAlphanumeric:
        segments.push_back(qrcodegen::QrSegment::makeAlphanumeric(part.c_str()));
        break;
      default:
        // Bytes as they are, NUL included.
        segments.push_back(
            qrcodegen::QrSegment::makeBytes(std::vector<std::uint8_t>(part.begin(), part.end())));
        break;
    }
    start = end;
  }
  return segments;
}

// The smallest symbol holding the payload at `ecc`, its data modes chosen for
// each range of versions in turn. Throws the encoder's error when even the
// largest version is too small.
qrcodegen::QrCode encode_smallest(const std::string& payload, qrcodegen::QrCode::Ecc ecc) {
  for (int group = 0;; ++group) {
    try {
      // The level is kept as given (no boosting).
      return qrcodegen::QrCode::encodeSegments(optimal_segments(payload, group), ecc,
                                               kVersionGroups[group].first,
                                               kVersionGroups[group].second, -1, false);
    } catch (const qrcodegen::data_too_long&) {
      if (group == 2) throw;
    }
  }
}

// Modules are black on white whatever the theme: scanners expect dark on
// light.
constexpr Color kDark = Color::black();
constexpr Color kLight = Color::white();

}  // namespace

QrWidget::QrWidget(std::string payload) { set_payload(std::move(payload)); }

QrWidget::~QrWidget() { forget_payload(); }

QrWidget::QrWidget(QrWidget&& other) noexcept
    : Leaf(other),
      id_(std::move(other.id_)),
      label_(std::move(other.label_)),
      payload_(std::move(other.payload_)),
      modules_(std::move(other.modules_)),
      error_(std::move(other.error_)),
      width_(other.width_),
      level_(other.level_),
      size_(other.size_) {
  other.forget_payload();
}

QrWidget& QrWidget::operator=(QrWidget&& other) noexcept {
  if (this != &other) {
    forget_payload();
    Leaf::operator=(other);
    id_ = std::move(other.id_);
    label_ = std::move(other.label_);
    payload_ = std::move(other.payload_);
    modules_ = std::move(other.modules_);
    error_ = std::move(other.error_);
    width_ = other.width_;
    level_ = other.level_;
    size_ = other.size_;
    other.forget_payload();
  }
  return *this;
}

void QrWidget::forget_payload() {
  // The payload (and the modules that spell it) may be a password.
  secret::wipe(payload_);
  secret::wipe(modules_.data(), modules_.capacity());
  modules_.clear();
  width_ = 0;
}

QrWidget& QrWidget::with_id(std::string id) & {
  id_ = std::move(id);
  return *this;
}

QrWidget& QrWidget::with_size(float size) & {
  if (std::isfinite(size) && size >= 0.0f) size_ = size;
  return *this;
}

void QrWidget::set_payload(std::string payload) {
  forget_payload();
  payload_ = std::move(payload);
  try {
    const auto code = encode_smallest(payload_, to_ecc(level_));
    const int size = code.getSize();
    std::vector<std::uint8_t> modules;
    modules.reserve(static_cast<std::size_t>(size) * static_cast<std::size_t>(size));
    for (int y = 0; y < size; ++y) {
      for (int x = 0; x < size; ++x) modules.push_back(code.getModule(x, y) ? 1 : 0);
    }
    modules_.swap(modules);
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
