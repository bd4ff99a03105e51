#include "panes/updates/backend.h"

#include <fmt/format.h>

#include <fstream>
#include <utility>

#include "lib/run.h"
#include "limited_exec/programs.h"
#include "sim_device/state.h"

namespace settings::panes::updates {

namespace {

using kalu_ui::fail;
using kalu_ui::Status;

constexpr std::uint64_t kReadSecs = 10;
constexpr std::uint64_t kChangeSecs = 30;
constexpr std::uint64_t kRollbackSecs = 300;
constexpr std::uint64_t kUpdateSecs = 1800;

// The policy file and os-release are a few lines; anything far larger is not
// one of them and is read as missing rather than held in memory.
constexpr std::size_t kLargestSmallFile = 1 << 20;

std::optional<std::string> read_small_file(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return std::nullopt;
  std::string text(kLargestSmallFile + 1, '\0');
  in.read(text.data(), static_cast<std::streamsize>(text.size()));
  if (in.bad() || (in.fail() && !in.eof())) return std::nullopt;
  text.resize(static_cast<std::size_t>(in.gcount()));
  if (text.size() > kLargestSmallFile) return std::nullopt;
  return text;
}

kalu_ui::Result<limited_exec::Output> run(std::string_view program, std::vector<std::string> args,
                                          std::uint64_t secs) {
  return lib::run_limited_command(program, args, secs);
}

// A `systemctl` command that changes something: success on exit 0, else the
// decoded error output, or `silent_failure` when it printed none.
Status run_change(std::vector<std::string> args, std::uint64_t secs,
                  std::string_view silent_failure) {
  auto out = run("systemctl", std::move(args), secs);
  if (!out) return fail(out.error());
  if (out->success()) return {};
  std::string message = decode_command_output(out->stderr_bytes);
  if (message.empty()) message = silent_failure;
  return fail(std::move(message));
}

// `systemctl is-enabled` of a unit; Unknown when it cannot be run. The exit
// status says nothing the output does not.
AutomaticUpdates unit_enabled(std::string_view unit) {
  auto out = run("systemctl", {"is-enabled", std::string(unit)}, kReadSecs);
  return out ? timer_state(out->stdout_bytes) : AutomaticUpdates::Unknown;
}

thread_local StatusSnapshot* current_snapshot = nullptr;

std::optional<std::string> run_bootc_status() {
  auto out = run("bootc", {"status", "--format", "json"}, kReadSecs);
  if (!out || !out->success()) return std::nullopt;
  return std::move(out->stdout_bytes);
}

}  // namespace

StatusSnapshot::StatusSnapshot() : previous_(std::exchange(current_snapshot, this)) {}

StatusSnapshot::~StatusSnapshot() { current_snapshot = previous_; }

std::optional<std::string> bootc_status_document() {
  StatusSnapshot* snapshot = current_snapshot;
  if (snapshot == nullptr) return run_bootc_status();
  if (!snapshot->document_) snapshot->document_ = run_bootc_status();
  return *snapshot->document_;
}

std::string policy_unit(std::string_view action) {
  return fmt::format("kalu-update-policy@{}.service", action);
}

std::filesystem::path update_policy_path() {
  if (limited_exec::system_device()) {
    return std::filesystem::path(kSystemUpdatePolicyFile);
  }
  return sim_device::update_policy_file();
}

SystemUpdateBackend::SystemUpdateBackend(std::filesystem::path policy_file)
    : policy_file_(std::move(policy_file)) {}

AutomaticUpdates SystemUpdateBackend::automatic_updates_enabled() const {
  return unit_enabled(kUpdateTimer);
}

Status SystemUpdateBackend::set_automatic_updates(bool enabled) const {
  const char* verb = enabled ? "enable" : "disable";
  return run_change({verb, "--now", std::string(kUpdateTimer)}, kChangeSecs,
                    fmt::format("systemctl {} {} failed", verb, kUpdateTimer));
}

std::optional<std::string> SystemUpdateBackend::rollback_image() const {
  auto document = bootc_status_document();
  return document ? rollback_image_from_status(*document) : std::nullopt;
}

Status SystemUpdateBackend::rollback() const {
  return run_change({"start", "--wait", std::string(kDeploymentRollbackUnit)}, kRollbackSecs,
                    fmt::format("{} failed; see journalctl -u {}", kDeploymentRollbackUnit,
                                kDeploymentRollbackUnit));
}

std::optional<std::string> SystemUpdateBackend::schedule() const {
  return schedule_label(read_update_policy(policy_file_));
}

Status SystemUpdateBackend::set_schedule(std::string_view label) const {
  auto action = schedule_action(label);
  if (!action) return fail("unknown update schedule");
  return run_policy_action(*action);
}

MeteredDownloads SystemUpdateBackend::metered_allowed() const {
  return metered_downloads(read_update_policy(policy_file_));
}

Status SystemUpdateBackend::set_metered(bool allowed) const {
  return run_policy_action(allowed ? "metered-allow" : "metered-avoid");
}

Status SystemUpdateBackend::start_update() const {
  return run_change({"start", "--wait", std::string(kDeploymentUpdateUnit)}, kUpdateSecs,
                    "update service failed; see its system journal");
}

kalu_ui::Result<FirmwareLists> SystemUpdateBackend::refresh_firmware() const {
  namespace firmware = system_ops::firmware;
  if (auto refreshed = firmware::refresh_firmware_metadata(); !refreshed) {
    return fail(refreshed.error());
  }
  auto updates = firmware::get_firmware_updates();
  if (!updates) return fail(updates.error());
  auto history = firmware::get_firmware_history();
  if (!history) return fail(history.error());
  return FirmwareLists{std::move(*updates), std::move(*history)};
}

UpdatePolicy read_update_policy(const std::filesystem::path& file) {
  if (file.empty()) return {};
  auto text = read_small_file(file);
  return text ? parse_update_policy(*text) : UpdatePolicy{};
}

Status run_policy_action(std::string_view action) {
  if (!is_policy_action(action)) return fail("invalid update policy action");
  std::string unit = policy_unit(action);
  std::string silent_failure = fmt::format("{} failed", unit);
  return run_change({"start", "--wait", std::move(unit)}, kChangeSecs, silent_failure);
}

OsImageInfo read_os_and_staged(const std::filesystem::path& os_release) {
  OsImageInfo info;
  auto release = read_small_file(os_release);
  info.os_name = release ? os_name_from_release(*release) : std::string(kDefaultOsName);
  if (auto document = bootc_status_document()) {
    info.staged_update = staged_update_from_status(*document);
  }
  return info;
}

DeploymentStatus deployment_status(const std::optional<std::string>& rollback_image) {
  DeploymentStatus status;
  if (auto document = bootc_status_document())
    status.release_notes_url = release_notes_url(*document);
  auto journal =
      run("journalctl",
          {"-u", std::string(kUpdateServiceUnit), "-n", "6", "--output=short-iso", "--no-pager"},
          kReadSecs);
  if (journal && journal->success()) status.journal_lines = journal_lines(journal->stdout_bytes);
  bool confirmation_active = unit_enabled(kRollbackConfirmTimer) == AutomaticUpdates::Enabled;
  status.rollback_protection = rollback_protection_text(confirmation_active, rollback_image);
  return status;
}

Status reboot() {
  auto out = run("systemctl", {"reboot"}, kChangeSecs);
  if (!out) return fail(out.error());
  if (out->success()) return {};
  return fail(decode_command_output(out->stderr_bytes));
}

}  // namespace settings::panes::updates
