#include "limited_exec/programs.h"

#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <mutex>
#include <utility>

namespace limited_exec {

namespace {

std::mutex table_mutex;
std::optional<ProgramTable> test_table;  // guarded by table_mutex
std::atomic<bool> test_table_seen{false};

constexpr std::string_view kDefaultPath = "/usr/local/bin:/usr/bin:/bin";

bool is_executable_file(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

kalu_ui::Result<std::string> search_path(std::string_view name) {
  const char* env = std::getenv("PATH");
  std::string_view dirs = env != nullptr && *env != '\0' ? std::string_view(env) : kDefaultPath;
  while (true) {
    size_t colon = dirs.find(':');
    std::string_view dir = dirs.substr(0, colon);
    // An empty entry would mean the working directory; never look there.
    if (!dir.empty() && dir.front() == '/') {
      std::string candidate = std::string(dir) + "/" + std::string(name);
      if (is_executable_file(candidate)) return candidate;
    }
    if (colon == std::string_view::npos) break;
    dirs.remove_prefix(colon + 1);
  }
  return kalu_ui::fail("No such file or directory");
}

}  // namespace

void ProgramTable::add(std::string program, std::string executable) {
  entries_.insert_or_assign(std::move(program), std::move(executable));
}

std::optional<std::string> ProgramTable::find(std::string_view program) const {
  auto it = entries_.find(program);
  if (it == entries_.end()) return std::nullopt;
  return it->second;
}

const std::vector<std::string>& program_names() {
  static const std::vector<std::string> names = {
      // Looked up on PATH, as a user's shell would.
      "wpctl", "systemctl", "journalctl", "bootc", "findmnt", "lsblk", "firewall-cmd", "nft",
      "pkexec", "kalu-model-manager", "xdg-open",
      // Named by their absolute paths by their callers.
      "/usr/bin/kalu-enroll", "/usr/bin/kalu-relay-admin", "/usr/libexec/kalu-home-peer-control",
      // The account programs, run behind pkexec on a real device; a user's
      // PATH often lacks the sbin folders.
      "/usr/sbin/useradd", "/usr/sbin/chpasswd", "/usr/sbin/userdel", "/usr/bin/gpasswd",
      "/usr/libexec/kalu-autologin"};
  return names;
}

ProgramTable simulated_programs(const std::string& simdev) {
  ProgramTable t;
  for (const auto& name : program_names()) t.add(name, simdev);
  return t;
}

ProgramTable system_programs() {
  ProgramTable t;
  for (const auto& name : program_names()) t.add(name, name);
  return t;
}

std::string simdev_path() {
  if (const char* env = std::getenv("KALU_SIMDEV"); env != nullptr && *env == '/') return env;
  char self[4096];
  ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
  if (n > 0) {
    std::string dir(self, static_cast<std::size_t>(n));
    dir.erase(dir.rfind('/') + 1);
    if (is_executable_file(dir + "simdev")) return dir + "simdev";
  }
#ifdef KALU_SIMDEV_BUILD_PATH
  if (is_executable_file(KALU_SIMDEV_BUILD_PATH)) return KALU_SIMDEV_BUILD_PATH;
#endif
  return "simdev";
}

bool system_device() {
  const char* device = std::getenv("KALU_DEVICE");
  return device != nullptr && std::string_view(device) == "system";
}

const ProgramTable& real_programs() {
  // Never destroyed: a detached worker may still start a program while the
  // process exits, after static destructors have run.
  static const ProgramTable& table =
      *new ProgramTable(system_device() ? system_programs() : simulated_programs(simdev_path()));
  return table;
}

bool test_mode() {
  if (test_table_seen.load()) return true;
  const char* flag = std::getenv("KALU_TEST");
  return flag != nullptr;
}

void enter_test_mode() { test_table_seen.store(true); }

ScopedTestPrograms::ScopedTestPrograms(ProgramTable table) {
  std::lock_guard lock(table_mutex);
  test_table_seen.store(true);
  previous_ = std::exchange(test_table, std::move(table));
}

ScopedTestPrograms::~ScopedTestPrograms() {
  std::lock_guard lock(table_mutex);
  test_table = std::move(previous_);
}

kalu_ui::Result<std::string> resolve_program(std::string_view program) {
  if (test_mode()) {
    std::optional<std::string> fake;
    {
      std::lock_guard lock(table_mutex);
      if (test_table) fake = test_table->find(program);
    }
    if (!fake) return kalu_ui::fail("not in the test program table");
    // Never fall back to a PATH lookup under test: that could reach the real program.
    if (fake->empty() || fake->front() != '/') {
      return kalu_ui::fail("test program table entry is not an absolute path");
    }
    return *fake;
  }
  std::optional<std::string> executable = real_programs().find(program);
  if (!executable) return kalu_ui::fail("not an allowed program");
  if (!executable->empty() && executable->front() == '/') return *executable;
  return search_path(*executable);
}

}  // namespace limited_exec
