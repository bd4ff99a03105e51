// The pane's handlers with a fake backend: what each operation and each
// press does, the texts it leaves, and that every operation taken completes
// once under its own key.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "pane_rig.h"

namespace settings::panes::bluetooth {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
namespace doc = kalu_ui::doc;
using testing::device;
using testing::DeviceLocalRequest;
using testing::failed;
using testing::FakeBackend;
using testing::kHeadphones;
using testing::kMouse;
using testing::kSpeaker;
using testing::Op;
using testing::OperationCompletion;
using testing::Rig;
using testing::succeeded;

std::string id(const std::string& path, std::string_view action) {
  return device_control_id(path, action);
}

TEST(BluetoothPaneTest, FirstSyncSeedsTheDocument) {
  Rig t;
  EXPECT_TRUE(t.pane.link().hosted());
  EXPECT_TRUE(t.pane.link().reporting());
  EXPECT_EQ(t.pane.short_type_name(), "BluetoothPane");
  EXPECT_EQ(t.read_bool(kEnabledKey), true);
  EXPECT_EQ(t.read_bool(kScanKey), false);
  EXPECT_EQ(t.read_bool(kRefreshKey), false);
  for (const auto& d : testing::three_devices()) {
    SCOPED_TRACE(d.path);
    for (auto action : {"pair", "connect", "cancel", "disconnect", "details", "rename", "forget"}) {
      EXPECT_EQ(t.read_bool(id(d.path, action)), false) << action;
    }
    EXPECT_EQ(t.read_bool(id(d.path, "trusted")), d.trusted);
    const auto alias = t.document().get(doc::kRoot, id(d.path, "alias"));
    ASSERT_TRUE(alias.has_value());
    const auto* text = std::get_if<doc::ObjectRef>(&*alias);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->type, doc::ObjType::Text);
  }
  // Nothing in the toolkit's document: the hosted pane keeps its own.
  EXPECT_THAT(t.toolkit_document.keys(doc::kRoot), IsEmpty());
  EXPECT_THAT(t.backend->calls(), IsEmpty());
}

