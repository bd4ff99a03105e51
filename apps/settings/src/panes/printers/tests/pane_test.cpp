#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "operations/keys.h"
#include "panes/printers/printers_pane.h"
#include "panes/printers/tests/fake_backend.h"

namespace settings::panes::printers {
namespace {

namespace doc = kalu_ui::doc;
using C = operations::PrinterOperationCases;
using Completion = operations::OperationCompletion;
using ::testing::ElementsAre;
using testing::FakeBackend;
using ::testing::IsEmpty;

PrintQueue make_queue(std::string name, QueueState state = QueueState::Ready,
                      bool is_default = false) {
  PrintQueue queue;
  queue.name = std::move(name);
  queue.state = state;
  queue.is_default = is_default;
  return queue;
}

PrintJob make_job(std::uint32_t id, JobState state) {
  PrintJob job;
  job.id = id;
  job.destination = "Office";
  job.title = "Report.pdf";
  job.owner = "Submitted by you";
  job.state = state;
  return job;
}

std::string key_of(const PrinterOperation& operation) {
  return operations::operation_key(operation);
}

// The pane hosted by the application, on a fake printing service and a clock
// the test moves. Every test ends with the workers done.
class PrintersPaneTest : public ::testing::Test {
 protected:
  PrintersPaneTest() {
    backend_->edit([](FakeBackend& b) {
      b.queues_ = std::vector<PrintQueue>{make_queue("Office", QueueState::Ready, true),
                                          make_queue("Lab", QueueState::Paused)};
      b.jobs_ = std::vector<PrintJob>{make_job(17, JobState::Processing)};
      b.scanners_ = std::vector<Scanner>{{"Flatbed", "eSCL"}};
      b.nearby_ = std::vector<DriverlessPrinter>{{"Studio", "ipp://studio.local"},
                                                 {"Hall", "ipp://hall.local"}};
    });
  }
  ~PrintersPaneTest() override {
    backend_->hold_status(false);
    backend_->hold_discovery(false);
    if (pane_) {
      EXPECT_TRUE(settle());
      // Reads ran on the workers only.
      EXPECT_FALSE(backend_->read_on(std::this_thread::get_id()));
    }
  }

  PrintersPane& pane() {
    if (!pane_) {
      pane_.emplace(PrintersPane(backend_, [this] { return now_; })
                        .with_operation_requests(requests_)
                        .with_operation_completion(completion_));
    }
    return *pane_;
  }
  doc::Document& document() { return pane().link().own_document(); }

  // Syncs until no worker runs (or a long while passed).
  bool settle() {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    do {
      pane().sync(toolkit_);
      if (!pane().refreshing() && !pane().discovering()) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    } while (std::chrono::steady_clock::now() < deadline);
    return false;
  }

  // A press of the page's button `id`, as its FlagButton writes it.
  void press(const std::string& id) {
    (void)document().put(doc::kRoot, id, doc::Scalar(true));
    pane().sync(toolkit_);
  }

  // Hands the operation over as the executor does and runs one sync.
  Completion start(const PrinterOperation& operation) {
    completion_->publish(Completion::Pending{key_of(operation)});
    requests_->publish(
        operations::DeviceLocalRequest(std::in_place_type<PrinterOperation>, operation));
    pane().sync(toolkit_);
    return completion_->get();
  }

  static Completion succeeded(const PrinterOperation& operation, std::string message) {
    return Completion::Succeeded{key_of(operation), std::move(message)};
  }
  static Completion failed(const PrinterOperation& operation, std::string message) {
    return Completion::Failed{key_of(operation), std::move(message)};
  }

