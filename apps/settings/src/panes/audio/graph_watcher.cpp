#include "panes/audio/graph_watcher.h"

#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <string>
#include <system_error>
#include <thread>
#include <utility>

#include "sim_device/watch.h"

namespace settings::panes::audio {

namespace {

class DeviceGraphChanges final : public GraphChanges {
 public:
  int fd() const override { return watch_.fd(); }
  bool take() override { return watch_.take_changes(); }

 private:
  sim_device::StateWatch watch_;
};

}  // namespace

std::shared_ptr<GraphChanges> device_graph_changes() {
  return std::make_shared<DeviceGraphChanges>();
}

// What the pane and the thread share: the descriptor that wakes the thread,
// and why it was woken.
struct GraphWatcher::Shared {
  Shared() : wake(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {}
  ~Shared() {
    if (wake >= 0) ::close(wake);
  }
  void poke() {
    const std::uint64_t one = 1;
    if (wake >= 0) (void)!::write(wake, &one, sizeof one);
  }

  const int wake;
  std::atomic<bool> closed{false};
  std::atomic<bool> read_now{false};
};

namespace {

struct Watch {
  std::shared_ptr<media_kit::AudioEnumerator> enumerator;
  std::shared_ptr<GraphChanges> changes;
  std::uint64_t held = 0;
  kalu_ui::channel::Sender<media_kit::AudioGraph> out;
};

}  // namespace

GraphWatcher::GraphWatcher(std::shared_ptr<media_kit::AudioEnumerator> enumerator,
                           std::shared_ptr<GraphChanges> changes, std::uint64_t held)
    : shared_(std::make_shared<Shared>()) {
  auto [sender, receiver] = kalu_ui::channel::queue<media_kit::AudioGraph>();
  graphs_.emplace(std::move(receiver));
  auto body = [shared = shared_, watch = Watch{std::move(enumerator), std::move(changes), held,
                                               std::move(sender)}]() mutable {
    std::string name(kGraphWatcherName.substr(0, 15));
    ::pthread_setname_np(::pthread_self(), name.c_str());
    while (!shared->closed.load()) {
      std::array<pollfd, 2> fds{pollfd{shared->wake, POLLIN, 0},
                                pollfd{watch.changes->fd(), POLLIN, 0}};
      const int watched = fds[1].fd >= 0 ? 2 : 1;
      const int timeout = watched == 2 ? -1 : static_cast<int>(kRefreshInterval.count());
      const int ready = ::poll(fds.data(), watched, timeout);
      if (ready < 0 && errno != EINTR) return;
      if (shared->closed.load()) return;
      std::uint64_t count = 0;
      if (fds[0].revents != 0) (void)!::read(shared->wake, &count, sizeof count);
      const bool forced = shared->read_now.exchange(false);
      const bool changed =
          ready == 0 || (watched == 2 && fds[1].revents != 0 && watch.changes->take());
      if (!forced && !changed) continue;
      auto graph = watch.enumerator->enumerate();
      if (!graph) continue;
      const std::uint64_t signature = graph->topology_signature();
      if (!forced && signature == watch.held) continue;
      watch.held = signature;
      watch.out.send(std::move(*graph));
    }
  };
  try {
    std::thread(std::move(body)).detach();
  } catch (const std::system_error&) {
    // No thread: the pane keeps the graph it read itself.
  }
}

GraphWatcher::~GraphWatcher() {
  shared_->closed.store(true);
  shared_->poke();
}

void GraphWatcher::read_now() {
  shared_->read_now.store(true);
  shared_->poke();
}

std::optional<media_kit::AudioGraph> GraphWatcher::try_take() {
  std::optional<media_kit::AudioGraph> newest;
  while (true) {
    auto got = graphs_->try_recv();
    if (!got.is_ready()) return newest;
    newest = std::move(got).value();
  }
}

}  // namespace settings::panes::audio
