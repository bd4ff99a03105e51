#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>
#include <memory>
#include <nlohmann/json_fwd.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "kalu_ui/result.h"

// Reading and updating JSON documents of the configuration directory, above
// all the settings document, which several writers share section by section.
//
// Only a regular file is read: it is opened without blocking and checked
// before a byte is read, so a FIFO or a device in its place is an error at
// once instead of a read that never ends, and a document larger than
// kMaxDocumentBytes is refused from its size alone. Reads distinguish a
// missing file (an empty document: nothing stored yet) from a file that
// exists but cannot be read (not a regular file, too large, no permission, an
// I/O error); the latter is an error and an update then writes nothing.
//
// A file that reads but holds no editable document (not UTF-8 text, not
// JSON, nested deeper than kMaxNesting, a top level that is not an object) is
// never lost either: an update keeps its bytes aside in a new file beside it,
// "<name>.unreadable-<unix time>" (mode 0600, an earlier copy never
// overwritten), logs a warning naming the copy and the reason, and writes the
// change into a fresh document. Readers take such a document as empty.
// Every write is atomic (safe_write), and a symbolic link in the document's
// place stays a link: the file it leads to is replaced when it is a regular
// file of the user's own that reads as a document. A link to anything else
// (another owner's file, a file that is no document) is refused with a
// message and left as it is.
//
// The nesting limit keeps a foreign member nested thousands deep from
// exhausting the stack of the reader and printer. Settings nest a few levels.
//
// Readers of a shared document go through one process-wide cache
// (read_document): the file is stat'ed on every read, but read and judged
// again only when its device, inode, size or times changed, so a request that
// reads the settings costs one stat while the file stays as it is.
namespace prefs_store {

using Json = nlohmann::ordered_json;

// The largest document read. Settings take a few kilobytes.
inline constexpr std::size_t kMaxDocumentBytes = std::size_t{16} << 20;

// The whole file as text; nothing when it does not exist; an error ("could
// not read <path>: <reason>") when it is not a regular file, for any other
// failure to read it, and for a file longer than `max_bytes` (refused from
// its size, and read no further than one byte past the limit). The bound is
// never absent: a caller with smaller files passes a smaller one.
kalu_ui::Result<std::optional<std::string>> read_text(const std::filesystem::path& path,
                                                      std::size_t max_bytes = kMaxDocumentBytes);

inline constexpr std::size_t kMaxNesting = 128;

// True when arrays and objects in `text` nest deeper than kMaxNesting (the
// top-level container is level 1). Reads text that is not JSON as far as it
// goes; brackets inside strings do not count.
bool nests_too_deep(std::string_view text);

// Parses document text; the error says why it is not JSON, or that it nests
// too deep. Never throws.
kalu_ui::Result<Json> parse(std::string_view text);

// The pretty form every settings file is written in: two-space indent, key
// order kept, "{}" and "[]" for empty containers, floating values in their
// shortest exact form (1.0 for integral ones), non-finite numbers as null,
// no final newline. Invalid UTF-8 in strings becomes U+FFFD.
std::string pretty(const Json& value);

// Sets each member of the object `members` inside the object under `key` of
// `document`: an existing member is replaced in place, a new one appended.
// `document` becomes an empty object first when it is not one; the section
// becomes an empty object (at its position) when it is missing or not an
// object. Members of the section that `members` does not name are kept, as
// is every other key of the document.
void merge_section(Json& document, std::string_view key, const Json& members);

// Why `text` is no document a writer can edit in place: it is not UTF-8
// text, not JSON, nests too deep, or its top level is not an object. Nothing
// for an object, and for a text that is empty or only white space (nothing
// stored yet).
std::optional<std::string> unreadable_reason(std::string_view text);

// A document file as read: its text (null when there is no file), shared by
// every reader while the file stays the same, and unreadable_reason of it.
struct DocumentText {
  std::shared_ptr<const std::string> text;
  std::optional<std::string> unreadable;
};

// The document at `path` through the process's document cache: the same
// text object while the file's device, inode, size, modification and change
// times stay the same (a file changed less than a second before it was read
// is read again, since a change within the file system's clock tick would
// not show in its times). An error when the file is not a regular file, is
// larger than kMaxDocumentBytes or cannot be read: "settings document could
// not be read: <reason>" for the settings document, "could not read <path>:
// <reason>" for any other. A warning is logged once for each version of a
// file whose text is unreadable. Any thread.
kalu_ui::Result<DocumentText> read_document(const std::filesystem::path& path);

// read_document at the settings path ("no config dir" without one).
kalu_ui::Result<DocumentText> read_settings_document();

// The document at `path` (at most kMaxDocumentBytes): an empty object when
// the file does not exist; an error when it cannot be read or is not JSON.
kalu_ui::Result<Json> load_at(const std::filesystem::path& path);

// The object under `key` of the settings document: an empty object when the
// file, the key or an object value is missing, and when the document does not
// read (the next update keeps it aside and starts afresh); an error when
// there is no configuration directory or the file cannot be read.
kalu_ui::Result<Json> load_section(std::string_view key);

// Read-modify-write of one text file: creates the missing parent directories
// (process default permissions), reads the current text ("" when the file
// does not exist), and atomically writes what `edit` makes of it. A read
// error fails before anything is written.
kalu_ui::Status rewrite_at(const std::filesystem::path& path,
                           const std::function<std::string(std::string_view current)>& edit);

// rewrite_at for a JSON document: a current text that does not read
// (unreadable_reason) is kept aside first, as the header says, and `edit`
// then gets "" so the change goes into a fresh document. A file that cannot be
// read at all, or a copy that cannot be made, fails before anything is
// written.
kalu_ui::Status rewrite_document_at(
    const std::filesystem::path& path,
    const std::function<std::string(std::string_view current)>& edit);

// A document that rewrite_document_at kept aside in this process: the
// document's path, the copy's and why the document did not read.
struct KeptAside {
  std::filesystem::path document;
  std::filesystem::path copy;
  std::string reason;
};

// Every document kept aside since the process started, oldest first, so the
// window can tell the person where their old file went. Any thread.
std::vector<KeptAside> kept_aside();

// Merges `members` (an object) into the section `key` of the document at
// `path` with `merge_section`, and writes it back in the pretty form
// (rewrite_document_at).
kalu_ui::Status update_section_at(const std::filesystem::path& path, std::string_view key,
                                  const Json& members);

// Sets each member of `members` (an object) at the top level of the document
// at `path` (replaced in place, or appended), keeping every other key, and
// writes it back in the pretty form (rewrite_document_at); for small files of
// loose switches.
kalu_ui::Status update_members_at(const std::filesystem::path& path, const Json& members);

// `update_section_at` on the settings document ("no config dir" when the
// platform has no configuration directory).
kalu_ui::Status update_section(std::string_view key, const Json& members);

// Sets the whole value under `key` (in place, or appended), dropping what the
// section held before; for records that must read back exactly as written.
kalu_ui::Status replace_section_at(const std::filesystem::path& path, std::string_view key,
                                   const Json& value);
kalu_ui::Status replace_section(std::string_view key, const Json& value);

}  // namespace prefs_store
