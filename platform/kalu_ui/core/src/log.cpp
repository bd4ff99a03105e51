#include "kalu_ui/log.h"

#include <cstdio>
#include <string>

namespace kalu_ui::log {

namespace {

std::mutex g_sink_mutex;

std::shared_ptr<Sink>& current_sink() {
  static std::shared_ptr<Sink> sink = std::make_shared<StderrSink>();
  return sink;
}

}  // namespace

const std::string* Event::field(std::string_view name) const {
  for (const auto& f : fields) {
    if (f.name == name) return &f.value;
  }
  return nullptr;
}

void StderrSink::write(const Event& event) {
  std::string line = "WARN " + event.target + " " + event.module + ": " + event.message;
  for (const auto& f : event.fields) {
    line += " " + f.name + "=" + f.value;
  }
  line += "\n";
  std::fwrite(line.data(), 1, line.size(), stderr);
}

void CaptureSink::write(const Event& event) {
  std::lock_guard lock(mutex_);
  events_.push_back(event);
}

std::vector<Event> CaptureSink::events() const {
  std::lock_guard lock(mutex_);
  return events_;
}

void CaptureSink::clear() {
  std::lock_guard lock(mutex_);
  events_.clear();
}

std::shared_ptr<Sink> set_sink(std::shared_ptr<Sink> sink) {
  std::lock_guard lock(g_sink_mutex);
  if (!sink) sink = std::make_shared<StderrSink>();
  auto previous = current_sink();
  current_sink() = std::move(sink);
  return previous;
}

ScopedCapture::ScopedCapture() : sink_(std::make_shared<CaptureSink>()) {
  previous_ = set_sink(sink_);
}

ScopedCapture::~ScopedCapture() { set_sink(previous_); }

void emit(Event event) {
  std::shared_ptr<Sink> sink;
  {
    std::lock_guard lock(g_sink_mutex);
    sink = current_sink();
  }
  sink->write(event);
}

void warn(std::string_view target, std::string_view module, std::string_view message,
          std::vector<Field> fields) {
  emit(Event{Level::Warn, std::string(target), std::string(module), std::string(message),
             std::move(fields)});
}

}  // namespace kalu_ui::log
