// The pane over the real backend on a simulated device of its own: what it
// reads at construction, a pairing on a real thread, and a fault's text.

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "operations/keys.h"
#include "panes/bluetooth/bluetooth_pane.h"
#include "sim_device/state.h"
#include "system_ops/bluez.h"

namespace settings::panes::bluetooth {
namespace {

namespace doc = kalu_ui::doc;
using operations::OperationCompletion;

constexpr std::string_view kSpeakerPath = "/org/bluez/hci0/dev_58_2F_40_9B_E7_16";
constexpr std::string_view kMousePath = "/org/bluez/hci0/dev_F4_12_6D_88_0A_C3";

struct Hosted {
  Hosted()
      : pane(BluetoothPane().with_operation_requests(requests).with_operation_completion(
            completion)) {}
  void request(const BluetoothOperation& operation) {
    completion->publish(OperationCompletion::Pending{operations::operation_key(operation)});
    requests->publish(
        operations::DeviceLocalRequest(std::in_place_type<BluetoothOperation>, operation));
    pane.sync(toolkit);
  }
  std::shared_ptr<operations::DeviceLocalRequestCell> requests =
      operations::DeviceLocalRequestCell::create({});
  std::shared_ptr<operations::OperationCompletionCell> completion =
      operations::OperationCompletionCell::create({});
  BluetoothPane pane;
  doc::Document toolkit;
};

TEST(BluetoothSystemBackendTest, PairsASeededDevice) {
  sim_device::ScopedDeviceState device;
  Hosted t;
  ASSERT_EQ(t.pane.devices().size(), 3u);
  EXPECT_TRUE(t.pane.powered());
  EXPECT_EQ(t.pane.keys()[2], "dev_58_2F_40_9B_E7_16");

  t.request(BluetoothOperation::Pair{std::string(kSpeakerPath)});
  const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (t.pane.pairing_device() && std::chrono::steady_clock::now() < give_up) {
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    t.pane.sync(t.toolkit);
  }
  const OperationCompletion outcome = t.completion->get();
  const auto* done = std::get_if<OperationCompletion::Succeeded>(&outcome);
  ASSERT_NE(done, nullptr);
  EXPECT_EQ(done->message, "Kitchen Speaker is paired and connected.");
  const auto listed = system_ops::bluez::devices();
  ASSERT_TRUE(listed.has_value());
  EXPECT_TRUE((*listed)[2].paired && (*listed)[2].connected);
}

TEST(BluetoothSystemBackendTest, AFaultBecomesTheFailure) {
  sim_device::ScopedDeviceState device;
  ASSERT_TRUE(sim_device::update("", [](sim_device::Json& state) -> kalu_ui::Status {
                state["faults"]["bluez.connect"] = "Page timeout";
                return {};
              }).has_value());
  Hosted t;
  t.request(BluetoothOperation::Connect{std::string(kMousePath)});
  EXPECT_EQ(t.completion->get(),
            OperationCompletion(OperationCompletion::Failed{
                operations::operation_key(
                    BluetoothOperation(BluetoothOperation::Connect{std::string(kMousePath)})),
                "Could not connect Travel Mouse: Page timeout. Check that it is awake and in "
                "range, then retry."}));
}

// Without a device (under test, none set up) the pane starts empty and off.
TEST(BluetoothSystemBackendTest, NoDeviceGivesAnEmptyPane) {
  BluetoothPane pane;
  EXPECT_TRUE(pane.devices().empty());
  EXPECT_FALSE(pane.powered());
  EXPECT_FALSE(pane.scanning());
}

}  // namespace
}  // namespace settings::panes::bluetooth
