#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "kalu_ui/result.h"
#include "sim_device/display.h"

// The display side of the settings store: the outputs the compositor reports
// (the hardware snapshot), the saved display configuration, and the display
// transaction that applies a new configuration with a safety test. On this
// device they live in the simulated device's "display" section
// (system_ops/device_state.h); every call may be made from any thread.
//
// A transaction applies a configuration at once and then tests it for 15
// seconds: kept when confirmed in time, reverted on request, rejected when
// the configuration does not fit the hardware. The restore at the deadline
// is the device's (sim_device/display.h): whoever reads the device after it
// sees the previous layout back, and the process that started the test (or
// called watch_display_safety_test) restores it at the deadline on a thread
// of its own even when nobody reads. One transaction exists at a time; while
// one is testing, a new request is refused. Faults "display.request",
// "display.request_confirmation" and "display.request_revert" answer their
// texts.
namespace prefs_store {

struct OutputMode {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::uint32_t refresh_mhz = 0;

  // "2560 × 1440 · 144 Hz", "1920 × 1080 · 59.94 Hz".
  std::string label() const;
  bool operator==(const OutputMode&) const = default;
};

enum class OutputTransform { Normal, Rotate90, Rotate180, Rotate270 };

struct OutputDescriptor {
  std::string connector;  // "eDP-1"
  std::string name;       // may be empty
  std::vector<OutputMode> modes;
  std::optional<OutputMode> current_mode;
  std::vector<std::string> color_profiles;                 // ids
  std::map<std::string, std::string> color_profile_names;  // id -> name
  std::optional<std::string> hdr_note;                     // why HDR is unavailable
  std::optional<std::string> vrr_note;                     // why variable refresh is unavailable
  bool internal = false;
  bool hdr_controllable = false;
  bool hdr_capable = false;
  bool vrr_controllable = false;
  bool vrr_capable = false;
};

struct GraphicsCard {
  std::string name;
  std::vector<OutputDescriptor> outputs;
};

struct DisplayHardwareSnapshot {
  bool live_capabilities = false;  // false when the outputs could not be read
  std::vector<GraphicsCard> cards;

  // Never fails: a device whose outputs cannot be read has no live capabilities.
  static DisplayHardwareSnapshot load();
  // Tells apart outputs of different cards ("card1"); nothing with one card.
  std::optional<std::string> card_qualifier(std::size_t card) const;
};

// The file behind the snapshot; its modification time moves when the outputs
// or their configuration change.
std::optional<std::filesystem::path> display_snapshot_path();

struct Position {
  std::int32_t x = 0;
  std::int32_t y = 0;
  bool operator==(const Position&) const = default;
};

struct OutputConfig {
  std::optional<std::string> mirror;  // connector of the output it mirrors
  std::optional<std::string> color_profile;
  std::optional<OutputMode> mode;
  double scale = 1.0;
  Position position;
  bool enabled = true;
  bool primary = false;
  bool hdr = false;
  bool vrr = false;
  OutputTransform transform = OutputTransform::Normal;
  bool operator==(const OutputConfig&) const = default;
};

// What a configuration is checked against, one entry per connected output.
struct HardwareOutput {
  std::string connector;
  std::string name;
  std::vector<OutputMode> modes;
  std::vector<std::string> color_profiles;
  bool hdr_supported = false;
  bool vrr_supported = false;
};
using HardwareView = std::vector<HardwareOutput>;

struct DisplayConfig {
  std::map<std::string, OutputConfig> outputs;  // by connector

  // The saved configuration; empty when it cannot be read.
  static DisplayConfig load();
  // Refuses a configuration that does not fit `hardware`: an output that
  // mirrors itself, a missing output or one that mirrors another (no chains),
  // a mode or colour profile the output lacks, HDR or variable refresh where
  // unsupported, a scale outside 0.5 to 4, or no enabled output. Entries of
  // outputs not connected are kept as they are.
  kalu_ui::Status validate_for(const HardwareView& hardware) const;
  bool operator==(const DisplayConfig&) const = default;
};

// The hardware view of the connected outputs of `snapshot`.
HardwareView hardware_view(const DisplayHardwareSnapshot& snapshot);

struct DisplayTransaction {
  // 0, 2, 3 applying; 1 testing; 4 kept; 5 reverted; 6 rejected.
  enum State : std::uint8_t {
    kApplying = 0,
    kTesting = 1,
    kKept = 4,
    kReverted = 5,
    kRejected = 6,
  };
  // How long a test lasts, unless the device's "delays" shorten it
  // ("display.safety_test", milliseconds).
  static constexpr std::int64_t kTestMillis = 15000;

  std::uint64_t id = 0;
  std::uint8_t state = kApplying;
  std::optional<std::int64_t> deadline_unix_ms;
  std::optional<std::string> message;
  DisplayConfig previous;
  DisplayConfig requested;

  // The current transaction, or none (also when it cannot be read).
  static std::optional<DisplayTransaction> load();
  // Applies `config` and starts testing it; a configuration that does not fit
  // the hardware gives a rejected transaction with the reason as message.
  static kalu_ui::Result<DisplayTransaction> request(const DisplayConfig& config);
  static kalu_ui::Status request_confirmation(const DisplayTransaction& transaction);
  static kalu_ui::Status request_revert(const DisplayTransaction& transaction);
};

// Restores the layout at the deadline of the safety test the device runs,
// for as long as this process lives, on the thread "display-safety" (started
// at the first call; a later call makes it look at the device again). A
// successful request calls it; a program calls it at start for a test an
// earlier run left behind. Any thread; never blocks.
void watch_display_safety_test();

// The time the transactions read (unix milliseconds): the system clock, or
// the clock a ScopedDisplayClock installed. A safety test's countdown reads
// it too, so it agrees with the deadline.
std::int64_t display_clock_unix_ms();

// Makes the transactions, and the device's restore, read the time (unix
// milliseconds) from `clock` for the guard's lifetime. Process-wide.
class ScopedDisplayClock {
 public:
  explicit ScopedDisplayClock(std::function<std::int64_t()> clock);
  ScopedDisplayClock(const ScopedDisplayClock&) = delete;
  ScopedDisplayClock& operator=(const ScopedDisplayClock&) = delete;

 private:
  sim_device::display::ScopedClock clock_;
};

}  // namespace prefs_store
