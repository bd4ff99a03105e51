#include "panes/audio/page.h"

#include <fmt/format.h>

#include <cmath>
#include <utility>
#include <vector>

#include "actions/sound_section.h"
#include "actions/specs.h"
#include "kalu_ui/widget/button.h"
#include "kalu_ui/widget/dropdown.h"
#include "kalu_ui/widget/row.h"
#include "kalu_ui/widget/slider.h"
#include "kalu_ui/widget/spacer.h"
#include "kalu_ui/widget/support.h"
#include "kalu_ui/widget/toggle.h"
#include "lib/ui_rows.h"
#include "panes/audio/model.h"

namespace settings::panes::audio {

namespace {

namespace w = kalu_ui::widget;
using kalu_actions::ActionBinding;
using kalu_ui::WidgetBox;
using media_kit::AudioDevice;
using media_kit::AudioGraph;
using media_kit::AudioStream;
using ui_rows::WidgetList;

constexpr float kButtonGap = 8.0f;

constexpr std::string_view kMonoCaption =
    "Combines left and right across this desktop session. The session restores the physical "
    "output when you turn it off.";
constexpr std::string_view kSpeakerTestCaption =
    "Plays a short, quiet tone only on the selected channel. Tests stop automatically.";
constexpr std::string_view kMeterCaption =
    "The test reads an eight-second level meter in memory. It never stores audio or routes the "
    "microphone to speakers.";

WidgetBox slider(std::string_view name, std::string key, std::string id, double initial,
                 std::optional<ActionBinding> binding) {
  return boxed(w::Slider(std::move(key), 0.0, 1.0, initial)
                   .with_label(std::string(name))
                   .with_id(std::move(id))
                   .on_action(std::move(binding)));
}

WidgetBox toggle(std::string_view name, std::string key, std::string id,
                 std::optional<ActionBinding> binding) {
  return boxed(w::Toggle(std::string(name), std::move(key))
                   .with_id(std::move(id))
                   .on_action(std::move(binding)));
}

WidgetBox button(std::string text, std::string_view name, std::optional<ActionBinding> binding) {
  return boxed(w::Button(std::move(text)).with_id(std::string(name)).on_action(std::move(binding)));
}

// The widgets in a row, 8 apart, ending in flexible space.
WidgetBox button_row(WidgetList widgets) {
  w::Row row;
  row.with_alignment(w::Alignment::Center);
  for (std::size_t i = 0; i < widgets.size(); ++i) {
    if (i > 0) row.push(ui_rows::gap(kButtonGap));
    row.push(std::move(widgets[i]));
  }
  row.push(w::boxed(w::Spacer()));
  return w::boxed(std::move(row));
}

actions::LabelList labels_of(const std::vector<WpctlNode>& nodes) {
  actions::LabelList labels;
  labels.reserve(nodes.size());
  for (const WpctlNode& node : nodes) labels.emplace_back(node.name, node.id);
  return labels;
}

actions::LabelList labels_of(const std::vector<AudioDevice>& devices) {
  actions::LabelList labels;
  labels.reserve(devices.size());
  for (const AudioDevice& device : devices) labels.emplace_back(device.display_name, device.id);
  return labels;
}

std::vector<std::string> names_of(const actions::LabelList& labels) {
  std::vector<std::string> names;
  names.reserve(labels.size());
  for (const auto& [name, id] : labels) names.push_back(name);
  return names;
}

// The dropdown over the sinks (output) or sources of the listing, shown only
// when there is a choice to make.
void device_row(WidgetList& rows, const std::vector<WpctlNode>& nodes, bool output) {
  if (nodes.size() < 2) return;
  std::string placeholder;
  for (const WpctlNode& node : nodes) {
    if (node.is_default) {
      placeholder = node.name;
      break;
    }
  }
  const actions::LabelList labels = labels_of(nodes);
  const std::string key(output ? kOutputDeviceKey : kInputDeviceKey);
  auto binding =
      actions::audio_device_choice_binding(output ? "output-device" : "input-device", labels);
  rows.push_back(
      ui_rows::setting_row(output ? "Output device" : "Input device",
                           boxed(w::Dropdown(key, names_of(labels), std::move(placeholder))
                                     .with_id(key)
                                     .on_action(std::move(binding)))));
}

void speaker_rows(WidgetList& rows, const PageModel& m, const kalu_actions::Resource& section) {
  const AudioDevice* sink = m.graph->default_sink();
  if (sink == nullptr || sink->channels != 2) return;
  if (m.capabilities.balance) {
    rows.push_back(ui_rows::label_row(
        "Balance",
        slider("settings.audio.balance", std::string(kBalanceKey), std::string(kBalanceKey),
               m.balance, actions::audio_level_binding("balance"))));
  }
  if (m.capabilities.mono_output) {
    rows.push_back(ui_rows::label_row(
        "Mono audio", toggle("settings.audio.mono", std::string(kMonoKey), std::string(kMonoKey),
                             actions::sound_toggle_binding("mono"))));
    rows.push_back(ui_rows::caption(kMonoCaption));
  }
  if (!m.capabilities.channel_test) return;
  WidgetList diagnostics;
  diagnostics.push_back(button(m.diagnostics_shown ? "Hide speaker test" : "Test speakers…",
                               "settings.audio.advanced",
                               actions::bind_unit(section, "diagnostics")));
  rows.push_back(button_row(std::move(diagnostics)));
  if (!m.diagnostics_shown) return;
  WidgetList channels;
  channels.push_back(
      button("Left", "settings.audio.test.left", actions::bind_unit(section, "test-left")));
  channels.push_back(
      button("Right", "settings.audio.test.right", actions::bind_unit(section, "test-right")));
  rows.push_back(button_row(std::move(channels)));
  rows.push_back(ui_rows::caption(kSpeakerTestCaption));
}

WidgetBox output_card(const PageModel& m, const kalu_actions::Resource& section) {
  WidgetList rows;
  device_row(rows, m.status->sinks, true);
  rows.push_back(ui_rows::label_row(
      "Volume", slider("settings.audio.volume", std::string(kVolumeKey), std::string(kVolumeKey),
                       m.output_volume, actions::audio_level_binding("volume"))));
  rows.push_back(
      ui_rows::label_row("Mute", toggle("settings.audio.mute", std::string(kMutedKey), "audio.mute",
                                        actions::sound_toggle_binding("muted"))));
  speaker_rows(rows, m, section);
  if (m.status_text) rows.push_back(ui_rows::caption(*m.status_text));
  return ui_rows::section_card("Output", ui_rows::rows_column(std::move(rows)));
}

WidgetBox input_card(const PageModel& m, const kalu_actions::Resource& section) {
  WidgetList rows;
  device_row(rows, m.status->sources, false);
  rows.push_back(ui_rows::label_row(
      "Input level", slider("settings.audio.input_volume", std::string(kInputVolumeKey),
                            std::string(kInputVolumeKey), m.input_level,
                            actions::audio_level_binding("input-volume"))));
  if (m.capabilities.microphone_meter && m.graph->default_source() != nullptr) {
    rows.push_back(ui_rows::label_row(
        meter_text(m.meter_running, m.meter_level),
        button(m.meter_running ? "Stop test" : "Test microphone", "settings.audio.mic_test",
               actions::bind_unit(section, "microphone-meter"))));
    rows.push_back(ui_rows::caption(kMeterCaption));
  }
  return ui_rows::section_card("Input", ui_rows::rows_column(std::move(rows)));
}

// (name, index) of the hardware's available profiles.
actions::LabelList selectable_profiles(const media_kit::AudioHardware& hardware) {
  actions::LabelList profiles;
  for (const media_kit::DeviceProfile& profile : hardware.profiles) {
    if (profile.available) profiles.emplace_back(profile.name, profile.index);
  }
  return profiles;
}

std::optional<WidgetBox> capabilities_card(const AudioGraph& graph) {
  WidgetList rows;
  for (const media_kit::AudioHardware& hardware : graph.devices) {
    actions::LabelList profiles = selectable_profiles(hardware);
    if (profiles.size() < 2) continue;
    const std::string key = device_profile_key(hardware.id);
    std::string placeholder = active_profile_name(hardware).value_or("Choose a profile");
    auto binding = actions::audio_device_profile_binding(hardware.id, profiles);
    rows.push_back(
        ui_rows::described_row(hardware.name, "PipeWire device profile",
                               boxed(w::Dropdown(key, names_of(profiles), std::move(placeholder))
                                         .with_id(fmt::format("audio.profile.{}", hardware.id))
                                         .on_action(std::move(binding)))));
  }
  for (const AudioDevice& sink : graph.sinks) {
    if (sink.codec) {
      rows.push_back(ui_rows::info_row(fmt::format("{} codec", sink.display_name), *sink.codec));
    }
  }
  if (rows.empty()) return std::nullopt;
  return ui_rows::section_card("Device capabilities", ui_rows::rows_column(std::move(rows)));
}

WidgetBox stream_block(const AudioGraph& graph, const AudioStream& stream,
                       const actions::LabelList& devices) {
  const std::string label = stream.label();
  const std::string sink_key = stream_sink_key(stream.id);
  const std::string volume_key = stream_volume_key(stream.id);
  const std::string muted_key = stream_muted_key(stream.id);
  std::vector<std::string> options{std::string(kDefaultRoute)};
  for (const auto& [name, id] : devices) options.push_back(name);

  WidgetBox route = boxed(
      w::Dropdown(sink_key, std::move(options), route_label(graph, stream))
          .with_id(sink_key + ".dd")
          .on_action(actions::stream_route_binding(stream.id, stream.playback, label, devices)));
  WidgetList rows;
  rows.push_back(stream.media_name
                     ? ui_rows::described_row(stream.app_name, *stream.media_name, std::move(route))
                     : ui_rows::label_row(stream.app_name, std::move(route)));
  rows.push_back(ui_rows::label_row(
      "Volume",
      slider("settings.audio.volume", volume_key, volume_key + ".sl", stream.volume.value_or(1.0f),
             actions::stream_volume_binding(stream.id, stream.playback, label))));
  rows.push_back(ui_rows::label_row(
      "Mute", toggle("settings.audio.mute", muted_key, muted_key + ".tg",
                     actions::stream_mute_binding(stream.id, stream.playback, label))));
  return ui_rows::group_rows_column(stream.app_name, std::move(rows));
}

}  // namespace

std::string meter_text(bool running, float level) {
  if (!running) return "Microphone test records no audio";
  return fmt::format("Input activity: {}%", std::lround(level * 100.0f));
}

WidgetBox stream_routes_section(const AudioGraph& graph, bool playback) {
  const auto& streams = playback ? graph.playback_streams : graph.recording_streams;
  const char* title = playback ? "Applications" : "Recording";
  WidgetList rows;
  if (streams.empty()) {
    rows.push_back(ui_rows::caption(playback ? "No applications are playing audio."
                                             : "No applications are recording."));
    return ui_rows::section_card(title, ui_rows::rows_column(std::move(rows)));
  }
  const actions::LabelList devices = labels_of(playback ? graph.sinks : graph.sources);
  for (const AudioStream& stream : streams) rows.push_back(stream_block(graph, stream, devices));
  return ui_rows::section_card(title, ui_rows::rows_column(std::move(rows)));
}

WidgetBox build_page(const PageModel& m) {
  // The buttons' actions are the section's, built once from the pane's graph.
  const kalu_actions::Resource section = actions::sound_resource(*m.graph);
  WidgetList cards;
  cards.push_back(output_card(m, section));
  cards.push_back(input_card(m, section));
  if (auto card = capabilities_card(*m.graph)) cards.push_back(std::move(*card));
  cards.push_back(stream_routes_section(*m.graph, true));
  cards.push_back(stream_routes_section(*m.graph, false));
  return ui_rows::sections_column(std::move(cards));
}

}  // namespace settings::panes::audio
