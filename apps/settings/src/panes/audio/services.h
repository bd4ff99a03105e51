#pragma once

// What the Sound pane works with besides its wpctl worker: the default
// output's volume and mute (read here, changed through the system operations
// dispatcher), the "audio" section of the settings document, the audio graph
// and its controls (media_kit), the audio runtime's tests and a clock. Each
// is a shared object the pane's tests replace with a fake; the defaults act
// on the device. All of them are quick reads or writes of small files, so
// the pane calls them on the UI thread; the wpctl runs, which may take
// seconds, go through the worker (workers.h).

#include <functional>
#include <memory>

#include "kalu_ui/instant.h"
#include "kalu_ui/result.h"
#include "media_kit/audio.h"
#include "media_kit/graph_control.h"
#include "media_kit/runtime.h"
#include "panes/audio/graph_watcher.h"
#include "panes/audio/tool.h"
#include "stored/sections.h"
#include "system_ops/audio.h"
#include "system_ops/dispatcher.h"

namespace settings::panes::audio {

class AudioServices {
 public:
  virtual ~AudioServices() = default;
  // The default output's volume (0..1) and mute.
  virtual kalu_ui::Result<system_ops::audio::VolumeState> volume_state();
  // The "audio" section as saved; the defaults when it is absent or does not
  // read.
  virtual stored::AudioPrefs load_prefs();
  // Reads the section afresh, lets `edit` change it and merges the whole
  // section back; a settings file that cannot be read is never replaced.
  virtual kalu_ui::Status save_prefs(const std::function<void(stored::AudioPrefs&)>& edit);
  virtual kalu_ui::Instant now();
};

// Everything the pane is built on; an empty member is the device's own. The
// enumerator is also used on the graph watcher's thread.
struct AudioDependencies {
  std::shared_ptr<AudioServices> services;
  std::shared_ptr<system_ops::Dispatcher> dispatcher;
  std::shared_ptr<AudioTool> tool;
  std::shared_ptr<media_kit::AudioEnumerator> enumerator;
  std::shared_ptr<media_kit::GraphControl> graph_control;
  std::shared_ptr<media_kit::AudioRuntimeControl> runtime;
  // What tells the graph watcher to read the graph again.
  std::shared_ptr<GraphChanges> graph_changes;

  // Fills every empty member with the device's object.
  void fill_defaults();
};

}  // namespace settings::panes::audio
