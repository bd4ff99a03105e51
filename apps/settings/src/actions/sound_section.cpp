#include "actions/sound_section.h"

#include <algorithm>
#include <array>
#include <utility>
#include <vector>

#include "actions/pane_actions.h"
#include "actions/specs.h"
#include "operations/records.h"

namespace settings::actions {

using kalu_actions::ActionSpec;
using kalu_actions::Resource;
using operations::AudioOperation;

namespace {

using Tags = std::array<std::string_view, 3>;

constexpr std::string_view kSectionId = "settings.section:sound";
constexpr Tags kHardwareTags = {"device-local", "audio", "hardware"};
constexpr Tags kSessionTags = {"device-local", "audio", "session"};
constexpr Tags kDiagnosticTags = {"device-local", "audio", "diagnostic"};
constexpr Tags kDeviceTags = {"device-local", "audio", "live-device"};
constexpr Tags kStreamTags = {"device-local", "audio", "live-stream"};

// ---- The section's switches and levels, each filling its own record ----

struct ToggleRow {
  std::string_view name;
  std::string_view label;
  Tags tags;
  AudioOperation (*make)(bool);
};

constexpr std::array<ToggleRow, 2> kToggleRows = {{
    {"muted", "Set output mute", kHardwareTags,
     [](bool on) { return AudioOperation{AudioOperation::SetOutputMuted{on}}; }},
    {"mono", "Set mono output", kSessionTags,
     [](bool on) { return AudioOperation{AudioOperation::SetMono{on}}; }},
}};

struct LevelRow {
  std::string_view name;
  std::string_view label;
  Tags tags;
  AudioOperation (*make)(double);
};

constexpr std::array<LevelRow, 3> kLevelRows = {{
    {"volume", "Set output volume", kHardwareTags,
     [](double v) { return AudioOperation{AudioOperation::SetOutputVolume{v}}; }},
    {"balance", "Set output balance", kSessionTags,
     [](double v) { return AudioOperation{AudioOperation::SetBalance{v}}; }},
    {"input-volume", "Set input volume", kHardwareTags,
     [](double v) { return AudioOperation{AudioOperation::SetInputVolume{v}}; }},
}};

const ToggleRow* toggle_row(std::string_view name) {
  auto row = std::ranges::find(kToggleRows, name, &ToggleRow::name);
  return row == kToggleRows.end() ? nullptr : &*row;
}

const LevelRow* level_row(std::string_view name) {
  auto row = std::ranges::find(kLevelRows, name, &LevelRow::name);
  return row == kLevelRows.end() ? nullptr : &*row;
}

ActionSpec toggle_spec(const ToggleRow& row) {
  return toggle_operation_spec<AudioOperation>(std::string(row.name), std::string(row.label),
                                               row.make, row.tags);
}

// The number travels as it came; the executor refuses one outside 0 to 1.
ActionSpec level_spec(const LevelRow& row) {
  return level_operation_spec<AudioOperation>(std::string(row.name), std::string(row.label),
                                              row.make, row.tags);
}

// ---- Diagnostics: parameterless ----

struct Diagnostic {
  std::string_view name;
  std::string_view label;
  AudioOperation record;
};

const std::array<Diagnostic, 4>& diagnostics() {
  static const std::array<Diagnostic, 4> table = {{
      {"diagnostics", "Show or hide speaker diagnostics", AudioOperation::ToggleDiagnostics{}},
      {"test-left", "Test left speaker", AudioOperation::TestChannel{true}},
      {"test-right", "Test right speaker", AudioOperation::TestChannel{false}},
      {"microphone-meter", "Start or stop microphone meter",
       AudioOperation::ToggleMicrophoneMeter{}},
  }};
  return table;
}

// ---- Device choices: the chosen label back to its id ----

struct DeviceChoice {
  std::string_view name;
  std::string_view label;
  AudioOperation (*make)(std::uint32_t);
};

constexpr DeviceChoice kOutputChoice = {"output-device", "Set output device", [](std::uint32_t id) {
                                          return AudioOperation{AudioOperation::SelectOutput{id}};
                                        }};
constexpr DeviceChoice kInputChoice = {"input-device", "Set input device", [](std::uint32_t id) {
                                         return AudioOperation{AudioOperation::SelectInput{id}};
                                       }};

std::vector<std::string> labels_of(const LabelList& list) {
  std::vector<std::string> labels;
  labels.reserve(list.size());
  for (const auto& [label, id] : list) labels.push_back(label);
  return labels;
}

ActionSpec device_choice_spec(const DeviceChoice& choice, LabelList devices) {
  std::vector<std::string> labels = labels_of(devices);
  return choice_operation_spec<AudioOperation>(
      std::string(choice.name), std::string(choice.label), std::move(labels),
      [make = choice.make, devices = std::move(devices)](std::string chosen) {
        return make(lookup_label(devices, chosen));
      },
      kDeviceTags);
}

ActionSpec profile_spec(std::uint32_t device_id, LabelList profiles) {
  std::vector<std::string> labels = labels_of(profiles);
  return choice_operation_spec<AudioOperation>(
      "profile", "Set audio device profile", std::move(labels),
      [device_id, profiles = std::move(profiles)](std::string chosen) {
        return AudioOperation{
            AudioOperation::SetDeviceProfile{device_id, lookup_label(profiles, chosen)}};
      },
      kDeviceTags);
}

ActionSpec route_spec(std::uint32_t stream_id, bool playback, LabelList devices) {
  std::vector<std::string> labels;
  labels.reserve(devices.size() + 1);
  labels.emplace_back("Default");
  for (const auto& [label, id] : devices) labels.push_back(label);
  return choice_operation_spec<AudioOperation>(
      "route", "Set audio stream route", std::move(labels),
      [stream_id, playback, devices = std::move(devices)](std::string chosen) {
        return AudioOperation{
            AudioOperation::RouteStream{stream_id, playback, lookup_route(devices, chosen)}};
      },
      kStreamTags);
}

ActionSpec stream_volume_spec(std::uint32_t stream_id) {
  return level_operation_spec<AudioOperation>(
      "volume", "Set audio stream volume",
      [stream_id](double value) {
        return AudioOperation{AudioOperation::SetStreamVolume{stream_id, value}};
      },
      kStreamTags);
}

ActionSpec stream_mute_spec(std::uint32_t stream_id) {
  return toggle_operation_spec<AudioOperation>(
      "muted", "Set audio stream mute",
      [stream_id](bool muted) {
        return AudioOperation{AudioOperation::SetStreamMuted{stream_id, muted}};
      },
      kStreamTags);
}

// (label, id) of the first `limit` devices.
LabelList device_labels(const std::vector<media_kit::AudioDevice>& devices, std::size_t limit) {
  LabelList labels;
  const std::size_t taken = std::min(devices.size(), limit);
  labels.reserve(taken);
  for (std::size_t i = 0; i < taken; ++i) {
    labels.emplace_back(devices[i].display_name, devices[i].id);
  }
  return labels;
}

// (label, index) of the first kMaxChoices available profiles.
LabelList available_profiles(const media_kit::AudioHardware& hardware) {
  LabelList profiles;
  for (const media_kit::DeviceProfile& profile : hardware.profiles) {
    if (!profile.available) continue;
    if (profiles.size() == kMaxChoices) break;
    profiles.emplace_back(profile.name, profile.index);
  }
  return profiles;
}

void add(Resource& resource, std::optional<ActionSpec> spec) {
  if (spec) resource.actions.push_back(std::move(*spec));
}

void add_device_items(Resource& section, const std::vector<media_kit::AudioDevice>& devices,
                      bool output) {
  const std::size_t listed = std::min(devices.size(), kMaxItems);
  for (std::size_t i = 0; i < listed; ++i) {
    const media_kit::AudioDevice& device = devices[i];
    const std::string id = std::to_string(device.id);
    Resource item = output ? Resource::create("settings.audio-output:" + id,
                                              "settings.audio-output", device.display_name)
                           : Resource::create("settings.audio-input:" + id, "settings.audio-input",
                                              device.display_name);
    add(item, output ? audio_operation_spec("select", "Use as output device",
                                            AudioOperation::SelectOutput{device.id}, kDeviceTags)
                     : audio_operation_spec("select", "Use as input device",
                                            AudioOperation::SelectInput{device.id}, kDeviceTags));
    section.children.push_back(std::move(item));
  }
}

void add_hardware_items(Resource& section, const std::vector<media_kit::AudioHardware>& devices) {
  const std::size_t listed = std::min(devices.size(), kMaxItems);
  for (std::size_t i = 0; i < listed; ++i) {
    LabelList profiles = available_profiles(devices[i]);
    if (profiles.empty()) continue;
    const std::uint32_t id = devices[i].id;
    section.children.push_back(Resource::create("settings.audio-device:" + std::to_string(id),
                                                "settings.audio-device", devices[i].name)
                                   .with_action(profile_spec(id, std::move(profiles))));
  }
}

Resource stream_item(const media_kit::AudioStream& stream, const LabelList& targets) {
  return audio_stream_resource(stream.id, stream.playback, stream.label(),
                               route_spec(stream.id, stream.playback, targets))
      .with_action(stream_volume_spec(stream.id))
      .with_action(stream_mute_spec(stream.id));
}

void add_stream_items(Resource& section, const media_kit::AudioGraph& graph) {
  const LabelList sinks = device_labels(graph.sinks, kMaxChoices - 1);
  const LabelList sources = device_labels(graph.sources, kMaxChoices - 1);
  std::size_t listed = 0;
  for (const auto* streams : {&graph.playback_streams, &graph.recording_streams}) {
    for (const media_kit::AudioStream& stream : *streams) {
      if (listed == kMaxItems) return;
      section.children.push_back(stream_item(stream, stream.playback ? sinks : sources));
      ++listed;
    }
  }
}

Resource bare_section() {
  return Resource::create(std::string(kSectionId), std::string(kSectionResourceKind), "Sound");
}

}  // namespace

Resource sound_single_action_section(ActionSpec spec) {
  return bare_section().with_action(std::move(spec));
}

Resource audio_stream_resource(std::uint32_t stream_id, bool playback, std::string label,
                               ActionSpec spec) {
  const std::string id = std::to_string(stream_id);
  Resource stream = playback ? Resource::create("settings.audio-playback:" + id,
                                                "settings.audio-playback", std::move(label))
                             : Resource::create("settings.audio-recording:" + id,
                                                "settings.audio-recording", std::move(label));
  return std::move(stream).with_action(std::move(spec));
}

Resource sound_resource(const media_kit::AudioGraph& graph) {
  Resource section = bare_section();
  section.actions.push_back(toggle_spec(kToggleRows[0]));
  section.actions.push_back(level_spec(kLevelRows[0]));
  section.actions.push_back(level_spec(kLevelRows[1]));
  section.actions.push_back(toggle_spec(kToggleRows[1]));
  section.actions.push_back(level_spec(kLevelRows[2]));
  for (const Diagnostic& row : diagnostics()) {
    add(section, audio_operation_spec(std::string(row.name), std::string(row.label), row.record,
                                      kDiagnosticTags));
  }
  if (!graph.sinks.empty()) {
    section.actions.push_back(
        device_choice_spec(kOutputChoice, device_labels(graph.sinks, kMaxChoices)));
  }
  if (!graph.sources.empty()) {
    section.actions.push_back(
        device_choice_spec(kInputChoice, device_labels(graph.sources, kMaxChoices)));
  }
  add_device_items(section, graph.sinks, true);
  add_device_items(section, graph.sources, false);
  add_hardware_items(section, graph.devices);
  add_stream_items(section, graph);
  return section;
}

Resource sound_resource() {
  // A graph that cannot be read shows as an empty one: the fixed actions only.
  auto graph = media_kit::AudioEnumerator().enumerate();
  return sound_resource(graph ? *graph : media_kit::AudioGraph{});
}

std::optional<kalu_actions::ActionBinding> sound_toggle_binding(std::string_view action_name) {
  const ToggleRow* row = toggle_row(action_name);
  if (row == nullptr) return std::nullopt;
  return bind_toggle(sound_single_action_section(toggle_spec(*row)), action_name);
}

std::optional<kalu_actions::ActionBinding> audio_level_binding(std::string_view action_name) {
  const LevelRow* row = level_row(action_name);
  if (row == nullptr) return std::nullopt;
  return bind_action(sound_single_action_section(level_spec(*row)), action_name,
                     number_arguments());
}

std::optional<kalu_actions::ActionBinding> audio_device_choice_binding(std::string_view action_name,
                                                                       const LabelList& devices) {
  if (devices.empty() || devices.size() > kMaxChoices) return std::nullopt;
  const DeviceChoice* choice = action_name == kOutputChoice.name  ? &kOutputChoice
                               : action_name == kInputChoice.name ? &kInputChoice
                                                                  : nullptr;
  if (choice == nullptr) return std::nullopt;
  return bind_action(sound_single_action_section(device_choice_spec(*choice, devices)), action_name,
                     choice_arguments());
}

std::optional<kalu_actions::ActionBinding> audio_device_profile_binding(std::uint32_t device_id,
                                                                        const LabelList& profiles) {
  if (profiles.empty() || profiles.size() > kMaxChoices) return std::nullopt;
  const std::string id = std::to_string(device_id);
  const Resource device =
      Resource::create("settings.audio-device:" + id, "settings.audio-device", "Audio device " + id)
          .with_action(profile_spec(device_id, profiles));
  return bind_action(device, "profile", choice_arguments());
}

std::optional<kalu_actions::ActionBinding> stream_route_binding(std::uint32_t stream_id,
                                                                bool playback, std::string label,
                                                                const LabelList& devices) {
  if (devices.size() > kMaxChoices - 1) return std::nullopt;
  return bind_action(audio_stream_resource(stream_id, playback, std::move(label),
                                           route_spec(stream_id, playback, devices)),
                     "route", choice_arguments());
}

std::optional<kalu_actions::ActionBinding> stream_volume_binding(std::uint32_t stream_id,
                                                                 bool playback, std::string label) {
  return bind_action(
      audio_stream_resource(stream_id, playback, std::move(label), stream_volume_spec(stream_id)),
      "volume", number_arguments());
}

std::optional<kalu_actions::ActionBinding> stream_mute_binding(std::uint32_t stream_id,
                                                               bool playback, std::string label) {
  return bind_toggle(
      audio_stream_resource(stream_id, playback, std::move(label), stream_mute_spec(stream_id)),
      "muted");
}

std::optional<kalu_actions::ActionBinding> sound_command_binding(std::string_view action_name) {
  return bind_unit(sound_resource(), action_name);
}

}  // namespace settings::actions
