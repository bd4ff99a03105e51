#include "kalu_ui/widget/shortcut_recorder.h"

#include <gtest/gtest.h>

#include "control_harness.h"
#include "frame.h"
#include "kalu_ui/document.h"
#include "kalu_ui/widget/row.h"

namespace kalu_ui::widget {
namespace {

using testing::Harness;

TEST(ShortcutRecorderTest, ActivationArmsAndTheNextChordIsRecorded) {
  doc::Document document;
  ShortcutRecorder recorder("shortcuts.terminal", "shortcuts.terminal.edit", "Ctrl+Alt+T",
                            "Ctrl+Alt+T");
  Harness h(recorder);
  h.click(recorder);
  ASSERT_TRUE(recorder.is_armed());
  h.key(Key::Control, testing::ctrl());  // a modifier alone waits
  h.key(Key::K);                         // no modifier: not a chord
  EXPECT_TRUE(recorder.is_armed());
  Modifiers mods = testing::ctrl();
  mods.shift = true;
  h.key(Key::K, mods);
  EXPECT_FALSE(recorder.is_armed());
  EXPECT_EQ(recorder.chord(), "Ctrl+Shift+K");
  recorder.sync(document);
  EXPECT_EQ(document.read_str(doc::kRoot, "shortcuts.terminal.edit"), "Ctrl+Shift+K");
}

// The field holds its chord at a larger text size: it grows past its least
// width instead of letting the text run past its edge.
TEST(ShortcutRecorderTest, TheFieldMeasuresItsChordAtTheTextSize) {
  const auto width_at = [](float text_scale, std::string chord) {
    Row row;
    row.push(boxed(ShortcutRecorder("shortcuts.help", "shortcuts.help.edit", chord, chord)));
    Frame frame;
    frame.renderer().set_text_scale(text_scale);
    EXPECT_TRUE(frame.layout(row, 800, 200));
    return row.children_mut().at(0)->get_rect().width();
  };
  EXPECT_EQ(width_at(1.0f, "F5"), ShortcutRecorder::kMinWidth);
  const double larger = width_at(1.5f, "Super+Shift+Slash");
  EXPECT_GT(larger, ShortcutRecorder::kMinWidth);
  EXPECT_GT(larger, width_at(1.0f, "Super+Shift+Slash"));
}

TEST(ShortcutRecorderTest, EscapeAndBlurDisarmWithoutRecording) {
  ShortcutRecorder recorder("a", "a.edit", "Super+L", "");
  Harness h(recorder);
  EXPECT_TRUE(recorder.perform_action(SemanticAction::activate(), {}));
  recorder.set_focus(true);
  h.key(Key::Escape);
  EXPECT_FALSE(recorder.is_armed());
  recorder.arm();
  recorder.set_focus(false);
  EXPECT_FALSE(recorder.is_armed());
  EXPECT_EQ(recorder.chord(), "Super+L");
  EXPECT_EQ(ShortcutRecorder::chord_text(Key::F5, {}), "F5");
}

TEST(ShortcutRecorderTest, UnavailableRecorderExplainsItself) {
  ShortcutRecorder recorder = ShortcutRecorder("a", "a.edit", "", "").with_unavailable();
  Harness h(recorder);
  const Rect r = recorder.get_rect();
  EXPECT_EQ(recorder.query_h(r.x0, r.y0)->text, "Shortcut unavailable");
  EXPECT_FALSE(recorder.perform_action(SemanticAction::activate(), {}));
  EXPECT_FALSE(recorder.is_focusable());
  EXPECT_EQ(recorder.cursor_icon_at(r.x0, r.y0), std::nullopt);
}

}  // namespace
}  // namespace kalu_ui::widget
