#include "panes/appearance/model.h"

#include <fmt/format.h>

#include <memory>

#include "vocabulary/appearance_labels.h"

namespace settings::panes::appearance {

kalu_ui::Theme resolve_theme(std::string_view name) {
  if (name.starts_with("custom:")) return kalu_ui::Theme::configured();
  if (auto named = kalu_ui::Theme::named(name)) return std::move(*named);
  return kalu_ui::Theme::dark();
}

kalu_ui::Theme applied_theme(const stored::AppearancePrefs& prefs) {
  const kalu_ui::Theme base =
      prefs.high_contrast ? kalu_ui::Theme::high_contrast() : resolve_theme(prefs.theme);
  return base.with_ui_scale(static_cast<float>(prefs.ui_scale))
      .with_text_scale(static_cast<float>(prefs.text_scale))
      .with_reduce_motion(prefs.reduce_motion);
}

std::string percent(float scale) {
  return fmt::format("{:.0f}%", static_cast<double>(scale) * 100.0);
}

kalu_ui::ThemeOverride theme_override_of(const stored::AppearancePrefs& prefs) {
  return kalu_ui::ThemeOverride{
      .theme = std::make_shared<const kalu_ui::Theme>(resolve_theme(prefs.theme)),
      .text_scale = static_cast<float>(prefs.text_scale),
      .ui_scale = static_cast<float>(prefs.ui_scale),
      .high_contrast = prefs.high_contrast,
      .reduce_motion = prefs.reduce_motion,
  };
}

}  // namespace settings::panes::appearance
