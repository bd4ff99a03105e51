// The Sound page through the headless harness, on the pane over fakes: its
// cards, rows, ids and texts for the shapes the device can take, the
// bindings of its controls to the Sound section, and its rebuild as the
// pane's model changes.

#include "panes/audio/page.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "kalu_ui/frame.h"
#include "kalu_ui/harness.h"
#include "kalu_ui/widget/button.h"
#include "kalu_ui/widget/card.h"
#include "kalu_ui/widget/dropdown.h"
#include "kalu_ui/widget/text.h"
#include "kalu_ui/widget/toggle.h"
#include "pane_fixture.h"

namespace settings::panes::audio {
namespace {

namespace w = kalu_ui::widget;
using kalu_ui::Widget;
using ::testing::Contains;
using ::testing::ElementsAre;
using testing::Fakes;
using ::testing::Not;
using Op = AudioOperation;

void collect_texts(const Widget& widget, std::vector<std::string>& out) {
  if (const auto* t = dynamic_cast<const w::Text*>(&widget)) out.push_back(t->text());
  if (const auto* c = dynamic_cast<const w::Card*>(&widget)) out.push_back(c->title());
  if (const auto* b = dynamic_cast<const w::Button*>(&widget)) out.push_back(b->label());
  for (const Widget* child : widget.children()) collect_texts(*child, out);
}

// The pane hosted (cells of its own) in the harness, tall enough for every
// card, one frame run.
struct Shown {
  explicit Shown(const std::function<void(Fakes&)>& setup = {}) : harness(make(setup), options()) {
    harness.frame();
  }
  static kalu_ui::harness::Options options() {
    return kalu_ui::harness::Options::sized({1280.0, 3000.0});
  }
  kalu_ui::WidgetBox make(const std::function<void(Fakes&)>& setup) {
    if (setup) setup(fakes);
    auto made = std::make_unique<AudioPane>(AudioPane(fakes.dependencies())
                                                .with_operation_requests(requests)
                                                .with_operation_completion(completion));
    pane = made.get();
    return made;
  }
  std::vector<std::string> texts() {
    std::vector<std::string> out;
    collect_texts(harness.root(), out);
    return out;
  }
  bool has(std::string_view id) { return harness.find(id) != nullptr; }
  std::string label(std::string_view id) {
    auto* button = dynamic_cast<w::Button*>(harness.find(id));
    return button ? button->label() : "(no button " + std::string(id) + ")";
  }
  std::string bound_to(std::string_view id) {
    const auto* control = dynamic_cast<const w::BoundControl*>(harness.find(id));
    if (control == nullptr || !control->binding()) return "(unbound)";
    return control->binding()->resource_id + " " + control->binding()->action;
  }
  // Hands an operation over as the executor does and runs two frames.
  void request(const AudioOperation& operation) {
    completion->publish(operations::OperationCompletion::Pending{
        operations::operation_key(kAudioActionId, operation)});
    requests->publish(
        operations::DeviceLocalRequest(std::in_place_type<AudioOperation>, operation));
    harness.frames(2);
  }

