#include "desktop_rules/resource_kind.h"

#include <fmt/format.h>

#include <pugixml.hpp>

#include "desktop_file/key_file.h"
#include "limited_exec/text.h"
#include "prefs_store/paths.h"

namespace desktop_rules {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kMimePrefix = "mime:";
constexpr std::string_view kSchemePrefix = "scheme:";
constexpr std::string_view kSchemeHandler = "x-scheme-handler/";
constexpr std::size_t kMaxMimeFileBytes = 1 << 20;
constexpr std::size_t kMaxAliasesBytes = 4 << 20;

bool is_alnum(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

std::string ascii_lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

// A registered MIME name part: it also keeps the type usable as a relative
// path below a "mime" folder (no "..", no "/", no leading dot).
bool valid_mime_part(std::string_view part) {
  if (part.empty() || part.size() > 127 || !is_alnum(part.front())) return false;
  for (char c : part) {
    if (!is_alnum(c) && std::string_view("!#$&-^_.+").find(c) == std::string_view::npos) {
      return false;
    }
  }
  return true;
}

bool valid_mime(std::string_view type) {
  const auto slash = type.find('/');
  return slash != std::string_view::npos && valid_mime_part(type.substr(0, slash)) &&
         valid_mime_part(type.substr(slash + 1));
}

bool valid_scheme(std::string_view scheme) {
  if (scheme.empty() || scheme.size() > 64) return false;
  const char first = scheme.front();
  if (!((first >= 'a' && first <= 'z') || (first >= 'A' && first <= 'Z'))) return false;
  for (char c : scheme) {
    if (!is_alnum(c) && c != '+' && c != '-' && c != '.') return false;
  }
  return true;
}

std::optional<std::string> comment_in(const std::string& xml) {
  pugi::xml_document doc;
  if (!doc.load_buffer(xml.data(), xml.size())) return std::nullopt;
  for (const pugi::xml_node comment : doc.child("mime-type").children("comment")) {
    if (!comment.attribute("xml:lang")) return limited_exec::decode_lossy(comment.text().get());
  }
  return std::nullopt;
}

}  // namespace

MimeDatabase::MimeDatabase(std::vector<fs::path> mime_dirs) : dirs_(std::move(mime_dirs)) {}

const MimeDatabase& MimeDatabase::shared() {
  static const MimeDatabase database = [] {
    std::vector<fs::path> dirs;
    if (auto home = prefs_store::data_dir()) dirs.push_back(*home / "mime");
    for (const auto& dir : prefs_store::data_dirs()) dirs.push_back(dir / "mime");
    return MimeDatabase(std::move(dirs));
  }();
  return database;
}

std::optional<std::string> MimeDatabase::read_comment(std::string_view mime_type) const {
  for (const fs::path& dir : dirs_) {
    auto xml =
        desktop_file::read_small_file(dir / fmt::format("{}.xml", mime_type), kMaxMimeFileBytes);
    if (xml && *xml) return comment_in(**xml);
  }
  return std::nullopt;
}

std::optional<std::string> MimeDatabase::canonical_name(std::string_view alias) const {
  for (const fs::path& dir : dirs_) {
    auto text = desktop_file::read_small_file(dir / "aliases", kMaxAliasesBytes);
    if (!text || !*text) continue;
    std::string_view rest = **text;
    while (!rest.empty()) {
      const auto end = rest.find('\n');
      const std::string_view line = rest.substr(0, end);
      rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
      const auto space = line.find(' ');
      if (space == std::string_view::npos || line.substr(0, space) != alias) continue;
      const std::string_view canonical = line.substr(space + 1);
      if (valid_mime(canonical)) return std::string(canonical);
    }
  }
  return std::nullopt;
}

std::optional<std::string> MimeDatabase::comment(std::string_view mime_type) const {
  std::lock_guard lock(mutex_);
  if (auto known = comments_.find(mime_type); known != comments_.end()) return known->second;
  auto comment = read_comment(mime_type);
  if (!comment) {
    if (auto canonical = canonical_name(mime_type); canonical && *canonical != mime_type) {
      comment = read_comment(*canonical);
    }
  }
  comments_.emplace(std::string(mime_type), comment);
  return comment;
}

std::optional<ResourceKind> ResourceKind::from_mime(std::string_view mime_type) {
  const std::string type = ascii_lower(mime_type);
  if (type.starts_with(kSchemeHandler)) return from_scheme(type.substr(kSchemeHandler.size()));
  if (!valid_mime(type)) return std::nullopt;
  return ResourceKind(fmt::format("{}{}", kMimePrefix, type), kMimePrefix.size());
}

std::optional<ResourceKind> ResourceKind::from_scheme(std::string_view scheme) {
  if (!valid_scheme(scheme)) return std::nullopt;
  return ResourceKind(fmt::format("{}{}", kSchemePrefix, ascii_lower(scheme)),
                      kSchemePrefix.size());
}

std::optional<ResourceKind> ResourceKind::parse(std::string_view key) {
  if (key.starts_with(kMimePrefix)) {
    const std::string_view type = key.substr(kMimePrefix.size());
    // "mime:x-scheme-handler/..." would name a scheme kind under a second key.
    if (ascii_lower(type).starts_with(kSchemeHandler)) return std::nullopt;
    return from_mime(type);
  }
  if (key.starts_with(kSchemePrefix)) return from_scheme(key.substr(kSchemePrefix.size()));
  return std::nullopt;
}

std::optional<std::string_view> ResourceKind::mime() const {
  if (value_at_ != kMimePrefix.size()) return std::nullopt;
  return std::string_view(key_).substr(value_at_);
}

std::optional<std::string_view> ResourceKind::scheme() const {
  if (value_at_ != kSchemePrefix.size()) return std::nullopt;
  return std::string_view(key_).substr(value_at_);
}

std::string ResourceKind::mimeapps_key() const {
  if (auto name = scheme()) return fmt::format("{}{}", kSchemeHandler, *name);
  return key_.substr(value_at_);
}

std::string ResourceKind::display_label(const MimeDatabase& database) const {
  if (auto name = scheme()) return fmt::format("{} links", *name);
  const std::string_view type = *mime();
  auto comment = database.comment(type);
  if (!comment || comment->empty()) return std::string(type);
  if (comment->front() >= 'a' && comment->front() <= 'z') {
    comment->front() = static_cast<char>(comment->front() - 'a' + 'A');
  }
  return *comment;
}

std::string ResourceKind::display_label() const { return display_label(MimeDatabase::shared()); }

}  // namespace desktop_rules
