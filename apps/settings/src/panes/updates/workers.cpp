#include "panes/updates/workers.h"

#include <utility>

#include "lib/worker.h"

namespace settings::panes::updates {

namespace {

// Starts `body(services)` on the named worker; its value is the answer.
template <typename T, typename Body>
Started<T> start(std::string_view name, std::shared_ptr<const UpdateServices> services, Body body) {
  auto [sender, receiver] = kalu_ui::channel::oneshot<T>();
  const bool started = lib::spawn_worker(
      name, [services = std::move(services), sender = std::move(sender),
             body = std::move(body)]() mutable { (void)sender.send(body(*services)); });
  return Started<T>{std::move(receiver), started};
}

}  // namespace

namespace action {
namespace {

// What the action worker does for each job, reading back what it changed.
struct CarryOut {
  const UpdateServices& s;

  Answer operator()(const SetAutomatic& job) const {
    AutomaticDone done{job.enabled, s.backend->set_automatic_updates(job.enabled)};
    done.read_back = s.backend->automatic_updates_enabled();
    return done;
  }
  Answer operator()(const SetSchedule& job) const {
    ScheduleDone done{job.label, s.backend->set_schedule(job.label)};
    if (done.result) done.read_back = s.backend->schedule();
    return done;
  }
  Answer operator()(const SetMetered& job) const {
    MeteredDone done{job.allowed, s.backend->set_metered(job.allowed)};
    if (done.result) done.read_back = s.backend->metered_allowed();
    return done;
  }
  Answer operator()(const Rollback&) const {
    RollbackDone done{s.backend->rollback()};
    if (done.result) done.image = read_image_status(s, /*with_timer=*/false);
    return done;
  }
  Answer operator()(const Reboot&) const { return RebootDone{s.reboot()}; }
};

}  // namespace
}  // namespace action

Started<FirstReading> start_status_read(std::shared_ptr<const UpdateServices> services) {
  return start<FirstReading>(kStatusWorker, std::move(services),
                             [](const UpdateServices& s) { return read_first(s); });
}

Started<CheckResult> start_update_check(std::shared_ptr<const UpdateServices> services) {
  return start<CheckResult>(kCheckWorker, std::move(services),
                            [](const UpdateServices& s) -> CheckResult {
                              if (auto updated = s.backend->start_update(); !updated) {
                                return kalu_ui::fail(updated.error());
                              }
                              return read_image_status(s, /*with_timer=*/false);
                            });
}

Started<FirmwareRefreshResult> start_firmware_refresh(
    std::shared_ptr<const UpdateServices> services) {
  return start<FirmwareRefreshResult>(
      kFirmwareRefreshWorker, std::move(services),
      [](const UpdateServices& s) { return s.backend->refresh_firmware(); });
}

Started<action::Answer> start_action(std::shared_ptr<const UpdateServices> services,
                                     action::Job job) {
  return start<action::Answer>(kActionWorker, std::move(services),
                               [job = std::move(job)](const UpdateServices& s) {
                                 return std::visit(action::CarryOut{s}, job);
                               });
}

namespace action {

namespace {

struct Failed {
  kalu_ui::Status error;

  Answer operator()(const SetAutomatic& job) const { return AutomaticDone{job.enabled, error}; }
  Answer operator()(const SetSchedule& job) const { return ScheduleDone{job.label, error}; }
  Answer operator()(const SetMetered& job) const { return MeteredDone{job.allowed, error}; }
  Answer operator()(const Rollback&) const { return RollbackDone{error}; }
  Answer operator()(const Reboot&) const { return RebootDone{error}; }
};

}  // namespace

Answer failed(const Job& job, std::string error) {
  return std::visit(Failed{kalu_ui::fail(std::move(error))}, job);
}

}  // namespace action

}  // namespace settings::panes::updates
