#include "kalu_ui/widget/text_input.h"

#include <algorithm>
#include <cctype>

#include "control_internal.h"
#include "kalu_ui/document.h"
#include "kalu_ui/scene.h"
#include "kalu_ui/theme.h"

namespace kalu_ui::widget {
namespace {

constexpr std::string_view kMaskDot = "\u2022";

bool is_continuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

std::size_t prev_boundary(std::string_view s, std::size_t i) {
  if (i == 0) return 0;
  --i;
  while (i > 0 && is_continuation(static_cast<unsigned char>(s[i]))) --i;
  return i;
}

std::size_t next_boundary(std::string_view s, std::size_t i) {
  if (i >= s.size()) return s.size();
  ++i;
  while (i < s.size() && is_continuation(static_cast<unsigned char>(s[i]))) ++i;
  return i;
}

std::size_t char_count(std::string_view s) {
  return static_cast<std::size_t>(std::count_if(
      s.begin(), s.end(), [](char c) { return !is_continuation(static_cast<unsigned char>(c)); }));
}

// Letters, digits and every non-ASCII character make words.
bool is_word_byte(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return byte >= 0x80 || std::isalnum(byte) || c == '_';
}

std::size_t word_left(std::string_view s, std::size_t i) {
  while (i > 0 && !is_word_byte(s[prev_boundary(s, i)])) i = prev_boundary(s, i);
  while (i > 0 && is_word_byte(s[prev_boundary(s, i)])) i = prev_boundary(s, i);
  return i;
}

std::size_t word_right(std::string_view s, std::size_t i) {
  while (i < s.size() && !is_word_byte(s[i])) i = next_boundary(s, i);
  while (i < s.size() && is_word_byte(s[i])) i = next_boundary(s, i);
  return i;
}

// Well-formed UTF-8 (no overlong forms, surrogates or values past U+10FFFF).
bool is_valid_utf8(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size()) {
    const auto b = static_cast<unsigned char>(s[i]);
    std::size_t len = b < 0x80           ? 1
                      : (b >> 5) == 0x6  ? 2
                      : (b >> 4) == 0xE  ? 3
                      : (b >> 3) == 0x1E ? 4
                                         : 0;
    if (len == 0 || i + len > s.size()) return false;
    std::uint32_t cp = len == 1 ? b : b & (0x7F >> len);
    for (std::size_t k = 1; k < len; ++k) {
      const auto c = static_cast<unsigned char>(s[i + k]);
      if (!is_continuation(c)) return false;
      cp = (cp << 6) | (c & 0x3F);
    }
    static constexpr std::uint32_t kMin[] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < kMin[len] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    i += len;
  }
  return true;
}

}  // namespace

TextInput::TextInput(std::string value_key) : value_key_(std::move(value_key)) {}

TextInput TextInput::from_state(std::shared_ptr<WakeSlot<std::string>> cell) {
  TextInput input;
  input.text_ = cell->get();
  input.caret_ = input.anchor_ = input.text_.size();
  input.cell_ = std::move(cell);
  return input;
}

TextInput TextInput::from_secret(std::shared_ptr<secret::SecretBuffer> buffer) {
  TextInput input;
  input.secret_ = std::move(buffer);
  input.masked_ = true;
  input.kind_ = kKindPassword;
  input.caret_ = input.anchor_ = input.content().size();
  return input;
}

std::string_view TextInput::content() const {
  if (!secret_) return text_;
  return secret_->lock().view();
}

bool TextInput::replace_range(std::size_t start, std::size_t length, std::string_view text) {
  if (secret_) return secret_->lock().replace(start, length, text);
  text_.replace(start, length, text);
  return true;
}

TextInput& TextInput::with_kind(TextInputKind kind) & {
  if (secret_) return *this;
  kind_ = kind;
  return *this;
}
TextInput& TextInput::with_placeholder(std::string placeholder) & {
  placeholder_ = std::move(placeholder);
  return *this;
}
TextInput& TextInput::with_masked(bool masked) & {
  masked_ = masked || secret_ != nullptr;
  return *this;
}
TextInput& TextInput::with_text_size(float size) & {
  text_size_ = size;
  measure_dirty_ = true;
  return *this;
}
TextInput& TextInput::with_enabled(bool enabled) & {
  enabled_ = enabled;
  if (!enabled) dragging_ = false;
  return *this;
}
std::pair<std::size_t, std::size_t> TextInput::selection() const {
  return {std::min(caret_, anchor_), std::max(caret_, anchor_)};
}

