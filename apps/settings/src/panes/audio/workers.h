#pragma once

// The Sound pane's worker thread, "settings-audio-tool": it runs the pane's
// wpctl commands (tool.h) one at a time, in the order they were asked for, and
// answers each over a channel that the pane's `sync` polls without waiting.
// The pane starts from the graph's listing and an input level of 0.75, asks
// for the tool's reading at construction and takes the answers when they
// arrive; a change (default device, input level) is applied by the pane when
// its answer comes back.
//
// Dropping the worker never waits for a command: requests not started yet are
// dropped unrun, and a command already running finishes on its own (the
// runner kills it at its 5-second limit) with its answer discarded. The
// thread then ends by itself.

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string_view>
#include <thread>
#include <variant>

#include "kalu_ui/channel.h"
#include "kalu_ui/instant.h"
#include "panes/audio/tool.h"

namespace settings::panes::audio {

inline constexpr std::string_view kAudioToolThreadName = "settings-audio-tool";

// What the worker answers, each naming what it was asked.
struct InputLevelRead {
  float level = kFallbackInputLevel;
};
struct StatusLoaded {
  WpctlStatus status;
};
struct DefaultSet {
  std::uint32_t node_id = 0;
  kalu_ui::Status outcome;
};
struct SourceVolumeSet {
  float level_percent = 0.0f;
  kalu_ui::Status outcome;
};
using ToolAnswer = std::variant<InputLevelRead, StatusLoaded, DefaultSet, SourceVolumeSet>;

struct ToolReply {
  std::uint64_t ticket = 0;  // what the request's call returned
  ToolAnswer answer;
};

class AudioToolWorker {
 public:
  // Starts the thread; `tool` is used on it alone.
  explicit AudioToolWorker(std::shared_ptr<AudioTool> tool);
  ~AudioToolWorker();
  AudioToolWorker(const AudioToolWorker&) = delete;
  AudioToolWorker& operator=(const AudioToolWorker&) = delete;

  // Queue one command each and answer its ticket (1, 2, 3 ... per worker).
  std::uint64_t read_input_level();
  std::uint64_t load_status();
  std::uint64_t set_default(std::uint32_t node_id);
  std::uint64_t set_source_volume(float level_percent);

  // The next answer, oldest first, if one has arrived. Never blocks.
  std::optional<ToolReply> try_take();
  // Waits for the next answer until `deadline`. For tests: the UI thread never
  // waits on the worker.
  std::optional<ToolReply> take_until(kalu_ui::Instant deadline);

 private:
  struct ReadInputLevel {};
  struct LoadStatus {};
  struct SetDefault {
    std::uint32_t node_id;
  };
  struct SetSourceVolume {
    float level_percent;
  };
  using Command = std::variant<ReadInputLevel, LoadStatus, SetDefault, SetSourceVolume>;
  struct Request {
    std::uint64_t ticket;
    Command command;
  };
  // What the thread and the worker share: whether the pane has gone, and
  // whether a command is running right now.
  struct Shared {
    std::mutex mutex;
    bool closed = false;
    bool running = false;
  };

  std::uint64_t submit(Command command);
  static void run(std::shared_ptr<AudioTool> tool, std::shared_ptr<Shared> shared,
                  kalu_ui::channel::Receiver<Request> requests,
                  kalu_ui::channel::Sender<ToolReply> replies);
  static ToolAnswer answer(AudioTool& tool, const Command& command);

  std::shared_ptr<Shared> shared_;
  std::optional<kalu_ui::channel::Sender<Request>> requests_;
  std::optional<kalu_ui::channel::Receiver<ToolReply>> replies_;
  std::thread thread_;
  std::uint64_t next_ticket_ = 1;
};

}  // namespace settings::panes::audio
