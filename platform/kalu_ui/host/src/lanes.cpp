#include "lanes.h"

#include <algorithm>
#include <utility>

namespace kalu_ui::host {

void RequestLanes::open(ClientId client) {
  std::lock_guard lock(mutex_);
  lanes_.try_emplace(client);
}

void RequestLanes::close(ClientId client) {
  std::lock_guard lock(mutex_);
  auto it = lanes_.find(client);
  if (it == lanes_.end()) return;
  waiting_ -= it->second.waiting.size();
  if (it->second.in_ring) std::erase(ring_, client);
  lanes_.erase(it);
}

bool RequestLanes::push(Envelope request) {
  std::lock_guard lock(mutex_);
  auto it = lanes_.find(request.client);
  if (it == lanes_.end()) return false;
  Lane& lane = it->second;
  if (!lane.in_ring) {
    ring_.push_back(request.client);
    lane.in_ring = true;
  }
  lane.waiting.push_back(std::move(request));
  ++waiting_;
  return !paused(lane);
}

std::optional<Envelope> RequestLanes::take() {
  std::lock_guard lock(mutex_);
  for (std::size_t turns = ring_.size(); turns > 0; --turns) {
    const ClientId client = ring_.front();
    ring_.pop_front();
    auto it = lanes_.find(client);
    if (it == lanes_.end()) continue;
    Lane& lane = it->second;
    if (lane.waiting.empty()) {
      lane.in_ring = false;
      continue;
    }
    if (paused(lane)) {
      ring_.push_back(client);
      continue;
    }
    Envelope request = std::move(lane.waiting.front());
    lane.waiting.pop_front();
    --waiting_;
    if (lane.waiting.empty()) {
      lane.in_ring = false;
    } else {
      ring_.push_back(client);
    }
    return request;
  }
  return std::nullopt;
}

bool RequestLanes::has_requests() const {
  std::lock_guard lock(mutex_);
  for (ClientId client : ring_) {
    auto it = lanes_.find(client);
    if (it != lanes_.end() && !it->second.waiting.empty() && !paused(it->second)) return true;
  }
  return false;
}

std::size_t RequestLanes::waiting() const {
  std::lock_guard lock(mutex_);
  return waiting_;
}

bool RequestLanes::answer(Envelope answer) {
  std::lock_guard lock(mutex_);
  auto it = lanes_.find(answer.client);
  if (it == lanes_.end()) return false;  // the client left: nobody reads it
  it->second.answered_bytes += answer.line.size() + 1;
  answers_.push_back(std::move(answer));
  return answers_.size() == 1;
}

std::vector<Envelope> RequestLanes::take_answers() {
  std::lock_guard lock(mutex_);
  for (const Envelope& answer : answers_) {
    auto it = lanes_.find(answer.client);
    if (it == lanes_.end()) continue;
    // Counted as unsent until the socket thread says what it has written.
    it->second.answered_bytes -= answer.line.size() + 1;
    it->second.unsent_bytes += answer.line.size() + 1;
  }
  return std::exchange(answers_, {});
}

bool RequestLanes::set_unsent(ClientId client, std::size_t bytes) {
  std::lock_guard lock(mutex_);
  auto it = lanes_.find(client);
  if (it == lanes_.end()) return false;
  Lane& lane = it->second;
  const bool was_paused = paused(lane);
  lane.unsent_bytes = bytes;
  return was_paused && !paused(lane) && !lane.waiting.empty();
}

}  // namespace kalu_ui::host
