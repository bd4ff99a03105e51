#pragma once

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <variant>

#include "kalu_ui/widget/controls.h"
#include "kalu_ui/widget/support.h"

namespace kalu_ui::widget {

// A push button. A button with a click handler is published to automation
// as the control resource "kalu.control:<id>" with the action "invoke", so a
// client presses it exactly as a click does:
//   boxed(Button("Check for updates").with_id("settings.updates.check")
//             .on_click([this] { check(); }))
class Button : public BoundControl {
 public:
  static constexpr std::string_view kTypeName = type_names::kButton;
  static constexpr float kTextSize = 14.0f;
  static constexpr float kPaddingX = 16.0f;
  static constexpr float kMinHeight = 36.0f;

  using ClickHandler = std::move_only_function<void()>;

  explicit Button(std::string label);
  Button(Button&&) noexcept = default;
  Button& operator=(Button&&) noexcept = default;

  Button& with_id(std::string id) &;
  Button& with_tooltip(std::string tooltip) &;
  Button& with_enabled(bool enabled) &;
  // The danger look, for destructive actions.
  Button& with_danger(bool danger = true) &;
  // The default answer of the question it stands in (a dialog's Keep, a
  // confirmation's safer choice): it takes the keyboard focus when it
  // appears where the focus was lost (default_answer, focus.h).
  Button& with_default_answer(bool answer = true) &;
  // The answer that dismisses the question it stands in (a Cancel): Escape
  // presses it (cancel_answer, focus.h).
  Button& with_cancel_answer(bool answer = true) &;
  // At least this size; a label that needs more (a larger text size, a
  // longer translation) widens it rather than running past its edges.
  Button& with_size(float width, float height) &;
  // At least this tall (kMinHeight otherwise).
  Button& with_min_height(float height) &;
  // bind_control_invoke with availability true.
  Button& on_click(ClickHandler handler) &;
  // A handler that receives a value captured now, on every click.
  template <typename V, typename F>
  Button& on_click(F handler, V captured) & {
    return on_click(
        ClickHandler([h = std::move(handler), v = std::move(captured)]() mutable { h(v); }));
  }
  // Publishes the control resource, binds the button to its "invoke" action
  // and keeps the handler; a handler bound before is dropped.
  Button& bind_control_invoke(bool available, ClickHandler handler) &;
  // Ties the button to an action (replacing any earlier binding); none
  // leaves the button as it is.
  Button& on_action(std::optional<kalu_actions::ActionBinding> binding) &;
  KALU_UI_RVALUE_BUILDER(Button, with_id)
  KALU_UI_RVALUE_BUILDER(Button, with_tooltip)
  KALU_UI_RVALUE_BUILDER(Button, with_enabled)
  KALU_UI_RVALUE_BUILDER(Button, with_danger)
  KALU_UI_RVALUE_BUILDER(Button, with_default_answer)
  KALU_UI_RVALUE_BUILDER(Button, with_cancel_answer)
  KALU_UI_RVALUE_BUILDER(Button, with_size)
  KALU_UI_RVALUE_BUILDER(Button, with_min_height)
  KALU_UI_RVALUE_BUILDER(Button, on_click)
  KALU_UI_RVALUE_BUILDER(Button, bind_control_invoke)
  KALU_UI_RVALUE_BUILDER(Button, on_action)

  const std::string& label() const { return label_; }
  void set_label(std::string label);
  void set_enabled(bool enabled);
  // Runs the click as a user's click does: the handler, then the recorded
  // invocation. Nothing happens while the button is not enabled.
  void click();

  std::string_view type_name() const override { return kTypeName; }
  void set_interaction_environment(InteractionEnvironment environment) override;
  layout::LayoutSize measure(layout::KnownDimensions known, layout::AvailableSize available,
                             text::TextRenderer& renderer) override;
  bool adjust_layout_style(layout::Style& style) override;
  bool adjust_layout_with_measure(layout::Style& style, layout::LayoutSize measured) override;
  void draw(Scene& scene, const Affine& transform, text::TextRenderer& renderer, const Theme& theme,
            DrawContext& context) override;
  void handle_event(const Event& event, EventContext& context) override;
  ActionIdSet resource_operation_handlers() const override;
  std::optional<std::string> id() const override { return id_; }
  std::optional<CursorKind> cursor_icon_at(double x, double y) const override;
  std::optional<std::string> tooltip() const override { return tooltip_; }
  void set_focus(bool focused) override;
  std::optional<WidgetPlace> place() const override { return press_.place(); }
  void take_place(const WidgetPlace& place) override { press_.take_place(place); }
  std::optional<AccessibilityNode> accessibility() const override;
  bool perform_action(const SemanticAction& action,
                      const kalu_actions::ActionContext& context) override;
  bool is_enabled() const override { return control_enabled(); }
  bool has_action_control_bindings() const override { return binding().has_value(); }
  std::optional<PresenceKey> presence_key() const override;
  std::vector<kalu_actions::Resource> resources(const doc::Document& document) const override;
  // Presses the button for "kalu.ui.control.invoke" whose payload is this
  // button's id (a JSON string); a disabled button rejects it. The plain
  // invoke keeps the provided routing (a leaf handles nothing there), so the
  // press arrives through a start, whose fallback is this answer.
  ResourceInvokeResult invoke_resource_operation_v2(OperationKind kind, std::string_view action_id,
                                                    Payload payload,
                                                    ResourceOperationContext& context) override;
  void apply_layout(const layout::LayoutTree& tree, layout::NodeId node, double origin_x,
                    double origin_y) override;
  bool needs_redraw() const override { return redraw_requested(); }
  bool is_layout_dirty() const override { return layout_dirty_ || is_zero_rect(rect_); }

 protected:
  layout::Style leaf_style() const override;
  bool shows_own_label() const override { return true; }

 private:
  void rebind_control_invoke();
  bool apply_fixed_size(layout::Style& style) const;

  std::optional<std::string> tooltip_;
  bool danger_ = false;
  std::optional<layout::LayoutSize> fixed_size_;
  float min_height_ = kMinHeight;
  std::optional<ClickHandler> handler_;
  // The binding is the control resource of bind_control_invoke, rebuilt
  // when the id or label changes.
  bool control_invoke_ = false;
  bool control_available_ = true;
  InteractionEnvironment environment_;
  detail::PressTracker press_;
  bool layout_dirty_ = true;
};

}  // namespace kalu_ui::widget
