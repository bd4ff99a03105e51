#include <fcntl.h>
#include <fmt/format.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <limits>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

#include "limited_exec/limited_exec.h"
#include "limited_exec/programs.h"

extern char** environ;

namespace limited_exec {

namespace {

using Clock = std::chrono::steady_clock;

// How long output may still arrive after the program itself has ended, from
// anything it left running with our pipes; then the rest of its group is killed.
constexpr auto kExitGrace = std::chrono::milliseconds(200);
// Poll interval when the kernel offers no process descriptor to wait on.
constexpr int kFallbackTickMs = 20;

std::string os_error(int err) { return std::strerror(err); }

class Fd {
 public:
  Fd() = default;
  explicit Fd(int fd) : fd_(fd) {}
  Fd(Fd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  Fd& operator=(Fd&& other) noexcept {
    if (this != &other) {
      reset();
      fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
  }
  ~Fd() { reset(); }
  int get() const { return fd_; }
  bool open() const { return fd_ >= 0; }
  void reset() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }

 private:
  int fd_ = -1;
};

kalu_ui::Result<std::pair<Fd, Fd>> make_pipe() {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) return kalu_ui::fail(os_error(errno));
  return std::pair<Fd, Fd>(Fd(fds[0]), Fd(fds[1]));
}

void set_nonblocking(int fd) { ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK); }

Clock::time_point deadline_after(std::chrono::nanoseconds timeout) {
  Clock::time_point now = Clock::now();
  if (timeout <= std::chrono::nanoseconds::zero()) return now;
  if (timeout >= Clock::time_point::max() - now) return Clock::time_point::max();
  return now + std::chrono::duration_cast<Clock::duration>(timeout);
}

std::string describe_timeout(std::chrono::nanoseconds timeout) {
  auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(timeout).count();
  if (ms % 1000 == 0) return fmt::format("timed out after {} s", ms / 1000);
  return fmt::format("timed out after {} ms", ms);
}

std::string describe_signal(int sig) {
  const char* name = ::sigabbrev_np(sig);
  if (name == nullptr) return fmt::format("killed by signal {}", sig);
  return fmt::format("killed by signal {} (SIG{})", sig, name);
}

// Writes without letting a reader that went away raise SIGPIPE in this process:
// the signal is blocked on this thread and a pending one is consumed.
ssize_t write_no_sigpipe(int fd, const char* data, size_t size) {
  sigset_t pipe_set, old_set;
  sigemptyset(&pipe_set);
  sigaddset(&pipe_set, SIGPIPE);
  sigset_t pending;
  sigemptyset(&pending);
  ::sigpending(&pending);
  bool already_pending = sigismember(&pending, SIGPIPE) == 1;
  ::pthread_sigmask(SIG_BLOCK, &pipe_set, &old_set);
  ssize_t n = ::write(fd, data, size);
  int saved = errno;
  if (n < 0 && saved == EPIPE && !already_pending) {
    struct timespec zero {};
    ::sigtimedwait(&pipe_set, nullptr, &zero);
  }
  ::pthread_sigmask(SIG_SETMASK, &old_set, nullptr);
  errno = saved;
  return n;
}

// Standard input may carry a secret (chpasswd reads passwords there): every
// copy the runner makes is overwritten before its memory is given back,
// spare capacity and a short string's inline buffer included.
void wipe(std::string& bytes) {
  ::explicit_bzero(bytes.data(), bytes.capacity());
  bytes.clear();
}

// Wipes a prepared command's standard-input bytes where it still holds them.
void wipe_stdin(PreparedCommand& command) {
  if (command.stdin_data) wipe(*command.stdin_data);
}

// Takes the standard-input bytes out of a prepared command, wiping what the
// move leaves behind there.
std::string take_stdin(PreparedCommand& command) {
  if (!command.stdin_data) return {};
  std::string bytes = std::move(*command.stdin_data);
  wipe(*command.stdin_data);
  return bytes;
}

}  // namespace

