// The pane's three command slots: the system setup that saves the relay
// configuration, pairing (discovery, then approval) and the home-server
// administration (probe, rename, remove, retry of pending removals). Each is
// started only into an empty slot and polled without blocking in sync.
#include <fmt/format.h>

#include <algorithm>
#include <utility>

#include "identity/host_identity.h"
#include "panes/device_mesh/device_mesh_pane.h"

namespace settings::panes::device_mesh {
namespace {

using limited_exec::AsyncCommand;
using limited_exec::Output;

constexpr std::string_view kNoApproval = "administrator approval was not granted";
constexpr std::string_view kPairingClosed = "the pairing window closed or was cancelled";

// What a finished slot came to: its output, or why waiting failed; none
// while it runs.
std::optional<kalu_ui::Result<Output>> poll(std::optional<AsyncCommand>& job) {
  if (!job) return std::nullopt;
  auto answer = job->try_wait();
  if (answer && !answer->has_value()) return std::nullopt;
  job.reset();
  if (!answer) return kalu_ui::Result<Output>(kalu_ui::fail(answer.error()));
  return kalu_ui::Result<Output>(std::move(**answer));
}

std::string not_saved(std::string_view why) { return fmt::format("Not saved: {}", why); }

}  // namespace

// ---- System setup ----

void DeviceMeshPane::run_system_setup() {
  auto root = identity_root();
  if (!root) {
    finish_setup(kalu_ui::fail(not_saved(root.error())));
    return;
  }
  auto started = limited_exec::spawn_prepared(system_setup_command(relay_config_, *root));
  if (!started) {
    finish_setup(
        kalu_ui::fail(not_saved(fmt::format("could not start system setup: {}", started.error()))));
    return;
  }
  apply_job_ = std::move(*started);
  status_ = "Saving changes…";
}

void DeviceMeshPane::take_apply_job() {
  auto finished = poll(apply_job_);
  if (!finished) return;
  if (!*finished) {
    finish_setup(kalu_ui::fail(not_saved(finished->error())));
  } else if ((*finished)->success()) {
    finish_setup(std::string(kSavedMessage));
  } else {
    finish_setup(
        kalu_ui::fail(not_saved(command_output_text((*finished)->stderr_bytes, kNoApproval))));
  }
}

void DeviceMeshPane::finish_setup(const kalu_ui::Result<std::string>& outcome) {
  status_ = outcome ? "Saved" : outcome.error();
  request_rebuild();
  for (const auto& key : std::exchange(apply_waiting_, {})) link_.complete(key, outcome);
  std::vector<DeviceMeshOperation> restaged = std::exchange(restaged_, {});
  if (!outcome && !restage(restaged)) return;
  if (!std::exchange(reapply_pending_, false)) return;
  // Changes that came in during the run are saved now, with the latest
  // configuration, whether or not that run succeeded.
  apply_waiting_ = std::exchange(reapply_waiting_, {});
  run_system_setup();
}

bool DeviceMeshPane::restage(const std::vector<DeviceMeshOperation>& changes) {
  // What the run carried was not saved: the stored configuration is the
  // truth again, with only the changes made since on top of it.
  next_refresh_ = kalu_ui::Instant::now();
  if (load_config()) {
    // Each was accepted once; one that no longer applies (a workspace that
    // went meanwhile) leaves the configuration as it is.
    for (const auto& change : changes) (void)apply_relay_change(change);
    return true;
  }
  // Never save the defaults over a configuration that exists.
  status_ = fmt::format("Configuration could not be read: {}", *config_error_);
  reapply_pending_ = false;
  for (const auto& key : std::exchange(reapply_waiting_, {})) {
    link_.complete(key, kalu_ui::fail(std::string(kUnreadableConfig)));
  }
  return false;
}

// ---- Pairing ----

void DeviceMeshPane::approve_device(PairingKind kind) {
  if (pairing_job_) return;
  request_rebuild();
  if (candidate_ && candidate_->kind == kind) {
    start_approval(*candidate_);
    return;
  }
  candidate_.reset();
  pairing_kind_ = kind;
  start_discovery(kind);
}

void DeviceMeshPane::start_discovery(PairingKind kind) {
  auto started = limited_exec::spawn_prepared(discovery_command(kind));
  if (!started) {
    status_ = fmt::format("Could not start nearby discovery: {}", started.error());
    return;
  }
  pairing_job_ = std::move(*started);
  discovering_ = true;
  status_ = kind == PairingKind::HomeServer ? "Looking for your new home server…"
                                            : "Looking for your new device…";
}

void DeviceMeshPane::start_approval(const HeldCandidate& held) {
  auto found = identity_root();
  if (!found) {
    status_ = fmt::format("Could not find your identity: {}", found.error());
    return;
  }
  const std::filesystem::path& root = *found;
  std::optional<limited_exec::PreparedCommand> command;
  if (held.kind == PairingKind::PersonalDevice) {
    auto dir = host_identity::identity_dir_from_env();
    if (!dir) {
      status_ = fmt::format("Could not find your identity: {}", dir.error().message);
      return;
    }
    command = approve_personal_device_command(root, *dir, held.candidate);
  } else {
    const auto ids = approval_workspace_ids(relay_config_, known_workspaces_);
    command = approve_home_server_command(root, held.candidate, ids);
  }
  auto started = limited_exec::spawn_prepared(std::move(*command));
  if (!started) {
    status_ = fmt::format("Could not start pairing: {}", started.error());
    return;
  }
  pairing_job_ = std::move(*started);
  discovering_ = false;
  pairing_kind_ = held.kind;
  status_ = fmt::format("Approving {} with code {}…", held.candidate.label,
                        held.candidate.verification_code);
}

void DeviceMeshPane::take_pairing_job() {
  auto finished = poll(pairing_job_);
  if (!finished) return;
  const bool discovery = std::exchange(discovering_, false);
  request_rebuild();
  if (!*finished) {
    status_ =
        fmt::format("Pairing stopped: {}. Choose the pairing action to retry.", finished->error());
    return;
  }
  const Output& output = **finished;
  if (!output.success()) {
    // A held candidate stays, so the approval can be tried again.
    status_ = fmt::format("Device was not paired: {}. Choose the pairing action to retry.",
                          command_output_text(output.stderr_bytes, kPairingClosed));
    return;
  }
  if (discovery) {
    auto candidate = parse_pair_candidate(output.stdout_bytes);
    if (!candidate) {
      status_ = candidate.error();
      return;
    }
    status_ = fmt::format("Found {}. Confirm code {} on both devices, then approve.",
                          candidate->label, candidate->verification_code);
    candidate_ = HeldCandidate{std::move(*candidate), pairing_kind_};
    return;
  }
  reload_home_peers();
  refresh_health();
  candidate_.reset();
  if (pairing_kind_ == PairingKind::PersonalDevice) {
    continuity_.reload_devices();
    status_ = "Personal device added";
  } else {
    status_ = "Home server paired";
  }
}

// ---- Home-server administration ----

void DeviceMeshPane::run_relay_admin(RelayAdmin subcommand,
                                     const kalu_relay::HomePeerRegistration& server,
                                     std::string_view label) {
  const std::string& key = server.device_node_id;
  if (status_job_) {
    if (subcommand == RelayAdmin::Status) return;
    // The person's press is kept, not lost to a probe that happens to run:
    // the latest one of its kind for this server runs when the slot frees.
    const auto same = std::ranges::find_if(admin_waiting_, [&](const WaitingAdmin& waiting) {
      return waiting.server == key && waiting.subcommand == subcommand;
    });
    if (same != admin_waiting_.end()) {
      same->label = std::string(label);
    } else {
      admin_waiting_.push_back({subcommand, key, std::string(label)});
    }
    peer_status_[key] = "Connecting…";
    request_rebuild();
    return;
  }
  request_rebuild();
  auto root = identity_root();
  if (!root) {
    peer_status_[key] = fmt::format("Offline · {}", root.error());
    return;
  }
  auto command = relay_admin_command(subcommand, *root, server, label);
  if (!command) {
    peer_status_[key] = fmt::format("Offline · {}", command.error());
    return;
  }
  auto started = limited_exec::spawn_prepared(std::move(*command));
  if (!started) {
    peer_status_[key] = fmt::format("Offline · {}", started.error());
    return;
  }
  status_job_ = std::move(*started);
  status_job_key_ = key;
  peer_status_[key] = "Connecting…";
}

void DeviceMeshPane::run_waiting_admin() {
  while (!status_job_ && !admin_waiting_.empty()) {
    WaitingAdmin next = std::move(admin_waiting_.front());
    admin_waiting_.erase(admin_waiting_.begin());
    // A server that went meanwhile has nothing left to rename or remove.
    const auto server = std::ranges::find_if(
        home_peers_, [&](const auto& peer) { return peer.device_node_id == next.server; });
    if (server != home_peers_.end()) run_relay_admin(next.subcommand, *server, next.label);
  }
}

void DeviceMeshPane::take_status_job() {
  auto finished = poll(status_job_);
  if (!finished) return;
  const std::string key = std::exchange(status_job_key_, std::nullopt).value_or("");
  request_rebuild();
  // The retry of pending removals reports on no home server.
  const bool pending = key == kPendingRemovalsKey;
  if (!*finished) {
    if (!pending) peer_status_[key] = fmt::format("Offline · {}", finished->error());
    return;
  }
  const Output& output = **finished;
  if (!output.success()) {
    if (pending) return;
    if (auto seen = last_seen_.find(key); seen != last_seen_.end()) {
      peer_status_[key] = last_seen_text(seen->second);
    } else {
      peer_status_[key] =
          fmt::format("Offline · {}", command_output_text(output.stderr_bytes, "not reachable"));
    }
    return;
  }
  const auto answer = parse_probe_answer(output.stdout_bytes);
  if (!answer) return;
  if (!pending) {
    peer_status_[key] = std::string(probe_status_text(*answer));
    last_seen_[key] = unix_time_ms(std::chrono::system_clock::now());
    // A failed write keeps the map current; the next probe writes again.
    (void)write_home_peer_health(last_seen_);
  }
  reload_home_peers();
}

void DeviceMeshPane::reload_home_peers() {
  home_peers_ = read_home_peers();
  // Servers that are gone leave no confirmation behind.
  std::erase_if(remove_confirm_, [&](const std::string& key) {
    return std::ranges::none_of(home_peers_,
                                [&](const auto& server) { return server.device_node_id == key; });
  });
  request_rebuild();
}

}  // namespace settings::panes::device_mesh
