#pragma once

// The Storage page: five cards built from the pane's model whenever the
// toolkit asks for a layout: "Storage use", "Synced storage", "Largest
// items", the cache clean-up and "Storage tools". Every byte size is
// kalu_ui::format::bytes_si. The buttons are bound to the Storage section's
// actions; the application hands their operations to the pane, which writes
// the button's one-shot flag (model.h, control) and acts on it.

#include "widget_contract/widget.h"

namespace settings::panes::storage {

class StoragePane;

kalu_ui::WidgetBox build_page(const StoragePane& pane);

}  // namespace settings::panes::storage
