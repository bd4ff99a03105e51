#include "panes/accounts/workers.h"

#include <string>
#include <utility>

namespace settings::panes::accounts {

kalu_ui::Result<RunningCheck> start_check(const account_probe::SharedAccountProbe& probe,
                                          account_book::Account account,
                                          kalu_ui::secret::SecretText credential,
                                          const account_probe::ThreadStarter& start_thread,
                                          kalu_ui::Instant now) {
  auto answer = account_probe::start_account_check(probe, std::move(account), std::move(credential),
                                                   start_thread);
  if (!answer) return kalu_ui::fail(std::move(answer.error()));
  return RunningCheck{std::move(*answer), now + kCheckTimeLimit};
}

std::optional<CheckAnswer> poll_check(RunningCheck& check, kalu_ui::Instant now,
                                      std::string_view lost) {
  auto got = check.answer.try_recv();
  if (got.is_ready()) return std::move(got).value();
  if (got.is_disconnected()) return kalu_ui::fail(std::string(lost));
  if (now >= check.deadline) return kalu_ui::fail(std::string("connection check timed out"));
  return std::nullopt;
}

}  // namespace settings::panes::accounts
