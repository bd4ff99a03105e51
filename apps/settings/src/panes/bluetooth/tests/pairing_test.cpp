// Pairing on its worker thread, with a fake backend whose pairing the test
// holds and releases: the pane's syncs never wait for it, and every Pair
// taken completes once, also when no thread ran or none answered.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "pane_rig.h"

namespace settings::panes::bluetooth {
namespace {

using testing::device;
using testing::failed;
using testing::FakeBackend;
using testing::kSpeaker;
using testing::Op;
using testing::OperationCompletion;
using testing::Rig;
using testing::succeeded;

constexpr auto kPatience = std::chrono::seconds(60);

// Syncs until the pairing's result has been taken.
void sync_until_paired(Rig& t) {
  const auto give_up = std::chrono::steady_clock::now() + kPatience;
  while (t.pane.pairing_device() && std::chrono::steady_clock::now() < give_up) {
    t.sync();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  ASSERT_FALSE(t.pane.pairing_device().has_value()) << "the pairing never answered";
}

void wait_until_held(FakeBackend& fake) {
  const auto give_up = std::chrono::steady_clock::now() + kPatience;
  while (!fake.pairing_waits() && std::chrono::steady_clock::now() < give_up) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  ASSERT_TRUE(fake.pairing_waits());
}

std::shared_ptr<FakeBackend> held_backend() {
  auto fake = std::make_shared<FakeBackend>();
  auto list = fake->list();
  list.push_back(device("/org/bluez/hci0/dev_DD", "Game Pad", false, false));
  fake->set_list(list);
  fake->hold_pairing();
  return fake;
}

TEST(BluetoothPairingTest, PairsOnItsThreadWhileSyncsGoOn) {
  Rig t(held_backend());
  t.request(Op::Pair{kSpeaker});
  EXPECT_EQ(t.pane.pairing_device(), kSpeaker);
  EXPECT_EQ(t.pane.status(), "Pairing Kitchen Speaker… Security prompts appear in system UI.");
  wait_until_held(*t.backend);
  for (int i = 0; i < 5; ++i) t.sync();  // none of them waits for the pairing
  EXPECT_EQ(t.outcome(),
            OperationCompletion(OperationCompletion::Pending{testing::key_of(Op::Pair{kSpeaker})}));
  t.backend->release();
  sync_until_paired(t);
  EXPECT_EQ(t.outcome(), succeeded(Op::Pair{kSpeaker}, "Kitchen Speaker is paired and connected."));
  EXPECT_EQ(t.pane.status(), "Kitchen Speaker is paired and connected.");
  EXPECT_TRUE(t.pane.devices()[2].paired);  // reloaded
  // Pairing trusted it; the document follows rather than sending it back.
  EXPECT_EQ(t.read_bool(device_control_id(kSpeaker, "trusted")), true);
  t.sync();
  EXPECT_THAT(t.backend->calls(), ::testing::ElementsAre("pair " + kSpeaker));
}

TEST(BluetoothPairingTest, PairedButNotConnectedIsASuccess) {
  auto fake = std::make_shared<FakeBackend>();
  fake->connect_after_pairing_fails("profile unavailable");
  Rig t(fake);
  t.request(Op::Pair{kSpeaker});
  sync_until_paired(t);
  EXPECT_EQ(t.outcome(), succeeded(Op::Pair{kSpeaker},
                                   "Kitchen Speaker paired, but did not connect: profile "
                                   "unavailable. Use Connect to retry."));
}

// The list no longer holds the device when the result arrives: "Device".
TEST(BluetoothPairingTest, AVanishedDeviceIsNamedDevice) {
  Rig t(held_backend());
  t.request(Op::Pair{kSpeaker});
  wait_until_held(*t.backend);
  auto list = t.backend->list();
  std::erase_if(list, [](const auto& d) { return d.path == kSpeaker; });
  t.backend->set_list(list);
  t.press(std::string(kRefreshKey));
  t.backend->release();
  sync_until_paired(t);
  EXPECT_EQ(t.outcome(), failed(Op::Pair{kSpeaker},
                                "Could not pair Device: the device went away while "
                                "pairing. Check that it is awake and in pairing mode, then "
                                "retry."));
}

// One pairing at a time: a Pair for another device fails at once, and one
// for the device being paired ends with that pairing.
TEST(BluetoothPairingTest, ASecondPairing) {
  Rig t(held_backend());
  const std::string pad = "/org/bluez/hci0/dev_DD";
  t.press(device_control_id(kSpeaker, "pair"));  // from the page
  t.request(Op::Pair{pad});
  EXPECT_EQ(t.outcome(),
            failed(Op::Pair{pad},
                   "Bluetooth is already pairing Kitchen Speaker; try again when it finishes."));
  t.request(Op::Pair{kSpeaker});
  EXPECT_EQ(t.pane.pairing_device(), kSpeaker);
  t.backend->release();
  sync_until_paired(t);
  EXPECT_EQ(t.outcome(), succeeded(Op::Pair{kSpeaker}, "Kitchen Speaker is paired and connected."));
  EXPECT_THAT(t.backend->calls(), ::testing::ElementsAre("pair " + kSpeaker));
}

TEST(BluetoothPairingTest, CancelWhilePairing) {
  Rig t(held_backend());
  t.press(device_control_id(kSpeaker, "pair"));
  t.press(device_control_id(kSpeaker, "cancel"));
  EXPECT_EQ(t.pane.status(), "Cancelled pairing Kitchen Speaker.");
  t.backend->fail("cancel_pairing", "not pairing");
  t.press(device_control_id(kSpeaker, "cancel"));
  EXPECT_EQ(t.pane.status(), "Could not cancel pairing: not pairing");
  t.backend->release();
  sync_until_paired(t);
}

TEST(BluetoothPairingTest, APairingThatCouldNotStartOrNeverAnswered) {
  {
    Rig t(std::make_shared<FakeBackend>(), [](std::move_only_function<void()>) -> kalu_ui::Status {
      return kalu_ui::fail("Resource temporarily unavailable");
    });
    t.request(Op::Pair{kSpeaker});
    EXPECT_EQ(t.outcome(),
              failed(Op::Pair{kSpeaker},
                     "Could not pair Kitchen Speaker: Resource temporarily unavailable"));
    EXPECT_EQ(t.pane.pairing_device(), std::nullopt);
  }
  {
    // A thread that ended without sending: its body is dropped unrun.
    Rig t(std::make_shared<FakeBackend>(),
          [](std::move_only_function<void()>) -> kalu_ui::Status { return {}; });
    t.request(Op::Pair{kSpeaker});
    EXPECT_EQ(t.pane.pairing_device(), kSpeaker);
    t.sync();
    EXPECT_EQ(t.outcome(), failed(Op::Pair{kSpeaker},
                                  "Could not pair Kitchen Speaker: the "
                                  "pairing ended without a result"));
    EXPECT_EQ(t.pane.pairing_device(), std::nullopt);
    EXPECT_THAT(t.backend->calls(), ::testing::IsEmpty());
  }
}

}  // namespace
}  // namespace settings::panes::bluetooth
