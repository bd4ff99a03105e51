#pragma once

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>

#include "kalu_ui/instant.h"
#include "kalu_ui/wake.h"

// Channels from worker threads to the UI thread (and back).
//
// `oneshot<T>()` is the one-place channel every worker uses to report its one
// result: the worker sends once; the pane's `sync` polls with `try_recv`,
// which never blocks and tells "nothing yet" from "the worker ended without
// sending". `queue<T>()` carries many values (a long-lived worker's requests).
//
// Sending, and a sender going away, wake the process's current loop so that
// the pane polling the receiver gets a frame; a worker needs no handle of its
// own for that.
namespace kalu_ui::channel {

template <typename T>
class TryRecv {
 public:
  enum class State { Ready, Empty, Disconnected };

  static TryRecv ready(T value) { return TryRecv(State::Ready, std::move(value)); }
  static TryRecv empty() { return TryRecv(State::Empty, std::nullopt); }
  static TryRecv disconnected() { return TryRecv(State::Disconnected, std::nullopt); }

  State state() const { return state_; }
  // A value arrived.
  bool is_ready() const { return state_ == State::Ready; }
  // Nothing yet; the sender may still send.
  bool is_empty() const { return state_ == State::Empty; }
  // Nothing, and nothing will come: every sender is gone.
  bool is_disconnected() const { return state_ == State::Disconnected; }

  // The value; only when is_ready().
  T& value() & { return *value_; }
  T&& value() && { return std::move(*value_); }

 private:
  TryRecv(State state, std::optional<T> value) : state_(state), value_(std::move(value)) {}
  State state_;
  std::optional<T> value_;
};

namespace detail {

template <typename T>
struct Shared {
  std::mutex mutex;
  std::condition_variable cv;
  std::deque<T> values;
  std::size_t senders = 1;
  bool receiver_alive = true;

  bool send(T value) {
    {
      std::lock_guard lock(mutex);
      if (!receiver_alive) return false;
      values.push_back(std::move(value));
    }
    cv.notify_one();
    wake::wake_current();
    return true;
  }

  void drop_sender() {
    bool last;
    {
      std::lock_guard lock(mutex);
      last = --senders == 0;
    }
    if (last) {
      cv.notify_all();
      wake::wake_current();
    }
  }

  void drop_receiver() {
    std::deque<T> dropped;
    std::lock_guard lock(mutex);
    receiver_alive = false;
    dropped.swap(values);
  }

  TryRecv<T> take_locked() {
    if (!values.empty()) {
      T value = std::move(values.front());
      values.pop_front();
      return TryRecv<T>::ready(std::move(value));
    }
    return senders == 0 ? TryRecv<T>::disconnected() : TryRecv<T>::empty();
  }
};

// One end of a channel: owns its share of the state and tells the other side
// when it goes away. Move-only.
template <typename T, void (Shared<T>::*Release)()>
class End {
 public:
  End(End&& other) noexcept = default;
  End& operator=(End&& other) noexcept {
    if (this != &other) {
      release();
      shared_ = std::move(other.shared_);
    }
    return *this;
  }
  ~End() { release(); }

 protected:
  explicit End(std::shared_ptr<Shared<T>> shared) : shared_(std::move(shared)) {}
  void release() {
    if (shared_) (shared_.get()->*Release)();
    shared_.reset();
  }
  std::shared_ptr<Shared<T>> shared_;
};

}  // namespace detail

// The receiving end, shared by both kinds of channel. Move-only.
template <typename T>
class Receiver : public detail::End<T, &detail::Shared<T>::drop_receiver> {
  using Base = detail::End<T, &detail::Shared<T>::drop_receiver>;
  using Base::shared_;

 public:
  explicit Receiver(std::shared_ptr<detail::Shared<T>> shared) : Base(std::move(shared)) {}

  // Never blocks.
  TryRecv<T> try_recv() {
    if (!shared_) return TryRecv<T>::disconnected();
    std::lock_guard lock(shared_->mutex);
    return shared_->take_locked();
  }

  // Blocks until a value arrives (answers it) or every sender is gone (answers
  // none). For worker threads only: the UI thread never waits on a channel.
  std::optional<T> recv() {
    if (!shared_) return std::nullopt;
    std::unique_lock lock(shared_->mutex);
    shared_->cv.wait(lock, [&] { return !shared_->values.empty() || shared_->senders == 0; });
    auto got = shared_->take_locked();
    if (!got.is_ready()) return std::nullopt;
    return std::move(got).value();
  }

  // Like recv, but gives up at the deadline (answering Empty).
  TryRecv<T> recv_until(Instant deadline) {
    if (!shared_) return TryRecv<T>::disconnected();
    std::unique_lock lock(shared_->mutex);
    shared_->cv.wait_until(lock, wake::steady_point(deadline),
                           [&] { return !shared_->values.empty() || shared_->senders == 0; });
    return shared_->take_locked();
  }
};

// The sending end of a one-place channel: sends at most once. Move-only;
// dropping it unsent tells the receiver that nothing will come.
template <typename T>
class OneshotSender : public detail::End<T, &detail::Shared<T>::drop_sender> {
  using Base = detail::End<T, &detail::Shared<T>::drop_sender>;
  using Base::release;
  using Base::shared_;

 public:
  explicit OneshotSender(std::shared_ptr<detail::Shared<T>> shared) : Base(std::move(shared)) {}

  // Hands the value over and spends the sender. Answers false (dropping the
  // value) when the receiver is gone or the sender was already spent.
  bool send(T value) {
    if (!shared_) return false;
    bool sent = shared_->send(std::move(value));
    release();
    return sent;
  }
};

// The sending end of a queue channel. Copies are further senders; the
// receiver sees Disconnected once every copy is gone and the queue is empty.
template <typename T>
class Sender {
 public:
  explicit Sender(std::shared_ptr<detail::Shared<T>> shared) : shared_(std::move(shared)) {}
  Sender(const Sender& other) : shared_(other.shared_) {
    if (shared_) {
      std::lock_guard lock(shared_->mutex);
      ++shared_->senders;
    }
  }
  Sender(Sender&&) noexcept = default;
  Sender& operator=(Sender other) noexcept {
    std::swap(shared_, other.shared_);
    return *this;
  }
  ~Sender() {
    if (shared_) shared_->drop_sender();
  }

  // Answers false (dropping the value) when the receiver is gone.
  bool send(T value) { return shared_ && shared_->send(std::move(value)); }

 private:
  std::shared_ptr<detail::Shared<T>> shared_;
};

template <typename T>
std::pair<OneshotSender<T>, Receiver<T>> oneshot() {
  auto shared = std::make_shared<detail::Shared<T>>();
  return {OneshotSender<T>(shared), Receiver<T>(shared)};
}

template <typename T>
std::pair<Sender<T>, Receiver<T>> queue() {
  auto shared = std::make_shared<detail::Shared<T>>();
  return {Sender<T>(shared), Receiver<T>(shared)};
}

}  // namespace kalu_ui::channel
