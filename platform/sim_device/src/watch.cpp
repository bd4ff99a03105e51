#include "sim_device/watch.h"

#include <sys/inotify.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <system_error>
#include <thread>

#include "sim_device/state.h"

namespace sim_device {

StateWatch::StateWatch() : StateWatch(state_path()) {}

StateWatch::StateWatch(const std::filesystem::path& file) : name_(file.filename().string()) {
  fd_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (fd_ < 0) return;
  const std::filesystem::path folder = file.has_parent_path() ? file.parent_path() : ".";
  // The file itself is replaced by a rename at every write, so its folder is
  // what is watched.
  constexpr std::uint32_t kEvents =
      IN_CLOSE_WRITE | IN_MOVED_TO | IN_CREATE | IN_DELETE | IN_DELETE_SELF | IN_MOVE_SELF;
  if (::inotify_add_watch(fd_, folder.c_str(), kEvents) < 0) {
    ::close(fd_);
    fd_ = -1;
  }
}

StateWatch::~StateWatch() {
  if (fd_ < 0) return;
  // Closing an inotify descriptor waits for the kernel to retire its watch,
  // which takes a grace period of ten milliseconds and more: the thread that
  // lets a watch go (the UI thread, closing a pane) does not wait for it.
  try {
    std::thread([fd = fd_] { ::close(fd); }).detach();
  } catch (const std::system_error&) {
    ::close(fd_);
  }
}

bool StateWatch::take_changes() {
  if (fd_ < 0) return false;
  bool changed = false;
  alignas(inotify_event) std::array<char, 4096> buffer;
  while (true) {
    const ssize_t got = ::read(fd_, buffer.data(), buffer.size());
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return changed;
    for (ssize_t at = 0; at < got;) {
      const auto* event = reinterpret_cast<const inotify_event*>(buffer.data() + at);
      at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
      if (event->mask & (IN_Q_OVERFLOW | IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED)) {
        changed = true;
      } else if (event->len > 0 && std::strcmp(event->name, name_.c_str()) == 0) {
        changed = true;
      }
    }
  }
}

}  // namespace sim_device
