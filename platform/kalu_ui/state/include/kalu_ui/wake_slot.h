#pragma once

#include <cstdint>
#include <limits>
#include <memory>
#include <mutex>
#include <optional>
#include <shared_mutex>
#include <utility>

#include "kalu_ui/wake.h"

namespace kalu_ui {

// A shared value cell: one value behind a reader-writer lock, a count of
// accepted publications, and a wake handle asked before every publication.
// Holders share it through std::shared_ptr; it is freed with the last one.
//
// Mailbox cells are taken in two steps by their reader: `get`, and when the
// copy is not the empty value, `publish` the empty value, then act on the copy.
template <typename T>
class WakeSlot {
 public:
  // A new cell holding `initial` with generation 0 and a new wake handle.
  static std::shared_ptr<WakeSlot> create(T initial) {
    return std::make_shared<WakeSlot>(std::move(initial));
  }

  explicit WakeSlot(T initial, wake::WakeHandle handle = wake::WakeHandle::create(),
                    std::uint64_t generation = 0)
      : value_(std::move(initial)), generation_(generation), wake_(std::move(handle)) {}

  WakeSlot(const WakeSlot&) = delete;
  WakeSlot& operator=(const WakeSlot&) = delete;

  // Stores `value` and answers the new generation; answers none, dropping
  // `value` and keeping the old one, when the wake handle refuses or the
  // generation is exhausted. Publishing the value the cell already holds still
  // counts. The loop is woken after the value is stored, so the frame the
  // wake-up causes always sees it.
  std::optional<std::uint64_t> publish(T value) {
    if (!wake_.may_publish()) return std::nullopt;
    std::unique_lock lock(mutex_);
    if (generation_ == std::numeric_limits<std::uint64_t>::max()) return std::nullopt;
    // The old value is released after the lock; it may own a lot.
    [[maybe_unused]] T old = std::exchange(value_, std::move(value));
    std::uint64_t published = ++generation_;
    lock.unlock();
    wake_.wake();
    return published;
  }

  // A copy of the current value.
  T get() const {
    std::shared_lock lock(mutex_);
    return value_;
  }

  // The number of accepted publications.
  std::uint64_t generation() const {
    std::shared_lock lock(mutex_);
    return generation_;
  }

  // A handle sharing this cell's wake state (a test can make it refuse).
  const wake::WakeHandle& wake_handle() const { return wake_; }

 private:
  mutable std::shared_mutex mutex_;
  T value_;
  std::uint64_t generation_;
  wake::WakeHandle wake_;
};

}  // namespace kalu_ui
