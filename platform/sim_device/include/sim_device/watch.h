#pragma once

#include <filesystem>
#include <string>

// Notice of changes to the simulated device's state file, through a
// descriptor a worker can poll alongside its own: an inotify watch on the
// file's folder, which sees the rename every write of the file ends with, so
// a reader learns of a change without reading the file again and again.
namespace sim_device {

class StateWatch {
 public:
  // Watches the state file in use now (state_path()). When its folder cannot
  // be watched (it does not exist yet, or inotify is out of watches) fd()
  // is -1 and the caller reads at intervals instead.
  StateWatch();
  explicit StateWatch(const std::filesystem::path& file);
  // The descriptor is closed on a thread of its own: closing an inotify
  // descriptor waits for the kernel.
  ~StateWatch();
  StateWatch(const StateWatch&) = delete;
  StateWatch& operator=(const StateWatch&) = delete;

  // Readable when something happened in the folder; -1 when nothing is
  // watched.
  int fd() const { return fd_; }
  // Reads every pending notice without blocking; true when one was about
  // the state file (written, replaced, removed) or notices were lost.
  bool take_changes();

 private:
  int fd_ = -1;
  std::string name_;
};

}  // namespace sim_device
