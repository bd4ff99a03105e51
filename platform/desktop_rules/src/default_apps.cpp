#include "desktop_rules/default_apps.h"

#include <fmt/format.h>

#include <algorithm>

#include "prefs_store/document.h"
#include "prefs_store/paths.h"

namespace desktop_rules {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kGroup = "Default Applications";
constexpr std::string_view kDesktopSuffix = ".desktop";
constexpr std::size_t kMaxListBytes = 4 << 20;
constexpr const char* kFileName = "mimeapps.list";

// Every desktop id of the kind's value, as package ids, in order.
std::vector<std::string> all_apps(const desktop_file::KeyFile& file, const ResourceKind& kind) {
  std::vector<std::string> ids;
  for (const std::string& desktop_id : file.list(kGroup, kind.mimeapps_key())) {
    if (desktop_id.size() > kDesktopSuffix.size() && desktop_id.ends_with(kDesktopSuffix)) {
      ids.push_back(desktop_id.substr(0, desktop_id.size() - kDesktopSuffix.size()));
    }
  }
  return ids;
}

bool writable_id(std::string_view id) {
  if (id.empty()) return false;
  return std::none_of(id.begin(), id.end(), [](char c) {
    return c == ';' || c == '\\' || static_cast<unsigned char>(c) < 0x20 || c == 0x7f;
  });
}

const AppCandidate* find_handler(std::span<const AppCandidate> candidates, std::string_view id,
                                 const ResourceKind& kind) {
  for (const AppCandidate& candidate : candidates) {
    if (candidate.id == id && candidate.handles(kind)) return &candidate;
  }
  return nullptr;
}

kalu_ui::Result<desktop_file::KeyFile> read_list(const fs::path& path) {
  auto text = desktop_file::read_small_file(path, kMaxListBytes);
  if (!text) return std::unexpected(text.error());
  return desktop_file::KeyFile::parse(text->value_or(""));
}

}  // namespace

std::string AppCandidate::label() const { return fmt::format("{} — {}", name, id); }

bool AppCandidate::handles(const ResourceKind& kind) const {
  return std::find(kinds.begin(), kinds.end(), kind) != kinds.end();
}

std::optional<fs::path> PersonalDefaults::default_location() {
  auto dir = prefs_store::config_dir();
  if (!dir) return std::nullopt;
  return *dir / kFileName;
}

kalu_ui::Result<PersonalDefaults> PersonalDefaults::load_at(const fs::path& path) {
  auto file = read_list(path);
  if (!file) return std::unexpected(file.error());
  PersonalDefaults defaults;
  defaults.file_ = std::move(*file);
  return defaults;
}

kalu_ui::Result<PersonalDefaults> PersonalDefaults::load() {
  auto path = default_location();
  if (!path) return kalu_ui::fail("no configuration directory is known");
  return load_at(*path);
}

std::optional<std::string> PersonalDefaults::get(const ResourceKind& kind) const {
  auto ids = all_apps(file_, kind);
  if (ids.empty()) return std::nullopt;
  return std::move(ids.front());
}

kalu_ui::Status PersonalDefaults::set(const ResourceKind& kind, std::string_view app_id,
                                      std::span<const AppCandidate> candidates) {
  if (find_handler(candidates, app_id, kind) == nullptr) {
    return kalu_ui::fail("no installed application \"{}\" opens {}", app_id, kind.key());
  }
  if (!writable_id(app_id)) {
    return kalu_ui::fail("\"{}\" cannot be stored as a desktop id", app_id);
  }
  const std::string value = fmt::format("{}{}", app_id, kDesktopSuffix);
  file_.set_raw(kGroup, kind.mimeapps_key(), value);
  changes_[kind.mimeapps_key()] = value;
  return {};
}

kalu_ui::Status PersonalDefaults::save_at(const fs::path& path) {
  if (changes_.empty()) return {};
  auto written = prefs_store::rewrite_at(path, [this](std::string_view current) {
    desktop_file::KeyFile file = desktop_file::KeyFile::parse(current);
    for (const auto& [key, value] : changes_) file.set_raw(kGroup, key, value);
    return file.text();
  });
  if (!written) return written;
  changes_.clear();
  return {};
}

kalu_ui::Status PersonalDefaults::save() {
  auto path = default_location();
  if (!path) return kalu_ui::fail("no configuration directory is known");
  return save_at(*path);
}

DefaultAppResolver::DefaultAppResolver(const std::vector<fs::path>& system_lists) {
  for (const fs::path& path : system_lists) {
    auto file = read_list(path);
    if (file) system_.push_back(std::move(*file));
  }
}

DefaultAppResolver DefaultAppResolver::from_environment() {
  std::vector<fs::path> lists;
  for (const fs::path& dir : prefs_store::config_dirs()) lists.push_back(dir / kFileName);
  for (const fs::path& dir : prefs_store::data_dirs()) {
    lists.push_back(dir / "applications" / kFileName);
  }
  return DefaultAppResolver(lists);
}

std::optional<std::string> DefaultAppResolver::resolve(std::span<const AppCandidate> candidates,
                                                       const ResourceKind& kind,
                                                       const PersonalDefaults& personal) const {
  if (auto chosen = personal.get(kind); chosen && find_handler(candidates, *chosen, kind)) {
    return chosen;
  }
  for (const desktop_file::KeyFile& file : system_) {
    for (const std::string& id : all_apps(file, kind)) {
      if (find_handler(candidates, id, kind) != nullptr) return id;
    }
  }
  return std::nullopt;
}

}  // namespace desktop_rules
