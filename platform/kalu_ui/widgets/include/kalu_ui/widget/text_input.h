#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "kalu_ui/instant.h"
#include "kalu_ui/secret.h"
#include "kalu_ui/text.h"
#include "kalu_ui/wake_slot.h"
#include "kalu_ui/widget/controls.h"
#include "kalu_ui/widget/support.h"

namespace kalu_ui::widget {

// A one-line text field. Its text lives in a text cell (from_state), which
// receives every edit, in a text object of the state document, which it
// brings up to date at sync, or in a secret buffer (from_secret), which it
// edits in place. Caret and selection are byte offsets on UTF-8 character
// boundaries. Enter marks a pending commit (needs_commit) that on_commit
// clears. A masked field draws dots and never lets its text out through copy,
// accessibility or text_review.
//
// A field over a secret buffer is masked and of the password kind for good:
// its text is never copied into the widget (text() stays empty), the state
// document, a control invocation, the clipboard, an input-method composition,
// accessibility, text_review or get_state. The buffer's owner may take or
// clear the text at any time on the UI thread; the field follows at sync.
class TextInput : public ControlBase<TextInput> {
 public:
  static constexpr std::string_view kTypeName = type_names::kTextInput;
  static constexpr float kDefaultTextSize = 14.0f;
  static constexpr float kMinHeight = 36.0f;
  static constexpr float kDefaultWidth = 200.0f;
  static constexpr double kPaddingX = 10.0;
  static constexpr std::chrono::milliseconds kBlinkInterval{530};

  // Input kinds as pages pass them: what the text is (a search, a name, a
  // user name, an e-mail address, an address on the web, a secret).
  static constexpr TextInputKind kKindPlain = 0;
  static constexpr TextInputKind kKindName = 1;
  static constexpr TextInputKind kKindSearch = 2;
  static constexpr TextInputKind kKindUsername = 3;
  static constexpr TextInputKind kKindEmail = 4;
  static constexpr TextInputKind kKindUrl = 5;
  static constexpr TextInputKind kKindPassword = 9;

  // Bound to the text object under `value_key` of the state document.
  explicit TextInput(std::string value_key);
  static TextInput from_state(std::shared_ptr<WakeSlot<std::string>> cell);
  // Edits `buffer` in place (see above).
  static TextInput from_secret(std::shared_ptr<secret::SecretBuffer> buffer);

  TextInput(TextInput&&) noexcept = default;
  TextInput& operator=(TextInput&&) noexcept = default;

  TextInput& with_kind(TextInputKind kind) &;
  TextInput& with_placeholder(std::string placeholder) &;
  TextInput& with_masked(bool masked = true) &;
  TextInput& with_text_size(float size) &;
  TextInput& with_enabled(bool enabled) &;
  KALU_UI_RVALUE_BUILDER(TextInput, with_kind)
  KALU_UI_RVALUE_BUILDER(TextInput, with_placeholder)
  KALU_UI_RVALUE_BUILDER(TextInput, with_masked)
  KALU_UI_RVALUE_BUILDER(TextInput, with_text_size)
  KALU_UI_RVALUE_BUILDER(TextInput, with_enabled)

  // The text; empty for a field over a secret buffer.
  const std::string& text() const { return text_; }
  bool is_secret() const { return secret_ != nullptr; }
  std::size_t caret() const { return caret_; }
  // The selected byte range (start, end); empty when start == end.
  std::pair<std::size_t, std::size_t> selection() const;
  // Replaces the selection with `typed` as typing does (control characters
  // dropped, invalid UTF-8 refused).
  void insert(std::string_view typed);
  void set_text(std::string text);
  // The bytes of the text, wherever it lives.
  std::size_t text_size() const { return content().size(); }

