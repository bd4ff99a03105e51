#include <gtest/gtest.h>

#include <cstdlib>

#include "kalu_ui/app.h"
#include "test_widgets.h"

namespace kalu_ui {
namespace {

using launch::AppSpec;
using launch::WindowSize;

TEST(Launch, WindowSizeDefaultsTo1280By800) {
  AppSpec spec;
  EXPECT_EQ(launch::window_size(spec), (WindowSize{1280, 800}));
  spec.default_window_size = [] { return WindowSize{0, 600}; };
  EXPECT_EQ(launch::window_size(spec), (WindowSize{1280, 800}));
  spec.default_window_size = [] { return WindowSize{900, 600}; };
  EXPECT_EQ(launch::window_size(spec), (WindowSize{900, 600}));
}

TEST(Launch, NoDisplayIsAClearFailureBeforeTheFactoryRuns) {
  // Forget the display for this test only.
  struct Unset {
    std::optional<std::string> display, wayland, driver;
    static std::optional<std::string> take(const char* name) {
      const char* v = std::getenv(name);
      std::optional<std::string> old = v ? std::optional<std::string>(v) : std::nullopt;
      unsetenv(name);
      return old;
    }
    static void put(const char* name, const std::optional<std::string>& v) {
      if (v) setenv(name, v->c_str(), 1);
    }
    Unset()
        : display(take("DISPLAY")),
          wayland(take("WAYLAND_DISPLAY")),
          driver(take("SDL_VIDEODRIVER")) {}
    ~Unset() {
      put("DISPLAY", display);
      put("WAYLAND_DISPLAY", wayland);
      put("SDL_VIDEODRIVER", driver);
    }
  } unset;

  int factory_calls = 0;
  AppSpec spec;
  spec.app_id = "kalu.settings";
  spec.make_app = [&](app::App&) -> WidgetBox {
    ++factory_calls;
    return std::make_unique<app_test::Stack>();
  };
  auto result = launch::run(spec);
  ASSERT_FALSE(result);
  EXPECT_NE(result.error().find("no display"), std::string::npos) << result.error();
  EXPECT_EQ(factory_calls, 0);
  EXPECT_EXIT(launch::run_or_exit(spec), testing::ExitedWithCode(1),
              "kalu.settings: no display to open the window on");
}

TEST(Launch, AppHoldsTheRegistryAndPersistenceOpensADocument) {
  app::App app("kalu.settings");
  EXPECT_EQ(app.app_id(), "kalu.settings");
  EXPECT_FALSE(app.setting_a || app.setting_b);
  EXPECT_EQ(&app.action_registry_mut(), app.shared_action_registry().get());
  auto document = persist::open("kalu.settings");
  ASSERT_TRUE(document);
  EXPECT_EQ(document->pending_ops(), 0u);
}

}  // namespace
}  // namespace kalu_ui
