// The Updates page built from models (what a person reads, which controls
// exist and what they are bound to), the pane in a window (the "Roll back…"
// button), and renders of the page kept as PNG.

#include "panes/updates/page.h"

#include <fmt/format.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "fakes.h"
#include "kalu_ui/frame.h"
#include "kalu_ui/harness.h"
#include "kalu_ui/widget/button.h"
#include "kalu_ui/widget/card.h"
#include "kalu_ui/widget/dropdown.h"
#include "kalu_ui/widget/progress_bar.h"
#include "kalu_ui/widget/text.h"
#include "kalu_ui/widget/toggle.h"
#include "panes/updates/controls.h"

namespace settings::panes::updates {
namespace {

namespace w = kalu_ui::widget;
using kalu_ui::Widget;
using ::testing::Contains;
using ::testing::ElementsAre;
using testing::FakeSystem;
using ::testing::Not;
using testing::PaneFixture;

// Every text a person reads, in tree order: texts, card titles and buttons.
void collect_texts(const Widget& widget, std::vector<std::string>& out) {
  if (const auto* t = dynamic_cast<const w::Text*>(&widget)) out.push_back(t->text());
  if (const auto* c = dynamic_cast<const w::Card*>(&widget)) out.push_back(c->title());
  if (const auto* b = dynamic_cast<const w::Button*>(&widget)) out.push_back(b->label());
  for (const Widget* child : widget.children()) collect_texts(*child, out);
}

std::vector<std::string> texts_of(const Widget& widget) {
  std::vector<std::string> out;
  collect_texts(widget, out);
  return out;
}

std::vector<std::string> card_titles(const Widget& widget) {
  std::vector<std::string> out;
  if (const auto* card = dynamic_cast<const w::Card*>(&widget)) out.push_back(card->title());
  for (const Widget* child : widget.children()) {
    for (std::string& title : card_titles(*child)) out.push_back(std::move(title));
  }
  return out;
}

PageModel known(PageModel m = {}) {
  m.status_known = true;
  m.os = {"Kalu 42", std::nullopt};
  m.last_checked = "Never";
  m.automatic = AutomaticUpdates::Enabled;
  m.schedule = "Weekly";
  m.metered = MeteredDownloads::NotAllowed;
  m.deployment.rollback_protection = "Protected · fallback available: 41";
  m.deployment.release_notes_url = "https://kalu.example/notes";
  m.deployment.journal_lines = {"line one", "line two"};
  m.rollback_image = "41";
  return m;
}

bool has(const Widget& page, std::string_view id) {
  return kalu_ui::frame::find_by_id(page, id) != nullptr;
}

TEST(UpdatesPageTest, AStagedUpdateWithTheReviewOpen) {
  PageModel m = known();
  m.os.staged_update = "quay.io/kalu/os:43";
  m.review_open = true;
  auto page = build_page(m, {}, {});
  const auto texts = texts_of(*page);
  EXPECT_THAT(card_titles(*page),
              ElementsAre("Update overview", "Software updates", "Device firmware", "Details",
                          "History & recovery health", "Go back to the previous image",
                          "How updates work"));
  EXPECT_THAT(texts, Contains("Update staged · restart required"));
  EXPECT_THAT(texts, Contains("Update ready: quay.io/kalu/os:43"));
  EXPECT_THAT(texts, Contains("Restart to apply the staged image."));
  EXPECT_THAT(texts, Contains("Restart & update"));
  EXPECT_THAT(texts, Contains("Roll back to 41?"));
  EXPECT_THAT(texts, Contains("Roll back and restart later"));
  EXPECT_THAT(texts, Not(Contains("Roll back…")));
  EXPECT_THAT(texts, Contains("Check for updates"));
  EXPECT_THAT(texts, Contains("line two"));
  EXPECT_TRUE(has(*page, kRollbackButton));
  EXPECT_FALSE(has(*page, kReviewButton));
  EXPECT_TRUE(has(*page, kAutoKey));
  EXPECT_TRUE(has(*page, kMeteredKey));
  EXPECT_EQ(
      dynamic_cast<const w::Dropdown*>(kalu_ui::frame::find_by_id(*page, kScheduleKey))->options(),
      (std::vector<std::string>{"System schedule", "Daily", "Weekly"}));
}

TEST(UpdatesPageTest, UpToDateWithNothingToChangeAndAFailure) {
  PageModel m = known();
  m.automatic = AutomaticUpdates::Unknown;
  m.schedule.reset();
  m.metered = MeteredDownloads::Unknown;
  m.rollback_image.reset();
  m.deployment = {};
  m.check_running = true;
  m.notice = Notice{"Updates could not be checked: registry unreachable", true};
  auto page = build_page(m, {}, {});
  const auto texts = texts_of(*page);
  EXPECT_THAT(texts, Contains("No staged update"));
  EXPECT_THAT(texts, Contains("Your system is up to date."));
  EXPECT_THAT(texts, Not(Contains("Restart & update")));
  EXPECT_THAT(texts, Contains("unavailable on this machine"));
  EXPECT_THAT(texts, Contains("policy service is unavailable"));
  EXPECT_THAT(texts, Contains("Checking for updates…"));
  EXPECT_THAT(texts, Contains("Not reported"));
  EXPECT_THAT(texts, Contains("The image does not publish a documentation URL"));
  EXPECT_THAT(texts,
              Contains("No bootc update-service history is available in the system journal."));
  EXPECT_THAT(texts, Contains("There is no previous image on this machine yet."));
  EXPECT_FALSE(has(*page, kAutoKey));
  EXPECT_FALSE(has(*page, kMeteredKey));
  EXPECT_FALSE(has(*page, kScheduleKey));
  EXPECT_FALSE(has(*page, kReviewButton));
  EXPECT_FALSE(has(*page, kRollbackButton));
  EXPECT_EQ(card_titles(*page).back(), "That did not work");
  EXPECT_THAT(texts, Contains("Updates could not be checked: registry unreachable"));
}

TEST(UpdatesPageTest, ANoticeOfSomethingDoneIsNoFailure) {
  PageModel m = known();
  m.notice = Notice{"Done. The previous image is what this machine will boot next.", false};
  auto page = build_page(m, {}, {});
  // Titled by no word of the notice: not "Done" above "Done. ...".
  EXPECT_EQ(card_titles(*page).back(), "That worked");
  EXPECT_THAT(card_titles(*page), Not(Contains("That did not work")));
  EXPECT_THAT(texts_of(*page), Not(Contains("Done")));
  EXPECT_THAT(texts_of(*page), Contains("Roll back…"));
  EXPECT_THAT(texts_of(*page), Contains("Previous image: 41"));
}

TEST(UpdatesPageTest, UntilTheImageIsReadItsRowsAreChecking) {
  PageModel m;
  m.schedule = "Daily";
  m.metered = MeteredDownloads::Allowed;
  m.last_checked = "Never";
  auto page = build_page(m, {}, {});
  const auto texts = texts_of(*page);
  // The image's rows, and the firmware's overview and status rows.
  EXPECT_EQ(std::count(texts.begin(), texts.end(), "Checking…"), 9);
  EXPECT_THAT(texts, Not(Contains("Up to date")));
  // The policy is read already; the timer is not.
  EXPECT_TRUE(has(*page, kScheduleKey));
  EXPECT_TRUE(has(*page, kMeteredKey));
  EXPECT_FALSE(has(*page, kAutoKey));
  EXPECT_FALSE(has(*page, kReviewButton));
}

TEST(UpdatesPageTest, TheRollbackTextsComeAsOneList) {
  EXPECT_THAT(rollback_texts(std::nullopt, false),
              ElementsAre("Go back to the previous image",
                          "There is no previous image on this machine yet.",
                          ::testing::StartsWith("One appears after the first update.")));
  EXPECT_THAT(rollback_texts("41", false),
              ElementsAre("Go back to the previous image", "Previous image: 41",
                          ::testing::StartsWith("Rolling back makes"), "Roll back…"));
  EXPECT_EQ(rollback_texts("41", true).size(), 6u);
  EXPECT_EQ(rollback_texts("41", true).back(), "Roll back and restart later");
}

TEST(UpdatesPageTest, ControlsAreBoundToTheirActions) {
  std::vector<std::string> asked;
  auto make = [&](std::string_view action) -> UpdatesBindings::Binding {
    asked.emplace_back(action);
    return kalu_actions::ActionBinding{"settings.section:updates", std::string(action), {}, {}};
  };
  UpdatesBindings b;
  b.command = make;
  b.toggle = make;
  b.schedule = [&] { return make("schedule"); };
  PageModel m = known();
  m.os.staged_update = "43";
  auto page = build_page(m, b, {});
  auto action_of = [&](std::string_view id) -> std::string {
    const auto* control =
        dynamic_cast<const w::BoundControl*>(kalu_ui::frame::find_by_id(*page, id));
    if (!control || !control->binding()) return "none";
    return control->binding()->resource_id + " " + control->binding()->action;
  };
  constexpr std::string_view kSection = "settings.section:updates ";
  EXPECT_EQ(action_of(kRestartButton), fmt::format("{}restart", kSection));
  EXPECT_EQ(action_of(kCheckButton), fmt::format("{}check", kSection));
  EXPECT_EQ(action_of(kScheduleKey), fmt::format("{}schedule", kSection));
  // "Roll back…" only opens the review on the page: its own control.
  EXPECT_EQ(action_of(kReviewButton), "kalu.control:settings.updates.rollback invoke");
  m.review_open = true;
  page = build_page(m, b, {});
  EXPECT_EQ(action_of(kRollbackButton), fmt::format("{}rollback", kSection));
  EXPECT_EQ(action_of(kFirmwareRefreshButton), fmt::format("{}refresh-firmware", kSection));
  m.firmware_updates = std::vector<FirmwareUpdate>{testing::firmware_offer("Dock", "1", "2")};
  page = build_page(m, b, {});
  EXPECT_EQ(action_of(kFirmwareInstallButton), fmt::format("{}install-firmware", kSection));
  m.install = install::Finished{true};
  page = build_page(m, b, {});
  EXPECT_EQ(action_of(kFirmwareRestartButton), fmt::format("{}restart", kSection));
  EXPECT_THAT(asked, Contains("automatic"));
  EXPECT_THAT(asked, Contains("metered"));
}

// ---- Device firmware ------------------------------------------------------------

const w::ProgressBar* progress_bar(const Widget& widget) {
  if (const auto* bar = dynamic_cast<const w::ProgressBar*>(&widget)) return bar;
  for (const Widget* child : widget.children()) {
    if (const auto* bar = progress_bar(*child)) return bar;
  }
  return nullptr;
}

// The label of the firmware button with `id`, or "none".
std::string button_label(const Widget& page, std::string_view id) {
  const auto* button = dynamic_cast<const w::Button*>(kalu_ui::frame::find_by_id(page, id));
  return button ? button->label() : "none";
}

std::vector<FirmwareUpdate> two_offers() {
  FirmwareUpdate system = testing::firmware_offer("System Firmware", "1.14.0", "1.15.2");
  system.note = "Fixes a wake-from-sleep hang.";
  system.requirements = {"AC power connected", "Battery above 30%"};
  return {system, testing::firmware_offer("USB-C Dock", std::nullopt, "3.1")};
}

TEST(UpdatesPageTest, TheFirmwareCardWhenTheOffersCannotBeRead) {
  PageModel m = known();
  m.firmware_updates = kalu_ui::fail("fwupd is not running");
  auto page = build_page(m, {}, {});
  auto texts = texts_of(*page);
  // The overview says nothing about firmware it could not read: the card's
  // title is the only "Device firmware".
  EXPECT_EQ(std::count(texts.begin(), texts.end(), "Device firmware"), 1);
  EXPECT_THAT(texts, Contains("Firmware inventory could not be queried"));
  EXPECT_THAT(texts, Contains("fwupd reported: fwupd is not running"));
  EXPECT_EQ(button_label(*page, kFirmwareRefreshButton), "Try again");
  EXPECT_FALSE(has(*page, kFirmwareInstallButton));
  m.firmware_refresh_running = true;
  page = build_page(m, {}, {});
  EXPECT_EQ(button_label(*page, kFirmwareRefreshButton), "Refreshing…");
}

TEST(UpdatesPageTest, UpToDateFirmwareAndARestartToActivateIt) {
  PageModel m = known();
  auto page = build_page(m, {}, {});
  auto texts = texts_of(*page);
  EXPECT_EQ(std::count(texts.begin(), texts.end(), "Device firmware"), 2);
  EXPECT_THAT(texts, Contains("Up to date"));
  EXPECT_THAT(texts, Contains("Device firmware is up to date"));
  EXPECT_EQ(button_label(*page, kFirmwareRefreshButton), "Check firmware");
  m.firmware_refresh_running = true;
  EXPECT_EQ(button_label(*build_page(m, {}, {}), kFirmwareRefreshButton), "Checking firmware…");

  // Finished with a restart on a list that is empty now.
  m.firmware_refresh_running = false;
  m.install = install::Finished{true};
  page = build_page(m, {}, {});
  texts = texts_of(*page);
  EXPECT_THAT(texts, Contains("Restart required"));
  EXPECT_EQ(button_label(*page, kFirmwareRestartButton), "Restart now");
  EXPECT_FALSE(has(*page, kFirmwareRefreshButton));
  EXPECT_THAT(texts, Not(Contains("Check firmware")));
  // Without a restart to wait for, checking comes back.
  m.install = install::Finished{false};
  page = build_page(m, {}, {});
  EXPECT_FALSE(has(*page, kFirmwareRestartButton));
  EXPECT_EQ(button_label(*page, kFirmwareRefreshButton), "Check firmware");
}

TEST(UpdatesPageTest, FirmwareOffersAndTheirInstallation) {
  PageModel m = known();
  m.firmware_updates = two_offers();
  auto page = build_page(m, {}, {});
  auto texts = texts_of(*page);
  EXPECT_THAT(texts, Contains("Updates available"));
  EXPECT_THAT(texts, Contains("1.14.0 → 1.15.2"));
  EXPECT_THAT(texts, Contains("Update to 3.1"));
  EXPECT_THAT(texts, Contains("Fixes a wake-from-sleep hang."));
  EXPECT_THAT(texts, Contains("Before installing: AC power connected, Battery above 30%"));
  EXPECT_THAT(texts,
              Contains(::testing::StartsWith("Firmware is verified and installed by fwupd.")));
  EXPECT_EQ(button_label(*page, kFirmwareInstallButton), "Install firmware upgrades");
  EXPECT_EQ(progress_bar(*page), nullptr);

  m.install = install::Installing{"Writing System Firmware…", 40};
  page = build_page(m, {}, {});
  texts = texts_of(*page);
  EXPECT_FALSE(has(*page, kFirmwareInstallButton));
  ASSERT_NE(progress_bar(*page), nullptr);
  EXPECT_DOUBLE_EQ(progress_bar(*page)->fraction().value_or(-1), 0.4);
  EXPECT_THAT(texts, Contains("Installing"));
  EXPECT_THAT(texts, Contains("Writing System Firmware…"));

  m.install = install::Finished{true};
  page = build_page(m, {}, {});
  EXPECT_THAT(texts_of(*page), Contains("Installed · restart required"));
  EXPECT_EQ(button_label(*page, kFirmwareRestartButton), "Restart now");
  m.install = install::Finished{false};
  page = build_page(m, {}, {});
  EXPECT_THAT(texts_of(*page), Contains("Installed successfully"));
  EXPECT_FALSE(has(*page, kFirmwareRestartButton));
}

TEST(UpdatesPageTest, TheFirmwareHistoryShowsItsFirstEightEntries) {
  PageModel m = known();
  std::vector<FirmwareHistoryEntry> history;
  for (int i = 0; i < 10; ++i) {
    history.push_back(
        {fmt::format("Device {}", i), "success", "1.0", fmt::format("1.{}", i + 1), std::nullopt});
  }
  history[1].state = "failed";
  history[1].error = "device went away";
  m.firmware_history = history;
  auto page = build_page(m, {}, {});
  auto texts = texts_of(*page);
  EXPECT_EQ(card_titles(*page).back(), "Firmware history");
  EXPECT_THAT(texts, Contains("Device 7"));
  EXPECT_THAT(texts, Not(Contains("Device 8")));
  EXPECT_THAT(texts, Not(Contains("Device 9")));
  EXPECT_THAT(texts, Contains("1.0 → 1.2 · failed"));
  EXPECT_THAT(texts, Contains("fwupd error: device went away"));
  // Before the notice card.
  m.notice = Notice{"Firmware installation finished successfully.", false};
  auto titles = card_titles(*build_page(m, {}, {}));
  ASSERT_GE(titles.size(), 2u);
  EXPECT_EQ(titles[titles.size() - 2], "Firmware history");
  EXPECT_EQ(titles.back(), "That worked");

  // A history that could not be read, or holds nothing, has no card.
  m.firmware_history = kalu_ui::fail("fwupd is not running");
  EXPECT_THAT(card_titles(*build_page(m, {}, {})), Not(Contains("Firmware history")));
  m.firmware_history = std::vector<FirmwareHistoryEntry>{};
  EXPECT_THAT(card_titles(*build_page(m, {}, {})), Not(Contains("Firmware history")));
}

// ---- The pane in a window --------------------------------------------------------

struct Window {
  explicit Window(std::function<void(FakeSystem&)> setup, double height = 1600.0)
      : t(std::move(setup)),
        harness(kalu_ui::widget::boxed(UpdatesPane(Dependencies(t))
                                           .with_operation_requests(t.requests)
                                           .with_operation_completion(t.completion)),
                kalu_ui::harness::Options::sized({1280.0, height})) {}

