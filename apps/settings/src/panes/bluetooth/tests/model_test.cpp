#include "panes/bluetooth/model.h"

#include <gtest/gtest.h>

#include <set>

#include "fake_backend.h"

namespace settings::panes::bluetooth {
namespace {

using testing::device;

TEST(BluetoothModelTest, DeviceKeyIsTheLastSegmentWithDotsReplaced) {
  const struct {
    const char* path;
    const char* key;
  } cases[] = {
      {"/a/b.c", "b_c"},
      {"/org/bluez/hci0/dev_3C_A1_0B", "dev_3C_A1_0B"},
      {"no-slash.here", "no-slash_here"},
      {"a.b/c.d.e", "c_d_e"},
      {"/ends/with/", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    EXPECT_EQ(device_key(c.path), c.key);
  }
  EXPECT_EQ(device_control_id("/a/b.c", "pair"), "bluetooth.device.b_c.pair");
  EXPECT_EQ(device_control_ids("b_c")[static_cast<std::size_t>(DeviceKey::kAlias)],
            "bluetooth.device.b_c.alias");
}

// Keys stay the plain ones unless two listed devices would share one.
TEST(BluetoothModelTest, ListedDevicesNeverShareAKey) {
  const std::vector<BluetoothDevice> list = {
      device("/org/bluez/hci0/dev_AA", "A", true, false),
      device("/org/bluez/hci1/dev_AA", "A again", true, false),  // another adapter
      device("/org/bluez/hci0/dev_BB", "B", true, false),
      device("/x/b.c", "dotted", false, false),
      device("/y/b_c", "underscored", false, false),
      device("/z/-sx", "leading dash", false, false),
      device("/org/bluez/hci0/dev_BB", "B listed twice", true, false),
  };
  const auto keys = device_keys(list);
  ASSERT_EQ(keys.size(), list.size());
  EXPECT_EQ(keys[0], "--sorg-sbluez-shci0-sdev_AA");
  EXPECT_EQ(keys[1], "--sorg-sbluez-shci1-sdev_AA");
  EXPECT_EQ(keys[2], "dev_BB");  // unique: the plain key stands
  EXPECT_EQ(keys[3], "--sx-sb-dc");
  EXPECT_EQ(keys[4], "--sy-sb_c");
  EXPECT_EQ(keys[5], "--sz-s--sx");
  EXPECT_EQ(keys[6], keys[2]);  // the same path is the same device
  std::set<std::string> distinct;
  for (std::size_t i = 0; i < 6; ++i) {
    EXPECT_EQ(keys[i].find('.'), std::string::npos) << keys[i];
    distinct.insert(keys[i]);
  }
  EXPECT_EQ(distinct.size(), 6u);
  // Escaping keeps paths apart that differ only in the escaped bytes.
  const auto tricky =
      device_keys(std::vector{device("/a-s/k", "", false, false), device("/a//k", "", false, false),
                              device("/a\x01/k", "", false, false)});
  EXPECT_EQ(std::set<std::string>(tricky.begin(), tricky.end()).size(), 3u);
  EXPECT_EQ(tricky[2], "--sa-x01-sk");
}

TEST(BluetoothModelTest, PrimaryActionAndStateCaption) {
  auto nearby = device("/p", "P", false, false);
  auto paired = device("/p", "P", true, false);
  paired.battery = 55;
  auto connected = device("/p", "P", true, true);
  const struct {
    const BluetoothDevice& device;
    bool pairing;
    const char* label;
    const char* state;
  } cases[] = {
      {nearby, false, "Pair", "Nearby"},
      {nearby, true, "Cancel pairing", "Nearby"},
      {paired, false, "Connect", "Paired · Battery 55%"},
      {connected, false, "Disconnect", "Connected"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.label);
    EXPECT_EQ(primary_action_label(primary_action(c.device, c.pairing)), c.label);
    EXPECT_EQ(device_state_text(c.device), c.state);
  }
  EXPECT_EQ(primary_action_name(PrimaryAction::kCancel), "cancel");
}

TEST(BluetoothModelTest, PairingOutcomes) {
  EXPECT_EQ(pair_outcome("Speaker", PairResult(std::optional<std::string>())).message,
            "Speaker is paired and connected.");
  const PairOutcome refused =
      pair_outcome("Speaker", PairResult(std::optional<std::string>("profile unavailable")));
  EXPECT_TRUE(refused.success);
  EXPECT_EQ(refused.message,
            "Speaker paired, but did not connect: profile unavailable. Use Connect to retry.");
  const PairOutcome failed = pair_outcome("Speaker", PairResult(kalu_ui::fail("Timed out.")));
  EXPECT_FALSE(failed.success);
  EXPECT_EQ(failed.message,
            "Could not pair Speaker: Timed out. Check that it is awake and in pairing mode, then "
            "retry.");
  EXPECT_EQ(device_name_at(testing::three_devices(), "/org/bluez/hci0/dev_BB"), "Travel Mouse");
  EXPECT_EQ(device_name_at(testing::three_devices(), "/gone"), "Device");
}

}  // namespace
}  // namespace settings::panes::bluetooth
