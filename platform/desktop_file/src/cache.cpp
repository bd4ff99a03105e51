#include "desktop_file/cache.h"

#include <chrono>
#include <memory>
#include <mutex>

#include "scan_internal.h"

namespace desktop_file::cache {
namespace {

struct Snapshot {
  ApplicationRoots roots;
  std::vector<DirStamp> stamps;
  std::vector<DesktopEntry> entries;
  // A folder changed too recently to trust its stamp: file times move in
  // coarse steps, so a file added in the same step as the scan would leave
  // the stamp as it was. Such a scan serves its caller and is not reused.
  bool racy = false;
};

constexpr auto kRacyWindow = std::chrono::seconds(2);

std::mutex cache_mutex;
std::shared_ptr<const Snapshot> last;  // guarded by cache_mutex

bool still_current(const Snapshot& snapshot, const ApplicationRoots& roots) {
  if (!(snapshot.roots == roots)) return false;
  for (const DirStamp& stamp : snapshot.stamps) {
    std::error_code ec;
    DirStamp now;
    now.path = stamp.path;
    now.exists = std::filesystem::is_directory(stamp.path, ec);
    if (now.exists) now.mtime = std::filesystem::last_write_time(stamp.path, ec);
    if (!(now == stamp)) return false;
  }
  return true;
}

std::shared_ptr<const Snapshot> current(const ApplicationRoots& roots) {
  std::lock_guard lock(cache_mutex);
  if (last && !last->racy && still_current(*last, roots)) return last;
  auto fresh = std::make_shared<Snapshot>();
  fresh->roots = roots;
  const auto started = std::filesystem::file_time_type::clock::now();
  fresh->entries = scan_with_stamps(roots, fresh->stamps);
  for (const DirStamp& stamp : fresh->stamps) {
    if (stamp.exists && stamp.mtime > started - kRacyWindow) fresh->racy = true;
  }
  last = fresh;
  return last;
}

}  // namespace

std::vector<DesktopEntry> cached_entries(const ApplicationRoots& roots) {
  return current(roots)->entries;
}

std::vector<CachedEntry> cached_scan(const ApplicationRoots& roots) {
  const auto snapshot = current(roots);
  std::vector<CachedEntry> out;
  out.reserve(snapshot->entries.size());
  for (const DesktopEntry& entry : snapshot->entries) {
    out.push_back(CachedEntry{entry.desktop_id, entry.app_id(), entry.name});
  }
  return out;
}

std::vector<CachedEntry> cached_scan() { return cached_scan(ApplicationRoots::from_environment()); }

}  // namespace desktop_file::cache
