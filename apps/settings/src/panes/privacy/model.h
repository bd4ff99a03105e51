#pragma once

// What the Device Privacy & Security page reports, read afresh each time the
// page is built, and the texts it shows for it. The page changes nothing.
//
// The device security probes run system programs through the runner's table
// (probe_command: 5 seconds and 1 MiB each, the answer only when the program
// exited with status 0) and read firmware variables; together they may take
// up to five commands' worth of time, so only a worker calls
// probe_device_security. Everything else here is quick and runs on the UI
// thread.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "kalu_ui/result.h"
#include "stored/grants.h"

namespace settings::panes::privacy {

inline constexpr std::uint64_t kProbeTimeoutSecs = 5;
inline constexpr std::string_view kUnavailable = "Unavailable";
inline constexpr std::string_view kSystemEfivarsDir = "/sys/firmware/efi/efivars";

// ---- Privacy hardware ------------------------------------------------------

// A camera or microphone state: 0 not reported, 1 available, 2 blocked by
// software, 3 blocked by hardware. `present` tells the two meanings of 0.
std::string_view privacy_state_text(std::uint8_t state, bool present);
// The microphone mute: 0 listening allowed, 1 muted, 2 unavailable.
std::string_view microphone_mute_text(std::uint8_t mute);
// An active use: 0 microphone, 1 camera.
std::string_view active_use_text(std::uint8_t kind);

// ---- Device security -------------------------------------------------------

// The program's standard output, decoded (invalid UTF-8 replaced) and
// trimmed, when it ran and exited with status 0; otherwise nothing.
std::optional<std::string> probe_command(std::string_view program,
                                         std::span<const std::string> args);

// The source as findmnt prints it without a trailing "[subvolume]".
std::string_view strip_subvolume(std::string_view source);

// The block device holding the root file system. Image-based and subvolume
// roots give "/dev/x[/root]", "overlay" or "composefs" for "/"; then
// "/sysroot" and "/var" are asked in turn, and the first block device (a
// source under "/dev/") is the answer. Nothing when findmnt gives nothing for
// "/" or no block device is found.
std::optional<std::string> root_block_device();

// "Encrypted" when lsblk shows a "crypt" layer under the root device, else
// "Not encrypted"; "Unavailable" when either command gives nothing.
std::string disk_encryption_state();

// Reads the SecureBoot variable of an efivars directory: "Enabled",
// "Disabled" (no such variable, or its value byte is not 1) or "Unavailable"
// (the directory cannot be listed, or the variable cannot be read or holds
// no value byte).
std::string secure_boot_state(const std::filesystem::path& efivars);

// "Active · firewalld", "Active · nftables" or "Not active".
std::string firewall_state();

struct DeviceSecurity {
  std::string disk_encryption;
  std::string secure_boot;
  std::string firewall;

  bool operator==(const DeviceSecurity&) const = default;
};

// Where Secure Boot is read from; asked on the worker, since the simulated
// device brings its directory up to date first.
using EfivarsSource = std::function<kalu_ui::Result<std::filesystem::path>()>;

// The efivars directory of this device: the machine's own with
// KALU_DEVICE=system, else the simulated device's.
kalu_ui::Result<std::filesystem::path> device_efivars_dir();

// Every probe in turn. Blocks for as long as the commands take.
DeviceSecurity probe_device_security(const EfivarsSource& efivars);

// ---- Workspace access ------------------------------------------------------

// The overview of the desktop's state file ("state.json" under the program's
// configuration folder; none: no configuration directory). A file that
// cannot be read, does not read as the record or lacks "workspaces" gives
// the unavailable overview.
stored::WorkspaceAccessOverview workspace_access(
    const std::optional<std::filesystem::path>& state_file);

}  // namespace settings::panes::privacy