void TextInput::edited() {
  anchor_ = caret_;
  blink_epoch_ = Instant::now();
  editing_ = editing_ || focused_;
  if (secret_) return;
  if (cell_) cell_->publish(text_);
  pending_doc_write_ = value_key_.has_value();
  record(text_);
}

void TextInput::moved(std::size_t caret, bool extend) {
  caret_ = caret;
  if (!extend) anchor_ = caret;
  blink_epoch_ = Instant::now();
}

void TextInput::erase_selection() {
  const auto [start, end] = selection();
  if (!replace_range(start, end - start, {})) return;
  caret_ = anchor_ = start;
}

void TextInput::insert(std::string_view typed) {
  if (!is_valid_utf8(typed)) return;
  std::string clean;
  clean.reserve(typed.size());  // one allocation: no partial copy of a secret is left behind
  for (char c : typed) {
    if (static_cast<unsigned char>(c) >= 0x20 && c != 0x7F) clean.push_back(c);
  }
  const auto [start, end] = selection();
  const bool fits = !(clean.empty() && start == end) && replace_range(start, end - start, clean);
  if (fits) {
    caret_ = start + clean.size();
    edited();
  }
  if (secret_) secret::wipe(clean);
}

void TextInput::set_text(std::string text) {
  if (!is_valid_utf8(text)) return;
  if (secret_) {
    const bool fits = secret_->lock().assign(text);
    secret::wipe(text);
    if (!fits) return;
  } else {
    text_ = std::move(text);
  }
  caret_ = content().size();
  edited();
}

std::string TextInput::display_text() const {
  if (!masked_) return text_;
  std::string dots;
  const std::size_t n = char_count(content());
  dots.reserve(n * kMaskDot.size());
  for (std::size_t i = 0; i < n; ++i) dots.append(kMaskDot);
  return dots;
}

std::size_t TextInput::display_offset(std::size_t byte) const {
  if (!masked_) return byte;
  return char_count(content().substr(0, byte)) * kMaskDot.size();
}

void TextInput::set_interaction_environment(InteractionEnvironment environment) {
  environment_ = environment;
  if (environment.values[0] != 0) dragging_ = false;
}

void TextInput::sync(doc::Document& document) {
  sync_text(document);
  if (const auto placed = std::exchange(placed_caret_, std::nullopt)) {
    caret_ = boundary_at_or_before(placed->first);
    anchor_ = boundary_at_or_before(placed->second);
  }
}

std::size_t TextInput::boundary_at_or_before(std::size_t byte) const {
  const std::string_view text = content();
  byte = std::min(byte, text.size());
  while (byte > 0 && byte < text.size() &&
         is_continuation(static_cast<unsigned char>(text[byte]))) {
    --byte;
  }
  return byte;
}

void TextInput::sync_text(doc::Document& document) {
  if (secret_) {
    // The owner may have taken or cleared the text.
    const std::size_t size = content().size();
    if (caret_ > size || anchor_ > size) caret_ = anchor_ = size;
    return;
  }
  if (cell_) {
    // Another writer may have published into the cell; while the person
    // types, their text stands.
    std::string current = cell_->get();
    if (current != text_ && editing_) {
      cell_->publish(text_);
    } else if (current != text_) {
      text_ = std::move(current);
      caret_ = anchor_ = text_.size();
      measure_dirty_ = true;
    }
    return;
  }
  if (!value_key_) return;
  if (!pending_doc_write_) {
    std::optional<std::string> stored = document.read_text(doc::kRoot, *value_key_);
    if (!stored || *stored == text_) return;
    if (!editing_) {
      text_ = std::move(*stored);
      caret_ = anchor_ = boundary_at_or_before(caret_);
      return;
    }
  }
  pending_doc_write_ = false;
  std::optional<doc::Value> held = document.get(doc::kRoot, *value_key_);
  const doc::ObjectRef* ref = held ? std::get_if<doc::ObjectRef>(&*held) : nullptr;
  doc::ObjId obj;
  if (ref && ref->type == doc::ObjType::Text) {
    obj = ref->id;
  } else {
    Result<doc::ObjId> made = document.put_object(doc::kRoot, *value_key_, doc::ObjType::Text);
    if (!made) return;
    obj = *made;
  }
  const std::string old = document.text(obj).value_or(std::string());
  // Splice only the changed middle, on character boundaries of both texts.
  auto inside_char = [](std::string_view t, std::size_t i) {
    return i < t.size() && is_continuation(static_cast<unsigned char>(t[i]));
  };
  std::size_t prefix = 0;
  while (prefix < old.size() && prefix < text_.size() && old[prefix] == text_[prefix]) ++prefix;
  while (prefix > 0 && (inside_char(old, prefix) || inside_char(text_, prefix))) --prefix;
  const std::size_t room = std::min(old.size(), text_.size()) - prefix;
  std::size_t suffix = 0;
  while (suffix < room && old[old.size() - 1 - suffix] == text_[text_.size() - 1 - suffix]) {
    ++suffix;
  }
  while (suffix > 0 &&
         (inside_char(old, old.size() - suffix) || inside_char(text_, text_.size() - suffix))) {
    --suffix;
  }
  const std::string_view removed =
      std::string_view(old).substr(prefix, old.size() - prefix - suffix);
  const std::string_view added =
      std::string_view(text_).substr(prefix, text_.size() - prefix - suffix);
  (void)document.splice_text(obj, char_count(std::string_view(old).substr(0, prefix)),
                             char_count(removed), added);
}

