#include "kalu_ui/wake.h"

#include <chrono>
#include <utility>

namespace kalu_ui::wake {

void Waker::wake() {
  std::shared_ptr<const std::function<void()>> hook;
  {
    std::lock_guard lock(mutex_);
    if (pending_) return;
    pending_ = true;
    hook = hook_;
  }
  cv_.notify_all();
  if (hook && *hook) (*hook)();
}

bool Waker::wait_until(Instant deadline) {
  std::unique_lock lock(mutex_);
  cv_.wait_until(lock, steady_point(deadline), [this] { return pending_; });
  return std::exchange(pending_, false);
}

void Waker::wait() {
  std::unique_lock lock(mutex_);
  cv_.wait(lock, [this] { return pending_; });
  pending_ = false;
}

bool Waker::take() {
  std::lock_guard lock(mutex_);
  return std::exchange(pending_, false);
}

void Waker::set_hook(std::function<void()> hook) {
  auto shared = hook ? std::make_shared<const std::function<void()>>(std::move(hook)) : nullptr;
  std::lock_guard lock(mutex_);
  hook_ = std::move(shared);
}

namespace {

// Never destroyed: a worker thread may still send (and so wake) while the
// process tears its statics down after main returns.
std::mutex& current_mutex() {
  static std::mutex& mutex = *new std::mutex;
  return mutex;
}

std::shared_ptr<Waker>& current_slot() {
  static std::shared_ptr<Waker>& waker = *new std::shared_ptr<Waker>;
  return waker;
}

}  // namespace

std::shared_ptr<Waker> install_waker(std::shared_ptr<Waker> waker) {
  std::lock_guard lock(current_mutex());
  return std::exchange(current_slot(), std::move(waker));
}

std::shared_ptr<Waker> current_waker() {
  std::lock_guard lock(current_mutex());
  return current_slot();
}

void wake_current() {
  if (auto waker = current_waker()) waker->wake();
}

WakeHandle WakeHandle::create() { return WakeHandle(); }

WakeHandle WakeHandle::bound_to(std::shared_ptr<Waker> waker) {
  auto state = std::make_shared<State>();
  state->waker = std::move(waker);
  return WakeHandle(std::move(state));
}

bool WakeHandle::authorize_publication() const {
  if (!may_publish()) return false;
  wake();
  return true;
}

bool WakeHandle::may_publish() const { return !state_->refusing.load(std::memory_order_acquire); }

void WakeHandle::wake() const {
  if (state_->waker) {
    state_->waker->wake();
  } else {
    wake_current();
  }
}

void WakeHandle::set_refusing(bool refusing) const {
  state_->refusing.store(refusing, std::memory_order_release);
}

}  // namespace kalu_ui::wake
