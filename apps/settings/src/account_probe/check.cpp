#include "account_probe/check.h"

#include <exception>
#include <system_error>
#include <thread>
#include <utility>

#include "kalu_ui/wake.h"

namespace settings::account_probe {

kalu_ui::Status start_detached(std::move_only_function<void()> body) {
  try {
    std::thread(std::move(body)).detach();
    return {};
  } catch (const std::system_error& e) {
    return kalu_ui::fail(e.what());
  }
}

kalu_ui::Result<kalu_ui::channel::Receiver<CheckAnswer>> start_account_check(
    SharedAccountProbe probe, account_book::Account account, kalu_ui::secret::SecretText secret,
    const ThreadStarter& start_thread) {
  auto [sender, receiver] = kalu_ui::channel::oneshot<CheckAnswer>();
  auto body = [probe = std::move(probe), account = std::move(account), secret = std::move(secret),
               sender = std::move(sender)]() mutable {
    CheckAnswer answer = kalu_ui::fail(std::string("the connection check failed unexpectedly"));
    try {
      answer = probe->probe(account, secret.view());
    } catch (...) {
      // Nothing of the exception is passed on: its text is the probe's own
      // and is not known to be free of the credential.
    }
    // A receiver that gave up (a cancelled check) is gone; the answer is
    // then dropped here.
    sender.send(std::move(answer));
    // The UI polls checks at its frames; one runs now rather than at the
    // next unrelated event.
    kalu_ui::wake::wake_current();
  };
  if (auto started = start_thread(std::move(body)); !started) {
    return kalu_ui::fail(std::move(started.error()));
  }
  return std::move(receiver);
}

}  // namespace settings::account_probe