text::TextStyle TextInput::style(text::TextRenderer& renderer) const {
  return detail::label_style(renderer, text_size_);
}

layout::LayoutSize TextInput::measure(layout::KnownDimensions known, layout::AvailableSize,
                                      text::TextRenderer& renderer) {
  const text::TextMetrics m =
      renderer.measure("Ag", style(renderer), std::nullopt, text::LayoutOption::SingleLine);
  measure_dirty_ = false;
  return {known.width.value_or(kDefaultWidth),
          known.height.value_or(std::max(static_cast<float>(m.height) + 16.0f, kMinHeight))};
}

void TextInput::apply_layout(const layout::LayoutTree& tree, layout::NodeId node, double origin_x,
                             double origin_y) {
  Leaf::apply_layout(tree, node, origin_x, origin_y);
}

void TextInput::draw(Scene& scene, const Affine& transform, text::TextRenderer& renderer,
                     const Theme& theme, DrawContext&) {
  scene.fill(RoundedRect{rect_, theme.control_radius}, theme.control, transform);
  const text::TextStyle s = style(renderer);
  const std::string shown = display_text();
  const double x = rect_.x0 + kPaddingX;
  const text::TextMetrics m = renderer.measure(shown.empty() ? "Ag" : shown, s, std::nullopt,
                                               text::LayoutOption::SingleLine);
  const double y = rect_.center().y - m.height / 2.0;
  scene.push_clip(rect_.inset(2.0), transform);
  // Boundaries for pointer hits, in drawn coordinates.
  boundaries_.clear();
  const std::string_view real = content();
  for (std::size_t b = 0;; b = next_boundary(real, b)) {
    const Rect c = renderer.caret_rect(shown, s, std::nullopt, text::LayoutOption::SingleLine,
                                       display_offset(b));
    boundaries_.emplace_back(b, x + c.x0);
    if (b >= real.size()) break;
  }
  const auto [start, end] = selection();
  if (focused_ && start != end) {
    double sx0 = x, sx1 = x;
    for (const auto& [byte, bx] : boundaries_) {
      if (byte == start) sx0 = bx;
      if (byte == end) sx1 = bx;
    }
    scene.fill(Rect{sx0, y, sx1, y + m.height}, theme.accent.with_alpha_factor(0.35), transform);
  }
  if (shown.empty() && preedit_.empty()) {
    renderer.draw_text(scene, placeholder_, s.with_color(theme.secondary), {x, y}, std::nullopt,
                       text::LayoutOption::SingleLine, transform);
  } else {
    renderer.draw_text(scene, shown, s.with_color(enabled_ ? theme.foreground : theme.disabled),
                       {x, y}, std::nullopt, text::LayoutOption::SingleLine, transform);
  }
  const Rect caret = renderer.caret_rect(shown, s, std::nullopt, text::LayoutOption::SingleLine,
                                         display_offset(caret_));
  caret_rect_ = Rect{x + caret.x0, y + caret.y0, x + caret.x0 + 1.0, y + caret.y1};
  if (!preedit_.empty()) {
    // The composition shows at the caret, underlined, until it is committed.
    const text::TextMetrics pm =
        renderer.draw_text(scene, preedit_, s.with_color(theme.foreground), {caret_rect_.x0, y},
                           std::nullopt, text::LayoutOption::SingleLine, transform);
    scene.stroke(
        kalu_ui::Line{{caret_rect_.x0, y + pm.height}, {caret_rect_.x0 + pm.width, y + pm.height}},
        theme.foreground, StrokeStyle(1.0), transform);
  }
  if (focused_ && caret_visible(Instant::now())) {
    scene.fill(caret_rect_, theme.foreground, transform);
  }
  scene.pop_clip();
  if (focused_) detail::draw_focus_ring(scene, rect_, theme, transform);
}

