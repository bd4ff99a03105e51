#include "panes/region/region_pane.h"

#include <algorithm>
#include <array>
#include <utility>

#include "actions/doc_readers.h"
#include "actions/preference_context.h"
#include "actions/region_section.h"
#include "actions/settings_action.h"
#include "kalu_ui/log.h"
#include "kalu_ui/widget/support.h"
#include "panes/region/page.h"
#include "panes/region_formats.h"

namespace settings::panes::region {
namespace {

namespace doc = kalu_ui::doc;
using operations::SettingsAction;

const SettingInfo* info_of_key(std::string_view key) {
  for (const SettingInfo& setting : settings()) {
    if (setting.key == key) return &setting;
  }
  return nullptr;
}

bool is_label(const SettingInfo* setting, std::string_view text) {
  return setting != nullptr && std::ranges::find(setting->labels, text) != setting->labels.end();
}

void write_text(doc::Document& document, std::string_view key, std::string_view text) {
  if (auto written = document.put(doc::kRoot, key, doc::Scalar(std::string(text))); !written) {
    kalu_ui::log::warn(
        "kalu::settings", "settings::panes::region", "failed to write region setting",
        {{"op", "region_write"}, {"key", std::string(key)}, {"error", written.error()}});
  }
}

std::string edit_key_of(std::string_view key) { return std::string(key) + ".edit"; }

// The Region section's action of each setting, in the settings' order.
constexpr std::array<std::string_view, kSettingCount> kSectionActions = {
    "currency", "date", "time", "measurement", "number", "first-day"};

// Logged, not fatal: the section is built from a fixed table, so a missing
// action is the program's own fault, and the dropdown still writes its edit
// key.
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
    : locale_(locale), width_hint_(width_hint) {}

kalu_ui::WidgetBox RegionPane::boxed(std::optional<float> width_hint) {
  return kalu_ui::widget::boxed(RegionPane(stored::Locale::load(), width_hint));
}

void RegionPane::dispatch_setting(kalu_ui::host::ActionHost& host, doc::Document& document,
                                  const SettingsAction& action) {
  host.dispatch_with_context(document, actions::kSettingsActionNamespace,
                             actions::TypedSettingsAction(action),
                             actions::settings_action_context(actions::kSettingsAppId,
                                                              actions::kSettingsAppTitle, action));
}

RegionPane::SettingSync RegionPane::sync_setting(kalu_ui::host::ActionHost& host,
                                                 doc::Document& document, std::string_view key,
                                                 std::string_view current) {
  const SettingInfo* setting = info_of_key(key);
  const std::string edit_key = edit_key_of(key);
  std::string stored =
      actions::read_doc_text(document, doc::kRoot, key).value_or(std::string(current));
  if (stored != current && !is_label(setting, stored)) {
    // Not a value of this setting: taken for a change it would be adopted as
    // nothing, every frame. The current label goes back under both keys.
    write_text(document, key, current);
    write_text(document, edit_key, current);
    return {std::string(current), false};
  }
  std::string edited = actions::read_doc_text(document, doc::kRoot, edit_key).value_or(stored);
  if (stored != current) {
    // Changed through the action (a client, or an earlier edit applied).
    if (edited != stored) write_text(document, edit_key, stored);
    return {std::move(stored), true};
  }
  if (edited != stored) {
    if (!is_label(setting, edited)) {
      write_text(document, edit_key, current);
      return {std::string(current), false};
    }
    dispatch_setting(host, document, SettingsAction::set_setting(std::string(key), edited));
    return {std::move(edited), true};
  }
  return {std::string(current), false};
}

void RegionPane::publish(doc::Document& document) {
  const auto labels = labels_of(locale_);
  for (std::size_t i = 0; i < kSettingCount; ++i) {
    const SettingInfo& setting = settings()[i];
    dispatch_setting(host_, document,
                     SettingsAction::set_setting(std::string(setting.key), labels[i]));
  }
  // An edit key left from an earlier visit would otherwise read as a new
  // choice and undo what was applied since (a clock format set through the
  // executor, say).
  for (std::size_t i = 0; i < kSettingCount; ++i) {
    write_text(document, settings()[i].edit_key, labels[i]);
  }
}

void RegionPane::sync(doc::Document& document) {
  if (std::exchange(needs_publish_, false)) publish(document);
  const auto labels = labels_of(locale_);
  bool changed = false;
  bool replaced = false;
  for (std::size_t i = 0; i < kSettingCount; ++i) {
    const SettingInfo& setting = settings()[i];
    SettingSync result = sync_setting(host_, document, setting.key, labels[i]);
    changed = changed || result.changed;
    replaced = adopt_label(locale_, setting.setting, result.label) || replaced;
  }
  if (changed || replaced) save();
  if (replaced) rebuild_ = true;
  PagePane::sync(document);
}

void RegionPane::save() const {
  if (auto saved = locale_.save(); !saved) {
    kalu_ui::log::warn("kalu::settings", "settings::panes::region",
                       "failed to persist region settings",
                       {{"op", "region_save"}, {"error", saved.error()}});
  }
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
  PagePane::apply_layout(tree, node, origin_x, origin_y);
  // Without a hint the first build cannot know the width; the frame lays the
  // rebuilt page out again within the same frame.
  if (!width_hint_ && stacks_rows(get_rect().width()) != stacked_) rebuild_ = true;
}

bool RegionPane::take_structure_dirty() {
  const bool page = PagePane::take_structure_dirty();
  return std::exchange(rebuild_, false) || page;
}

std::optional<kalu_actions::ActionContext> RegionPane::take_permission_request() {
  return actions::preference_pane_context(take_interaction(), "region", "Region & formats",
                                          "Change region preferences");
}

}  // namespace settings::panes::region
