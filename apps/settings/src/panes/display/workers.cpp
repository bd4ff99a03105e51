#include "panes/display/workers.h"

#include <utility>

#include "lib/worker.h"

namespace settings::panes::display {

kalu_ui::channel::Receiver<ProbeResult> start_probe(std::shared_ptr<DisplayBackend> backend) {
  auto [sender, receiver] = kalu_ui::channel::oneshot<ProbeResult>();
  // A thread that cannot start drops the body with the sender: the pane then
  // sees the channel closed and keeps its defaults.
  lib::spawn_worker(kProbeThread,
                    [backend = std::move(backend), sender = std::move(sender)]() mutable {
                      ProbeResult result;
                      if (auto level = backend->get_brightness()) result.level = *level;
                      result.light_sensor = backend->has_ambient_light_sensor();
                      (void)sender.send(result);
                    });
  return std::move(receiver);
}

BrightnessWorker start_brightness_worker(std::shared_ptr<system_ops::Dispatcher> dispatcher) {
  auto [request_sender, request_receiver] = kalu_ui::channel::queue<float>();
  auto [result_sender, result_receiver] = kalu_ui::channel::queue<BrightnessResult>();
  lib::spawn_worker(kBrightnessThread,
                    [dispatcher = std::move(dispatcher), requests = std::move(request_receiver),
                     results = std::move(result_sender)]() mutable {
                      // Ends when the pane drops its sender.
                      while (std::optional<float> percent = requests.recv()) {
                        BrightnessResult result;
                        if (auto status = dispatcher->set_brightness(*percent)) {
                          result.level = *percent / 100.0f;
                        } else {
                          result.error = status.error();
                        }
                        (void)results.send(std::move(result));
                      }
                    });
  return BrightnessWorker{std::move(request_sender), std::move(result_receiver)};
}

}  // namespace settings::panes::display
