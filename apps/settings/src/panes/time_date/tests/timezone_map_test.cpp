#include "panes/time_date/timezone_map.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "kalu_ui/harness.h"
#include "kalu_ui/log.h"
#include "kalu_ui/scene.h"
#include "kalu_ui/widget/controls.h"
#include "panes/time_date/land.h"
#include "panes/time_date/model.h"
#include "zone_fixture.h"

namespace settings::panes::time_date {
namespace {

using kalu_ui::Key;
using kalu_ui::Point;
using kalu_ui::SemanticAction;
using kalu_ui::harness::Harness;

// Zones at easy places: the origin, the date line, the corner, Tokyo, and
// two zones sharing the coordinates of Berlin.
const std::string kMapZoneTable =
    "XX\t+0000+00000\tTest/Origin\n"
    "XX\t+0000+18000\tTest/East_Edge\n"
    "XX\t+9000-18000\tTest/Corner\n"
    "JP\t+353916+1394441\tAsia/Tokyo\n"
    "DE\t+5230+01322\tTest/Shared_B\n"
    "DE\t+5230+01322\tTest/Shared_A\n"
    "DE\t+4000+01322\tTest/South_Of_Shared\n";

// The fixture catalogue read through the real table reader.
std::shared_ptr<const ZoneCatalogue> fixture_catalogue(const std::string& table = kMapZoneTable) {
  testing::TempDir zoneinfo;
  zoneinfo.write("zone1970.tab", table);
  return ZoneCatalogue::make(load_zone_catalogue(testing::listed_zones(table), zoneinfo.path()));
}

std::size_t index_of(const ZoneCatalogue& catalogue, std::string_view name) {
  for (std::size_t i = 0; i < catalogue.zones.size(); ++i) {
    if (catalogue.zones[i].name == name) return i;
  }
  ADD_FAILURE() << "no zone " << name;
  return catalogue.zones.size();
}

// A map laid out alone in a 600 x 176 window, so its rectangle is the
// window's.
struct MapHarness {
  explicit MapHarness(std::string current,
                      std::shared_ptr<const ZoneCatalogue> catalogue = fixture_catalogue(),
                      kalu_ui::harness::Options options = kalu_ui::harness::Options::sized({600.0,
                                                                                            176.0}))
      : harness(std::make_unique<TimeZoneMap>(std::move(catalogue), std::move(current),
                                              testing::timezone_binding()),
                options),
        map(dynamic_cast<TimeZoneMap&>(harness.root())) {
    harness.frame();
  }
  std::size_t index(std::string_view name) const { return index_of(map.catalogue(), name); }
  // The choices the map recorded, oldest first: those the frames' replay
  // took already, then those still waiting.
  std::vector<std::string> take_all() {
    std::vector<kalu_actions::ControlInvocation> invocations;
    for (auto& replayed : harness.take_replayed()) {
      invocations.push_back(std::move(replayed.invocation));
    }
    while (auto invocation = map.take_control_invocation()) invocations.push_back(*invocation);
    std::vector<std::string> arguments;
    for (const auto& invocation : invocations) {
      EXPECT_EQ(invocation.resource_id, "settings.section:time_date");
      EXPECT_EQ(invocation.action, "timezone");
      arguments.push_back(invocation.arguments_json);
    }
    return arguments;
  }

