#include "panes/audio/audio_pane.h"

#include <algorithm>
#include <cmath>
#include <utility>
#include <variant>

#include "kalu_ui/widget/support.h"
#include "panes/audio/page.h"

namespace settings::panes::audio {

namespace {

namespace doc = kalu_ui::doc;
using media_kit::AudioDevice;
using media_kit::AudioGraph;

// The meter's level moves the page only by this much or more.
constexpr float kMeterStep = 0.02f;
// How soon to look again while a test runs or the worker is busy.
constexpr auto kBusyPoll = std::chrono::milliseconds(50);

void put(doc::Document& document, std::string_view key, doc::Scalar value) {
  // A refused write leaves the control showing its last value; nothing to do.
  (void)document.put(doc::kRoot, key, std::move(value));
}

// Marks `id` the default of `devices` when it is there; answers whether it is.
bool make_default(std::vector<AudioDevice>& devices, std::uint32_t id) {
  const bool present = std::ranges::any_of(devices, [&](const auto& d) { return d.id == id; });
  if (!present) return false;
  for (AudioDevice& device : devices) device.is_default = device.id == id;
  return true;
}

}  // namespace

AudioPane::AudioPane() : AudioPane(AudioDependencies{}) {}

AudioPane::AudioPane(AudioDependencies dependencies) : deps_(std::move(dependencies)) {
  deps_.fill_defaults();
  // The tool may take seconds: its reading and listing arrive through the
  // worker, and the pane starts from 0.75 and the graph's listing.
  worker_ = std::make_unique<AudioToolWorker>(deps_.tool);
  (void)worker_->read_input_level();
  (void)worker_->load_status();
  if (auto state = deps_.services->volume_state()) {
    output_volume_ = state->volume;
    muted_ = state->muted;
  }
  applied_output_volume_ = output_volume_;
  prefs_ = deps_.services->load_prefs();
  if (auto graph = deps_.enumerator->enumerate()) graph_ = std::move(*graph);
  capabilities_ = deps_.runtime->capabilities();
  apply_preferred_devices();
  listing_from_tool_ = graph_.sinks.empty() && graph_.sources.empty();
  if (!listing_from_tool_) status_ = WpctlStatus::from_graph(graph_);
  set_default_names(nullptr);
  graph_watcher_ = std::make_unique<GraphWatcher>(deps_.enumerator, deps_.graph_changes,
                                                  graph_.topology_signature());
  balance_ = std::clamp(prefs_.balance, 0.0f, 1.0f);
  mono_ = prefs_.mono_output;
}

AudioPane::~AudioPane() = default;
AudioPane::AudioPane(AudioPane&&) noexcept = default;
AudioPane& AudioPane::operator=(AudioPane&&) noexcept = default;

void AudioPane::apply_preferred_devices() {
  // A saved device that is gone leaves the default as it is; a failure to
  // switch is not worth more than that.
  if (prefs_.output_device) {
    auto sink = std::ranges::find(graph_.sinks, *prefs_.output_device, &AudioDevice::display_name);
    if (sink != graph_.sinks.end() && deps_.graph_control->set_default_sink(sink->id)) {
      make_default(graph_.sinks, sink->id);
    }
  }
  if (prefs_.input_device) {
    auto source =
        std::ranges::find(graph_.sources, *prefs_.input_device, &AudioDevice::display_name);
    if (source != graph_.sources.end() && deps_.graph_control->set_default_source(source->id)) {
      make_default(graph_.sources, source->id);
    }
  }
}

void AudioPane::set_default_names(doc::Document* document) {
  auto sink = status_.default_sink_name();
  auto source = status_.default_source_name();
  // Written only where the device changed under the document, so a default
  // switched elsewhere never meets a stale value.
  if (document != nullptr && !default_in_flight_) {
    if (sink && sink != default_sink_name_) put(*document, kOutputDeviceKey, *sink);
    if (source && source != default_source_name_) put(*document, kInputDeviceKey, *source);
  }
  default_sink_name_ = std::move(sink);
  default_source_name_ = std::move(source);
}

// ---- sync ----------------------------------------------------------------------

void AudioPane::sync(doc::Document& toolkit_document) {
  doc::Document& document = link_.working(toolkit_document);
  take_tool_answers(document);
  poll_tests();
  refresh_topology(document);
  if (needs_push_) push_model(document);
  take_request(document);
  run_handlers(document);
  PagePane::sync(document);
}

void AudioPane::take_tool_answers(doc::Document& document) {
  while (std::optional<ToolReply> reply = worker_->try_take()) {
    std::visit(
        [&](const auto& answer) {
          using T = std::decay_t<decltype(answer)>;
          if constexpr (std::is_same_v<T, InputLevelRead>) {
            --readings_outstanding_;
            // A level being set answers for itself.
            if (level_in_flight_) return;
            input_level_ = applied_input_level_ = answer.level;
            if (!needs_push_) put(document, kInputVolumeKey, static_cast<double>(answer.level));
          } else if constexpr (std::is_same_v<T, StatusLoaded>) {
            --readings_outstanding_;
            // The graph's listing wins; the tool's serves only a graph that
            // could not be read.
            if (!listing_from_tool_) return;
            status_ = answer.status;
            set_default_names(needs_push_ ? nullptr : &document);
            request_rebuild();
          } else if constexpr (std::is_same_v<T, DefaultSet>) {
            if (default_in_flight_ && default_in_flight_->ticket == reply->ticket) {
              finish_default(document, answer);
            }
          } else if constexpr (std::is_same_v<T, SourceVolumeSet>) {
            if (level_in_flight_ && level_in_flight_->ticket == reply->ticket) {
              finish_level(document, answer);
            }
          }
        },
        reply->answer);
  }
}

void AudioPane::poll_tests() {
  if (speaker_test_ && !speaker_test_->running()) {
    speaker_test_.reset();
    set_status_text("Speaker test finished.");
  }
  if (!microphone_meter_) return;
  const float level = microphone_meter_->level();
  if (std::fabs(level - meter_level_) >= kMeterStep) {
    meter_level_ = level;
    request_rebuild();
  }
  if (!microphone_meter_->running()) {
    microphone_meter_.reset();
    set_status_text("Microphone test finished; no audio was saved.");
  }
}

void AudioPane::refresh_topology(doc::Document& document) {
  if (std::exchange(refresh_due_, false)) graph_watcher_->read_now();
  auto fresh = graph_watcher_->try_take();
  if (!fresh || fresh->topology_signature() == graph_.topology_signature()) return;
  streams_.keep_only(*fresh);
  // Tests on a device that may be gone stop without a word.
  speaker_test_.reset();
  microphone_meter_.reset();
  graph_ = std::move(*fresh);
  listing_from_tool_ = graph_.sinks.empty() && graph_.sources.empty();
  if (!listing_from_tool_) status_ = WpctlStatus::from_graph(graph_);
  set_default_names(needs_push_ ? nullptr : &document);
  if (!needs_push_) follow_graph(document);
  // The page's rows name the graph as it was: they go at once, and the
  // next layout builds the page anew.
  set_page(nullptr);
  request_rebuild();
}

void AudioPane::push_model(doc::Document& document) {
  put(document, kVolumeKey, static_cast<double>(output_volume_));
  put(document, kMutedKey, muted_);
  put(document, kBalanceKey, static_cast<double>(balance_));
  put(document, kMonoKey, mono_);
  for (std::string_view trigger : {kAdvancedKey, kTestLeftKey, kTestRightKey, kMicTestKey}) {
    put(document, trigger, false);
  }
  put(document, kInputVolumeKey, static_cast<double>(input_level_));
  if (default_sink_name_) put(document, kOutputDeviceKey, *default_sink_name_);
  if (default_source_name_) put(document, kInputDeviceKey, *default_source_name_);
  for (const media_kit::AudioHardware& hardware : graph_.devices) {
    if (auto name = active_profile_name(hardware)) {
      put(document, device_profile_key(hardware.id), *name);
      profile_labels_[hardware.id] = *name;
    }
  }
  needs_push_ = false;
}

void AudioPane::take_request(doc::Document& document) {
  // Another pane's request stays in the cell for its pane.
  const std::optional<AudioOperation> taken = link_.take();
  if (!taken) return;
  const AudioOperation& operation = *taken;
  // A stream met for the first time takes its values from the graph before
  // the request is written, or the first sight would overwrite it.
  see_new_streams(document);
  auto write = document_write(operation, graph_);
  if (!write) {
    complete_matching(operation, kalu_ui::fail(write.error()));
    return;
  }
  if (already_in_place(*write, applied_values(), streams_, profile_labels_)) {
    complete_matching(operation, std::string(kAlreadyInPlace));
    return;
  }
  std::visit([&](const auto& value) { put(document, write->key, value); }, write->value);
  run_handlers(document);
  // A handler that found nothing to do (the listing and the graph disagree
  // on a name) must not leave the operation waiting.
  if (!tool_busy()) {
    complete_matching(operation, kalu_ui::fail("Audio setting could not be applied."));
  }
}

AppliedValues AudioPane::applied_values() const {
  return AppliedValues{
      applied_output_volume_, muted_, applied_input_level_, balance_, mono_, default_sink_name_,
      default_source_name_};
}

// ---- the widget ------------------------------------------------------------------

kalu_ui::layout::NodeId AudioPane::build_layout(kalu_ui::layout::LayoutTree& tree,
                                                const kalu_ui::RenderContext& context,
                                                kalu_ui::layout::NodeRegistry& registry) {
  // A pane laid out before its first sync (a new UI scale) publishes its
  // model now, so the first page already shows it.
  if (link_.hosted() && needs_push_) push_model(link_.own_document());
  PageModel model;
  model.status = &status_;
  model.graph = &graph_;
  model.capabilities = capabilities_;
  model.status_text = status_text_;
  model.diagnostics_shown = diagnostics_shown_;
  model.meter_running = microphone_meter_ != nullptr;
  model.meter_level = meter_level_;
  model.output_volume = applied_output_volume_;
  model.balance = balance_;
  model.input_level = applied_input_level_;
  kalu_ui::WidgetBox page = build_page(model);
  // Hosted, the document is at hand: the new controls show its values at
  // once; otherwise the next frame's sync brings them.
  if (link_.hosted()) page->sync(link_.own_document());
  return lay_out_page(tree, context, registry, std::move(page));
}

std::optional<kalu_ui::Instant> AudioPane::own_wake_deadline() const {
  if (refresh_due_ || speaker_test_ || microphone_meter_ || tool_busy() ||
      readings_outstanding_ > 0) {
    return deps_.services->now() + kBusyPoll;
  }
  return std::nullopt;
}

}  // namespace settings::panes::audio
