#pragma once

// The statuses the application's poll answers (entry_points.cpp), shared by
// the device-local operation and the account connection check.

#include <string>

#include "widget_contract/records.h"

namespace settings::settings_app {

// Succeeded: the message is the outcome's text, and as a JSON string its
// value (bytes that are not UTF-8 replaced in both).
kalu_ui::ResourceOperationStatus succeeded_status(const kalu_ui::ResourceOperationId& id,
                                                  const std::string& message);
// Failed with `code` and `message`, no detail.
kalu_ui::ResourceOperationStatus failed_status(const kalu_ui::ResourceOperationId& id,
                                               std::string code, std::string message, bool flag);

}  // namespace settings::settings_app
