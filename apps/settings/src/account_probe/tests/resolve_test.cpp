#include "account_probe/resolve.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>

namespace settings::account_probe {
namespace {

using namespace std::chrono_literals;

TEST(ResolveTest, AnswersTheAddressesOrTheProbesOwnFailure) {
  auto local = resolve_within("localhost", 993, 5s);
  ASSERT_TRUE(local.has_value()) << local.error();
  EXPECT_FALSE(local->empty());
  auto nameless = resolve_within("", 993, 5s);
  ASSERT_FALSE(nameless.has_value());
  EXPECT_EQ(nameless.error(), "server name could not be resolved");
}

TEST(ResolveTest, AThreadThatCannotStartFailsAtOnce) {
  auto start = std::chrono::steady_clock::now();
  auto answer = resolve_within("localhost", 993, 5s, [](auto) { return false; });
  ASSERT_FALSE(answer.has_value());
  EXPECT_EQ(answer.error(), "server name could not be resolved");
  EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
}

TEST(ResolveTest, ALateAnswerIsDroppedAndItsThreadEndsOnItsOwn) {
  auto finished = std::make_shared<std::atomic<bool>>(false);
  auto slow = [finished](std::move_only_function<void()> body) {
    std::thread([finished, body = std::move(body)]() mutable {
      std::this_thread::sleep_for(300ms);
      body();  // sends to a receiver that stopped waiting
      *finished = true;
    }).detach();
    return true;
  };
  auto answer = resolve_within("localhost", 993, 50ms, slow);
  ASSERT_FALSE(answer.has_value());
  EXPECT_EQ(answer.error(), "server name resolution timed out");
  EXPECT_FALSE(finished->load());
  for (int i = 0; i < 500 && !finished->load(); ++i) std::this_thread::sleep_for(10ms);
  EXPECT_TRUE(finished->load());
}

}  // namespace
}  // namespace settings::account_probe
