#include "panes/audio/tool.h"

#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>

#include "lib/run.h"
#include "limited_exec/limited_exec.h"
#include "limited_exec/text.h"

namespace settings::panes::audio {

namespace {

using kalu_ui::fail;
using kalu_ui::Status;

constexpr std::string_view kDefaultSource = "@DEFAULT_AUDIO_SOURCE@";

// The box-drawing characters wpctl draws its tree with.
bool is_tree_char(char32_t cp) {
  switch (cp) {
    case 0x2500:
    case 0x2502:
    case 0x250C:
    case 0x2510:
    case 0x2514:
    case 0x2518:
    case 0x251C:
    case 0x252C:
    case 0x2534:
    case 0x253C:
      return true;
    default:
      return false;
  }
}

bool is_lead_char(char32_t cp) { return limited_exec::is_white_space(cp) || is_tree_char(cp); }

// `text` (valid UTF-8) without its leading white space and tree drawing.
std::string_view strip_lead(std::string_view text) {
  while (!text.empty()) {
    std::string_view rest = text;
    if (!is_lead_char(limited_exec::take_char(rest))) break;
    text = rest;
  }
  return text;
}

bool starts_with_lead(std::string_view text) {
  if (text.empty()) return false;
  return is_lead_char(limited_exec::take_char(text));
}

// Lines split at line feeds, each without a trailing carriage return.
std::vector<std::string_view> lines_of(std::string_view text) {
  auto lines = limited_exec::split_lines(text);
  for (auto& line : lines) {
    if (line.ends_with('\r')) line.remove_suffix(1);
  }
  return lines;
}

std::optional<std::uint32_t> parse_u32(std::string_view text) {
  std::uint32_t value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

// A 32-bit float as the tool prints it; a leading '+' is allowed.
std::optional<float> parse_f32(std::string_view text) {
  if (text.starts_with('+')) text.remove_prefix(1);
  float value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

// An entry line's node, once the tree drawing and white space are gone.
std::optional<WpctlNode> parse_entry(std::string_view text) {
  WpctlNode node;
  if (text.starts_with('*')) {
    node.is_default = true;
    text = limited_exec::trim_white_space(text.substr(1));
  }
  std::size_t dot = text.find('.');
  if (dot == std::string_view::npos) return std::nullopt;
  auto id = parse_u32(limited_exec::trim_white_space(text.substr(0, dot)));
  if (!id) return std::nullopt;
  node.id = *id;
  std::string_view name = limited_exec::trim_white_space(text.substr(dot + 1));
  // A trailing bracketed note (the volume, "[vol: 0.60]") is not the name.
  if (auto bracket = name.rfind('['); bracket != std::string_view::npos) {
    name = limited_exec::trim_white_space(name.substr(0, bracket));
  }
  if (name.empty()) return std::nullopt;
  node.name = std::string(name);
  return node;
}

std::optional<std::string> first_default(const std::vector<WpctlNode>& nodes) {
  for (const auto& n : nodes) {
    if (n.is_default) return n.name;
  }
  return std::nullopt;
}

kalu_ui::Result<limited_exec::Output> run_tool(std::span<const std::string> args) {
  return limited_exec::run(kWpctlProgram, args, kWpctlTimeLimit, lib::kCommandOutputCap);
}

class WpctlTool final : public AudioTool {
 public:
  float read_input_level() override { return audio::read_input_level(); }
  WpctlStatus load_status() override { return WpctlStatus::load(); }
  Status set_default(std::uint32_t node_id) override { return wpctl_set_default(node_id); }
  Status set_source_volume(float level_percent) override {
    return wpctl_set_source_volume(level_percent);
  }
};

}  // namespace

WpctlStatus WpctlStatus::parse(std::string_view stdout_bytes) {
  enum class Block { kNone, kSinks, kSources };
  WpctlStatus status;
  Block block = Block::kNone;
  const std::string text = limited_exec::decode_lossy(stdout_bytes);
  for (std::string_view line : lines_of(text)) {
    std::string_view trimmed = strip_lead(line);
    if (trimmed.empty()) continue;
    if (trimmed == "Sinks:") {
      block = Block::kSinks;
      continue;
    }
    if (trimmed == "Sources:") {
      block = Block::kSources;
      continue;
    }
    // A new top-level block, or a sub-heading (endpoints, filters), ends the list.
    if (!starts_with_lead(line) || trimmed.ends_with(':')) {
      block = Block::kNone;
      continue;
    }
    if (block == Block::kNone) continue;
    if (auto node = parse_entry(trimmed)) {
      (block == Block::kSinks ? status.sinks : status.sources).push_back(std::move(*node));
    }
  }
  return status;
}

WpctlStatus WpctlStatus::load() {
  const std::array<std::string, 1> args = {"status"};
  auto output = run_tool(args);
  if (!output || output->status != 0) return {};
  return parse(output->stdout_bytes);
}

WpctlStatus WpctlStatus::from_graph(const media_kit::AudioGraph& graph) {
  WpctlStatus status;
  for (const auto& d : graph.sinks) status.sinks.push_back({d.display_name, d.id, d.is_default});
  for (const auto& d : graph.sources) {
    status.sources.push_back({d.display_name, d.id, d.is_default});
  }
  return status;
}

std::optional<std::string> WpctlStatus::default_sink_name() const { return first_default(sinks); }

std::optional<std::string> WpctlStatus::default_source_name() const {
  return first_default(sources);
}

std::optional<float> parse_volume_line(std::string_view stdout_bytes) {
  const std::string text = limited_exec::decode_lossy(stdout_bytes);
  auto lines = lines_of(text);
  if (lines.empty()) return std::nullopt;
  std::string_view line = lines.front();
  std::size_t colon = line.find(':');
  if (colon == std::string_view::npos) return std::nullopt;
  std::string_view piece = line.substr(colon + 1);
  piece = piece.substr(0, piece.find(':'));
  piece = limited_exec::trim_white_space(piece);
  // The first word: the number before a note such as "[MUTED]".
  std::size_t end = 0;
  while (end < piece.size()) {
    std::string_view rest = piece.substr(end);
    std::size_t before = rest.size();
    if (limited_exec::is_white_space(limited_exec::take_char(rest))) break;
    end += before - rest.size();
  }
  auto level = parse_f32(piece.substr(0, end));
  // Not a number is no level; the infinities are the ends of the range.
  if (!level || std::isnan(*level)) return std::nullopt;
  return std::clamp(*level, 0.0f, 1.0f);
}

float read_input_level() {
  const std::array<std::string, 2> args = {"get-volume", std::string(kDefaultSource)};
  auto output = run_tool(args);
  if (!output || output->status != 0) return kFallbackInputLevel;
  return parse_volume_line(output->stdout_bytes).value_or(kFallbackInputLevel);
}

Status run_wpctl(std::span<const std::string> args) {
  auto output = run_tool(args);
  if (!output) return fail("wpctl control failed: {}", output.error());
  if (output->status == 0) return {};
  return fail(limited_exec::command_error_text(output->stderr_bytes));
}

Status wpctl_set_default(std::uint32_t node_id) {
  const std::array<std::string, 2> args = {"set-default", std::to_string(node_id)};
  return run_wpctl(args);
}

std::string source_volume_argument(float level_percent) {
  // NaN compares false both ways and would pass std::clamp; it means silence.
  float percent = std::isnan(level_percent) ? 0.0f : std::clamp(level_percent, 0.0f, 100.0f);
  float level = std::clamp(percent / 100.0f, 0.0f, 1.0f);
  std::array<char, 32> text{};
  auto written = std::to_chars(text.data(), text.data() + text.size(), level);
  return std::string(text.data(), written.ptr);
}

Status wpctl_set_source_volume(float level_percent) {
  const std::array<std::string, 3> args = {"set-volume", std::string(kDefaultSource),
                                           source_volume_argument(level_percent)};
  return run_wpctl(args);
}

std::shared_ptr<AudioTool> wpctl_tool() { return std::make_shared<WpctlTool>(); }

}  // namespace settings::panes::audio
