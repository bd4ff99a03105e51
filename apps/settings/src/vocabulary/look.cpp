#include "vocabulary/look.h"

#include <nlohmann/json.hpp>

#include "kalu_ui/theme.h"
#include "prefs_store/document.h"

namespace settings::panes::appearance {

std::string configured_theme() { return kalu_ui::Theme::configured().name; }

stored::AppearancePrefs look_of(const nlohmann::ordered_json& section,
                                const std::string& configured) {
  if (section.is_object()) {
    if (auto read = stored::read_section<stored::AppearancePrefs>(section)) {
      if (!section.contains("theme")) read->theme = configured;
      return std::move(*read);
    }
  }
  stored::AppearancePrefs look;
  look.theme = configured;
  return look;
}

stored::AppearancePrefs stored_look() {
  auto section = prefs_store::load_section("appearance");
  return look_of(section ? *section : nlohmann::ordered_json(), configured_theme());
}

}  // namespace settings::panes::appearance
