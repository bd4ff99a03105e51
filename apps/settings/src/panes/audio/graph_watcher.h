#pragma once

// The Sound pane's second worker, "settings-audio-graph": it reads the audio
// graph when the device says it may have changed (GraphChanges) and sends
// the pane a graph only when its topology differs from the last one the
// pane holds or was sent, so a quiet device costs the pane no read, no
// wake-up and no frame. Where no notice can be had it reads every
// kRefreshInterval instead. read_now() asks for a read at once, whose graph
// is sent whatever it holds.
//
// Dropping the watcher never waits: the thread is told to end and does so
// by itself, after a read in progress.

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>

#include "kalu_ui/channel.h"
#include "media_kit/audio.h"

namespace settings::panes::audio {

inline constexpr std::string_view kGraphWatcherName = "settings-audio-graph";
// How often the graph is read when no notice of its changes can be had.
inline constexpr std::chrono::milliseconds kRefreshInterval{1500};

// What tells the watcher that the graph may have changed: a descriptor to
// poll, and the reading of what it says. Used on the watcher's thread alone.
class GraphChanges {
 public:
  virtual ~GraphChanges() = default;
  // -1 when no notice can be had.
  virtual int fd() const = 0;
  // Consumes what is pending at fd(); true when the graph may have changed.
  virtual bool take() = 0;
};

// The simulated device's state file, where the graph lives.
std::shared_ptr<GraphChanges> device_graph_changes();

class GraphWatcher {
 public:
  // `held` is the topology the pane holds already.
  GraphWatcher(std::shared_ptr<media_kit::AudioEnumerator> enumerator,
               std::shared_ptr<GraphChanges> changes, std::uint64_t held);
  ~GraphWatcher();
  GraphWatcher(const GraphWatcher&) = delete;
  GraphWatcher& operator=(const GraphWatcher&) = delete;

  // Reads the graph at once and sends it, changed or not.
  void read_now();
  // The newest graph sent since the last call, if any. Never blocks.
  std::optional<media_kit::AudioGraph> try_take();

 private:
  struct Shared;
  std::shared_ptr<Shared> shared_;
  std::optional<kalu_ui::channel::Receiver<media_kit::AudioGraph>> graphs_;
};

}  // namespace settings::panes::audio
