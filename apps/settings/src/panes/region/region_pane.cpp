#include "panes/region/region_pane.h"

#include <array>
#include <string>
#include <utility>

#include "actions/preference_context.h"
#include "actions/region_section.h"
#include "kalu_ui/log.h"
#include "kalu_ui/widget/support.h"
#include "panes/region/page.h"
#include "vocabulary/region_formats.h"

namespace settings::panes::region {
namespace {

// The Region section's action of each setting, in the settings' order.
constexpr std::array<std::string_view, kSettingCount> kSectionActions = {
    "currency", "date", "time", "measurement", "number", "first-day"};

// Logged, not fatal: the section is built from a fixed table, so a missing
// action is the program's own fault; the dropdown then changes nothing.
PageBindings section_bindings() {
  PageBindings bindings;
  for (std::size_t i = 0; i < kSettingCount; ++i) {
    bindings[i] = actions::region_choice_binding(kSectionActions[i]);
    if (!bindings[i]) {
      kalu_ui::log::warn(
          "kalu::settings", "settings::panes::region", "Region action must be published",
          {{"op", "region_choice_binding"}, {"requested", std::string(kSectionActions[i])}});
    }
  }
  return bindings;
}

}  // namespace

RegionPane::RegionPane(stored::Locale locale, std::optional<float> width_hint)
    : PreferencePane(true), locale_(locale), width_hint_(width_hint) {}

kalu_ui::WidgetBox RegionPane::boxed(std::optional<float> width_hint) {
  return kalu_ui::widget::boxed(RegionPane(stored::Locale::load(), width_hint));
}

bool RegionPane::reload() {
  const stored::Locale stored = stored::Locale::load();
  return std::exchange(locale_, stored) != stored;
}

std::vector<lib::ShownSetting> RegionPane::shown() const {
  std::vector<lib::ShownSetting> shown;
  const auto labels = labels_of(locale_);
  for (std::size_t i = 0; i < kSettingCount; ++i) {
    shown.push_back({std::string(settings()[i].key), std::string(labels[i])});
  }
  return shown;
}

kalu_ui::layout::NodeId RegionPane::build_layout(kalu_ui::layout::LayoutTree& tree,
                                                 const kalu_ui::RenderContext& context,
                                                 kalu_ui::layout::NodeRegistry& registry) {
  const double width = width_hint_ ? static_cast<double>(*width_hint_) : get_rect().width();
  stacked_ = stacks_rows(width);
  return lay_out_page(tree, context, registry, build_page(locale_, stacked_, section_bindings()));
}

void RegionPane::apply_layout(const kalu_ui::layout::LayoutTree& tree, kalu_ui::layout::NodeId node,
                              double origin_x, double origin_y) {
  PreferencePane::apply_layout(tree, node, origin_x, origin_y);
  // Without a hint the first build cannot know the width; the frame lays the
  // rebuilt page out again within the same frame.
  if (!width_hint_ && stacks_rows(get_rect().width()) != stacked_) request_rebuild();
}

std::optional<kalu_actions::ActionContext> RegionPane::take_permission_request() {
  return actions::preference_pane_context(take_interaction(), "region", "Region & formats",
                                          "Change region preferences");
}

}  // namespace settings::panes::region