// One started command and the state of its pipes.
class Child {
 public:
  Child(std::string program, int pid, std::chrono::nanoseconds timeout, std::size_t cap)
      : program_(std::move(program)),
        pid_(pid),
        timeout_(timeout),
        deadline_(deadline_after(timeout)),
        cap_(cap) {
    int pidfd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
    if (pidfd >= 0) {
      ::fcntl(pidfd, F_SETFD, FD_CLOEXEC);
      pidfd_ = Fd(pidfd);
    }
  }

  ~Child() {
    kill_and_reap();
    wipe(stdin_data_);
  }

  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;

  void attach(Fd out, Fd err, Fd in, std::string&& stdin_data) {
    out_ = std::move(out);
    err_ = std::move(err);
    in_ = std::move(in);
    stdin_data_ = std::move(stdin_data);
    wipe(stdin_data);
    for (const Fd* fd : {&out_, &err_, &in_}) {
      if (fd->open()) set_nonblocking(fd->get());
    }
    if (in_.open() && stdin_data_.empty()) in_.reset();
  }

  int pid() const { return pid_; }

  // Moves the pipes along, waiting at most `max_wait` for something to happen.
  // Empty while the command runs.
  kalu_ui::Result<std::optional<Output>> step(std::chrono::milliseconds max_wait) {
    if (pid_ <= 0) return kalu_ui::fail("{} has already been waited for", program_);
    pump(max_wait);
    check_exit();
    Clock::time_point now = Clock::now();
    if (exited_) {
      bool drained = !out_.open() && !err_.open();
      if (drained || now - exited_at_ >= kExitGrace) return finish();
      return std::optional<Output>();
    }
    if (now >= deadline_) {
      kill_and_reap();
      return kalu_ui::fail(describe_timeout(timeout_));
    }
    return std::optional<Output>();
  }

  kalu_ui::Result<Output> wait() {
    while (true) {
      auto state = step(std::chrono::milliseconds::max());
      if (!state) return std::unexpected(state.error());
      if (*state) return std::move(**state);
    }
  }

  void kill_and_reap() {
    if (pid_ <= 0) return;
    ::kill(-pid_, SIGKILL);
    close_pipes();
    int status = 0;
    while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    pid_ = 0;
  }

 private:
  void close_pipes() {
    out_.reset();
    err_.reset();
    in_.reset();
    pidfd_.reset();
  }

  int poll_timeout_ms(std::chrono::milliseconds max_wait) const {
    auto now = Clock::now();
    auto limit = exited_ ? exited_at_ + kExitGrace : deadline_;
    auto until = limit > now ? std::chrono::ceil<std::chrono::milliseconds>(limit - now)
                             : std::chrono::milliseconds(0);
    auto wait = std::min(max_wait, until);
    if (!pidfd_.open() && !exited_)
      wait = std::min(wait, std::chrono::milliseconds(kFallbackTickMs));
    return static_cast<int>(
        std::min<std::chrono::milliseconds::rep>(wait.count(), std::numeric_limits<int>::max()));
  }

  void pump(std::chrono::milliseconds max_wait) {
    std::array<pollfd, 4> fds{};
    int n = 0;
    auto add = [&](const Fd& fd, short events) {
      if (fd.open()) fds[n++] = pollfd{fd.get(), events, 0};
    };
    add(out_, POLLIN);
    add(err_, POLLIN);
    add(in_, POLLOUT);
    if (!exited_) add(pidfd_, POLLIN);
    int timeout = poll_timeout_ms(max_wait);
    if (n == 0) {
      if (timeout > 0) ::poll(nullptr, 0, timeout);
      return;
    }
    if (::poll(fds.data(), n, timeout) <= 0) return;
    for (int i = 0; i < n; ++i) {
      if (fds[i].revents == 0) continue;
      if (fds[i].fd == out_.get()) {
        drain(out_, output_.stdout_bytes, output_.stdout_truncated);
      } else if (fds[i].fd == err_.get()) {
        drain(err_, output_.stderr_bytes, output_.stderr_truncated);
      } else if (fds[i].fd == in_.get()) {
        feed();
      }
    }
  }

