#include "prefs_store/desktop_controls.h"

#include <nlohmann/json.hpp>

#include "prefs_store/document.h"
#include "prefs_store/paths.h"

namespace prefs_store {
namespace {

constexpr std::string_view kFileName = "desktop-controls.json";
constexpr std::string_view kVimMode = "vim_mode";

}  // namespace

DesktopControlsConfig DesktopControlsConfig::load() {
  auto file = path();
  return file ? load_at(*file) : DesktopControlsConfig();
}

DesktopControlsConfig DesktopControlsConfig::load_at(const std::filesystem::path& file) {
  DesktopControlsConfig config;
  auto document = prefs_store::load_at(file);
  if (!document || !document->is_object()) return config;
  auto vim_mode = document->find(std::string(kVimMode));
  if (vim_mode != document->end() && vim_mode->is_boolean())
    config.vim_mode = vim_mode->get<bool>();
  return config;
}

std::optional<std::filesystem::path> DesktopControlsConfig::path() {
  return config_path(kFileName);
}

kalu_ui::Status DesktopControlsConfig::save() const {
  auto file = path();
  if (!file) return kalu_ui::fail("no config dir");
  return save_at(*file);
}

kalu_ui::Status DesktopControlsConfig::save_at(const std::filesystem::path& file) const {
  return update_members_at(file, Json{{std::string(kVimMode), vim_mode}});
}

}  // namespace prefs_store
