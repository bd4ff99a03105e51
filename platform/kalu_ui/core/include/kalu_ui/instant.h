#pragma once

#include <chrono>
#include <compare>
#include <cstdint>
#include <optional>

namespace kalu_ui {

// A point of the monotonic clock: whole seconds and nanoseconds below one
// second. Wake deadlines are optional Instants; the tree answers the earliest.
struct Instant {
  std::int64_t secs = 0;
  std::uint32_t nanos = 0;

  friend auto operator<=>(const Instant&, const Instant&) = default;
  friend bool operator==(const Instant&, const Instant&) = default;

  static Instant now();
  static Instant from_duration(std::chrono::nanoseconds since_clock_start);

  std::chrono::nanoseconds since_clock_start() const {
    return std::chrono::seconds(secs) + std::chrono::nanoseconds(nanos);
  }
  Instant operator+(std::chrono::nanoseconds d) const {
    return from_duration(since_clock_start() + d);
  }
  // Time from `earlier` to this instant (negative when earlier is later).
  std::chrono::nanoseconds operator-(const Instant& earlier) const {
    return since_clock_start() - earlier.since_clock_start();
  }
};

// The earlier of two optional deadlines; an absent one does not count.
inline std::optional<Instant> earliest(std::optional<Instant> a, std::optional<Instant> b) {
  if (!a) return b;
  if (!b) return a;
  return *b < *a ? b : a;
}

}  // namespace kalu_ui
