#include "prefs_store/document.h"

#include <fcntl.h>
#include <fmt/format.h>
#include <unistd.h>

#include <cerrno>
#include <nlohmann/json.hpp>
#include <system_error>

#include "prefs_store/paths.h"
#include "safe_write/safe_write.h"

namespace prefs_store {
namespace {

namespace fs = std::filesystem;
using kalu_ui::fail;
using kalu_ui::Result;
using kalu_ui::Status;

std::string error_text(int err) { return std::error_code(err, std::generic_category()).message(); }

std::string too_deep_text() {
  return fmt::format("the document nests deeper than {} levels", kMaxNesting);
}

kalu_ui::Result<fs::path> require_settings_path() {
  auto path = settings_path();
  if (!path) return fail("no config dir");
  return *path;
}

}  // namespace

Result<std::optional<std::string>> read_text(const fs::path& path, std::size_t max_bytes) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    if (errno == ENOENT) return std::optional<std::string>();
    return fail(fmt::format("could not read {}: {}", path.string(), error_text(errno)));
  }
  std::string text;
  char buffer[16384];
  for (;;) {
    // Never more than one byte past the limit, to tell "at the limit" from
    // "beyond it" without reading a huge file whole.
    const std::size_t room = max_bytes - text.size();
    const std::size_t want = room >= sizeof buffer ? sizeof buffer : room + 1;
    ssize_t n = ::read(fd, buffer, want);
    if (n == 0) break;
    if (n < 0) {
      if (errno == EINTR) continue;
      int err = errno;  // EISDIR for a directory in the file's place
      ::close(fd);
      return fail(fmt::format("could not read {}: {}", path.string(), error_text(err)));
    }
    text.append(buffer, static_cast<size_t>(n));
    if (text.size() > max_bytes) {
      ::close(fd);
      return fail(fmt::format("could not read {}: larger than {} bytes", path.string(), max_bytes));
    }
  }
  ::close(fd);
  return std::optional<std::string>(std::move(text));
}

bool nests_too_deep(std::string_view text) {
  std::size_t depth = 0;
  bool in_string = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (in_string) {
      if (c == '\\') {
        ++i;
      } else if (c == '"') {
        in_string = false;
      }
    } else if (c == '"') {
      in_string = true;
    } else if (c == '[' || c == '{') {
      if (++depth > kMaxNesting) return true;
    } else if ((c == ']' || c == '}') && depth > 0) {
      --depth;
    }
  }
  return false;
}

Result<Json> parse(std::string_view text) {
  if (nests_too_deep(text)) return fail(too_deep_text());
  try {
    return Json::parse(text);
  } catch (const Json::exception& e) {
    return fail(e.what());
  }
}

std::string pretty(const Json& value) {
  return value.dump(2, ' ', false, Json::error_handler_t::replace);
}

void merge_section(Json& document, std::string_view key, const Json& members) {
  if (!document.is_object()) document = Json::object();
  Json& section = document[std::string(key)];
  if (!section.is_object()) section = Json::object();
  if (!members.is_object()) return;
  for (const auto& [name, value] : members.items()) section[name] = value;
}

Result<Json> load_at(const fs::path& path) {
  auto text = read_text(path);
  if (!text) return fail(text.error());
  if (!*text) return Json::object();
  auto document = parse(**text);
  if (!document) {
    return fail(fmt::format("could not read {}: {}", path.string(), document.error()));
  }
  return document;
}

Result<Json> load_section(std::string_view key) {
  auto path = require_settings_path();
  if (!path) return fail(path.error());
  auto document = load_at(*path);
  if (!document) return document;
  if (document->is_object()) {
    auto found = document->find(std::string(key));
    if (found != document->end() && found->is_object()) return *found;
  }
  return Json::object();
}

Status rewrite_at(const fs::path& path,
                  const std::function<std::string(std::string_view current)>& edit) {
  if (path.has_parent_path()) {
    std::error_code ec;
    fs::create_directories(path.parent_path(), ec);
    if (ec) {
      return fail(
          fmt::format("could not create {}: {}", path.parent_path().string(), ec.message()));
    }
  }
  auto current = read_text(path);
  if (!current) return fail(current.error());
  if (*current && nests_too_deep(**current)) {
    return fail(fmt::format("could not update {}: {}", path.string(), too_deep_text()));
  }
  return safe_write::write(path, edit(current->value_or(std::string())));
}

namespace {

// Rewrites the document at `path` with `change` applied to its top-level
// object (a fresh object when the text is not one).
Status edit_document_at(const fs::path& path, const std::function<void(Json&)>& change) {
  return rewrite_at(path, [&](std::string_view current) {
    Json document = Json::object();
    if (auto parsed = parse(current); parsed && parsed->is_object()) document = std::move(*parsed);
    change(document);
    return pretty(document);
  });
}

}  // namespace

Status update_section_at(const fs::path& path, std::string_view key, const Json& members) {
  if (!members.is_object()) {
    return fail(fmt::format("cannot store \"{}\": the section is not an object", key));
  }
  return edit_document_at(path, [&](Json& document) { merge_section(document, key, members); });
}

Status update_members_at(const fs::path& path, const Json& members) {
  if (!members.is_object()) return fail("cannot store members that are not an object");
  return edit_document_at(path, [&](Json& document) {
    for (const auto& [name, value] : members.items()) document[name] = value;
  });
}

Status update_section(std::string_view key, const Json& members) {
  auto path = require_settings_path();
  if (!path) return fail(path.error());
  return update_section_at(*path, key, members);
}

Status replace_section_at(const fs::path& path, std::string_view key, const Json& value) {
  return edit_document_at(path, [&](Json& document) { document[std::string(key)] = value; });
}

Status replace_section(std::string_view key, const Json& value) {
  auto path = require_settings_path();
  if (!path) return fail(path.error());
  return replace_section_at(*path, key, value);
}

}  // namespace prefs_store
