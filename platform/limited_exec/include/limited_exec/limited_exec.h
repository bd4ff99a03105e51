#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "kalu_ui/result.h"

// Bounded child processes: a program from the program table (programs.h) is
// started from an argument vector (never through a shell) in a process group of
// its own, both output streams are captured up to a cap, and the whole group is
// killed when the time limit passes or the caller drops an asynchronous handle.
// Programs are started with posix_spawn, which never copies the application's
// memory map, so a start costs the same however large the application is.
namespace limited_exec {

struct Options {
  // Bytes written to the child's standard input, which is closed afterwards.
  // Without them standard input is /dev/null. They may be a secret (a
  // password for chpasswd): the runner's own copies are wiped once written
  // and when the command ends; the caller wipes its own.
  std::optional<std::string> stdin_data;
};

// A command that ran to its end. Output beyond the cap is read and dropped so
// the child never blocks on a full pipe; the flags say whether that happened.
struct Output {
  int status = 0;  // the exit status; 0 is success
  std::string stdout_bytes;
  std::string stderr_bytes;
  bool stdout_truncated = false;
  bool stderr_truncated = false;

  bool success() const { return status == 0; }
};

// Runs `program` with `args` and waits for it. The error is the runner's own
// description: the program is not allowed or cannot start, it timed out, or it
// was killed by a signal. A non-zero exit status is not an error: callers judge
// it from the output. `output_cap` bounds each stream separately.
kalu_ui::Result<Output> run(std::string_view program, std::span<const std::string> args,
                            std::chrono::nanoseconds timeout, std::size_t output_cap,
                            const Options& options = {});

// Everything needed to start a command later, or on another thread.
struct PreparedCommand {
  PreparedCommand(std::string program, std::vector<std::string> args,
                  std::chrono::nanoseconds timeout, std::size_t output_cap,
                  std::optional<std::string> stdin_data = std::nullopt)
      : program(std::move(program)),
        args(std::move(args)),
        timeout(timeout),
        output_cap(output_cap),
        stdin_data(std::move(stdin_data)) {}

  std::string program;
  std::vector<std::string> args;
  std::chrono::nanoseconds timeout{0};
  std::size_t output_cap = 0;
  std::optional<std::string> stdin_data;
};

class Child;
struct Launch;

// A running command. try_wait never blocks: it moves the pipes along and
// answers the output once the command has ended. The time limit is enforced
// whenever the handle is polled (and by wait); dropping the handle kills the
// command's process group and reaps it.
class AsyncCommand {
 public:
  explicit AsyncCommand(std::unique_ptr<Child> child);
  explicit AsyncCommand(std::shared_ptr<Launch> launch);
  AsyncCommand(AsyncCommand&&) noexcept;
  AsyncCommand& operator=(AsyncCommand&&) noexcept;
  ~AsyncCommand();

  // Empty while the command is being started or runs; the output once it has
  // ended; an error when it could not start, timed out, was killed by a signal
  // or could not be waited for. After an answer other than "still running"
  // the handle is spent.
  kalu_ui::Result<std::optional<Output>> try_wait();

  // Blocks until the command ends or its time limit passes.
  kalu_ui::Result<Output> wait();

  // The child's process id (also its process group id); 0 once spent or
  // when it could not start. Waits for the start (tests ask it).
  int pid();

 private:
  // Takes the child from the launcher once it is there (waiting for it when
  // `block`); the start's failure is the error.
  kalu_ui::Status take_launch(bool block);
  void abandon_launch();

  std::shared_ptr<Launch> launch_;
  std::unique_ptr<Child> child_;
};

// Checks `command` against the program table and its file for being
// executable at once (a refusal is the error) and starts it on a short-lived
// launcher thread of its own, so the calling thread (the UI thread) never
// starts a program; the handle reads as running until then, and a start that
// fails there is the poll's error.
kalu_ui::Result<AsyncCommand> spawn_prepared(PreparedCommand command);

// How many times the calling thread has asked run() for a program, whether
// it started or was refused: for checks that a thread (the UI thread) never
// runs one and waits for it. spawn_prepared does not count.
std::uint64_t programs_run_on_this_thread();

}  // namespace limited_exec
