#include "account_probe/resolve.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace settings::account_probe {
namespace {

using namespace std::chrono_literals;

TEST(ResolveTest, AnswersTheAddressesOrTheProbesOwnFailure) {
  auto local = resolve_within("localhost", 993, 60s);
  ASSERT_TRUE(local.has_value()) << local.error();
  EXPECT_FALSE(local->empty());
  auto nameless = resolve_within("", 993, 60s);
  ASSERT_FALSE(nameless.has_value());
  EXPECT_EQ(nameless.error(), "server name could not be resolved");
}

TEST(ResolveTest, AThreadThatCannotStartFailsAtOnce) {
  // Waiting out the limit is what "at once" rules out; the limit is far
  // beyond what a loaded machine needs for the answer.
  constexpr auto kLimit = 120s;
  auto start = std::chrono::steady_clock::now();
  auto answer = resolve_within("localhost", 993, kLimit, [](auto) { return false; });
  ASSERT_FALSE(answer.has_value());
  EXPECT_EQ(answer.error(), "server name could not be resolved");
  EXPECT_LT(std::chrono::steady_clock::now() - start, kLimit / 2);
}

TEST(ResolveTest, ALateAnswerIsDroppedAndItsThreadEndsOnItsOwn) {
  struct Shared {
    std::mutex mutex;
    std::condition_variable changed;
    bool released = false;
    bool finished = false;
  };
  auto shared = std::make_shared<Shared>();
  // The resolution answers only once the test has seen the wait time out.
  auto late = [shared](std::move_only_function<void()> body) {
    std::thread([shared, body = std::move(body)]() mutable {
      {
        std::unique_lock lock(shared->mutex);
        shared->changed.wait(lock, [&] { return shared->released; });
      }
      body();  // sends to a receiver that stopped waiting
      std::lock_guard lock(shared->mutex);
      shared->finished = true;
      shared->changed.notify_all();
    }).detach();
    return true;
  };
  auto answer = resolve_within("localhost", 993, 50ms, late);
  ASSERT_FALSE(answer.has_value());
  EXPECT_EQ(answer.error(), "server name resolution timed out");
  std::unique_lock lock(shared->mutex);
  shared->released = true;
  shared->changed.notify_all();
  EXPECT_TRUE(shared->changed.wait_for(lock, 60s, [&] { return shared->finished; }));
}

}  // namespace
}  // namespace settings::account_probe
