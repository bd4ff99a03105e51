#include "panes/display/page.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fakes.h"
#include "kalu_ui/frame.h"
#include "kalu_ui/harness.h"
#include "kalu_ui/widget/button.h"
#include "kalu_ui/widget/card.h"
#include "kalu_ui/widget/dropdown.h"
#include "kalu_ui/widget/text.h"
#include "kalu_ui/widget/toggle.h"

namespace settings::panes::display {
namespace {

namespace w = kalu_ui::widget;
using kalu_ui::Widget;
using prefs_store::DisplayTransaction;
using ::testing::Contains;
using ::testing::ElementsAre;
using testing::entry;
using testing::monitor;
using ::testing::Not;
using testing::panel;
using testing::snapshot_of;

// Every text a person reads, in tree order: texts, card titles and buttons.
void collect_texts(const Widget& widget, std::vector<std::string>& out) {
  if (const auto* t = dynamic_cast<const w::Text*>(&widget)) out.push_back(t->text());
  if (const auto* c = dynamic_cast<const w::Card*>(&widget)) out.push_back(c->title());
  if (const auto* b = dynamic_cast<const w::Button*>(&widget)) out.push_back(b->label());
  for (const Widget* child : widget.children()) collect_texts(*child, out);
}

struct Page {
  std::vector<DisplayOutput> outputs;
  prefs_store::DisplayConfig layout;
  std::optional<DisplayTransaction> transaction;
  bool staged = false;
  bool light_sensor = true;
  std::int64_t now = 1'000'000;
  DisplayBindings bindings;
  kalu_ui::WidgetBox widget;

