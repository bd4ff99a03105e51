#include "panes/audio/workers.h"

#include <gtest/gtest.h>
#include <pthread.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace settings::panes::audio {
namespace {

using namespace std::chrono_literals;

// A tool that records what it was asked and on which thread, and that can be
// held inside a command until the test lets it go.
class FakeTool final : public AudioTool {
 public:
  float read_input_level() override {
    enter("read_input_level");
    return 0.3f;
  }
  WpctlStatus load_status() override {
    enter("load_status");
    return WpctlStatus{{{"Speakers", 50, true}}, {}};
  }
  kalu_ui::Status set_default(std::uint32_t node_id) override {
    enter("set_default " + std::to_string(node_id));
    if (node_id == 0) return kalu_ui::fail("no such node");
    return {};
  }
  kalu_ui::Status set_source_volume(float level_percent) override {
    enter("set_source_volume " + std::to_string(static_cast<int>(level_percent)));
    return {};
  }

  void hold() {
    std::lock_guard lock(mutex_);
    held_ = true;
  }
  void release() {
    {
      std::lock_guard lock(mutex_);
      held_ = false;
    }
    cv_.notify_all();
  }
  // Waits (bounded) until `n` commands have started.
  bool wait_started(std::size_t n) {
    std::unique_lock lock(mutex_);
    return cv_.wait_for(lock, 60s, [&] { return calls_.size() >= n; });
  }
  std::vector<std::string> calls() {
    std::lock_guard lock(mutex_);
    return calls_;
  }
  std::string thread_name() {
    std::lock_guard lock(mutex_);
    return thread_name_;
  }
  std::atomic<int> finished{0};

 private:
  void enter(std::string call) {
    char name[16] = {};
    ::pthread_getname_np(::pthread_self(), name, sizeof name);
    std::unique_lock lock(mutex_);
    thread_name_ = name;
    calls_.push_back(std::move(call));
    cv_.notify_all();
    cv_.wait(lock, [&] { return !held_; });
    ++finished;
  }

  std::mutex mutex_;
  std::condition_variable cv_;
  bool held_ = false;
  std::vector<std::string> calls_;
  std::string thread_name_;
};

ToolReply take(AudioToolWorker& worker) {
  auto reply = worker.take_until(kalu_ui::Instant::now() + 60s);
  EXPECT_TRUE(reply.has_value());
  return reply ? std::move(*reply) : ToolReply{};
}

TEST(AudioToolWorker, AnswersEachCommandInOrderOnItsNamedThread) {
  auto tool = std::make_shared<FakeTool>();
  AudioToolWorker worker(tool);
  EXPECT_FALSE(worker.try_take());
  auto level = worker.read_input_level();
  auto status = worker.load_status();
  auto bad = worker.set_default(0);
  auto volume = worker.set_source_volume(40.0f);

  ToolReply r1 = take(worker);
  EXPECT_EQ(r1.ticket, level);
  ASSERT_TRUE(std::holds_alternative<InputLevelRead>(r1.answer));
  EXPECT_FLOAT_EQ(std::get<InputLevelRead>(r1.answer).level, 0.3f);

  ToolReply r2 = take(worker);
  EXPECT_EQ(r2.ticket, status);
  ASSERT_TRUE(std::holds_alternative<StatusLoaded>(r2.answer));
  EXPECT_EQ(std::get<StatusLoaded>(r2.answer).status.default_sink_name(), "Speakers");

  ToolReply r3 = take(worker);
  EXPECT_EQ(r3.ticket, bad);
  ASSERT_TRUE(std::holds_alternative<DefaultSet>(r3.answer));
  EXPECT_EQ(std::get<DefaultSet>(r3.answer).node_id, 0u);
  EXPECT_EQ(std::get<DefaultSet>(r3.answer).outcome.error(), "no such node");

  ToolReply r4 = take(worker);
  EXPECT_EQ(r4.ticket, volume);
  ASSERT_TRUE(std::holds_alternative<SourceVolumeSet>(r4.answer));
  EXPECT_TRUE(std::get<SourceVolumeSet>(r4.answer).outcome);

  EXPECT_EQ(tool->calls(), (std::vector<std::string>{"read_input_level", "load_status",
                                                     "set_default 0", "set_source_volume 40"}));
  // The kernel keeps the first 15 bytes of the name.
  EXPECT_EQ(tool->thread_name(), std::string(kAudioToolThreadName.substr(0, 15)));
  EXPECT_FALSE(worker.try_take());
}

TEST(AudioToolWorker, DroppingItNeverWaitsAndDropsWhatHasNotStarted) {
  auto tool = std::make_shared<FakeTool>();
  tool->hold();
  {
    AudioToolWorker worker(tool);
    worker.set_default(58);
    worker.set_source_volume(40.0f);
    ASSERT_TRUE(tool->wait_started(1));
    // The worker goes while its first command is still running.
  }
  tool->release();
  // The running command ends on its own, and the thread with it: it lets go
  // of the tool then, so nothing queued can start after that.
  const auto give_up = std::chrono::steady_clock::now() + 60s;
  while (tool.use_count() > 1 && std::chrono::steady_clock::now() < give_up) {
    std::this_thread::sleep_for(1ms);
  }
  ASSERT_EQ(tool.use_count(), 1) << "the worker's thread never ended";
  EXPECT_EQ(tool->finished.load(), 1);
  EXPECT_EQ(tool->calls(), std::vector<std::string>{"set_default 58"});
}

TEST(AudioToolWorker, AnIdleWorkerIsDroppedAtOnce) {
  auto tool = std::make_shared<FakeTool>();
  {
    AudioToolWorker worker(tool);
    worker.read_input_level();
    take(worker);
  }
  EXPECT_EQ(tool->calls().size(), 1u);
}

}  // namespace
}  // namespace settings::panes::audio
