// The page through the headless harness: its controls, ids and texts as
// the pane's state changes, and presses that reach the handlers.

#include "panes/bluetooth/page.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>

#include "kalu_ui/harness.h"
#include "kalu_ui/widget/button.h"
#include "kalu_ui/widget/text.h"
#include "kalu_ui/widget/text_input.h"
#include "kalu_ui/widget/toggle.h"
#include "pane_rig.h"

namespace settings::panes::bluetooth {
namespace {

namespace w = kalu_ui::widget;
using ::testing::Contains;
using testing::FakeBackend;
using ::testing::Not;
using testing::Op;
using testing::OperationCompletion;

// The pane hosted (cells of its own) in the harness, one frame run.
struct Shown {
  explicit Shown(std::shared_ptr<FakeBackend> fake = std::make_shared<FakeBackend>())
      : backend(std::move(fake)), harness(make()) {
    harness.frame();
  }
  kalu_ui::WidgetBox make() {
    auto made = std::make_unique<BluetoothPane>(
        BluetoothPane(backend, backend->devices().value_or(std::vector<BluetoothDevice>{}),
                      backend->is_powered().value_or(false), backend->is_scanning().value_or(false))
            .with_operation_requests(requests)
            .with_operation_completion(completion));
    pane = made.get();
    return made;
  }
  std::vector<std::string> texts() {
    std::vector<std::string> out;
    for (auto* widget : kalu_ui::frame::collect(harness.root(), [](const kalu_ui::Widget& x) {
           return dynamic_cast<const w::Text*>(&x) != nullptr;
         })) {
      out.push_back(dynamic_cast<w::Text*>(widget)->text());
    }
    return out;
  }
  std::string label(std::string_view id) {
    auto* button = dynamic_cast<w::Button*>(harness.find(id));
    return button ? button->label() : "(no button " + std::string(id) + ")";
  }
  void request(const Op& operation) {
    completion->publish(OperationCompletion::Pending{testing::key_of(operation)});
    requests->publish(testing::DeviceLocalRequest(std::in_place_type<Op>, operation));
    harness.frame();
  }

