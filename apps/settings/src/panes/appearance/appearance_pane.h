#pragma once

// The Appearance pane (Pane::kAppearance): the theme, UI scale, text size, high
// contrast and reduced motion that the compositor and every app share, the
// "appearance" section of the settings document. It shows the section as
// stored (lib/preference_pane.h): the control ids ("appearance.theme") and
// their edit keys, which the page's controls show. Each control records the
// Appearance section's action of its meaning, and that set-setting keeps the
// section (actions/setting_store.h), whoever sets it; the pane saves
// nothing. What it shows is the look the window draws with: both read the
// stored section through vocabulary/look.h.

#include <optional>
#include <string_view>
#include <vector>

#include "lib/preference_pane.h"
#include "stored/sections.h"
#include "vocabulary/registry.h"

namespace settings::panes::appearance {

class AppearancePane final : public lib::PreferencePane {
 public:
  static constexpr std::string_view kTypeName = pane_row(Pane::kAppearance).type_name;

  explicit AppearancePane(stored::AppearancePrefs prefs);
  // Reads the stored look (vocabulary/look.h), as the page frame does.
  static kalu_ui::WidgetBox boxed();
  static stored::AppearancePrefs state_from_prefs();

  const stored::AppearancePrefs& prefs() const { return prefs_; }

  std::string_view type_name() const override { return kTypeName; }
  kalu_ui::layout::NodeId build_layout(kalu_ui::layout::LayoutTree& tree,
                                       const kalu_ui::RenderContext& context,
                                       kalu_ui::layout::NodeRegistry& registry) override;
  std::optional<kalu_actions::ActionContext> take_permission_request() override;

 protected:
  bool reload() override;
  std::vector<lib::ShownSetting> shown() const override;

 private:
  stored::AppearancePrefs prefs_;
};

}  // namespace settings::panes::appearance
