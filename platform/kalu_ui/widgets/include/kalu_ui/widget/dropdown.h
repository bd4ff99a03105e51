#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "kalu_ui/instant.h"
#include "kalu_ui/wake_slot.h"
#include "kalu_ui/widget/controls.h"
#include "kalu_ui/widget/support.h"

namespace kalu_ui::widget {

// A choice among texts. The chosen text lives in a text cell (from_state) or
// under a key of the state document. Activating it opens a list drawn over
// the page (draw_overlay); arrows, Page Up/Down, Home and End move the
// highlight, Enter or Space or a click picks, Escape or a click elsewhere
// closes without picking.
//
// Its natural width holds its widest option whole beside the chevron (never
// less than kMinWidth), so a row with room shows every choice unclipped; a
// row narrower than that shrinks it towards kMinWidth and the chosen text
// ends in an ellipsis. The open list is at least that natural width, so its
// entries stay whole even then. The options' texts are measured once per
// options (and text scale), not on every layout.
//
// The list opens below the dropdown when it fits there within the last drawn
// overlay clip (the window), above it when it does not and there is more room
// above; when neither side holds it whole it takes the larger side, shows as
// many entries as fit and scrolls: the highlighted entry is kept in view, the
// wheel over the list scrolls it. Clicks, hover and the damage area follow
// the list where it was drawn.
class Dropdown : public ControlBase<Dropdown> {
 public:
  static constexpr std::string_view kTypeName = type_names::kDropdown;
  static constexpr float kHeight = 36.0f;
  static constexpr float kMinWidth = 160.0f;
  static constexpr double kItemHeight = 32.0;
  static constexpr double kListGap = 4.0;
  // Space beside the text: the inset before it, and the inset, chevron and
  // inset after it.
  static constexpr double kTextInset = 12.0;
  static constexpr double kChevronWidth = 10.0;
  static constexpr double kChrome = 3.0 * kTextInset + kChevronWidth;

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
  // Type-ahead: the text typed (at `now`) joins the prefix typed so far,
  // unless the person paused longer than kTypeAheadPause, and the open list
  // moves to the first option from the highlighted one on that starts with
  // it (letters compared without case); the same letter typed again steps
  // to the next option starting with it. Opens a closed list.
  void type_ahead(std::string_view text, Instant now);
  static constexpr std::chrono::milliseconds kTypeAheadPause{1000};
  void open();
  void close();
  // The rectangle of the index-th entry of the open list, where it lies in
  // the scrolled list (entries scrolled out of view lie outside list_rect).
  Rect item_rect(std::size_t index) const;
  // The open list's shown part: its rectangle and the entries in it.
  Rect list_rect() const;
  std::size_t first_shown() const { return first_shown_; }
  std::size_t shown_count() const;
  // Replaces the choices (closing the list); the width follows them at the
  // next layout.
  void set_options(std::vector<std::string> options);

  layout::LayoutSize measure(layout::KnownDimensions known, layout::AvailableSize available,
                             text::TextRenderer& renderer) override;

  void sync(doc::Document& document) override;
  // At once while a change waits to be written or was written by the last
  // sync: the pane that acts on it syncs before its page, so it sees the
  // change only in the next frame, which must not wait for another event.
  std::optional<Instant> next_wake_deadline() const override;
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
  // The closed rect, and while open or just closed the list too.
  void collect_damage(DamageList& damage) const override;
  // An open list stays open, at the same entry, on the dropdown that
  // replaces this one.
  std::optional<WidgetPlace> place() const override;
  void take_place(const WidgetPlace& place) override;

 protected:
  layout::Style leaf_style() const override;
  // An action that became unavailable closes the open list.
  void availability_changed() override;

 private:
  explicit Dropdown(std::vector<std::string> options);
  std::optional<std::size_t> index_of(const std::string& text) const;
  bool typing(Instant now) const;
  void move_highlight(std::ptrdiff_t delta);
  // How far Page Up and Page Down move the highlight.
  std::ptrdiff_t page_step() const;
  // The widest option's text width, measured once per options and text size.
  double widest_option(text::TextRenderer& renderer);
  // Where the open list starts and ends across: at least the natural width,
  // moved left to stay within the last drawn clip when it can.
  std::pair<double, double> list_span() const;
  // Where the list goes: its top edge and how many entries it shows.
  struct Placement {
    double top = 0.0;
    std::size_t shown = 0;
  };
  Placement placement() const;
  // Scrolls the list so that `index` is shown, and keeps the scroll within
  // the options.
  void reveal(std::size_t index);
  void scroll_to(std::size_t first);
  std::optional<std::size_t> shown_item_at(Point position) const;

  std::shared_ptr<WakeSlot<std::string>> cell_;
  std::optional<std::string> value_key_;
  bool pending_write_ = false;
  bool written_ = false;  // by the last sync
  std::string value_;
  std::vector<std::string> options_;
  std::optional<ChangeHandler> on_change_;
  bool open_ = false;
  std::size_t highlighted_ = 0;
  // The cached widest option width and the text size it was measured at.
  std::optional<double> widest_option_;
  float measured_text_size_ = 0.0f;
  std::optional<Rect> overlay_clip_;
  // The first entry shown in the list, and the list as last drawn (so that
  // closing or moving it damages where it was).
  std::size_t first_shown_ = 0;
  bool reveal_pending_ = false;
  std::optional<Rect> drawn_list_;
  // The prefix typed so far and when its last letters came.
  std::string typed_;
  Instant typed_at_;
};

}  // namespace kalu_ui::widget
