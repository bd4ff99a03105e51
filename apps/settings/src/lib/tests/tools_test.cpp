#include "lib/tools.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "sim_device/state.h"

namespace settings::lib {
namespace {

// The tools the device was asked to open, oldest first, once `count` are there.
sim_device::Json opened_tools(std::size_t count) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  sim_device::Json opened = sim_device::Json::array();
  while (std::chrono::steady_clock::now() < deadline) {
    auto state = sim_device::read();
    if (state) opened = (*state)->at("tools").at("opened");
    if (opened.size() >= count) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return opened;
}

TEST(ToolButtonsTest, EachButtonOpensItsToolAtItsPage) {
  sim_device::ScopedDeviceState device;
  struct Case {
    ToolButton button;
    std::string_view id;
    std::string_view label;
    std::string_view intent;
    sim_device::Json page;
  };
  const Case cases[] = {
      {ToolButton::WorkspaceAppRules, "open-workspace-app-defaults",
       "Open current workspace app rules", "workspace", 3},
      {ToolButton::WorkspaceAccess, "open-workspace-privacy", "Open current workspace access",
       "workspace", 2},
      {ToolButton::IdentityBackup, "about.identity-backup.button", "Create encrypted backup\u2026",
       "identity-backup", nullptr},
  };
  std::size_t clicked = 0;
  for (const Case& c : cases) {
    EXPECT_EQ(tool_button_id(c.button), c.id);
    kalu_ui::widget::Button button = tool_button(c.button);
    EXPECT_EQ(button.id(), std::optional<std::string>(std::string(c.id)));
    EXPECT_EQ(button.label(), c.label);
    button.click();
    const sim_device::Json opened = opened_tools(++clicked);
    ASSERT_EQ(opened.size(), clicked) << c.id;
    EXPECT_EQ(opened.back()["intent"], c.intent) << c.id;
    EXPECT_EQ(opened.back()["page"], c.page) << c.id;
  }
}

}  // namespace
}  // namespace settings::lib