  std::shared_ptr<FakeBackend> backend;
  std::shared_ptr<operations::DeviceLocalRequestCell> requests =
      operations::DeviceLocalRequestCell::create({});
  std::shared_ptr<operations::OperationCompletionCell> completion =
      operations::OperationCompletionCell::create({});
  BluetoothPane* pane = nullptr;
  kalu_ui::harness::Harness harness;
};

TEST(BluetoothPageTest, TheCardAndOneRowPerDevice) {
  Shown t;
  EXPECT_THAT(t.texts(), Contains("Bluetooth"));
  auto* toggle = dynamic_cast<w::Toggle*>(t.harness.find("bluetooth.toggle"));
  ASSERT_NE(toggle, nullptr);
  EXPECT_TRUE(toggle->value());
  EXPECT_EQ(t.label("settings.bluetooth.scan"), "Find devices");
  EXPECT_EQ(t.label("settings.bluetooth.refresh"), "Refresh");
  EXPECT_EQ(t.label("settings.bluetooth.disconnect.dev_AA"), "Disconnect");
  EXPECT_EQ(t.label("settings.bluetooth.connect.dev_BB"), "Connect");
  EXPECT_EQ(t.label("settings.bluetooth.pair.dev_CC"), "Pair");
  EXPECT_EQ(t.label("settings.bluetooth.details.dev_CC"), "Details");
  for (const char* text : {"Studio Headphones", "Connected · Battery 80%", "Travel Mouse",
                           "Paired · Battery 55%", "Kitchen Speaker", "Nearby"}) {
    EXPECT_THAT(t.texts(), Contains(text));
  }
  EXPECT_THAT(t.texts(), Not(Contains(std::string(kNoDevicesText))));
}

// A device's rows stand closer together than one device to the next.
TEST(BluetoothPageTest, DevicesStandApartFromEachOther) {
  Shown t;
  const auto rect_of_text = [&](std::string_view text) -> kalu_ui::Rect {
    for (auto* widget : kalu_ui::frame::collect(t.harness.root(), [&](const kalu_ui::Widget& x) {
           const auto* shown = dynamic_cast<const w::Text*>(&x);
           return shown != nullptr && shown->text() == text;
         })) {
      return widget->get_rect();
    }
    ADD_FAILURE() << "no text " << text;
    return {};
  };
  const auto button = [&](std::string_view id) {
    return t.harness.rect_of(id).value_or(kalu_ui::Rect{});
  };
  // The headphones' name row (its buttons), then its state, then the mouse.
  const kalu_ui::Rect headphones = button("settings.bluetooth.details.dev_AA");
  const kalu_ui::Rect state = rect_of_text("Connected · Battery 80%");
  const kalu_ui::Rect mouse = button("settings.bluetooth.details.dev_BB");
  const double inside = state.y0 - headphones.y1;
  const double between = mouse.y0 - state.y1;
  EXPECT_GT(inside, 0.0);
  EXPECT_GE(between, 2.0 * inside);
}

// The power toggle is bound to the Bluetooth section's "bluetooth" action:
// a flip is recorded for it (which the replay cannot carry out here, with no
// application publishing the section), and the document keeps the adapter's
// state until the operation comes back.
TEST(BluetoothPageTest, ThePowerToggleIsBoundToItsAction) {
  Shown t;
  auto* toggle = dynamic_cast<w::Toggle*>(t.harness.find("bluetooth.toggle"));
  ASSERT_NE(toggle, nullptr);
  ASSERT_TRUE(toggle->binding().has_value());
  EXPECT_EQ(toggle->binding()->resource_id, "settings.section:bluetooth");
  ASSERT_TRUE(t.harness.click_id("bluetooth.toggle"));
  const auto replayed = t.harness.take_replayed();
  ASSERT_EQ(replayed.size(), 1u);
  const auto& invocation = replayed[0].invocation;
  EXPECT_EQ(invocation.resource_id, "settings.section:bluetooth");
  EXPECT_EQ(invocation.action, "bluetooth");
  EXPECT_EQ(invocation.arguments_json, R"({"value":false})");
  EXPECT_EQ(replayed[0].fate, kalu_ui::host::ReplayedControl::Fate::Refused);
  t.harness.frames(2);
  EXPECT_TRUE(t.pane->powered());
  EXPECT_THAT(t.backend->calls(), ::testing::IsEmpty());
  EXPECT_TRUE(dynamic_cast<w::Toggle*>(t.harness.find("bluetooth.toggle"))->value());
  // The operation the action makes is what switches the adapter.
  t.request(Op::SetPowered{false});
  EXPECT_FALSE(t.pane->powered());
  EXPECT_EQ(t.completion->get(), testing::succeeded(Op::SetPowered{false}, "Bluetooth disabled."));
}

TEST(BluetoothPageTest, TheTwoEmptyListCaptions) {
  auto fake = std::make_shared<FakeBackend>(std::vector<BluetoothDevice>{});
  Shown t(fake);
  EXPECT_THAT(t.texts(), Contains(std::string(kNoDevicesText)));
  fake->set_scanning_outside(true);
  t.request(Op::Refresh{});
  t.harness.frame();
  EXPECT_THAT(t.texts(), Contains(std::string(kLookingText)));
  EXPECT_EQ(t.label("settings.bluetooth.scan"), "Stop discovery");
}

// A click on "Find devices" with no operation pending starts discovery.
TEST(BluetoothPageTest, FindDevicesActsAtOnce) {
  Shown t;
  ASSERT_TRUE(t.harness.click_id("settings.bluetooth.scan"));
  t.harness.frame();
  EXPECT_TRUE(t.pane->scanning());
  EXPECT_THAT(t.backend->calls(), Contains("start_scan"));
  EXPECT_THAT(t.texts(), Contains("Discovery started. Use Refresh as devices wake up."));
  EXPECT_EQ(t.label("settings.bluetooth.scan"), "Stop discovery");
  EXPECT_EQ(t.completion->get(), OperationCompletion(OperationCompletion::Idle{}));
}

TEST(BluetoothPageTest, DetailsOfAPairedDevice) {
  Shown t;
  ASSERT_TRUE(t.harness.click_id("settings.bluetooth.details.dev_AA"));
  t.harness.frame();
  EXPECT_EQ(t.label("settings.bluetooth.details.dev_AA"), "Less");
  for (const char* text : {"Address", "00:11:22:33:44:55", "Signal", "-52 dBm", "Trust this device",
                           kTrustCaption.data(), kAudioCaption.data()}) {
    EXPECT_THAT(t.texts(), Contains(text));
  }
  auto* trust = dynamic_cast<w::Toggle*>(t.harness.find("settings.bluetooth.trusted.dev_AA"));
  ASSERT_NE(trust, nullptr);
  EXPECT_TRUE(trust->value());  // shown at once, not a frame later
  EXPECT_NE(dynamic_cast<w::TextInput*>(t.harness.find("bluetooth.alias.dev_AA")), nullptr);
  EXPECT_EQ(t.label("settings.bluetooth.rename.dev_AA"), "Rename");
  EXPECT_EQ(t.label("settings.bluetooth.forget.dev_AA"), "Forget…");
  ASSERT_TRUE(t.harness.click_id("settings.bluetooth.forget.dev_AA"));
  t.harness.frame();
  EXPECT_EQ(t.label("settings.bluetooth.forget.dev_AA"), "Confirm forget");

  // An unpaired device has no trust, name or forget controls.
  ASSERT_TRUE(t.harness.click_id("settings.bluetooth.details.dev_CC"));
  t.harness.frame();
  EXPECT_EQ(t.harness.find("settings.bluetooth.trusted.dev_AA"), nullptr);
  EXPECT_EQ(t.harness.find("settings.bluetooth.trusted.dev_CC"), nullptr);
  EXPECT_EQ(t.harness.find("bluetooth.alias.dev_CC"), nullptr);
  EXPECT_THAT(t.texts(), Contains("-71 dBm"));
}

// Typing a name and pressing Rename sends it.
TEST(BluetoothPageTest, RenameFromTheField) {
  Shown t;
  ASSERT_TRUE(t.harness.click_id("settings.bluetooth.details.dev_BB"));
  t.harness.frame();
  ASSERT_TRUE(t.harness.click_id("bluetooth.alias.dev_BB"));
  t.harness.type_text("Desk Mouse");
  ASSERT_TRUE(t.harness.click_id("settings.bluetooth.rename.dev_BB"));
  t.harness.frame();
  EXPECT_THAT(t.backend->aliases(), ::testing::ElementsAre("Desk Mouse"));
  EXPECT_THAT(t.texts(), Contains("Renamed device to Desk Mouse."));
}

// While a pairing runs, its device offers "Cancel pairing" and frames keep
// running; the result ends the operation.
TEST(BluetoothPageTest, PairingRoad) {
  auto fake = std::make_shared<FakeBackend>();
  fake->hold_pairing();
  Shown t(fake);
  t.request(Op::Pair{testing::kSpeaker});
  t.harness.frame();
  EXPECT_EQ(t.label("settings.bluetooth.cancel.dev_CC"), "Cancel pairing");
  const auto frames = t.harness.frame_count();
  t.harness.frames(5);
  EXPECT_EQ(t.harness.frame_count(), frames + 5);
  fake->release();
  const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (t.pane->pairing_device() && std::chrono::steady_clock::now() < give_up) {
    t.harness.wait_for_frame(std::chrono::milliseconds(100));
  }
  EXPECT_EQ(t.completion->get(), testing::succeeded(Op::Pair{testing::kSpeaker},
                                                    "Kitchen Speaker is paired and connected."));
  t.harness.frame();
  EXPECT_EQ(t.label("settings.bluetooth.disconnect.dev_CC"), "Disconnect");
}

}  // namespace
}  // namespace settings::panes::bluetooth
