#include "operations/mailbox_cells.h"

#include <utility>

namespace settings::operations {
namespace {

bool publish_final(OperationCompletionCell& cell, std::string key,
                   const kalu_ui::Result<std::string>& result) {
  OperationCompletion final_state =
      result ? OperationCompletion(OperationCompletion::Succeeded{std::move(key), *result})
             : OperationCompletion(OperationCompletion::Failed{std::move(key), result.error()});
  return cell.publish(std::move(final_state)).has_value();
}

}  // namespace

bool complete(OperationCompletionCell& cell, std::string_view key,
              const kalu_ui::Result<std::string>& result) {
  const OperationCompletion current = cell.get();
  const auto* pending = std::get_if<OperationCompletion::Pending>(&current);
  if (!pending || pending->key != key) return false;
  return publish_final(cell, std::string(key), result);
}

}  // namespace settings::operations
