#include "operations/link.h"

namespace settings::operations {

LinkCells::LinkCells(std::string_view action_id)
    : action_id_(action_id),
      requests_(DeviceLocalRequestCell::create({})),
      completion_(OperationCompletionCell::create({})) {}

void LinkCells::take_requests_from(std::shared_ptr<DeviceLocalRequestCell> cell) {
  requests_ = std::move(cell);
  hosted_ = true;
}

void LinkCells::report_to(std::shared_ptr<OperationCompletionCell> cell) {
  completion_ = std::move(cell);
  reporting_ = true;
}

std::optional<std::string> LinkCells::pending_key() const {
  const OperationCompletion current = completion_->get();
  const auto* pending = std::get_if<OperationCompletion::Pending>(&current);
  if (pending == nullptr || !pending->key.starts_with(action_id_) ||
      std::string_view(pending->key).substr(action_id_.size(), 1) != ":") {
    return std::nullopt;
  }
  return pending->key;
}

bool LinkCells::complete(const std::optional<std::string>& key, const Outcome& outcome) {
  return key && operations::complete(*completion_, *key, outcome);
}

bool LinkCells::complete(const Outcome& outcome) {
  const std::optional<std::string> key = pending_key();
  return key && operations::complete(*completion_, *key, outcome);
}

}  // namespace settings::operations
