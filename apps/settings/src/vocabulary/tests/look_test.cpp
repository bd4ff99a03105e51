// The look of a stored appearance section: each member it holds is kept,
// each it lacks takes its default, and a section that names no theme (or
// does not read) takes the environment's.

#include "vocabulary/look.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>

namespace settings::panes::appearance {
namespace {

using Json = nlohmann::ordered_json;

stored::AppearancePrefs with(std::string theme, bool high_contrast = false,
                             double text_scale = 1.0) {
  stored::AppearancePrefs prefs;
  prefs.theme = std::move(theme);
  prefs.high_contrast = high_contrast;
  prefs.text_scale = text_scale;
  return prefs;
}

TEST(LookTest, MissingMembersTakeTheirDefaultsAndTheThemeTheEnvironments) {
  const struct {
    const char* section;
    stored::AppearancePrefs look;
  } cases[] = {
      {"null", with("Nord")},
      {R"("Light")", with("Nord")},
      {"{}", with("Nord")},
      {R"({"theme": "Light"})", with("Light")},
      {R"({"high_contrast": true, "text_scale": 1.3})", with("Nord", true, 1.3)},
      {R"({"theme": "Light", "wallpaper": "x.png"})", with("Light")},
      // A member that does not read: nothing of the section is taken.
      {R"({"theme": "Light", "text_scale": "big"})", with("Nord")},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(look_of(Json::parse(c.section), "Nord"), c.look) << c.section;
  }
}

}  // namespace
}  // namespace settings::panes::appearance
