#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "kalu_ui/wake_slot.h"
#include "kalu_ui/widget/controls.h"
#include "kalu_ui/widget/support.h"

namespace kalu_ui::widget {

// A choice among texts. The chosen text lives in a text cell (from_state) or
// under a key of the state document. Activating it opens a list drawn over
// the page (draw_overlay); arrows move the highlight, Enter or Space or a
// click picks, Escape or a click elsewhere closes without picking.
class Dropdown : public ControlBase<Dropdown> {
 public:
  static constexpr std::string_view kTypeName = type_names::kDropdown;
  static constexpr float kHeight = 36.0f;
  static constexpr float kMinWidth = 160.0f;
  static constexpr double kItemHeight = 32.0;
  static constexpr double kListGap = 4.0;

  using ChangeHandler = std::move_only_function<void(const std::string&)>;

  // Bound to the text under `value_key` of the state document.
  Dropdown(std::string value_key, std::vector<std::string> options, std::string initial);
  static Dropdown from_state(std::shared_ptr<WakeSlot<std::string>> cell,
                             std::vector<std::string> options);

  Dropdown(Dropdown&&) noexcept = default;
  Dropdown& operator=(Dropdown&&) noexcept = default;

  Dropdown& with_enabled(bool enabled) &;
  Dropdown& on_change(ChangeHandler handler) &;
  KALU_UI_RVALUE_BUILDER(Dropdown, with_enabled)
  KALU_UI_RVALUE_BUILDER(Dropdown, on_change)

  std::string selected() const;
  const std::vector<std::string>& options() const { return options_; }
  bool is_open() const { return open_; }
  std::optional<std::size_t> highlighted() const {
    return open_ ? std::optional(highlighted_) : std::nullopt;
  }
  // Picks an option as the user does and closes the list.
  void choose(std::size_t index);
  void open();
  void close();
  // The rectangle of the index-th entry of the open list.
  Rect item_rect(std::size_t index) const;

  void sync(doc::Document& document) override;
  void draw(Scene& scene, const Affine& transform, text::TextRenderer& renderer, const Theme& theme,
            DrawContext& context) override;
  void draw_overlay(Scene& scene, const Affine& transform, text::TextRenderer& renderer,
                    const Theme& theme, DrawContext& context) override;
  void handle_event(const Event& event, EventContext& context) override;
  std::optional<std::string> id() const override { return id_.value_or("dropdown"); }
  void set_focus(bool focused) override;
  bool is_enabled() const override { return control_enabled(); }
  std::optional<Rect> ime_cursor_rect() const override;
  std::optional<AccessibilityNode> accessibility() const override;
  bool perform_action(const SemanticAction& action,
                      const kalu_actions::ActionContext& context) override;
  std::optional<TextInputKind> text_input_kind() const override { return TextInputKind{0}; }
  bool wants_pointer_capture() const override { return open_; }

 protected:
  layout::Style leaf_style() const override;
  // An action that became unavailable closes the open list.
  void availability_changed() override;

 private:
  explicit Dropdown(std::vector<std::string> options);
  std::optional<std::size_t> index_of(const std::string& text) const;
  void move_highlight(std::ptrdiff_t delta);

  std::shared_ptr<WakeSlot<std::string>> cell_;
  std::optional<std::string> value_key_;
  bool pending_write_ = false;
  std::string value_;
  std::vector<std::string> options_;
  std::optional<ChangeHandler> on_change_;
  bool open_ = false;
  std::size_t highlighted_ = 0;
};

}  // namespace kalu_ui::widget
