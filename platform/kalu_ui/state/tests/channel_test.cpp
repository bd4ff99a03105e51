#include "kalu_ui/channel.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace kalu_ui::channel {
namespace {

using namespace std::chrono_literals;

TEST(Oneshot, NothingYetThenTheValueThenClosed) {
  auto [tx, rx] = oneshot<std::string>();
  EXPECT_TRUE(rx.try_recv().is_empty());
  EXPECT_TRUE(tx.send("done"));
  auto got = rx.try_recv();
  ASSERT_TRUE(got.is_ready());
  EXPECT_EQ(got.value(), "done");
  EXPECT_TRUE(rx.try_recv().is_disconnected());
  EXPECT_FALSE(tx.send("twice"));  // a spent sender sends nothing more
}

TEST(Oneshot, SenderGoneWithoutSendingIsNotNothingYet) {
  auto [tx, rx] = oneshot<int>();
  std::thread worker([tx = std::move(tx)]() mutable {
    // The worker ends without a result.
  });
  worker.join();
  EXPECT_TRUE(rx.try_recv().is_disconnected());
}

TEST(Oneshot, ResultFromAWorkerThreadAndAGoneReceiver) {
  auto [tx, rx] = oneshot<std::vector<int>>();
  std::thread worker([tx = std::move(tx)]() mutable { tx.send({1, 2, 3}); });
  auto got = rx.recv_until(Instant::now() + 10s);
  worker.join();
  ASSERT_TRUE(got.is_ready());
  EXPECT_EQ(got.value(), (std::vector<int>{1, 2, 3}));

  auto [tx2, rx2] = oneshot<int>();
  { auto dropped = std::move(rx2); }
  EXPECT_FALSE(tx2.send(1));
}

TEST(Queue, WorkerServesRequestsUntilEverySenderIsGone) {
  auto [requests, worker_rx] = queue<int>();
  auto [results, results_rx] = queue<int>();
  std::thread worker([rx = std::move(worker_rx), out = std::move(results)]() mutable {
    while (auto request = rx.recv()) out.send(*request * 10);
  });
  Sender<int> second = requests;
  requests.send(1);
  second.send(2);
  { auto gone = std::move(requests); }
  { auto gone = std::move(second); }
  worker.join();
  std::vector<int> seen;
  for (auto got = results_rx.try_recv(); got.is_ready(); got = results_rx.try_recv()) {
    seen.push_back(got.value());
  }
  EXPECT_EQ(seen, (std::vector<int>{10, 20}));
  EXPECT_TRUE(results_rx.try_recv().is_disconnected());
}

TEST(Channel, SendingAndClosingWakeTheLoop) {
  auto waker = std::make_shared<wake::Waker>();
  auto previous = wake::install_waker(waker);
  auto [tx, rx] = oneshot<int>();
  auto [tx2, rx2] = oneshot<int>();
  tx.send(1);
  EXPECT_TRUE(waker->take());
  { auto gone = std::move(tx2); }
  EXPECT_TRUE(waker->take());
  wake::install_waker(previous);
}

}  // namespace
}  // namespace kalu_ui::channel
