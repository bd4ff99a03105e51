#include "operations/keys.h"

#include <tuple>

namespace settings::operations {
namespace {

// The record read for each id of kDeviceLocalActionIds, in the same order.
using DeviceLocalRecords =
    std::tuple<UpdateOperation, KeyboardSourceOperation, InputOperation, TimeDateOperation,
               PowerOperation, NetworkOperation, BluetoothOperation, StorageOperation,
               AudioOperation, DisplayOperation, PrinterOperation, UserOperation,
               AgentModelOperation, DeviceMeshOperation>;

template <std::size_t I = 0>
kalu_ui::Result<std::string> key_for_row(std::size_t row, std::string_view action_id,
                                         std::string_view payload) {
  if constexpr (I == std::tuple_size_v<DeviceLocalRecords>) {
    return kalu_ui::fail("unknown device-local operation type");
  } else {
    if (row != I) return key_for_row<I + 1>(row, action_id, payload);
    using R = std::tuple_element_t<I, DeviceLocalRecords>;
    auto record = read_record<R>(payload);
    if (!record) return kalu_ui::fail(std::move(record.error()));
    return operation_key(action_id, *record);
  }
}

}  // namespace

template <typename R>
std::string operation_key(std::string_view action_id, const R& operation) {
  std::string json = write_record(operation);
  std::string key;
  key.reserve(action_id.size() + 1 + json.size());
  key.append(action_id).push_back(':');
  key.append(json);
  return key;
}

#define SETTINGS_OPERATION_KEY(R) \
  template std::string operation_key<R>(std::string_view action_id, const R& operation);
SETTINGS_OPERATION_KEY(UpdateOperation)
SETTINGS_OPERATION_KEY(KeyboardSourceOperation)
SETTINGS_OPERATION_KEY(InputOperation)
SETTINGS_OPERATION_KEY(TimeDateOperation)
SETTINGS_OPERATION_KEY(PowerOperation)
SETTINGS_OPERATION_KEY(NetworkOperation)
SETTINGS_OPERATION_KEY(BluetoothOperation)
SETTINGS_OPERATION_KEY(StorageOperation)
SETTINGS_OPERATION_KEY(AudioOperation)
SETTINGS_OPERATION_KEY(DisplayOperation)
SETTINGS_OPERATION_KEY(PrinterOperation)
SETTINGS_OPERATION_KEY(UserOperation)
SETTINGS_OPERATION_KEY(AgentModelOperation)
SETTINGS_OPERATION_KEY(DeviceMeshOperation)
SETTINGS_OPERATION_KEY(AccountOperation)
#undef SETTINGS_OPERATION_KEY

kalu_ui::Result<std::string> device_local_operation_key(std::string_view action_id,
                                                        std::string_view payload) {
  std::size_t row = 0;
  while (row < kDeviceLocalActionIds.size() && kDeviceLocalActionIds[row] != action_id) ++row;
  return key_for_row(row, action_id, payload);
}

kalu_ui::Result<std::string> device_local_operation_key(std::string_view action_id,
                                                        std::span<const std::uint8_t> payload) {
  return device_local_operation_key(
      action_id, std::string_view(reinterpret_cast<const char*>(payload.data()), payload.size()));
}

}  // namespace settings::operations
