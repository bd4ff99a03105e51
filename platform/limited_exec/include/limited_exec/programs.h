#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "kalu_ui/result.h"

// The program table: every program the runner starts is looked up here by the
// name (or absolute path) its caller uses, and the table says what is really
// executed. The application runs only programs it knows; tests replace the
// whole table with small fake scripts and the runner then fails closed.
namespace limited_exec {

class ProgramTable {
 public:
  // `executable` is what runs for `program`: an absolute path, or a bare name
  // looked up on PATH when the command starts.
  void add(std::string program, std::string executable);
  std::optional<std::string> find(std::string_view program) const;
  bool empty() const { return entries_.empty(); }

 private:
  std::map<std::string, std::string, std::less<>> entries_;
};

// The names (or absolute paths) of the programs the application runs.
const std::vector<std::string>& program_names();

// Every program name pointing at `simdev` (an absolute path), which answers
// as the program it was started as.
ProgramTable simulated_programs(const std::string& simdev);

// Every program name pointing at the real program: bare names looked up on
// PATH, absolute paths as they are.
ProgramTable system_programs();

// Where simdev is: $KALU_SIMDEV, else "simdev" beside the running program,
// else the one this build made, else "simdev" on PATH.
std::string simdev_path();

// The table outside tests: the simulated device's programs (simdev) by
// default, the real ones when KALU_DEVICE is "system". The device services
// themselves stay simulated either way, except the login accounts, which
// are the machine's own on a real device (system_ops/users.h).
const ProgramTable& real_programs();

// True when KALU_DEVICE is "system": what the application reads of the
// machine itself (programs, firmware variables) is the real machine's.
bool system_device();

// True when the process is under test: the environment variable KALU_TEST is
// set, or a test table has been installed at any time in this process (the
// mode never switches back). In test mode only the installed test table is
// consulted; without one every program is refused.
bool test_mode();

// Switches this process to test mode for good. Test support calls it before
// main, so a test binary is safe even when run without KALU_TEST.
void enter_test_mode();

// Installs a test table for the guard's lifetime; nested guards stack.
class ScopedTestPrograms {
 public:
  explicit ScopedTestPrograms(ProgramTable table);
  ~ScopedTestPrograms();
  ScopedTestPrograms(const ScopedTestPrograms&) = delete;
  ScopedTestPrograms& operator=(const ScopedTestPrograms&) = delete;

 private:
  std::optional<ProgramTable> previous_;
};

// The absolute path to execute for `program`, or why it may not run
// ("not in the test program table", "not an allowed program", or the lookup's
// own failure). Called by the runner before it forks.
kalu_ui::Result<std::string> resolve_program(std::string_view program);

}  // namespace limited_exec
