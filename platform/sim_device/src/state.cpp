#include "sim_device/state.h"

#include <fcntl.h>
#include <fmt/format.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <mutex>
#include <system_error>
#include <thread>

#include "kalu_ui/log.h"
#include "safe_write/read.h"
#include "safe_write/safe_write.h"
#include "sections.h"
#include "sim_device/display.h"

namespace sim_device {

namespace {

namespace fs = std::filesystem;
using kalu_ui::fail;
using kalu_ui::Result;
using kalu_ui::Status;

constexpr mode_t kPrivate = 0600;

std::string os_error(int err) { return std::error_code(err, std::generic_category()).message(); }

// ---- where the file lives ----

// The user's state directory by the XDG rules: $XDG_STATE_HOME when absolute,
// else ~/.local/state (the home from $HOME, else the password database).
std::optional<fs::path> state_dir() {
  if (const char* xdg = std::getenv("XDG_STATE_HOME"); xdg != nullptr && *xdg == '/') return xdg;
  if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') {
    return fs::path(home) / ".local" / "state";
  }
  std::vector<char> buffer(16384);
  passwd entry{};
  passwd* found = nullptr;
  if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 &&
      found != nullptr && found->pw_dir != nullptr && *found->pw_dir != '\0') {
    return fs::path(found->pw_dir) / ".local" / "state";
  }
  return std::nullopt;
}

// The largest state file read: a device with every section full takes a few
// hundred kilobytes.
constexpr std::size_t kMaxStateBytes = std::size_t{16} << 20;

// The process-wide state below is never destroyed: worker threads that
// outlive main (they are detached) may still read the device while the
// process tears its statics down.
std::mutex& aside_mutex = *new std::mutex;
testing::ScopedAsideRename::Rename& aside_rename =
    *new testing::ScopedAsideRename::Rename;  // guarded by aside_mutex

int move_aside(const fs::path& from, const fs::path& to) {
  {
    std::lock_guard lock(aside_mutex);
    if (aside_rename) return aside_rename(from, to);
  }
  return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

std::mutex& path_mutex = *new std::mutex;
std::optional<fs::path>& path_override = *new std::optional<fs::path>;  // guarded by path_mutex

// ---- what identifies one version of the file ----

struct Identity {
  dev_t dev = 0;
  ino_t ino = 0;
  off_t size = -1;
  timespec mtime{};
  timespec ctime{};

  bool operator==(const Identity& o) const {
    return dev == o.dev && ino == o.ino && size == o.size && mtime.tv_sec == o.mtime.tv_sec &&
           mtime.tv_nsec == o.mtime.tv_nsec && ctime.tv_sec == o.ctime.tv_sec &&
           ctime.tv_nsec == o.ctime.tv_nsec;
  }
};

std::optional<Identity> identity_of(const fs::path& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return std::nullopt;
  return Identity{st.st_dev, st.st_ino, st.st_size, st.st_mtim, st.st_ctim};
}

// The last parse, shared by every thread of the process.
struct Cache {
  std::mutex mutex;
  fs::path path;
  Identity identity;
  State state;
};
Cache& cache = *new Cache;

State cached(const fs::path& path, const Identity& identity) {
  std::lock_guard lock(cache.mutex);
  if (cache.state && cache.path == path && cache.identity == identity) return cache.state;
  return nullptr;
}

void remember(const fs::path& path, const Identity& identity, State state) {
  std::lock_guard lock(cache.mutex);
  cache.path = path;
  cache.identity = identity;
  cache.state = std::move(state);
}

// ---- the lock beside the file ----

// Each acquisition opens its own description of the lock file: flock() between
// two threads of one process only excludes when they hold different ones.
class FileLock {
 public:
  static Result<FileLock> take(const fs::path& state, int how) {
    fs::path path = state;
    path += ".lock";
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, kPrivate);
    if (fd < 0 && errno == ENOENT) {
      std::error_code ec;
      fs::create_directories(path.parent_path(), ec);
      if (!ec) fs::permissions(path.parent_path(), fs::perms::owner_all, ec);
      fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, kPrivate);
    }
    if (fd < 0) {
      return fail("simulated device state {}: could not open its lock: {}", state.string(),
                  os_error(errno));
    }
    while (::flock(fd, how) != 0) {
      if (errno == EINTR) continue;
      int err = errno;
      ::close(fd);
      return fail("simulated device state {}: could not lock it: {}", state.string(),
                  os_error(err));
    }
    return FileLock(fd);
  }
  FileLock(FileLock&& o) noexcept : fd_(std::exchange(o.fd_, -1)) {}
  FileLock& operator=(FileLock&&) = delete;
  ~FileLock() {
    if (fd_ >= 0) ::close(fd_);  // closing the last descriptor releases the lock
  }

 private:
  explicit FileLock(int fd) : fd_(fd) {}
  int fd_;
};

