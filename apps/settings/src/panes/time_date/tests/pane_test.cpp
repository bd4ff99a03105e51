// The Time & Date pane on a simulated device with fixture zone tables and a
// fixture settings folder: what it reads when built, the four cards a person
// reads, the controls and the actions they record, and its permission
// request.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <ctime>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "kalu_ui/frame.h"
#include "kalu_ui/harness.h"
#include "kalu_ui/widget/card.h"
#include "kalu_ui/widget/dropdown.h"
#include "kalu_ui/widget/text.h"
#include "kalu_ui/widget/toggle.h"
#include "panes/time_date/time_date_pane.h"
#include "panes/time_date/timezone_map.h"
#include "prefs_store/paths.h"
#include "sim_device/state.h"
#include "stored/locale.h"
#include "system_ops/time.h"
#include "system_ops/time_testing.h"
#include "zone_fixture.h"

namespace settings::panes::time_date {
namespace {

namespace w = kalu_ui::widget;
using kalu_ui::Widget;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::MatchesRegex;
using Json = nlohmann::ordered_json;

const std::string kPaneZoneTable =
    "JP\t+353916+1394441\tAsia/Tokyo\n"
    "DE\t+5230+01322\tEurope/Berlin\n"
    "AR\t-3436-05827\tAmerica/Argentina/Buenos_Aires\n";

// A simulated device whose time service reads the fixture tables, with a
// settings folder of its own.
struct Device {
  Device() : tables(zoneinfo.path()), config(device.dir() / "config") {
    zoneinfo.write("zone1970.tab", kPaneZoneTable);
    // Their rules as compiled files, so the clock reads each zone.
    namespace tz = system_ops::time::testing;
    zoneinfo.write("Asia/Tokyo", tz::compiled_zone({}, {0}, "JST-9"));
    zoneinfo.write("Europe/Berlin", tz::compiled_zone({}, {0}, "CET-1CEST,M3.5.0,M10.5.0/3"));
    zoneinfo.write("America/Argentina/Buenos_Aires", tz::compiled_zone({}, {0}, "<-03>3"));
    edit([](Json& state) {
      state["time"] = {{"timezone", "Asia/Tokyo"},
                       {"ntp", true},
                       {"synchronized", true},
                       {"ntp_server", "time.example.org"}};
    });
  }
  void edit(const std::function<void(Json&)>& change) const {
    ASSERT_TRUE(sim_device::update("", [&](Json& state) -> kalu_ui::Status {
      change(state);
      return {};
    }));
  }
  void fault(const std::string& operation) const {
    edit([&](Json& state) { state["faults"][operation] = "the time service is not running"; });
  }

  sim_device::ScopedDeviceState device;
  testing::TempDir zoneinfo;
  system_ops::time::ScopedZoneInfoDir tables;
  prefs_store::ScopedConfigDir config;
};

void collect_texts(const Widget& widget, std::vector<std::string>& out) {
  if (const auto* t = dynamic_cast<const w::Text*>(&widget)) out.push_back(t->text());
  if (const auto* c = dynamic_cast<const w::Card*>(&widget)) out.push_back(c->title());
  for (const Widget* child : widget.children()) collect_texts(*child, out);
}

// The pane laid out alone in a window.
struct PaneHarness {
  explicit PaneHarness(TimeDateModel model)
      : harness(std::make_unique<TimeDatePane>(std::move(model))),
        pane(dynamic_cast<TimeDatePane&>(harness.root())) {
    harness.frame();
  }
  // Reads the device as the page frame's pane does.
  static PaneHarness of_device(const std::filesystem::path& root = "/") {
    return PaneHarness(TimeDateModel::read(root));
  }

  std::vector<std::string> texts() const {
    std::vector<std::string> out;
    collect_texts(pane, out);
    return out;
  }
  // The value beside an info row's label.
  std::string value_of(std::string_view label) const {
    const auto all = texts();
    for (std::size_t i = 0; i + 1 < all.size(); ++i) {
      if (all[i] == label) return all[i + 1];
    }
    ADD_FAILURE() << "no row " << label;
    return {};
  }
  template <typename T>
  T& find(std::string_view id) {
    auto* widget = dynamic_cast<T*>(kalu_ui::frame::find_by_id(pane, id));
    EXPECT_NE(widget, nullptr) << id;
    return *widget;
  }
  bool toggle_on(std::string_view id) { return find<w::Toggle>(id).value(); }

