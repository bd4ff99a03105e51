#pragma once

// The Storage and Printers sections of the automation surface. Every action
// is a parameterless effect carrying a fixed record, checked by the executor
// and carried out by the pane.
//
// "settings.section:storage": "cleanup-caches", "free-synced-files" (both
// destructive), "open-disks", "open-backups" ("settings.storage-operation").
//
// "settings.section:printers": "refresh" and "discover"; one item
// "settings.printer:<queue>" per print queue of the printing service (at most
// kMaxItems) with "set-default", "pause" (or "enable" for a paused queue)
// and "remove" (destructive); then one item "settings.print-job:<id>" per
// job with "cancel" and "retry" ("settings.printer-operation"). A list that
// cannot be read gives no items.
//
// The Storage page binds its buttons with storage_command_binding; the
// Printers page its header buttons with printer_command_binding, each queue
// row's with printer_queue_command_binding and each job row's with
// print_job_command_binding.

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "kalu_actions/binding.h"
#include "kalu_actions/resource.h"
#include "system_ops/printing.h"

namespace settings::actions {

kalu_actions::Resource storage_resource();

// The section from the printing service's queues and jobs.
kalu_actions::Resource printers_resource();
kalu_actions::Resource printers_resource(std::span<const system_ops::printing::PrintQueue> queues,
                                         std::span<const system_ops::printing::PrintJob> jobs);

// A button of the Storage page; none for a name the section does not carry.
std::optional<kalu_actions::ActionBinding> storage_command_binding(std::string_view action_name);
// "refresh" or "discover" (the device is not read).
std::optional<kalu_actions::ActionBinding> printer_command_binding(std::string_view action_name);
// "set-default", "pause", "enable" or "remove" on the queue's item.
std::optional<kalu_actions::ActionBinding> printer_queue_command_binding(
    std::string_view queue, std::string_view action_name);
// "cancel" or "retry" on the job's item.
std::optional<kalu_actions::ActionBinding> print_job_command_binding(std::uint32_t job_id,
                                                                     std::string_view action_name);

}  // namespace settings::actions
