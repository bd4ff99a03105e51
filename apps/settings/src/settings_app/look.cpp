// The look the window draws with: one reading of the stored "appearance"
// section (vocabulary/look.h; Accessibility keeps its vision comforts there
// too, and a section naming no theme takes KALU_UI_THEME's), the same one
// the Appearance and Accessibility panes show. Asked every frame and read
// again whenever a change of the store was noted (lib/stored_notices.h: a
// save of this process at once, another writer of the file through its
// watch), so a look saved by a client, a control, a pane or another program
// is drawn from the frame that follows; a new UI scale builds the layout, and
// with it the shell, anew (build_layout).

#include "vocabulary/look.h"

#include "lib/stored_notices.h"
#include "panes/appearance/model.h"
#include "settings_app/settings_app.h"

namespace settings::settings_app {

std::optional<kalu_ui::ThemeOverride> SettingsApp::theme_override() const {
  const std::uint64_t generation = lib::stored_generation();
  if (!stored_look_ || generation != stored_look_generation_) {
    stored_look_ = panes::appearance::theme_override_of(panes::appearance::stored_look());
    stored_look_generation_ = generation;
  }
  return stored_look_;
}

}  // namespace settings::settings_app
