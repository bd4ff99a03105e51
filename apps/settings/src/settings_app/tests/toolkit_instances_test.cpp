// The toolkit widgets the program boxes into its pages, answering as the
// pages rely on: names, default ids, enabled state under a binding, cursors,
// and the scrolling area's accessibility node.

#include <gtest/gtest.h>

#include "kalu_ui/harness.h"
#include "kalu_ui/wake_slot.h"
#include "kalu_ui/widget/badge.h"
#include "kalu_ui/widget/button.h"
#include "kalu_ui/widget/card.h"
#include "kalu_ui/widget/column.h"
#include "kalu_ui/widget/dropdown.h"
#include "kalu_ui/widget/icon_widget.h"
#include "kalu_ui/widget/progress_bar.h"
#include "kalu_ui/widget/qr.h"
#include "kalu_ui/widget/scrollable.h"
#include "kalu_ui/widget/shortcut_recorder.h"
#include "kalu_ui/widget/slider.h"
#include "kalu_ui/widget/text.h"
#include "kalu_ui/widget/text_input.h"
#include "kalu_ui/widget/toggle.h"

namespace settings::settings_app {
namespace {

using kalu_ui::WidgetBox;
using namespace kalu_ui::widget;

TEST(ToolkitInstancesTest, ShortNamesAndDefaultIds) {
  const struct {
    WidgetBox widget;
    std::string_view short_name;
    std::optional<std::string> id;
  } cases[] = {
      {boxed(Scrollable()), "Scrollable", std::nullopt},
      {boxed(TextInput::from_state(kalu_ui::WakeSlot<std::string>::create(""))), "TextInput",
       "text_input"},
      {boxed(Button("Check").with_id("settings.updates.check")), "Button",
       "settings.updates.check"},
      {boxed(Slider::from_state(kalu_ui::WakeSlot<double>::create(0.5), 0.0, 1.0)), "Slider",
       "slider"},
      {boxed(Toggle::from_state(kalu_ui::WakeSlot<bool>::create(false))), "Toggle", "toggle"},
      {boxed(ProgressBar(0.5)), "ProgressBar", std::nullopt},
      {boxed(ShortcutRecorder("shortcut.lock", "shortcut.lock", "Super+L", "Super+L")),
       "ShortcutRecorder", "shortcut.lock"},
      {boxed(QrWidget("WIFI:S:home;;")), "QrWidget", "qr_widget"},
      {boxed(Card(boxed(Column()))), "Card", std::nullopt},
      {boxed(IconWidget(7)), "IconWidget", std::nullopt},
      {boxed(Text("plain")), "Text", std::nullopt},
      {boxed(Text("named").with_id("status")), "Text", "status"},
      {boxed(Badge::with_tone("Connected", 1)), "Badge", std::nullopt},
      {boxed(Dropdown::from_state(kalu_ui::WakeSlot<std::string>::create("a"), {"a", "b"})),
       "Dropdown", "dropdown"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.short_name);
    EXPECT_EQ(c.widget->short_type_name(), c.short_name);
    EXPECT_EQ(c.widget->id(), c.id);
  }
}

TEST(ToolkitInstancesTest, AButtonWhoseBindingIsUnavailableIsNotEnabled) {
  EXPECT_TRUE(Button("Check").with_id("check").bind_control_invoke(true, [] {}).is_enabled());
  EXPECT_FALSE(Button("Check").with_id("check").bind_control_invoke(false, [] {}).is_enabled());
  EXPECT_FALSE(Button("Check").with_id("check").with_enabled(false).is_enabled());
}

TEST(ToolkitInstancesTest, CursorsInsideOnlyAndNoneWhenDisabled) {
  auto field = TextInput::from_state(kalu_ui::WakeSlot<std::string>::create("")).with_id("field");
  auto disabled = TextInput::from_state(kalu_ui::WakeSlot<std::string>::create(""))
                      .with_id("disabled")
                      .with_enabled(false);
  kalu_ui::harness::Harness h(boxed(Column()
                                        .push(boxed(std::move(field)))
                                        .push(boxed(std::move(disabled)))
                                        .push(boxed(Button("Go").with_id("go")))
                                        .push(boxed(ShortcutRecorder("rec", "rec", "", "")))),
                              kalu_ui::harness::Options::sized({400.0, 400.0}));
  h.frame();
  const auto cursor_at_centre = [&](std::string_view id) {
    const kalu_ui::Rect rect = *h.rect_of(id);
    return h.find(id)->cursor_icon_at(rect.center().x, rect.center().y);
  };
  EXPECT_EQ(cursor_at_centre("field"), 8);
  EXPECT_EQ(cursor_at_centre("disabled"), std::nullopt);
  EXPECT_EQ(cursor_at_centre("go"), 3);
  EXPECT_EQ(cursor_at_centre("rec"), 3);
  // Right and bottom edges lie outside.
  const kalu_ui::Rect go = *h.rect_of("go");
  EXPECT_EQ(h.find("go")->cursor_icon_at(go.x0, go.y0), 3);
  EXPECT_EQ(h.find("go")->cursor_icon_at(go.x1, go.y0), std::nullopt);
  EXPECT_EQ(h.find("go")->cursor_icon_at(go.x0, go.y1), std::nullopt);
}

TEST(ToolkitInstancesTest, ScrollableAnswersAnEmptyNodeOfRoleTwo) {
  const auto node = Scrollable().with_child(boxed(Text("page"))).accessibility();
  ASSERT_TRUE(node.has_value());
  kalu_ui::AccessibilityNode expected;
  expected.role = 2;
  EXPECT_EQ(*node, expected);
}

}  // namespace
}  // namespace settings::settings_app
