#include "desktop_file/applications.h"

#include <fmt/format.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <ctime>
#include <map>
#include <mutex>
#include <system_error>
#include <unordered_map>

#include "desktop_file/key_file.h"
#include "prefs_store/paths.h"
#include "scan_internal.h"

namespace desktop_file {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kGroup = "Desktop Entry";
constexpr std::string_view kSuffix = ".desktop";
constexpr std::size_t kMaxEntryBytes = 1 << 20;

DirStamp stamp_of(const fs::path& dir) {
  DirStamp stamp;
  stamp.path = dir;
  std::error_code ec;
  const auto status = fs::status(dir, ec);
  stamp.exists = !ec && fs::is_directory(status);
  if (stamp.exists) stamp.mtime = fs::last_write_time(dir, ec);
  return stamp;
}

// The desktop ids of one folder and the files they name, without replacing
// ids an earlier folder already decided.
void collect_root(const fs::path& root, std::map<std::string, fs::path>& files,
                  std::vector<DirStamp>& stamps) {
  stamps.push_back(stamp_of(root));
  if (!stamps.back().exists) return;
  std::error_code ec;
  fs::recursive_directory_iterator it(root, fs::directory_options::skip_permission_denied, ec);
  for (; !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
    const fs::directory_entry& entry = *it;
    std::error_code kind_ec;
    if (entry.is_directory(kind_ec)) {
      // Links to folders are not entered by the walk, so they are no part
      // of what it read either.
      if (!entry.is_symlink(kind_ec)) stamps.push_back(stamp_of(entry.path()));
      continue;
    }
    const std::string name = entry.path().filename().string();
    if (name.size() <= kSuffix.size() || !name.ends_with(kSuffix)) continue;
    if (!entry.is_regular_file(kind_ec)) continue;
    std::string id = entry.path().lexically_relative(root).generic_string();
    for (char& c : id) {
      if (c == '/') c = '-';
    }
    files.try_emplace(std::move(id), entry.path());
  }
}

// What a file looked like when it was read: its identity, size and times.
struct FileStamp {
  dev_t device = 0;
  ino_t inode = 0;
  off_t size = 0;
  std::int64_t modified_ns = 0;
  std::int64_t changed_ns = 0;

  bool operator==(const FileStamp&) const = default;
};

std::optional<FileStamp> file_stamp(const fs::path& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return std::nullopt;
  const auto ns = [](const timespec& t) {
    return static_cast<std::int64_t>(t.tv_sec) * 1'000'000'000 + t.tv_nsec;
  };
  return FileStamp{info.st_dev, info.st_ino, info.st_size, ns(info.st_mtim), ns(info.st_ctim)};
}

// File times move in clock ticks: a file changed again within the tick it was
// read in could keep its stamp. Only a file left alone for a while is kept.
bool settled(const FileStamp& stamp) {
  timespec now{};
  if (::clock_gettime(CLOCK_REALTIME, &now) != 0) return false;
  const std::int64_t now_ns = static_cast<std::int64_t>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
  constexpr std::int64_t kSettled = 2'000'000'000;
  return std::max(stamp.modified_ns, stamp.changed_ns) < now_ns - kSettled;
}

// The entries read so far, by file: a pane that lists the applications each
// time it opens reads every entry, and parsing the translated names of a
// few dozen entries costs milliseconds.
struct KeptEntry {
  FileStamp stamp;
  DesktopEntry entry;
};
constexpr std::size_t kKeptEntries = 4096;
std::mutex kept_mutex;
std::unordered_map<std::string, KeptEntry> kept;

}  // namespace

ApplicationRoots ApplicationRoots::from_environment() {
  std::vector<fs::path> data;
  if (auto home = prefs_store::data_dir()) data.push_back(*home);
  for (auto& dir : prefs_store::data_dirs()) data.push_back(std::move(dir));
  return under(data);
}

ApplicationRoots ApplicationRoots::under(const std::vector<fs::path>& data_dirs) {
  ApplicationRoots roots;
  for (const fs::path& dir : data_dirs) roots.dirs.push_back(dir / "applications");
  return roots;
}

