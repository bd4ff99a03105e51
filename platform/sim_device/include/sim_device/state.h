#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "sim_device/shape.h"

// The simulated device: one JSON file that holds the state of every device
// service the application changes (network, Bluetooth, audio, displays,
// battery, printers, firmware, time ...). The services of system_ops,
// media_kit, prefs_store's display side and kalu_power_mgmt read and change
// it; `simdev` shows and edits it for people; the programs the application
// runs (wpctl ...) answer from it when simdev stands in for them.
//
// Where it lives: $KALU_DEVICE_STATE when set; else
// "$XDG_STATE_HOME/kalu/simulated-device.json" (else under ~/.local/state;
// with no home known at all there is no device and every operation says so).
// A ScopedDeviceState points it at a temporary directory for tests; under
// test (KALU_TEST set) without one, or without KALU_DEVICE_STATE, there is no
// device and every operation fails, so no test touches a person's device. The file
// is 0600 (it holds simulated passphrases and a SIM PIN; no error text or log
// repeats a value of it) and is always replaced atomically through safe_write.
//
// Concurrency: every change is a read-modify-write under an exclusive flock on
// "<file>.lock" beside it, so the UI thread, worker threads and simdev never
// lose an update. Reads take the shared lock only when the file changed since
// the last parse: the parse is cached by device, inode, size and the change
// times, so an unchanged read costs one stat().
//
// A missing file is seeded with a plausible device. The file is read through
// safe_write's bounded reader. A file that is not JSON or not the shape
// below, and anything that is no regular file of at most 16 MiB (a FIFO, a
// link to a device, a directory) or cannot be read, is never used and never
// lost: the operation that finds
// it fails with a text naming the path and the reason, the file is moved to
// "<name>.corrupt-<UTC timestamp>" beside it and a fresh device is seeded. If
// it cannot be moved aside every operation fails with that error and nothing
// is written.
//
// The file's shape: one JSON object whose members are sections.
//   "version"   1
//   "faults"    {"<service>.<operation>": "<error text>"}: that operation
//               fails with the text; a simulated program ("wpctl",
//               "wpctl.set-default") exits 1 with the text on standard error.
//   "delays"    {"<service>.<operation>": milliseconds}: slows the jobs that
//               run on worker threads (bluez.pair, network.connect_wifi,
//               firmware.install_job ...), and how long the simulated model
//               manager's downloads and accelerator staging take
//               (kalu-model-manager.install, ...stage-accelerator), and
//               how long a unit's start takes (kalu-deployment-update.service).
//   "network", "modem", "bluetooth", "audio", "audio_runtime", "display",
//   "power", "battery", "printing", "firmware", "privacy", "security",
//   "time", "tools", "storage"   one section per service (their members:
//               sections.cpp).
//   "models"    the local model manager's answers (model_manager.h).
//   "collaboration"  the collaboration broker's Wi-Fi continuity: whether it
//               is available (else it answers unavailable with the reason)
//               and the passwords sealed for the person's certified devices.
//   "portal"    the desktop portal: the file chooser's next answer and the
//               addresses its URI opener was given.
//   "updates"   the image-based system: its timers, the booted, staged,
//               rollback and next available images, the update policy, the
//               update service's journal and the restarts asked for; simdev
//               answers as systemctl, bootc and journalctl from it.
//   "users"     the login accounts and groups; a fresh device takes this
//               machine's own plus two sample people, and the device's
//               account and group files (below) are rendered from it.
// Sections the file lacks (a file written before a section existed) are
// seeded when it is read, so adding a section never reshapes the file.
//
// Adding a section (a later stand-in joining the device): add one entry to
// the table in sim_device's src/sections.cpp with its name, its seed (what a
// fresh device holds) and its Shape; read it with `read()`/`section()` and
// change it with `update()`, naming the operation "<section>.<function>" so
// that faults reach it. Nothing else changes: simdev shows, gets and sets it
// at once.
namespace sim_device {

using State = std::shared_ptr<const Json>;

// The file in use (see above); empty under test when none is set up, and
// when no state folder is known.
std::filesystem::path state_path();

// The whole state. Fails only when the file cannot be read, created or
// repaired (the error names the path), or when it was found corrupt just now.
kalu_ui::Result<State> read();

// As `read`, but first answers the fault injected for `operation`, if any.
kalu_ui::Result<State> read_for(std::string_view operation);

// A copy of one section of the state (`read_for(operation)`).
kalu_ui::Result<Json> section(std::string_view operation, std::string_view name);

// Read-modify-write: under the exclusive lock, answers the fault injected for
// `operation` if any (an empty name is never faulted: the second half of a
// job that must not be left half done), else lets `edit` change a copy of the whole state. When
// `edit` fails nothing is written and its error is the answer; when the
// result does not have the file's shape it is refused with the shape's text.
// Otherwise the file is replaced and the edit's success is the answer.
kalu_ui::Status update(std::string_view operation,
                       const std::function<kalu_ui::Status(Json& state)>& edit);

// As `update`, for an edit that answers a value.
template <typename T>
kalu_ui::Result<T> update_with(std::string_view operation,
                               const std::function<kalu_ui::Result<T>(Json& state)>& edit) {
  std::optional<T> out;
  auto status = update(operation, [&](Json& state) -> kalu_ui::Status {
    auto value = edit(state);
    if (!value) return kalu_ui::fail(value.error());
    out = std::move(*value);
    return {};
  });
  if (!status) return kalu_ui::fail(status.error());
  return std::move(*out);
}

// The text injected for `operation` in `state`, if any.
std::optional<std::string> fault(const Json& state, std::string_view operation);

// The delay configured for `operation` (zero when none or unreadable).
std::chrono::milliseconds delay(std::string_view operation);

// Sleeps for `delay(operation)`, waking early when `cancelled` answers true
// (asked every 20 ms).
void wait_delay(std::string_view operation, const std::function<bool()>& cancelled = {});

// Replaces the file with a freshly seeded device (simdev reset).
kalu_ui::Status reset();

// A fresh device, as seeded.
Json seeded_state();

// Success when `state` has the file's shape; else the first place that is off.
kalu_ui::Status check_state(const Json& state);

// Names of the sections, in file order.
std::vector<std::string> section_names();

// A file beside the state that is rewritten only when the display outputs or
// their configuration change; its modification time tells the Displays pane
// to reload (prefs_store's display_snapshot_path).
std::filesystem::path display_snapshot_file();

// The simulated device's update policy file: "updates.policy" as "key=value"
// lines, beside the state, rewritten whenever that policy changes (or the
// file is missing) and mode 0644 like the system's own. Empty under test
// when no device is set up.
std::filesystem::path update_policy_file();

// The simulated device's firmware variables: a directory beside the state
// ("<name>.efivars") laid out as the kernel's efivars, holding the
// SecureBoot variable that "security.secure_boot" describes (true enabled,
// false disabled; null: a device without UEFI, so no directory at all). Each
// call brings the directory in line with the state before answering its
// path, so call it off the UI thread. Fails without a device, and with the
// fault "security.secure_boot".
kalu_ui::Result<std::filesystem::path> efivars_dir();

// The simulated device's account and group files, in the formats of
// /etc/passwd and /etc/group: "<state file>" with the extensions ".passwd"
// and ".group" in place of ".json". They are rewritten whenever the "users"
// section changes; `account_files` writes them first when they are missing
// (a state file from before the section existed). The error is `read`'s.
struct AccountFiles {
  std::filesystem::path passwd;
  std::filesystem::path group;
};
kalu_ui::Result<AccountFiles> account_files();

// Points the state at "<temporary directory>/simulated-device.json" for the
// guard's lifetime, seeded afresh without delays (tests must not wait), and
// exports KALU_DEVICE_STATE so the programs a test starts (simdev) use it too.
// Process-wide; not for concurrent construction.
class ScopedDeviceState {
 public:
  ScopedDeviceState();
  ~ScopedDeviceState();
  ScopedDeviceState(const ScopedDeviceState&) = delete;
  ScopedDeviceState& operator=(const ScopedDeviceState&) = delete;

  const std::filesystem::path& dir() const { return dir_; }
  std::filesystem::path path() const;

 private:
  std::filesystem::path dir_;
  std::optional<std::filesystem::path> previous_;
  std::optional<std::string> previous_env_;
};

namespace testing {

// Replaces the rename that moves an unusable file aside (0 or an errno
// value) for the guard's lifetime, so a test can show a file that cannot be
// moved: tests run as root, for whom permissions do not stop a rename.
class ScopedAsideRename {
 public:
  using Rename =
      std::function<int(const std::filesystem::path& from, const std::filesystem::path& to)>;
  explicit ScopedAsideRename(Rename rename);
  ~ScopedAsideRename();
  ScopedAsideRename(const ScopedAsideRename&) = delete;
  ScopedAsideRename& operator=(const ScopedAsideRename&) = delete;

 private:
  Rename previous_;
};

}  // namespace testing
}  // namespace sim_device
