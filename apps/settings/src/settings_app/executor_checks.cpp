#include "settings_app/executor_checks.h"

#include <fmt/format.h>
#include <fmt/ranges.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <initializer_list>
#include <span>
#include <string>
#include <utility>

#include "kalu_actions/action_spec.h"
#include "system_ops/network.h"
#include "system_ops/power.h"
#include "system_ops/printing.h"
#include "vocabulary/display_vocabulary.h"
#include "vocabulary/power_vocabulary.h"
#include "vocabulary/update_schedules.h"

namespace settings::settings_app {
namespace {

using kalu_ui::fail;
using kalu_ui::Status;
namespace op = operations;

// A label matches only byte for byte.
bool one_of(std::string_view text, std::span<const std::string_view> labels) {
  return std::ranges::find(labels, text) != labels.end();
}

// Finite and within 0 to 1, both ends included (NaN fails every comparison).
bool unit_range(double value) { return std::isfinite(value) && value >= 0.0 && value <= 1.0; }

Status refuse_unless(bool ok, std::string_view message) {
  if (ok) return {};
  return fail(std::string(message));
}

// "unsupported power profile "power-saver"; profile must be one of Power
// Saver, Balanced, Performance": what was refused, the record's field and
// what it takes.
Status refuse_unless_one_of(std::string_view text, std::span<const std::string_view> labels,
                            std::string_view what, std::string_view field) {
  if (one_of(text, labels)) return {};
  return fail("unsupported {} \"{}\"; {} must be one of {}", what, kalu_actions::echo_text(text),
              field, fmt::join(labels, ", "));
}
Status refuse_unless_one_of(std::string_view text, std::initializer_list<std::string_view> labels,
                            std::string_view what, std::string_view field) {
  return refuse_unless_one_of(text, std::span(labels.begin(), labels.size()), what, field);
}

// ---- Displays ---------------------------------------------------------------

constexpr std::array<std::string_view, 5> kScaleLabels = {"100%", "125%", "150%", "175%", "200%"};
// Position and mirror labels are made of output names; longer ones are not ours.
constexpr std::size_t kMaxDisplayLabel = 160;

// The connector a variant names, if it names one.
std::optional<std::string_view> connector_of(const op::DisplayOperation& operation) {
  return std::visit(
      [](const auto& v) -> std::optional<std::string_view> {
        if constexpr (requires { v.connector; }) {
          return std::string_view(v.connector);
        } else {
          return std::nullopt;
        }
      },
      static_cast<const op::DisplayOperation::variant&>(operation));
}

bool has_colour_profile_label(const prefs_store::OutputDescriptor& output, std::string_view label) {
  if (label == "System default") return true;
  // std::map visits its entries in key order.
  for (const auto& [key, value] : output.color_profile_names) {
    if (label == fmt::format("{} · {}", value, key)) return true;
  }
  return false;
}

// A position or mirror label names another output the device has now, as
// the window's choices do ("Left of Built-in display", "Mirror DELL U2723QE
// · card1"), or is the first choice; one naming an output that is gone or
// renamed would otherwise be read as "nothing to change" or "stop
// mirroring".
Status check_arrangement_label(const op::DisplayOperation& operation,
                               const prefs_store::DisplayHardwareSnapshot& snapshot) {
  using D = op::DisplayOperation;
  namespace display = panes::display;
  const std::string* label = nullptr;
  std::vector<std::string> allowed;
  std::string_view what;
  const display::OutputLabels outputs = display::output_labels(snapshot);
  if (const auto* v = std::get_if<D::SetPosition>(&operation)) {
    label = &v->label;
    what = "display position";
    allowed.emplace_back(display::kAutomaticPosition);
    for (std::string& l : display::arrangement_labels(v->connector, outputs)) {
      allowed.push_back(std::move(l));
    }
  } else if (const auto* v = std::get_if<D::SetMirror>(&operation)) {
    label = &v->label;
    what = "display mirroring";
    allowed.emplace_back(display::kExtendWorkspace);
    for (std::string& l : display::mirror_labels(v->connector, outputs)) {
      allowed.push_back(std::move(l));
    }
  } else {
    return {};
  }
  if (std::ranges::find(allowed, *label) != allowed.end()) return {};
  std::vector<std::string_view> views(allowed.begin(), allowed.end());
  return refuse_unless_one_of(*label, std::span<const std::string_view>(views), what, "label");
}

// The variant's own check, once its output (when it names one) exists.
Status check_display(const op::DisplayOperation& operation,
                     const prefs_store::OutputDescriptor* output) {
  using D = op::DisplayOperation;
  constexpr std::string_view kModeGone = "display mode is no longer supported by that output";
  constexpr std::string_view kProfileGone = "colour profile is no longer available for that output";
  if (const auto* v = std::get_if<D::SetBrightness>(&operation)) {
    return refuse_unless(unit_range(v->value), "display brightness must be between 0 and 1");
  }
  if (const auto* v = std::get_if<D::SetNightLightTemperature>(&operation)) {
    return refuse_unless_one_of(v->label,
                                {"Subtle · 4500 K", "Warm · 3700 K", "Very warm · 2800 K"},
                                "Night Light warmth", "label");
  }
  if (const auto* v = std::get_if<D::SetScale>(&operation)) {
    return refuse_unless_one_of(v->label, kScaleLabels, "display scale", "label");
  }
  if (const auto* v = std::get_if<D::SetOutputScale>(&operation)) {
    return refuse_unless_one_of(v->label, kScaleLabels, "output scale", "label");
  }
  if (const auto* v = std::get_if<D::SetPosition>(&operation)) {
    return refuse_unless(v->label.size() <= kMaxDisplayLabel, "display position label is too long");
  }
  if (const auto* v = std::get_if<D::SetMirror>(&operation)) {
    return refuse_unless(v->label.size() <= kMaxDisplayLabel, "display mirror label is too long");
  }
  if (const auto* v = std::get_if<D::SetModeLabel>(&operation)) {
    return refuse_unless(
        std::ranges::any_of(output->modes,
                            [&](const auto& mode) { return mode.label() == v->label; }),
        kModeGone);
  }
  if (const auto* v = std::get_if<D::SetMode>(&operation)) {
    const prefs_store::OutputMode wanted{v->mode.width, v->mode.height, v->mode.refresh_mhz};
    return refuse_unless(std::ranges::find(output->modes, wanted) != output->modes.end(),
                         kModeGone);
  }
  if (const auto* v = std::get_if<D::SetTransformLabel>(&operation)) {
    return refuse_unless_one_of(v->label,
                                {"Landscape", "Portrait right", "Upside down", "Portrait left"},
                                "display orientation", "label");
  }
  // HDR and variable refresh are refused in both directions: an output
  // without them has nothing to switch off either.
  if (std::holds_alternative<D::SetHdr>(operation)) {
    return refuse_unless(output->hdr_capable, "HDR is not available for that output");
  }
  if (std::holds_alternative<D::SetVrr>(operation)) {
    return refuse_unless(output->vrr_capable,
                         "variable refresh rate is not available for that output");
  }
  if (const auto* v = std::get_if<D::SetColorProfile>(&operation)) {
    return refuse_unless(!v->profile || std::ranges::find(output->color_profiles, *v->profile) !=
                                            output->color_profiles.end(),
                         kProfileGone);
  }
  if (const auto* v = std::get_if<D::SetColorProfileLabel>(&operation)) {
    return refuse_unless(has_colour_profile_label(*output, v->label), kProfileGone);
  }
  // SetPrimary, SetEnabled, SetTransform: the output's existence is the check;
  // SetAutoBrightness, SetNightLight, Apply, Confirm, Revert have none.
  return {};
}

// ---- Sound ------------------------------------------------------------------

bool has_id(const auto& entries, std::uint32_t id) {
  return std::ranges::any_of(entries, [&](const auto& entry) { return entry.id == id; });
}

bool is_stream(const media_kit::AudioGraph& graph, std::uint32_t id) {
  return has_id(graph.playback_streams, id) || has_id(graph.recording_streams, id);
}

// The variants that need no look-up in the graph; an unreadable graph does not
// refuse them.
Status check_audio_levels(const op::AudioOperation& operation, bool& needs_graph) {
  using A = op::AudioOperation;
  needs_graph = false;
  if (const auto* v = std::get_if<A::SetOutputVolume>(&operation)) {
    return refuse_unless(unit_range(v->value), "output volume must be between 0 and 1");
  }
  if (const auto* v = std::get_if<A::SetInputVolume>(&operation)) {
    return refuse_unless(unit_range(v->value), "input volume must be between 0 and 1");
  }
  if (const auto* v = std::get_if<A::SetBalance>(&operation)) {
    return refuse_unless(unit_range(v->value), "output balance must be between 0 and 1");
  }
  if (const auto* v = std::get_if<A::SetStreamVolume>(&operation)) {
    if (!unit_range(v->value)) return fail("stream volume must be between 0 and 1");
  }
  needs_graph = std::holds_alternative<A::SetStreamVolume>(operation) ||
                std::holds_alternative<A::SetStreamMuted>(operation) ||
                std::holds_alternative<A::RouteStream>(operation) ||
                std::holds_alternative<A::SelectOutput>(operation) ||
                std::holds_alternative<A::SelectInput>(operation) ||
                std::holds_alternative<A::RoutePlayback>(operation) ||
                std::holds_alternative<A::RouteRecording>(operation) ||
                std::holds_alternative<A::SetDeviceProfile>(operation);
  return {};
}

Status check_audio_graph(const op::AudioOperation& operation, const media_kit::AudioGraph& graph) {
  using A = op::AudioOperation;
  constexpr std::string_view kStreamGone = "audio stream is no longer available";
  constexpr std::string_view kOutputGone = "audio output device is no longer available";
  constexpr std::string_view kInputGone = "audio input device is no longer available";
  if (const auto* v = std::get_if<A::SetStreamVolume>(&operation)) {
    return refuse_unless(is_stream(graph, v->stream_id), kStreamGone);
  }
  if (const auto* v = std::get_if<A::SetStreamMuted>(&operation)) {
    return refuse_unless(is_stream(graph, v->stream_id), kStreamGone);
  }
  if (const auto* v = std::get_if<A::RouteStream>(&operation)) {
    const auto& streams = v->playback ? graph.playback_streams : graph.recording_streams;
    if (!has_id(streams, v->stream_id)) return fail(std::string(kStreamGone));
    if (!v->device_id) return {};
    const auto& devices = v->playback ? graph.sinks : graph.sources;
    return refuse_unless(has_id(devices, *v->device_id), "audio route is no longer available");
  }
  if (const auto* v = std::get_if<A::SelectOutput>(&operation)) {
    return refuse_unless(graph.sink_by_id(v->device_id) != nullptr, kOutputGone);
  }
  if (const auto* v = std::get_if<A::SelectInput>(&operation)) {
    return refuse_unless(has_id(graph.sources, v->device_id), kInputGone);
  }
  if (const auto* v = std::get_if<A::RoutePlayback>(&operation)) {
    if (!has_id(graph.playback_streams, v->stream_id)) {
      return fail("playback stream is no longer available");
    }
    return refuse_unless(graph.sink_by_id(v->device_id) != nullptr, kOutputGone);
  }
  if (const auto* v = std::get_if<A::RouteRecording>(&operation)) {
    if (!has_id(graph.recording_streams, v->stream_id)) {
      return fail("recording stream is no longer available");
    }
    return refuse_unless(has_id(graph.sources, v->device_id), kInputGone);
  }
  if (const auto* v = std::get_if<A::SetDeviceProfile>(&operation)) {
    const auto device = std::ranges::find_if(
        graph.devices, [&](const media_kit::AudioHardware& d) { return d.id == v->device_id; });
    if (device == graph.devices.end()) return fail("audio hardware is no longer available");
    return refuse_unless(std::ranges::any_of(device->profiles,
                                             [&](const media_kit::DeviceProfile& p) {
                                               return p.index == v->profile_index && p.available;
                                             }),
                         "audio profile is no longer available");
  }
  return {};
}

}  // namespace

kalu_ui::Result<const prefs_store::OutputDescriptor*> find_display_output(
    const prefs_store::DisplayHardwareSnapshot& snapshot, std::string_view connector) {
  if (!snapshot.live_capabilities) return fail("live display capabilities are unavailable");
  for (const auto& card : snapshot.cards) {
    for (const auto& output : card.outputs) {
      if (output.connector == connector) return &output;
    }
  }
  return fail("display output is no longer available");
}

std::optional<system_ops::bluez::BluetoothDevice> take_entry_by_id(
    std::vector<system_ops::bluez::BluetoothDevice> devices, std::string_view path) {
  for (auto& device : devices) {
    if (device.path == path) return std::move(device);
  }
  return std::nullopt;
}

Status check_operation(const op::UpdateOperation& operation) {
  if (const auto* v = std::get_if<op::UpdateOperation::SetSchedule>(&operation)) {
    return refuse_unless_one_of(v->schedule, panes::updates::kScheduleLabels, "update schedule",
                                "schedule");
  }
  return {};
}

Status check_operation(const op::PowerOperation& operation) {
  using P = op::PowerOperation;
  namespace power = panes::power;
  if (const auto* v = std::get_if<P::SetChargeLimit>(&operation)) {
    const auto capability = system_ops::battery::charge_capability();
    if (!capability) return fail("battery charge-cap control is unavailable on this device");
    if (std::ranges::find(capability->allowed, v->percent) != capability->allowed.end()) return {};
    return fail("unsupported charge cap {}%; percent must be one of {}", v->percent,
                fmt::join(capability->allowed, ", "));
  }
  if (const auto* v = std::get_if<P::SetProfile>(&operation)) {
    return refuse_unless_one_of(v->profile, power::kProfileLabels, "power profile", "profile");
  }
  if (const auto* v = std::get_if<P::SetBlankTimeout>(&operation)) {
    return refuse_unless_one_of(v->label, power::kScreenDelayLabels, "screen blank timeout",
                                "label");
  }
  if (const auto* v = std::get_if<P::SetLockTimeout>(&operation)) {
    return refuse_unless_one_of(v->label, power::kScreenDelayLabels, "automatic lock timeout",
                                "label");
  }
  if (const auto* v = std::get_if<P::SetSuspendTimeout>(&operation)) {
    if (auto label =
            refuse_unless_one_of(v->label, power::kSuspendDelayLabels, "suspend timeout", "label");
        !label) {
      return label;
    }
    return refuse_unless_one_of(v->profile, {"default", "saver", "balanced", "performance"},
                                "power profile timeout", "profile");
  }
  const std::string* action = nullptr;
  if (const auto* v = std::get_if<P::SetLidAction>(&operation)) action = &v->action;
  if (const auto* v = std::get_if<P::SetPowerKeyAction>(&operation)) action = &v->action;
  if (const auto* v = std::get_if<P::SetCriticalAction>(&operation)) action = &v->action;
  if (action) {
    return refuse_unless_one_of(*action, power::kPowerActionLabels, "power action", "action");
  }
  return {};
}

Status check_operation(const op::NetworkOperation& operation) {
  if (!std::holds_alternative<op::NetworkOperation::SetWiredEnabled>(operation)) return {};
  auto wired = system_ops::network::get_wired();
  if (!wired) return fail(std::move(wired.error()));
  return refuse_unless(wired->has_value(), "wired networking is unavailable on this device");
}

Status check_operation(const op::BluetoothOperation& operation) {
  using B = op::BluetoothOperation;
  // The verb and what the device's state must allow for it.
  const std::string* path = nullptr;
  bool (*allows)(const system_ops::bluez::BluetoothDevice&) = nullptr;
  if (const auto* v = std::get_if<B::Pair>(&operation)) {
    path = &v->path;
    allows = [](const auto& d) { return !d.paired; };
  } else if (const auto* v = std::get_if<B::Connect>(&operation)) {
    path = &v->path;
    allows = [](const auto& d) { return d.paired && !d.connected; };
  } else if (const auto* v = std::get_if<B::Disconnect>(&operation)) {
    path = &v->path;
    allows = [](const auto& d) { return d.connected; };
  } else if (const auto* v = std::get_if<B::Forget>(&operation)) {
    path = &v->path;
    allows = [](const auto& d) { return d.paired; };
  } else {
    return {};  // SetPowered, StartScan, Refresh
  }
  auto devices = system_ops::bluez::devices();
  if (!devices) return fail(std::move(devices.error()));
  const auto device = take_entry_by_id(std::move(*devices), *path);
  if (!device) return fail("Bluetooth device is no longer available");
  return refuse_unless(allows(*device), "Bluetooth device state changed; refresh and try again");
}

Status check_operation(const op::AudioOperation& operation,
                       const kalu_ui::Result<media_kit::AudioGraph>& graph) {
  bool needs_graph = false;
  if (auto levels = check_audio_levels(operation, needs_graph); !levels) return levels;
  if (!needs_graph) return {};
  if (!graph) return fail(graph.error());
  return check_audio_graph(operation, *graph);
}

Status check_operation(const op::DisplayOperation& operation,
                       const prefs_store::DisplayHardwareSnapshot& snapshot) {
  const prefs_store::OutputDescriptor* output = nullptr;
  if (const auto connector = connector_of(operation)) {
    auto found = find_display_output(snapshot, *connector);
    if (!found) return fail(std::move(found.error()));
    output = *found;
  }
  if (auto checked = check_display(operation, output); !checked) return checked;
  return check_arrangement_label(operation, snapshot);
}

Status check_operation(const op::PrinterOperation& operation) {
  using P = op::PrinterOperation;
  namespace printing = system_ops::printing;
  const std::string* queue_name = nullptr;
  std::optional<bool> enable;
  if (const auto* v = std::get_if<P::SetDefault>(&operation)) queue_name = &v->name;
  if (const auto* v = std::get_if<P::Remove>(&operation)) queue_name = &v->name;
  if (const auto* v = std::get_if<P::SetEnabled>(&operation)) {
    queue_name = &v->name;
    enable = v->enabled;
  }
  if (queue_name) {
    // A list that cannot be read counts as empty.
    const auto queues = printing::queues().value_or(std::vector<printing::PrintQueue>{});
    const auto queue = std::ranges::find_if(
        queues, [&](const printing::PrintQueue& q) { return q.name == *queue_name; });
    if (queue == queues.end()) return fail("printer queue is no longer available");
    if (!enable) return {};
    const bool disabled = queue->state == printing::QueueState::Paused;
    return refuse_unless(*enable == disabled, "printer queue state changed; refresh and try again");
  }
  const std::string* job_id = nullptr;
  if (const auto* v = std::get_if<P::CancelJob>(&operation)) job_id = &v->id;
  if (const auto* v = std::get_if<P::RetryJob>(&operation)) job_id = &v->id;
  if (!job_id) return {};  // Refresh, Discover
  const auto jobs = printing::jobs().value_or(std::vector<printing::PrintJob>{});
  return refuse_unless(std::ranges::any_of(jobs,
                                           [&](const printing::PrintJob& job) {
                                             return fmt::format("{}", job.id) == *job_id;
                                           }),
                       "print job is no longer available");
}

}  // namespace settings::settings_app