  // Reads everything available; past the cap the bytes are dropped.
  void drain(Fd& fd, std::string& into, bool& truncated) {
    std::array<char, 65536> buffer;
    while (true) {
      ssize_t got = ::read(fd.get(), buffer.data(), buffer.size());
      if (got > 0) {
        size_t room = cap_ > into.size() ? cap_ - into.size() : 0;
        size_t keep = std::min(room, static_cast<size_t>(got));
        into.append(buffer.data(), keep);
        if (keep < static_cast<size_t>(got)) truncated = true;
        continue;
      }
      if (got < 0 && errno == EINTR) continue;
      if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
      fd.reset();  // end of stream or a broken pipe
      return;
    }
  }

  void feed() {
    while (stdin_written_ < stdin_data_.size()) {
      ssize_t put = write_no_sigpipe(in_.get(), stdin_data_.data() + stdin_written_,
                                     stdin_data_.size() - stdin_written_);
      if (put > 0) {
        stdin_written_ += static_cast<size_t>(put);
        continue;
      }
      if (put < 0 && errno == EINTR) continue;
      if (put < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return;
      break;  // the child closed its standard input; it gets no more
    }
    in_.reset();
    wipe(stdin_data_);
  }

  // Notices that the program ended without reaping it: the zombie keeps its
  // process group id reserved, so killing the group later cannot hit a
  // stranger that took over the number.
  void check_exit() {
    if (exited_) return;
    siginfo_t info{};
    if (::waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
        info.si_pid == pid_) {
      exited_ = true;
      exited_at_ = Clock::now();
    }
  }

  kalu_ui::Result<std::optional<Output>> finish() {
    // Whatever the program left running in its group goes with it.
    ::kill(-pid_, SIGKILL);
    close_pipes();
    int status = 0;
    int got;
    while ((got = ::waitpid(pid_, &status, 0)) < 0 && errno == EINTR) {
    }
    int err = errno;
    pid_ = 0;
    if (got < 0) return kalu_ui::fail("could not wait for {}: {}", program_, os_error(err));
    if (WIFSIGNALED(status)) return kalu_ui::fail(describe_signal(WTERMSIG(status)));
    output_.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return std::optional<Output>(std::move(output_));
  }

  std::string program_;
  int pid_;
  std::chrono::nanoseconds timeout_;
  Clock::time_point deadline_;
  std::size_t cap_;
  Fd pidfd_;
  Fd out_, err_, in_;
  std::string stdin_data_;
  size_t stdin_written_ = 0;
  bool exited_ = false;
  Clock::time_point exited_at_{};
  Output output_;
};

namespace {

thread_local std::uint64_t programs_run_here = 0;

// A descriptor the child is to find at 0, 1 or 2 must not already sit at one
// of them (the application may have closed its own standard streams), or one
// dup2 would overwrite what another still needs: such a one is moved up first.
kalu_ui::Result<Fd> above_standard_streams(Fd fd) {
  if (fd.get() > 2) return fd;
  int moved = ::fcntl(fd.get(), F_DUPFD_CLOEXEC, 3);
  if (moved < 0) return kalu_ui::fail(os_error(errno));
  return Fd(moved);
}

// The child's descriptors and signal state, prepared for posix_spawn: its
// own process group, no blocked signals, SIGPIPE at its default (the
// application may ignore it), the three streams in place and every other
// descriptor closed.
class SpawnSetup {
 public:
  SpawnSetup() {
    ::posix_spawn_file_actions_init(&actions_);
    ::posix_spawnattr_init(&attr_);
  }
  ~SpawnSetup() {
    ::posix_spawn_file_actions_destroy(&actions_);
    ::posix_spawnattr_destroy(&attr_);
  }
  SpawnSetup(const SpawnSetup&) = delete;
  SpawnSetup& operator=(const SpawnSetup&) = delete;

  int prepare(int in_fd, int out_fd, int err_fd) {
    sigset_t none, defaults;
    sigemptyset(&none);
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    const short flags = POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF;
    for (int rc :
         {::posix_spawnattr_setflags(&attr_, flags), ::posix_spawnattr_setpgroup(&attr_, 0),
          ::posix_spawnattr_setsigmask(&attr_, &none),
          ::posix_spawnattr_setsigdefault(&attr_, &defaults),
          ::posix_spawn_file_actions_adddup2(&actions_, in_fd, 0),
          ::posix_spawn_file_actions_adddup2(&actions_, out_fd, 1),
          ::posix_spawn_file_actions_adddup2(&actions_, err_fd, 2),
          // Descriptors the application opened without close-on-exec
          // stay here.
          ::posix_spawn_file_actions_addclosefrom_np(&actions_, 3)}) {
      if (rc != 0) return rc;
    }
    return 0;
  }

