#pragma once

// The pane's server checks: the form's check before a save and the check of
// a replacement password, each on a thread of its own (account_probe/check.h)
// answering once over a one-place channel. `sync` polls a check without
// waiting: its answer, the loss of its thread, or the end of its 10 seconds.
// A check given up (timed out, cancelled, its form closed) drops its
// receiver; the thread runs on to its end and its answer goes nowhere.

#include <chrono>
#include <optional>
#include <string_view>

#include "account_book/account_store.h"
#include "account_book/secret_vault.h"
#include "account_probe/check.h"
#include "kalu_ui/channel.h"
#include "kalu_ui/instant.h"

namespace settings::panes::accounts {

using account_probe::CheckAnswer;

inline constexpr std::chrono::seconds kCheckTimeLimit{10};

struct RunningCheck {
  kalu_ui::channel::Receiver<CheckAnswer> answer;
  kalu_ui::Instant deadline;
};

// Starts checking `account` with `credential`; the deadline is `now` + 10 s.
// The starter's reason when no thread could be started.
kalu_ui::Result<RunningCheck> start_check(const account_probe::SharedAccountProbe& probe,
                                          account_book::Account account,
                                          kalu_ui::secret::SecretText credential,
                                          const account_probe::ThreadStarter& start_thread,
                                          kalu_ui::Instant now);

// None while the check runs; else its answer, `lost` when its thread ended
// without one, or "connection check timed out" at `now` on or after the
// deadline. Once answered, the check is over and must be dropped.
std::optional<CheckAnswer> poll_check(RunningCheck& check, kalu_ui::Instant now,
                                      std::string_view lost);

}  // namespace settings::panes::accounts
