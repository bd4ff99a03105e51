#include "lib/device_notices.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstdint>
#include <utility>

#include "kalu_ui/wake.h"
#include "lib/worker.h"
#include "sim_device/watch.h"

namespace settings::lib {

DeviceNotices::Shared::~Shared() {
  if (wake >= 0) ::close(wake);
}

DeviceNotices::DeviceNotices() : shared_(std::make_shared<Shared>()) {
  start(std::make_shared<sim_device::StateWatch>());
}

DeviceNotices::DeviceNotices(const std::filesystem::path& file)
    : shared_(std::make_shared<Shared>()) {
  start(std::make_shared<sim_device::StateWatch>(file));
}

void DeviceNotices::start(std::shared_ptr<sim_device::StateWatch> watch) {
  if (watch->fd() < 0) return;
  const int wake = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  if (wake < 0) return;
  // The waker current now is the frame loop's.
  auto waker = kalu_ui::wake::current_waker();
  const bool started = spawn_worker("kalu-device-note", [shared = shared_, watch, waker, wake] {
    while (!shared->closed.load()) {
      std::array<pollfd, 2> fds{pollfd{wake, POLLIN, 0}, pollfd{watch->fd(), POLLIN, 0}};
      if (::poll(fds.data(), fds.size(), -1) < 0 && errno != EINTR) return;
      if (shared->closed.load()) return;
      if (fds[1].revents != 0 && watch->take_changes()) {
        shared->changed.store(true);
        if (waker) waker->wake();
      }
    }
  });
  // Kept only with a worker that reads it; closed with the shared state.
  if (started) {
    shared_->wake = wake;
  } else {
    ::close(wake);
  }
}

DeviceNotices::~DeviceNotices() {
  shared_->closed.store(true);
  if (shared_->wake >= 0) {
    const std::uint64_t one = 1;
    (void)!::write(shared_->wake, &one, sizeof one);
  }
}

}  // namespace settings::lib
