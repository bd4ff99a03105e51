#pragma once

// A settings folder and a rules folder of the test's own: the pane reads the
// input section and the text-assistance section from the one and a small
// layout catalogue (five layouts) from the other.

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>

#include "prefs_store/document.h"
#include "prefs_store/paths.h"
#include "vocabulary/input_sources.h"

namespace settings::panes::mouse_keyboard::testing {

inline std::string fixture_rules() {
  std::string layouts;
  for (const auto& [id, label] :
       {std::pair{"us", "English (US)"}, std::pair{"de", "German"}, std::pair{"fr", "French"},
        std::pair{"es", "Spanish"}, std::pair{"it", "Italian"}}) {
    layouts += std::string("<layout><configItem><name>") + id + "</name><description>" + label +
               "</description></configItem></layout>\n";
  }
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<xkbConfigRegistry version=\"1.1\">"
         "<layoutList>\n" +
         layouts + "</layoutList></xkbConfigRegistry>\n";
}

class PaneFolders {
 public:
  // `rules`: write the fixture catalogue; otherwise the rules folder is empty
  // (the fixed list).
  explicit PaneFolders(bool rules = true) {
    char pattern[] = "/tmp/mouse_keyboard_test.XXXXXX";
    if (const char* made = ::mkdtemp(pattern)) root_ = made;
    std::filesystem::create_directories(root_ / "config");
    std::filesystem::create_directories(root_ / "rules");
    if (rules) std::ofstream(root_ / "rules" / "evdev.xml") << fixture_rules();
    config_.emplace(root_ / "config");
    rules_.emplace(root_ / "rules");
  }
  ~PaneFolders() {
    rules_.reset();
    config_.reset();
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
  }
  PaneFolders(const PaneFolders&) = delete;
  PaneFolders& operator=(const PaneFolders&) = delete;

  std::filesystem::path settings_file() const { return *prefs_store::settings_path(); }
  // Merges `members` into the stored section `key`.
  void store(std::string_view key, const nlohmann::ordered_json& members) const {
    (void)prefs_store::update_section(key, members);
  }
  nlohmann::ordered_json stored_section(std::string_view key) const {
    return prefs_store::load_section(key).value_or(nlohmann::ordered_json());
  }

 private:
  std::filesystem::path root_;
  std::optional<prefs_store::ScopedConfigDir> config_;
  std::optional<ScopedRulesDir> rules_;
};

}  // namespace settings::panes::mouse_keyboard::testing
