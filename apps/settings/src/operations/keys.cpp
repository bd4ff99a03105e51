#include "operations/keys.h"

#include <utility>

namespace settings::operations {

kalu_ui::Result<std::string> device_local_operation_key(std::string_view action_id,
                                                        std::string_view payload) {
  auto key = with_device_local_record(action_id, [&]<typename R>() -> kalu_ui::Result<std::string> {
    auto record = read_record<R>(payload);
    if (!record) return kalu_ui::fail(std::move(record.error()));
    return operation_key(action_id, *record);
  });
  if (!key) return kalu_ui::fail("unknown device-local operation type");
  return std::move(*key);
}

kalu_ui::Result<std::string> device_local_operation_key(std::string_view action_id,
                                                        std::span<const std::uint8_t> payload) {
  return device_local_operation_key(
      action_id, std::string_view(reinterpret_cast<const char*>(payload.data()), payload.size()));
}

}  // namespace settings::operations