  static UpdatesPane::Dependencies Dependencies(PaneFixture& t) {
    UpdatesPane::Dependencies deps;
    deps.services = t.system->services(t.system);
    return deps;
  }
  UpdatesPane& pane() { return dynamic_cast<UpdatesPane&>(harness.root()); }
  // Frames until `done`, as the window's loop runs them.
  bool frames_until(const std::function<bool()>& done) {
    for (int i = 0; i < 1000 && !done(); ++i) {
      harness.wait_for_frame(std::chrono::milliseconds(10));
      harness.frame();
    }
    harness.frame();
    return done();
  }
  bool run(const operations::UpdateOperation& op) {
    t.start(op);
    bool finished = frames_until([&] { return !t.pending(); });
    t.collect();
    harness.frame();
    return finished;
  }
  bool png(const std::string& name) {
    return harness.render_png(std::string(SETTINGS_PANES_UPDATES_ARTIFACTS) + "/" + name)
        .has_value();
  }

  PaneFixture t;
  kalu_ui::harness::Harness harness;
};

TEST(UpdatesPaneWindowTest, RollBackOpensTheReview) {
  Window win({});
  ASSERT_TRUE(win.frames_until([&] { return win.pane().status_known(); }));
  const auto* button = dynamic_cast<const w::Button*>(win.harness.find(kReviewButton));
  ASSERT_NE(button, nullptr);
  EXPECT_THAT(button->resources(win.harness.document()),
              Contains(::testing::Field(&kalu_actions::Resource::id,
                                        "kalu.control:settings.updates.rollback")));
  ASSERT_TRUE(win.harness.click_id(kReviewButton));
  win.harness.frame();
  EXPECT_TRUE(win.pane().review_open());
  EXPECT_THAT(texts_of(win.pane()), Contains("Roll back and restart later"));
  EXPECT_NE(win.harness.find(kRollbackButton), nullptr);
  EXPECT_EQ(win.harness.find(kReviewButton), nullptr);
}

// The pane binds its controls to the Updates section: using one records the
// section's action, which comes back as an update operation.
TEST(UpdatesPaneWindowTest, TheControlsRecordTheSectionsActions) {
  Window win({});
  ASSERT_TRUE(win.frames_until([&] { return win.pane().status_known(); }));
  for (std::string_view id : {kCheckButton, kAutoKey, kMeteredKey, kScheduleKey}) {
    const auto* control = dynamic_cast<const w::BoundControl*>(win.harness.find(id));
    ASSERT_NE(control, nullptr) << id;
    ASSERT_TRUE(control->binding()) << id;
    EXPECT_EQ(control->binding()->resource_id, "settings.section:updates") << id;
  }
  // The frame's replay takes them; with no application publishing the
  // section here, it cannot carry them out.
  ASSERT_TRUE(win.harness.click_id(kCheckButton));
  auto replayed = win.harness.take_replayed();
  ASSERT_EQ(replayed.size(), 1u);
  EXPECT_EQ(replayed[0].invocation.resource_id, "settings.section:updates");
  EXPECT_EQ(replayed[0].invocation.action, "check");
  ASSERT_TRUE(win.harness.click_id(kAutoKey));
  replayed = win.harness.take_replayed();
  ASSERT_EQ(replayed.size(), 1u);
  EXPECT_EQ(replayed[0].invocation.action, "automatic");
  EXPECT_EQ(replayed[0].invocation.arguments_json, R"({"value":false})");
  // Nothing runs until the operation comes back through the executor.
  win.harness.frames(2);
  EXPECT_FALSE(win.pane().check_running());
  EXPECT_EQ(win.t.system->count("disable timer"), 0);
}

TEST(UpdatesPaneWindowTest, RendersOfThePage) {
  {
    Window win([](FakeSystem& s) { s.staged = testing::kStaged; });
    ASSERT_TRUE(win.frames_until([&] { return win.pane().status_known(); }));
    ASSERT_TRUE(win.run(operations::UpdateOperation::ReviewRollback{}));
    EXPECT_THAT(texts_of(win.pane()), Contains("Roll back and restart later"));
    EXPECT_TRUE(win.png("updates_staged_review.png"));
  }
  {
    Window win([](FakeSystem& s) {
      s.timer = AutomaticUpdates::Unknown;
      s.rollback_to.reset();
      s.update_error = "registry.kalu.example: connection refused";
    });
    ASSERT_TRUE(win.frames_until([&] { return win.pane().status_known(); }));
    ASSERT_TRUE(win.run(operations::UpdateOperation::Check{}));
    const auto texts = texts_of(win.pane());
    EXPECT_THAT(texts, Contains("That did not work"));
    EXPECT_THAT(texts, Contains("unavailable on this machine"));
    EXPECT_TRUE(win.png("updates_up_to_date_failure.png"));
  }
  {
    // Firmware offers, one installing, and what was installed before.
    Window win([](FakeSystem& s) {
      s.firmware_offers = two_offers();
      s.history_list = std::vector<FirmwareHistoryEntry>{
          {"Touchpad", "success", "2.3", "2.4", std::nullopt},
          {"Thunderbolt Controller", "failed", std::nullopt, "41.1", "the device went away"}};
    });
    ASSERT_TRUE(win.frames_until([&] { return win.pane().status_known(); }));
    win.t.start(operations::UpdateOperation::InstallFirmware{});
    ASSERT_TRUE(win.frames_until([&] { return win.pane().firmware_installing(); }));
    auto job = win.t.system->take_install_job();
    ASSERT_TRUE(job);
    job->send(system_ops::firmware::Preparing{2});
    job->send(system_ops::firmware::Progress{"Writing System Firmware…", 40});
    ASSERT_TRUE(win.frames_until([&] {
      const auto* state = std::get_if<install::Installing>(&win.pane().install_state());
      return state && state->percent == 40;
    }));
    const auto texts = texts_of(win.pane());
    EXPECT_THAT(texts, Contains("Writing System Firmware…"));
    EXPECT_THAT(texts, Contains("Firmware history"));
    EXPECT_TRUE(win.png("updates_firmware_installing.png"));
    job->send(system_ops::firmware::Failed{"the test is over"});
    ASSERT_TRUE(win.frames_until([&] { return !win.pane().firmware_installing(); }));
    win.t.collect();
  }
}

}  // namespace
}  // namespace settings::panes::updates
