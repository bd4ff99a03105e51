// The Sound pane's handlers: each reads its control id from the working
// document, does nothing when it equals the model (levels within 0.001 as
// 32-bit floats), rebuilds the operation record from the value, passes the
// gate (operation_allowed), applies the change and completes the operation
// once. A refused or failed change writes the model's value back, so the
// control shows the real state.

#include <fmt/format.h>

#include <algorithm>
#include <utility>

#include "actions/doc_readers.h"
#include "kalu_ui/log.h"
#include "panes/audio/audio_pane.h"

namespace settings::panes::audio {

namespace {

namespace doc = kalu_ui::doc;
using media_kit::AudioDevice;
using media_kit::AudioStream;
using Op = AudioOperation;

constexpr std::string_view kTarget = "kalu::settings";
constexpr std::string_view kModule = "settings::panes::audio";

void put(doc::Document& document, std::string_view key, doc::Scalar value) {
  (void)document.put(doc::kRoot, key, std::move(value));
}

std::optional<double> number(const doc::Document& d, std::string_view key) {
  return actions::read_doc_f64(d, doc::kRoot, key);
}
std::optional<bool> flag(const doc::Document& d, std::string_view key) {
  return actions::read_doc_bool(d, doc::kRoot, key);
}
std::optional<std::string> text(const doc::Document& d, std::string_view key) {
  return actions::read_doc_text(d, doc::kRoot, key);
}

float as_float(double value) { return static_cast<float>(narrowed(value)); }
float unit(float value) { return std::clamp(value, 0.0f, 1.0f); }

void warn(std::string_view message, std::string_view op, std::string_view error,
          std::vector<kalu_ui::log::Field> more = {}) {
  std::vector<kalu_ui::log::Field> fields{{"op", std::string(op)}, {"error", std::string(error)}};
  for (auto& field : more) fields.push_back(std::move(field));
  kalu_ui::log::warn(kTarget, kModule, message, std::move(fields));
}

// A one-shot trigger: true for the frame that asks; written false at once.
bool take_trigger(doc::Document& document, std::string_view key) {
  if (flag(document, key) != true) return false;
  put(document, key, false);
  return true;
}

const AudioDevice* device_named(const std::vector<AudioDevice>& devices, std::string_view name) {
  auto found = std::ranges::find(devices, name, &AudioDevice::display_name);
  return found == devices.end() ? nullptr : &*found;
}

}  // namespace

bool AudioPane::operation_allowed(const AudioOperation& record) const {
  if (!link_.reporting()) return true;
  const std::optional<std::string> key = link_.pending_key();
  return key && pending_key_matches(*key, record);
}

void AudioPane::complete_matching(const AudioOperation& record, const Outcome& outcome) {
  // Published under the pending key itself: the executor keyed the record
  // as the client sent it, which may differ from the rebuilt one.
  const std::optional<std::string> key = link_.pending_key();
  if (key && pending_key_matches(*key, record)) link_.complete(*key, outcome);
}

void AudioPane::set_status_text(std::string text) {
  status_text_ = std::move(text);
  request_rebuild();
}

kalu_ui::Status AudioPane::save_pref(const std::function<void(stored::AudioPrefs&)>& edit) {
  kalu_ui::Status saved = deps_.services->save_prefs(edit);
  if (saved) {
    edit(prefs_);
  } else {
    warn("failed to persist audio prefs", "audio_prefs_save", saved.error());
  }
  return saved;
}

void AudioPane::run_handlers(doc::Document& document) {
  apply_output_volume(document);
  apply_input_level(document);
  apply_mute(document);
  apply_balance(document);
  apply_mono(document);
  apply_diagnostics(document);
  apply_channel_test(document, true);
  apply_channel_test(document, false);
  apply_microphone_test(document);
  apply_default_device(document, true);
  apply_default_device(document, false);
  apply_streams(document);
  apply_profiles(document);
}

// ---- Output volume, input level, mute ----

void AudioPane::apply_output_volume(doc::Document& document) {
  const auto value = number(document, kVolumeKey);
  if (!value || same_level(*value, applied_output_volume_)) return;
  const float v = as_float(*value);
  const AudioOperation record = Op::SetOutputVolume{v};
  if (!operation_allowed(record)) {
    put(document, kVolumeKey, static_cast<double>(applied_output_volume_));
    return;
  }
  if (auto set = deps_.dispatcher->set_volume(unit(v) * 100.0f); !set) {
    put(document, kVolumeKey, static_cast<double>(applied_output_volume_));
    set_status_text(fmt::format("Volume could not be changed: {}", set.error()));
    warn("audio pane dispatch failed", "set_volume", set.error());
    complete_matching(record, kalu_ui::fail("Output volume could not be changed: {}", set.error()));
    return;
  }
  applied_output_volume_ = v;
  complete_matching(record, fmt::format("Output volume set to {}%.", percent_of(v)));
}

void AudioPane::apply_input_level(doc::Document& document) {
  // One level at a time: the next is read once this one has come back.
  if (level_in_flight_) return;
  const auto value = number(document, kInputVolumeKey);
  if (!value || same_level(*value, applied_input_level_)) return;
  const float v = as_float(*value);
  const AudioOperation record = Op::SetInputVolume{v};
  if (!operation_allowed(record)) {
    put(document, kInputVolumeKey, static_cast<double>(applied_input_level_));
    return;
  }
  const std::uint64_t ticket = worker_->set_source_volume(unit(v) * 100.0f);
  level_in_flight_ = LevelInFlight{ticket, record, v};
}

void AudioPane::finish_level(doc::Document& document, const SourceVolumeSet& answer) {
  const LevelInFlight sent = *std::exchange(level_in_flight_, std::nullopt);
  if (!answer.outcome) {
    put(document, kInputVolumeKey, static_cast<double>(applied_input_level_));
    std::string message =
        fmt::format("Input level could not be changed: {}", answer.outcome.error());
    set_status_text(message);
    warn("audio pane dispatch failed", "set_input_volume", answer.outcome.error());
    complete_matching(sent.record, kalu_ui::fail(std::move(message)));
    return;
  }
  input_level_ = applied_input_level_ = sent.value;
  complete_matching(sent.record, fmt::format("Input level set to {}%.", percent_of(sent.value)));
}

void AudioPane::apply_mute(doc::Document& document) {
  const auto value = flag(document, kMutedKey);
  if (!value || *value == muted_) return;
  const AudioOperation record = Op::SetOutputMuted{*value};
  if (!operation_allowed(record)) {
    put(document, kMutedKey, muted_);
    return;
  }
  if (auto set = deps_.dispatcher->set_mute(*value); !set) {
    put(document, kMutedKey, muted_);
    set_status_text(fmt::format("Mute could not be changed: {}", set.error()));
    warn("audio pane dispatch failed", "set_mute", set.error());
    complete_matching(record, kalu_ui::fail("Output mute could not be changed: {}", set.error()));
    return;
  }
  muted_ = *value;
  complete_matching(record, std::string(muted_ ? "Output muted." : "Output unmuted."));
}

// ---- Balance and mono: preferences only ----

void AudioPane::apply_balance(doc::Document& document) {
  const auto value = number(document, kBalanceKey);
  if (!value || same_level(*value, balance_)) return;
  const float v = unit(as_float(*value));
  const AudioOperation record = Op::SetBalance{v};
  if (!operation_allowed(record)) {
    put(document, kBalanceKey, static_cast<double>(balance_));
    return;
  }
  if (auto saved = save_pref([v](stored::AudioPrefs& p) { p.balance = v; }); !saved) {
    put(document, kBalanceKey, static_cast<double>(balance_));
    complete_matching(record,
                      kalu_ui::fail("Audio preference could not be saved: {}", saved.error()));
    return;
  }
  balance_ = v;
  complete_matching(record, fmt::format("Output balance set to {}%.", percent_of(v)));
}

void AudioPane::apply_mono(doc::Document& document) {
  const auto value = flag(document, kMonoKey);
  if (!value || *value == mono_) return;
  const bool on = *value;
  const AudioOperation record = Op::SetMono{on};
  if (!operation_allowed(record)) {
    put(document, kMonoKey, mono_);
    return;
  }
  if (auto saved = save_pref([on](stored::AudioPrefs& p) { p.mono_output = on; }); !saved) {
    put(document, kMonoKey, mono_);
    complete_matching(record,
                      kalu_ui::fail("Audio preference could not be saved: {}", saved.error()));
    return;
  }
  mono_ = on;
  set_status_text(on ? "Mono output is active for this desktop session."
                     : "Mono output is off; the physical output is restored.");
  complete_matching(record, std::string(on ? "Mono output enabled." : "Mono output disabled."));
}

// ---- The speaker and microphone tests ----

void AudioPane::apply_diagnostics(doc::Document& document) {
  if (!take_trigger(document, kAdvancedKey)) return;
  const AudioOperation record = Op::ToggleDiagnostics{};
  if (!operation_allowed(record)) return;
  diagnostics_shown_ = !diagnostics_shown_;
  if (!diagnostics_shown_) speaker_test_.reset();
  request_rebuild();
  complete_matching(record, std::string(diagnostics_shown_ ? "Speaker diagnostics shown."
                                                           : "Speaker diagnostics hidden."));
}

void AudioPane::apply_channel_test(doc::Document& document, bool left) {
  if (!take_trigger(document, left ? kTestLeftKey : kTestRightKey)) return;
  const AudioOperation record = Op::TestChannel{left};
  if (!operation_allowed(record)) return;
  speaker_test_.reset();
  const std::string_view channel = left ? "left" : "right";
  const AudioDevice* sink = graph_.default_sink();
  kalu_ui::Result<std::unique_ptr<media_kit::ChannelTest>> started =
      kalu_ui::fail("Speaker test requires a stereo PipeWire sink");
  if (sink != nullptr && sink->channels == 2) {
    started = deps_.runtime->start_channel_test(sink->node_name, left);
  }
  if (!started) {
    std::string message =
        fmt::format("Could not test the {} speaker: {}", channel, started.error());
    set_status_text(message);
    complete_matching(record, kalu_ui::fail(std::move(message)));
    return;
  }
  speaker_test_ = std::move(*started);
  set_status_text(fmt::format("Playing a short {}-channel tone…", channel));
  complete_matching(record, fmt::format("{} speaker test started.", left ? "Left" : "Right"));
}

void AudioPane::apply_microphone_test(doc::Document& document) {
  if (!take_trigger(document, kMicTestKey)) return;
  const AudioOperation record = Op::ToggleMicrophoneMeter{};
  if (!operation_allowed(record)) return;
  if (microphone_meter_ && microphone_meter_->running()) {
    microphone_meter_.reset();
    std::string message = "Microphone test stopped; no audio was saved.";
    set_status_text(message);
    complete_matching(record, std::move(message));
    return;
  }
  microphone_meter_.reset();
  const AudioDevice* source = graph_.default_source();
  kalu_ui::Result<std::unique_ptr<media_kit::MicrophoneMeter>> started =
      kalu_ui::fail("No PipeWire microphone is available");
  if (source != nullptr) {
    started = deps_.runtime->start_microphone_meter(source->node_name, kMeterLength);
  }
  if (!started) {
    std::string message = fmt::format("Could not test the microphone: {}", started.error());
    set_status_text(message);
    complete_matching(record, kalu_ui::fail(std::move(message)));
    return;
  }
  microphone_meter_ = std::move(*started);
  meter_level_ = 0.0f;
  std::string message = "Microphone level test started for eight seconds.";
  set_status_text(message);
  complete_matching(record, std::move(message));
}

// ---- Default devices, through the worker ----

void AudioPane::apply_default_device(doc::Document& document, bool output) {
  // One switch at a time; the control is read again once it has come back.
  if (default_in_flight_) return;
  const std::string_view key = output ? kOutputDeviceKey : kInputDeviceKey;
  const std::optional<std::string>& current = output ? default_sink_name_ : default_source_name_;
  const auto name = text(document, key);
  if (!name || name == current) return;
  const auto& nodes = output ? status_.sinks : status_.sources;
  auto node = std::ranges::find(nodes, *name, &WpctlNode::name);
  if (node == nodes.end()) return;
  const AudioOperation record = output ? AudioOperation{Op::SelectOutput{node->id}}
                                       : AudioOperation{Op::SelectInput{node->id}};
  if (!operation_allowed(record)) {
    if (current) put(document, key, *current);
    return;
  }
  const std::uint64_t ticket = worker_->set_default(node->id);
  default_in_flight_ = DefaultInFlight{ticket, record, output, *name};
}

void AudioPane::finish_default(doc::Document& document, const DefaultSet& answer) {
  const DefaultInFlight sent = *std::exchange(default_in_flight_, std::nullopt);
  const std::string_view key = sent.output ? kOutputDeviceKey : kInputDeviceKey;
  std::optional<std::string>& current = sent.output ? default_sink_name_ : default_source_name_;
  if (!answer.outcome) {
    if (current) put(document, key, *current);
    std::string message = fmt::format("{} device could not be changed: {}",
                                      sent.output ? "Output" : "Input", answer.outcome.error());
    set_status_text(message);
    warn("audio pane device switch failed", sent.output ? "set_default_sink" : "set_default_source",
         answer.outcome.error());
    complete_matching(sent.record, kalu_ui::fail(std::move(message)));
    return;
  }
  // The switch stands even when the preference cannot be saved.
  (void)save_pref(
      [&](stored::AudioPrefs& p) { (sent.output ? p.output_device : p.input_device) = sent.name; });
  current = sent.name;
  for (WpctlNode& node : sent.output ? status_.sinks : status_.sources) {
    node.is_default = node.id == answer.node_id;
  }
  // The graph shows the new default at its next read; make that the next
  // frame's.
  refresh_due_ = true;
  complete_matching(sent.record, std::string(sent.output ? "Audio output device changed."
                                                         : "Audio input device changed."));
}

// ---- Streams and profiles ----

void AudioPane::see_new_streams(doc::Document& document) {
  for (const auto* streams : {&graph_.playback_streams, &graph_.recording_streams}) {
    for (const AudioStream& stream : *streams) {
      if (streams_.seen.contains(stream.id)) continue;
      std::string label = route_label(graph_, stream);
      const float volume = stream.volume.value_or(1.0f);
      put(document, stream_sink_key(stream.id), label);
      put(document, stream_volume_key(stream.id), static_cast<double>(volume));
      put(document, stream_muted_key(stream.id), stream.muted);
      streams_.routes[stream.id] = std::move(label);
      streams_.volumes[stream.id] = volume;
      streams_.mutes[stream.id] = stream.muted;
      streams_.seen.insert(stream.id);
    }
  }
}

void AudioPane::follow_graph(doc::Document& document) {
  // A route or profile changed elsewhere: the document follows the device.
  for (const auto* streams : {&graph_.playback_streams, &graph_.recording_streams}) {
    for (const AudioStream& stream : *streams) {
      auto remembered = streams_.routes.find(stream.id);
      if (remembered == streams_.routes.end()) continue;
      std::string label = route_label(graph_, stream);
      if (label == remembered->second) continue;
      put(document, stream_sink_key(stream.id), label);
      remembered->second = std::move(label);
    }
  }
  for (const media_kit::AudioHardware& hardware : graph_.devices) {
    auto name = active_profile_name(hardware);
    if (!name || profile_labels_[hardware.id] == *name) continue;
    put(document, device_profile_key(hardware.id), *name);
    profile_labels_[hardware.id] = *name;
  }
}

void AudioPane::apply_streams(doc::Document& document) {
  see_new_streams(document);
  for (const auto* streams : {&graph_.playback_streams, &graph_.recording_streams}) {
    for (const AudioStream& stream : *streams) apply_stream(document, stream);
  }
}

void AudioPane::apply_stream(doc::Document& document, const AudioStream& stream) {
  const std::uint32_t id = stream.id;
  const std::string id_text = std::to_string(id);
  // Route.
  const std::string sink_key = stream_sink_key(id);
  std::string& route = streams_.routes[id];
  if (auto wanted = text(document, sink_key); wanted && *wanted != route) {
    const AudioDevice* device =
        *wanted == kDefaultRoute
            ? nullptr
            : device_named(stream.playback ? graph_.sinks : graph_.sources, *wanted);
    std::optional<std::uint32_t> device_id;
    if (device != nullptr) device_id = device->id;
    const AudioOperation record = Op::RouteStream{id, stream.playback, device_id};
    kalu_ui::Status changed;
    if (!operation_allowed(record)) {
      put(document, sink_key, route);
    } else if (changed = device_id ? deps_.graph_control->route_stream(id, *device_id)
                                   : deps_.graph_control->unroute_stream(id);
               !changed) {
      put(document, sink_key, route);
      warn("audio pane stream route failed", "route_stream", changed.error(),
           {{"stream", id_text}});
      complete_matching(
          record, kalu_ui::fail("Audio stream route could not be changed: {}", changed.error()));
    } else {
      // A name that matched no device means the default: the control says so.
      route = device != nullptr ? *wanted : std::string(kDefaultRoute);
      if (route != *wanted) put(document, sink_key, route);
      complete_matching(record, std::string("Audio stream route changed."));
    }
  }
  // Volume.
  const std::string volume_key = stream_volume_key(id);
  float& volume = streams_.volumes[id];
  if (auto wanted = number(document, volume_key); wanted && !same_level(*wanted, volume)) {
    const float v = as_float(*wanted);
    const AudioOperation record = Op::SetStreamVolume{id, v};
    if (!operation_allowed(record)) {
      put(document, volume_key, static_cast<double>(volume));
    } else if (auto set = deps_.graph_control->set_node_volume(id, unit(v)); !set) {
      put(document, volume_key, static_cast<double>(volume));
      warn("audio pane stream volume failed", "stream_volume", set.error(), {{"stream", id_text}});
      complete_matching(record,
                        kalu_ui::fail("Audio stream volume could not be changed: {}", set.error()));
    } else {
      volume = v;
      complete_matching(record, std::string("Audio stream volume changed."));
    }
  }
  // Mute.
  const std::string muted_key = stream_muted_key(id);
  bool& muted = streams_.mutes[id];
  if (auto wanted = flag(document, muted_key); wanted && *wanted != muted) {
    const AudioOperation record = Op::SetStreamMuted{id, *wanted};
    if (!operation_allowed(record)) {
      put(document, muted_key, muted);
    } else if (auto set = deps_.graph_control->set_node_mute(id, *wanted); !set) {
      put(document, muted_key, muted);
      warn("audio pane stream mute failed", "stream_mute", set.error(), {{"stream", id_text}});
      complete_matching(record,
                        kalu_ui::fail("Audio stream mute could not be changed: {}", set.error()));
    } else {
      muted = *wanted;
      complete_matching(record, std::string("Audio stream mute changed."));
    }
  }
}

void AudioPane::apply_profiles(doc::Document& document) {
  for (const media_kit::AudioHardware& hardware : graph_.devices) {
    const std::string key = device_profile_key(hardware.id);
    const auto wanted = text(document, key);
    auto remembered = profile_labels_.find(hardware.id);
    const bool known = remembered != profile_labels_.end();
    if (!wanted || (known && remembered->second == *wanted)) continue;
    const auto write_back = [&] {
      if (known) put(document, key, remembered->second);
    };
    const auto index = available_profile_index(hardware, *wanted);
    if (!index) {
      // Not a profile the device can take: the control shows the real one.
      write_back();
      continue;
    }
    const AudioOperation record = Op::SetDeviceProfile{hardware.id, *index};
    if (!operation_allowed(record)) {
      write_back();
      continue;
    }
    if (auto set = deps_.graph_control->set_device_profile(hardware.id, *index); !set) {
      write_back();
      set_status_text(fmt::format("Device profile could not be changed: {}", set.error()));
      warn("audio profile change failed", "set_device_profile", set.error(),
           {{"device", std::to_string(hardware.id)}});
      complete_matching(
          record, kalu_ui::fail("Audio device profile could not be changed: {}", set.error()));
      continue;
    }
    profile_labels_[hardware.id] = *wanted;
    complete_matching(record, std::string("Audio device profile changed."));
  }
}

}  // namespace settings::panes::audio
