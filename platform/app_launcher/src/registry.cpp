#include "app_launcher/registry.h"

#include "desktop_file/cache.h"

namespace app_launcher::registry {
namespace {

char ascii_upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// "org.example.text-editor" -> "Text Editor".
std::string name_from_id(std::string_view id) {
  std::string_view part = id;
  while (!part.empty() && part.back() == '.') part.remove_suffix(1);
  if (const auto dot = part.rfind('.'); dot != std::string_view::npos) part = part.substr(dot + 1);
  std::string name;
  bool word_start = true;
  for (char c : part) {
    if (c == '-' || c == '_') {
      if (!name.empty() && name.back() != ' ') name += ' ';
      word_start = true;
      continue;
    }
    name += word_start ? ascii_upper(c) : c;
    word_start = false;
  }
  while (!name.empty() && name.back() == ' ') name.pop_back();
  return name.empty() ? std::string(id) : name;
}

}  // namespace

kalu_ui::Result<std::vector<InstalledPackage>> list_installed(
    const desktop_file::ApplicationRoots& roots) {
  if (roots.dirs.empty()) return kalu_ui::fail("no application folder is known");
  std::vector<InstalledPackage> packages;
  for (auto& entry : desktop_file::cache::cached_entries(roots)) {
    auto id = entry.app_id();
    if (!id) continue;
    packages.push_back(InstalledPackage{std::move(*id), entry.desktop_id, entry.path});
  }
  return packages;
}

kalu_ui::Result<std::vector<InstalledPackage>> list_installed() {
  return list_installed(desktop_file::ApplicationRoots::from_environment());
}

std::string display_name_for_package_id(std::string_view id,
                                        const desktop_file::ApplicationRoots& roots) {
  for (const auto& entry : desktop_file::cache::cached_scan(roots)) {
    if (entry.app_id == id) return entry.name;
  }
  return name_from_id(id);
}

std::string display_name_for_package_id(std::string_view id) {
  return display_name_for_package_id(id, desktop_file::ApplicationRoots::from_environment());
}

}  // namespace app_launcher::registry
