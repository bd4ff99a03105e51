// Pages rebuilt in the window keep the person's place, and a page's first
// frame shows what its first sync wrote: a change applied on Mouse &
// Keyboard leaves the page where it was scrolled; text being typed into
// Bluetooth's rename field survives the rebuild a trust change makes; the
// switches of Notifications, Keyboard Shortcuts and Accessibility show their
// stored state in the frame that opens the pane, before any input.

#include <gtest/gtest.h>

#include <string>

#include "app_fixture.h"
#include "kalu_ui/frame.h"
#include "kalu_ui/widget/scrollable.h"
#include "kalu_ui/widget/text_input.h"
#include "kalu_ui/widget/toggle.h"
#include "panes/bluetooth/model.h"
#include "prefs_store/desktop_controls.h"
#include "prefs_store/document.h"
#include "prefs_store/paths.h"
#include "sim_device/state.h"
#include "stored/settings_prefs.h"
#include "system_ops/bluez.h"

namespace settings::settings_app {
namespace {

using testing::AppFixture;
using testing::TempDir;
namespace w = kalu_ui::widget;

using enum panes::Pane;

w::Toggle& toggle(kalu_ui::harness::Harness& h, std::string_view id) {
  auto* found = dynamic_cast<w::Toggle*>(h.find(id));
  EXPECT_NE(found, nullptr) << id;
  return *found;
}

// The page's scrolling area.
w::Scrollable* page_area(kalu_ui::Widget& root, panes::Pane pane) {
  const std::string key = std::string(kPageAreaKey) + std::string(panes::pane_id(pane));
  auto found = kalu_ui::frame::collect(root, [&](const kalu_ui::Widget& widget) {
    const auto* area = dynamic_cast<const w::Scrollable*>(&widget);
    return area && area->place_key() == key;
  });
  return found.empty() ? nullptr : dynamic_cast<w::Scrollable*>(found.front());
}

TEST(KeepPlaceTest, AChangeOnMouseAndKeyboardLeavesThePageWhereItWasScrolled) {
  TempDir root;
  prefs_store::ScopedConfigDir config(root.path());
  AppFixture t;
  auto& h = t.harness;
  t.app->select_pane(kMouseKeyboard);
  h.frame();
  const kalu_ui::Rect content = t.app->shell()->content_rect();
  h.wheel(content.center(), {0.0, 600.0});
  const w::Scrollable* area = page_area(h.root(), kMouseKeyboard);
  ASSERT_NE(area, nullptr);
  const double scrolled = area->offset();
  ASSERT_GT(scrolled, 0.0);

  // The executor applies the change and the page frame builds the pane anew.
  const bool tap = !toggle(h, "input.tap_click").value();
  toggle(h, "input.tap_click").flip();
  h.frames(2);
  ASSERT_EQ(stored::SettingsPrefs::load().input.tap_to_click, tap);
  ASSERT_GT((*t.counts)[kMouseKeyboard], 1);
  area = page_area(h.root(), kMouseKeyboard);
  ASSERT_NE(area, nullptr);
  EXPECT_EQ(area->offset(), scrolled);

  // Another pane opens at its top.
  t.app->select_pane(kNotifications);
  h.frame();
  ASSERT_NE(page_area(h.root(), kNotifications), nullptr);
  EXPECT_EQ(page_area(h.root(), kNotifications)->offset(), 0.0);
}

// The trust switch reloads the devices and the page is built anew while the
// person is typing a new name: the field keeps the focus, the text and the
// caret, and the name typed on is the one Rename gives the device.
TEST(KeepPlaceTest, TextTypedIntoBluetoothsRenameFieldOutlivesARebuild) {
  sim_device::ScopedDeviceState device;
  AppFixture t;
  auto& h = t.harness;
  t.app->select_pane(kBluetooth);
  h.frame();
  const auto devices = system_ops::bluez::devices();
  ASSERT_TRUE(devices);
  const auto paired = std::ranges::find_if(*devices, [](const auto& d) { return d.paired; });
  ASSERT_NE(paired, devices->end());
  const std::string key = panes::bluetooth::device_key(paired->path);
  ASSERT_TRUE(h.click_id("settings.bluetooth.details." + key));
  h.frame();

  const std::string field = "bluetooth.alias." + key;
  ASSERT_TRUE(h.click_id(field));
  h.type_text("Desk");
  toggle(h, "settings.bluetooth.trusted." + key).flip();
  h.frames(2);
  auto* input = dynamic_cast<w::TextInput*>(h.find(field));
  ASSERT_NE(input, nullptr);
  EXPECT_EQ(h.focused(), input);
  EXPECT_EQ(input->caret(), 4u);
  h.type_text("top");
  EXPECT_EQ(dynamic_cast<w::TextInput*>(h.find(field))->text(), "Desktop");

  ASSERT_TRUE(h.click_id("settings.bluetooth.rename." + key));
  h.frame();
  const auto renamed = system_ops::bluez::devices();
  ASSERT_TRUE(renamed);
  const auto found =
      std::ranges::find_if(*renamed, [&](const auto& d) { return d.path == paired->path; });
  ASSERT_NE(found, renamed->end());
  EXPECT_EQ(found->name, "Desktop");
}

// One frame after the pane is selected, with no input event: each switch
// shows what is stored.
TEST(KeepPlaceTest, TheFirstFrameOfAPaneShowsTheStoredSwitches) {
  TempDir root;
  prefs_store::ScopedConfigDir config(root.path());
  ASSERT_TRUE(prefs_store::DesktopControlsConfig{.vim_mode = true}.save());
  stored::AppearancePrefs appearance;
  appearance.high_contrast = true;
  ASSERT_TRUE(prefs_store::update_section("appearance", stored::write_section(appearance)));
  AppFixture t;
  auto& h = t.harness;
  h.frame();
  const struct {
    panes::Pane pane;
    std::string_view toggle;
  } cases[] = {
      {kNotifications, "notifications.banners"},  // on by default
      {kKeyboardShortcuts, "shortcuts.vim_mode"},
      {kAccessibility, "a11y.high_contrast"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.toggle);
    t.app->select_pane(c.pane);
    h.frame();
    EXPECT_TRUE(toggle(h, c.toggle).value());
  }
}

}  // namespace
}  // namespace settings::settings_app
