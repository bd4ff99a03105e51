#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "kalu_ui/widget/support.h"

namespace kalu_ui::widget {

// A QR code of a text payload, encoded at error-correction level M in the
// smallest symbol that holds it, drawn dark on light with its quiet zone in
// a square of a fixed size. A payload too long for any symbol leaves no
// modules, a width of 0 and the encoder's message, which is drawn instead.
// The payload may be a secret (a hotspot's join code holds its password): it
// is reported to nobody (accessibility says only "QR code"), and it and its
// modules are overwritten when replaced, moved away or destroyed.
//   boxed(QrWidget(hotspot_join_text))
class QrWidget : public Leaf {
 public:
  static constexpr std::string_view kTypeName = type_names::kQrWidget;
  static constexpr std::string_view kDefaultId = "qr_widget";
  static constexpr std::string_view kLabel = "QR code";
  static constexpr float kDefaultSize = 180.0f;

  // Error-correction levels of the encoder; the widget uses Medium.
  enum class ErrorCorrection : std::uint8_t { Low, Medium, Quartile, High };

  explicit QrWidget(std::string payload);
  ~QrWidget() override;
  QrWidget(QrWidget&& other) noexcept;
  QrWidget& operator=(QrWidget&& other) noexcept;

  QrWidget& with_id(std::string id) &;
  QrWidget& with_size(float size) &;
  KALU_UI_RVALUE_BUILDER(QrWidget, with_id)
  KALU_UI_RVALUE_BUILDER(QrWidget, with_size)

  // Replaces the payload and encodes it again.
  void set_payload(std::string payload);

  const std::string& payload() const { return payload_; }
  // One byte per module, row by row from the top left: 1 dark, 0 light.
  const std::vector<std::uint8_t>& modules() const { return modules_; }
  int width() const { return width_; }
  const std::optional<std::string>& error() const { return error_; }
  ErrorCorrection error_correction() const { return level_; }

  std::string_view type_name() const override { return kTypeName; }
  void draw(Scene& scene, const Affine& transform, text::TextRenderer& renderer, const Theme& theme,
            DrawContext& context) override;
  std::optional<std::string> id() const override { return id_; }
  std::optional<AccessibilityNode> accessibility() const override;

 protected:
  layout::Style leaf_style() const override;

 private:
  void forget_payload();

  std::string id_{kDefaultId};
  std::string label_{kLabel};
  std::string payload_;
  std::vector<std::uint8_t> modules_;
  std::optional<std::string> error_;
  int width_ = 0;
  ErrorCorrection level_ = ErrorCorrection::Medium;
  float size_ = kDefaultSize;
};

}  // namespace kalu_ui::widget
