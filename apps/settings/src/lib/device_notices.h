#pragma once

#include <atomic>
#include <filesystem>
#include <memory>

// Notice that the simulated device changed (simdev, another program, a
// client's operation), for a pane that shows what the device holds and
// reads it again when told. A worker, "kalu-device-note", waits on the
// device's state watch (sim_device/watch.h) and, at each change, marks the
// notice and wakes the frame loop; the pane takes it at its sync. Where the
// state file cannot be watched no worker runs and no notice ever comes (the
// pane's own refresh still reads the device).
//
// Dropping the notices never waits: the worker is told to end and does so
// by itself.
namespace sim_device {
class StateWatch;
}

namespace settings::lib {

class DeviceNotices {
 public:
  DeviceNotices();
  // Notice of changes to `file` (written, replaced, removed) in the same way.
  explicit DeviceNotices(const std::filesystem::path& file);
  ~DeviceNotices();
  DeviceNotices(const DeviceNotices&) = delete;
  DeviceNotices& operator=(const DeviceNotices&) = delete;

  // UI thread: whether the device changed since the last call.
  bool take() { return shared_->changed.exchange(false); }
  // Whether a worker waits for changes; when not, none is ever noticed and
  // the caller looks at intervals.
  bool watching() const { return shared_->wake >= 0; }

  struct Shared {
    ~Shared();
    int wake = -1;  // tells the worker to end
    std::atomic<bool> changed{false};
    std::atomic<bool> closed{false};
  };

 private:
  void start(std::shared_ptr<sim_device::StateWatch> watch);

  std::shared_ptr<Shared> shared_;
};

}  // namespace settings::lib
