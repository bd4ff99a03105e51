#include "panes/display/model.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>

namespace settings::panes::display {

std::string output_control_id(std::string_view connector, std::string_view field) {
  return fmt::format("display.output.{}.{}", connector, field);
}

namespace {

DisplayOutput output_of(const prefs_store::OutputDescriptor& d,
                        const std::optional<std::string>& qualifier) {
  DisplayOutput out;
  out.label = output_label(d, qualifier);
  out.connector = d.connector;
  out.name = d.name.empty() ? d.connector : d.name;
  out.modes = d.modes;
  out.current_mode = d.current_mode;
  out.color_profiles = d.color_profiles;
  out.color_profile_names = d.color_profile_names;
  out.hdr_note = d.hdr_note;
  out.vrr_note = d.vrr_note;
  out.connected = true;
  out.internal = d.internal;
  out.hdr_supported = d.hdr_controllable;
  out.hdr_capable = d.hdr_capable;
  out.vrr_supported = d.vrr_controllable;
  out.vrr_capable = d.vrr_capable;
  return out;
}

}  // namespace

std::vector<DisplayOutput> outputs_of(const prefs_store::DisplayHardwareSnapshot& snapshot) {
  std::vector<DisplayOutput> outputs;
  for (std::size_t card = 0; card < snapshot.cards.size(); ++card) {
    const std::optional<std::string> qualifier = snapshot.card_qualifier(card);
    for (const auto& descriptor : snapshot.cards[card].outputs) {
      outputs.push_back(output_of(descriptor, qualifier));
    }
  }
  std::stable_sort(outputs.begin(), outputs.end(),
                   [](const DisplayOutput& a, const DisplayOutput& b) {
                     if (a.internal != b.internal) return a.internal;
                     if (a.connected != b.connected) return a.connected;
                     return a.label < b.label;
                   });
  return outputs;
}

const DisplayOutput* find_output(const std::vector<DisplayOutput>& outputs,
                                 std::string_view connector) {
  for (const DisplayOutput& output : outputs) {
    if (output.connector == connector) return &output;
  }
  return nullptr;
}

OutputLabels choice_labels(const std::vector<DisplayOutput>& outputs) {
  OutputLabels labels;
  labels.reserve(outputs.size());
  for (const DisplayOutput& output : outputs) labels.emplace_back(output.connector, output.label);
  return labels;
}

prefs_store::OutputConfig default_output_config(std::size_t index) {
  prefs_store::OutputConfig entry;
  entry.enabled = true;
  entry.primary = index == 0;
  entry.scale = 1.0;
  entry.position = {static_cast<std::int32_t>(1920 * index), 0};
  entry.transform = prefs_store::OutputTransform::Normal;
  return entry;
}

prefs_store::HardwareView hardware_view_of(const std::vector<DisplayOutput>& outputs) {
  prefs_store::HardwareView view;
  view.reserve(outputs.size());
  for (const DisplayOutput& o : outputs) {
    view.push_back(
        {o.connector, o.name, o.modes, o.color_profiles, o.hdr_supported, o.vrr_supported});
  }
  return view;
}

std::string mirror_label(const prefs_store::OutputConfig& entry,
                         const std::vector<DisplayOutput>& outputs) {
  if (entry.mirror) {
    if (const DisplayOutput* target = find_output(outputs, *entry.mirror)) {
      return mirror_label_of(target->label);
    }
  }
  return std::string(kExtendWorkspace);
}

std::string profile_label(const std::optional<std::string>& profile, const DisplayOutput* output,
                          UnnamedProfile unnamed) {
  if (!profile) return std::string(kSystemDefaultProfile);
  if (output != nullptr) {
    auto named = output->color_profile_names.find(*profile);
    if (named != output->color_profile_names.end()) {
      return color_profile_label(named->second, *profile);
    }
  }
  return unnamed == UnnamedProfile::kId ? *profile : std::string(kSystemDefaultProfile);
}

prefs_store::OutputMode to_store(const operations::OutputMode& mode) {
  return {mode.width, mode.height, mode.refresh_mhz};
}

prefs_store::OutputTransform to_store(operations::OutputTransform transform) {
  switch (transform) {
    case operations::OutputTransform::kNormal:
      return prefs_store::OutputTransform::Normal;
    case operations::OutputTransform::kRotate90:
      return prefs_store::OutputTransform::Rotate90;
    case operations::OutputTransform::kRotate180:
      return prefs_store::OutputTransform::Rotate180;
    case operations::OutputTransform::kRotate270:
      return prefs_store::OutputTransform::Rotate270;
  }
  return prefs_store::OutputTransform::Normal;
}

float percent_of(float level) { return std::clamp(level, 0.0f, 1.0f) * 100.0f; }

std::string brightness_message(float percent) {
  // std::round rounds halves away from zero; fmt prints a whole float without ".0".
  return fmt::format("Brightness set to {}%.", std::round(percent));
}

std::vector<DocEntry> output_entries(const prefs_store::DisplayConfig& config,
                                     const std::vector<DisplayOutput>& outputs) {
  std::vector<DocEntry> entries;
  entries.reserve(outputs.size() * 10);
  for (std::size_t i = 0; i < outputs.size(); ++i) {
    const DisplayOutput& output = outputs[i];
    auto found = config.outputs.find(output.connector);
    const prefs_store::OutputConfig entry =
        found != config.outputs.end() ? found->second : default_output_config(i);
    const auto put = [&](std::string_view name, kalu_ui::doc::Scalar value) {
      entries.push_back({output_control_id(output.connector, name), std::move(value)});
    };
    put(field::kPrimary, entry.primary);
    put(field::kEnabled, entry.enabled);
    put(field::kScale, std::string(scale_label(entry.scale)));
    put(field::kPosition, std::string(kAutomaticPosition));
    put(field::kMirror, mirror_label(entry, outputs));
    if (entry.mode) put(field::kMode, entry.mode->label());
    put(field::kTransform, std::string(transform_label(entry.transform)));
    put(field::kHdr, entry.hdr);
    put(field::kVrr, entry.vrr);
    put(field::kColorProfile,
        profile_label(entry.color_profile, &output, UnnamedProfile::kSystemDefault));
  }
  return entries;
}

}  // namespace settings::panes::display
