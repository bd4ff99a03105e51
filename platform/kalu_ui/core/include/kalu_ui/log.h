#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// The logging facade. Warning events only; each carries a target (whose
// events they are: the toolkit's kToolkitTarget, or a program's own such as
// "kalu::settings"), the module that failed, a message and named fields (op,
// error, and where useful requested, profile, device ...). Events go to
// stderr unless a test installs a capture sink.
namespace kalu_ui::log {

// The target of every event the toolkit itself emits.
inline constexpr std::string_view kToolkitTarget = "kalu::ui";

enum class Level { Warn };

struct Field {
  std::string name;
  std::string value;
};

struct Event {
  Level level = Level::Warn;
  std::string target;
  std::string module;
  std::string message;
  std::vector<Field> fields;

  // The value of the named field, or nullptr.
  const std::string* field(std::string_view name) const;
};

class Sink {
 public:
  virtual ~Sink() = default;
  virtual void write(const Event& event) = 0;
};

// Writes one line per event to stderr:
// "WARN kalu::settings settings::panes::display: message op=... error=..."
class StderrSink : public Sink {
 public:
  void write(const Event& event) override;
};

// Keeps every event in memory; tests read them back.
class CaptureSink : public Sink {
 public:
  void write(const Event& event) override;
  std::vector<Event> events() const;
  void clear();

 private:
  mutable std::mutex mutex_;
  std::vector<Event> events_;
};

// Replaces the process-wide sink; answers the previous one. Passing nullptr
// restores the stderr sink.
std::shared_ptr<Sink> set_sink(std::shared_ptr<Sink> sink);

// Installs a capture sink for the lifetime of the guard (tests).
class ScopedCapture {
 public:
  ScopedCapture();
  ~ScopedCapture();
  ScopedCapture(const ScopedCapture&) = delete;
  ScopedCapture& operator=(const ScopedCapture&) = delete;
  std::vector<Event> events() const { return sink_->events(); }
  const CaptureSink& sink() const { return *sink_; }

 private:
  std::shared_ptr<CaptureSink> sink_;
  std::shared_ptr<Sink> previous_;
};

void emit(Event event);

// The usual call: warn(target, module, message, {{"op", ...}, {"error", ...}}).
void warn(std::string_view target, std::string_view module, std::string_view message,
          std::vector<Field> fields = {});

}  // namespace kalu_ui::log
