// The socket thread: accepts connections, reads request lines into the lanes
// and writes the answers back, with every client's buffers bounded and no
// client able to keep the others waiting.

#include <fmt/format.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <map>
#include <optional>
#include <utility>
#include <vector>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include "kalu_ui/log.h"
#include "request_line.h"
#include "transport.h"

namespace kalu_ui::host {

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::string_view kModule = "kalu_ui::host";
constexpr auto kAcceptRetry = std::chrono::milliseconds(200);
// Freed memory goes back to the system a little after the last large client
// left, once the UI thread has let go of its requests too.
constexpr auto kTrimDelay = std::chrono::milliseconds(200);
// A buffer this large is given back when emptied rather than kept for reuse,
// and a client that held one has the memory trimmed after it goes.
constexpr std::size_t kLargeBuffer = std::size_t{256} << 10;

std::string errno_text() { return std::strerror(errno); }

std::string error_line(std::string_view code, std::string_view message) {
  Json answer = {{"id", nullptr}, {"ok", false}, {"error", {{"code", code}, {"message", message}}}};
  return answer.dump(-1, ' ', false, Json::error_handler_t::replace) + "\n";
}

// Best effort: the connection is closed right after, whether it was read or not.
void send_last_words(int fd, const std::string& line) {
  [[maybe_unused]] ssize_t n = ::send(fd, line.data(), line.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
}

struct Connection {
  int fd = -1;
  // Received, not yet handed on as requests: an unfinished line, or whole
  // lines waiting for the client's earlier requests to be answered.
  std::vector<char> in;
  std::size_t scanned = 0;            // leading bytes of `in` known to hold no newline
  std::string out;                    // answers taken from the lanes, not yet written
  std::size_t outstanding = 0;        // requests handed on, not yet answered
  std::size_t outstanding_bytes = 0;  // their size
  // The error that ends the connection, written after the answers to the
  // requests that came before it.
  std::string closing;
  bool read_closed = false;  // end of input seen, or no more input accepted
  bool gone = false;         // hung up, failed or dropped: closed this turn
  bool large = false;        // held a large buffer at some time
  Clock::time_point last_active;

  bool has_whole_line() const {
    return std::find(in.begin() + static_cast<std::ptrdiff_t>(scanned), in.end(), '\n') != in.end();
  }
  bool finished() const {
    return gone || (read_closed && outstanding == 0 && out.empty() && closing.empty());
  }
};

}  // namespace

class AutomationHost::Transport::Loop {
 public:
  explicit Loop(Transport& transport)
      : t_(transport),
        budget_(limits::input_budget(transport.options)),
        too_long_(fmt::format("request lines are limited to {} bytes",
                              transport.options.max_line_bytes)) {}
  ~Loop() {
    for (auto& [id, c] : clients_) ::close(c.fd);
  }

  void run() {
    while (!t_.stopping) {
      if (!wait_for_events()) break;
      now_ = Clock::now();
      deliver_answers();
      serve_clients();
      reap();
      if (listen_ready_) accept_some();
      if (wake_ui_) t_.wake.wake();
      wake_ui_ = false;
      trim_if_due();
    }
  }

 private:
  bool wants_input(const Connection& c) const {
    return !c.read_closed && !c.gone && c.outstanding < t_.options.max_outstanding_per_client &&
           c.outstanding_bytes + c.in.size() < budget_ && !c.has_whole_line();
  }

  // One poll over the wake-up descriptor, the listening socket and every
  // client; answers false when polling itself failed.
  bool wait_for_events() {
    fds_.clear();
    ids_.clear();
    fds_.push_back({t_.event_fd, POLLIN, 0});
    const bool accept_paused = accept_retry_at_.has_value();
    fds_.push_back({t_.listen_fd, static_cast<short>(accept_paused ? 0 : POLLIN), 0});
    for (auto& [id, c] : clients_) {
      short events = 0;
      if (wants_input(c)) events |= POLLIN;
      if (!c.out.empty()) events |= POLLOUT;
      // Hang-ups are reported whatever is asked for, so a client that is
      // not being read from is still seen going.
      fds_.push_back({c.fd, events, 0});
      ids_.push_back(id);
    }
    if (::poll(fds_.data(), fds_.size(), poll_timeout_ms()) < 0) {
      if (errno == EINTR) return true;
      log::warn("kalu::ui", kModule, "automation transport stopped", {{"error", errno_text()}});
      return false;
    }
    if (fds_[0].revents & POLLIN) {
      std::uint64_t count = 0;
      [[maybe_unused]] ssize_t n = ::read(t_.event_fd, &count, sizeof(count));
    }
    if (accept_retry_at_ && Clock::now() >= *accept_retry_at_) accept_retry_at_.reset();
    listen_ready_ = (fds_[1].revents & POLLIN) != 0;
    return true;
  }

  int poll_timeout_ms() const {
    std::optional<Clock::time_point> due = accept_retry_at_;
    if (trim_at_ && (!due || *trim_at_ < *due)) due = trim_at_;
    if (!due) return -1;
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(*due - Clock::now());
    return static_cast<int>(std::max<std::int64_t>(0, left.count()));
  }

