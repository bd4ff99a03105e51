#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "kalu_net/tcp.h"
#include "kalu_ui/result.h"

// Name resolution with a time limit. The system resolver cannot be
// interrupted, so it runs on a thread of its own that answers over a
// one-place channel; the caller waits for that answer only so long. A late
// answer is dropped and the thread ends on its own when the resolver
// returns. The thread is never joined.
namespace settings::account_probe {

// Starts `body` on a new detached thread; false when no thread could be
// started.
using StartThread = std::function<bool(std::move_only_function<void()> body)>;
bool start_detached_thread(std::move_only_function<void()> body);

// The addresses of (host, port), waited for at most `wait`. Failures:
// "server name resolution timed out" when no answer came in time, and
// "server name could not be resolved" when the resolver failed (its own
// text is not shown) or the thread could not be started (then at once).
kalu_ui::Result<std::vector<kalu_net::SocketAddress>> resolve_within(
    const std::string& host, std::uint16_t port, std::chrono::milliseconds wait,
    const StartThread& start_thread = start_detached_thread);

}  // namespace settings::account_probe
