#include "lib/stored_notices.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <mutex>
#include <system_error>
#include <utility>

#include "kalu_ui/wake.h"
#include "lib/worker.h"
#include "sim_device/watch.h"

namespace settings::lib {
namespace {

std::atomic<std::uint64_t> g_generation{0};

std::mutex g_refused_mutex;
RefusedEdit g_refused;

}  // namespace

void note_refused_edit(std::string message) {
  {
    std::lock_guard lock(g_refused_mutex);
    ++g_refused.count;
    g_refused.message = std::move(message);
  }
  kalu_ui::wake::wake_current();
}

RefusedEdit last_refused_edit() {
  std::lock_guard lock(g_refused_mutex);
  return g_refused;
}

std::uint64_t stored_generation() { return g_generation.load(std::memory_order_acquire); }

void note_stored_change() { g_generation.fetch_add(1, std::memory_order_acq_rel); }

StoredWatch::Shared::~Shared() {
  if (wake >= 0) ::close(wake);
}

StoredWatch::StoredWatch(const std::filesystem::path& file) : shared_(std::make_shared<Shared>()) {
  // A folder made later could not be watched: it is the folder every save
  // of the document makes anyway.
  std::error_code ignored;
  if (file.has_parent_path()) std::filesystem::create_directories(file.parent_path(), ignored);
  // The state file's watch watches any one file by its folder.
  auto watch = std::make_shared<sim_device::StateWatch>(file);
  if (watch->fd() < 0) return;
  shared_->wake = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  if (shared_->wake < 0) return;
  watching_ = spawn_worker("kalu-prefs-watch", [shared = shared_, watch] {
    while (!shared->closed.load()) {
      std::array<pollfd, 2> fds{pollfd{shared->wake, POLLIN, 0}, pollfd{watch->fd(), POLLIN, 0}};
      if (::poll(fds.data(), fds.size(), -1) < 0 && errno != EINTR) return;
      if (shared->closed.load()) return;
      if (fds[1].revents != 0 && watch->take_changes()) {
        note_stored_change();
        kalu_ui::wake::wake_current();
      }
    }
  });
}

StoredWatch::~StoredWatch() {
  shared_->closed.store(true);
  if (shared_->wake >= 0) {
    const std::uint64_t one = 1;
    (void)!::write(shared_->wake, &one, sizeof one);
  }
}

}  // namespace settings::lib
