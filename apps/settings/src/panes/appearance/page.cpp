#include "panes/appearance/page.h"

#include <fmt/format.h>

#include <span>
#include <string>
#include <vector>

#include "kalu_ui/widget/dropdown.h"
#include "kalu_ui/widget/toggle.h"
#include "lib/preference_pane.h"
#include "panes/appearance/model.h"
#include "vocabulary/appearance_labels.h"

namespace settings::panes::appearance {
namespace {

namespace w = kalu_ui::widget;
using ui_rows::WidgetBox;
using ui_rows::WidgetList;

WidgetBox dropdown(std::string_view id, std::span<const std::string_view> labels,
                   std::string_view placeholder,
                   std::optional<kalu_actions::ActionBinding> binding) {
  w::Dropdown control(lib::edit_key(id), std::vector<std::string>(labels.begin(), labels.end()),
                      std::string(placeholder));
  control.with_id(std::string(id));
  control.on_action(std::move(binding));
  return w::boxed(std::move(control));
}

WidgetBox toggle(std::string_view id, std::optional<kalu_actions::ActionBinding> binding) {
  w::Toggle control(fmt::format("settings.{}", id), lib::edit_key(id));
  control.with_id(std::string(id));
  control.on_action(std::move(binding));
  return w::boxed(std::move(control));
}

WidgetBox theme_card(const stored::AppearancePrefs& prefs, const kalu_ui::Theme& applied,
                     PageBindings& bindings) {
  WidgetList rows;
  rows.push_back(ui_rows::setting_row(
      "Theme", dropdown(kThemeId, theme_labels(), applied.name, std::move(bindings.theme))));
  rows.push_back(ui_rows::setting_row(
      "UI scale", dropdown(kUiScaleId, ui_scale_labels(), ui_scale_label(prefs.ui_scale),
                           std::move(bindings.ui_scale))));
  rows.push_back(ui_rows::setting_row(
      "Text size", dropdown(kTextSizeId, text_size_labels(), text_size_label(prefs.text_scale),
                            std::move(bindings.text_size))));
  return ui_rows::section_card("Theme", ui_rows::rows_column(std::move(rows)));
}

WidgetBox comfort_card(PageBindings& bindings) {
  WidgetList rows;
  rows.push_back(
      ui_rows::described_row("High contrast", "Maximise contrast for low-vision comfort",
                             toggle(kHighContrastId, std::move(bindings.high_contrast))));
  rows.push_back(
      ui_rows::described_row("Reduce motion", "Skip animations and transitions",
                             toggle(kReduceMotionId, std::move(bindings.reduce_motion))));
  return ui_rows::section_card("Accessibility", ui_rows::rows_column(std::move(rows)));
}

WidgetBox applied_card(const kalu_ui::Theme& applied) {
  WidgetList rows;
  rows.push_back(ui_rows::info_row("Active theme", applied.name));
  rows.push_back(ui_rows::info_row("UI scale", percent(applied.ui_scale)));
  rows.push_back(ui_rows::info_row("Text scale", percent(applied.text_scale)));
  rows.push_back(ui_rows::info_row("Reduced motion", applied.reduce_motion ? "On" : "Off"));
  return ui_rows::section_card("Applied theme", ui_rows::rows_column(std::move(rows)));
}

}  // namespace

WidgetBox build_page(const stored::AppearancePrefs& prefs, PageBindings bindings) {
  const kalu_ui::Theme applied = applied_theme(prefs);
  WidgetList cards;
  cards.push_back(theme_card(prefs, applied, bindings));
  cards.push_back(comfort_card(bindings));
  cards.push_back(applied_card(applied));
  cards.push_back(ui_rows::section_card("Shared with your apps", ui_rows::caption(kSharedCaption)));
  return ui_rows::sections_column(std::move(cards));
}

}  // namespace settings::panes::appearance
