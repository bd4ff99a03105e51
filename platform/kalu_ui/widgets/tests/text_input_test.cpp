#include "kalu_ui/widget/text_input.h"

#include <gtest/gtest.h>

#include "control_harness.h"
#include "kalu_ui/document.h"

namespace kalu_ui::widget {
namespace {

using testing::Harness;

TEST(TextInputTest, TypingAndBackspacesPublishEveryEdit) {
  auto cell = WakeSlot<std::string>::create("");
  TextInput input = TextInput::from_state(cell).with_kind(TextInput::kKindSearch);
  Harness h(input);
  h.click(input);
  ASSERT_TRUE(input.is_focused());
  for (const char* c : {"w", "i", "-", "f", "i"}) h.type(c);
  h.key(Key::Backspace);
  h.key(Key::Backspace);
  h.type("fi");
  EXPECT_EQ(cell->get(), "wi-fi");
  EXPECT_EQ(cell->generation(), 8u);  // five letters, two erasures, one typed pair
  EXPECT_EQ(input.text_review(), (TextReview{"wi-fi", 5}));
}

TEST(TextInputTest, CaretMovesOverWholeMultiByteCharacters) {
  auto cell = WakeSlot<std::string>::create("");
  TextInput input = TextInput::from_state(cell);
  input.set_focus(true);
  Harness h(input);
  h.type("añ€😀b");  // 1, 2, 3, 4 and 1 bytes
  EXPECT_EQ(input.caret(), 11u);
  std::vector<std::size_t> carets;
  for (int i = 0; i < 6; ++i) {
    h.key(Key::Left);
    carets.push_back(input.caret());
  }
  EXPECT_EQ(carets, (std::vector<std::size_t>{10, 6, 3, 1, 0, 0}));
  h.key(Key::Right);
  h.key(Key::Right);
  h.key(Key::Delete);  // removes the three-byte character
  EXPECT_EQ(cell->get(), "añ😀b");
  h.key(Key::Backspace);
  EXPECT_EQ(cell->get(), "a😀b");
  EXPECT_EQ(input.caret(), 1u);
  h.type(std::string("\xC3", 1));  // a broken sequence is refused
  EXPECT_EQ(cell->get(), "a😀b");
}

TEST(TextInputTest, SelectionWordMovesAndTheClipboard) {
  auto cell = WakeSlot<std::string>::create("");
  TextInput input = TextInput::from_state(cell);
  input.set_focus(true);
  Harness h(input);
  h.type("hello big world");
  h.key(Key::Left, testing::ctrl());
  EXPECT_EQ(input.caret(), 10u);
  Modifiers ctrl_shift = testing::ctrl();
  ctrl_shift.shift = true;
  h.key(Key::Left, ctrl_shift);
  EXPECT_EQ(input.selection(), (std::pair<std::size_t, std::size_t>{6, 10}));
  h.key(Key::X, testing::ctrl());
  EXPECT_EQ(h.clipboard.text, "big ");
  EXPECT_EQ(cell->get(), "hello world");
  h.key(Key::A, testing::ctrl());
  h.key(Key::V, testing::ctrl());
  EXPECT_EQ(cell->get(), "big ");
  h.clipboard.text = "line\none";  // control characters are dropped
  h.key(Key::V, testing::ctrl());
  EXPECT_EQ(cell->get(), "big lineone");
  h.key(Key::Backspace, testing::ctrl());
  EXPECT_EQ(cell->get(), "big ");
}

TEST(TextInputTest, MaskedFieldKeepsItsSecret) {
  auto cell = WakeSlot<std::string>::create("");
  TextInput input = TextInput::from_state(cell).with_masked().with_kind(TextInput::kKindPassword);
  input.set_focus(true);
  Harness h(input);
  h.type("pä55");
  h.key(Key::A, testing::ctrl());
  h.key(Key::C, testing::ctrl());
  EXPECT_FALSE(h.clipboard.text);
  EXPECT_EQ(input.get_state(), std::nullopt);
  EXPECT_EQ(input.accessibility()->value, "");
  EXPECT_EQ(input.accessibility()->role, controls::kRolePasswordField);
  EXPECT_EQ(input.text_review(), (TextReview{"\u2022\u2022\u2022\u2022", 12}));
  EXPECT_EQ(cell->get(), "pä55");
}

TEST(TextInputTest, SecretFieldEditsItsBufferInPlaceAndLetsNothingOut) {
  auto buffer = secret::SecretBuffer::create();
  doc::Document document;
  TextInput input = TextInput::from_secret(buffer).with_kind(TextInput::kKindPlain);
  input.with_id("network.mobile.pin").with_placeholder("SIM PIN").with_masked(false);
  input.set_focus(true);
  Harness h(input);
  h.type("24");
  ImePreedit composing;
  composing.text = "68";
  h.send(composing);
  h.type("6é8");
  h.key(Key::Left);
  h.key(Key::Backspace);  // the two-byte character
  input.sync(document);
  EXPECT_EQ(buffer->lock().view(), "2468");
  // Masked and a password field whatever the builders said; the widget
  // holds no copy and hands none out.
  EXPECT_EQ(input.text(), "");
  EXPECT_EQ(input.text_size(), 4u);
  EXPECT_EQ(input.text_input_kind(), TextInput::kKindPassword);
  EXPECT_EQ(input.accessibility()->role, controls::kRolePasswordField);
  EXPECT_EQ(input.accessibility()->value, "");
  EXPECT_EQ(input.get_state(), std::nullopt);
  EXPECT_EQ(input.text_review(), std::nullopt);
  h.key(Key::A, testing::ctrl());
  h.key(Key::C, testing::ctrl());
  EXPECT_FALSE(h.clipboard.text);
  EXPECT_TRUE(document.keys(doc::kRoot).empty());
  EXPECT_FALSE(input.take_control_invocation());

  // The owner takes the text; the field follows at its next sync and keeps
  // editing the same buffer.
  EXPECT_EQ(buffer->take().view(), "2468");
  EXPECT_TRUE(buffer->empty());
  input.sync(document);
  EXPECT_EQ(input.caret(), 0u);
  h.clipboard.text = "1357";
  h.key(Key::V, testing::ctrl());
  EXPECT_EQ(buffer->lock().view(), "1357");

  // Past the buffer's capacity an edit is refused whole.
  input.set_text(std::string(secret::SecretBuffer::kCapacity, 'x'));
  EXPECT_EQ(buffer->lock().size(), secret::SecretBuffer::kCapacity);
  h.type("y");
  EXPECT_EQ(buffer->lock().size(), secret::SecretBuffer::kCapacity);
}

TEST(TextInputTest, DocumentTextObjectFollowsTheEditsAtSync) {
  doc::Document document;
  TextInput input("network.hotspot.name");
  input.set_focus(true);
  Harness h(input);
  h.type("héllo");
  input.sync(document);
  EXPECT_EQ(document.read_text(doc::kRoot, "network.hotspot.name"), "héllo");
  ASSERT_TRUE(document.commit());
  h.key(Key::Home);
  h.key(Key::Right);
  h.key(Key::Delete);
  h.type("e");
  input.sync(document);
  EXPECT_EQ(document.read_text(doc::kRoot, "network.hotspot.name"), "hello");
  EXPECT_EQ(document.pending_ops(), 2u);  // one deletion, one insertion
}

TEST(TextInputTest, EnterMarksACommitBlinkWakesAndCursor) {
  auto cell = WakeSlot<std::string>::create("x");
  TextInput input = TextInput::from_state(cell);
  Harness h(input);
  EXPECT_EQ(input.next_wake_deadline(), std::nullopt);
  h.click(input);
  EXPECT_TRUE(input.flag_c());
  const auto deadline = input.next_wake_deadline();
  ASSERT_TRUE(deadline);
  EXPECT_LE(*deadline - Instant::now(), TextInput::kBlinkInterval);
  EXPECT_TRUE(input.caret_visible(Instant::now()));
  EXPECT_FALSE(input.caret_visible(Instant::now() + TextInput::kBlinkInterval));
  h.key(Key::Enter);
  EXPECT_TRUE(input.needs_commit());
  input.on_commit();
  EXPECT_FALSE(input.needs_commit());
  const Rect r = input.get_rect();
  EXPECT_EQ(input.cursor_icon_at(r.x0, r.y0), controls::kCursorText);
  EXPECT_EQ(input.cursor_icon_at(r.x1, r.y0), std::nullopt);
}

}  // namespace
}  // namespace kalu_ui::widget
