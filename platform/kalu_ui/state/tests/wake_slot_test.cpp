#include "kalu_ui/wake_slot.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <limits>
#include <string>
#include <thread>

#include "kalu_ui/wake.h"

namespace kalu_ui {
namespace {

using namespace std::chrono_literals;

// Installs a waker as the process's loop for the length of a test.
class InstalledWaker {
 public:
  InstalledWaker()
      : waker_(std::make_shared<wake::Waker>()), previous_(wake::install_waker(waker_)) {}
  ~InstalledWaker() { wake::install_waker(previous_); }
  wake::Waker& operator*() { return *waker_; }
  wake::Waker* operator->() { return waker_.get(); }

 private:
  std::shared_ptr<wake::Waker> waker_;
  std::shared_ptr<wake::Waker> previous_;
};

TEST(WakeSlot, GenerationCountsEveryAcceptedPublication) {
  auto cell = WakeSlot<std::string>::create("initial");
  EXPECT_EQ(cell->get(), "initial");
  EXPECT_EQ(cell->generation(), 0u);
  EXPECT_EQ(cell->publish("next"), 1u);
  EXPECT_EQ(cell->get(), "next");
  // The same value again still counts.
  EXPECT_EQ(cell->publish("next"), 2u);
  EXPECT_EQ(cell->generation(), 2u);
}

TEST(WakeSlot, ExhaustedGenerationRefusesEveryPublication) {
  constexpr auto kMax = std::numeric_limits<std::uint64_t>::max();
  WakeSlot<int> cell(5, wake::WakeHandle::create(), kMax);
  EXPECT_EQ(cell.publish(6), std::nullopt);
  EXPECT_EQ(cell.publish(7), std::nullopt);
  EXPECT_EQ(cell.get(), 5);
  EXPECT_EQ(cell.generation(), kMax);
}

TEST(WakeSlot, RefusedWakeDropsTheValueAndKeepsTheOld) {
  auto old_value = std::make_shared<std::string>("old");
  auto cell = WakeSlot<std::shared_ptr<std::string>>::create(old_value);
  cell->wake_handle().set_refusing(true);

  auto offered = std::make_shared<std::string>("new");
  std::weak_ptr<std::string> watch = offered;
  EXPECT_EQ(cell->publish(std::move(offered)), std::nullopt);
  EXPECT_TRUE(watch.expired());  // the refused value was released
  EXPECT_EQ(cell->get(), old_value);
  EXPECT_EQ(cell->generation(), 0u);

  cell->wake_handle().set_refusing(false);
  EXPECT_EQ(cell->publish(std::make_shared<std::string>("later")), 1u);
}

TEST(WakeSlot, MailboxTakeLeavesTheEmptyValue) {
  constexpr std::uint8_t kNone = 255;
  auto requested = WakeSlot<std::uint8_t>::create(kNone);
  requested->publish(4);
  std::uint8_t taken = requested->get();
  if (taken != kNone) requested->publish(kNone);
  EXPECT_EQ(taken, 4);
  EXPECT_EQ(requested->get(), kNone);
  EXPECT_EQ(requested->generation(), 2u);
}

TEST(WakeHandle, AuthorizesWithoutALoopAndReachesTheLoopInstalledLater) {
  auto previous = wake::install_waker(nullptr);
  auto handle = wake::WakeHandle::create();  // made before any loop exists
  EXPECT_TRUE(handle.authorize_publication());

  {
    InstalledWaker loop;
    EXPECT_FALSE(loop->take());
    EXPECT_TRUE(handle.authorize_publication());
    EXPECT_TRUE(loop->take());
    handle.set_refusing(true);
    EXPECT_FALSE(handle.authorize_publication());
    EXPECT_FALSE(loop->take());  // a refusal wakes nobody
  }
  wake::install_waker(previous);
}

TEST(Waker, HookRunsOncePerFrameOfWakeUps) {
  wake::Waker waker;
  std::atomic<int> posted{0};
  waker.set_hook([&] { ++posted; });
  auto handle = wake::WakeHandle::bound_to(std::shared_ptr<wake::Waker>(&waker, [](auto*) {}));
  handle.authorize_publication();
  handle.authorize_publication();
  EXPECT_EQ(posted, 1);
  EXPECT_TRUE(waker.take());
  handle.authorize_publication();
  EXPECT_EQ(posted, 2);
  waker.set_hook({});
  waker.take();
  handle.authorize_publication();
  EXPECT_EQ(posted, 2);
}

TEST(Waker, WaitEndsAtTheDeadlineWhenNothingWakes) {
  wake::Waker waker;
  auto start = Instant::now();
  EXPECT_FALSE(waker.wait_until(start + 20ms));
  EXPECT_GE(Instant::now() - start, 20ms);
}

// A minimal stand-in for the frame loop: it sleeps on the installed waker and
// must be released by a publication made on another thread, and the value it
// then reads must be the published one.
TEST(Waker, PublicationFromAnotherThreadWakesTheWaitingLoop) {
  InstalledWaker loop;
  auto cell = WakeSlot<int>::create(0);  // its handle reaches the installed loop
  for (int round = 1; round <= 50; ++round) {
    std::thread worker([&] { cell->publish(round); });
    // A generous deadline: reaching it means the wake-up was lost.
    ASSERT_TRUE(loop->wait_until(Instant::now() + 10s)) << "round " << round;
    EXPECT_EQ(cell->get(), round);
    worker.join();
  }
}

}  // namespace
}  // namespace kalu_ui