  // Answers from the UI thread go to their connections' output, in order;
  // a client's next waiting line may then go in.
  void deliver_answers() {
    for (Envelope& answer : t_.lanes.take_answers()) {
      auto it = clients_.find(answer.client);
      if (it == clients_.end() || it->second.gone) continue;  // it left: nobody reads it
      Connection& c = it->second;
      if (c.outstanding > 0) --c.outstanding;
      c.outstanding_bytes -= std::min(c.outstanding_bytes, answer.cost);
      if (c.out.size() + answer.line.size() + 1 > limits::kMaxUnsentBytes) {
        drop(answer.client, c, "unread_answers",
             fmt::format("more than {} MiB of answers are unread; the connection is closed",
                         limits::kMaxUnsentBytes >> 20));
        continue;
      }
      c.out += answer.line;
      c.out += '\n';
      c.last_active = now_;
      if (c.outstanding == 0) c.out += std::exchange(c.closing, {});
    }
  }

  void serve_clients() {
    for (std::size_t i = 0; i < ids_.size(); ++i) {
      auto it = clients_.find(ids_[i]);
      if (it == clients_.end()) continue;
      Connection& c = it->second;
      const short revents = fds_[i + 2].revents;
      if (revents & (POLLHUP | POLLERR)) {
        // Gone for good: what it sent and has not been carried out is
        // dropped, since nobody is left to read the answers.
        c.gone = true;
        continue;
      }
      if ((revents & POLLIN) && wants_input(c)) read_input(c);
    }
    for (auto& [id, c] : clients_) {
      if (c.gone) continue;
      queue_lines(id, c);
      write_output(id, c);
      if (c.in.capacity() >= kLargeBuffer || c.out.capacity() >= kLargeBuffer ||
          c.outstanding_bytes >= kLargeBuffer) {
        c.large = true;
      }
    }
  }

  // Reads at most one chunk, and never past the client's input budget.
  void read_input(Connection& c) {
    const std::size_t room = budget_ - c.outstanding_bytes - c.in.size();
    const std::size_t want = std::min(room, limits::kReadChunk);
    const std::size_t old = c.in.size();
    if (c.in.capacity() < old + want) {
      c.in.reserve(std::min(budget_, std::max(old + want, 2 * c.in.capacity())));
    }
    c.in.resize(old + want);
    const ssize_t n = ::recv(c.fd, c.in.data() + old, want, MSG_DONTWAIT);
    c.in.resize(old + static_cast<std::size_t>(std::max<ssize_t>(n, 0)));
    if (n > 0) return;
    if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
      // A line left unfinished at the end of input is a request the client
      // gave up on: it is dropped.
      c.read_closed = true;
      release_input(c);
    }
  }

  // Hands whole lines on while the client has room for more requests.
  void queue_lines(ClientId id, Connection& c) {
    const std::size_t max_line = t_.options.max_line_bytes;
    std::size_t start = 0;
    while (c.closing.empty()) {
      const auto from = c.in.begin() + static_cast<std::ptrdiff_t>(std::max(start, c.scanned));
      const auto newline = std::find(from, c.in.end(), '\n');
      if (newline == c.in.end()) {
        c.scanned = c.in.size();
        break;
      }
      const std::size_t end = static_cast<std::size_t>(newline - c.in.begin());
      if (c.outstanding >= t_.options.max_outstanding_per_client) {
        c.scanned = end;  // the line waits, found again at once
        break;
      }
      std::size_t length = end - start;
      if (length > 0 && c.in[end - 1] == '\r') --length;
      if (length > max_line) {
        end_input(c, "line_too_long", too_long_);
        return;
      }
      std::string line(c.in.data() + start, length);
      start = end + 1;
      c.scanned = start;
      if (line.find_first_not_of(" \t") == std::string::npos) continue;
      ++c.outstanding;
      c.outstanding_bytes += line.size();
      c.last_active = now_;
      const std::size_t cost = line.size();
      wake_ui_ = t_.lanes.push(Envelope{id, std::move(line), cost}) || wake_ui_;
    }
    if (start > 0) {
      c.in.erase(c.in.begin(), c.in.begin() + static_cast<std::ptrdiff_t>(start));
      c.scanned -= start;
    }
    if (c.closing.empty() && !c.has_whole_line() && c.in.size() >= max_line + 2) {
      end_input(c, "line_too_long", too_long_);
      return;
    }
    // A large buffer mostly emptied is given back.
    if (c.in.capacity() >= kLargeBuffer && c.in.capacity() > c.in.size() + limits::kReadChunk) {
      c.in.shrink_to_fit();
    }
  }

  void write_output(ClientId id, Connection& c) {
    if (c.out.empty()) return;
    const ssize_t n = ::send(c.fd, c.out.data(), c.out.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n < 0) {
      if (errno != EAGAIN && errno != EINTR) c.gone = true;
      return;
    }
    c.out.erase(0, static_cast<std::size_t>(n));
    c.last_active = now_;
    if (c.out.empty() && c.out.capacity() >= kLargeBuffer) c.out = std::string();
    // Answers leaving the buffer may let the UI thread serve the client again.
    wake_ui_ = t_.lanes.set_unsent(id, c.out.size()) || wake_ui_;
  }

