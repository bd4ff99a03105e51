#include "actions/region_section.h"

#include <array>
#include <string>

#include "actions/pane_actions.h"
#include "actions/specs.h"
#include "vocabulary/region_formats.h"

namespace settings::actions {

using kalu_actions::Resource;
using panes::region::Setting;

namespace {

struct RegionRow {
  Setting setting;
  std::string_view name;
  std::string_view label;
};

constexpr std::array<RegionRow, panes::region::kSettingCount> kRows = {{
    {Setting::Currency, "currency", "Set currency"},
    {Setting::DateFormat, "date", "Set date format"},
    {Setting::TimeFormat, "time", "Set time format"},
    {Setting::Measurement, "measurement", "Set measurement units"},
    {Setting::NumberStyle, "number", "Set number format"},
    {Setting::FirstDay, "first-day", "Set first day of week"},
}};

}  // namespace

Resource region_resource() { return region_resource(stored::Locale::load()); }

Resource region_resource(const stored::Locale& locale) {
  Resource section = Resource::create("settings.section:region_formats",
                                      std::string(kSectionResourceKind), "Region & Formats");
  section.actions.reserve(kRows.size());
  for (const RegionRow& row : kRows) {
    const auto& info = panes::region::info(row.setting);
    section.actions.push_back(setting_choice_spec(
        std::string(row.name), std::string(row.label), std::string(info.key),
        std::string(row.label), info.labels, panes::region::label_of(locale, row.setting)));
  }
  return section;
}

std::optional<kalu_actions::ActionBinding> region_choice_binding(std::string_view action_name) {
  return bind_action(region_resource(stored::Locale{}), action_name, choice_arguments());
}

}  // namespace settings::actions
