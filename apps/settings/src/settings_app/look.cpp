// The look the window draws with: the shown page's theme override, else the
// stored appearance section (the Accessibility pane keeps its vision
// comforts there too). Asked every frame, so a look saved by a client, a
// control or a pane is drawn from the frame that follows the save; a new UI
// scale builds the layout, and with it the shell, anew (build_layout).

#include <memory>
#include <nlohmann/json.hpp>

#include "actions/setting_store.h"
#include "panes/appearance/model.h"
#include "prefs_store/document.h"
#include "settings_app/settings_app.h"
#include "stored/sections.h"

namespace settings::settings_app {
namespace {

// The appearance section as stored; without a theme of its own, the
// configured one (KALU_UI_THEME), with the section's scales and comforts.
kalu_ui::ThemeOverride stored_look() {
  stored::AppearancePrefs prefs;
  bool named = false;
  if (auto section = prefs_store::load_section("appearance"); section && !section->empty()) {
    if (auto read = stored::read_section<stored::AppearancePrefs>(*section)) prefs = *read;
    named = section->contains("theme");
  }
  kalu_ui::ThemeOverride look = panes::appearance::theme_override_of(prefs);
  if (!named) look.theme = std::make_shared<const kalu_ui::Theme>(kalu_ui::Theme::configured());
  return look;
}

// The first widget, depth first, that answers a theme override.
const kalu_ui::Widget* answering(const kalu_ui::Widget& widget) {
  if (widget.theme_override()) return &widget;
  for (const kalu_ui::Widget* child : widget.children()) {
    if (child == nullptr) continue;
    if (const kalu_ui::Widget* found = answering(*child)) return found;
  }
  return nullptr;
}

}  // namespace

std::optional<kalu_ui::ThemeOverride> SettingsApp::theme_override() const {
  if (!look_source_known_ && shell_) {
    look_source_ = answering(*shell_);
    look_source_known_ = true;
  }
  if (look_source_ != nullptr) {
    if (auto look = look_source_->theme_override()) return look;
  }
  const std::uint64_t saves = actions::look_generation();
  if (!stored_look_ || saves != stored_look_saves_) {
    stored_look_ = stored_look();
    stored_look_saves_ = saves;
  }
  return stored_look_;
}

}  // namespace settings::settings_app