  const posix_spawn_file_actions_t* actions() const { return &actions_; }
  const posix_spawnattr_t* attr() const { return &attr_; }

 private:
  posix_spawn_file_actions_t actions_;
  posix_spawnattr_t attr_;
};

// Starts `command` as `executable` (already resolved through the program
// table). posix_spawn shares the application's memory with the child until
// it executes the program (no copy of the page tables, no copy-on-write
// faults afterwards), so starting costs the same however large the
// application is; an exec failure comes back as its error number.
kalu_ui::Result<std::unique_ptr<Child>> start_resolved(PreparedCommand& command,
                                                       const std::string& executable) {
  const bool feeds_stdin = command.stdin_data.has_value();
  std::string stdin_data = take_stdin(command);
  struct WipeOnExit {
    std::string& bytes;
    ~WipeOnExit() { wipe(bytes); }
  } wipe_on_exit{stdin_data};
  auto cannot_start = [&](const std::string& reason) {
    return kalu_ui::fail("cannot start {}: {}", command.program, reason);
  };

  std::vector<char*> argv;
  argv.reserve(command.args.size() + 2);
  std::string argv0 = command.program;
  argv.push_back(argv0.data());
  for (std::string& arg : command.args) argv.push_back(arg.data());
  argv.push_back(nullptr);

  auto out = make_pipe();
  auto err = make_pipe();
  for (const auto* pipe : {&out, &err}) {
    if (!*pipe) return cannot_start(pipe->error());
  }
  Fd stdin_read, stdin_write;
  if (feeds_stdin) {
    auto in = make_pipe();
    if (!in) return cannot_start(in.error());
    stdin_read = std::move(in->first);
    stdin_write = std::move(in->second);
  } else {
    stdin_read = Fd(::open("/dev/null", O_RDONLY | O_CLOEXEC));
    if (!stdin_read.open()) return cannot_start(os_error(errno));
  }
  auto child_in = above_standard_streams(std::move(stdin_read));
  auto child_out = above_standard_streams(std::move(out->second));
  auto child_err = above_standard_streams(std::move(err->second));
  for (const auto* fd : {&child_in, &child_out, &child_err}) {
    if (!*fd) return cannot_start(fd->error());
  }

  SpawnSetup setup;
  if (int rc = setup.prepare(child_in->get(), child_out->get(), child_err->get()); rc != 0) {
    return cannot_start(os_error(rc));
  }
  pid_t pid = 0;
  int rc =
      ::posix_spawn(&pid, executable.c_str(), setup.actions(), setup.attr(), argv.data(), environ);
  if (rc != 0) return cannot_start(os_error(rc));
  auto child = std::make_unique<Child>(command.program, pid, command.timeout, command.output_cap);
  child_in->reset();
  child_out->reset();
  child_err->reset();
  child->attach(std::move(out->first), std::move(err->first), std::move(stdin_write),
                std::move(stdin_data));
  return child;
}

kalu_ui::Result<std::unique_ptr<Child>> start(PreparedCommand& command) {
  auto executable = resolve_program(command.program);
  if (!executable) {
    wipe_stdin(command);
    return kalu_ui::fail("cannot start {}: {}", command.program, executable.error());
  }
  return start_resolved(command, *executable);
}

}  // namespace

// A command being started on a launcher thread: the handle takes the child
// from here once it is there. A handle dropped before that leaves the child
// to the launcher, which kills it as soon as it exists.
struct Launch {
  std::mutex mutex;
  std::condition_variable done_signal;
  bool done = false;
  bool abandoned = false;
  std::unique_ptr<Child> child;
  std::string error;