// ---- reading and checking one version ----

// What was found at the path: nothing, a usable state, or a file that must not
// be used (with the reason).
struct Found {
  enum class Kind { Missing, Usable, Unusable } kind = Kind::Missing;
  State state;
  std::optional<Identity> identity;
  std::string reason;
};

// The parser's own message can quote the bytes it stopped at, and those may be
// a passphrase: only the position is kept.
std::string syntax_reason(std::string_view text) {
  try {
    Json ignored = Json::parse(text);
  } catch (const Json::parse_error& e) {
    return fmt::format("not valid JSON (syntax error at byte {})", e.byte);
  } catch (const Json::exception&) {
  }
  return "not valid JSON";
}

// Fills in the sections a file written before they existed lacks.
void complete_sections(Json& state) {
  for (const auto& spec : detail::section_table()) {
    if (!state.contains(spec.name)) state[std::string(spec.name)] = spec.seed();
  }
}

Result<Found> load(const fs::path& path) {
  auto before = identity_of(path);
  if (!before) {
    if (errno == ENOENT) return Found{};
    return fail("simulated device state {}: {}", path.string(), os_error(errno));
  }
  if (State hit = cached(path, *before)) return Found{Found::Kind::Usable, hit, before, {}};
  // A FIFO, a device or a directory in the file's place, or a file past the
  // bound, is refused without blocking and kept aside like a damaged file:
  // the device must come up whatever was left at its path.
  auto text = safe_write::read_bounded(path, kMaxStateBytes);
  if (!text) return Found{Found::Kind::Unusable, nullptr, before, text.error()};
  if (!*text) return Found{};
  Json state;
  try {
    state = Json::parse(**text);
  } catch (const Json::exception&) {
    return Found{Found::Kind::Unusable, nullptr, before, syntax_reason(**text)};
  }
  if (!state.is_object()) {
    return Found{Found::Kind::Unusable, nullptr, before, "not a JSON object"};
  }
  complete_sections(state);
  if (auto ok = check_state(state); !ok) {
    return Found{Found::Kind::Unusable, nullptr, before, ok.error()};
  }
  auto shared = std::make_shared<const Json>(std::move(state));
  // Another writer may have replaced the file while it was read; the
  // identity taken before reading is the one these bytes belong to only when
  // the file still has it.
  if (auto after = identity_of(path); after && *after == *before) remember(path, *after, shared);
  return Found{Found::Kind::Usable, shared, before, {}};
}

std::string utc_stamp() {
  std::time_t now = std::time(nullptr);
  std::tm tm{};
  ::gmtime_r(&now, &tm);
  char buffer[32];
  std::strftime(buffer, sizeof buffer, "%Y%m%dT%H%M%SZ", &tm);
  return buffer;
}

// ---- writing ----

void write_display_snapshot(const Json& before, const Json& after) {
  const Json& old_display = before.contains("display") ? before["display"] : Json();
  const Json& display = after["display"];
  fs::path snapshot = display_snapshot_file();
  bool same = old_display.is_object() && old_display["outputs"] == display["outputs"] &&
              old_display["config"] == display["config"];
  std::error_code ec;
  if (same && fs::exists(snapshot, ec)) return;
  Json view = {{"outputs", display["outputs"]}, {"config", display["config"]}};
  // Best effort: a snapshot that cannot be written only delays a reload.
  (void)safe_write::write_with_mode(snapshot, view.dump(2), kPrivate);
}

// "key=value" lines of the policy; a pair that would break that form (a
// key holding "=", either side holding a line feed) is left out.
std::string update_policy_text(const Json& policy) {
  std::string text;
  for (const auto& [key, value] : policy.items()) {
    if (!value.is_string()) continue;
    const auto& v = value.get_ref<const std::string&>();
    if (key.find_first_of("=\n") != std::string::npos || v.find('\n') != std::string::npos) {
      continue;
    }
    text += key + "=" + v + "\n";
  }
  return text;
}