std::optional<std::string> DesktopEntry::app_id() const {
  if (!desktop_id.ends_with(kSuffix) || desktop_id.size() == kSuffix.size()) return std::nullopt;
  return desktop_id.substr(0, desktop_id.size() - kSuffix.size());
}

kalu_ui::Result<DesktopEntry> parse_entry(std::string_view text, fs::path path,
                                          std::string desktop_id) {
  const KeyFile file = KeyFile::parse(text);
  if (auto line = file.first_malformed_line()) {
    return kalu_ui::fail("{}: line {} is not a key file line", path.string(), *line);
  }
  if (!file.has_group(kGroup)) {
    return kalu_ui::fail("{} has no [Desktop Entry] group", path.string());
  }
  DesktopEntry entry;
  entry.hidden = file.boolean(kGroup, "Hidden").value_or(false);
  const auto type = file.string(kGroup, "Type");
  if (type != "Application") {
    return kalu_ui::fail("{} is not an application entry", path.string());
  }
  auto name = file.string(kGroup, "Name");
  if (!name || name->empty()) {
    return kalu_ui::fail("{} names no application", path.string());
  }
  entry.desktop_id = std::move(desktop_id);
  entry.path = std::move(path);
  entry.name = std::move(*name);
  entry.exec = file.string(kGroup, "Exec");
  entry.no_display = file.boolean(kGroup, "NoDisplay").value_or(false);
  entry.mime_types = file.list(kGroup, "MimeType");
  entry.kalu_kind = file.string(kGroup, "X-Kalu-Kind");
  return entry;
}

kalu_ui::Result<DesktopEntry> read_entry(const fs::path& path, std::string desktop_id) {
  // Stamped before the read: a file that changes meanwhile no longer matches
  // the stamp kept with it, so the next call reads it again.
  const std::optional<FileStamp> stamp = file_stamp(path);
  if (stamp) {
    std::lock_guard lock(kept_mutex);
    if (auto it = kept.find(path.string()); it != kept.end() && it->second.stamp == *stamp) {
      DesktopEntry entry = it->second.entry;
      entry.desktop_id = std::move(desktop_id);
      return entry;
    }
  }
  auto text = read_small_file(path, kMaxEntryBytes);
  if (!text) return std::unexpected(text.error());
  if (!*text) return kalu_ui::fail("{} does not exist", path.string());
  auto entry = parse_entry(**text, path, std::move(desktop_id));
  if (entry && stamp && settled(*stamp)) {
    std::lock_guard lock(kept_mutex);
    if (kept.size() >= kKeptEntries) kept.clear();
    kept.insert_or_assign(path.string(), KeptEntry{*stamp, *entry});
  }
  return entry;
}

std::vector<DesktopEntry> scan_with_stamps(const ApplicationRoots& roots,
                                           std::vector<DirStamp>& stamps) {
  std::map<std::string, fs::path> files;
  for (const fs::path& root : roots.dirs) collect_root(root, files, stamps);
  std::vector<DesktopEntry> entries;
  entries.reserve(files.size());
  for (auto& [id, path] : files) {
    auto entry = read_entry(path, id);
    if (entry && !entry->hidden) entries.push_back(std::move(*entry));
  }
  return entries;
}

std::vector<DesktopEntry> scan(const ApplicationRoots& roots) {
  std::vector<DirStamp> stamps;
  return scan_with_stamps(roots, stamps);
}

std::optional<std::string> exec_program(std::string_view exec) {
  std::size_t i = 0;
  while (i < exec.size() && (exec[i] == ' ' || exec[i] == '\t')) ++i;
  std::string program;
  if (i < exec.size() && exec[i] == '"') {
    // Inside quotes a backslash escapes '"', '`', '$' and '\'.
    for (++i;; ++i) {
      if (i == exec.size()) return std::nullopt;
      if (exec[i] == '"') break;
      if (exec[i] == '\\' && i + 1 < exec.size()) ++i;
      program += exec[i];
    }
  } else {
    while (i < exec.size() && exec[i] != ' ' && exec[i] != '\t') program += exec[i++];
  }
  if (program.empty()) return std::nullopt;
  return program;
}

}  // namespace desktop_file
