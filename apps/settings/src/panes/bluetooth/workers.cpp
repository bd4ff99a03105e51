#include "panes/bluetooth/workers.h"

#include <system_error>
#include <thread>
#include <utility>

namespace settings::panes::bluetooth {

void pair_worker(PairSender sender, std::string path, SharedBluetoothBackend backend) {
  PairResult result = backend->pair(path);
  // A pane that has gone took its receiver along; the result is dropped.
  (void)sender.send(PairMessage{std::move(path), std::move(result)});
}

kalu_ui::Status start_detached_thread(std::move_only_function<void()> body) {
  try {
    std::thread(std::move(body)).detach();
    return {};
  } catch (const std::system_error& e) {
    return kalu_ui::fail(e.what());
  }
}

}  // namespace settings::panes::bluetooth
