#pragma once

// The device-local operations: one row per "settings.<x>-operation" that is
// carried out on this device, one operation at a time, through the
// device-local executor; and the list of their records. Everything else that
// names them is read off these two: the request mailbox's cases
// (mailbox.h), the key lists (keys.h), the executor's rows, the operation
// kinds the application answers, and kOperationActionId.
//
// Adding a device-local operation: its record in records.h (its form in
// records.cpp), its row below, and the record in DeviceLocalRecords. A
// record carried out by a pane is then a case of DeviceLocalRequest, which
// the pane takes by its type.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <utility>
#include <variant>

#include "operations/records.h"
#include "vocabulary/registry.h"

namespace settings::operations {

// Who carries a device-local operation out.
enum class CarriedOut : std::uint8_t {
  // The executor itself, at once, on the UI thread (settings_app/executor_apply.h).
  kHere,
  // The pane, which takes the record from the request cell in its sync and
  // completes it under its key (mailbox.h).
  kByPane,
};

struct OperationRow {
  std::string_view action_id;
  // Shown while the operation is accepted, whoever carries it out.
  panes::Pane pane;
  CarriedOut carried_out;
};

// The row of each device-local record; the primary answers no row.
template <typename R>
inline constexpr OperationRow kOperationRow = {};

template <>
inline constexpr OperationRow kOperationRow<UpdateOperation> = {
    "settings.update-operation", panes::Pane::kUpdates, CarriedOut::kByPane};
template <>
inline constexpr OperationRow kOperationRow<KeyboardSourceOperation> = {
    "settings.keyboard-source-operation", panes::Pane::kMouseKeyboard, CarriedOut::kHere};
template <>
inline constexpr OperationRow kOperationRow<InputOperation> = {
    "settings.input-operation", panes::Pane::kMouseKeyboard, CarriedOut::kHere};
template <>
inline constexpr OperationRow kOperationRow<TimeDateOperation> = {
    "settings.time-date-operation", panes::Pane::kTimeDate, CarriedOut::kHere};
template <>
inline constexpr OperationRow kOperationRow<PowerOperation> = {
    "settings.power-operation", panes::Pane::kPower, CarriedOut::kByPane};
template <>
inline constexpr OperationRow kOperationRow<NetworkOperation> = {
    "settings.network-operation", panes::Pane::kNetwork, CarriedOut::kByPane};
template <>
inline constexpr OperationRow kOperationRow<BluetoothOperation> = {
    "settings.bluetooth-operation", panes::Pane::kBluetooth, CarriedOut::kByPane};
template <>
inline constexpr OperationRow kOperationRow<StorageOperation> = {
    "settings.storage-operation", panes::Pane::kStorage, CarriedOut::kByPane};
template <>
inline constexpr OperationRow kOperationRow<AudioOperation> = {
    "settings.audio-operation", panes::Pane::kSound, CarriedOut::kByPane};
template <>
inline constexpr OperationRow kOperationRow<DisplayOperation> = {
    "settings.display-operation", panes::Pane::kDisplays, CarriedOut::kByPane};
template <>
inline constexpr OperationRow kOperationRow<PrinterOperation> = {
    "settings.printer-operation", panes::Pane::kPrinters, CarriedOut::kByPane};
template <>
inline constexpr OperationRow kOperationRow<UserOperation> = {
    "settings.user-operation", panes::Pane::kUsers, CarriedOut::kByPane};
template <>
inline constexpr OperationRow kOperationRow<AgentModelOperation> = {
    "settings.agent-model-operation", panes::Pane::kAgentModels, CarriedOut::kByPane};
template <>
inline constexpr OperationRow kOperationRow<DeviceMeshOperation> = {
    "settings.device-mesh-operation", panes::Pane::kDevicesSync, CarriedOut::kByPane};

template <typename... R>
struct RecordList {
  static constexpr std::size_t kSize = sizeof...(R);
};

// The device-local records, in the order the application lists their
// action ids.
using DeviceLocalRecords =
    RecordList<UpdateOperation, KeyboardSourceOperation, InputOperation, TimeDateOperation,
               PowerOperation, NetworkOperation, BluetoothOperation, StorageOperation,
               AudioOperation, DisplayOperation, PrinterOperation, UserOperation,
               AgentModelOperation, DeviceMeshOperation>;

namespace detail {

template <typename R, typename... In>
constexpr bool in_list(RecordList<In...>) {
  return (std::is_same_v<R, In> || ...);
}

template <typename... R>
constexpr std::array<std::string_view, sizeof...(R)> action_ids(RecordList<R...>) {
  return {kOperationRow<R>.action_id...};
}

// The records a pane carries out, appended to the cases of a variant in
// list order.
template <typename Done, typename... Rest>
struct HandedOver {
  using type = Done;
};
template <typename... Done, typename R, typename... Rest>
struct HandedOver<std::variant<Done...>, R, Rest...>
    : HandedOver<std::conditional_t<kOperationRow<R>.carried_out == CarriedOut::kByPane,
                                    std::variant<Done..., R>, std::variant<Done...>>,
                 Rest...> {};
template <typename... R>
HandedOver<std::variant<std::monostate>, R...> handed_over(RecordList<R...>);

// Calls `visit` with the record of the row whose action id is `action_id`.
template <typename... R, typename Visit>
auto visit_row(RecordList<R...>, std::string_view action_id, Visit&& visit) {
  using First = std::tuple_element_t<0, std::tuple<R...>>;
  std::optional<decltype(visit.template operator()<First>())> result;
  (void)((kOperationRow<R>.action_id == action_id &&
          (result.emplace(visit.template operator()<R>()), true)) ||
         ...);
  return result;
}

}  // namespace detail

template <typename R>
concept DeviceLocalRecord = detail::in_list<R>(DeviceLocalRecords{});

// The action ids of the device-local operations, in list order.
inline constexpr std::array<std::string_view, DeviceLocalRecords::kSize> kDeviceLocalActionIds =
    detail::action_ids(DeviceLocalRecords{});

// The cases of the request mailbox after its empty one: the records a pane
// carries out, in list order.
using HandedOverVariant = typename decltype(detail::handed_over(DeviceLocalRecords{}))::type;

// Whether `action_id` is a device-local one.
constexpr bool is_device_local(std::string_view action_id) {
  for (const std::string_view id : kDeviceLocalActionIds) {
    if (id == action_id) return true;
  }
  return false;
}

// Calls visit.template operator()<R>() for the device-local record R whose
// action id is `action_id` and answers what it answers; none when the id is
// not a device-local one.
template <typename Visit>
auto with_device_local_record(std::string_view action_id, Visit&& visit) {
  return detail::visit_row(DeviceLocalRecords{}, action_id, std::forward<Visit>(visit));
}

// The action id of a record's operation: a device-local record's row, and
// the three operations carried out elsewhere; the primary answers none.
template <typename R>
inline constexpr std::string_view kOperationActionId = kOperationRow<R>.action_id;
template <>
inline constexpr std::string_view kOperationActionId<AccountOperation> =
    "settings.account-operation";
template <>
inline constexpr std::string_view kOperationActionId<AgentProviderOperation> =
    "settings.agent-provider-operation";
template <>
inline constexpr std::string_view kOperationActionId<SettingsAction> = "settings.action";

namespace detail {
template <typename... R>
constexpr bool rows_are_whole(RecordList<R...>) {
  constexpr std::array ids = {kOperationRow<R>.action_id...};
  for (std::size_t a = 0; a < ids.size(); ++a) {
    if (!ids[a].starts_with("settings.") || !ids[a].ends_with("-operation")) return false;
    for (std::size_t b = a + 1; b < ids.size(); ++b) {
      if (ids[a] == ids[b]) return false;
    }
  }
  return true;
}
}  // namespace detail
// Every listed record has a row of its own.
static_assert(detail::rows_are_whole(DeviceLocalRecords{}));

}  // namespace settings::operations
