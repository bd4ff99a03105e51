#pragma once

// The Sound pane (Pane::kSound, "sound"): the output and input devices and levels,
// balance and mono output, the speaker and microphone tests, the hardware
// profiles and every application's stream with its route, volume and mute.
// It is also the pane that carries out every "settings.audio-operation" the
// executor hands over (request tag 4).
//
// Built afresh each time the pane is selected, it reads the output volume,
// the saved audio preferences, the audio graph and the runtime's
// capabilities, applies the preferred devices, and asks its wpctl worker
// (workers.h) for the input level and the listing; until they answer it
// holds 0.75 and the graph's listing. On every frame `sync`, in order:
//   1. takes the worker's answers (a device switch or an input level is
//      finished when its answer comes back);
//   2. polls the running speaker test and microphone meter;
//   3. takes the graph its watcher (graph_watcher.h) sent when the graph's
//      topology changed on the device (streams that went are forgotten,
//      tests stopped, the page rebuilt, routes and profiles that changed
//      elsewhere written); a quiet device sends nothing and costs no frame;
//   4. publishes the model into its document once;
//   5. takes an audio request: one naming what the graph no longer holds
//      fails at once, one already in place succeeds at once ("Audio setting
//      is already in place."), any other is written under its control id;
//   6. runs the handlers (operations.cpp): each compares its control id with
//      the model, checks the change is the pending operation (while the pane
//      reports to the application), applies it and completes it once; a
//      value that is not the pending operation's is written back;
//   7. syncs the page.
//
// Hosted by the application (given its request cell), the pane works on a
// document of its own; alone (in tests) on the document it is given.

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "kalu_ui/document.h"
#include "kalu_ui/instant.h"
#include "lib/page_pane.h"
#include "media_kit/audio.h"
#include "media_kit/runtime.h"
#include "operations/link.h"
#include "operations/records.h"
#include "panes/audio/graph_watcher.h"
#include "panes/audio/model.h"
#include "panes/audio/services.h"
#include "panes/audio/tool.h"
#include "panes/audio/workers.h"
#include "stored/sections.h"
#include "vocabulary/registry.h"