  Fakes fakes;
  std::shared_ptr<operations::DeviceLocalRequestCell> requests =
      operations::DeviceLocalRequestCell::create({});
  std::shared_ptr<operations::OperationCompletionCell> completion =
      operations::OperationCompletionCell::create({});
  AudioPane* pane = nullptr;
  kalu_ui::harness::Harness harness;
};

TEST(AudioPageTest, TwoStereoSinksWithStreams) {
  Shown s;
  const auto texts = s.texts();
  for (const char* title : {"Output", "Input", "Device capabilities", "Applications", "Recording"})
    EXPECT_THAT(texts, Contains(title));
  for (const char* id :
       {"audio.output_device", "audio.volume", "audio.mute", "audio.balance", "audio.mono",
        "audio.input_volume", "audio.profile.42", "audio.stream.70.sink.dd",
        "audio.stream.70.volume.sl", "audio.stream.70.muted.tg", "audio.stream.74.sink.dd"}) {
    EXPECT_TRUE(s.has(id)) << id;
  }
  // One source: no choice to make.
  EXPECT_FALSE(s.has("audio.input_device"));
  EXPECT_EQ(s.label("settings.audio.advanced"), "Test speakers…");
  EXPECT_FALSE(s.has("settings.audio.test.left"));
  EXPECT_EQ(s.label("settings.audio.mic_test"), "Test microphone");
  EXPECT_THAT(texts, Contains("Microphone test records no audio"));
  EXPECT_THAT(texts, Contains("Headphones codec"));
  EXPECT_THAT(texts, Contains("AAC"));
  EXPECT_THAT(texts, Contains("PipeWire device profile"));
  EXPECT_THAT(texts, Contains("Evening news"));
  auto& profiles = dynamic_cast<w::Dropdown&>(*s.harness.find("audio.profile.42"));
  EXPECT_THAT(profiles.options(), ElementsAre("Off", "Duplex", "Output"));
  EXPECT_EQ(profiles.selected(), "Duplex");
  auto& route = dynamic_cast<w::Dropdown&>(*s.harness.find("audio.stream.70.sink.dd"));
  EXPECT_THAT(route.options(), ElementsAre("Default", "Speakers", "Headphones"));
  EXPECT_EQ(route.selected(), "Default");
  auto& output = dynamic_cast<w::Dropdown&>(*s.harness.find("audio.output_device"));
  EXPECT_EQ(output.selected(), "Speakers");
}

TEST(AudioPageTest, OneMonoSinkWithoutStreams) {
  Shown s([](Fakes& f) { f.enumerator->graph = testing::one_mono_sink(); });
  const auto texts = s.texts();
  for (const char* id : {"audio.output_device", "audio.balance", "audio.mono",
                         "settings.audio.advanced", "audio.input_device"}) {
    EXPECT_FALSE(s.has(id)) << id;
  }
  for (const char* id : {"audio.volume", "audio.mute", "audio.input_volume"})
    EXPECT_TRUE(s.has(id)) << id;
  EXPECT_THAT(texts, Contains("No applications are playing audio."));
  EXPECT_THAT(texts, Contains("No applications are recording."));
  EXPECT_THAT(texts, Not(Contains("Device capabilities")));
}

TEST(AudioPageTest, CapabilitiesTheRuntimeLacksHaveNoRows) {
  Shown s([](Fakes& f) {
    f.runtime->offered = {};
    // A card with a single selectable profile, and no codec anywhere.
    auto& card = f.enumerator->graph.devices[0];
    card.profiles = {{"Duplex", 1, true}, {"HDMI", 3, false}};
    f.enumerator->graph.sinks[1].codec.reset();
  });
  for (const char* id : {"audio.balance", "audio.mono", "settings.audio.advanced",
                         "settings.audio.mic_test", "audio.profile.42"}) {
    EXPECT_FALSE(s.has(id)) << id;
  }
  EXPECT_THAT(s.texts(), Not(Contains("Device capabilities")));
}

TEST(AudioPageTest, TheMeterShowsItsLevelWhileItRuns) {
  Shown s;
  s.request(Op::ToggleMicrophoneMeter{});
  s.fakes.runtime->meter->level = 0.37f;
  s.harness.frames(2);
  EXPECT_THAT(s.texts(), Contains("Input activity: 37%"));
  EXPECT_EQ(s.label("settings.audio.mic_test"), "Stop test");
  s.fakes.runtime->meter->running = false;
  s.harness.frames(2);
  EXPECT_THAT(s.texts(), Contains("Microphone test records no audio"));
  EXPECT_THAT(s.texts(), Contains("Microphone test finished; no audio was saved."));
  EXPECT_EQ(s.label("settings.audio.mic_test"), "Test microphone");
}

TEST(AudioPageTest, TheSpeakerTestShowsItsChannels) {
  Shown s;
  s.request(Op::ToggleDiagnostics{});
  EXPECT_EQ(s.label("settings.audio.advanced"), "Hide speaker test");
  EXPECT_EQ(s.label("settings.audio.test.left"), "Left");
  EXPECT_EQ(s.label("settings.audio.test.right"), "Right");
  EXPECT_THAT(s.texts(), Contains("Plays a short, quiet tone only on the selected channel. Tests "
                                  "stop automatically."));
  s.request(Op::TestChannel{true});
  EXPECT_THAT(s.texts(), Contains("Playing a short left-channel tone…"));
}

TEST(AudioPageTest, ControlsAreBoundToTheSoundSection) {
  Shown s;
  const std::pair<std::string_view, std::string_view> cases[] = {
      {"audio.output_device", "settings.section:sound output-device"},
      {"audio.volume", "settings.section:sound volume"},
      {"audio.mute", "settings.section:sound muted"},
      {"audio.balance", "settings.section:sound balance"},
      {"audio.mono", "settings.section:sound mono"},
      {"settings.audio.advanced", "settings.section:sound diagnostics"},
      {"audio.input_volume", "settings.section:sound input-volume"},
      {"settings.audio.mic_test", "settings.section:sound microphone-meter"},
      {"audio.profile.42", "settings.audio-device:42 profile"},
      {"audio.stream.70.sink.dd", "settings.audio-playback:70 route"},
      {"audio.stream.70.volume.sl", "settings.audio-playback:70 volume"},
      {"audio.stream.74.muted.tg", "settings.audio-recording:74 muted"},
  };
  for (const auto& [id, expected] : cases) EXPECT_EQ(s.bound_to(id), expected) << id;
  // A press is recorded as the action's invocation, which the frame's replay
  // takes.
  ASSERT_TRUE(s.harness.click_id("settings.audio.advanced"));
  auto replayed = s.harness.take_replayed();
  ASSERT_EQ(replayed.size(), 1u);
  EXPECT_EQ(replayed[0].invocation.resource_id, "settings.section:sound");
  EXPECT_EQ(replayed[0].invocation.action, "diagnostics");
  ASSERT_TRUE(s.harness.click_id("audio.stream.74.muted.tg"));
  replayed = s.harness.take_replayed();
  ASSERT_EQ(replayed.size(), 1u);
  EXPECT_EQ(replayed[0].invocation.resource_id, "settings.audio-recording:74");
  EXPECT_EQ(replayed[0].invocation.action, "muted");
}

TEST(AudioPageTest, ControlsShowTheDocumentsValues) {
  Shown s;
  s.request(Op::SetStreamMuted{70, true});
  s.request(Op::RouteStream{70, true, 58});
  EXPECT_TRUE(dynamic_cast<w::Toggle&>(*s.harness.find("audio.stream.70.muted.tg")).value());
  EXPECT_EQ(dynamic_cast<w::Dropdown&>(*s.harness.find("audio.stream.70.sink.dd")).selected(),
            "Headphones");
}

}  // namespace
}  // namespace settings::panes::audio
