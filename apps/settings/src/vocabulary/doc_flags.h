#pragma once

// The state-document keys that buttons and editable controls of the panes
// write, and the one-shot trigger a button leaves there. A button bound to a
// control writes true under its key; the pane's next `sync` takes the flag
// (writing false back) and runs its handler once. An operation for the same
// pane sets the same flag, so both roads run one handler.

#include <string>
#include <string_view>

#include "kalu_ui/document.h"

namespace settings::panes {

// When `key` holds the boolean true: writes false there and answers true.
// Otherwise answers false and writes nothing.
bool take_doc_flag(kalu_ui::doc::Document& document, std::string_view key);

}  // namespace settings::panes