void write_update_policy(const Json& before, const Json& after) {
  const Json* old_updates = before.contains("updates") ? &before["updates"] : nullptr;
  const Json& policy = after["updates"]["policy"];
  fs::path file = update_policy_file();
  std::error_code ec;
  bool same = old_updates != nullptr && old_updates->is_object() &&
              old_updates->contains("policy") && (*old_updates)["policy"] == policy;
  if (same && fs::exists(file, ec)) return;
  // Best effort, as the display snapshot: a later change writes it again.
  (void)safe_write::write_with_mode(file, update_policy_text(policy), 0644);
}

AccountFiles account_file_paths(const fs::path& state) {
  fs::path passwd = state;
  fs::path group = state;
  return {passwd.replace_extension(".passwd"), group.replace_extension(".group")};
}

// Under the state's lock, so the files always follow the last change. They
// hold no secret (no password reaches the section) and are world-readable,
// as the real ones are.
Status write_account_files(const fs::path& state_file, const Json& before, const Json& after) {
  AccountFiles files = account_file_paths(state_file);
  std::error_code ec;
  bool present = fs::exists(files.passwd, ec) && fs::exists(files.group, ec);
  if (present && before.contains("users") && before["users"] == after["users"]) return {};
  for (const auto& [path, text] : {std::pair{files.passwd, detail::render_passwd(after["users"])},
                                   std::pair{files.group, detail::render_group(after["users"])}}) {
    if (auto ok = safe_write::write_with_mode(path, text, 0644); !ok) {
      return fail("the simulated account file {} could not be written: {}", path.string(),
                  ok.error());
    }
  }
  return {};
}

Result<State> write_state(const fs::path& path, const Json& before, Json state) {
  std::string bytes = state.dump(2, ' ', false, Json::error_handler_t::replace);
  bytes.push_back('\n');
  if (auto ok = safe_write::write_creating_parent_with_mode(path, bytes, kPrivate); !ok) {
    return fail("simulated device state {} could not be written: {}", path.string(), ok.error());
  }
  write_display_snapshot(before, state);
  write_update_policy(before, state);
  // The state is the truth; files that could not follow it are written again
  // by the next change or by account_files().
  (void)write_account_files(path, before, state);
  auto shared = std::make_shared<const Json>(std::move(state));
  if (auto identity = identity_of(path)) remember(path, *identity, shared);
  return shared;
}

// Moves an unusable file aside and seeds a fresh device, under the exclusive
// lock. Always an error: the operation that found the file does not go on.
kalu_ui::Status quarantine(const fs::path& path, const std::string& reason) {
  fs::path aside = path;
  aside += ".corrupt-" + utc_stamp();
  for (int n = 1; ::access(aside.c_str(), F_OK) == 0; ++n) {
    aside = path;
    aside += fmt::format(".corrupt-{}-{}", utc_stamp(), n);
  }
  if (int err = move_aside(path, aside); err != 0) {
    return fail("simulated device state {} is unusable ({}) and could not be moved aside: {}",
                path.string(), reason, os_error(err));
  }
  auto seeded = write_state(path, Json::object(), seeded_state());
  if (!seeded) return fail(seeded.error());
  // Said once, where the person running the program sees it, besides the
  // operation that found the file.
  kalu_ui::log::warn("kalu::sim_device", "sim_device::state",
                     "unusable simulated device state kept aside; a fresh device was set up",
                     {{"op", "device_state_read"},
                      {"path", path.string()},
                      {"copy", aside.string()},
                      {"error", reason}});
  return fail(
      "simulated device state {} was unusable ({}); it was kept as {} and a fresh device was "
      "set up",
      path.string(), reason, aside.filename().string());
}

// The usable state under the exclusive lock: seeded when missing; an error
// after moving an unusable file aside.
Result<State> usable_locked(const fs::path& path) {
  auto found = load(path);
  if (!found) return fail(found.error());
  switch (found->kind) {
    case Found::Kind::Usable:
      return found->state;
    case Found::Kind::Missing:
      return write_state(path, Json::object(), seeded_state());
    case Found::Kind::Unusable:
      return fail(quarantine(path, found->reason).error());
  }
  return fail("unreachable");
}

