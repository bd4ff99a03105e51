// The device-local table and what is read off it: the mailbox's cases, the
// action ids in order, and the record an action id names.

#include "operations/table.h"

#include <gtest/gtest.h>

#include <string>
#include <variant>

#include "operations/mailbox.h"

namespace settings::operations {
namespace {

template <typename R>
constexpr bool kInMailbox = std::is_constructible_v<DeviceLocalRequest, std::in_place_type_t<R>, R>;

TEST(OperationTable, TheMailboxHoldsWhatAPaneCarriesOutAndNothingAppliedHere) {
  static_assert(kInMailbox<UpdateOperation> && kInMailbox<DeviceMeshOperation> &&
                kInMailbox<AgentModelOperation>);
  static_assert(!kInMailbox<InputOperation> && !kInMailbox<KeyboardSourceOperation> &&
                !kInMailbox<TimeDateOperation> && !kInMailbox<AccountOperation>);
  // The empty case and one per record a pane carries out.
  EXPECT_EQ(std::variant_size_v<HandedOverVariant>, 1u + 11u);
  EXPECT_TRUE(std::holds_alternative<std::monostate>(DeviceLocalRequest{}));
}

TEST(OperationTable, ActionIdsAndPanesComeFromTheRows) {
  ASSERT_EQ(kDeviceLocalActionIds.size(), 14u);
  EXPECT_EQ(kDeviceLocalActionIds.front(), "settings.update-operation");
  EXPECT_EQ(kDeviceLocalActionIds.back(), "settings.device-mesh-operation");
  EXPECT_EQ(kOperationActionId<PowerOperation>, "settings.power-operation");
  EXPECT_EQ(kOperationActionId<AccountOperation>, "settings.account-operation");
  EXPECT_EQ(kOperationActionId<AgentProviderOperation>, "settings.agent-provider-operation");
  EXPECT_EQ(kOperationActionId<OutputMode>, "");
  EXPECT_EQ(kOperationRow<InputOperation>.pane, panes::Pane::kMouseKeyboard);
  EXPECT_EQ(kOperationRow<InputOperation>.carried_out, CarriedOut::kHere);
  EXPECT_EQ(kOperationRow<DeviceMeshOperation>.pane, panes::Pane::kDevicesSync);
  EXPECT_TRUE(is_device_local("settings.storage-operation"));
  for (const std::string_view id :
       {"settings.account-operation", "settings.open-pane", "", "settings.storage-operation "}) {
    EXPECT_FALSE(is_device_local(id)) << id;
  }
}

TEST(OperationTable, AnActionIdNamesItsRecord) {
  const auto name = [](std::string_view id) {
    return with_device_local_record(
        id, []<typename R>() { return std::string(kOperationRow<R>.action_id); });
  };
  for (const std::string_view id : kDeviceLocalActionIds) EXPECT_EQ(name(id), id);
  EXPECT_EQ(name("settings.account-operation"), std::nullopt);
  EXPECT_TRUE(with_device_local_record("settings.time-date-operation", []<typename R>() {
                return std::is_same_v<R, TimeDateOperation>;
              }).value_or(false));
}

}  // namespace
}  // namespace settings::operations
