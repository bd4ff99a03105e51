#include "panes/region/page.h"

#include <string>
#include <vector>

#include "kalu_ui/widget/dropdown.h"
#include "vocabulary/region_formats.h"

namespace settings::panes::region {
namespace {

namespace w = kalu_ui::widget;
using ui_rows::WidgetBox;
using ui_rows::WidgetList;

WidgetBox dropdown(const SettingInfo& info, std::string_view current,
                   std::optional<kalu_actions::ActionBinding> binding) {
  std::vector<std::string> options(info.labels.begin(), info.labels.end());
  w::Dropdown control(std::string(info.edit_key), std::move(options), std::string(current));
  control.with_id(std::string(info.widget_id));
  control.on_action(std::move(binding));
  return w::boxed(std::move(control));
}

WidgetBox formats_card(const stored::Locale& locale, bool stacked, PageBindings& bindings) {
  const auto labels = labels_of(locale);
  WidgetList rows;
  for (std::size_t i = 0; i < kSettingCount; ++i) {
    const SettingInfo& setting = settings()[i];
    WidgetBox control = dropdown(setting, labels[i], std::move(bindings[i]));
    rows.push_back(stacked ? ui_rows::stacked_setting_row(setting.title, std::move(control))
                           : ui_rows::setting_row(setting.title, std::move(control)));
  }
  return ui_rows::section_card("Formats", ui_rows::rows_column(std::move(rows)));
}

WidgetBox preview_card(const stored::Locale& locale) {
  WidgetList rows;
  rows.push_back(ui_rows::info_row("Amount", amount_sample(locale.currency, locale.number_style)));
  rows.push_back(ui_rows::info_row("Date", date_sample(locale.date_format)));
  rows.push_back(ui_rows::info_row("Time", time_sample(locale.time_format)));
  rows.push_back(ui_rows::info_row("Temperature", temperature_sample(locale.measurement)));
  rows.push_back(
      ui_rows::info_row("Calendar week starts", first_day_label(locale.first_day_of_week)));
  return ui_rows::section_card("Preview", ui_rows::rows_column(std::move(rows)));
}

}  // namespace

bool stacks_rows(double width) { return width > 0.0 && width < kStackedBelow; }

WidgetBox build_page(const stored::Locale& locale, bool stacked, PageBindings bindings) {
  WidgetList cards;
  cards.push_back(formats_card(locale, stacked, bindings));
  cards.push_back(preview_card(locale));
  cards.push_back(ui_rows::section_card("Shared with your apps", ui_rows::caption(kSharedCaption)));
  return ui_rows::sections_column(std::move(cards));
}

}  // namespace settings::panes::region
