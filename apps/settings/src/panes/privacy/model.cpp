#include "panes/privacy/model.h"

#include <fstream>
#include <string>
#include <system_error>
#include <vector>

#include "lib/run.h"
#include "limited_exec/programs.h"
#include "limited_exec/text.h"
#include "prefs_store/paths.h"
#include "sim_device/state.h"

namespace settings::panes::privacy {

namespace fs = std::filesystem;

// ---- Privacy hardware ------------------------------------------------------

std::string_view privacy_state_text(std::uint8_t state, bool present) {
  switch (state) {
    case 1:
      return "Available";
    case 2:
      return "Blocked by software";
    case 3:
      return "Blocked by hardware";
    default:
      return present ? "Present \u00b7 no kill switch reported" : "Not available";
  }
}

std::string_view microphone_mute_text(std::uint8_t mute) {
  switch (mute) {
    case 0:
      return "Listening allowed";
    case 1:
      return "Muted";
    default:
      return "Unavailable";
  }
}

std::string_view active_use_text(std::uint8_t kind) {
  return kind == 1 ? "Using camera" : "Using microphone";
}

// ---- Device security -------------------------------------------------------

std::optional<std::string> probe_command(std::string_view program,
                                         std::span<const std::string> args) {
  auto output = lib::run_limited_command(program, args, kProbeTimeoutSecs);
  if (!output || !output->success()) return std::nullopt;
  return std::string(
      limited_exec::trim_white_space(limited_exec::decode_lossy(output->stdout_bytes)));
}

namespace {

bool is_block_device(std::string_view source) { return source.starts_with("/dev/"); }

// findmnt's SOURCE for `target`; nothing when it gives nothing.
std::optional<std::string> mount_source(const std::string& target) {
  const std::vector<std::string> args = {"-no", "SOURCE", target};
  return probe_command("findmnt", args);
}

// The first line of a findmnt answer that names a block device.
std::optional<std::string> block_device_in(std::string_view answer) {
  for (std::string_view line : limited_exec::split_lines(answer)) {
    std::string_view source = strip_subvolume(limited_exec::trim_white_space(line));
    if (is_block_device(source)) return std::string(source);
  }
  return std::nullopt;
}

}  // namespace

std::string_view strip_subvolume(std::string_view source) {
  if (source.ends_with(']')) {
    std::size_t open = source.rfind('[');
    if (open != std::string_view::npos && open > 0) source = source.substr(0, open);
  }
  return source;
}

std::optional<std::string> root_block_device() {
  auto root = mount_source("/");
  if (!root) return std::nullopt;
  if (auto device = block_device_in(*root)) return device;
  for (const std::string target : {"/sysroot", "/var"}) {
    auto source = mount_source(target);
    if (!source) continue;
    if (auto device = block_device_in(*source)) return device;
  }
  return std::nullopt;
}

std::string disk_encryption_state() {
  auto device = root_block_device();
  if (!device) return std::string(kUnavailable);
  const std::vector<std::string> args = {"-s", "-n", "-o", "TYPE", *device};
  auto types = probe_command("lsblk", args);
  if (!types) return std::string(kUnavailable);
  for (std::string_view line : limited_exec::split_lines(*types)) {
    if (limited_exec::trim_white_space(line) == "crypt") return "Encrypted";
  }
  return "Not encrypted";
}

std::string secure_boot_state(const fs::path& efivars) {
  std::error_code ec;
  fs::directory_iterator it(efivars, ec);
  if (ec) return std::string(kUnavailable);
  std::optional<fs::path> variable;
  // Entries that cannot be read are passed over.
  for (; it != fs::directory_iterator(); it.increment(ec)) {
    if (ec) {
      ec.clear();
      continue;
    }
    if (it->path().filename().string().starts_with("SecureBoot-")) {
      variable = it->path();
      break;
    }
  }
  if (!variable) return "Disabled";
  // Four bytes of attributes, then the value.
  char bytes[5] = {};
  std::ifstream in(*variable, std::ios::binary);
  if (!in || !in.read(bytes, sizeof bytes)) return std::string(kUnavailable);
  return bytes[4] == 1 ? "Enabled" : "Disabled";
}

std::string firewall_state() {
  const std::vector<std::string> state = {"--state"};
  if (probe_command("firewall-cmd", state) == "running") return "Active \u00b7 firewalld";
  const std::vector<std::string> ruleset = {"list", "ruleset"};
  auto rules = probe_command("nft", ruleset);
  if (rules && !rules->empty()) return "Active \u00b7 nftables";
  return "Not active";
}

kalu_ui::Result<fs::path> device_efivars_dir() {
  if (limited_exec::system_device()) return fs::path(kSystemEfivarsDir);
  return sim_device::efivars_dir();
}

DeviceSecurity probe_device_security(const EfivarsSource& efivars) {
  DeviceSecurity out;
  out.disk_encryption = disk_encryption_state();
  auto dir = efivars ? efivars() : kalu_ui::Result<fs::path>(kalu_ui::fail("no efivars"));
  out.secure_boot = dir ? secure_boot_state(*dir) : std::string(kUnavailable);
  out.firewall = firewall_state();
  return out;
}

// ---- Workspace access ------------------------------------------------------

stored::WorkspaceAccessOverview workspace_access(const std::optional<fs::path>& state_file) {
  return stored::workspace_access_overview(stored::load_workspace_access_record(state_file));
}

}  // namespace settings::panes::privacy
