#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include "kalu_ui/result.h"

// The firmware service of the device: pending firmware updates, their
// history, metadata refresh and installation (simulated device, section
// "firmware"). A fault injected as "firmware.<function>" answers its text;
// "firmware.install_job" fails a running installation with a Failed event.
// "firmware.refresh_firmware_metadata" and "firmware.install_job" delays slow
// the refresh and each step of an installation.
namespace system_ops::firmware {

struct FirmwareUpdate {
  std::string device_id;
  std::string device_name;
  std::vector<std::string> requirements;
  std::optional<std::string> current_version;
  std::optional<std::string> new_version;
  std::optional<std::string> note;
  bool restart_required = false;
};

struct FirmwareHistoryEntry {
  std::string device_name;
  std::string state;
  std::optional<std::string> previous_version;
  std::optional<std::string> new_version;
  std::optional<std::string> error;
};

struct Preparing {
  std::size_t count = 0;
};
struct Progress {
  std::string text;
  std::uint8_t percent = 0;
};
struct Finished {
  bool restart_required = false;
};
struct Failed {
  std::string message;
};
using FirmwareInstallEvent = std::variant<Preparing, Progress, Finished, Failed>;

// The receiving end of an installation's events. Dropping it stops waiting
// between steps: the installation then completes at once (the device is
// never left half updated) and its events are dropped.
class FirmwareInstallReceiver {
 public:
  struct Channel;
  explicit FirmwareInstallReceiver(std::shared_ptr<Channel> channel);
  FirmwareInstallReceiver(FirmwareInstallReceiver&&) noexcept;
  FirmwareInstallReceiver& operator=(FirmwareInstallReceiver&&) noexcept;
  ~FirmwareInstallReceiver();

  enum class Poll { Event, Empty, Closed };
  // Never blocks: the next event (Event), none yet (Empty), or none ever
  // again (Closed: the job ended and every event was taken).
  Poll try_receive(FirmwareInstallEvent& out);

 private:
  std::shared_ptr<Channel> channel_;
};

// The sending end: the installation job's, from its own thread. Every event
// sent, and the end, wake the process's current UI loop, so a receiver
// polled in a frame hears of it promptly. Dropping the sender ends the
// channel: once the events sent are taken, the receiver answers Closed.
class FirmwareInstallSender {
 public:
  explicit FirmwareInstallSender(std::shared_ptr<FirmwareInstallReceiver::Channel> channel);
  FirmwareInstallSender(FirmwareInstallSender&&) noexcept;
  FirmwareInstallSender& operator=(FirmwareInstallSender&&) noexcept;
  ~FirmwareInstallSender();

  void send(FirmwareInstallEvent event);
  // No event after this one; the destructor closes too.
  void close();

 private:
  std::shared_ptr<FirmwareInstallReceiver::Channel> channel_;
};

// A channel of installation events with no job behind it: whoever holds the
// sender stands in for an installation (a caller's tests).
std::pair<FirmwareInstallSender, FirmwareInstallReceiver> install_channel();

// Downloads fresh metadata: updates published since the last refresh appear.
kalu_ui::Status refresh_firmware_metadata();
kalu_ui::Result<std::vector<FirmwareUpdate>> get_firmware_updates();
kalu_ui::Result<std::vector<FirmwareHistoryEntry>> get_firmware_history();
// Starts installing `updates` (as get_firmware_updates gave them) on a job
// thread: Preparing, a Progress per step, then Finished or Failed. Fails when
// the list is empty or names an update the device no longer offers.
kalu_ui::Result<FirmwareInstallReceiver> start_firmware_install(
    const std::vector<FirmwareUpdate>& updates);

}  // namespace system_ops::firmware