Result<State> read_slow(const fs::path& path) {
  {
    auto lock = FileLock::take(path, LOCK_SH);
    if (!lock) return fail(lock.error());
    auto found = load(path);
    if (!found) return fail(found.error());
    if (found->kind == Found::Kind::Usable) return found->state;
  }
  // Missing or unusable: repair under the exclusive lock (another process may
  // have done it meanwhile; load() sees that).
  auto lock = FileLock::take(path, LOCK_EX);
  if (!lock) return fail(lock.error());
  return usable_locked(path);
}

}  // namespace

fs::path state_path() {
  {
    std::lock_guard lock(path_mutex);
    if (path_override) return *path_override;
  }
  if (const char* env = std::getenv("KALU_DEVICE_STATE"); env != nullptr && *env != '\0') {
    return fs::absolute(env);
  }
  // Under test the user's own device is never touched: without a
  // ScopedDeviceState there is no device at all.
  if (std::getenv("KALU_TEST") != nullptr) return {};
  // Without any home there is no device either: a file relative to wherever
  // the program runs would be another device in every folder.
  auto dir = state_dir();
  if (!dir) return {};
  return *dir / "kalu" / "simulated-device.json";
}

fs::path display_snapshot_file() {
  fs::path path = state_path();
  if (path.empty()) return path;
  path.replace_extension(".displays.json");
  return path;
}

fs::path update_policy_file() {
  fs::path path = state_path();
  if (path.empty()) return path;
  path.replace_extension(".update-policy");
  return path;
}

// Why there is no file: a test without its device, or no state folder.
std::string no_device() {
  if (std::getenv("KALU_TEST") != nullptr) {
    return "no simulated device is set up for this test (give it a ScopedDeviceState)";
  }
  return "the simulated device is unavailable: no state folder is known (neither "
         "XDG_STATE_HOME nor a home folder is set)";
}

namespace {

Result<State> read_at(const fs::path& path) {
  if (auto identity = identity_of(path)) {
    if (State hit = cached(path, *identity)) return hit;
  }
  return read_slow(path);
}

}  // namespace

Result<State> read() {
  fs::path path = state_path();
  if (path.empty()) return fail(no_device());
  Result<State> state = read_at(path);
  // A display safety test past its deadline ends before anyone sees the
  // state (the clock is read only while a test runs).
  if (!state || !display::test_running(**state) ||
      !display::test_overdue(**state, display::clock_unix_ms())) {
    return state;
  }
  // update() ends it under the lock; when it cannot, the next reader tries.
  if (!update("", [](Json&) -> Status { return {}; })) return state;
  return read_at(path);
}

std::optional<std::string> fault(const Json& state, std::string_view operation) {
  if (operation.empty()) return std::nullopt;
  auto faults = state.find("faults");
  if (faults == state.end() || !faults->is_object()) return std::nullopt;
  auto found = faults->find(std::string(operation));
  if (found == faults->end() || !found->is_string()) return std::nullopt;
  return found->get<std::string>();
}

Result<State> read_for(std::string_view operation) {
  auto state = read();
  if (!state) return state;
  if (auto text = fault(**state, operation)) return fail(*text);
  return state;
}

Result<Json> section(std::string_view operation, std::string_view name) {
  auto state = read_for(operation);
  if (!state) return fail(state.error());
  auto found = (*state)->find(std::string(name));
  if (found == (*state)->end()) return fail("no section \"{}\"", name);
  return *found;
}

Status update(std::string_view operation, const std::function<Status(Json& state)>& edit) {
  fs::path path = state_path();
  if (path.empty()) return fail(no_device());
  auto lock = FileLock::take(path, LOCK_EX);
  if (!lock) return fail(lock.error());
  auto current = usable_locked(path);
  if (!current) return fail(current.error());
  if (auto text = fault(**current, operation)) return fail(*text);
  Json next = **current;
  // The device ends an overdue display safety test before any change.
  if (display::test_running(next)) {
    (void)display::expire_overdue_test(next, display::clock_unix_ms());
  }
  if (auto ok = edit(next); !ok) return ok;
  if (auto ok = check_state(next); !ok) return fail("refused: {}", ok.error());
  auto written = write_state(path, **current, std::move(next));
  if (!written) return fail(written.error());
  return {};
}