  Harness harness;
  TimeZoneMap& map;
};

TEST(TimeZoneMapTest, GeometryOfThePlotAndTheProjection) {
  MapHarness h("Asia/Tokyo");
  EXPECT_EQ(h.map.get_rect(), (kalu_ui::Rect{0.0, 0.0, 600.0, 176.0}));
  EXPECT_EQ(h.map.plot_rect(), (kalu_ui::Rect{10.0, 10.0, 590.0, 142.0}));
  EXPECT_EQ(h.map.zone_point(h.index("Test/Origin")), (Point{300.0, 76.0}));
  EXPECT_EQ(h.map.zone_point(h.index("Test/Corner")), (Point{10.0, 10.0}));
  EXPECT_EQ(h.map.zone_point(h.index("Test/East_Edge")), (Point{590.0, 76.0}));
  EXPECT_EQ(h.map.zone_point(99), (Point{0.0, 0.0}));
  EXPECT_EQ(h.map.id(), "time.timezone-map");
  EXPECT_EQ(h.map.short_type_name(), "TimeZoneMap");
}

TEST(TimeZoneMapTest, HitTestTakesTheNearestDotWithinElevenPixelsInsideTheCard) {
  MapHarness h("Asia/Tokyo");
  const std::size_t origin = h.index("Test/Origin");
  EXPECT_EQ(h.map.hit_test(311.0, 76.0), origin);
  EXPECT_EQ(h.map.hit_test(300.0, 65.0), origin);
  EXPECT_EQ(h.map.hit_test(311.01, 76.0), std::nullopt);
  // The east edge's dot is at x 590: inside the card it hits, at the card's
  // right edge (within 10 pixels of the dot) nothing does.
  EXPECT_EQ(h.map.hit_test(599.9, 76.0), h.index("Test/East_Edge"));
  EXPECT_EQ(h.map.hit_test(600.0, 76.0), std::nullopt);
  EXPECT_EQ(h.map.hit_test(-0.5, 10.0), std::nullopt);
  EXPECT_EQ(h.map.hit_test(0.0, 10.0), h.index("Test/Corner"));
  // Two zones at one place: the catalogue puts the smaller name first, and
  // the earlier one wins the tie. On their meridian the northern one comes
  // before the southern.
  const std::size_t a = h.index("Test/Shared_A");
  EXPECT_EQ(h.index("Test/Shared_B"), a + 1);
  EXPECT_EQ(h.index("Test/South_Of_Shared"), a + 2);
  const Point shared = h.map.zone_point(a);
  EXPECT_EQ(h.map.hit_test(shared.x, shared.y), a);
}

TEST(TimeZoneMapTest, ArrowKeysMoveByDirectionScoreWithoutWrappingOrSelecting) {
  // From the origin: straight east at 10 degrees scores 10; north-east at
  // (5 east, 3 north) scores 5 + 2.5 x 3 = 12.5, so east wins.
  MapHarness h("Test/A", fixture_catalogue("XX\t+0000+00000\tTest/A\n"
                                           "XX\t+0000+01000\tTest/East\n"
                                           "XX\t+0300+00500\tTest/North_East\n"
                                           "XX\t+2000+00000\tTest/North\n"));
  h.harness.driver().set_focus(&h.map);
  ASSERT_TRUE(h.map.is_focused());
  EXPECT_EQ(h.map.focused_zone(), h.index("Test/A"));
  EXPECT_TRUE(h.harness.key(Key::Right));
  EXPECT_EQ(h.map.focused_zone(), h.index("Test/East"));
  // Nothing lies east of the easternmost zone: the focus stays.
  EXPECT_TRUE(h.harness.key(Key::Right));
  EXPECT_EQ(h.map.focused_zone(), h.index("Test/East"));
  EXPECT_TRUE(h.harness.key(Key::Up));
  EXPECT_EQ(h.map.focused_zone(), h.index("Test/North_East"));
  EXPECT_TRUE(h.harness.key(Key::Up));
  EXPECT_EQ(h.map.focused_zone(), h.index("Test/North"));
  EXPECT_EQ(h.map.current_zone(), "Test/A");
  EXPECT_TRUE(h.take_all().empty());
  // Tab is left for focus traversal.
  kalu_ui::KeyDown tab;
  tab.key = Key::Tab;
  kalu_ui::EventContext context;
  h.map.handle_event(tab, context);
  EXPECT_FALSE(context.handled);
}

TEST(TimeZoneMapTest, TheEastEdgeDoesNotWrapToTheWest) {
  MapHarness h("Test/East_Edge");
  h.harness.driver().set_focus(&h.map);
  EXPECT_TRUE(h.harness.key(Key::Right));
  EXPECT_EQ(h.map.focused_zone(), h.index("Test/East_Edge"));
}

TEST(TimeZoneMapTest, EnterAndActivateChooseOnlyAnotherZone) {
  MapHarness h("Asia/Tokyo");
  // Without keyboard focus the map takes no keys.
  EXPECT_FALSE(h.harness.key(Key::Enter));
  // Focused on the current zone, Enter is consumed and chooses nothing new.
  h.harness.driver().set_focus(&h.map);
  EXPECT_TRUE(h.harness.key(Key::Enter));
  EXPECT_TRUE(h.take_all().empty());
  // The activate action falls back to the current zone: nothing to emit, yet
  // it succeeds.
  const kalu_actions::ActionContext context;
  EXPECT_TRUE(h.map.perform_action(SemanticAction::activate(), context));
  EXPECT_TRUE(h.take_all().empty());
  // A focused other zone is chosen by Enter.
  EXPECT_TRUE(h.harness.key(Key::Left));
  const auto focused = h.map.focused_zone();
  ASSERT_TRUE(focused.has_value());
  EXPECT_TRUE(h.harness.key(Key::Enter));
  EXPECT_EQ(h.map.current_zone(), h.map.catalogue().zones[*focused].name);
  EXPECT_EQ(h.take_all().size(), 1u);
  // Setting a value chooses the zone of exactly that name.
  EXPECT_TRUE(h.map.perform_action({SemanticAction::Kind::SetValue, "Asia/Tokyo"}, context));
  EXPECT_THAT(h.take_all(), ::testing::ElementsAre(R"({"choice":"Asia/Tokyo"})"));
  EXPECT_FALSE(h.map.perform_action({SemanticAction::Kind::SetValue, "asia/tokyo"}, context));
  EXPECT_FALSE(h.map.perform_action({SemanticAction::Kind::Increment, std::nullopt}, context));
}

TEST(TimeZoneMapTest, ActivateFailsWithoutAZoneToFallBackOn) {
  // The device's zone has no coordinates: nothing is focused or current.
  MapHarness h("Etc/UTC");
  EXPECT_EQ(h.map.focused_zone(), std::nullopt);
  EXPECT_FALSE(h.map.perform_action(SemanticAction::activate(), kalu_actions::ActionContext()));
  // Gaining focus focuses the first zone, which Enter then chooses.
  h.harness.driver().set_focus(&h.map);
  EXPECT_EQ(h.map.focused_zone(), 0u);
  EXPECT_TRUE(h.harness.key(Key::Enter));
  EXPECT_EQ(h.map.current_zone(), h.map.catalogue().zones[0].name);
}

TEST(TimeZoneMapTest, ClickingAnotherZoneEmitsOneInvocationAndTakesFocus) {
  MapHarness h("Asia/Tokyo");
  const Point tokyo = h.map.zone_point(h.index("Asia/Tokyo"));
  // The current zone: the press is the map's and takes the focus, but there
  // is nothing to choose.
  EXPECT_TRUE(h.harness.click(tokyo));
  EXPECT_TRUE(h.take_all().empty());
  EXPECT_TRUE(h.map.is_focused());
  EXPECT_EQ(h.map.current_zone(), "Asia/Tokyo");

  const std::size_t origin = h.index("Test/Origin");
  EXPECT_TRUE(h.harness.click({303.0, 78.0}));
  EXPECT_EQ(h.map.current_zone(), "Test/Origin");
  EXPECT_EQ(h.map.focused_zone(), origin);
  EXPECT_TRUE(h.map.is_focused());
  EXPECT_THAT(h.take_all(), ::testing::ElementsAre(R"({"choice":"Test/Origin"})"));
  // Beside every dot, and with another button, a press is not the map's.
  EXPECT_FALSE(h.harness.click({450.0, 120.0}));
  EXPECT_FALSE(h.harness.pointer_down(tokyo, kalu_ui::PointerButton::Secondary));
  EXPECT_TRUE(h.take_all().empty());
}

TEST(TimeZoneMapTest, AtMostSixtyFourChoicesWaitTheOldestGoingFirst) {
  MapHarness h("Asia/Tokyo");
  kalu_ui::log::ScopedCapture capture;
  const kalu_actions::ActionContext context;
  // 65 alternating choices; the first one ("Test/Origin") is evicted.
  for (int i = 0; i < 65; ++i) {
    const char* zone = i % 2 == 0 ? "Test/Origin" : "Asia/Tokyo";
    ASSERT_TRUE(h.map.perform_action({SemanticAction::Kind::SetValue, zone}, context));
  }
  EXPECT_EQ(h.map.queued_invocations(), 64u);
  const auto arguments = h.take_all();
  ASSERT_EQ(arguments.size(), 64u);
  EXPECT_EQ(arguments.front(), R"({"choice":"Asia/Tokyo"})");
  EXPECT_EQ(arguments.back(), R"({"choice":"Test/Origin"})");
  ASSERT_EQ(capture.events().size(), 1u);
  EXPECT_EQ(capture.events()[0].message, "control invocation backlog full; evicting oldest intent");
}

TEST(TimeZoneMapTest, HoverRingsTooltipAndCursorFollowThePointer) {
  MapHarness h("Asia/Tokyo");
  const std::size_t origin = h.index("Test/Origin");
  EXPECT_TRUE(h.harness.pointer_move({305.0, 80.0}));
  EXPECT_EQ(h.map.hovered_zone(), origin);
  EXPECT_EQ(h.map.tooltip(), "Test/Origin");
  EXPECT_FALSE(h.harness.pointer_move({304.0, 80.0}));  // the same zone: not handled
  EXPECT_EQ(h.map.cursor_icon_at(305.0, 80.0), kalu_ui::widget::controls::kCursorPointer);
  EXPECT_EQ(h.map.cursor_icon_at(450.0, 120.0), std::nullopt);
  // The label line names the hovered zone by place and region.
  EXPECT_EQ(h.harness.scene().find_text("Origin \u2014 Test").size(), 1u);
  EXPECT_TRUE(h.harness.pointer_move({450.0, 120.0}));
  EXPECT_EQ(h.map.tooltip(), std::nullopt);
  EXPECT_EQ(h.harness.scene().find_text("Selected: Asia/Tokyo").size(), 1u);
}

TEST(TimeZoneMapTest, AccessibilityNodeNamesTheFocusedOrCurrentZone) {
  MapHarness h("Etc/UTC");
  auto node = h.map.accessibility();
  ASSERT_TRUE(node.has_value());
  EXPECT_EQ(node->label, "Time-zone map");
  EXPECT_EQ(node->description,
            "Installed IANA time zones with published coordinates. Use arrow keys to move and "
            "Enter to apply; the searchable selector includes aliases without coordinates.");
  EXPECT_EQ(node->value, "Etc/UTC");
  EXPECT_FALSE(node->focused);
  EXPECT_TRUE(node->focusable);
  h.harness.driver().set_focus(&h.map);
  node = h.map.accessibility();
  EXPECT_EQ(node->value, h.map.catalogue().zones[0].name);
  EXPECT_TRUE(node->focused);
}

// What the scene holds, in order, for a focused map with a hovered zone.
TEST(TimeZoneMapTest, DrawsCardFocusLandGridDotsRingsAndLabelInOrder) {
  MapHarness h("Asia/Tokyo");
  h.harness.driver().set_focus(&h.map);
  h.harness.pointer_move({300.0, 76.0});
  const kalu_ui::Theme& theme = h.harness.driver().theme();
  const auto& commands = h.harness.scene().commands();
  std::vector<std::string> kinds;
  for (const auto& command : commands) {
    if (const auto* fill = std::get_if<kalu_ui::FillCmd>(&command)) {
      if (std::holds_alternative<kalu_ui::BezPath>(fill->shape)) {
        kinds.push_back(fill->rule == kalu_ui::FillRule::EvenOdd ? "land" : "path");
      } else if (const auto* dot = std::get_if<kalu_ui::Circle>(&fill->shape)) {
        kinds.push_back(dot->radius == 4.5 && fill->color == theme.highlight ? "current" : "dot");
      } else {
        kinds.push_back("card");
      }
    } else if (const auto* stroke = std::get_if<kalu_ui::StrokeCmd>(&command)) {
      if (std::holds_alternative<kalu_ui::Line>(stroke->shape)) {
        kinds.push_back("grid");
      } else if (std::holds_alternative<kalu_ui::Circle>(stroke->shape)) {
        kinds.push_back(stroke->color == theme.focus ? "ring" : "?");
      } else {
        kinds.push_back(stroke->color == theme.focus ? "focus" : "edge");
      }
    } else if (std::holds_alternative<kalu_ui::TextCmd>(command)) {
      kinds.push_back("text");
    }
  }
  // Card, edge, focus outline, land, five meridians and three parallels,
  // then the seven dots (the origin hovered and ringed, Tokyo current and
  // focused, so ringed too), then the label.
  std::vector<std::string> expected = {"card", "edge", "focus", "land"};
  expected.insert(expected.end(), 8, "grid");
  for (const auto& zone : h.map.catalogue().zones) {
    const bool current = zone.name == "Asia/Tokyo";
    expected.push_back(current ? "current" : "dot");
    if (current || zone.name == "Test/Origin") expected.push_back("ring");
  }
  expected.push_back("text");
  EXPECT_EQ(kinds, expected);
}

TEST(TimeZoneMapTest, AnEmptyCatalogueDrawsOnlyTheCardGridAndItsText) {
  MapHarness h("Europe/Amsterdam", ZoneCatalogue::make({}));
  EXPECT_FALSE(h.map.is_focusable());
  EXPECT_FALSE(h.map.accessibility()->focusable);
  EXPECT_EQ(h.map.hit_test(300.0, 76.0), std::nullopt);
  const auto& scene = h.harness.scene();
  EXPECT_EQ(scene.find_text(TimeZoneMap::kEmptyText).size(), 1u);
  EXPECT_TRUE(scene.find_text("Selected: Europe/Amsterdam").empty());
  for (const auto& command : scene.commands()) {
    if (const auto* fill = std::get_if<kalu_ui::FillCmd>(&command)) {
      EXPECT_FALSE(std::holds_alternative<kalu_ui::BezPath>(fill->shape)) << "no land";
      EXPECT_FALSE(std::holds_alternative<kalu_ui::Circle>(fill->shape)) << "no dots";
    }
  }
  EXPECT_FALSE(h.map.perform_action(SemanticAction::activate(), kalu_actions::ActionContext()));
}

TEST(TimeZoneMapTest, MapsOfOneCatalogueShareItsOutline) {
  const auto catalogue = fixture_catalogue();
  TimeZoneMap first(catalogue, "Asia/Tokyo", testing::timezone_binding());
  TimeZoneMap second(catalogue, "Test/Origin", testing::timezone_binding());
  EXPECT_EQ(&first.catalogue(), &second.catalogue());
  EXPECT_EQ(&first.catalogue().land, &catalogue->land);
}

// The installed catalogue, rendered for a person to check: the land under
// the dots, Tokyo selected, and the keyboard focus ringed a little west.
TEST(TimeZoneMapTest, RendersTheInstalledCatalogue) {
  std::ifstream in(std::filesystem::path(kZoneInfoDir) / "zone1970.tab");
  const std::string table((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  auto zones = load_zone_catalogue(testing::listed_zones(table));
  if (zones.empty()) GTEST_SKIP() << "no installed zone tables";
  const auto catalogue = ZoneCatalogue::make(std::move(zones));
  const std::string dir = SETTINGS_TIME_DATE_ARTIFACTS;
  for (const bool dark : {false, true}) {
    kalu_ui::harness::Options options = kalu_ui::harness::Options::sized({760.0, 176.0}, 2.0);
    options.theme = dark ? kalu_ui::Theme::dark() : kalu_ui::Theme::light();
    MapHarness h("Asia/Tokyo", catalogue, options);
    h.harness.driver().set_focus(&h.map);
    // The focus ring moves two zones west of the selected one.
    h.harness.key(Key::Left);
    h.harness.key(Key::Left);
    ASSERT_NE(h.map.focused_zone(), h.map.current_index());
    const auto path = dir + (dark ? "/timezone_map_dark.png" : "/timezone_map.png");
    EXPECT_TRUE(h.harness.render_png(path).has_value());
  }
}

}  // namespace
}  // namespace settings::panes::time_date

namespace settings::panes::time_date {
namespace {

// The land shows against its card in the three looks a person picks between,
// high contrast's black card too, and stays quieter than the zones' dots.
TEST(TimeZoneMapTest, TheLandShowsInEveryLook) {
  for (const kalu_ui::Theme& theme :
       {kalu_ui::Theme::dark(), kalu_ui::Theme::light(), kalu_ui::Theme::high_contrast()}) {
    SCOPED_TRACE(theme.name);
    const kalu_ui::Color land = TimeZoneMap::land_color(theme);
    EXPECT_GE(kalu_ui::contrast_ratio(land, theme.card), TimeZoneMap::kLandContrast);
    EXPECT_LT(kalu_ui::contrast_ratio(land, theme.card),
              kalu_ui::contrast_ratio(theme.marker, theme.card));
  }
}

}  // namespace
}  // namespace settings::panes::time_date
