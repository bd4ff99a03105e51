#include "vocabulary/app_candidates.h"

#include <algorithm>

#include "app_launcher/manifest.h"
#include "app_launcher/registry.h"

namespace settings::panes::personal_apps {

using desktop_rules::AppCandidate;
using desktop_rules::ResourceKind;

std::vector<AppCandidate> installed_gui_apps(const desktop_file::ApplicationRoots& roots) {
  std::vector<AppCandidate> candidates;
  auto installed = app_launcher::registry::list_installed(roots);
  if (!installed) return candidates;
  for (const auto& package : *installed) {
    auto manifest = app_launcher::manifest::read_manifest(package);
    if (!manifest || !manifest->entrypoint.gui_bin) continue;
    AppCandidate candidate;
    candidate.id = package.id;
    candidate.name = manifest->display_name.empty()
                         ? app_launcher::registry::display_name_for_package_id(package.id, roots)
                         : manifest->display_name;
    for (const std::string& mime : manifest->mime_types) {
      if (auto kind = ResourceKind::from_mime(mime)) candidate.kinds.push_back(std::move(*kind));
    }
    for (const std::string& scheme : manifest->link_schemes) {
      if (auto kind = ResourceKind::from_scheme(scheme)) {
        candidate.kinds.push_back(std::move(*kind));
      }
    }
    candidates.push_back(std::move(candidate));
  }
  std::ranges::stable_sort(candidates, [](const AppCandidate& a, const AppCandidate& b) {
    return a.name != b.name ? a.name < b.name : a.id < b.id;
  });
  return candidates;
}

std::vector<AppCandidate> installed_gui_apps() {
  return installed_gui_apps(desktop_file::ApplicationRoots::from_environment());
}

std::vector<AppCandidate> app_candidates() { return installed_gui_apps(); }

std::vector<AppCandidate> candidates_for(std::span<const AppCandidate> candidates,
                                         const ResourceKind& kind) {
  std::vector<AppCandidate> handling;
  for (const AppCandidate& candidate : candidates) {
    if (candidate.handles(kind)) handling.push_back(candidate);
  }
  std::ranges::stable_sort(
      handling, [](const AppCandidate& a, const AppCandidate& b) { return a.label() < b.label(); });
  return handling;
}

const AppCandidate* candidate_named(std::span<const AppCandidate> candidates,
                                    const ResourceKind& kind, std::string_view text) {
  const AppCandidate* by_name = nullptr;
  int named = 0;
  for (const AppCandidate& candidate : candidates) {
    if (!candidate.handles(kind)) continue;
    if (candidate.label() == text) return &candidate;
    if (candidate.name == text) {
      by_name = &candidate;
      ++named;
    }
  }
  return named == 1 ? by_name : nullptr;
}

std::vector<ResourceKind> resource_kinds(std::span<const AppCandidate> candidates) {
  std::vector<ResourceKind> kinds;
  for (const AppCandidate& candidate : candidates) {
    kinds.insert(kinds.end(), candidate.kinds.begin(), candidate.kinds.end());
  }
  std::ranges::sort(kinds);
  const auto repeated = std::ranges::unique(kinds);
  kinds.erase(repeated.begin(), repeated.end());
  return kinds;
}

}  // namespace settings::panes::personal_apps
