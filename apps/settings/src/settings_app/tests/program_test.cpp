#include "settings_app/program.h"

#include <gtest/gtest.h>

#include "app_fixture.h"
#include "settings_app/settings_app.h"

namespace settings::settings_app {
namespace {

TEST(ProgramTest, SpecIsFilledFieldByField) {
  const kalu_ui::launch::AppSpec spec = make_spec();
  EXPECT_EQ(spec.app_id, "kalu.settings");
  EXPECT_EQ(spec.app_id.size(), 13u);
  for (const auto* list : {&spec.list_a, &spec.list_b, &spec.list_c, &spec.list_d, &spec.list_e}) {
    EXPECT_TRUE(list->empty());
  }
  for (const auto* text :
       {&spec.optional_a, &spec.optional_b, &spec.optional_c, &spec.optional_d}) {
    EXPECT_FALSE(text->has_value());
  }
  for (const auto* hook :
       {&spec.callback_a, &spec.callback_b, &spec.callback_c, &spec.callback_d, &spec.callback_e,
        &spec.callback_f, &spec.callback_g, &spec.callback_h}) {
    EXPECT_FALSE(static_cast<bool>(*hook));
  }
  ASSERT_TRUE(spec.make_app && spec.setup && spec.default_window_size && spec.enabled);
  EXPECT_EQ(spec.default_window_size(), (kalu_ui::launch::WindowSize{1280, 800}));
  EXPECT_EQ(kalu_ui::launch::window_size(spec), (kalu_ui::launch::WindowSize{1280, 800}));
  EXPECT_TRUE(spec.enabled());
  EXPECT_EQ(spec.persist_open, &kalu_ui::persist::open);
  EXPECT_EQ(spec.flags, (std::array<std::uint8_t, 4>{1, 0, 1, 1}));
}

TEST(ProgramTest, FactoryBuildsTheApplicationAndSetUpRegistersTheSetSettingHandler) {
  const kalu_ui::launch::AppSpec spec = make_spec();
  kalu_ui::app::App app("kalu.settings");
  ASSERT_FALSE(app.setting_a || app.setting_b);
  ASSERT_FALSE(app.action_registry().contains("settings.action"));
  spec.setup(app);
  EXPECT_TRUE(app.setting_a);
  EXPECT_TRUE(app.setting_b);
  EXPECT_TRUE(app.action_registry().contains("settings.action"));
  // The factory's account root is the platform's, under the configuration
  // directory: a temporary one here.
  testing::TempDir config;
  const char* old = std::getenv("XDG_CONFIG_HOME");
  const std::optional<std::string> saved = old ? std::optional<std::string>(old) : std::nullopt;
  ::setenv("XDG_CONFIG_HOME", config.path().c_str(), 1);
  const kalu_ui::WidgetBox root = spec.make_app(app);
  if (saved) {
    ::setenv("XDG_CONFIG_HOME", saved->c_str(), 1);
  } else {
    ::unsetenv("XDG_CONFIG_HOME");
  }
  ASSERT_NE(root, nullptr);
  EXPECT_EQ(root->type_name(), "settings::settings_app::SettingsApp");
  EXPECT_EQ(root->short_type_name(), "SettingsApp");
}

}  // namespace
}  // namespace settings::settings_app
