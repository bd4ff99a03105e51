#include "panes/printers/page.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "kalu_actions/binding.h"
#include "kalu_ui/harness.h"
#include "kalu_ui/widget/badge.h"
#include "kalu_ui/widget/button.h"
#include "kalu_ui/widget/card.h"
#include "kalu_ui/widget/text.h"
#include "lib/flag_button.h"
#include "panes/printers/printers_pane.h"
#include "panes/printers/tests/fake_backend.h"

namespace settings::panes::printers {
namespace {

namespace w = kalu_ui::widget;
using kalu_ui::Widget;
using ::testing::Contains;
using ::testing::ElementsAre;
using testing::FakeBackend;
using ::testing::Not;

// Every text a person reads, in tree order: texts, card titles, badges and
// button labels.
void collect_texts(const Widget& widget, std::vector<std::string>& out) {
  if (const auto* text = dynamic_cast<const w::Text*>(&widget)) out.push_back(text->text());
  if (const auto* card = dynamic_cast<const w::Card*>(&widget)) {
    if (!card->title().empty()) out.push_back(card->title());
  }
  if (const auto* badge = dynamic_cast<const w::Badge*>(&widget)) out.push_back(badge->text());
  if (const auto* button = dynamic_cast<const w::Button*>(&widget)) out.push_back(button->label());
  for (const Widget* child : widget.children()) collect_texts(*child, out);
}

std::vector<std::string> texts_of(const Widget& root) {
  std::vector<std::string> out;
  collect_texts(root, out);
  return out;
}

// The labels of the buttons whose ids end with `suffix`, in order.
void collect_buttons(const Widget& widget, std::string_view suffix, std::vector<std::string>& out) {
  if (const auto* button = dynamic_cast<const w::Button*>(&widget)) {
    if (button->id() && button->id()->ends_with(suffix)) out.push_back(button->label());
  }
  for (const Widget* child : widget.children()) collect_buttons(*child, suffix, out);
}

std::vector<std::string> buttons_of(const Widget& root, std::string_view suffix) {
  std::vector<std::string> out;
  collect_buttons(root, suffix, out);
  return out;
}

const w::Button* button_by_id(const Widget& widget, std::string_view id) {
  if (const auto* button = dynamic_cast<const w::Button*>(&widget)) {
    if (button->id() == id) return button;
  }
  for (const Widget* child : widget.children()) {
    if (const w::Button* found = button_by_id(*child, id)) return found;
  }
  return nullptr;
}

PrintJob job(std::uint32_t id, JobState state, std::uint32_t done, std::uint32_t expected) {
  PrintJob j;
  j.id = id;
  j.destination = "Office";
  j.title = "Report.pdf";
  j.owner = "Submitted by you";
  j.size_bytes = 1200000;
  j.state = state;
  j.pages_completed = done;
  j.pages_expected = expected;
  return j;
}

class PrintersPage : public ::testing::Test {
 protected:
  ~PrintersPage() override {
    if (harness_) settle();
  }

  kalu_ui::harness::Harness& harness() {
    if (!harness_) {
      harness_.emplace(kalu_ui::widget::boxed(PrintersPane(backend_)),
                       kalu_ui::harness::Options::sized({1000.0, 1600.0}));
    }
    return *harness_;
  }
  PrintersPane& pane() { return dynamic_cast<PrintersPane&>(harness().root()); }

