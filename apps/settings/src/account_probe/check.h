#pragma once

// A connection check of one account on a worker thread of its own: the
// thread owns copies of the account record and its credential (wiped when
// dropped) and a handle to the probe, sends the probe's answer once over a
// one-place channel, wakes the UI loop, and ends. The caller keeps the
// receiving end and only ever tries to receive; it never waits for the
// worker, and dropping the receiver drops the answer.
//
// Whatever the probe does, the worker sends an answer: an exception that
// escapes the probe is caught and sent as a failure, so a check can never
// end silently through the probe. A channel that closes empty all the same
// (a thread body dropped unrun) is for the caller to report.
//
// The application's Test operation and the External Accounts pane's form
// and re-authentication checks all run this way.

#include <functional>
#include <string>

#include "account_book/account_store.h"
#include "account_book/secret_vault.h"
#include "account_probe/account_probe.h"
#include "kalu_ui/channel.h"
#include "kalu_ui/result.h"

namespace settings::account_probe {

// The probe's answer: a success text or a failure text.
using CheckAnswer = kalu_ui::Result<std::string>;

// Starts `body` on a new detached thread; the system's reason when it cannot.
using ThreadStarter = std::function<kalu_ui::Status(std::move_only_function<void()> body)>;
kalu_ui::Status start_detached(std::move_only_function<void()> body);

// Starts the worker for `account` with `secret`; the receiver of its
// answer, or the starter's reason when no thread could be started.
kalu_ui::Result<kalu_ui::channel::Receiver<CheckAnswer>> start_account_check(
    SharedAccountProbe probe, account_book::Account account, kalu_ui::secret::SecretText secret,
    const ThreadStarter& start_thread);

}  // namespace settings::account_probe
