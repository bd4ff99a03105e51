#include "app_launcher/manifest.h"

#include <algorithm>
#include <string_view>

namespace app_launcher::manifest {
namespace {

constexpr std::string_view kSchemePrefix = "x-scheme-handler/";

std::string ascii_lower(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

void add_once(std::vector<std::string>& list, std::string value) {
  if (value.empty() || std::find(list.begin(), list.end(), value) != list.end()) return;
  list.push_back(std::move(value));
}

}  // namespace

Manifest manifest_of(const desktop_file::DesktopEntry& entry) {
  Manifest manifest;
  manifest.app_id = entry.app_id().value_or("");
  manifest.display_name = entry.name;
  if (!entry.no_display && entry.exec) {
    manifest.entrypoint.gui_bin = desktop_file::exec_program(*entry.exec);
  }
  for (const std::string& type : entry.mime_types) {
    const std::string lower = ascii_lower(type);
    if (lower.starts_with(kSchemePrefix)) {
      add_once(manifest.link_schemes, lower.substr(kSchemePrefix.size()));
    } else {
      add_once(manifest.mime_types, type);
    }
  }
  manifest.kind = entry.kalu_kind;
  return manifest;
}

kalu_ui::Result<Manifest> read_manifest(const registry::InstalledPackage& package) {
  auto entry = desktop_file::read_entry(package.path, package.desktop_id);
  if (!entry) return std::unexpected(entry.error());
  if (entry->hidden) return kalu_ui::fail(package.path.string() + " marks the application removed");
  return manifest_of(*entry);
}

}  // namespace app_launcher::manifest