  kalu_ui::harness::Harness harness;
  TimeDatePane& pane;
};

std::string payload(const w::BoundControl& control, const kalu_actions::ControlValue& value) {
  EXPECT_TRUE(control.binding().has_value());
  if (!control.binding()) return {};
  auto encoded = control.binding()->encode(value);
  EXPECT_TRUE(encoded.has_value());
  if (!encoded) return {};
  EXPECT_EQ(encoded->action_id, "settings.time-date-operation");
  return std::string(encoded->payload_text());
}

TEST(TimeDatePaneTest, ReadsTheDeviceAndShowsItOnFourCards) {
  Device d;
  auto h = PaneHarness::of_device();
  const TimeDateModel& m = h.pane.model();
  EXPECT_EQ(m.current_zone, "Asia/Tokyo");
  EXPECT_THAT(m.zones,
              ElementsAre("America/Argentina/Buenos_Aires", "Asia/Tokyo", "Europe/Berlin"));
  EXPECT_EQ(m.catalogue->zones.size(), 3u);
  EXPECT_TRUE(m.ntp);
  EXPECT_TRUE(m.h24);

  const auto texts = h.texts();
  for (std::string_view card : {"Clock", "Time-zone map", "Automatic time source", "Display"}) {
    EXPECT_THAT(texts, ::testing::Contains(std::string(card)));
  }
  EXPECT_EQ(h.value_of("Synchronization"), "Synchronized");
  EXPECT_EQ(h.value_of("Source"), "time.example.org");
  EXPECT_EQ(h.value_of("Clock format"), "24-hour");
  EXPECT_THAT(h.value_of("Current time"), MatchesRegex("[0-9][0-9]:[0-9][0-9]"));
  EXPECT_THAT(h.value_of("Current date"), MatchesRegex("[A-Z][a-z]+, [0-9]+ [A-Z][a-z]+ [0-9]+"));
  EXPECT_THAT(texts, ::testing::Contains(map_caption(3)));
  EXPECT_THAT(map_caption(3), ::testing::StartsWith("Showing 3 installed zones"));

  EXPECT_TRUE(h.toggle_on(kAutomaticTimeId));
  EXPECT_TRUE(h.toggle_on(kHourCycleId));
  auto& selector = h.find<w::Dropdown>(kZoneSelectorId);
  EXPECT_EQ(selector.selected(), "Asia/Tokyo");
  EXPECT_THAT(selector.options(), ElementsAreArray(m.zones));
  auto& map = h.find<TimeZoneMap>(TimeZoneMap::kId);
  EXPECT_EQ(map.current_zone(), "Asia/Tokyo");
  EXPECT_EQ(&map.catalogue(), m.catalogue.get());
  EXPECT_EQ(h.pane.short_type_name(), "TimeDatePane");
}

// The clock follows the time with one wake-up at the turn of the minute;
// a frame before then changes nothing on screen.
TEST(TimeDatePaneTest, TheClockWakesTheLoopOnlyAtTheNextMinute) {
  using namespace std::chrono;
  Device d;
  auto h = PaneHarness::of_device();
  ASSERT_NE(h.pane.clock_texts().time, nullptr);
  EXPECT_EQ(h.pane.clock_texts().time->text(), h.value_of("Current time"));
  EXPECT_EQ(h.pane.clock_texts().date->text(), h.value_of("Current date"));

  const kalu_ui::Instant now = kalu_ui::Instant::now();
  const auto due = h.harness.driver().next_deadline(now);
  ASSERT_TRUE(due.has_value());
  const auto wait = duration_cast<milliseconds>(*due - now);
  EXPECT_GT(wait, 0ms);
  EXPECT_LE(wait, 60s + 100ms);
  // Just past a turn of the wall clock's minute.
  const auto at = duration_cast<milliseconds>(system_clock::now().time_since_epoch()) + wait;
  EXPECT_LT(at % minutes(1), 1s);

  h.harness.frame();
  const auto idle = h.harness.frame();
  EXPECT_FALSE(idle.layout_computed);
  EXPECT_FALSE(idle.drawn);
}

// Each control records its action of the Time & Date section; nothing is
// applied by the pane.
TEST(TimeDatePaneTest, ControlsAreBoundToTheSectionsActions) {
  Device d;
  auto h = PaneHarness::of_device();
  auto& automatic = h.find<w::Toggle>(kAutomaticTimeId);
  EXPECT_EQ(automatic.binding()->resource_id, "settings.section:time_date");
  EXPECT_EQ(automatic.binding()->action, "automatic-time");
  EXPECT_EQ(payload(automatic, false), R"({"SetAutomaticTime":{"enabled":false}})");
  auto& hour_cycle = h.find<w::Toggle>(kHourCycleId);
  EXPECT_EQ(hour_cycle.binding()->action, "24-hour");
  EXPECT_EQ(payload(hour_cycle, true), R"({"SetHourCycle":{"h24":true}})");
  auto& selector = h.find<w::Dropdown>(kZoneSelectorId);
  EXPECT_EQ(selector.binding()->action, "timezone");
  EXPECT_EQ(payload(selector, std::string("Europe/Berlin")),
            R"({"SetTimezone":{"timezone":"Europe/Berlin"}})");

  // The map records the same action with the zone it was given.
  auto& map = h.find<TimeZoneMap>(TimeZoneMap::kId);
  map.select(0);
  const auto invocation = map.take_control_invocation();
  ASSERT_TRUE(invocation);
  EXPECT_EQ(invocation->resource_id, "settings.section:time_date");
  EXPECT_EQ(invocation->action, "timezone");
  EXPECT_EQ(invocation->arguments_json, R"({"choice":")" + map.catalogue().zones[0].name + R"("})");
  // The device is untouched.
  EXPECT_EQ(system_ops::time::get_time_sync_status()->timezone, "Asia/Tokyo");
}

struct StatusCase {
  std::string name;
  bool ntp;
  bool synchronized;
  std::optional<std::string> server;
  std::string synchronization;
  std::string source;
};

TEST(TimeDatePaneTest, StatusTextsFollowTheTimeService) {
  const std::vector<StatusCase> cases = {
      {"waiting", true, false, "pool.example", "Waiting for synchronization", "pool.example"},
      {"disabled", false, true, "pool.example", "Automatic time is disabled", "pool.example"},
      {"no server", true, true, std::nullopt, "Synchronized",
       "Not reported by the active NTP provider"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Device d;
    d.edit([&](Json& state) {
      state["time"]["ntp"] = c.ntp;
      state["time"]["synchronized"] = c.synchronized;
      state["time"]["ntp_server"] = c.server ? Json(*c.server) : Json(nullptr);
    });
    auto h = PaneHarness::of_device();
    EXPECT_EQ(h.value_of("Synchronization"), c.synchronization);
    EXPECT_EQ(h.value_of("Source"), c.source);
    EXPECT_EQ(h.toggle_on(kAutomaticTimeId), c.ntp);
  }
}

// Without the service's report, automatic time is asked apart and the zone
// comes from the system's files; without either answer automatic time
// counts as on.
TEST(TimeDatePaneTest, AnUnreadableReportFallsBackStepByStep) {
  Device d;
  d.edit([](Json& state) { state["time"]["ntp"] = false; });
  d.fault("time.get_time_sync_status");
  testing::TempDir root;
  root.write("etc/timezone", "  Europe/Berlin\n");
  {
    auto h = PaneHarness::of_device(root.path());
    EXPECT_EQ(h.pane.model().current_zone, "Europe/Berlin");
    EXPECT_FALSE(h.pane.model().ntp);
    EXPECT_FALSE(h.toggle_on(kAutomaticTimeId));
    EXPECT_EQ(h.value_of("Synchronization"), "Not reported by the time service");
    EXPECT_EQ(h.value_of("Source"), "Not reported by the active NTP provider");
  }
  d.fault("time.get_ntp");
  auto h = PaneHarness::of_device(root.path());
  EXPECT_TRUE(h.pane.model().ntp);
  EXPECT_TRUE(h.toggle_on(kAutomaticTimeId));
}

TEST(TimeDatePaneTest, WithoutZoneTablesTheMapIsEmptyAndTheSelectorKeepsItsZones) {
  Device d;
  std::filesystem::remove(d.zoneinfo.path() / "zone1970.tab");
  {
    // The service lists nothing either: the current zone alone remains.
    auto h = PaneHarness::of_device();
    EXPECT_TRUE(h.pane.model().catalogue->zones.empty());
    EXPECT_THAT(h.find<w::Dropdown>(kZoneSelectorId).options(), ElementsAre("Asia/Tokyo"));
    EXPECT_THAT(h.texts(), ::testing::Contains(map_caption(0)));
    EXPECT_THAT(map_caption(0), ::testing::StartsWith("This tzdata installation does not publish"));
    EXPECT_FALSE(h.find<TimeZoneMap>(TimeZoneMap::kId).is_focusable());
  }
  // A service that lists zones the tables do not place: every one is offered.
  TimeDateModel model;
  model.current_zone = "Asia/Tokyo";
  model.zones = {"Asia/Tokyo", "Etc/UTC", "Europe/Berlin"};
  model.catalogue = ZoneCatalogue::make({});
  PaneHarness h(std::move(model));
  EXPECT_THAT(h.find<w::Dropdown>(kZoneSelectorId).options(),
              ElementsAre("Asia/Tokyo", "Etc/UTC", "Europe/Berlin"));
  EXPECT_TRUE(h.find<TimeZoneMap>(TimeZoneMap::kId).catalogue().zones.empty());
}

TEST(TimeDatePaneTest, AZoneTheServiceDoesNotListIsAppended) {
  Device d;
  d.edit([](Json& state) { state["time"]["timezone"] = "Antarctica/Troll"; });
  {
    auto h = PaneHarness::of_device();
    EXPECT_THAT(h.find<w::Dropdown>(kZoneSelectorId).options(),
                ElementsAre("America/Argentina/Buenos_Aires", "Antarctica/Troll", "Asia/Tokyo",
                            "Europe/Berlin"));
    EXPECT_EQ(h.find<w::Dropdown>(kZoneSelectorId).selected(), "Antarctica/Troll");
    // No coordinates for it: the map shows it only as the selected name.
    EXPECT_EQ(h.find<TimeZoneMap>(TimeZoneMap::kId).current_index(), std::nullopt);
  }
  // Tables that place it while the service's list lacks it: on the map too.
  d.zoneinfo.write("zone1970.tab", kPaneZoneTable + "AQ\t-720041+0023206\tAntarctica/Troll\n");
  TimeDateModel model;
  model.current_zone = "Antarctica/Troll";
  model.zones = zone_choices({"Asia/Tokyo", "Europe/Berlin"}, model.current_zone);
  model.catalogue = ZoneCatalogue::make(load_zone_catalogue(model.zones, d.zoneinfo.path()));
  PaneHarness h(std::move(model));
  auto& map = h.find<TimeZoneMap>(TimeZoneMap::kId);
  ASSERT_TRUE(map.current_index());
  EXPECT_EQ(map.catalogue().zones[*map.current_index()].place, "Troll");
}

// UTC's wall clock moved by `offset` seconds, as strftime writes `format`.
std::string shifted_utc(std::int32_t offset, const char* format) {
  const std::time_t shifted = std::time(nullptr) + offset;
  std::tm tm{};
  ::gmtime_r(&shifted, &tm);
  char text[64];
  std::strftime(text, sizeof text, format, &tm);
  return text;
}

// The clock shows the device's zone, and a zone chosen since shows on the
// next page; a minute may turn while the page is built.
TEST(TimeDatePaneTest, TheCurrentTimeIsTheDevicesZones) {
  Device d;
  for (const auto& [zone, offset] : {std::pair{"Asia/Tokyo", 9 * 3600},
                                     std::pair{"America/Argentina/Buenos_Aires", -3 * 3600}}) {
    SCOPED_TRACE(zone);
    ASSERT_TRUE(system_ops::time::set_timezone(zone));
    const std::string before = shifted_utc(offset, "%H:%M");
    auto h = PaneHarness::of_device();
    const std::string after = shifted_utc(offset, "%H:%M");
    EXPECT_THAT(h.value_of("Current time"), ::testing::AnyOf(before, after));
  }
}

TEST(TimeDatePaneTest, ATwelveHourLocaleShowsTheTwelveHourClock) {
  Device d;
  stored::Locale locale;
  locale.time_format = stored::TimeFormat::H12;
  ASSERT_TRUE(locale.save());
  auto h = PaneHarness::of_device();
  EXPECT_FALSE(h.pane.model().h24);
  EXPECT_FALSE(h.toggle_on(kHourCycleId));
  EXPECT_EQ(h.value_of("Clock format"), "12-hour");
  EXPECT_THAT(h.value_of("Current time"), MatchesRegex("1?[0-9]:[0-9][0-9] (AM|PM)"));
}

TEST(TimeDatePaneTest, AClockOrDateTheServiceCannotGiveShowsADash) {
  Device d;
  d.fault("time.now_clock");
  d.fault("time.now_date");
  auto h = PaneHarness::of_device();
  EXPECT_EQ(h.value_of("Current time"), "—");
  EXPECT_EQ(h.value_of("Current date"), "—");
  EXPECT_EQ(h.value_of("Synchronization"), "Synchronized");
}

TEST(TimeDatePaneTest, AHandledEventAsksForThePreferencePermissionOnce) {
  Device d;
  auto h = PaneHarness::of_device();
  EXPECT_EQ(h.pane.take_permission_request(), std::nullopt);
  // A press beside every control is nobody's.
  h.harness.click({2.0, 2.0});
  EXPECT_EQ(h.pane.take_permission_request(), std::nullopt);
  ASSERT_TRUE(h.harness.click_id(kHourCycleId));
  const auto context = h.pane.take_permission_request();
  ASSERT_TRUE(context);
  EXPECT_EQ(context->subject.id, "settings.preference:time-date");
  EXPECT_EQ(h.pane.take_permission_request(), std::nullopt);
  // The flip is recorded for the executor; the pane does not act on it.
  EXPECT_FALSE(stored::Locale::load().time_format == stored::TimeFormat::H12);
}

}  // namespace
}  // namespace settings::panes::time_date