  void finish(kalu_ui::Result<std::unique_ptr<Child>> started) {
    std::unique_ptr<Child> unwanted;
    {
      std::lock_guard lock(mutex);
      if (!started) {
        error = std::move(started.error());
      } else if (abandoned) {
        unwanted = std::move(*started);
      } else {
        child = std::move(*started);
      }
      done = true;
    }
    done_signal.notify_all();
    // Killed and reaped here, outside the lock.
    unwanted.reset();
  }
};

AsyncCommand::AsyncCommand(std::unique_ptr<Child> child) : child_(std::move(child)) {}
AsyncCommand::AsyncCommand(std::shared_ptr<Launch> launch) : launch_(std::move(launch)) {}
AsyncCommand::AsyncCommand(AsyncCommand&&) noexcept = default;
AsyncCommand& AsyncCommand::operator=(AsyncCommand&& other) noexcept {
  if (this != &other) {
    abandon_launch();
    launch_ = std::move(other.launch_);
    child_ = std::move(other.child_);
  }
  return *this;
}
AsyncCommand::~AsyncCommand() { abandon_launch(); }

void AsyncCommand::abandon_launch() {
  if (!launch_) return;
  std::unique_ptr<Child> child;
  {
    std::lock_guard lock(launch_->mutex);
    if (launch_->done) {
      child = std::move(launch_->child);
    } else {
      launch_->abandoned = true;
    }
  }
  launch_.reset();
}

kalu_ui::Status AsyncCommand::take_launch(bool block) {
  if (!launch_) return {};
  std::unique_lock lock(launch_->mutex);
  if (block) launch_->done_signal.wait(lock, [&] { return launch_->done; });
  if (!launch_->done) return {};
  child_ = std::move(launch_->child);
  std::string error = std::move(launch_->error);
  lock.unlock();
  launch_.reset();
  if (!child_) return kalu_ui::fail(std::move(error));
  return {};
}

kalu_ui::Result<std::optional<Output>> AsyncCommand::try_wait() {
  if (auto taken = take_launch(false); !taken) return std::unexpected(taken.error());
  // Still being started: running, as far as the caller can tell.
  if (launch_) return std::optional<Output>();
  if (!child_) return kalu_ui::fail("the command has already been waited for");
  auto state = child_->step(std::chrono::milliseconds(0));
  if (!state || *state) child_.reset();
  return state;
}

kalu_ui::Result<Output> AsyncCommand::wait() {
  if (auto taken = take_launch(true); !taken) return std::unexpected(taken.error());
  if (!child_) return kalu_ui::fail("the command has already been waited for");
  auto result = child_->wait();
  child_.reset();
  return result;
}

int AsyncCommand::pid() {
  if (auto taken = take_launch(true); !taken) return 0;
  return child_ ? child_->pid() : 0;
}

kalu_ui::Result<AsyncCommand> spawn_prepared(PreparedCommand command) {
  // The table is asked here, and the file looked at, so a program that may
  // not or cannot run is refused at once, in the caller's words; only a
  // failure of the start itself comes later, through the poll.
  auto executable = resolve_program(command.program);
  if (executable && ::access(executable->c_str(), X_OK) != 0) {
    executable = kalu_ui::fail(os_error(errno));
  }
  if (!executable) {
    wipe_stdin(command);
    return kalu_ui::fail("cannot start {}: {}", command.program, executable.error());
  }
  auto launch = std::make_shared<Launch>();
  auto body = [launch, command = std::move(command), path = std::move(*executable)]() mutable {
    launch->finish(start_resolved(command, path));
    wipe_stdin(command);
  };
  try {
    std::thread(std::move(body)).detach();
  } catch (const std::system_error&) {
    // No thread to be had: the caller's thread starts it after all.
    body();
  }
  return AsyncCommand(std::move(launch));
}

kalu_ui::Result<Output> run(std::string_view program, std::span<const std::string> args,
                            std::chrono::nanoseconds timeout, std::size_t output_cap,
                            const Options& options) {
  ++programs_run_here;
  // The copy of the caller's standard input is the runner's to wipe; the
  // caller's own bytes stay the caller's.
  PreparedCommand command{std::string(program), std::vector<std::string>(args.begin(), args.end()),
                          timeout, output_cap, options.stdin_data};
  auto child = start(command);
  if (!child) return std::unexpected(child.error());
  return (*child)->wait();
}

std::uint64_t programs_run_on_this_thread() { return programs_run_here; }

}  // namespace limited_exec
