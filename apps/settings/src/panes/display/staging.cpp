#include "panes/display/staging.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <tuple>

namespace settings::panes::display {

namespace {

using prefs_store::DisplayConfig;
using prefs_store::OutputConfig;
using prefs_store::OutputMode;

constexpr double kEpsilon = std::numeric_limits<double>::epsilon();
// The size assumed for an output that reports no current mode.
constexpr std::int64_t kFallbackWidth = 1920;
constexpr std::int64_t kFallbackHeight = 1080;

// An output that has no entry yet: as the pane's default, but not primary
// and at the origin.
OutputConfig staging_default(std::size_t index) {
  OutputConfig entry = default_output_config(index);
  entry.primary = false;
  entry.position = {0, 0};
  return entry;
}

std::int64_t width_of(const DisplayOutput& o) {
  return o.current_mode ? o.current_mode->width : kFallbackWidth;
}
std::int64_t height_of(const DisplayOutput& o) {
  return o.current_mode ? o.current_mode->height : kFallbackHeight;
}

std::int32_t clamp32(std::int64_t v) {
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(
      v, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
}

std::optional<std::string> profile_from_text(const std::string& text, const DisplayOutput& output) {
  if (text == kSystemDefaultProfile) return std::nullopt;
  for (const auto& [id, name] : output.color_profile_names) {
    if (color_profile_label(name, id) == text) return id;
  }
  return std::nullopt;
}

std::optional<std::string> mirror_from_text(const std::string& text,
                                            const std::vector<DisplayOutput>& outputs) {
  if (text == kExtendWorkspace) return std::nullopt;
  for (const DisplayOutput& other : outputs) {
    if (mirror_label_of(other.label) == text) return other.connector;
  }
  return std::nullopt;
}

// Applies the document's values of one output to its entry; answers whether
// any differed.
bool apply_fields(OutputConfig& entry, DisplayConfig& copy, const DisplayOutput& output,
                  const OutputFieldValues& f, const std::vector<DisplayOutput>& outputs) {
  bool changed = false;
  if (f.enabled && *f.enabled != entry.enabled) {
    entry.enabled = *f.enabled;
    if (!entry.enabled) entry.primary = false;
    changed = true;
  }
  if (f.primary && *f.primary != entry.primary) {
    if (*f.primary) {
      for (auto& [connector, other] : copy.outputs) other.primary = false;
    }
    entry.primary = *f.primary;
    changed = true;
  }
  if (f.scale) {
    if (auto scale = scale_of(*f.scale); scale && std::abs(*scale - entry.scale) > kEpsilon) {
      entry.scale = *scale;
      changed = true;
    }
  }
  if (f.mode) {
    for (const OutputMode& mode : output.modes) {
      if (mode.label() != *f.mode) continue;
      if (entry.mode != mode) {
        entry.mode = mode;
        changed = true;
      }
      break;
    }
  }
  if (f.transform) {
    if (auto transform = transform_of(*f.transform); transform && *transform != entry.transform) {
      entry.transform = *transform;
      changed = true;
    }
  }
  if (f.hdr && output.hdr_supported && *f.hdr != entry.hdr) {
    entry.hdr = *f.hdr;
    changed = true;
  }
  if (f.vrr && output.vrr_supported && *f.vrr != entry.vrr) {
    entry.vrr = *f.vrr;
    changed = true;
  }
  if (f.color_profile) {
    if (auto profile = profile_from_text(*f.color_profile, output);
        profile != entry.color_profile) {
      entry.color_profile = std::move(profile);
      changed = true;
    }
  }
  if (f.mirror) {
    if (auto mirror = mirror_from_text(*f.mirror, outputs); mirror != entry.mirror) {
      entry.mirror = std::move(mirror);
      changed = true;
    }
  }
  if (f.position) {
    if (auto position = position_from_text(*f.position, output, copy, outputs);
        position && *position != entry.position) {
      entry.position = *position;
      changed = true;
    }
  }
  return changed;
}

// The output to be primary: one the document made primary just now, else the
// first enabled primary, else the first enabled one.
const DisplayOutput* choose_primary(const DisplayConfig& config, const DisplayConfig& copy,
                                    const std::vector<DisplayOutput>& outputs,
                                    const std::vector<OutputFieldValues>& fields) {
  for (std::size_t i = 0; i < outputs.size(); ++i) {
    if (i >= fields.size() || !fields[i].primary.value_or(false)) continue;
    auto current = config.outputs.find(outputs[i].connector);
    if (current == config.outputs.end() || !current->second.primary) return &outputs[i];
  }
  const auto enabled_where = [&](bool need_primary) -> const DisplayOutput* {
    for (const DisplayOutput& output : outputs) {
      auto entry = copy.outputs.find(output.connector);
      if (entry != copy.outputs.end() && entry->second.enabled &&
          (!need_primary || entry->second.primary)) {
        return &output;
      }
    }
    return nullptr;
  };
  if (const DisplayOutput* primary = enabled_where(true)) return primary;
  return enabled_where(false);
}

// The mode of `output` at width × height with the highest refresh rate; of
// equal ones the later.
std::optional<OutputMode> fastest_at(const DisplayOutput& output, std::uint32_t width,
                                     std::uint32_t height) {
  std::optional<OutputMode> best;
  for (const OutputMode& mode : output.modes) {
    if (mode.width != width || mode.height != height) continue;
    if (!best || mode.refresh_mhz >= best->refresh_mhz) best = mode;
  }
  return best;
}

// Puts a mirroring output and the one it mirrors on the largest resolution
// both offer. Answers whether an entry changed.
bool match_mirror_modes(DisplayConfig& copy, const std::vector<DisplayOutput>& outputs) {
  bool changed = false;
  for (auto& [connector, entry] : copy.outputs) {
    if (!entry.mirror) continue;
    const DisplayOutput* a = find_output(outputs, connector);
    const DisplayOutput* b = find_output(outputs, *entry.mirror);
    if (a == nullptr || b == nullptr) continue;
    std::optional<OutputMode> common;
    const auto size_key = [](const OutputMode& m) {
      return std::tuple(std::uint64_t{m.width} * m.height, m.width, m.height);
    };
    for (const OutputMode& mode : a->modes) {
      const bool shared = std::any_of(b->modes.begin(), b->modes.end(), [&](const OutputMode& m) {
        return m.width == mode.width && m.height == mode.height;
      });
      if (shared && (!common || size_key(mode) >= size_key(*common))) common = mode;
    }
    if (!common) continue;
    for (const DisplayOutput* side : {a, b}) {
      std::optional<OutputMode> mode = fastest_at(*side, common->width, common->height);
      OutputConfig& target = copy.outputs[side->connector];
      if (mode && target.mode != mode) {
        target.mode = mode;
        changed = true;
      }
    }
  }
  return changed;
}

}  // namespace

std::optional<prefs_store::Position> position_from_text(const std::string& text,
                                                        const DisplayOutput& output,
                                                        const DisplayConfig& copy,
                                                        const std::vector<DisplayOutput>& outputs) {
  for (std::size_t d = 0; d < std::size(kDirections); ++d) {
    const std::string prefix = std::string(kDirections[d]) + " of ";
    if (!text.starts_with(prefix)) continue;
    const std::string_view rest = std::string_view(text).substr(prefix.size());
    for (std::size_t i = 0; i < outputs.size(); ++i) {
      const DisplayOutput& reference = outputs[i];
      if (reference.label != rest) continue;
      auto found = copy.outputs.find(reference.connector);
      const OutputConfig ref = found != copy.outputs.end() ? found->second : staging_default(i);
      const std::int64_t x = ref.position.x;
      const std::int64_t y = ref.position.y;
      switch (d) {
        case 0:  // Left
          return prefs_store::Position{clamp32(x - width_of(output)), clamp32(y)};
        case 1:  // Right
          return prefs_store::Position{clamp32(x + width_of(reference)), clamp32(y)};
        case 2:  // Above
          return prefs_store::Position{clamp32(x), clamp32(y - height_of(output))};
        default:  // Below
          return prefs_store::Position{clamp32(x), clamp32(y + height_of(reference))};
      }
    }
    return std::nullopt;
  }
  return std::nullopt;
}

StagedOutputs stage_outputs(const DisplayConfig& config, const std::vector<DisplayOutput>& outputs,
                            const std::vector<OutputFieldValues>& fields) {
  StagedOutputs out;
  out.config = config;
  DisplayConfig& copy = out.config;
  for (std::size_t i = 0; i < outputs.size() && i < fields.size(); ++i) {
    const DisplayOutput& output = outputs[i];
    auto found = copy.outputs.find(output.connector);
    OutputConfig entry = found != copy.outputs.end() ? found->second : staging_default(i);
    if (apply_fields(entry, copy, output, fields[i], outputs)) out.changed = true;
    copy.outputs[output.connector] = std::move(entry);
  }

  if (const DisplayOutput* chosen = choose_primary(config, copy, outputs, fields)) {
    for (const DisplayOutput& output : outputs) {
      OutputConfig& entry = copy.outputs[output.connector];
      const bool primary = output.connector == chosen->connector;
      if (entry.primary != primary) {
        entry.primary = primary;
        out.changed = true;
      }
      out.primary.emplace_back(output.connector, primary);
    }
  }

  if (match_mirror_modes(copy, outputs)) out.changed = true;
  return out;
}

}  // namespace settings::panes::display
