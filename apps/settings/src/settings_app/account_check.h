#pragma once

// The account connection check the application runs for an automation
// client ("settings.account-operation" Test), on the worker of
// account_probe/check.h, polled by its operation id.

#include <string>

#include "account_probe/check.h"
#include "kalu_ui/channel.h"
#include "widget_contract/records.h"

namespace settings::settings_app {

using account_probe::CheckAnswer;
using account_probe::start_account_check;
using account_probe::start_detached;
using account_probe::ThreadStarter;

// The check in flight: the operation id it was started under, the account
// it checks and the receiving end of its answer.
struct AccountCheck {
  kalu_ui::ResourceOperationId id;
  std::string account;
  kalu_ui::channel::Receiver<CheckAnswer> answer;
};

}  // namespace settings::settings_app
