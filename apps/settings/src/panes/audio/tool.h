#pragma once

// The audio server's control tool, wpctl, as the Sound pane uses it: the input
// level of the default source, the listing of sinks and sources with their
// node ids, the default device, and the input level itself. Each command is
// one run of "wpctl" through the runner's program table (the simulated tool
// unless KALU_DEVICE=system) with a 5-second limit, 1 MiB kept of each output
// stream and no standard input:
//
//   read_input_level          get-volume @DEFAULT_AUDIO_SOURCE@   a level; 0.75 on any failure
//   WpctlStatus::load         status                              the listing; empty on any failure
//   wpctl_set_default         set-default <node id>               success or the error
//   wpctl_set_source_volume   set-volume @DEFAULT_AUDIO_SOURCE@ <level>
//
// A run may take the whole limit, so the pane never calls these on the UI
// thread: its worker (workers.h) does, through an AudioTool, which is also
// where its tests put a fake. The reading commands never fail: a runner
// error, a non-zero exit or output they cannot read gives the fallback.

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "kalu_ui/result.h"
#include "media_kit/audio.h"

namespace settings::panes::audio {

inline constexpr std::string_view kWpctlProgram = "wpctl";
inline constexpr std::chrono::seconds kWpctlTimeLimit{5};
// The level the pane assumes when the default source's cannot be read.
inline constexpr float kFallbackInputLevel = 0.75f;

struct WpctlNode {
  std::string name;  // the device's display name as listed
  std::uint32_t id = 0;
  bool is_default = false;
  bool operator==(const WpctlNode&) const = default;
};

struct WpctlStatus {
  std::vector<WpctlNode> sinks;
  std::vector<WpctlNode> sources;

  // The entries of the "Sinks:" and "Sources:" blocks of a "wpctl status"
  // listing, in listing order. Tree drawing and leading white space are not
  // part of a line's text; a line without leading white space or tree drawing,
  // or a sub-heading ending in ':', ends a block; an entry is "[*] <id>. <name>
  // [annotation]", and one whose id is not a number or whose name is empty is
  // left out.
  static WpctlStatus parse(std::string_view stdout_bytes);
  // Runs "wpctl status" and parses it; empty lists unless it exits with 0.
  static WpctlStatus load();
  // One node per sink and per source of the graph, in graph order.
  static WpctlStatus from_graph(const media_kit::AudioGraph& graph);

  // The name of the first entry marked default, if any.
  std::optional<std::string> default_sink_name() const;
  std::optional<std::string> default_source_name() const;

  bool operator==(const WpctlStatus&) const = default;
};

// The level in the first line of "wpctl get-volume" output ("Volume: 0.40
// [MUTED]" gives 0.4), clamped to 0..1; none when it holds no number.
std::optional<float> parse_volume_line(std::string_view stdout_bytes);

// The default source's level, 0..1; kFallbackInputLevel on any failure.
float read_input_level();

// Makes the sink or source with this node id the default of its kind.
kalu_ui::Status wpctl_set_default(std::uint32_t node_id);

// The set-volume argument for a level in percent: min(max(level, 0), 100) /
// 100 as the shortest decimal of a 32-bit float ("0.5", "1", "0.35").
std::string source_volume_argument(float level_percent);

// Sets the default source's level, given in percent.
kalu_ui::Status wpctl_set_source_volume(float level_percent);

// Runs wpctl with `args` for a change. A runner error gives "wpctl control
// failed: {}"; exit 0 is success; any other exit gives its standard error
// (decoded, at most 512 characters, trimmed; possibly empty).
kalu_ui::Status run_wpctl(std::span<const std::string> args);

// The four commands as one object, so the pane's worker can be handed a fake.
class AudioTool {
 public:
  virtual ~AudioTool() = default;
  virtual float read_input_level() = 0;
  virtual WpctlStatus load_status() = 0;
  virtual kalu_ui::Status set_default(std::uint32_t node_id) = 0;
  virtual kalu_ui::Status set_source_volume(float level_percent) = 0;
};

// The real tool: the functions above. Stateless; usable from any thread.
std::shared_ptr<AudioTool> wpctl_tool();

}  // namespace settings::panes::audio
