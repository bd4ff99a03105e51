#include "settings_app/program.h"

#include <memory>

#include "actions/settings_action.h"
#include "kalu_ui/widget/card.h"
#include "lib/ui_rows.h"
#include "prefs_store/display.h"
#include "settings_app/settings_app.h"

namespace settings::settings_app {

kalu_ui::WidgetBox make_app(kalu_ui::app::App&) { return std::make_unique<SettingsApp>(); }

void setup_app(kalu_ui::app::App& app) {
  actions::register_settings_action_handler(app.action_registry_mut());
  // A display safety test an earlier run left still ends at its deadline
  // while this one runs, whichever pane is shown (on a thread of its own).
  prefs_store::watch_display_safety_test();
  app.setting_a = true;
  app.setting_b = true;
}

kalu_ui::launch::WindowSize default_window_size() { return {kWindowWidth, kWindowHeight}; }

bool always_true() { return true; }

kalu_ui::launch::AppSpec make_spec() {
  kalu_ui::launch::AppSpec spec;
  spec.app_id = std::string(kAppId);
  spec.list_a = {};
  spec.list_b = {};
  spec.list_c = {};
  spec.list_d = {};
  spec.list_e = {};
  spec.optional_a = std::nullopt;
  spec.optional_b = std::nullopt;
  spec.optional_c = std::nullopt;
  spec.optional_d = std::nullopt;
  spec.make_app = &make_app;
  spec.callback_a = nullptr;
  spec.callback_b = nullptr;
  spec.callback_c = nullptr;
  spec.callback_d = nullptr;
  spec.setup = &setup_app;
  spec.callback_e = nullptr;
  spec.callback_f = nullptr;
  spec.callback_g = nullptr;
  spec.callback_h = nullptr;
  spec.default_window_size = &default_window_size;
  spec.enabled = &always_true;
  spec.persist_open = &kalu_ui::persist::open;
  spec.flags = {1, 0, 1, 1};
  // The sidebar, a page's header and its cards.
  using kalu_ui::text::TextStyle;
  spec.first_frame_styles = {TextStyle::sized(ui_rows::kCaptionSize),
                             TextStyle::sized(ui_rows::kLabelSize),
                             TextStyle::sized(ui_rows::kHeaderTitleSize),
                             TextStyle::sized(kalu_ui::widget::Card::kTitleSize)
                                 .with_weight(kalu_ui::text::kWeightSemibold)};
  return spec;
}

}  // namespace settings::settings_app
