#include "account_probe/resolve.h"

#include <system_error>
#include <thread>
#include <utility>

#include "kalu_ui/channel.h"
#include "kalu_ui/instant.h"

namespace settings::account_probe {

namespace {
constexpr std::string_view kNotResolved = "server name could not be resolved";
}  // namespace

bool start_detached_thread(std::move_only_function<void()> body) {
  try {
    std::thread(std::move(body)).detach();
    return true;
  } catch (const std::system_error&) {
    return false;
  }
}

kalu_ui::Result<std::vector<kalu_net::SocketAddress>> resolve_within(
    const std::string& host, std::uint16_t port, std::chrono::milliseconds wait,
    const StartThread& start_thread) {
  using Answer = kalu_ui::Result<std::vector<kalu_net::SocketAddress>>;
  auto [sender, receiver] = kalu_ui::channel::oneshot<Answer>();
  bool started = start_thread([host, port, sender = std::move(sender)]() mutable {
    auto addresses = kalu_net::resolve(host, port);
    // A receiver that stopped waiting is gone; the send then does nothing.
    sender.send(addresses ? Answer(std::move(*addresses))
                          : kalu_ui::fail(std::string(kNotResolved)));
  });
  // Without a thread nothing will ever answer; the body (and its sender) is
  // gone with the failed start, but do not rely on that to stop waiting.
  if (!started) return kalu_ui::fail(std::string(kNotResolved));
  auto got = receiver.recv_until(kalu_ui::Instant::now() + wait);
  if (got.is_ready()) return std::move(got).value();
  if (got.is_disconnected()) return kalu_ui::fail(std::string(kNotResolved));
  return kalu_ui::fail("server name resolution timed out");
}

}  // namespace settings::account_probe
