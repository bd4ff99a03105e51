#include "sim_device/watch.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>

#include <chrono>
#include <fstream>
#include <thread>

#include "sim_device/state.h"

namespace sim_device {
namespace {

// Waits (a generous while at most, against a hang) until `fd` is readable.
bool readable(int fd) {
  pollfd p{fd, POLLIN, 0};
  return ::poll(&p, 1, 10'000) == 1;
}

TEST(StateWatch, TellsWritesOfTheStateFileFromOtherFilesOfItsFolder) {
  ScopedDeviceState device;
  ASSERT_TRUE(reset());
  StateWatch watch;
  ASSERT_GE(watch.fd(), 0);
  EXPECT_FALSE(watch.take_changes());

  std::ofstream(device.dir() / "relay.toml") << "x";
  ASSERT_TRUE(readable(watch.fd()));
  EXPECT_FALSE(watch.take_changes());

  ASSERT_TRUE(reset());
  ASSERT_TRUE(readable(watch.fd()));
  EXPECT_TRUE(watch.take_changes());
  EXPECT_FALSE(watch.take_changes()) << "each notice is taken once";
}

TEST(StateWatch, ADroppedWatchClosesItsDescriptor) {
  ScopedDeviceState device;
  ASSERT_TRUE(reset());
  int fd = -1;
  {
    StateWatch watch;
    fd = watch.fd();
    ASSERT_GE(fd, 0);
  }
  // Closed on a thread of its own; waited for, bounded only against a hang.
  const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (::fcntl(fd, F_GETFD) != -1 && std::chrono::steady_clock::now() < give_up) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  EXPECT_EQ(::fcntl(fd, F_GETFD), -1);
}

TEST(StateWatch, AFolderThatIsNotThereWatchesNothing) {
  StateWatch watch("/nonexistent-kalu-folder/simulated-device.json");
  EXPECT_EQ(watch.fd(), -1);
  EXPECT_FALSE(watch.take_changes());
}

}  // namespace
}  // namespace sim_device
