#pragma once

// The program's entry: the application spec handed to the toolkit's
// launcher. There is no command line; nothing here reads arguments, options
// or the environment.

#include <cstdint>

#include "kalu_ui/app.h"

namespace settings::settings_app {

inline constexpr std::uint32_t kWindowWidth = 1280;
inline constexpr std::uint32_t kWindowHeight = 800;

// The application factory: a new SettingsApp, boxed. The App is not used.
kalu_ui::WidgetBox make_app(kalu_ui::app::App& app);
// The set-up hook: switches on the App's two automation settings.
void setup_app(kalu_ui::app::App& app);
kalu_ui::launch::WindowSize default_window_size();
bool always_true();

// The spec, every field filled: the id "kalu.settings", the factory, the
// set-up hook, 1280 by 800, the toolkit's own persistence opener, and the
// flags 1, 0, 1, 1.
kalu_ui::launch::AppSpec make_spec();

}  // namespace settings::settings_app
