#include "panes/network/workers.h"

#include <fmt/format.h>

#include <exception>
#include <system_error>
#include <thread>

namespace settings::panes::network {
namespace {

namespace broker = collaboration::broker;
using kalu_ui::secret::wipe;

constexpr std::string_view kSealedPasswordUsed =
    "Used the sealed password from your certified devices.";
constexpr std::string_view kPasswordSealed = "Password sealed for your certified devices.";
constexpr std::string_view kInvalidLookupReply =
    "the Wi-Fi continuity service returned an invalid lookup reply";
constexpr std::string_view kInvalidShareReply =
    "Password could not be shared: the continuity service returned an invalid reply.";
constexpr std::string_view kInvalidProfileReply =
    "the Wi-Fi continuity service returned an invalid profile reply";

std::string start_failure(const std::string& reason) {
  return fmt::format("the worker thread could not be started: {}", reason);
}

// Connects with the given password (none: the device's own, or an open
// network) through the dispatcher.
kalu_ui::Status join(const WifiConnectJob& job, const SecretText* password) {
  if (password == nullptr || password->empty()) return job.dispatcher->connect_wifi(job.ssid, {});
  const auto exposed = password->expose();
  return job.dispatcher->connect_wifi(job.ssid, exposed.str());
}

JobResult lookup_then_join(WifiConnectJob& job, std::uint8_t mode) {
  auto reply = job.continuity->command(broker::LookupWifiPassword{job.ssid, mode});
  if (auto* found = std::get_if<broker::Found>(&reply)) {
    auto joined = join(job, &found->passphrase);
    found->passphrase.wipe();
    if (!joined) return job::Failed{joined.error()};
    return job::Connected{std::string(kSealedPasswordUsed)};
  }
  if (std::holds_alternative<broker::NotFound>(reply)) return job::PasswordNeeded{};
  if (auto* failed = std::get_if<broker::Failed>(&reply)) return job::PasswordNeeded{failed->error};
  if (auto* away = std::get_if<broker::Unavailable>(&reply))
    return job::PasswordNeeded{away->reason};
  return job::PasswordNeeded{std::string(kInvalidLookupReply)};
}

// The note after a typed password was sealed for the person's devices.
std::string sharing_note(broker::WifiContinuityReply reply) {
  if (std::holds_alternative<broker::Sealed>(reply)) return std::string(kPasswordSealed);
  if (auto* failed = std::get_if<broker::Failed>(&reply)) {
    return fmt::format("Password could not be shared: {}", failed->error);
  }
  if (auto* away = std::get_if<broker::Unavailable>(&reply)) {
    return fmt::format("Password could not be shared: {}", away->reason);
  }
  if (auto* found = std::get_if<broker::Found>(&reply)) found->passphrase.wipe();
  return std::string(kInvalidShareReply);
}

JobResult join_then_share(WifiConnectJob& job) {
  const SecretText* password = job.password ? &*job.password : nullptr;
  auto joined = join(job, password);
  if (!joined) return job::Failed{joined.error()};
  const auto mode = continuity_mode(job.mode_byte);
  if (password == nullptr || password->empty() || !mode) return job::Connected{};
  auto reply = job.continuity->command(
      broker::SealWifiPassword{job.ssid, *mode, SecretText::copy_of(password->view())});
  return job::Connected{sharing_note(std::move(reply))};
}

// Runs `work` on a new thread and sends its result for `job`; when no thread
// can start, the job fails at once on this thread.
void start_job(const ThreadStarter& threads, NetworkJob job, OutcomeSender sender,
               std::move_only_function<JobResult()> work) {
  // The sender and the work live in one shared box, so that a refused start
  // still has them here to report with.
  struct Box {
    NetworkJob job;
    OutcomeSender sender;
    std::move_only_function<JobResult()> work;
  };
  auto box = std::make_shared<Box>(Box{std::move(job), std::move(sender), std::move(work)});
  auto started = threads([box] {
    JobResult result = box->work();
    box->work = nullptr;  // what it owned (a password) goes before the send
    box->sender.send(NetworkJobOutcome{std::move(box->job), std::move(result)});
  });
  if (!started) {
    box->work = nullptr;
    box->sender.send(
        NetworkJobOutcome{std::move(box->job), job::Failed{start_failure(started.error())}});
  }
}

}  // namespace

std::string NetworkJob::name() const {
  if (const auto* ssid = std::get_if<std::string>(&subject)) return *ssid;
  switch (std::get<FixedJob>(subject)) {
    case FixedJob::SavedWifiProfile:
      return "saved Wi-Fi profile";
    case FixedJob::MobileProfile:
      return "mobile profile";
    case FixedJob::Sim:
      return "SIM";
    case FixedJob::EnterpriseWifi:
      return "enterprise Wi-Fi";
    case FixedJob::SignInPage:
      break;
  }
  return "network sign-in";
}

ThreadStarter detached_threads() {
  return [](std::move_only_function<void()> work) -> kalu_ui::Status {
    try {
      std::thread(std::move(work)).detach();
    } catch (const std::system_error& failure) {
      return kalu_ui::fail(failure.what());
    }
    return {};
  };
}

std::optional<std::uint8_t> continuity_mode(std::uint8_t mode_byte) {
  if (mode_byte == 1) return 0;
  if (mode_byte == 2) return 1;
  return std::nullopt;
}

JobResult run_wifi_connect(WifiConnectJob& job) {
  JobResult result;
  if (job.lookup && !job.password) {
    const auto mode = continuity_mode(job.mode_byte);
    // Without a usable mode the continuity service is not asked at all.
    result = mode ? lookup_then_join(job, *mode) : JobResult{job::PasswordNeeded{}};
  } else {
    result = join_then_share(job);
  }
  if (job.password) job.password->wipe();
  return result;
}

JobResult run_profile_share(const std::string& profile_id,
                            const WifiContinuityBackend& continuity) {
  auto reply = continuity.command(broker::SealWifiProfile{profile_id});
  if (auto* sealed = std::get_if<broker::Sealed>(&reply)) return job::Sealed{sealed->network};
  if (auto* failed = std::get_if<broker::Failed>(&reply)) return job::Failed{failed->error};
  if (auto* away = std::get_if<broker::Unavailable>(&reply)) return job::Failed{away->reason};
  if (auto* found = std::get_if<broker::Found>(&reply)) found->passphrase.wipe();
  return job::Failed{std::string(kInvalidProfileReply)};
}

void start_wifi_connect_worker(const ThreadStarter& threads, WifiConnectJob job,
                               OutcomeSender sender) {
  NetworkJob subject = NetworkJob::network(job.ssid);
  start_job(threads, std::move(subject), std::move(sender),
            [job = std::move(job)]() mutable { return run_wifi_connect(job); });
}

void start_profile_share_worker(const ThreadStarter& threads, std::string profile_id,
                                std::shared_ptr<const WifiContinuityBackend> continuity,
                                OutcomeSender sender) {
  start_job(threads, NetworkJob::fixed(FixedJob::SavedWifiProfile), std::move(sender),
            [id = std::move(profile_id), continuity = std::move(continuity)]() -> JobResult {
              return run_profile_share(id, *continuity);
            });
}

void start_mobile_profile_worker(const ThreadStarter& threads, std::string name, std::string apn,
                                 std::shared_ptr<const NetworkBackend> backend,
                                 OutcomeSender sender) {
  start_job(
      threads, NetworkJob::fixed(FixedJob::MobileProfile), std::move(sender),
      [name = std::move(name), apn = std::move(apn), backend = std::move(backend)]() -> JobResult {
        auto created = backend->create_mobile_profile(name, apn);
        if (!created) return job::Failed{created.error()};
        return job::Done{"Mobile profile created."};
      });
}

void start_sim_unlock_worker(const ThreadStarter& threads, std::optional<std::string> sim_path,
                             SecretText pin, std::shared_ptr<const NetworkBackend> backend,
                             OutcomeSender sender) {
  start_job(threads, NetworkJob::fixed(FixedJob::Sim), std::move(sender),
            [path = std::move(sim_path), pin = std::move(pin),
             backend = std::move(backend)]() mutable -> JobResult {
              if (!path) return job::Failed{"No SIM is available"};
              kalu_ui::Status unlocked;
              {
                const auto exposed = pin.expose();
                unlocked = backend->unlock_mobile_sim_on(*path, exposed.str());
              }
              pin.wipe();
              if (!unlocked) return job::Failed{unlocked.error()};
              return job::Done{"SIM unlocked."};
            });
}

void start_enterprise_worker(const ThreadStarter& threads, EnterpriseJob job,
                             std::shared_ptr<const NetworkBackend> backend, OutcomeSender sender) {
  start_job(threads, NetworkJob::fixed(FixedJob::EnterpriseWifi), std::move(sender),
            [job = std::move(job), backend = std::move(backend)]() mutable -> JobResult {
              job.config.password.reserve(job.password.size());
              job.config.password.append(job.password.view());
              job.password.wipe();
              auto joined = backend->connect_enterprise_wifi(job.config);
              wipe(job.config.password);
              if (!joined) return job::Failed{joined.error()};
              return job::Done{"Enterprise Wi-Fi connected."};
            });
}

void start_sign_in_opener(const ThreadStarter& threads, std::string uri,
                          std::shared_ptr<const NetworkBackend> backend, OutcomeSender sender) {
  auto report = [](const std::string& error) {
    return job::Done{fmt::format("Could not open network sign-in: {}", error)};
  };
  auto shared = std::make_shared<OutcomeSender>(std::move(sender));
  auto started = threads([shared, report, uri = std::move(uri), backend = std::move(backend)] {
    auto opened = backend->open_uri(uri);
    if (opened) return;
    shared->send(NetworkJobOutcome{
        NetworkJob::fixed(FixedJob::SignInPage),
        report(
            fmt::format("could not open browser through the desktop portal: {}", opened.error()))});
  });
  if (!started) {
    shared->send(NetworkJobOutcome{NetworkJob::fixed(FixedJob::SignInPage),
                                   report(start_failure(started.error()))});
  }
}

void start_certificate_chooser(const ThreadStarter& threads,
                               std::shared_ptr<const NetworkBackend> backend,
                               kalu_ui::channel::OneshotSender<ChooserAnswer> answer) {
  auto shared = std::make_shared<kalu_ui::channel::OneshotSender<ChooserAnswer>>(std::move(answer));
  auto started = threads([shared, backend = std::move(backend)] {
    auto chosen = backend->choose_file(std::string(kCertificateChooserTitle));
    if (!chosen) {
      shared->send(chooser::Error{chosen.error()});
    } else if (!*chosen) {
      shared->send(chooser::Cancelled{});
    } else {
      shared->send(chooser::Chosen{(*chosen)->string()});
    }
  });
  if (!started) shared->send(chooser::Error{start_failure(started.error())});
}

}  // namespace settings::panes::network
