#pragma once

#include <optional>
#include <string>

#include "kalu_ui/widget/action_emitter.h"
#include "kalu_ui/widget/controls.h"
#include "kalu_ui/widget/support.h"

namespace kalu_ui::widget {

// Shows a key chord and records a new one: activation arms it, the next key
// pressed with at least one modifier (or a function key) becomes the chord,
// written as text ("Ctrl+Alt+T") under the value key of the state document at
// sync and, when bound to an action, recorded as an invocation of it (its
// text as the binding's arguments make it). Escape and losing focus disarm it
// without recording.
class ShortcutRecorder : public Leaf, public RowLabelled {
 public:
  static constexpr std::string_view kTypeName = type_names::kShortcutRecorder;
  static constexpr std::string_view kUnavailableTooltip = "Shortcut unavailable";
  static constexpr float kMinWidth = 160.0f;
  static constexpr float kHeight = 36.0f;
  // Between the field's edges and its text.
  static constexpr float kTextInset = 12.0f;
  static constexpr float kTextSize = 13.0f;

  ShortcutRecorder(std::string id, std::string value_key, std::string current,
                   std::string default_chord);

  ShortcutRecorder& with_unavailable(bool unavailable = true) &;
  // Records each chord as an invocation of the action; none leaves the
  // recorder as it is.
  ShortcutRecorder& on_action(std::optional<kalu_actions::ActionBinding> binding) &;
  KALU_UI_RVALUE_BUILDER(ShortcutRecorder, with_unavailable)
  KALU_UI_RVALUE_BUILDER(ShortcutRecorder, on_action)

  bool is_armed() const { return armed_; }
  const std::string& chord() const { return chord_; }
  const std::string& default_chord() const { return default_; }
  void arm();

  // The text of a chord: modifiers in the order Ctrl, Alt, Shift, Super,
  // then the key; none for a key that cannot end a chord.
  static std::optional<std::string> chord_text(Key key, Modifiers modifiers);

  std::string_view type_name() const override { return kTypeName; }
  // At least kMinWidth, wider when its chord or its prompt needs more at the
  // text size shown; at least kHeight, taller for a larger text.
  layout::LayoutSize measure(layout::KnownDimensions known, layout::AvailableSize available,
                             text::TextRenderer& renderer) override;
  void propagate_flag_a(bool flag) override;
  void set_interaction_environment(InteractionEnvironment environment) override;
  void sync(doc::Document& document) override;
  // At once while a change waits to be written or was written by the last
  // sync: the pane that acts on it syncs before its page, so it sees the
  // change only in the next frame, which must not wait for another event.
  std::optional<Instant> next_wake_deadline() const override;
  void draw(Scene& scene, const Affine& transform, text::TextRenderer& renderer, const Theme& theme,
            DrawContext& context) override;
  void handle_event(const Event& event, EventContext& context) override;
  std::optional<std::string> id() const override { return id_; }
  std::optional<CursorKind> cursor_icon_at(double x, double y) const override;
  std::optional<std::string> tooltip() const override;
  bool is_focusable() const override { return !unavailable_; }
  void set_focus(bool focused) override;
  bool is_focused() const override { return focused_; }
  std::optional<AccessibilityNode> accessibility() const override;
  bool perform_action(const SemanticAction& action,
                      const kalu_actions::ActionContext& context) override;
  bool needs_redraw() const override { return true; }
  bool is_layout_dirty() const override { return measured_chord_ != chord_ || is_zero_rect(rect_); }
  std::optional<kalu_actions::ControlInvocation> take_control_invocation() override;

 protected:
  layout::Style leaf_style() const override;

 private:
  std::string id_;
  std::string value_key_;
  std::string chord_;
  std::string default_;
  // The chord the last layout measured, so a new one lays the page out again.
  std::string measured_chord_;
  std::optional<ActionEmitter> emitter_;
  bool pending_write_ = false;
  bool written_ = false;  // by the last sync
  bool unavailable_ = false;
  bool armed_ = false;
  bool focused_ = false;
  bool flag_a_ = false;
  InteractionEnvironment environment_;
  detail::PressTracker press_;
};

}  // namespace kalu_ui::widget