void TextInput::draw_overlay(Scene&, const Affine&, text::TextRenderer&, const Theme&,
                             DrawContext&) {}

std::size_t TextInput::offset_at_x(double x) const {
  std::size_t best = content().size();
  double best_distance = -1.0;
  for (const auto& [byte, bx] : boundaries_) {
    const double d = std::abs(bx - x);
    if (best_distance < 0.0 || d < best_distance) {
      best = byte;
      best_distance = d;
    }
  }
  return best;
}

bool TextInput::handle_key(const KeyDown& key, EventContext& context) {
  const bool shift = key.modifiers.shift;
  const bool ctrl = key.modifiers.ctrl;
  const auto [start, end] = selection();
  const std::string_view text = content();
  switch (key.key) {
    case Key::Left:
      if (!shift && !ctrl && start != end) return moved(start, false), true;
      moved(ctrl ? word_left(text, caret_) : prev_boundary(text, caret_), shift);
      return true;
    case Key::Right:
      if (!shift && !ctrl && start != end) return moved(end, false), true;
      moved(ctrl ? word_right(text, caret_) : next_boundary(text, caret_), shift);
      return true;
    case Key::Home:
      moved(0, shift);
      return true;
    case Key::End:
      moved(text.size(), shift);
      return true;
    case Key::Backspace:
    case Key::Delete:
      if (start == end) {
        const bool back = key.key == Key::Backspace;
        const std::size_t to =
            back ? (ctrl ? word_left(text, caret_) : prev_boundary(text, caret_))
                 : (ctrl ? word_right(text, caret_) : next_boundary(text, caret_));
        if (to == caret_) return true;
        anchor_ = to;
      }
      erase_selection();
      edited();
      return true;
    case Key::Enter:
      pending_commit_ = true;
      editing_ = false;
      return true;
    case Key::Escape:
      return false;
    default:
      break;
  }
  if (!ctrl) return false;
  switch (key.key) {
    case Key::A:
      anchor_ = 0;
      caret_ = text.size();
      return true;
    case Key::C:
    case Key::X:
      // A secret never reaches the clipboard.
      if (masked_ || start == end || !context.clipboard) return true;
      context.clipboard->write_text(text_.substr(start, end - start));
      if (key.key == Key::X) {
        erase_selection();
        edited();
      }
      return true;
    case Key::V:
      if (context.clipboard) {
        if (std::optional<std::string> pasted = context.clipboard->read_text()) {
          insert(*pasted);
          if (secret_) secret::wipe(*pasted);
        }
      }
      return true;
    default:
      return false;
  }
}

void TextInput::handle_event(const Event& event, EventContext& context) {
  if (!is_focusable()) return;
  if (const auto* down = event.as<PointerDown>()) {
    if (down->button != PointerButton::Primary || !rect_.contains(down->position)) return;
    context.request_focus(*this);
    context.capture_pointer(*this);
    dragging_ = true;
    const std::size_t at = offset_at_x(down->position.x);
    if (down->click_count >= 2) {
      anchor_ = word_left(content(), at);
      caret_ = word_right(content(), at);
    } else {
      moved(at, down->modifiers.shift);
    }
    context.set_handled();
  } else if (const auto* move = event.as<PointerMove>()) {
    if (!dragging_) return;
    moved(offset_at_x(move->position.x), true);
    context.set_handled();
  } else if (const auto* up = event.as<PointerUp>()) {
    if (!dragging_ || up->button != PointerButton::Primary) return;
    dragging_ = false;
    context.release_pointer_capture = true;
    context.set_handled();
  } else if (!focused_) {
    return;
  } else if (const auto* key = event.as<KeyDown>()) {
    if (handle_key(*key, context)) context.set_handled();
  } else if (const auto* typed = event.as<::kalu_ui::TextInput>()) {
    preedit_.clear();
    insert(typed->text);
    context.set_handled();
  } else if (const auto* preedit = event.as<ImePreedit>()) {
    // A composition is drawn in the clear, so a secret field shows none.
    preedit_ = !secret_ && is_valid_utf8(preedit->text) ? preedit->text : std::string();
    context.set_handled();
  }
}