TEST(BluetoothPaneTest, PowerOperations) {
  const struct {
    const char* name;
    bool powered;  // the adapter before
    bool enabled;  // asked for
    const char* error;
    OperationCompletion outcome;
    const char* status;
  } cases[] = {
      {"off", true, false, nullptr, succeeded(Op::SetPowered{false}, "Bluetooth disabled."),
       "Bluetooth is off."},
      {"on", false, true, nullptr, succeeded(Op::SetPowered{true}, "Bluetooth enabled."),
       "Bluetooth is on."},
      {"already on", true, true, nullptr,
       succeeded(Op::SetPowered{true}, "Bluetooth is already enabled."), nullptr},
      {"already off", false, false, nullptr,
       succeeded(Op::SetPowered{false}, "Bluetooth is already disabled."), nullptr},
      {"refused", true, false, "rfkill is on",
       failed(Op::SetPowered{false}, "Could not change Bluetooth power: rfkill is on"),
       "Could not change Bluetooth power: rfkill is on"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto fake = std::make_shared<FakeBackend>();
    fake->set_powered_outside(c.powered);
    if (c.error) fake->fail("set_powered", c.error);
    Rig t(fake);
    t.request(Op::SetPowered{c.enabled});
    EXPECT_EQ(t.outcome(), c.outcome);
    EXPECT_TRUE(t.requests->get().empty());
    EXPECT_EQ(t.pane.status(), c.status ? std::optional<std::string>(c.status) : std::nullopt);
    // The toggle shows the adapter's real state.
    const bool now = fake->is_powered().value();
    EXPECT_EQ(t.pane.powered(), now);
    EXPECT_EQ(t.read_bool(kEnabledKey), now);
    EXPECT_EQ(now, c.error ? c.powered : c.enabled);
  }
}

// The pane may not know the adapter was switched elsewhere: an operation for
// the state it believes in place still reaches the adapter.
TEST(BluetoothPaneTest, PowerOperationSeesAnOutsideSwitch) {
  Rig t;
  t.backend->set_powered_outside(false);
  t.request(Op::SetPowered{true});
  EXPECT_EQ(t.outcome(), succeeded(Op::SetPowered{true}, "Bluetooth enabled."));
  EXPECT_THAT(t.backend->calls(), ::testing::Contains("set_powered"));
}

// While reporting, a power edit waits for its operation: without one it is
// written back and the adapter is left alone; a pane on its own applies it.
TEST(BluetoothPaneTest, PowerEditNeedsItsOperationWhileReporting) {
  Rig t;
  (void)t.document().put(doc::kRoot, kEnabledKey, doc::Scalar(false));
  t.sync();
  EXPECT_EQ(t.read_bool(kEnabledKey), true);
  EXPECT_THAT(t.backend->calls(), IsEmpty());
  // Another Bluetooth operation pending does not let it through either.
  t.completion->publish(OperationCompletion::Pending{testing::key_of(Op::Refresh{})});
  (void)t.document().put(doc::kRoot, kEnabledKey, doc::Scalar(false));
  t.sync();
  EXPECT_EQ(t.read_bool(kEnabledKey), true);
  EXPECT_THAT(t.backend->calls(), IsEmpty());

  auto fake = std::make_shared<FakeBackend>();
  BluetoothPane alone(fake, fake->list(), true, false);
  doc::Document document;
  alone.sync(document);
  (void)document.put(doc::kRoot, kEnabledKey, doc::Scalar(false));
  alone.sync(document);
  EXPECT_FALSE(alone.powered());
  EXPECT_EQ(alone.status(), "Bluetooth is off.");
  EXPECT_THAT(alone.devices(), IsEmpty());  // switched off, it lists none
}

TEST(BluetoothPaneTest, DiscoveryTogglesAndCompletesStartScan) {
  Rig t;
  t.request(Op::StartScan{});
  EXPECT_EQ(t.outcome(), succeeded(Op::StartScan{}, "Bluetooth discovery started."));
  EXPECT_EQ(t.pane.status(), "Discovery started. Use Refresh as devices wake up.");
  EXPECT_TRUE(t.pane.scanning());
  // Asked again while discovery runs, it stops.
  t.request(Op::StartScan{});
  EXPECT_EQ(t.outcome(), succeeded(Op::StartScan{}, "Bluetooth discovery stopped."));
  EXPECT_EQ(t.pane.status(), "Discovery stopped.");
  EXPECT_FALSE(t.pane.scanning());
  EXPECT_EQ(t.read_bool(kScanKey), false);

  t.backend->fail("start_scan", "adapter busy");
  t.request(Op::StartScan{});
  EXPECT_EQ(t.outcome(),
            failed(Op::StartScan{}, "Could not change Bluetooth discovery: adapter busy"));
  EXPECT_EQ(t.pane.status(), "Could not change discovery: adapter busy");
}

// Presses act at once, with no operation pending.
TEST(BluetoothPaneTest, PagePressesActWithoutAnOperation) {
  Rig t;
  t.press(std::string(kScanKey));
  EXPECT_TRUE(t.pane.scanning());
  t.press(id(kMouse, "connect"));
  EXPECT_EQ(t.pane.status(), "Connected Travel Mouse.");
  EXPECT_EQ(t.read_bool(id(kMouse, "connect")), false);
  // Nothing was pending, so nothing was completed.
  EXPECT_EQ(t.outcome(), OperationCompletion(OperationCompletion::Idle{}));
}

TEST(BluetoothPaneTest, RefreshReplacesTheListOrKeepsIt) {
  Rig t;
  auto list = t.backend->list();
  list.pop_back();
  t.backend->set_list(list);
  t.backend->set_scanning_outside(true);
  t.request(Op::Refresh{});
  EXPECT_EQ(t.outcome(), succeeded(Op::Refresh{}, "Bluetooth devices refreshed."));
  EXPECT_EQ(t.pane.devices().size(), 2u);
  EXPECT_TRUE(t.pane.scanning());

  t.backend->set_list(testing::three_devices());
  t.backend->fail("devices", "service not running");
  t.request(Op::Refresh{});
  EXPECT_EQ(t.outcome(),
            failed(Op::Refresh{}, "Could not refresh Bluetooth devices: service not running"));
  EXPECT_EQ(t.pane.status(), "Could not refresh devices: service not running");
  EXPECT_EQ(t.pane.devices().size(), 2u);  // the old list stays
  EXPECT_EQ(t.read_bool(kRefreshKey), false);
}

TEST(BluetoothPaneTest, ConnectAndDisconnect) {
  Rig t;
  t.request(Op::Connect{kMouse});
  EXPECT_EQ(t.outcome(), succeeded(Op::Connect{kMouse}, "Connected Travel Mouse."));
  EXPECT_TRUE(t.pane.devices()[1].connected);  // reloaded

  t.backend->fail("disconnect", "link lost");
  t.request(Op::Disconnect{kHeadphones});
  const std::string message =
      "Could not disconnect Studio Headphones: link lost. Check that it is awake and in range, "
      "then retry.";
  EXPECT_EQ(t.outcome(), failed(Op::Disconnect{kHeadphones}, message));
  EXPECT_EQ(t.pane.status(), message);
}

// A device the pane's list lacks is looked for again before the operation
// fails; one that is nowhere fails at once.
TEST(BluetoothPaneTest, DeviceOperationsForDevicesNotListed) {
  Rig t;
  const std::string newcomer = "/org/bluez/hci0/dev_DD";
  auto list = t.backend->list();
  list.push_back(device(newcomer, "Game Pad", true, false));
  t.backend->set_list(list);
  t.request(Op::Connect{newcomer});
  EXPECT_EQ(t.outcome(), succeeded(Op::Connect{newcomer}, "Connected Game Pad."));
  // The newcomer's keys were seeded by the reload that found it.
  EXPECT_EQ(t.read_bool(id(newcomer, "forget")), false);

  for (const Op& operation : {Op(Op::Pair{"/gone"}), Op(Op::Connect{"/gone"}),
                              Op(Op::Disconnect{"/gone"}), Op(Op::Forget{"/gone"})}) {
    t.request(operation);
    EXPECT_EQ(t.outcome(), failed(operation, "Bluetooth device is no longer available"));
  }
}

TEST(BluetoothPaneTest, ForgetAsksOnceOnThePageAndNotForAnOperation) {
  Rig t;
  // Two presses on the same device forget it.
  t.press(id(kMouse, "forget"));
  EXPECT_EQ(t.pane.forget_confirmation(), kMouse);
  EXPECT_EQ(t.pane.status(), "Forget Travel Mouse? This removes its bond and keys.");
  EXPECT_THAT(t.backend->calls(), IsEmpty());
  // A press on another device asks that one and leaves the first unconfirmed.
  t.press(id(kHeadphones, "forget"));
  EXPECT_EQ(t.pane.forget_confirmation(), kHeadphones);
  t.press(id(kMouse, "forget"));
  EXPECT_EQ(t.pane.forget_confirmation(), kMouse);
  EXPECT_THAT(t.backend->calls(), IsEmpty());
  t.press(id(kMouse, "forget"));
  EXPECT_EQ(t.pane.status(), "Forgot Travel Mouse. Pair it again to reconnect.");
  EXPECT_EQ(t.pane.forget_confirmation(), std::nullopt);
  EXPECT_EQ(t.pane.devices().size(), 2u);

  // An operation forgets at the first press.
  t.request(Op::Forget{kHeadphones});
  EXPECT_EQ(t.outcome(), succeeded(Op::Forget{kHeadphones}, "Forgot Studio Headphones."));

  t.backend->fail("forget", "bond in use");
  t.request(Op::Forget{kSpeaker});
  EXPECT_EQ(t.outcome(),
            failed(Op::Forget{kSpeaker}, "Could not forget Kitchen Speaker: bond in use"));
  EXPECT_EQ(t.pane.forget_confirmation(), std::nullopt);
  t.press(id(kSpeaker, "forget"));
  t.press(id(kSpeaker, "forget"));
  EXPECT_EQ(t.pane.forget_confirmation(), kSpeaker);  // a failure keeps it
}

TEST(BluetoothPaneTest, DetailsMoveBetweenDevices) {
  Rig t;
  t.press(id(kMouse, "details"));
  EXPECT_EQ(t.pane.expanded_device(), kMouse);
  t.press(id(kSpeaker, "details"));
  EXPECT_EQ(t.pane.expanded_device(), kSpeaker);
  t.press(id(kSpeaker, "details"));
  EXPECT_EQ(t.pane.expanded_device(), std::nullopt);
}

TEST(BluetoothPaneTest, RenameSendsTheAliasAsTypedAndRefusesNoName) {
  Rig t;
  // The field untouched, or only blanks: refused, the name kept.
  t.press(id(kMouse, "rename"));
  EXPECT_EQ(t.pane.status(), "Enter a name for the device.");
  const auto alias = t.document().get(doc::kRoot, id(kMouse, "alias"));
  const auto text_id = std::get<doc::ObjectRef>(*alias).id;
  ASSERT_TRUE(t.document().splice_text(text_id, 0, 0, " \t ").has_value());
  t.press(id(kMouse, "rename"));
  EXPECT_EQ(t.pane.status(), "Enter a name for the device.");
  EXPECT_THAT(t.backend->aliases(), ::testing::IsEmpty());
  EXPECT_EQ(t.pane.devices()[1].name, "Travel Mouse");

  ASSERT_TRUE(t.document().splice_text(text_id, 0, 3, "  Desk Mouse ").has_value());
  t.press(id(kMouse, "rename"));
  EXPECT_THAT(t.backend->aliases(), ElementsAre("  Desk Mouse "));
  EXPECT_EQ(t.pane.status(), "Renamed device to Desk Mouse.");
  EXPECT_EQ(t.pane.devices()[1].name, "  Desk Mouse ");

  t.backend->fail("set_alias", "name too long");
  const auto headphones = t.document().get(doc::kRoot, id(kHeadphones, "alias"));
  ASSERT_TRUE(t.document()
                  .splice_text(std::get<doc::ObjectRef>(*headphones).id, 0, 0, "Desk Phones")
                  .has_value());
  t.press(id(kHeadphones, "rename"));
  EXPECT_EQ(t.pane.status(), "Could not rename Studio Headphones: name too long");
}

TEST(BluetoothPaneTest, TrustFollowsTheToggleAndRestoresItOnFailure) {
  Rig t;
  (void)t.document().put(doc::kRoot, id(kMouse, "trusted"), doc::Scalar(false));
  t.sync();
  EXPECT_EQ(t.pane.status(), "Travel Mouse now requires service authorisation.");
  EXPECT_FALSE(t.pane.devices()[1].trusted);

  t.backend->fail("set_trusted", "not allowed");
  (void)t.document().put(doc::kRoot, id(kMouse, "trusted"), doc::Scalar(true));
  t.sync();
  EXPECT_EQ(t.pane.status(), "Could not change device trust: not allowed");
  EXPECT_EQ(t.read_bool(id(kMouse, "trusted")), false);
  t.backend->clear_calls();
  t.sync();
  EXPECT_THAT(t.backend->calls(), IsEmpty());  // nothing left to send
}

// Trust and power changed outside the application reach the document at the
// next reload, and are not sent back to the device.
TEST(BluetoothPaneTest, ReloadBringsTheDocumentUpToTheDevice) {
  Rig t;
  auto list = t.backend->list();
  list[2].paired = list[2].trusted = true;  // paired and trusted elsewhere
  list.push_back(device("/org/bluez/hci0/dev_DD", "Game Pad", false, false));
  t.backend->set_list(list);
  t.press(std::string(kRefreshKey));
  EXPECT_EQ(t.read_bool(id(kSpeaker, "trusted")), true);
  EXPECT_EQ(t.read_bool(id("/org/bluez/hci0/dev_DD", "pair")), false);
  t.backend->set_powered_outside(false);
  t.press(std::string(kRefreshKey));
  EXPECT_EQ(t.read_bool(kEnabledKey), false);
  t.backend->clear_calls();
  const int reads = t.backend->reads();
  t.sync();
  t.sync();
  EXPECT_THAT(t.backend->calls(), IsEmpty());
  EXPECT_EQ(t.backend->reads(), reads);
}

// Two devices whose plain keys meet (one device seen through two adapters)
// get keys of their own: a press acts on one device only.
TEST(BluetoothPaneTest, CollidingKeysActOnOneDevice) {
  auto fake = std::make_shared<FakeBackend>(std::vector{
      device("/org/bluez/hci0/dev_AA", "Left", true, false),
      device("/org/bluez/hci1/dev_AA", "Right", true, false),
  });
  Rig t(fake);
  ASSERT_NE(t.pane.keys()[0], t.pane.keys()[1]);
  t.press(control_id_for_key(t.pane.keys()[1], "connect"));
  EXPECT_THAT(fake->calls(), ElementsAre("connect /org/bluez/hci1/dev_AA"));
  EXPECT_EQ(t.pane.status(), "Connected Right.");
  t.request(Op::Connect{"/org/bluez/hci0/dev_AA"});
  EXPECT_EQ(t.outcome(), succeeded(Op::Connect{"/org/bluez/hci0/dev_AA"}, "Connected Left."));
}

TEST(BluetoothPaneTest, AnotherPanesRequestStaysInTheCell) {
  Rig t;
  t.requests->publish(DeviceLocalRequest(std::in_place_type<operations::NetworkOperation>,
                                         operations::NetworkOperation::Refresh{}));
  t.sync();
  EXPECT_TRUE(std::holds_alternative<operations::NetworkOperation>(t.requests->get()));
  EXPECT_THAT(t.backend->calls(), IsEmpty());
}

}  // namespace
}  // namespace settings::panes::bluetooth
