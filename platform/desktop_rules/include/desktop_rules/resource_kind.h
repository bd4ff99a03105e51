#pragma once

#include <compare>
#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The kinds of resource a person picks a default application for: a file
// type (a MIME type) or a kind of link (a URI scheme).
//
// Keys: "mime:<type>/<subtype>" and "scheme:<name>", lower case. A MIME type
// is two parts of letters, digits and "!#$&-^_.+" that begin with a letter
// or digit (at most 127 bytes each); a scheme is a letter followed by
// letters, digits, "+", "-" and "." (at most 64 bytes). Neither may hold a
// ":", so every key has exactly one and the settings key made from it by
// turning ":" into "." stays unique. "x-scheme-handler/<name>", the form in
// which desktop entries declare link handlers, is read as the scheme.
//
// Display labels: for a file type, the comment of the shared MIME database
// (freedesktop shared-mime-info: "<data dir>/mime/<type>.xml", the first
// folder that has the file deciding; an alias is followed through the
// "aliases" file) with its first letter in upper case, else the type
// itself; for a scheme, "{} links" with the scheme.
namespace desktop_rules {

// The comments of the shared MIME database, read once per type and kept.
// Safe to use from any thread.
class MimeDatabase {
 public:
  // `mime_dirs`: the "mime" folders, most important first.
  explicit MimeDatabase(std::vector<std::filesystem::path> mime_dirs);

  // "<dir>/mime" for $XDG_DATA_HOME and each $XDG_DATA_DIRS entry, made at
  // first use and kept for the process.
  static const MimeDatabase& shared();

  // The untranslated comment of a type ("plain text document"), or nothing.
  // `mime_type` must be a valid type (ResourceKind checks it).
  std::optional<std::string> comment(std::string_view mime_type) const;

 private:
  std::optional<std::string> read_comment(std::string_view mime_type) const;
  std::optional<std::string> canonical_name(std::string_view alias) const;

  std::vector<std::filesystem::path> dirs_;
  mutable std::mutex mutex_;
  mutable std::map<std::string, std::optional<std::string>, std::less<>> comments_;
};

class ResourceKind {
 public:
  // Nothing when the text is no valid type or scheme.
  static std::optional<ResourceKind> from_mime(std::string_view mime_type);
  static std::optional<ResourceKind> from_scheme(std::string_view scheme);
  // From a key ("mime:text/plain", "scheme:https").
  static std::optional<ResourceKind> parse(std::string_view key);

  const std::string& key() const { return key_; }
  // The MIME type of a file kind, or the scheme of a link kind; nothing for
  // the other sort.
  std::optional<std::string_view> mime() const;
  std::optional<std::string_view> scheme() const;
  // The key under which mimeapps.list names the kind's default: the MIME
  // type, or "x-scheme-handler/<name>".
  std::string mimeapps_key() const;

  std::string display_label() const;  // with MimeDatabase::shared()
  std::string display_label(const MimeDatabase& database) const;

  // Kinds sort and compare by key.
  auto operator<=>(const ResourceKind& other) const { return key_ <=> other.key_; }
  bool operator==(const ResourceKind& other) const { return key_ == other.key_; }

 private:
  explicit ResourceKind(std::string key, std::size_t value_at)
      : key_(std::move(key)), value_at_(value_at) {}

  std::string key_;
  std::size_t value_at_;  // where the type or scheme begins in key_
};

}  // namespace desktop_rules
