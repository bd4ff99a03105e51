#include "panes/printers/workers.h"

#include <utility>

#include "lib/worker.h"

namespace settings::panes::printers {
namespace {

template <typename T, typename Call>
kalu_ui::Result<T> guarded(Call call) {
  return lib::guarded<T>(std::move(call), "the printing service failed");
}

}  // namespace

kalu_ui::Result<StatusReceiver> start_status_worker(std::shared_ptr<PrintingBackend> backend) {
  auto [sender, receiver] = kalu_ui::channel::oneshot<StatusResult>();
  auto started = lib::try_spawn_worker(
      kStatusWorkerName, [sender = std::move(sender), backend = std::move(backend)]() mutable {
        auto queues = guarded<std::vector<PrintQueue>>([&] { return backend->queues(); });
        auto jobs = guarded<std::vector<PrintJob>>([&] { return backend->jobs(); });
        auto scanners = guarded<std::vector<Scanner>>([&] { return backend->scanners(); });
        (void)sender.send(StatusResult{std::move(queues), std::move(jobs), std::move(scanners)});
      });
  if (!started) return kalu_ui::fail(started.error());
  return std::move(receiver);
}

kalu_ui::Result<DiscoveryReceiver> start_discovery_worker(
    std::shared_ptr<PrintingBackend> backend) {
  auto [sender, receiver] = kalu_ui::channel::oneshot<DiscoveryResult>();
  auto started = lib::try_spawn_worker(
      kDiscoveryWorkerName, [sender = std::move(sender), backend = std::move(backend)]() mutable {
        (void)sender.send(guarded<std::vector<DriverlessPrinter>>(
            [&] { return backend->discover_driverless(); }));
      });
  if (!started) return kalu_ui::fail(started.error());
  return std::move(receiver);
}

}  // namespace settings::panes::printers
