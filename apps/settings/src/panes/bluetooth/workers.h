#pragma once

// The Bluetooth pane's one worker: pairing, the only slow call. Each pairing
// runs on a thread of its own that holds its own handle of the backend, the
// device's path and the sending end of a one-place channel, and shares
// nothing else with the pane. The thread is never joined; when the pane has
// gone its result finds no receiver and is dropped. The pane polls the
// receiving end without blocking in its sync, and learns from the channel
// when a thread ended without sending.

#include <functional>
#include <string>

#include "kalu_ui/channel.h"
#include "kalu_ui/result.h"
#include "panes/bluetooth/backend.h"

namespace settings::panes::bluetooth {

// The one message of a pairing: the device's path and what pairing gave.
struct PairMessage {
  std::string path;
  PairResult result;
};
using PairSender = kalu_ui::channel::OneshotSender<PairMessage>;
using PairReceiver = kalu_ui::channel::Receiver<PairMessage>;

// Body of the pairing thread: pairs the device and sends (path, result).
void pair_worker(PairSender sender, std::string path, SharedBluetoothBackend backend);

// Starts a thread running `body` and lets it go; an error (the reason) when
// no thread could be started, the body then dropped unrun. Tests hand the
// pane their own starter.
using ThreadStarter = std::function<kalu_ui::Status(std::move_only_function<void()> body)>;
kalu_ui::Status start_detached_thread(std::move_only_function<void()> body);

}  // namespace settings::panes::bluetooth
