// Results stand beside the control that produced them, in the window on a
// simulated device: a wrong SIM PIN is told under "Unlock SIM", and the
// question before a local model's removal stands in that model's card,
// brought into view; the button pressed does not move.

#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

#include "app_fixture.h"
#include "kalu_ui/frame.h"
#include "kalu_ui/widget/scrollable.h"
#include "kalu_ui/widget/text.h"
#include "limited_exec/programs.h"
#include "panes/agent_models/model.h"
#include "panes/agent_models/page.h"
#include "sim_device/state.h"

namespace settings::settings_app {
namespace {

using testing::AppFixture;

// Every text of the window that reads `text`.
std::vector<kalu_ui::Rect> rects_saying(kalu_ui::Widget& root, std::string_view text) {
  std::vector<kalu_ui::Rect> out;
  for (auto* found : kalu_ui::frame::collect(root, [text](const kalu_ui::Widget& widget) {
         const auto* shown = dynamic_cast<const kalu_ui::widget::Text*>(&widget);
         return shown != nullptr && shown->text() == text;
       })) {
    out.push_back(found->get_rect());
  }
  return out;
}

// Runs frames until the window shows `text` once (a while at most).
std::optional<kalu_ui::Rect> frames_until_shown(AppFixture& t, std::string_view text) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (std::chrono::steady_clock::now() < deadline) {
    t.harness.frame();
    const auto found = rects_saying(t.harness.root(), text);
    if (found.size() == 1) return found.front();
    if (found.size() > 1) return std::nullopt;
  }
  return std::nullopt;
}

TEST(ResultsBesideTheirControl, AWrongSimPinIsToldUnderUnlockSim) {
  sim_device::ScopedDeviceState device;
  AppFixture t(kalu_ui::harness::Options::sized({1280.0, 4000.0}));
  t.harness.frame();
  t.app->select_pane(panes::Pane::kNetwork);
  t.harness.frames(2);
  ASSERT_TRUE(t.harness.click_id("network.mobile.pin"));
  ASSERT_TRUE(t.harness.type_text("1111"));
  const auto before = t.harness.rect_of("settings.network.mobile.unlock");
  ASSERT_TRUE(before);
  ASSERT_TRUE(t.harness.click_id("settings.network.mobile.unlock"));

  const auto said =
      frames_until_shown(t, "Could not configure SIM: Wrong SIM PIN; 2 attempts left");
  ASSERT_TRUE(said);
  const auto after = t.harness.rect_of("settings.network.mobile.unlock");
  ASSERT_TRUE(after);
  // The button stayed under the pointer; the result stands just below it.
  EXPECT_EQ(after->y0, before->y0);
  EXPECT_GE(said->y0, after->y1);
  EXPECT_LT(said->y0 - after->y1, 40.0);
  // Nothing of it in the Wi-Fi card far above.
  const auto wifi = t.harness.rect_of("settings.network.refresh");
  ASSERT_TRUE(wifi);
  EXPECT_GT(said->y0, wifi->y1 + 400.0);
}

TEST(ResultsBesideTheirControl, TheRemovalQuestionStandsInTheModelsCardInView) {
  sim_device::ScopedDeviceState device;
  // The model service answers as the simulated device's program.
  limited_exec::ScopedTestPrograms programs{
      limited_exec::simulated_programs(limited_exec::simdev_path())};
  constexpr double kHeight = 800.0;
  AppFixture t(kalu_ui::harness::Options::sized({1280.0, kHeight}));
  t.harness.frame();
  t.app->select_pane(panes::Pane::kAgentModels);
  const std::string model = "lumen-3b-instruct";
  const std::string remove =
      panes::agent_models::model_button_id(panes::agent_models::ModelAction::Remove, model);
  // The first read of the model service runs on its worker.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (!t.harness.find(remove) && std::chrono::steady_clock::now() < deadline) {
    t.harness.frame();
  }
  ASSERT_NE(t.harness.find(remove), nullptr);
  t.harness.frames(2);

  // Scrolled so that "Remove…" shows at the window's foot, as a person
  // reaching it would leave the page.
  auto* viewport = static_cast<kalu_ui::widget::Scrollable*>(
      kalu_ui::frame::collect(*t.app->shell()->content(), [](const kalu_ui::Widget& w) {
        return dynamic_cast<const kalu_ui::widget::Scrollable*>(&w) != nullptr;
      }).front());
  const auto at_top = t.harness.rect_of(remove);
  ASSERT_TRUE(at_top);
  viewport->set_offset(at_top->y1 - (kHeight - 8.0));
  t.harness.frames(2);
  const auto pressed = t.harness.rect_of(remove);
  ASSERT_TRUE(pressed);
  ASSERT_LE(pressed->y1, kHeight);
  ASSERT_TRUE(t.harness.click_id(remove));

  const auto question = frames_until_shown(
      t,
      "Remove Lumen 3B Instruct? This deletes its 2.0 GiB local snapshot. Tasks and workspace "
      "data are unchanged.");
  ASSERT_TRUE(question);
  t.harness.frames(2);
  const auto shown = t.harness.rect_of(panes::agent_models::model_notice_id(model));
  const auto confirm = t.harness.rect_of(remove);
  ASSERT_TRUE(shown && confirm);
  // In the model's card, under its buttons, and wholly in view.
  EXPECT_GE(shown->y0, confirm->y1);
  EXPECT_LT(shown->y0 - confirm->y1, 40.0);
  EXPECT_GE(shown->y0, 0.0);
  EXPECT_LE(shown->y1, kHeight);
  // No copy in the service card at the top.
  EXPECT_EQ(rects_saying(t.harness.root(), "Local model service").size(), 0u);
}

}  // namespace
}  // namespace settings::settings_app
