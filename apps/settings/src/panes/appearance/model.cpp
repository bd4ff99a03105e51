#include "panes/appearance/model.h"

#include <fmt/format.h>

#include "panes/appearance_labels.h"

namespace settings::panes::appearance {

std::string edit_key(std::string_view control_id) { return fmt::format("{}.edit", control_id); }

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

bool adoptable(std::string_view control_id, std::string_view text) {
  if (control_id == kThemeId) return is_theme_label(text);
  if (control_id == kTextSizeId) return text_scale_for_label(text).has_value();
  if (control_id == kUiScaleId) return ui_scale_for_label(text).has_value();
  return false;
}

}  // namespace settings::panes::appearance