  Page& build() {
    PageModel m;
    m.outputs = &outputs;
    m.layout = &layout;
    m.staged = staged;
    m.has_light_sensor = light_sensor;
    m.transaction = &transaction;
    m.now_unix_ms = now;
    m.night_light_temperature = 2900;
    widget = build_page(m, bindings);
    return *this;
  }
  std::vector<std::string> texts() const {
    std::vector<std::string> out;
    collect_texts(*widget, out);
    return out;
  }
  w::Dropdown& dropdown(std::string_view id) {
    return dynamic_cast<w::Dropdown&>(*kalu_ui::frame::find_by_id(*widget, id));
  }
  bool has(std::string_view id) { return kalu_ui::frame::find_by_id(*widget, id) != nullptr; }
};

TEST(DisplayPageTest, OneBuiltInOutputWithoutALightSensor) {
  Page p;
  p.outputs = outputs_of(snapshot_of({panel()}));
  p.light_sensor = false;
  p.build();
  const auto texts = p.texts();
  EXPECT_THAT(texts, Contains("Active · primary"));
  EXPECT_THAT(texts, Contains("Connect a second display to extend or mirror your screen."));
  EXPECT_THAT(texts, Contains("No ambient-light sensor detected"));
  EXPECT_FALSE(p.has(kAutoBrightnessId));
  EXPECT_THAT(p.dropdown("display.output.eDP-1.position").options(), ElementsAre("Automatic"));
  EXPECT_THAT(p.dropdown("display.output.eDP-1.mirror").options(), ElementsAre("Extend workspace"));
  // No HDR control on this panel: its note instead.
  EXPECT_THAT(texts, Contains("The built-in panel does not report HDR metadata."));
  EXPECT_THAT(texts, Contains("Not supported by this display"));
  EXPECT_EQ(p.dropdown(kNightLightTemperatureId).selected(), "Very warm · 2800 K");
  EXPECT_THAT(texts, Contains("Display configuration"));
  EXPECT_THAT(texts, Contains("No unapplied display changes."));
}

TEST(DisplayPageTest, TwoOutputsTheirChoicesAndStates) {
  Page p;
  auto unnamed = monitor("HDMI-1", "");
  unnamed.color_profile_names.clear();
  unnamed.modes.clear();
  unnamed.current_mode.reset();
  unnamed.hdr_controllable = false;
  unnamed.vrr_controllable = unnamed.vrr_capable = false;
  p.outputs = outputs_of(snapshot_of({panel(), unnamed}));
  p.layout.outputs["eDP-1"] = entry(true, 0);
  p.layout.outputs["HDMI-1"] = entry(false, 2560, 1.75);
  p.layout.outputs["HDMI-1"].mirror = "eDP-1";
  p.build();
  const auto texts = p.texts();
  EXPECT_THAT(texts, Contains("Active"));
  EXPECT_THAT(texts, Contains("HDMI-1"));  // the card of the unnamed output
  // The panel's one name: its card's, and the other output's choices'.
  EXPECT_THAT(texts, Contains("Built-in display"));
  EXPECT_THAT(texts, Not(Contains("Laptop panel")));
  // Two displays have something to extend or mirror already.
  EXPECT_THAT(texts, Not(Contains(::testing::StartsWith("Connect a"))));
  EXPECT_THAT(p.dropdown("display.output.eDP-1.position").options(),
              ElementsAre("Automatic", "Left of HDMI-1", "Right of HDMI-1", "Above of HDMI-1",
                          "Below of HDMI-1"));
  EXPECT_THAT(p.dropdown("display.output.HDMI-1.mirror").options(),
              ElementsAre("Extend workspace", "Mirror Built-in display"));
  EXPECT_EQ(p.dropdown("display.output.HDMI-1.mirror").selected(), "Mirror Built-in display");
  EXPECT_EQ(p.dropdown("display.output.HDMI-1.scale").selected(), "175%");
  // Profiles without names: only the system default to choose.
  EXPECT_THAT(p.dropdown("display.output.HDMI-1.color_profile").options(),
              ElementsAre("System default"));
  EXPECT_THAT(texts, Contains("Compositor capability data unavailable"));
  EXPECT_THAT(texts, Contains("Display support detected; compositor output support unavailable"));
  EXPECT_EQ(p.dropdown("display.output.eDP-1.mode").selected(), "2560 × 1600 · 60 Hz");
  EXPECT_TRUE(p.has("display.output.HDMI-1.enabled"));
}

TEST(DisplayPageTest, TheConfigurationCard) {
  const auto testing_until = [](std::optional<std::int64_t> deadline) {
    DisplayTransaction t;
    t.state = DisplayTransaction::kTesting;
    t.deadline_unix_ms = deadline;
    return t;
  };
  const std::string countdown =
      "Every display should be visible. Restoring the previous layout in {} seconds unless you "
      "keep this one.";
  const auto with_seconds = [&](int s) {
    std::string text = countdown;
    text.replace(text.find("{}"), 2, std::to_string(s));
    return text;
  };
  DisplayTransaction rejected;
  rejected.state = DisplayTransaction::kRejected;
  DisplayTransaction applying;
  applying.state = 2;
  DisplayTransaction reverted;
  reverted.state = DisplayTransaction::kReverted;
  reverted.message = "The new layout was not kept in time, so the previous one is back.";
  const struct {
    const char* name;
    std::optional<DisplayTransaction> transaction;
    bool staged;
    std::vector<std::string> present;
    std::vector<std::string> absent;
  } cases[] = {
      {"14.2 seconds left show 15",
       testing_until(1'014'200),
       false,
       {"Keep this display configuration?", with_seconds(15), "Keep", "Revert now"},
       {}},
      {"a passed deadline shows 0", testing_until(999'000), false, {with_seconds(0)}, {}},
      {"no deadline shows 0", testing_until(std::nullopt), false, {with_seconds(0)}, {}},
      {"rejected without a staged layout: no Try again",
       rejected,
       false,
       {"Display change was not applied", "The compositor rejected this output plan."},
       {"Try again"}},
      {"rejected with a staged layout", rejected, true, {"Try again"}, {}},
      {"being applied",
       applying,
       false,
       {"Applying display configuration",
        "The compositor is validating and applying the output plan…"},
       {}},
      {"staged", std::nullopt, true, {"Apply display changes", "Apply"}, {"Display configuration"}},
      {"reverted at the deadline",
       reverted,
       false,
       {"Display configuration", "Display changes reverted.",
        "The new layout was not kept in time, so the previous one is back."},
       {"Keep"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Page p;
    p.outputs = outputs_of(snapshot_of({panel(), monitor()}));
    p.transaction = c.transaction;
    p.staged = c.staged;
    p.build();
    const auto texts = p.texts();
    for (const auto& t : c.present) EXPECT_THAT(texts, Contains(t));
    for (const auto& t : c.absent) EXPECT_THAT(texts, Not(Contains(t)));
  }
}

// With the Displays section's builders every control is tied to its action,
// and a change the user makes is recorded as an invocation of it.
TEST(DisplayPageTest, ControlsAreBoundToTheDisplaysSection) {
  Page p;
  p.outputs = outputs_of(snapshot_of({panel(), monitor()}));
  p.staged = true;
  p.bindings = section_bindings();
  p.build();
  const auto bound_to = [&](std::string_view id) {
    const auto* control =
        dynamic_cast<const w::BoundControl*>(kalu_ui::frame::find_by_id(*p.widget, id));
    if (control == nullptr || !control->binding()) return std::string("(unbound)");
    return control->binding()->resource_id + " " + control->binding()->action;
  };
  const std::pair<std::string_view, std::string_view> cases[] = {
      {kBrightnessId, "settings.section:displays brightness"},
      {kAutoBrightnessId, "settings.section:displays auto_brightness"},
      {kNightLightId, "settings.section:displays night_light"},
      {kNightLightTemperatureId, "settings.section:displays night_light_temperature"},
      {"display.output.eDP-1.enabled", "settings.display-output:eDP-1 enabled"},
      {"display.output.eDP-1.primary", "settings.display-output:eDP-1 primary"},
      {"display.output.DP-2.hdr", "settings.display-output:DP-2 hdr"},
      {"display.output.DP-2.scale", "settings.display-output:DP-2 scale"},
      {"display.output.DP-2.position", "settings.display-output:DP-2 position"},
      {"display.output.DP-2.mirror", "settings.display-output:DP-2 mirror"},
      {"display.output.DP-2.mode", "settings.display-output:DP-2 mode"},
      {"display.output.DP-2.transform", "settings.display-output:DP-2 transform"},
      {"display.output.DP-2.color_profile", "settings.display-output:DP-2 color-profile"},
  };
  for (const auto& [id, expected] : cases) EXPECT_EQ(bound_to(id), expected) << id;
  const auto* apply = dynamic_cast<const w::Button*>(
      kalu_ui::frame::find_by_id(*p.widget, "settings.display.apply"));
  ASSERT_NE(apply, nullptr);
  ASSERT_TRUE(apply->binding());
  EXPECT_EQ(apply->binding()->action, "apply");

  // Tall enough that every card is on screen.
  kalu_ui::harness::Harness harness(std::move(p.widget),
                                    kalu_ui::harness::Options::sized({1280.0, 3000.0}));
  harness.frame();
  // The frame's replay takes what a click records (and, with no application
  // publishing the sections here, cannot carry it out).
  ASSERT_TRUE(harness.click_id("display.output.eDP-1.enabled"));
  auto replayed = harness.take_replayed();
  ASSERT_EQ(replayed.size(), 1u);
  EXPECT_EQ(replayed[0].invocation.resource_id, "settings.display-output:eDP-1");
  EXPECT_EQ(replayed[0].invocation.action, "enabled");
  ASSERT_TRUE(harness.click_id("settings.display.apply"));
  replayed = harness.take_replayed();
  ASSERT_EQ(replayed.size(), 1u);
  EXPECT_EQ(replayed[0].invocation.resource_id, "settings.section:displays");
  EXPECT_EQ(replayed[0].invocation.action, "apply");
}

// The pane builds its page from its model and rebuilds it when the model
// changes: the probe's answer, a staged layout, a test under way.
TEST(DisplayPageTest, ThePaneRebuildsItsPageAsItsModelChanges) {
  testing::PaneFixture t;
  DisplayPane& pane = *t.pane;
  kalu_ui::harness::Harness harness(kalu_ui::WidgetBox(t.pane.release()));
  const auto texts = [&] {
    std::vector<std::string> out;
    collect_texts(pane, out);
    return out;
  };
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (pane.probing() && std::chrono::steady_clock::now() < deadline) {
    harness.wait_for_frame(std::chrono::milliseconds(50));
    harness.frame();
  }
  ASSERT_FALSE(pane.probing());
  harness.frame();
  EXPECT_TRUE(kalu_ui::frame::find_by_id(pane, kAutoBrightnessId) != nullptr);

  t.start(operations::DisplayOperation::SetOutputScale{"DP-2", "125%"});
  harness.frame();
  EXPECT_THAT(texts(), Contains("Apply display changes"));
  t.collect();
  t.start(operations::DisplayOperation::Apply{});
  harness.frame();
  EXPECT_THAT(texts(), Contains("Keep this display configuration?"));
  EXPECT_THAT(texts(),
              Contains("Every display should be visible. Restoring the previous layout in 15 "
                       "seconds unless you keep this one."));
  t.backend->advance(std::chrono::milliseconds(1500));
  harness.frame();
  EXPECT_THAT(texts(),
              Contains("Every display should be visible. Restoring the previous layout in 14 "
                       "seconds unless you keep this one."));
}

}  // namespace
}  // namespace settings::panes::display
