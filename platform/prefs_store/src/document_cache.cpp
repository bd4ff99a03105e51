// The process's document cache: read_document and read_settings_document.

#include <sys/stat.h>

#include <cstdint>
#include <ctime>
#include <deque>
#include <mutex>

#include "files.h"
#include "kalu_ui/log.h"
#include "prefs_store/document.h"
#include "prefs_store/paths.h"
#include "safe_write/read.h"

namespace prefs_store {
namespace {

namespace fs = std::filesystem;
using kalu_ui::fail;
using kalu_ui::Result;

using Stamp = safe_write::FileStamp;

struct Entry {
  fs::path path;
  Stamp stamp;
  bool trusted = false;
  DocumentText document;
};

// A handful of files: the settings document, and the few other documents
// (or a test's) read meanwhile.
constexpr std::size_t kMaxEntries = 8;

class Cache {
 public:
  // The entry's document when its stamp is `stamp` and trusted.
  std::optional<DocumentText> fresh(const fs::path& path, const Stamp& stamp) {
    std::lock_guard lock(mutex_);
    Entry* entry = find(path);
    if (entry == nullptr || !entry->trusted || !(entry->stamp == stamp)) return std::nullopt;
    return entry->document;
  }

  // Keeps `text` read at `stamp`; answers the document, the one held
  // already when its text is the same (so readers keyed on the text object
  // see no change) and whether it is new.
  std::pair<DocumentText, bool> keep(const fs::path& path, const Stamp& stamp, std::string text) {
    std::lock_guard lock(mutex_);
    Entry* entry = find(path);
    const bool same = entry != nullptr && entry->document.text && *entry->document.text == text;
    if (entry == nullptr) {
      entries_.push_front(Entry{path, {}, false, {}});
      if (entries_.size() > kMaxEntries) entries_.pop_back();
      entry = &entries_.front();
    }
    entry->stamp = stamp;
    entry->trusted = stamp.settled();
    if (!same) {
      auto reason = unreadable_reason(text);
      entry->document = {std::make_shared<const std::string>(std::move(text)), std::move(reason)};
    }
    return {entry->document, !same};
  }

 private:
  Entry* find(const fs::path& path) {
    for (Entry& entry : entries_) {
      if (entry.path == path) return &entry;
    }
    return nullptr;
  }

  std::mutex mutex_;
  std::deque<Entry> entries_;
};

Cache& cache() {
  // Never destroyed: a worker may read a document while the process exits.
  static Cache* const instance = new Cache();
  return *instance;
}

}  // namespace

Result<DocumentText> read_document(const fs::path& path) {
  auto opened = safe_write::ReadableFile::open(path);
  if (!opened) return fail(detail::read_error(path, opened.error()));
  if (!*opened) return DocumentText{};
  const Stamp stamp = Stamp::of((*opened)->status());
  if (static_cast<std::uint64_t>(stamp.size) > kMaxDocumentBytes) {
    return fail(detail::read_error(path, detail::too_large(kMaxDocumentBytes)));
  }
  if (auto known = cache().fresh(path, stamp)) return std::move(*known);
  auto text = (*opened)->read_to_end(kMaxDocumentBytes);
  if (!text) return fail(detail::read_error(path, text.error()));
  auto [document, is_new] = cache().keep(path, stamp, std::move(*text));
  if (is_new && document.unreadable) {
    kalu_ui::log::warn(
        detail::kLogTarget, "prefs_store::document",
        "document does not read: taken as empty; the next change keeps it aside",
        {{"op", "document_read"}, {"path", path.string()}, {"error", *document.unreadable}});
  }
  return std::move(document);
}

Result<DocumentText> read_settings_document() {
  auto path = settings_path();
  if (!path) return fail("no config dir");
  return read_document(*path);
}

}  // namespace prefs_store