  std::shared_ptr<FakeBackend> backend_ = std::make_shared<FakeBackend>();
  kalu_ui::Instant now_ = kalu_ui::Instant::now();
  std::shared_ptr<operations::DeviceLocalRequestCell> requests_ =
      operations::DeviceLocalRequestCell::create({});
  std::shared_ptr<operations::OperationCompletionCell> completion_ =
      operations::OperationCompletionCell::create({});
  doc::Document toolkit_;
  std::optional<PrintersPane> pane_;
};

TEST_F(PrintersPaneTest, TheFirstStatusReadFillsTheModel) {
  ASSERT_TRUE(settle());
  EXPECT_EQ(pane().queues().size(), 2u);
  EXPECT_EQ(pane().jobs().size(), 1u);
  EXPECT_EQ(pane().scanners().size(), 1u);
  EXPECT_THAT(pane().candidates(), IsEmpty());
  EXPECT_EQ(pane().notice(), std::nullopt);
  EXPECT_THAT(pane().queue_trigger_ids(), ElementsAre("office", "lab"));
  EXPECT_TRUE(pane().take_structure_dirty());
}

TEST_F(PrintersPaneTest, AStatusReadWhereOnlyTheJobsFailed) {
  ASSERT_TRUE(settle());
  backend_->edit([](FakeBackend& b) {
    b.queues_ = std::vector<PrintQueue>{make_queue("Office", QueueState::Offline, true)};
    b.jobs_ = kalu_ui::fail(std::string("the scheduler is not running"));
    b.scanners_ = std::vector<Scanner>{};
  });
  press(std::string(kRefreshId));
  ASSERT_TRUE(settle());
  EXPECT_EQ(pane().queues().size(), 1u);
  EXPECT_EQ(pane().queues()[0].state, QueueState::Offline);
  EXPECT_THAT(pane().scanners(), IsEmpty());
  EXPECT_EQ(pane().jobs().size(), 1u);  // the last good list
  EXPECT_EQ(pane().notice(), "Jobs: the scheduler is not running");
}

TEST_F(PrintersPaneTest, RemovingFromThePageTakesTwoPresses) {
  ASSERT_TRUE(settle());
  press(remove_id("lab"));
  EXPECT_EQ(pane().pending_removal(), "Lab");
  EXPECT_THAT(backend_->changes(), IsEmpty());
  press(confirm_remove_id("lab"));
  EXPECT_EQ(pane().pending_removal(), std::nullopt);
  EXPECT_THAT(backend_->changes(), ElementsAre("remove Lab"));
}

TEST_F(PrintersPaneTest, PageButtonsToggleWhatThePageShows) {
  ASSERT_TRUE(settle());
  press(enabled_id("office"));  // Ready: paused
  press(enabled_id("lab"));     // Paused: resumed
  press(default_id("lab"));
  press(job_cancel_id(make_job(17, JobState::Processing)));
  EXPECT_THAT(backend_->changes(),
              ElementsAre("pause Office", "resume Lab", "default Lab", "cancel 17"));
  // Each press was taken once.
  pane().sync(toolkit_);
  EXPECT_EQ(backend_->changes().size(), 4u);
}

TEST_F(PrintersPaneTest, NamesThatSanitizeAlikeAreTwoButtons) {
  backend_->edit([](FakeBackend& b) {
    b.queues_ = std::vector<PrintQueue>{make_queue("A B"), make_queue("a_b")};
  });
  ASSERT_TRUE(settle());
  const auto ids = pane().queue_trigger_ids();
  ASSERT_EQ(ids.size(), 2u);
  EXPECT_NE(ids[0], ids[1]);
  press(default_id(ids[1]));
  EXPECT_THAT(backend_->changes(), ElementsAre("default a_b"));
}

TEST_F(PrintersPaneTest, ASecondDiscoverWhileOneRunsIsIgnored) {
  ASSERT_TRUE(settle());
  backend_->hold_discovery(true);
  press(std::string(kDiscoverId));
  EXPECT_TRUE(pane().discovering());
  press(std::string(kDiscoverId));
  backend_->hold_discovery(false);
  ASSERT_TRUE(settle());
  EXPECT_EQ(backend_->discoveries(), 1);
  EXPECT_EQ(pane().candidates().size(), 2u);
  EXPECT_THAT(pane().candidate_trigger_ids(), ElementsAre("studio", "hall"));

  // Adding one: it is no longer offered.
  press(add_id("studio"));
  EXPECT_THAT(backend_->changes(), ElementsAre("add Studio ipp://studio.local"));
  EXPECT_EQ(pane().candidates().size(), 1u);
}

TEST_F(PrintersPaneTest, StatusIsReadAgainEveryThreeSeconds) {
  ASSERT_TRUE(settle());
  EXPECT_EQ(backend_->status_reads(), 1);
  EXPECT_EQ(pane().next_wake_deadline(), now_ + kStatusInterval);
  now_ = now_ + std::chrono::milliseconds(2999);
  pane().sync(toolkit_);
  EXPECT_FALSE(pane().refreshing());
  now_ = now_ + std::chrono::milliseconds(1);
  pane().sync(toolkit_);
  EXPECT_TRUE(pane().refreshing());
  ASSERT_TRUE(settle());
  EXPECT_EQ(backend_->status_reads(), 2);
}

TEST_F(PrintersPaneTest, AReadOfItsOwnChangesThePageOnlyWhenTheDeviceDid) {
  ASSERT_TRUE(settle());
  (void)pane().take_structure_dirty();
  // The same answer: the page is neither rebuilt nor told of the read.
  now_ = now_ + kStatusInterval;
  pane().sync(toolkit_);
  EXPECT_TRUE(pane().refreshing());
  EXPECT_FALSE(pane().refresh_shown());
  ASSERT_TRUE(settle());
  EXPECT_EQ(backend_->status_reads(), 2);
  EXPECT_FALSE(pane().take_structure_dirty());
  // A new job: the page follows.
  backend_->edit([](FakeBackend& b) { b.jobs_->push_back(make_job(18, JobState::Processing)); });
  now_ = now_ + kStatusInterval;
  ASSERT_TRUE(settle());
  EXPECT_EQ(backend_->status_reads(), 3);
  EXPECT_TRUE(pane().take_structure_dirty());
}

// ---- operations from the executor ------------------------------------------

TEST_F(PrintersPaneTest, ChangesCompleteWhenTheServiceAnswers) {
  ASSERT_TRUE(settle());
  // The requested state, whatever the page last read: Office shows Ready.
  const PrinterOperation resume{C::SetEnabled{"Office", true}};
  EXPECT_EQ(start(resume), succeeded(resume, "Office accepts jobs."));
  // An automation client's Remove is already confirmed.
  const PrinterOperation remove{C::Remove{"Lab"}};
  EXPECT_EQ(start(remove), succeeded(remove, "Removed printer Lab and its jobs."));
  const PrinterOperation retry{C::RetryJob{"17"}};
  EXPECT_EQ(start(retry), succeeded(retry, "Print job 17 will print again."));
  const PrinterOperation cancel{C::CancelJob{"17"}};
  EXPECT_EQ(start(cancel), succeeded(cancel, "Cancelled print job 17."));
  const PrinterOperation make_lab_default{C::SetDefault{"Lab"}};
  EXPECT_EQ(start(make_lab_default),
            succeeded(make_lab_default, "Lab is now the default printer."));
  EXPECT_THAT(backend_->changes(),
              ElementsAre("resume Office", "remove Lab", "retry 17", "cancel 17", "default Lab"));
  EXPECT_TRUE(requests_->get().empty());
  // A change the service had nothing to do for says so.
  backend_->edit([](FakeBackend& b) { b.change_changed_ = false; });
  EXPECT_EQ(start(retry),
            succeeded(retry,
                      "Print job 17 is already printing or waiting to print; nothing to "
                      "retry."));
  EXPECT_EQ(start(make_lab_default),
            succeeded(make_lab_default, "Lab is already the default printer."));
  backend_->edit([](FakeBackend& b) { b.change_changed_ = true; });

  const PrinterOperation gone{C::CancelJob{"job-17"}};
  EXPECT_EQ(start(gone), failed(gone, "print job is no longer available"));

  backend_->edit([](FakeBackend& b) { b.change_answer_ = kalu_ui::fail(std::string("no queue")); });
  const PrinterOperation make_default{C::SetDefault{"Gone"}};
  EXPECT_EQ(start(make_default), failed(make_default, "no queue"));
  // The failure stays in the notice after the status read that follows.
  ASSERT_TRUE(settle());
  EXPECT_EQ(pane().notice(), "no queue");
}

TEST_F(PrintersPaneTest, RefreshCompletesWhenTheNextReadAnswers) {
  ASSERT_TRUE(settle());
  backend_->hold_status(true);
  const PrinterOperation refresh{C::Refresh{}};
  EXPECT_EQ(start(refresh), Completion(Completion::Pending{key_of(refresh)}));
  // A page press meanwhile runs its change but completes nothing.
  press(default_id("lab"));
  EXPECT_THAT(backend_->changes(), ElementsAre("default Lab"));
  EXPECT_EQ(completion_->get(), Completion(Completion::Pending{key_of(refresh)}));
  backend_->hold_status(false);
  ASSERT_TRUE(settle());
  EXPECT_EQ(completion_->get(), succeeded(refresh, "Printer status refreshed."));

  backend_->edit([](FakeBackend& b) { b.scanners_ = kalu_ui::fail(std::string("sane busy")); });
  start(refresh);
  ASSERT_TRUE(settle());
  EXPECT_EQ(completion_->get(), failed(refresh, "Scanners: sane busy"));
}

// A refresh asked while a read runs waits for a read that starts after it.
TEST_F(PrintersPaneTest, RefreshDuringAReadWaitsForTheNextOne) {
  backend_->hold_status(true);
  pane();
  const PrinterOperation refresh{C::Refresh{}};
  start(refresh);
  backend_->edit([](FakeBackend& b) { b.scanners_ = kalu_ui::fail(std::string("late")); });
  backend_->hold_status(false);
  ASSERT_TRUE(settle());
  EXPECT_EQ(backend_->status_reads(), 2);
  EXPECT_EQ(completion_->get(), failed(refresh, "Scanners: late"));
}

TEST_F(PrintersPaneTest, DiscoverCompletesWithWhatWasFound) {
  ASSERT_TRUE(settle());
  const PrinterOperation discover{C::Discover{}};
  start(discover);
  ASSERT_TRUE(settle());
  EXPECT_EQ(completion_->get(), succeeded(discover, "Found 2 nearby printers."));

  backend_->edit([](FakeBackend& b) { b.nearby_ = kalu_ui::fail(std::string("no mDNS")); });
  start(discover);
  ASSERT_TRUE(settle());
  EXPECT_EQ(completion_->get(), failed(discover, "no mDNS"));
  EXPECT_EQ(pane().notice(), "no mDNS");
}

TEST_F(PrintersPaneTest, AnotherPanesRequestStays) {
  pane();
  requests_->publish(
      operations::DeviceLocalRequest(std::in_place_type<operations::PowerOperation>,
                                     operations::PowerOperationCases::SetAutoSuspend{true}));
  pane().sync(toolkit_);
  EXPECT_TRUE(std::holds_alternative<operations::PowerOperation>(requests_->get()));
}

}  // namespace
}  // namespace settings::panes::printers
