#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "kalu_ui/wake_slot.h"
#include "kalu_ui/widget/controls.h"
#include "kalu_ui/widget/support.h"

namespace kalu_ui::widget {

// An on/off switch. Its value lives in a bool cell (from_state), which it
// reads and publishes itself, or under a key of the state document, which it
// reads and writes at sync. A click or Space/Enter while focused flips it.
class Toggle : public ControlBase<Toggle> {
 public:
  static constexpr std::string_view kTypeName = type_names::kToggle;
  static constexpr float kWidth = 44.0f;
  static constexpr float kHeight = 24.0f;

  using ChangeHandler = std::move_only_function<void(bool)>;

  // Bound to the bool under `value_key` of the state document; `name` is its
  // accessible label. Off until the document says otherwise.
  Toggle(std::string name, std::string value_key);
  static Toggle from_state(std::shared_ptr<WakeSlot<bool>> cell);

  Toggle(Toggle&&) noexcept = default;
  Toggle& operator=(Toggle&&) noexcept = default;

  Toggle& with_enabled(bool enabled) &;
  // Called with the new value after every flip by the user.
  Toggle& on_change(ChangeHandler handler) &;
  KALU_UI_RVALUE_BUILDER(Toggle, with_enabled)
  KALU_UI_RVALUE_BUILDER(Toggle, on_change)

  bool value() const;
  // Flips the value as the user does; nothing while disabled.
  void flip();
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
  std::optional<std::string> id() const override { return id_.value_or("toggle"); }
  void set_focus(bool focused) override;
  std::optional<WidgetPlace> place() const override { return press_.place(); }
  void take_place(const WidgetPlace& place) override { press_.take_place(place); }
  bool is_enabled() const override { return control_enabled(); }
  std::optional<AccessibilityNode> accessibility() const override;
  bool perform_action(const SemanticAction& action,
                      const kalu_actions::ActionContext& context) override;
  std::optional<PresenceKey> presence_key() const override { return PresenceKey{*id()}; }

 protected:
  layout::Style leaf_style() const override;

 private:
  Toggle() = default;
  void set_value(bool value);

  std::shared_ptr<WakeSlot<bool>> cell_;
  std::optional<std::string> value_key_;
  // A user's flip not yet written to the document.
  bool pending_write_ = false;
  bool written_ = false;  // by the last sync
  bool value_ = false;
  std::optional<ChangeHandler> on_change_;
  InteractionEnvironment environment_;
  detail::PressTracker press_;
};

}  // namespace kalu_ui::widget
