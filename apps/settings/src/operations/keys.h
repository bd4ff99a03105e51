#pragma once

// Operation keys: "<action id>:<record as compact JSON>". The record is
// parsed and written again, so spacing, number spelling and member order in
// the client's payload never change the key; the executor, the panes and the
// poller compare these strings exactly.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "kalu_ui/result.h"
#include "operations/records.h"
#include "operations/table.h"

namespace settings::operations {

// The key of a parsed record under `action_id`: the device-local records
// (table.h) and the account operation (its form submissions are completed
// under their key as well).
template <typename R>
std::string operation_key(std::string_view action_id, const R& operation) {
  std::string json = write_record(operation);
  std::string key;
  key.reserve(action_id.size() + 1 + json.size());
  key.append(action_id).push_back(':');
  key.append(json);
  return key;
}

// The key of a record under its own action id (kOperationActionId); a
// case of a record is made the record first.
template <typename R>
requires(!kOperationActionId<R>.empty()) std::string operation_key(const R& operation) {
  return operation_key(kOperationActionId<R>, operation);
}

// The key of a payload for one of kDeviceLocalActionIds: the payload is read
// as that action's record and written again. Refused with the reader's text
// when the payload does not read, and with "unknown device-local operation
// type" when the id is not a device-local one.
kalu_ui::Result<std::string> device_local_operation_key(std::string_view action_id,
                                                        std::span<const std::uint8_t> payload);
kalu_ui::Result<std::string> device_local_operation_key(std::string_view action_id,
                                                        std::string_view payload);

}  // namespace settings::operations