  // The client broke the protocol: its earlier requests are answered, then
  // this error, then the connection closes; nothing more is read.
  void end_input(Connection& c, std::string_view code, std::string_view message) {
    c.closing = error_line(code, message);
    if (c.outstanding == 0) c.out += std::exchange(c.closing, {});
    c.read_closed = true;
    release_input(c);
  }

  static void release_input(Connection& c) {
    c.in = {};
    c.scanned = 0;
  }

  // Closes a connection at once, with one error line if its socket takes it.
  void drop(ClientId id, Connection& c, std::string_view code, std::string_view message) {
    send_last_words(c.fd, error_line(code, message));
    t_.lanes.close(id);
    c.gone = true;
  }

  void reap() {
    for (auto it = clients_.begin(); it != clients_.end();) {
      Connection& c = it->second;
      if (c.finished()) {
        close_connection(it->first, c);
        it = clients_.erase(it);
      } else {
        ++it;
      }
    }
  }

  void close_connection(ClientId id, Connection& c) {
    ::close(c.fd);
    t_.lanes.close(id);
    if (c.large && !trim_at_) trim_at_ = now_ + kTrimDelay;
  }

  void accept_some() {
    for (std::size_t i = 0; i < limits::kAcceptsPerTurn; ++i) {
      if (!accept_one()) break;
    }
  }

  // Answers whether another connection may be waiting.
  bool accept_one() {
    const int fd = ::accept4(t_.listen_fd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (fd < 0) {
      if (errno == EINTR || errno == ECONNABORTED) return true;
      // Out of descriptors or memory: the waiting connection stays ready, so
      // polling for it again at once would spin; retry a little later.
      if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) {
        accept_retry_at_ = Clock::now() + kAcceptRetry;
      }
      return false;
    }
    // A connection closed before it sent anything wants nothing: it takes
    // no slot.
    char byte = 0;
    if (::recv(fd, &byte, 1, MSG_PEEK | MSG_DONTWAIT) == 0) {
      ::close(fd);
      return true;
    }
    if (auto refusal = refusal_for(fd)) {
      send_last_words(fd, *refusal);
      ::close(fd);
      return true;
    }
    const ClientId id = next_id_++;
    Connection c;
    c.fd = fd;
    c.last_active = now_;
    t_.lanes.open(id);
    clients_.emplace(id, std::move(c));
    return true;
  }

  std::optional<std::string> refusal_for(int fd) {
    ucred peer{};
    socklen_t size = sizeof(peer);
    if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) != 0) {
      return error_line("access_denied", "the connecting process could not be identified");
    }
    if (peer.uid != ::geteuid()) {
      log::warn("kalu::ui", kModule, "automation connection refused",
                {{"op", "accept"}, {"uid", std::to_string(peer.uid)}});
      return error_line("access_denied", "connections are accepted from the same user only");
    }
    if (clients_.size() >= t_.options.max_clients && !evict_idlest()) {
      return error_line("busy", "too many automation clients are connected");
    }
    return std::nullopt;
  }

  // Makes room by closing the connection idle longest, if one has been idle
  // long enough: nothing waiting, nothing being carried out, nothing unsent.
  bool evict_idlest() {
    auto idlest = clients_.end();
    for (auto it = clients_.begin(); it != clients_.end(); ++it) {
      const Connection& c = it->second;
      const bool idle = c.outstanding == 0 && c.out.empty() && !c.has_whole_line() &&
                        now_ - c.last_active >= t_.options.idle_after;
      if (idle && (idlest == clients_.end() || c.last_active < idlest->second.last_active)) {
        idlest = it;
      }
    }
    if (idlest == clients_.end()) return false;
    drop(idlest->first, idlest->second, "idle",
         fmt::format("closed to make room for another client after {} ms without a request",
                     t_.options.idle_after.count()));
    close_connection(idlest->first, idlest->second);
    clients_.erase(idlest);
    return true;
  }

  void trim_if_due() {
    if (!trim_at_ || Clock::now() < *trim_at_) return;
    trim_at_.reset();
#if defined(__GLIBC__)
    // Large requests leave free memory scattered through the allocator's
    // heaps, which it would otherwise keep after the clients have gone.
    ::malloc_trim(0);
#endif
  }

  Transport& t_;
  const std::size_t budget_;
  const std::string too_long_;
  std::map<ClientId, Connection> clients_;
  ClientId next_id_ = 1;
  Clock::time_point now_ = Clock::now();
  std::vector<pollfd> fds_;
  std::vector<ClientId> ids_;
  bool listen_ready_ = false;
  bool wake_ui_ = false;
  std::optional<Clock::time_point> accept_retry_at_;
  std::optional<Clock::time_point> trim_at_;
};

void AutomationHost::Transport::run() { Loop(*this).run(); }

}  // namespace kalu_ui::host
