#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "kalu_ui/wake_slot.h"
#include "kalu_ui/widget/controls.h"
#include "kalu_ui/widget/support.h"

namespace kalu_ui::widget {

// A horizontal slider over [min, max]. Its value lives in a 64-bit float
// cell (from_state) or under a key of the state document. Dragging holds the
// pointer until release; arrow keys move by one step, Page Up and Page Down
// by ten, Home and End to the ends. Every value it publishes is clamped to
// the range and snapped to the step.
class Slider : public ControlBase<Slider> {
 public:
  static constexpr std::string_view kTypeName = type_names::kSlider;
  static constexpr float kHeight = 24.0f;
  static constexpr float kMinWidth = 120.0f;
  static constexpr double kThumbRadius = 8.0;

  using ChangeHandler = std::move_only_function<void(double)>;

  // Bound to the float under `value_key` of the state document.
  Slider(std::string value_key, double min, double max, double initial);
  static Slider from_state(std::shared_ptr<WakeSlot<double>> cell, double min, double max);

  Slider(Slider&&) noexcept = default;
  Slider& operator=(Slider&&) noexcept = default;

  // The keyboard step and the grid values snap to; 0 means no grid.
  Slider& with_step(double step) &;
  Slider& with_enabled(bool enabled) &;
  Slider& on_change(ChangeHandler handler) &;
  KALU_UI_RVALUE_BUILDER(Slider, with_step)
  KALU_UI_RVALUE_BUILDER(Slider, with_enabled)
  KALU_UI_RVALUE_BUILDER(Slider, on_change)

  double value() const;
  double min() const { return min_; }
  double max() const { return max_; }
  // The value clamped to the range and snapped to the step; a value that is
  // not a number becomes the minimum.
  double clamp(double value) const;
  // Changes the value as the user does: clamped, published only when it
  // differs; nothing while disabled.
  void set_by_user(double requested);
  void set_enabled(bool enabled);

  void set_interaction_environment(InteractionEnvironment environment) override;
  void sync(doc::Document& document) override;
  // At once while a change waits to be written or was written by the last
  // sync: the pane that acts on it syncs before its page, so it sees the
  // change only in the next frame, which must not wait for another event.
  std::optional<Instant> next_wake_deadline() const override;
  void draw(Scene& scene, const Affine& transform, text::TextRenderer& renderer, const Theme& theme,
            DrawContext& context) override;
  void handle_event(const Event& event, EventContext& context) override;
  std::optional<std::string> id() const override { return id_.value_or("slider"); }
  void set_focus(bool focused) override;
  bool is_enabled() const override { return control_enabled(); }
  std::optional<AccessibilityNode> accessibility() const override;
  bool perform_action(const SemanticAction& action,
                      const kalu_actions::ActionContext& context) override;
  std::optional<PresenceKey> presence_key() const override { return PresenceKey{*id()}; }
  bool wants_pointer_capture() const override { return dragging_; }

 protected:
  layout::Style leaf_style() const override;

 private:
  Slider(double min, double max);
  double value_at(double x) const;
  double key_step() const;
  // The track's usable span: inset by the thumb so the ends stay reachable.
  double track_x0() const { return rect_.x0 + kThumbRadius; }
  double track_x1() const { return rect_.x1 - kThumbRadius; }

  std::shared_ptr<WakeSlot<double>> cell_;
  std::optional<std::string> value_key_;
  bool pending_write_ = false;
  bool written_ = false;  // by the last sync
  double value_ = 0.0;
  double min_ = 0.0;
  double max_ = 1.0;
  double step_ = 0.0;
  std::optional<ChangeHandler> on_change_;
  InteractionEnvironment environment_;
  bool dragging_ = false;
};

}  // namespace kalu_ui::widget
