// The Agent Models pane with its page: the local provider profile kept in
// step on the worker after every snapshot read, never on the UI thread; the
// page built from the pane's state; a provider job's sentence shown as the
// pane's notice.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "panes/agent_models/agent_models_pane.h"
#include "panes/agent_models/tests/fake_backend.h"
#include "panes/agent_models/tests/page_fixture.h"

namespace settings::panes::agent_models {
namespace {

using namespace std::chrono_literals;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::Not;

// What the pane handed to the local profile sync, and on which thread.
struct ProfileCalls {
  void record(std::span<const stored::InstalledLocalModel> models) {
    std::lock_guard lock(mutex);
    threads.push_back(std::this_thread::get_id());
    model_counts.push_back(models.size());
  }
  std::vector<std::size_t> counts() {
    std::lock_guard lock(mutex);
    return model_counts;
  }
  std::mutex mutex;
  std::vector<std::thread::id> threads;
  std::vector<std::size_t> model_counts;
};

class AgentModelsPanePageTest : public ::testing::Test {
 protected:
  AgentModelsPanePageTest() {
    backend_->edit([](testing::FakeBackend& b) { b.snapshot_ = testing::full_snapshot(); });
    AgentModelsPane::Dependencies deps;
    deps.backend = backend_;
    deps.meminfo = "/nonexistent/meminfo";
    deps.local_profile = [calls = calls_](std::span<const stored::InstalledLocalModel> models) {
      calls->record(models);
    };
    auto pane = kalu_ui::widget::boxed(AgentModelsPane(std::move(deps)).with_status_cell(status_));
    pane_ = static_cast<AgentModelsPane*>(pane.get());
    harness_.emplace(std::move(pane), kalu_ui::harness::Options::sized({1280, 6000}));
  }
  ~AgentModelsPanePageTest() override {
    EXPECT_TRUE(settle());
    std::lock_guard lock(calls_->mutex);
    EXPECT_THAT(calls_->threads, Not(Contains(std::this_thread::get_id())));
  }

  bool settle() {
    const auto deadline = std::chrono::steady_clock::now() + 60s;
    do {
      harness_->frame();
      if (!pane_->busy()) {
        harness_->frame();
        return true;
      }
      std::this_thread::sleep_for(1ms);
    } while (std::chrono::steady_clock::now() < deadline);
    return false;
  }

  testing::ConfigHome home_;
  std::shared_ptr<testing::FakeBackend> backend_ = std::make_shared<testing::FakeBackend>();
  std::shared_ptr<ProfileCalls> calls_ = std::make_shared<ProfileCalls>();
  std::shared_ptr<operations::AgentModelsStatusCell> status_ =
      operations::AgentModelsStatusCell::create(std::nullopt);
  AgentModelsPane* pane_ = nullptr;
  std::optional<kalu_ui::harness::Harness> harness_;
};

TEST_F(AgentModelsPanePageTest, EverySnapshotReadUpdatesTheLocalProfileOnTheWorker) {
  ASSERT_TRUE(settle());
  EXPECT_THAT(calls_->counts(), ElementsAre(4u));
  EXPECT_THAT(testing::card_titles(harness_->root()), Contains("Hosted and compatible providers"));
  EXPECT_TRUE(testing::has_text(harness_->root(), "Lumen 3B Instruct"));

  ASSERT_TRUE(pane_->refresh());
  ASSERT_TRUE(settle());
  EXPECT_THAT(calls_->counts(), ElementsAre(4u, 4u));

  // A read that fails leaves the profile alone and the page unavailable.
  backend_->edit([](testing::FakeBackend& b) { b.snapshot_ = kalu_ui::fail("gone"); });
  ASSERT_TRUE(pane_->refresh());
  ASSERT_TRUE(settle());
  EXPECT_THAT(calls_->counts(), ElementsAre(4u, 4u));
  EXPECT_TRUE(testing::has_text(harness_->root(), "Local model service unavailable"));
}

TEST_F(AgentModelsPanePageTest, AProviderJobsSentenceShowsAsTheNotice) {
  ASSERT_TRUE(settle());
  EXPECT_FALSE(testing::has_text(harness_->root(), "Local model service"));
  status_->publish(std::string("Provider details saved."));
  harness_->frames(2);
  EXPECT_TRUE(testing::has_text(harness_->root(), "Provider details saved."));
}

}  // namespace
}  // namespace settings::panes::agent_models
