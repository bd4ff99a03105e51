#pragma once

// Everything the Displays pane reads from or asks of the device besides the
// dispatcher's brightness call: the hardware snapshot and the time its file
// last changed, the saved configuration, the display transaction, the
// backlight probe, the display preferences of the settings document, and
// the clocks. The device's backend (device_display_backend) goes to
// prefs_store, system_ops and the settings document; tests hand the pane a
// fake. The probe worker calls get_brightness and has_ambient_light_sensor
// on its own thread, so those must be callable from any thread; everything
// else runs on the UI thread.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>

#include "kalu_ui/instant.h"
#include "kalu_ui/result.h"
#include "prefs_store/display.h"
#include "stored/sections.h"

namespace settings::panes::display {

class DisplayBackend {
 public:
  virtual ~DisplayBackend() = default;

  virtual prefs_store::DisplayHardwareSnapshot load_snapshot() = 0;
  // When the file behind the snapshot last changed; none without a file, or
  // when its time cannot be read.
  virtual std::optional<std::filesystem::file_time_type> snapshot_modified() = 0;
  // The file behind the snapshot, watched for changes; none: the pane looks
  // at snapshot_modified every second instead.
  virtual std::optional<std::filesystem::path> snapshot_path() { return std::nullopt; }
  virtual prefs_store::DisplayConfig load_config() = 0;

  virtual std::optional<prefs_store::DisplayTransaction> load_transaction() = 0;
  virtual kalu_ui::Result<prefs_store::DisplayTransaction> request_transaction(
      const prefs_store::DisplayConfig& config) = 0;
  virtual kalu_ui::Status confirm_transaction(const prefs_store::DisplayTransaction& t) = 0;
  virtual kalu_ui::Status revert_transaction(const prefs_store::DisplayTransaction& t) = 0;

  // The backlight level, 0 to 1, and the light sensor (any thread).
  virtual kalu_ui::Result<float> get_brightness() = 0;
  virtual bool has_ambient_light_sensor() = 0;

  // The "display" section of the settings document.
  virtual stored::DisplayPrefs load_prefs() = 0;
  // Loads the section afresh, lets `edit` change it and merges it back into
  // the document; other sections and keys are left as they are.
  virtual kalu_ui::Status save_prefs(const std::function<void(stored::DisplayPrefs&)>& edit) = 0;

  // The transactions' clock (unix milliseconds), for the safety test's
  // countdown, and the monotonic clock of the snapshot check.
  virtual std::int64_t unix_ms() = 0;
  virtual kalu_ui::Instant now() = 0;
};

// The device's: prefs_store's display side and clock, system_ops' backlight,
// the settings document's "display" section.
std::shared_ptr<DisplayBackend> device_display_backend();

}  // namespace settings::panes::display