std::optional<CursorKind> TextInput::cursor_icon_at(double x, double y) const {
  if (!enabled_ || !rect_.contains({x, y})) return std::nullopt;
  return controls::kCursorText;
}

void TextInput::set_focus(bool focused) {
  focused_ = focused;
  if (focused) {
    was_focused_ = true;
    blink_epoch_ = Instant::now();
  } else {
    // Leaving the field drops the selection and any unfinished composition,
    // and ends the edit.
    editing_ = false;
    anchor_ = caret_;
    preedit_.clear();
    dragging_ = false;
  }
}

std::optional<Rect> TextInput::ime_cursor_rect() const {
  if (!focused_) return std::nullopt;
  return caret_rect_;
}

bool TextInput::caret_visible(Instant now) const {
  const auto elapsed = now - blink_epoch_;
  if (elapsed.count() < 0) return true;
  return (elapsed / kBlinkInterval) % 2 == 0;
}

std::optional<Instant> TextInput::next_wake_deadline() const {
  if (!focused_ || !enabled_) return std::nullopt;
  const auto elapsed = Instant::now() - blink_epoch_;
  const auto periods = elapsed.count() < 0 ? 0 : elapsed / kBlinkInterval + 1;
  return blink_epoch_ +
         periods * std::chrono::duration_cast<std::chrono::nanoseconds>(kBlinkInterval);
}

std::optional<AccessibilityNode> TextInput::accessibility() const {
  const std::uint8_t role = masked_ || kind_ == kKindPassword ? controls::kRolePasswordField
                            : kind_ == kKindSearch            ? controls::kRoleSearchField
                                                              : controls::kRoleTextField;
  AccessibilityNode node = control_node(role, label_.empty() ? placeholder_ : label_)
                               .with_value(masked_ ? std::string() : text_);
  // A hint shown as the placeholder describes a named field.
  if (node.description.empty() && !placeholder_.empty() && node.label != placeholder_) {
    node.description = placeholder_;
  }
  return node;
}

bool TextInput::perform_action(const SemanticAction& action, const kalu_actions::ActionContext&) {
  if (!is_focusable()) return false;
  switch (action.kind) {
    case SemanticAction::Kind::Activate:
    case SemanticAction::Kind::Focus:
      set_focus(true);
      return true;
    case SemanticAction::Kind::Blur:
      set_focus(false);
      return true;
    case SemanticAction::Kind::SetValue:
      if (!action.value || !is_valid_utf8(*action.value)) return false;
      set_text(*action.value);
      return true;
    default:
      return false;
  }
}

std::optional<std::string> TextInput::get_state() const {
  if (masked_) return std::nullopt;
  return text_;
}

void TextInput::set_state(std::string_view state) { set_text(std::string(state)); }

std::optional<WidgetPlace> TextInput::place() const {
  if (!focused_) return std::nullopt;
  WidgetPlace held;
  // A secret stays in its buffer, which the field replacing this one edits
  // too: only where the caret was travels.
  held.edit = TextEdit{secret_ ? std::nullopt : std::optional<std::string>(text_), caret_, anchor_,
                       editing_};
  return held;
}

void TextInput::take_place(const WidgetPlace& place) {
  if (!place.edit) return;
  const TextEdit& edit = *place.edit;
  if (edit.editing && edit.text && !secret_ && *edit.text != text_) {
    text_ = *edit.text;
    measure_dirty_ = true;
    if (cell_) cell_->publish(text_);
    pending_doc_write_ = value_key_.has_value();
  }
  editing_ = edit.editing;
  placed_caret_ = {edit.caret, edit.anchor};
  caret_ = boundary_at_or_before(edit.caret);
  anchor_ = boundary_at_or_before(edit.anchor);
}

std::optional<TextReview> TextInput::text_review() const {
  // Not even the length of a secret is offered for review.
  if (secret_) return std::nullopt;
  return TextReview{display_text(), display_offset(caret_)};
}

}  // namespace kalu_ui::widget
