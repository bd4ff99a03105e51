#pragma once

// The operations the device-local executor carries out itself, on the UI
// thread and at once, instead of handing them to a pane: input preferences,
// the keyboard input sources, and time and date. Each answers the sentence
// the client is given: a success message, or a failure message (a failed
// check, or the save or platform error it names). A failure changes nothing.
//
// Input and keyboard-source operations change only the "input" section of
// the settings document, merged into the file as it stands, so other
// sections, other programs' keys and their order survive. A stored "input"
// section that does not read, or a document that is not a JSON object, is
// never replaced: the operation fails and names why. Time and date go to the
// device's time service, or, for the clock format, to the "locale" entry.

#include <optional>
#include <string>
#include <string_view>

#include "kalu_ui/result.h"
#include "operations/records.h"

namespace settings::settings_app {

// What an applied operation answers: the success message, or the failure's.
using AppliedResult = kalu_ui::Result<std::string>;

// The value when it is finite and within 0.0 to 1.0 (negative zero too);
// else "input value must be between 0.0 and 1.0".
kalu_ui::Result<double> unit_interval_value(double value);

// What "compose_key" stores for a compose key label: "Disabled" clears it
// (none), "Right Alt" "ralt", "Menu" "menu", "Caps Lock" "caps", "Right
// Super" "rwin", "Left Super" "lwin"; any other text (letter case counts) is
// "unsupported compose key; key must be one of Disabled, Right Alt, ...".
kalu_ui::Result<std::optional<std::string>> compose_key_value(std::string_view key);

AppliedResult apply_operation(const operations::InputOperation& operation);
AppliedResult apply_operation(const operations::KeyboardSourceOperation& operation);
AppliedResult apply_operation(const operations::TimeDateOperation& operation);

}  // namespace settings::settings_app