  void set_interaction_environment(InteractionEnvironment environment) override;
  void sync(doc::Document& document) override;
  layout::LayoutSize measure(layout::KnownDimensions known, layout::AvailableSize available,
                             text::TextRenderer& renderer) override;
  void apply_layout(const layout::LayoutTree& tree, layout::NodeId node, double origin_x,
                    double origin_y) override;
  void draw(Scene& scene, const Affine& transform, text::TextRenderer& renderer, const Theme& theme,
            DrawContext& context) override;
  void handle_event(const Event& event, EventContext& context) override;
  std::optional<std::string> id() const override { return id_.value_or("text_input"); }
  std::optional<CursorKind> cursor_icon_at(double x, double y) const override;
  void set_focus(bool focused) override;
  // Whether the field has held focus since it was built.
  bool flag_c() const override { return was_focused_; }
  std::optional<Rect> ime_cursor_rect() const override;
  std::optional<AccessibilityNode> accessibility() const override;
  bool perform_action(const SemanticAction& action,
                      const kalu_actions::ActionContext& context) override;
  std::optional<TextInputKind> text_input_kind() const override { return kind_; }
  bool needs_commit() const override { return pending_commit_; }
  void on_commit() override { pending_commit_ = false; }
  std::optional<std::string> get_state() const override;
  void set_state(std::string_view state) override;
  std::optional<WidgetPlace> place() const override;
  void take_place(const WidgetPlace& place) override;
  // Typed into since it took the focus, with no Enter since.
  bool editing() const { return editing_; }
  std::optional<TextReview> text_review() const override;
  std::optional<PresenceKey> presence_key() const override { return PresenceKey{*id()}; }
  bool wants_pointer_capture() const override { return dragging_; }
  // While focused: the next moment the caret blinks.
  std::optional<Instant> next_wake_deadline() const override;
  bool layout_needs_measure() const override { return measure_dirty_ || is_zero_rect(rect_); }
  bool needs_redraw() const override { return true; }
  void draw_overlay(Scene& scene, const Affine& transform, text::TextRenderer& renderer,
                    const Theme& theme, DrawContext& context) override;

  // Whether the caret shows at `now` (it blinks from the last edit or move).
  bool caret_visible(Instant now) const;

 private:
  TextInput() = default;
  // Brings the text in from the cell or the document, or writes the
  // person's edit out.
  void sync_text(doc::Document& document);
  // The nearest character boundary of the text at or before `byte`.
  std::size_t boundary_at_or_before(std::size_t byte) const;
  // The text wherever it lives. A secret buffer's view is read on the UI
  // thread, the only one that changes it.
  std::string_view content() const;
  // Replaces `length` bytes at `start` with `text`; false when the secret
  // buffer cannot hold the result.
  bool replace_range(std::size_t start, std::size_t length, std::string_view text);
  // The text as drawn: dots for a masked field.
  std::string display_text() const;
  std::size_t display_offset(std::size_t byte) const;
  void edited();
  void moved(std::size_t caret, bool extend);
  void erase_selection();
  bool handle_key(const KeyDown& key, EventContext& context);
  std::size_t offset_at_x(double x) const;
  text::TextStyle style(text::TextRenderer& renderer) const;

  std::shared_ptr<WakeSlot<std::string>> cell_;
  std::shared_ptr<secret::SecretBuffer> secret_;
  std::optional<std::string> value_key_;
  bool pending_doc_write_ = false;
  std::string text_;
  std::size_t caret_ = 0;
  std::size_t anchor_ = 0;
  std::string preedit_;
  TextInputKind kind_ = kKindPlain;
  std::string placeholder_;
  bool masked_ = false;
  float text_size_ = kDefaultTextSize;
  InteractionEnvironment environment_;
  bool was_focused_ = false;
  bool dragging_ = false;
  bool pending_commit_ = false;
  bool editing_ = false;
  // A caret and anchor taken over from the field this one replaces, placed
  // once the first sync has brought the text in.
  std::optional<std::pair<std::size_t, std::size_t>> placed_caret_;
  bool measure_dirty_ = true;
  Instant blink_epoch_;
  // Caret x (relative to the text origin) at each character boundary of the
  // drawn text, with the byte offsets in the real text; filled at draw.
  std::vector<std::pair<std::size_t, double>> boundaries_;
  Rect caret_rect_;
};

}  // namespace kalu_ui::widget
