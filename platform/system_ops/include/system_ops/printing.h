#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "kalu_ui/result.h"

// The printing service of the device: print queues, their jobs, driverless
// printers nearby and scanners (simulated device, section "printing"). Every
// call may be made from any thread; `discover_driverless` takes a while
// ("printing.discover_driverless" delay). A fault injected as
// "printing.<function>" answers its text.
namespace system_ops::printing {

// Paused is the queue's disabled state.
enum class QueueState : std::uint8_t { Ready = 0, Printing = 1, Paused = 2, Offline = 3 };

struct Supply {
  std::string name;
  std::optional<std::uint8_t> level;  // percent; nothing when the printer does not say

  bool operator==(const Supply&) const = default;
};

struct LiveDetails {
  std::vector<Supply> supplies;

  bool operator==(const LiveDetails&) const = default;
};

struct PrintQueue {
  std::string name;
  bool is_default = false;
  bool accepting_jobs = true;
  QueueState state = QueueState::Ready;
  std::string detail;
  std::optional<std::string> detail2;
  std::optional<LiveDetails> live;
  bool supply_levels_unreported = false;

  bool operator==(const PrintQueue&) const = default;
};

enum class JobState : std::uint8_t {
  Pending,
  Held,
  Processing,
  Stopped,
  Canceled,
  Aborted,
  Completed,
  Unrecognized  // a state the service names that none of the above is
};

struct PrintJob {
  std::uint32_t id = 0;
  std::string destination;
  std::string title;
  std::string owner;
  std::optional<std::string> extra;
  std::uint64_t size_bytes = 0;
  std::optional<JobState> state;  // nothing when the service does not say
  std::uint32_t pages_completed = 0;
  std::uint32_t pages_expected = 0;

  // Pages done out of pages expected, 0 to 100; nothing when unknown.
  std::optional<std::uint8_t> progress_percent() const;

  bool operator==(const PrintJob&) const = default;
};

struct DriverlessPrinter {
  std::string name;
  std::string uri;

  bool operator==(const DriverlessPrinter&) const = default;
};

struct Scanner {
  std::string name;
  std::string detail;

  bool operator==(const Scanner&) const = default;
};

kalu_ui::Result<std::vector<PrintQueue>> queues();
kalu_ui::Result<std::vector<PrintJob>> jobs();
kalu_ui::Result<std::vector<DriverlessPrinter>> discover_driverless();
kalu_ui::Result<std::vector<Scanner>> scanners();
// Adds a queue for the nearby printer (name, uri); it leaves the nearby list.
kalu_ui::Status add_driverless(const std::string& name, const std::string& uri);
// True when it became the default, false when it already was.
kalu_ui::Result<bool> set_default(const std::string& queue);
// Resumes (true) or pauses (false) the queue.
kalu_ui::Status set_enabled(const std::string& queue, bool enabled);
kalu_ui::Status remove_queue(const std::string& queue);  // its jobs go with it
kalu_ui::Status cancel_job(std::uint32_t id);
// Starts a stopped, aborted or held job again (true); a pending or printing
// one is already going, and nothing changes (false). A job that ended, or
// whose state is not reported or not recognized, is refused.
kalu_ui::Result<bool> retry_job(std::uint32_t id);
// Whether retry_job starts a job in `state` again: held, stopped or aborted.
bool can_retry(std::optional<JobState> state);

}  // namespace system_ops::printing
