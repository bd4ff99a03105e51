#include "kalu_ui/widget/dropdown.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "control_harness.h"
#include "kalu_ui/document.h"
#include "kalu_ui/widget/column.h"
#include "kalu_ui/widget/row.h"
#include "kalu_ui/widget/spacer.h"
#include "kalu_ui/widget/text.h"

namespace kalu_ui::widget {
namespace {

using testing::Harness;

const std::vector<std::string> kModes = {"Balanced", "Power saver", "Performance"};

TEST(DropdownTest, OpensMovesWithArrowsAndPicksWithEnter) {
  auto cell = WakeSlot<std::string>::create("Balanced");
  Dropdown dropdown = Dropdown::from_state(cell, kModes).with_id("power.mode");
  Harness h(dropdown);
  dropdown.set_focus(true);
  h.key(Key::Enter);
  ASSERT_TRUE(dropdown.is_open());
  EXPECT_EQ(dropdown.highlighted(), 0u);  // starts on the current choice
  EXPECT_TRUE(dropdown.wants_pointer_capture());
  EXPECT_EQ(dropdown.ime_cursor_rect(), dropdown.get_rect());
  h.key(Key::Down);
  h.key(Key::Down);
  h.key(Key::Down);  // stays on the last entry
  h.key(Key::Up);
  EXPECT_EQ(dropdown.highlighted(), 1u);
  EXPECT_EQ(cell->generation(), 0u);  // moving does not publish
  h.key(Key::Enter);
  EXPECT_FALSE(dropdown.is_open());
  EXPECT_EQ(cell->get(), "Power saver");
  EXPECT_EQ(cell->generation(), 1u);
  EXPECT_EQ(dropdown.ime_cursor_rect(), std::nullopt);
}

// Type-ahead over a long list: the typed prefix moves the highlight, a pause
// starts a new prefix, the same letter again steps on, a prefix nothing
// starts with starts over at its last letters, and only Enter picks.
TEST(DropdownTest, TypingJumpsToTheOptionsStartingWithIt) {
  const std::vector<std::string> zones = {"Africa/Abidjan",  "America/New_York", "America/Noronha",
                                          "Asia/Tokyo",      "Europe/Berlin",    "Europe/Paris",
                                          "Pacific/Auckland"};
  auto cell = WakeSlot<std::string>::create("Asia/Tokyo");
  Dropdown dropdown = Dropdown::from_state(cell, zones);
  Harness h(dropdown);
  dropdown.set_focus(true);
  const Instant t0 = Instant::now();
  const auto at = [&](int ms) { return t0 + std::chrono::milliseconds(ms); };

  dropdown.type_ahead("e", at(0));
  EXPECT_TRUE(dropdown.is_open());
  EXPECT_EQ(dropdown.highlighted(), 4u);
  dropdown.type_ahead("urope/p", at(100));
  EXPECT_EQ(dropdown.highlighted(), 5u);
  // A pause: "am" is a new prefix.
  dropdown.type_ahead("am", at(100) + Dropdown::kTypeAheadPause);
  EXPECT_EQ(dropdown.highlighted(), 1u);
  dropdown.type_ahead("erica/N", at(1200));
  EXPECT_EQ(dropdown.highlighted(), 1u);
  dropdown.type_ahead("or", at(1300));
  EXPECT_EQ(dropdown.highlighted(), 2u);
  // Nothing starts with "America/Noronhaz": "z" alone, which nothing starts
  // with either, leaves the highlight.
  dropdown.type_ahead("z", at(1400));
  EXPECT_EQ(dropdown.highlighted(), 2u);
  // One letter again and again steps through the options it starts.
  dropdown.type_ahead("a", at(5000));
  EXPECT_EQ(dropdown.highlighted(), 3u);
  dropdown.type_ahead("a", at(5100));
  EXPECT_EQ(dropdown.highlighted(), 0u);
  dropdown.type_ahead("a", at(5200));
  EXPECT_EQ(dropdown.highlighted(), 1u);
  EXPECT_EQ(cell->get(), "Asia/Tokyo");
  h.key(Key::Enter);
  EXPECT_EQ(cell->get(), "America/New_York");
}

TEST(DropdownTest, EscapeOutsideClickAndBlurCloseWithoutPicking) {
  auto cell = WakeSlot<std::string>::create("Balanced");
  Dropdown dropdown = Dropdown::from_state(cell, kModes);
  Harness h(dropdown);
  h.click(dropdown);
  ASSERT_TRUE(dropdown.is_open());
  EXPECT_TRUE(dropdown.is_focused());
  h.key(Key::Down);
  h.key(Key::Escape);
  EXPECT_FALSE(dropdown.is_open());

  h.click(dropdown);
  const Rect r = dropdown.get_rect();
  EventContext outside = h.send(testing::down({r.x1 + 50.0, r.y1 + 300.0}));
  EXPECT_FALSE(dropdown.is_open());
  EXPECT_TRUE(outside.release_pointer_capture);

  h.click(dropdown);
  dropdown.set_focus(false);
  EXPECT_FALSE(dropdown.is_open());
  EXPECT_EQ(cell->generation(), 0u);
}

TEST(DropdownTest, ClickOnAnEntryPicksItAndTheOverlayDrawsTheList) {
  auto cell = WakeSlot<std::string>::create("Balanced");
  Dropdown dropdown = Dropdown::from_state(cell, kModes);
  Harness h(dropdown);
  h.click(dropdown);
  Scene scene;
  DrawContext context;
  dropdown.draw_overlay(scene, Affine::identity(), h.frame().renderer(), h.frame().theme(),
                        context);
  EXPECT_EQ(scene.find_text("Performance").size(), 1u);
  h.click(dropdown.item_rect(2).center());
  EXPECT_EQ(cell->get(), "Performance");
  EXPECT_FALSE(dropdown.is_open());
  Scene closed;
  dropdown.draw_overlay(closed, Affine::identity(), h.frame().renderer(), h.frame().theme(),
                        context);
  EXPECT_TRUE(closed.empty());
}

TEST(DropdownTest, DocumentBoundDropdownWritesItsChoiceAtSync) {
  doc::Document document;
  Dropdown dropdown("display.scale", {"100%", "125%"}, "100%");
  dropdown.choose(1);
  dropdown.sync(document);
  EXPECT_EQ(document.read_str(doc::kRoot, "display.scale"), "125%");
  EXPECT_FALSE(dropdown.perform_action({SemanticAction::Kind::SetValue, "300%"}, {}));
  EXPECT_EQ(dropdown.text_input_kind(), TextInputKind{0});
  EXPECT_EQ(dropdown.id(), "dropdown");
}

// The drawn command of `text` is whole when it is as wide as the text
// shaped without a limit (an ellipsised one is narrower).
bool drawn_whole(const Scene& scene, const std::string& text, testing::Frame& frame) {
  const auto found = scene.find_text(text);
  if (found.size() != 1) return false;
  const text::TextStyle style =
      frame.renderer().renderer_input_style(text::TextStyle::sized(14.0f));
  const double full =
      frame.renderer().measure(text, style, std::nullopt, text::LayoutOption::SingleLine).width;
  return found[0]->layout->metrics().width >= full - 0.01;
}

TEST(DropdownTest, WidthFollowsTheWidestOptionWhileTheRowHasRoom) {
  const std::vector<std::string> kRoles = {"Interactive", "Always-on server for every workspace"};
  struct Case {
    std::string name;
    std::vector<std::string> options;
    double row_width;
    bool old_width;  // the minimum width, as before
    bool whole;      // the chosen text is drawn without an ellipsis
  };
  const std::vector<Case> cases = {
      {"short options keep the minimum width", kModes, 600.0, true, true},
      {"a long option widens it", kRoles, 600.0, false, true},
      {"a narrow row still ellipsises", kRoles, 300.0, false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string chosen = c.options.back();
    Row row;
    row.push(boxed(Text("Role")))
        .push(boxed(Spacer()))
        .push(boxed(Dropdown::from_state(WakeSlot<std::string>::create(chosen), c.options)));
    Harness h(row, c.row_width);
    auto& dropdown = testing::child<Dropdown>(row, 2);
    const double width = dropdown.get_rect().width();
    if (c.old_width) {
      EXPECT_DOUBLE_EQ(width, Dropdown::kMinWidth);
    } else {
      EXPECT_GT(width, Dropdown::kMinWidth);
    }
    EXPECT_LE(dropdown.get_rect().x1, c.row_width);
    Scene closed;
    DrawContext context;
    dropdown.draw(closed, Affine::identity(), h.frame().renderer(), h.frame().theme(), context);
    EXPECT_EQ(drawn_whole(closed, chosen, h.frame()), c.whole);

    // The open list shows every option whole, however narrow the row.
    h.click(dropdown);
    ASSERT_TRUE(dropdown.is_open());
    Scene list;
    DrawContext window{Rect(0.0, 0.0, c.row_width, 400.0), 1.0};
    dropdown.draw_overlay(list, Affine::identity(), h.frame().renderer(), h.frame().theme(),
                          window);
    for (const std::string& option : c.options) {
      EXPECT_TRUE(drawn_whole(list, option, h.frame())) << option;
    }
    EXPECT_GE(dropdown.item_rect(0).x0, 0.0);
    EXPECT_LE(dropdown.item_rect(0).x1, c.row_width);
  }
}

TEST(DropdownTest, OptionsAreMeasuredOncePerChangeNotPerLayout) {
  Row row;
  row.push(boxed(Dropdown::from_state(WakeSlot<std::string>::create("Balanced"), kModes)));
  Harness h(row, 600.0);
  auto& dropdown = testing::child<Dropdown>(row, 0);
  const text::CacheStats before = h.frame().renderer().cache_stats();
  h.layout();
  h.layout();
  const text::CacheStats after = h.frame().renderer().cache_stats();
  EXPECT_EQ(after.hits + after.misses, before.hits + before.misses);

  dropdown.set_options({"Balanced", "A much longer choice than any before"});
  h.layout();
  EXPECT_GT(dropdown.get_rect().width(), Dropdown::kMinWidth);
}

// Draws the open list as the frame does, over a window of `width` x `height`.
Scene draw_list(Dropdown& dropdown, Harness& h, double width, double height) {
  Scene scene;
  DrawContext window{Rect(0.0, 0.0, width, height), 1.0};
  dropdown.draw_overlay(scene, Affine::identity(), h.frame().renderer(), h.frame().theme(), window);
  return scene;
}

std::vector<std::string> numbered(std::size_t count) {
  std::vector<std::string> options;
  for (std::size_t i = 0; i < count; ++i) options.push_back("Layout " + std::to_string(i + 1));
  return options;
}

TEST(DropdownTest, OpenListStaysInTheWindowAndEveryOptionIsReachable) {
  enum class Side { Below, Above };
  struct Case {
    std::string name;
    float top;      // where the dropdown sits
    double height;  // of the window
    std::vector<std::string> options;
    Side side;
    std::size_t shown;
  };
  const std::vector<Case> cases = {
      {"room below opens down", 20.0f, 400.0, kModes, Side::Below, 3},
      {"at the bottom opens up", 340.0f, 400.0, kModes, Side::Above, 3},
      {"neither side holds it: the larger below scrolls", 130.0f, 300.0, numbered(20), Side::Below,
       4},
      {"neither side holds it: the larger above scrolls", 150.0f, 300.0, numbered(20), Side::Above,
       4},
  };
  constexpr double kWidth = 400.0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto cell = WakeSlot<std::string>::create(c.options.back());
    Column column;
    column.push(boxed(Spacer::fixed(c.top))).push(boxed(Dropdown::from_state(cell, c.options)));
    Harness h(column, kWidth, c.height);
    auto& dropdown = testing::child<Dropdown>(column, 1);
    const Rect closed = dropdown.get_rect();
    const Rect window(0.0, 0.0, kWidth, c.height);

    // Opened on the last option: the list is placed, within the window, and
    // shows the current choice.
    h.click(dropdown);
    ASSERT_TRUE(dropdown.is_open());
    Scene scene = draw_list(dropdown, h, kWidth, c.height);
    const Rect list = dropdown.list_rect();
    EXPECT_EQ(dropdown.shown_count(), c.shown);
    EXPECT_GE(list.y0, window.y0);
    EXPECT_LE(list.y1, window.y1);
    if (c.side == Side::Below) {
      EXPECT_GE(list.y0, closed.y1);
    } else {
      EXPECT_LE(list.y1, closed.y0);
    }
    const std::size_t last = c.options.size() - 1;
    EXPECT_TRUE(list.contains(dropdown.item_rect(last).center()));
    EXPECT_EQ(scene.find_text(c.options.back()).size(), 1u);
    // Only the shown entries are drawn.
    for (std::size_t i = 0; i < c.options.size(); ++i) {
      const bool shown = i >= dropdown.first_shown() && i < dropdown.first_shown() + c.shown;
      EXPECT_EQ(scene.find_text(c.options[i]).size(), shown ? 1u : 0u) << c.options[i];
    }
    if (c.side == Side::Above && c.shown < c.options.size()) {
      // Kept for a look: the page with the scrolled list above the dropdown.
      Scene page = h.frame().draw(column);
      DrawContext overlay{window, 1.0};
      dropdown.draw_overlay(page, Affine::identity(), h.frame().renderer(), h.frame().theme(),
                            overlay);
      auto image = cairo_backend::render(page, static_cast<int>(kWidth), static_cast<int>(c.height),
                                         1.0, h.frame().theme().background);
      ASSERT_TRUE(image);
      std::filesystem::create_directories(KALU_UI_WIDGETS_ARTIFACTS);
      EXPECT_TRUE(image->write_png(testing::Frame::artifact("dropdown_upward_scrolled.png")));
    }
    // The damage covers the list as drawn, and where it was once closed.
    DamageList open_damage;
    dropdown.collect_damage(open_damage);
    EXPECT_NE(std::ranges::find(open_damage, list), open_damage.end());
    h.key(Key::Escape);
    DamageList closing_damage;
    dropdown.collect_damage(closing_damage);
    EXPECT_NE(std::ranges::find(closing_damage, list), closing_damage.end());
    draw_list(dropdown, h, kWidth, c.height);

    // Every option by keyboard: the highlight is kept in view and drawn.
    for (std::size_t i = 0; i < c.options.size(); ++i) {
      h.key(Key::Enter);
      h.key(Key::Home);
      for (std::size_t step = 0; step < i; ++step) h.key(Key::Down);
      scene = draw_list(dropdown, h, kWidth, c.height);
      EXPECT_TRUE(dropdown.list_rect().contains(dropdown.item_rect(i).center())) << i;
      EXPECT_EQ(scene.find_text(c.options[i]).size(), 1u) << i;
      h.key(Key::Enter);
      EXPECT_EQ(cell->get(), c.options[i]);
    }

    // A page moves by what is shown less one; End reaches the last in view.
    h.key(Key::Enter);
    h.key(Key::Home);
    h.key(Key::PageDown);
    EXPECT_EQ(dropdown.highlighted(), std::min(last, std::max<std::size_t>(c.shown, 2) - 1));
    h.key(Key::End);
    EXPECT_EQ(dropdown.highlighted(), last);
    EXPECT_TRUE(dropdown.list_rect().contains(dropdown.item_rect(last).center()));
    h.key(Key::Escape);

    // Every option by pointer: the wheel over the list brings it into view,
    // hover highlights it and a click picks it.
    for (std::size_t i = c.options.size(); i-- > 0;) {
      h.click(dropdown);
      ASSERT_TRUE(dropdown.is_open());
      draw_list(dropdown, h, kWidth, c.height);
      for (std::size_t turn = 0; turn < c.options.size(); ++turn) {
        if (dropdown.list_rect().contains(dropdown.item_rect(i).center())) break;
        const double towards = i < dropdown.first_shown() ? -48.0 : 48.0;
        const EventContext wheel =
            h.send(Wheel{dropdown.list_rect().center(), Vec2{0.0, towards}, {}});
        EXPECT_TRUE(wheel.handled);
      }
      const Point at = dropdown.item_rect(i).center();
      ASSERT_TRUE(dropdown.list_rect().contains(at)) << i;
      h.send(testing::move(at));
      EXPECT_EQ(dropdown.highlighted(), i);
      h.click(at);
      EXPECT_FALSE(dropdown.is_open());
      EXPECT_EQ(cell->get(), c.options[i]);
    }
  }
}

}  // namespace
}  // namespace kalu_ui::widget