std::chrono::milliseconds delay(std::string_view operation) {
  auto state = read();
  if (!state) return std::chrono::milliseconds(0);
  auto delays = (*state)->find("delays");
  if (delays == (*state)->end()) return std::chrono::milliseconds(0);
  auto found = delays->find(std::string(operation));
  if (found == delays->end() || !found->is_number_integer()) return std::chrono::milliseconds(0);
  return std::chrono::milliseconds(found->get<std::int64_t>());
}

void wait_delay(std::string_view operation, const std::function<bool()>& cancelled) {
  auto until = std::chrono::steady_clock::now() + delay(operation);
  while (std::chrono::steady_clock::now() < until) {
    if (cancelled && cancelled()) return;
    auto left = until - std::chrono::steady_clock::now();
    std::this_thread::sleep_for(
        std::min<std::chrono::steady_clock::duration>(left, std::chrono::milliseconds(20)));
  }
}

Status reset() {
  fs::path path = state_path();
  if (path.empty()) return fail(no_device());
  auto lock = FileLock::take(path, LOCK_EX);
  if (!lock) return fail(lock.error());
  Json before = Json::object();
  auto written = write_state(path, before, seeded_state());
  if (!written) return fail(written.error());
  return {};
}

Json seeded_state() {
  Json state = Json::object();
  for (const auto& spec : detail::section_table()) state[std::string(spec.name)] = spec.seed();
  return state;
}

Status check_state(const Json& state) {
  if (!state.is_object()) return fail("the state is not a JSON object");
  for (const auto& spec : detail::section_table()) {
    auto found = state.find(std::string(spec.name));
    if (found == state.end()) return fail("{}: missing", spec.name);
    if (auto ok = spec.shape().check(*found, std::string(spec.name)); !ok) return ok;
  }
  return {};
}

std::vector<std::string> section_names() {
  std::vector<std::string> names;
  for (const auto& spec : detail::section_table()) names.emplace_back(spec.name);
  return names;
}

Result<AccountFiles> account_files() {
  fs::path path = state_path();
  if (path.empty()) return fail(no_device());
  AccountFiles files = account_file_paths(path);
  std::error_code ec;
  if (fs::exists(files.passwd, ec) && fs::exists(files.group, ec)) return files;
  auto lock = FileLock::take(path, LOCK_EX);
  if (!lock) return fail(lock.error());
  auto current = usable_locked(path);
  if (!current) return fail(current.error());
  if (auto ok = write_account_files(path, Json::object(), **current); !ok) return fail(ok.error());
  return files;
}

// ---- tests ----

ScopedDeviceState::ScopedDeviceState() {
  const char* tmp = std::getenv("TMPDIR");
  std::string pattern =
      std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/kalu-device-XXXXXX";
  if (::mkdtemp(pattern.data()) == nullptr) std::abort();
  dir_ = pattern;
  {
    std::lock_guard lock(path_mutex);
    previous_ = std::exchange(path_override, path());
  }
  if (const char* env = std::getenv("KALU_DEVICE_STATE")) previous_env_ = env;
  ::setenv("KALU_DEVICE_STATE", path().c_str(), 1);
  Json fresh = seeded_state();
  fresh["delays"] = Json::object();
  (void)write_state(path(), Json::object(), std::move(fresh));
}

ScopedDeviceState::~ScopedDeviceState() {
  {
    std::lock_guard lock(path_mutex);
    path_override = std::move(previous_);
  }
  if (previous_env_) {
    ::setenv("KALU_DEVICE_STATE", previous_env_->c_str(), 1);
  } else {
    ::unsetenv("KALU_DEVICE_STATE");
  }
  std::error_code ignored;
  fs::remove_all(dir_, ignored);
}

fs::path ScopedDeviceState::path() const { return dir_ / "simulated-device.json"; }

testing::ScopedAsideRename::ScopedAsideRename(Rename rename) {
  std::lock_guard lock(aside_mutex);
  previous_ = std::exchange(aside_rename, std::move(rename));
}

testing::ScopedAsideRename::~ScopedAsideRename() {
  std::lock_guard lock(aside_mutex);
  aside_rename = std::move(previous_);
}

}  // namespace sim_device