  // Frames until no worker runs (or a long while passed), then one more, so
  // the page shows the answers.
  void settle() {
    backend_->hold_status(false);
    backend_->hold_discovery(false);
    for (int i = 0; i < 4000; ++i) {
      harness().frame();
      if (!pane().refreshing() && !pane().discovering()) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    harness().frame();
  }

  // The trigger `id` set in the state document, as the pane's own buttons
  // (and a bound button whose action is missing) set it, then one frame.
  void press(std::string_view id) {
    (void)harness().document().put(kalu_ui::doc::kRoot, id, kalu_ui::doc::Scalar(true));
    harness().frame();
  }

  std::shared_ptr<FakeBackend> backend_ = std::make_shared<FakeBackend>();
  std::optional<kalu_ui::harness::Harness> harness_;
};

TEST_F(PrintersPage, NothingConfigured) {
  settle();
  EXPECT_THAT(texts_of(harness().root()),
              ElementsAre("Printers", "Refresh",
                          "No configured printers. Use Find printers to discover secure driverless "
                          "IPP devices on this network.",
                          "Nearby", "Find printers",
                          "Only driverless IPP printers are offered automatically; legacy drivers "
                          "are never downloaded silently.",
                          "Current activity", "No active print jobs.", "Scanners",
                          "No SANE-compatible scanners found. Network eSCL/WSD scanners appear "
                          "here through sane-airscan."));
}

TEST_F(PrintersPage, QueuesJobsAndTheirButtons) {
  backend_->edit([](FakeBackend& b) {
    PrintQueue office;
    office.name = "Office";
    office.is_default = true;
    office.state = QueueState::Paused;
    office.detail = "Laser";
    PrintQueue lab;
    lab.name = "Lab";
    lab.supply_levels_unreported = true;
    b.queues_ = std::vector<PrintQueue>{office, lab};
    b.jobs_ =
        std::vector<PrintJob>{job(3, JobState::Processing, 3, 12), job(4, JobState::Stopped, 0, 0),
                              job(5, JobState::Completed, 2, 2)};
  });
  settle();
  const Widget& root = harness().root();
  const auto texts = texts_of(root);
  EXPECT_THAT(texts, Contains("Paused"));
  EXPECT_THAT(texts, Contains("Default · Laser"));
  EXPECT_THAT(texts, Contains("Accepting jobs"));
  EXPECT_THAT(texts, Contains("Supply levels not reported by this printer"));
  EXPECT_THAT(texts, Contains("3 → Office"));
  EXPECT_THAT(texts, Contains("Report.pdf · 1.2 MB · Submitted by you"));
  EXPECT_THAT(texts, Contains("Printing · 3 of 12 impressions · 25%"));
  EXPECT_THAT(texts, Contains("Stopped · Page progress not reported"));
  // The paused default queue: Resume, and no Make default.
  EXPECT_THAT(buttons_of(root, ".office"), ElementsAre("Resume", "Remove…"));
  EXPECT_THAT(buttons_of(root, ".lab"), ElementsAre("Make default", "Pause", "Remove…"));
  EXPECT_THAT(buttons_of(root, ".3"), ElementsAre("Cancel"));
  EXPECT_THAT(buttons_of(root, ".4"), ElementsAre("Retry", "Cancel"));
  EXPECT_THAT(buttons_of(root, ".5"), ElementsAre());

  // Remove… asks for a confirmation on that queue only.
  ASSERT_TRUE(harness().click_id(remove_id("lab")));
  harness().frame();
  EXPECT_THAT(buttons_of(root, ".lab"), ElementsAre("Make default", "Pause", "Remove printer"));
  EXPECT_THAT(buttons_of(root, ".office"), ElementsAre("Resume", "Remove…"));
  EXPECT_TRUE(backend_->changes().empty());
  // The confirmation is the section's "remove" on that queue: the page
  // records it for the application to carry out and removes nothing itself.
  // (The frame's replay takes it; with no application here it cannot carry
  // it out.)
  (void)harness().take_replayed();
  ASSERT_TRUE(harness().click_id(confirm_remove_id("lab")));
  const auto replayed = harness().take_replayed();
  ASSERT_EQ(replayed.size(), 1u);
  EXPECT_EQ(replayed[0].invocation.resource_id, "settings.printer:Lab");
  EXPECT_EQ(replayed[0].invocation.action, "remove");
  harness().frame();
  EXPECT_TRUE(backend_->changes().empty());
  // Its trigger, set in the document, still removes (the road of a button
  // whose action is missing).
  press(confirm_remove_id("lab"));
  EXPECT_THAT(backend_->changes(), ElementsAre("remove Lab"));
}

// Every button that changes the device is bound to the Printers section's
// action for what it shows; "Remove…" and "Add" stay the page's own.
TEST_F(PrintersPage, ButtonsAreBoundToThePrintersSectionsActions) {
  backend_->edit([](FakeBackend& b) {
    PrintQueue office;
    office.name = "Office Printer (2nd)";
    office.state = QueueState::Paused;
    PrintQueue lab;
    lab.name = "Lab";
    lab.is_default = true;
    b.queues_ = std::vector<PrintQueue>{office, lab};
    b.jobs_ = std::vector<PrintJob>{job(4, JobState::Stopped, 0, 0)};
    b.nearby_ = std::vector<DriverlessPrinter>{{"Hall", "ipp://hall.local"}};
  });
  settle();
  press(kDiscoverId);
  settle();
  ASSERT_FALSE(pane().candidates().empty());
  const std::string office = pane().queue_trigger_ids()[0];
  const struct {
    std::string id;
    const char* resource;
    const char* action;
    const char* payload;
  } bound_buttons[] = {
      {std::string(kRefreshId), "settings.section:printers", "refresh", R"("Refresh")"},
      {std::string(kDiscoverId), "settings.section:printers", "discover", R"("Discover")"},
      {default_id(office), "settings.printer:Office Printer (2nd)", "set-default",
       R"j({"SetDefault":{"name":"Office Printer (2nd)"}})j"},
      {enabled_id(office), "settings.printer:Office Printer (2nd)", "enable",
       R"j({"SetEnabled":{"name":"Office Printer (2nd)","enabled":true}})j"},
      {enabled_id("lab"), "settings.printer:Lab", "pause",
       R"({"SetEnabled":{"name":"Lab","enabled":false}})"},
      {"settings.printers.job.retry.4", "settings.print-job:4", "retry",
       R"({"RetryJob":{"id":"4"}})"},
      {"settings.printers.job.cancel.4", "settings.print-job:4", "cancel",
       R"({"CancelJob":{"id":"4"}})"},
  };
  for (const auto& c : bound_buttons) {
    const w::Button* button = button_by_id(harness().root(), c.id);
    ASSERT_NE(button, nullptr) << c.id;
    ASSERT_TRUE(button->binding().has_value()) << c.id;
    EXPECT_EQ(button->binding()->resource_id, c.resource) << c.id;
    EXPECT_EQ(button->binding()->action, c.action) << c.id;
    EXPECT_EQ(button->binding()->encode(kalu_actions::ControlValue())->payload_text(), c.payload)
        << c.id;
  }
  // A press records the action and changes nothing on the page's own road.
  (void)harness().take_replayed();
  ASSERT_TRUE(harness().click_id(enabled_id("lab")));
  const auto replayed = harness().take_replayed();
  ASSERT_EQ(replayed.size(), 1u);
  EXPECT_EQ(replayed[0].invocation.action, "pause");
  harness().frame();
  EXPECT_TRUE(backend_->changes().empty());

  for (const std::string& id : {remove_id(office), add_id(pane().candidate_trigger_ids()[0])}) {
    const w::Button* button = button_by_id(harness().root(), id);
    ASSERT_NE(button, nullptr) << id;
    EXPECT_NE(dynamic_cast<const lib::FlagButton*>(button), nullptr) << id;
  }
}

TEST_F(PrintersPage, AScannerFailureShowsTheAttentionCardWithFreshData) {
  settle();
  backend_->edit([](FakeBackend& b) {
    PrintQueue fresh;
    fresh.name = "Fresh";
    b.queues_ = std::vector<PrintQueue>{fresh};
    b.scanners_ = kalu_ui::fail(std::string("sane-airscan crashed"));
  });
  press(kRefreshId);
  settle();
  const auto texts = texts_of(harness().root());
  ASSERT_GE(texts.size(), 2u);
  EXPECT_EQ(texts[0], "Printer needs attention");
  EXPECT_EQ(texts[1], "Scanners: sane-airscan crashed");
  EXPECT_THAT(texts, Contains("Fresh"));
}

TEST_F(PrintersPage, HeaderButtonsFollowTheWorkers) {
  settle();
  backend_->hold_discovery(true);
  press(kDiscoverId);
  EXPECT_THAT(texts_of(harness().root()), Contains("Searching…"));
  EXPECT_THAT(texts_of(harness().root()),
              Contains("Looking for AirPrint/Mopria-compatible IPP printers…"));
  backend_->hold_status(true);
  press(kRefreshId);
  EXPECT_THAT(texts_of(harness().root()), Contains("Refreshing…"));
  settle();
  const auto texts = texts_of(harness().root());
  EXPECT_THAT(texts, Contains("Refresh"));
  EXPECT_THAT(texts, Not(Contains("Searching…")));
}

}  // namespace
}  // namespace settings::panes::printers
