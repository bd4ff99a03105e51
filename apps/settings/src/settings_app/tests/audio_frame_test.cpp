// The Sound page in the application's frame on a simulated device of its
// own, with renders kept as PNG for people to look at: two stereo sinks with
// a playback and a recording stream and the speaker test under way; one mono
// sink with no streams.

#include <gtest/gtest.h>

#include <string>

#include "app_fixture.h"
#include "kalu_ui/frame.h"
#include "kalu_ui/widget/text.h"
#include "operations/keys.h"
#include "sim_device/state.h"

namespace settings::settings_app {
namespace {

using operations::AudioOperation;
using operations::OperationCompletion;
using testing::AppFixture;

using enum panes::Pane;

bool shows_text(kalu_ui::Widget& root, std::string_view text) {
  return !kalu_ui::frame::collect(root, [&](const kalu_ui::Widget& w) {
            const auto* t = dynamic_cast<const kalu_ui::widget::Text*>(&w);
            return t && t->text() == text;
          }).empty();
}

// Hands `operation` over as the executor does and runs frames until it is
// final; answers that state.
OperationCompletion run(AppFixture& t, const AudioOperation& operation) {
  const std::string key = operations::operation_key("settings.audio-operation", operation);
  t.app->operation_completion()->publish(OperationCompletion::Pending{key});
  t.app->device_local_request()->publish(
      operations::DeviceLocalRequest(std::in_place_type<AudioOperation>, operation));
  for (int i = 0; i < 20; ++i) {
    t.harness.frame();
    if (!std::holds_alternative<OperationCompletion::Pending>(t.app->operation_completion()->get()))
      break;
  }
  return t.app->operation_completion()->get();
}

TEST(AudioFrameTest, TwoStereoSinksWithStreamsAndTheSpeakerTest) {
  sim_device::ScopedDeviceState device;
  // Tall enough for the streams' cards.
  AppFixture t(kalu_ui::harness::Options::sized({1280.0, 1700.0}));
  t.app->select_pane(kSound);
  t.harness.frame();
  ASSERT_TRUE(std::holds_alternative<OperationCompletion::Succeeded>(
      run(t, AudioOperation::ToggleDiagnostics{})));
  ASSERT_TRUE(std::holds_alternative<OperationCompletion::Succeeded>(
      run(t, AudioOperation::TestChannel{true})));
  t.harness.frame();
  auto& h = t.harness;
  for (const char* id : {"audio.output_device", "audio.balance", "settings.audio.test.left",
                         "audio.stream.70.sink.dd", "audio.stream.74.sink.dd"}) {
    EXPECT_NE(h.find(id), nullptr) << id;
  }
  EXPECT_TRUE(shows_text(h.root(), "Playing a short left-channel tone…"));
  EXPECT_TRUE(h.render_png(std::string(SETTINGS_APP_ARTIFACTS) + "/sound-two-sinks.png"));
}

TEST(AudioFrameTest, OneMonoSinkWithoutStreams) {
  sim_device::ScopedDeviceState device;
  ASSERT_TRUE(sim_device::update("", [](sim_device::Json& state) -> kalu_ui::Status {
    auto& audio = state["audio"];
    audio["sinks"].erase(1);
    audio["sinks"][0]["channels"] = 1;
    audio["sinks"][0]["display_name"] = "Built-in Speaker";
    audio["streams"] = sim_device::Json::array();
    audio["devices"] = sim_device::Json::array();
    return {};
  }));
  AppFixture t;
  t.app->select_pane(kSound);
  t.harness.frame();
  auto& h = t.harness;
  for (const char* id :
       {"audio.output_device", "audio.balance", "audio.mono", "settings.audio.advanced"}) {
    EXPECT_EQ(h.find(id), nullptr) << id;
  }
  EXPECT_TRUE(shows_text(h.root(), "No applications are playing audio."));
  EXPECT_TRUE(h.render_png(std::string(SETTINGS_APP_ARTIFACTS) + "/sound-mono.png"));
}

}  // namespace
}  // namespace settings::settings_app
