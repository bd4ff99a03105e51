#pragma once

// The Network pane's slow jobs, each on a thread of its own that does one job
// and ends (none is joined): joining a Wi-Fi network (with its password
// looked up from, or sealed for, the person's certified devices), sealing a
// saved Wi-Fi profile, creating a mobile profile, unlocking a SIM, joining an
// enterprise network, and the file chooser for the organisation's CA
// certificate, and opening a network's sign-in page. Every job but the
// chooser and the sign-in page reports one NetworkJobOutcome on the pane's
// outcome channel (the sign-in page only when it fails); the chooser answers on a one-shot channel
// of its own. `sync` polls both without blocking; a result that arrives after the pane is gone is
// dropped.
//
// Workers share nothing with the UI thread but the sending end and the
// shared, read-only services they are given. A password or PIN travels as a
// SecretText owned by the worker and is overwritten when the job is done. A
// thread that cannot be started ends its job as failed at once.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <variant>

#include "kalu_ui/channel.h"
#include "kalu_ui/result.h"
#include "kalu_ui/secret.h"
#include "panes/network/backend.h"
#include "system_ops/dispatcher.h"

namespace settings::panes::network {

using kalu_ui::secret::SecretText;

// The jobs that are not about one network.
enum class FixedJob : std::uint8_t {
  SavedWifiProfile,
  MobileProfile,
  Sim,
  EnterpriseWifi,
  SignInPage
};

// Which job an outcome is about: a network by its SSID, or a fixed job.
struct NetworkJob {
  std::variant<std::string, FixedJob> subject;

  static NetworkJob network(std::string ssid) { return {std::move(ssid)}; }
  static NetworkJob fixed(FixedJob job) { return {job}; }
  const std::string* ssid() const { return std::get_if<std::string>(&subject); }
  // The SSID, or "saved Wi-Fi profile", "mobile profile", "SIM", "enterprise
  // Wi-Fi", "network sign-in".
  std::string name() const;
};

namespace job {
struct Failed {
  std::string error;
};
struct Connected {
  std::optional<std::string> note;  // about password sharing
};
struct PasswordNeeded {
  std::optional<std::string> reason;  // why no sealed password was used
};
struct Sealed {
  std::string network;
};
struct Done {
  std::string text;  // for the status line
};
}  // namespace job

using JobResult =
    std::variant<job::Failed, job::Connected, job::PasswordNeeded, job::Sealed, job::Done>;

struct NetworkJobOutcome {
  NetworkJob job;
  JobResult result;
};

using OutcomeSender = kalu_ui::channel::Sender<NetworkJobOutcome>;
using OutcomeReceiver = kalu_ui::channel::Receiver<NetworkJobOutcome>;

// What the certificate chooser answers.
namespace chooser {
struct Chosen {
  std::string path;
};
struct Cancelled {};
struct Error {
  std::string text;
};
}  // namespace chooser
using ChooserAnswer = std::variant<chooser::Chosen, chooser::Cancelled, chooser::Error>;

inline constexpr std::string_view kCertificateChooserTitle = "Choose organization CA certificate";

// Starts `work` on a new thread; an error says why no thread could start.
using ThreadStarter = std::function<kalu_ui::Status(std::move_only_function<void()> work)>;
// A detached std::thread.
ThreadStarter detached_threads();

// The continuity security mode of a network's mode byte: 1 is mode 0, 2 is
// mode 1; any other byte means the continuity service is not used.
std::optional<std::uint8_t> continuity_mode(std::uint8_t mode_byte);

// Everything a Wi-Fi connect worker is given.
struct WifiConnectJob {
  std::string ssid;
  std::optional<SecretText> password;
  std::uint8_t mode_byte = 0;
  bool lookup = false;  // try a password sealed by the person's devices first
  std::shared_ptr<system_ops::Dispatcher> dispatcher;
  std::shared_ptr<const WifiContinuityBackend> continuity;
};

// The whole Wi-Fi connect job on the calling thread (the worker runs this):
// a lookup, or the join with the password and the sealing of a typed one.
// The password is overwritten before it answers.
JobResult run_wifi_connect(WifiConnectJob& job);
// The profile share job: seals a saved Wi-Fi profile for the person's devices.
JobResult run_profile_share(const std::string& profile_id, const WifiContinuityBackend& continuity);

// The enterprise join's configuration with its password apart, so that it
// is handed over as a secret.
struct EnterpriseJob {
  net::EnterpriseWifiConfig config;  // its password stays empty
  SecretText password;
};

// Each starts one worker that reports on `sender`.
void start_wifi_connect_worker(const ThreadStarter& threads, WifiConnectJob job,
                               OutcomeSender sender);
void start_profile_share_worker(const ThreadStarter& threads, std::string profile_id,
                                std::shared_ptr<const WifiContinuityBackend> continuity,
                                OutcomeSender sender);
void start_mobile_profile_worker(const ThreadStarter& threads, std::string name, std::string apn,
                                 std::shared_ptr<const NetworkBackend> backend,
                                 OutcomeSender sender);
// Without a SIM it fails with "No SIM is available" and never asks the modem.
void start_sim_unlock_worker(const ThreadStarter& threads, std::optional<std::string> sim_path,
                             SecretText pin, std::shared_ptr<const NetworkBackend> backend,
                             OutcomeSender sender);
void start_enterprise_worker(const ThreadStarter& threads, EnterpriseJob job,
                             std::shared_ptr<const NetworkBackend> backend, OutcomeSender sender);
// Opens a network's sign-in page in the browser through the desktop portal
// (with the system's programs this runs a process, so never on the UI
// thread). It reports only a failure, as Done with the status line's text
// "Could not open network sign-in: ..."; an opened page changes nothing.
void start_sign_in_opener(const ThreadStarter& threads, std::string uri,
                          std::shared_ptr<const NetworkBackend> backend, OutcomeSender sender);
// The chooser answers on its own channel; a thread that cannot start answers
// an error there.
void start_certificate_chooser(const ThreadStarter& threads,
                               std::shared_ptr<const NetworkBackend> backend,
                               kalu_ui::channel::OneshotSender<ChooserAnswer> answer);

}  // namespace settings::panes::network
