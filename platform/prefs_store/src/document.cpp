#include "prefs_store/document.h"

#include <fmt/format.h>

#include <ctime>
#include <mutex>
#include <nlohmann/json.hpp>

#include "files.h"
#include "kalu_ui/log.h"
#include "limited_exec/text.h"
#include "prefs_store/paths.h"
#include "safe_write/safe_write.h"
#include "text.h"

namespace prefs_store {
namespace {

namespace fs = std::filesystem;
using kalu_ui::fail;
using kalu_ui::Result;
using kalu_ui::Status;

constexpr std::string_view kModule = "prefs_store::document";

std::string too_deep_text() {
  return fmt::format("the document nests deeper than {} levels", kMaxNesting);
}

using detail::read_error;
using detail::read_file;

kalu_ui::Result<fs::path> require_settings_path() {
  auto path = settings_path();
  if (!path) return fail("no config dir");
  return *path;
}

// A JSON reader that builds nothing and keeps where the text went wrong.
struct FirstError final : nlohmann::json_sax<Json> {
  std::size_t byte = 0;
  bool null() override { return true; }
  bool boolean(bool) override { return true; }
  bool number_integer(number_integer_t) override { return true; }
  bool number_unsigned(number_unsigned_t) override { return true; }
  bool number_float(number_float_t, const string_t&) override { return true; }
  bool string(string_t&) override { return true; }
  bool binary(binary_t&) override { return true; }
  bool start_object(std::size_t) override { return true; }
  bool key(string_t&) override { return true; }
  bool end_object() override { return true; }
  bool start_array(std::size_t) override { return true; }
  bool end_array() override { return true; }
  bool parse_error(std::size_t position, const std::string&,
                   const nlohmann::detail::exception&) override {
    byte = position;
    return false;
  }
};

}  // namespace

Result<std::optional<std::string>> read_text(const fs::path& path, std::size_t max_bytes) {
  auto text = read_file(path, max_bytes);
  if (!text) return fail("could not read {}: {}", path.string(), text.error());
  return text;
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

std::optional<std::string> unreadable_reason(std::string_view text) {
  std::string_view content = detail::trim_ascii_space(text);
  if (content.empty()) return std::nullopt;
  if (limited_exec::decode_lossy(text) != text) return "the document is not UTF-8 text";
  if (nests_too_deep(text)) return too_deep_text();
  // Checked without building the tree: the document may take megabytes.
  FirstError sax;
  if (!Json::sax_parse(text, &sax, Json::input_format_t::json, true)) {
    return fmt::format("the document is not JSON (it goes wrong at byte {})", sax.byte);
  }
  if (content.starts_with("\xEF\xBB\xBF")) content.remove_prefix(3);  // a byte order mark
  if (!detail::trim_ascii_space(content).starts_with('{')) {
    return "the document is not a JSON object";
  }
  return std::nullopt;
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
  auto text = read_file(path, kMaxDocumentBytes);
  if (!text) return fail(read_error(path, text.error()));
  if (!*text) return Json::object();
  auto document = parse(**text);
  if (!document) return fail(read_error(path, document.error()));
  return document;
}

Result<Json> load_section(std::string_view key) {
  auto document = read_settings_document();
  if (!document) return fail(document.error());
  // A document that does not read holds no section; a warning said so.
  if (!document->text || document->unreadable) return Json::object();
  auto parsed = parse(*document->text);
  if (parsed && parsed->is_object()) {
    auto found = parsed->find(std::string(key));
    if (found != parsed->end() && found->is_object()) return *found;
  }
  return Json::object();
}

namespace {

Status create_parent(const fs::path& path) {
  if (!path.has_parent_path()) return {};
  std::error_code ec;
  fs::create_directories(path.parent_path(), ec);
  if (ec) {
    return fail("could not create {}: {}", path.parent_path().string(), ec.message());
  }
  return {};
}

// The copies made so far; never destroyed, as a worker may save at exit.
std::mutex& kept_aside_mutex() {
  static std::mutex* const mutex = new std::mutex;
  return *mutex;
}
std::vector<KeptAside>& kept_aside_list() {
  static auto* const list = new std::vector<KeptAside>;
  return *list;
}
void remember_kept_aside(KeptAside copy) {
  std::lock_guard lock(kept_aside_mutex());
  kept_aside_list().push_back(std::move(copy));
}

// Copies `text` into a new file "<name>.unreadable-<unix time>" beside the
// file `path` leads to (a link's target: the bytes are that file's), mode
// 0600; "-2", "-3" ... follow when the name is taken, so an earlier copy is
// never overwritten. Answers the copy's path.
Result<fs::path> keep_aside(const fs::path& path, std::string_view text) {
  std::error_code ec;
  fs::path file = fs::canonical(path, ec);
  if (ec) file = path;
  const std::string base =
      (file.parent_path() / fmt::format("{}.unreadable-{}", file.filename().string(),
                                        static_cast<long long>(std::time(nullptr))))
          .string();
  for (int n = 1; n <= 1000; ++n) {
    const fs::path copy = n == 1 ? fs::path(base) : fs::path(fmt::format("{}-{}", base, n));
    auto written = safe_write::write_new_with_mode(copy, text, 0600);
    if (!written) return fail(written.error());
    if (*written) return copy;
  }
  return fail("every name for a copy beside {} is taken", file.string());
}

}  // namespace

std::vector<KeptAside> kept_aside() {
  std::lock_guard lock(kept_aside_mutex());
  return kept_aside_list();
}

Status rewrite_at(const fs::path& path,
                  const std::function<std::string(std::string_view current)>& edit) {
  if (auto made = create_parent(path); !made) return made;
  auto current = read_text(path);
  if (!current) return fail(current.error());
  return safe_write::write(path, edit(current->value_or(std::string())));
}

Status rewrite_document_at(const fs::path& path,
                           const std::function<std::string(std::string_view current)>& edit) {
  if (auto made = create_parent(path); !made) return made;
  auto current = read_file(path, kMaxDocumentBytes);
  if (!current) return fail(read_error(path, current.error()));
  std::string_view text = current->has_value() ? std::string_view(**current) : std::string_view();
  if (auto why = unreadable_reason(text)) {
    std::error_code ec;
    if (fs::is_symlink(fs::symlink_status(path, ec))) {
      // A link to something that is no document (a system file, say) is
      // never rewritten: it may not be this program's file at all.
      fs::path target = fs::canonical(path, ec);
      return fail(
          "{} is a link to {}, which holds no document this program can edit ({}); it "
          "was left as it is",
          path.string(), ec ? path.string() : target.string(), *why);
    }
    auto copy = keep_aside(path, text);
    if (!copy) {
      return fail("{} does not read ({}) and could not be kept aside: {}", path.string(), *why,
                  copy.error());
    }
    remember_kept_aside(KeptAside{path, *copy, *why});
    kalu_ui::log::warn(detail::kLogTarget, kModule,
                       "unreadable document kept aside; writing a fresh one",
                       {{"op", "document_update"},
                        {"path", path.string()},
                        {"copy", copy->string()},
                        {"error", *why}});
    text = {};
  }
  return safe_write::write(path, edit(text));
}

namespace {

// Rewrites the document at `path` with `change` applied to its top-level
// object (a fresh object when there is none yet).
Status edit_document_at(const fs::path& path, const std::function<void(Json&)>& change) {
  return rewrite_document_at(path, [&](std::string_view current) {
    Json document = Json::object();
    if (auto parsed = parse(current); parsed && parsed->is_object()) document = std::move(*parsed);
    change(document);
    return pretty(document);
  });
}

}  // namespace

Status update_section_at(const fs::path& path, std::string_view key, const Json& members) {
  if (!members.is_object()) {
    return fail("cannot store \"{}\": the section is not an object", key);
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
