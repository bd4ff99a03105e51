#pragma once

// The statuses the application's poll answers (entry_points.cpp), shared by
// the device-local operation and the account connection check.

#include <string>

#include "widget_contract/records.h"

namespace settings::settings_app {

// Succeeded: the message, as a JSON string, is the outcome's value.
kalu_ui::ResourceOperationStatus succeeded_status(const kalu_ui::ResourceOperationId& id,
                                                  const std::string& message);
// Failed with `code` and `message`, no detail.
kalu_ui::ResourceOperationStatus failed_status(const kalu_ui::ResourceOperationId& id,
                                               std::string code, std::string message, bool flag);

}  // namespace settings::settings_app
