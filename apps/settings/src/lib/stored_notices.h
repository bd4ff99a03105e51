#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

// Notice that the stored preferences changed, whoever changed them: this
// process (the set-setting store notes each save at once) or another writer
// of the settings document (a watch on the file notes it). A reader that
// shows a stored value (a preference pane, the window's look) keeps the
// generation it last read at and reads again when it moved; the store's
// document cache makes a read of an unchanged file cost a stat.
namespace settings::lib {

// The changes noted so far; only ever grows.
std::uint64_t stored_generation();
// Notes a change (any thread).
void note_stored_change();

// A set-setting that was refused (a value the preference cannot hold, a save
// that failed), for the preference page shown: it reads the stored value
// again, so the control that made the edit shows what is stored, and says
// why. Noting one wakes the frame loop, so that happens in the next frame.
struct RefusedEdit {
  std::uint64_t count = 0;  // refusals noted so far
  std::string message;      // why the last one was refused
};
void note_refused_edit(std::string message);
RefusedEdit last_refused_edit();

// Watches one file (the settings document) on the worker
// "kalu-prefs-watch": an inotify watch of its folder, which sees the rename
// an atomic replace ends with. At each change of the file it notes it and
// wakes the frame loop, so what shows the file's values follows within a
// frame; when idle the worker sleeps in poll. Where the folder cannot be
// watched no worker runs and only this process's own saves are noted.
// Dropping the watch never waits: the worker is told to end and does so by
// itself.
class StoredWatch {
 public:
  explicit StoredWatch(const std::filesystem::path& file);
  ~StoredWatch();
  StoredWatch(const StoredWatch&) = delete;
  StoredWatch& operator=(const StoredWatch&) = delete;

  // Whether a worker watches the file.
  bool watching() const { return watching_; }

  struct Shared {
    ~Shared();
    int wake = -1;  // tells the worker to end
    std::atomic<bool> closed{false};
  };

 private:
  std::shared_ptr<Shared> shared_;
  bool watching_ = false;
};

}  // namespace settings::lib
