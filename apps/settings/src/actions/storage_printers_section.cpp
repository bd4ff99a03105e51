#include "actions/storage_printers_section.h"

#include <algorithm>
#include <array>
#include <string>
#include <utility>

#include "actions/pane_actions.h"
#include "actions/resource_tree.h"
#include "actions/specs.h"
#include "operations/records.h"

namespace settings::actions {

using kalu_actions::Resource;
using operations::PrinterOperation;
using operations::StorageOperation;
using system_ops::printing::PrintJob;
using system_ops::printing::PrintQueue;

namespace {

constexpr std::array<std::string_view, 2> kStorageTags = {"device-local", "storage"};
constexpr std::array<std::string_view, 2> kPrinterTags = {"device-local", "printers"};
constexpr std::array<std::string_view, 3> kQueueTags = {"device-local", "printers", "live-queue"};
constexpr std::array<std::string_view, 3> kJobTags = {"device-local", "printers", "live-job"};

struct StorageRow {
  std::string_view name;
  std::string_view label;
  StorageOperation record;
  bool destructive;
};

const std::array<StorageRow, 4> kStorageRows = {{
    {"cleanup-caches", "Clean application caches", StorageOperation::CleanupCaches{}, true},
    {"free-synced-files", "Free downloaded synced files", StorageOperation::FreeSyncedFiles{},
     true},
    {"open-disks", "Open Disks", StorageOperation::OpenDisks{}, false},
    {"open-backups", "Open Backups", StorageOperation::OpenBackups{}, false},
}};

void add(Resource& resource, std::optional<kalu_actions::ActionSpec> spec,
         bool destructive = false) {
  if (!spec) return;
  resource.actions.push_back(destructive ? std::move(*spec).destructive() : std::move(*spec));
}

Resource printers_section() {
  Resource section =
      Resource::create("settings.section:printers", std::string(kSectionResourceKind), "Printers");
  add(section, printer_operation_spec("refresh", "Refresh printers", PrinterOperation::Refresh{},
                                      kPrinterTags));
  add(section, printer_operation_spec("discover", "Find network printers",
                                      PrinterOperation::Discover{}, kPrinterTags));
  return section;
}

Resource bare_queue(std::string_view name) {
  return Resource::create("settings.printer:" + std::string(name), "settings.printer",
                          std::string(name));
}

Resource bare_job(std::uint32_t id) {
  const std::string text = std::to_string(id);
  return Resource::create("settings.print-job:" + text, "settings.print-job", text);
}

// One action of a queue's item by name; none for another name.
std::optional<kalu_actions::ActionSpec> queue_action(std::string_view queue,
                                                     std::string_view action_name) {
  const std::string name(queue);
  if (action_name == "set-default") {
    return printer_operation_spec("set-default", "Set as default printer",
                                  PrinterOperation::SetDefault{name}, kQueueTags);
  }
  if (action_name == "pause") {
    return printer_operation_spec("pause", "Pause printer",
                                  PrinterOperation::SetEnabled{name, false}, kQueueTags);
  }
  if (action_name == "enable") {
    return printer_operation_spec("enable", "Enable printer",
                                  PrinterOperation::SetEnabled{name, true}, kQueueTags);
  }
  if (action_name == "remove") {
    auto spec = printer_operation_spec("remove", "Remove printer", PrinterOperation::Remove{name},
                                       kQueueTags);
    if (spec) return std::move(*spec).destructive();
  }
  return std::nullopt;
}

std::optional<kalu_actions::ActionSpec> job_action(std::uint32_t id, std::string_view action_name) {
  const std::string text = std::to_string(id);
  if (action_name == "cancel") {
    return printer_operation_spec("cancel", "Cancel print job", PrinterOperation::CancelJob{text},
                                  kJobTags);
  }
  if (action_name == "retry") {
    return printer_operation_spec("retry", "Retry print job", PrinterOperation::RetryJob{text},
                                  kJobTags);
  }
  return std::nullopt;
}

Resource queue_item(const PrintQueue& queue) {
  Resource item = bare_queue(queue.name);
  // A paused queue (the service's "stopped") is offered to be enabled again.
  const bool stopped = queue.state == system_ops::printing::QueueState::Paused;
  for (const std::string_view name : {"set-default", stopped ? "enable" : "pause", "remove"}) {
    add(item, queue_action(queue.name, name));
  }
  return item;
}

Resource job_item(const PrintJob& job) {
  Resource item = bare_job(job.id);
  add(item, job_action(job.id, "cancel"));
  // Offered only where the printing service can start the job again.
  if (system_ops::printing::can_retry(job.state)) add(item, job_action(job.id, "retry"));
  return item;
}

std::optional<kalu_actions::ActionBinding> bind_one(Resource item,
                                                    std::optional<kalu_actions::ActionSpec> spec) {
  if (!spec) return std::nullopt;
  const std::string name = spec->name;
  item.actions.push_back(std::move(*spec));
  return bind_unit(item, name);
}

}  // namespace

Resource storage_resource() {
  Resource section =
      Resource::create("settings.section:storage", std::string(kSectionResourceKind), "Storage");
  for (const StorageRow& row : kStorageRows) {
    add(section,
        operation_spec(std::string(row.name), std::string(row.label), row.record, kStorageTags),
        row.destructive);
  }
  return section;
}

Resource printers_resource(std::span<const PrintQueue> queues, std::span<const PrintJob> jobs) {
  Resource section = printers_section();
  const auto listed_queues = queues.first(std::min(queues.size(), kMaxItems));
  const auto listed_jobs = jobs.first(std::min(jobs.size(), kMaxItems));
  section.children.reserve(listed_queues.size() + listed_jobs.size());
  for (const PrintQueue& queue : listed_queues) section.children.push_back(queue_item(queue));
  for (const PrintJob& job : listed_jobs) section.children.push_back(job_item(job));
  return section;
}

Resource printers_resource() {
  auto queues = system_ops::printing::queues();
  auto jobs = system_ops::printing::jobs();
  return printers_resource(
      queues ? std::span<const PrintQueue>(*queues) : std::span<const PrintQueue>(),
      jobs ? std::span<const PrintJob>(*jobs) : std::span<const PrintJob>());
}

std::optional<kalu_actions::ActionBinding> storage_command_binding(std::string_view action_name) {
  return bind_unit(storage_resource(), action_name);
}

std::optional<kalu_actions::ActionBinding> printer_command_binding(std::string_view action_name) {
  return bind_unit(printers_section(), action_name);
}

std::optional<kalu_actions::ActionBinding> printer_queue_command_binding(
    std::string_view queue, std::string_view action_name) {
  return bind_one(bare_queue(queue), queue_action(queue, action_name));
}

std::optional<kalu_actions::ActionBinding> print_job_command_binding(std::uint32_t job_id,
                                                                     std::string_view action_name) {
  return bind_one(bare_job(job_id), job_action(job_id, action_name));
}

}  // namespace settings::actions