namespace settings::panes::audio {

// How long the microphone meter listens.
inline constexpr std::chrono::seconds kMeterLength{8};

// What an operation came to: its success message, or its failure's.
using Outcome = kalu_ui::Result<std::string>;

class AudioPane final : public lib::PagePane,
                        public operations::WithOperationLink<AudioPane, AudioOperation> {
 public:
  static constexpr std::string_view kTypeName = pane_row(Pane::kSound).type_name;

  // On the device's own services.
  AudioPane();
  explicit AudioPane(AudioDependencies dependencies);
  ~AudioPane() override;
  AudioPane(AudioPane&&) noexcept;
  AudioPane& operator=(AudioPane&&) noexcept;

  // Whether a change to `record` may go ahead: always for a pane that does
  // not report; otherwise only when the completion cell holds Pending with
  // that operation's key (numbers compared as 32-bit floats, a playback or
  // recording route as the stream's route).
  bool operation_allowed(const AudioOperation& record) const;
  // Completes the pending operation under its own key when it is `record`
  // as operation_allowed compares them; otherwise the message is dropped.
  void complete_matching(const AudioOperation& record, const Outcome& outcome);

  // ---- State, for the page and the tests ----
  const WpctlStatus& status() const { return status_; }
  const media_kit::AudioGraph& graph() const { return graph_; }
  const std::optional<std::string>& status_text() const { return status_text_; }
  const std::optional<std::string>& default_sink_name() const { return default_sink_name_; }
  const std::optional<std::string>& default_source_name() const { return default_source_name_; }
  const StreamMemory& streams() const { return streams_; }
  const std::map<std::uint32_t, std::string>& profile_labels() const { return profile_labels_; }
  const media_kit::RuntimeCapabilities& capabilities() const { return capabilities_; }
  float output_volume() const { return applied_output_volume_; }
  float input_level() const { return applied_input_level_; }
  bool muted() const { return muted_; }
  float balance() const { return balance_; }
  bool mono() const { return mono_; }
  float meter_level() const { return meter_level_; }
  bool diagnostics_shown() const { return diagnostics_shown_; }
  bool speaker_test_running() const { return speaker_test_ != nullptr; }
  bool meter_running() const { return microphone_meter_ != nullptr; }
  // A device switch or an input level is out with the worker.
  bool tool_busy() const { return default_in_flight_ || level_in_flight_; }

  // ---- The widget contract ----
  std::string_view type_name() const override { return kTypeName; }
  void sync(kalu_ui::doc::Document& document) override;
  kalu_ui::layout::NodeId build_layout(kalu_ui::layout::LayoutTree& tree,
                                       const kalu_ui::RenderContext& context,
                                       kalu_ui::layout::NodeRegistry& registry) override;
  // Soon while a test runs or the tool worker is busy; none otherwise (the
  // workers' answers wake the loop).
  std::optional<kalu_ui::Instant> own_wake_deadline() const override;

 private:
  // A device switch out with the worker.
  struct DefaultInFlight {
    std::uint64_t ticket = 0;
    AudioOperation record;
    bool output = true;
    std::string name;
  };
  // An input level out with the worker.
  struct LevelInFlight {
    std::uint64_t ticket = 0;
    AudioOperation record;
    float value = 0.0f;
  };

  // ---- sync's steps (audio_pane.cpp) ----
  void take_tool_answers(kalu_ui::doc::Document& document);
  void poll_tests();
  void refresh_topology(kalu_ui::doc::Document& document);
  void push_model(kalu_ui::doc::Document& document);
  void take_request(kalu_ui::doc::Document& document);
  void apply_preferred_devices();
  void set_default_names(kalu_ui::doc::Document* document);

  // ---- The handlers (operations.cpp) ----
  void run_handlers(kalu_ui::doc::Document& document);
  void apply_output_volume(kalu_ui::doc::Document& document);
  void apply_input_level(kalu_ui::doc::Document& document);
  void apply_mute(kalu_ui::doc::Document& document);
  void apply_balance(kalu_ui::doc::Document& document);
  void apply_mono(kalu_ui::doc::Document& document);
  void apply_diagnostics(kalu_ui::doc::Document& document);
  void apply_channel_test(kalu_ui::doc::Document& document, bool left);
  void apply_microphone_test(kalu_ui::doc::Document& document);
  void apply_default_device(kalu_ui::doc::Document& document, bool output);
  void apply_streams(kalu_ui::doc::Document& document);
  void apply_profiles(kalu_ui::doc::Document& document);
  // Streams seen for the first time: their three control ids written, nothing
  // sent to the graph.
  void see_new_streams(kalu_ui::doc::Document& document);
  void apply_stream(kalu_ui::doc::Document& document, const media_kit::AudioStream& stream);
  // After a topology change: routes and profiles changed elsewhere.
  void follow_graph(kalu_ui::doc::Document& document);
  void finish_default(kalu_ui::doc::Document& document, const DefaultSet& answer);
  void finish_level(kalu_ui::doc::Document& document, const SourceVolumeSet& answer);
  kalu_ui::Status save_pref(const std::function<void(stored::AudioPrefs&)>& edit);
  void set_status_text(std::string text);
  AppliedValues applied_values() const;

  AudioDependencies deps_;
  std::unique_ptr<AudioToolWorker> worker_;
  std::unique_ptr<GraphWatcher> graph_watcher_;
  WpctlStatus status_;
  media_kit::AudioGraph graph_;
  std::optional<std::string> status_text_;
  stored::AudioPrefs prefs_;
  std::optional<std::string> default_sink_name_;
  std::optional<std::string> default_source_name_;
  StreamMemory streams_;
  std::map<std::uint32_t, std::string> profile_labels_;
  std::unique_ptr<media_kit::ChannelTest> speaker_test_;
  std::unique_ptr<media_kit::MicrophoneMeter> microphone_meter_;
  std::optional<DefaultInFlight> default_in_flight_;
  std::optional<LevelInFlight> level_in_flight_;
  media_kit::RuntimeCapabilities capabilities_;
  float balance_ = 0.5f;
  bool mono_ = false;
  float meter_level_ = 0.0f;
  float output_volume_ = 0.5f;
  float input_level_ = kFallbackInputLevel;
  float applied_output_volume_ = 0.5f;
  float applied_input_level_ = kFallbackInputLevel;
  bool muted_ = false;
  // The listing is the tool's until the graph has a sink or a source.
  bool listing_from_tool_ = false;
  // The constructor's two readings not answered yet.
  int readings_outstanding_ = 2;
  // Ask the watcher for the graph at the next frame (a default device was
  // switched).
  bool refresh_due_ = false;
  bool diagnostics_shown_ = false;
  bool needs_push_ = true;
};

}  // namespace settings::panes::audio
