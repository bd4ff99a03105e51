#include "panes/appearance/appearance_pane.h"

#include <cmath>
#include <limits>
#include <memory>
#include <nlohmann/json.hpp>
#include <utility>

#include "actions/appearance_section.h"
#include "actions/doc_readers.h"
#include "actions/preference_context.h"
#include "actions/settings_action.h"
#include "kalu_ui/log.h"
#include "kalu_ui/widget/support.h"
#include "panes/appearance/model.h"
#include "panes/appearance/page.h"
#include "panes/appearance_labels.h"
#include "prefs_store/document.h"
#include "stored/settings_prefs.h"

namespace settings::panes::appearance {
namespace {

namespace doc = kalu_ui::doc;
using operations::SettingsAction;

constexpr std::string_view kModule = "settings::panes::appearance";
constexpr std::string_view kSection = "appearance";

template <typename T>
void write(doc::Document& document, std::string_view key, T value) {
  if (auto written = document.put(doc::kRoot, key, doc::Scalar(std::move(value))); !written) {
    kalu_ui::log::warn(
        "kalu::settings", kModule, "failed to write appearance setting",
        {{"op", "appearance_write"}, {"key", std::string(key)}, {"error", written.error()}});
  }
}

bool differs(double a, double b) {
  return std::abs(a - b) > std::numeric_limits<double>::epsilon();
}

// Logged, not fatal: the section is built from a fixed table, so a missing
// action is the program's own fault, and the control still writes its edit
// key.
template <typename Find>
std::optional<kalu_actions::ActionBinding> binding(Find find, std::string_view name) {
  auto found = find(name);
  if (!found) {
    kalu_ui::log::warn("kalu::settings", kModule, "Appearance action must be published",
                       {{"op", "appearance_binding"}, {"requested", std::string(name)}});
  }
  return found;
}

PageBindings section_bindings() {
  return PageBindings{
      .theme = binding(actions::appearance_choice_binding, "theme"),
      .ui_scale = binding(actions::appearance_choice_binding, "ui_scale"),
      .text_size = binding(actions::appearance_choice_binding, "text_size"),
      .high_contrast = binding(actions::appearance_toggle_binding, "high_contrast"),
      .reduce_motion = binding(actions::appearance_toggle_binding, "reduce_motion"),
  };
}

}  // namespace

AppearancePane::AppearancePane(stored::AppearancePrefs prefs) : prefs_(std::move(prefs)) {}

stored::AppearancePrefs AppearancePane::state_from_prefs() {
  return stored::SettingsPrefs::load().appearance;
}

kalu_ui::WidgetBox AppearancePane::boxed() {
  return kalu_ui::widget::boxed(AppearancePane(state_from_prefs()));
}

void AppearancePane::dispatch_setting(kalu_ui::host::ActionHost& host, doc::Document& document,
                                      const SettingsAction& action) {
  host.dispatch_with_context(document, actions::kSettingsActionNamespace,
                             actions::TypedSettingsAction(action),
                             actions::settings_action_context(actions::kSettingsAppId,
                                                              actions::kSettingsAppTitle, action));
}

AppearancePane::Synced<std::string> AppearancePane::sync_text_setting(
    kalu_ui::host::ActionHost& host, doc::Document& document, std::string_view control_id,
    std::string_view current) {
  const std::string edit = edit_key(control_id);
  std::string value =
      actions::read_doc_text(document, doc::kRoot, control_id).value_or(std::string(current));
  if (value != current && !adoptable(control_id, value)) {
    // Not a value the pane takes: read as a change it would be saved every
    // frame and adopted as nothing. The model's text goes back under both.
    write(document, control_id, std::string(current));
    write(document, edit, std::string(current));
    return {std::string(current), false};
  }
  std::string edited = actions::read_doc_text(document, doc::kRoot, edit).value_or(value);
  if (value != current) {
    if (edited != value) write(document, edit, value);
    return {std::move(value), true};
  }
  if (edited != value) {
    if (!adoptable(control_id, edited)) {
      write(document, edit, std::string(current));
      return {std::string(current), false};
    }
    dispatch_setting(host, document, SettingsAction::set_setting(std::string(control_id), edited));
    return {std::move(edited), true};
  }
  return {std::string(current), false};
}

AppearancePane::Synced<bool> AppearancePane::sync_bool_setting(kalu_ui::host::ActionHost& host,
                                                               doc::Document& document,
                                                               std::string_view control_id,
                                                               bool current) {
  const std::string edit = edit_key(control_id);
  const bool value = actions::read_doc_bool(document, doc::kRoot, control_id).value_or(current);
  const bool edited = actions::read_doc_bool(document, doc::kRoot, edit).value_or(value);
  if (value != current) {
    if (edited != value) write(document, edit, value);
    return {value, true};
  }
  if (edited != value) {
    dispatch_setting(host, document, SettingsAction::set_setting(std::string(control_id), edited));
    return {edited, true};
  }
  return {current, false};
}

void AppearancePane::seed(doc::Document& document) {
  const std::string text_size(text_size_label(prefs_.text_scale));
  const std::string ui_scale(ui_scale_label(prefs_.ui_scale));
  dispatch_setting(host_, document,
                   SettingsAction::set_setting(std::string(kThemeId), prefs_.theme));
  dispatch_setting(host_, document,
                   SettingsAction::set_setting(std::string(kTextSizeId), text_size));
  dispatch_setting(host_, document, SettingsAction::set_setting(std::string(kUiScaleId), ui_scale));
  dispatch_setting(host_, document,
                   SettingsAction::set_setting(std::string(kHighContrastId), prefs_.high_contrast));
  dispatch_setting(host_, document,
                   SettingsAction::set_setting(std::string(kReduceMotionId), prefs_.reduce_motion));
  // An edit key left from an earlier visit would otherwise read as a new
  // choice and undo what was stored since (high contrast switched on in
  // Accessibility, say).
  write(document, edit_key(kThemeId), prefs_.theme);
  write(document, edit_key(kTextSizeId), text_size);
  write(document, edit_key(kUiScaleId), ui_scale);
  write(document, edit_key(kHighContrastId), prefs_.high_contrast);
  write(document, edit_key(kReduceMotionId), prefs_.reduce_motion);
}

bool AppearancePane::read_back(doc::Document& document) {
  bool changed = false;
  auto theme = sync_text_setting(host_, document, kThemeId, prefs_.theme);
  changed = changed || theme.changed;
  if (is_theme_label(theme.value) && theme.value != prefs_.theme) prefs_.theme = theme.value;

  auto text_size =
      sync_text_setting(host_, document, kTextSizeId, text_size_label(prefs_.text_scale));
  changed = changed || text_size.changed;
  // Only a change is taken: the label of a stored 1.075 is "Default", whose
  // 1.0 must not replace the stored scale.
  if (auto scale = text_scale_for_label(text_size.value);
      text_size.changed && scale && differs(*scale, prefs_.text_scale)) {
    prefs_.text_scale = *scale;
  }

  auto ui_scale = sync_text_setting(host_, document, kUiScaleId, ui_scale_label(prefs_.ui_scale));
  changed = changed || ui_scale.changed;
  if (auto scale = ui_scale_for_label(ui_scale.value);
      ui_scale.changed && scale && differs(*scale, prefs_.ui_scale)) {
    prefs_.ui_scale = *scale;
  }

  auto contrast = sync_bool_setting(host_, document, kHighContrastId, prefs_.high_contrast);
  changed = changed || contrast.changed;
  prefs_.high_contrast = contrast.value;
  auto motion = sync_bool_setting(host_, document, kReduceMotionId, prefs_.reduce_motion);
  changed = changed || motion.changed;
  prefs_.reduce_motion = motion.value;
  return changed;
}

void AppearancePane::sync(doc::Document& document) {
  if (std::exchange(seed_pending_, false)) seed(document);
  if (read_back(document)) save();
  PagePane::sync(document);
}

void AppearancePane::save() const {
  // A file that cannot be read is refused; a document that does not read is
  // kept aside by the update, which starts a fresh one.
  kalu_ui::Status saved;
  if (auto current = prefs_store::load_section(kSection); !current) {
    saved = kalu_ui::fail(current.error());
  } else {
    saved = prefs_store::update_section(kSection, stored::write_section(prefs_));
  }
  if (!saved) {
    kalu_ui::log::warn("kalu::settings", kModule, "failed to persist appearance prefs",
                       {{"op", "appearance_save"}, {"error", saved.error()}});
  }
}

kalu_ui::layout::NodeId AppearancePane::build_layout(kalu_ui::layout::LayoutTree& tree,
                                                     const kalu_ui::RenderContext& context,
                                                     kalu_ui::layout::NodeRegistry& registry) {
  return lay_out_page(tree, context, registry, build_page(prefs_, section_bindings()));
}

std::optional<kalu_ui::ThemeOverride> AppearancePane::theme_override() const {
  return kalu_ui::ThemeOverride{
      .theme = std::make_shared<const kalu_ui::Theme>(resolve_theme(prefs_.theme)),
      .text_scale = static_cast<float>(prefs_.text_scale),
      .ui_scale = static_cast<float>(prefs_.ui_scale),
      .high_contrast = prefs_.high_contrast,
      .reduce_motion = prefs_.reduce_motion,
  };
}

std::optional<kalu_actions::ActionContext> AppearancePane::take_permission_request() {
  return actions::preference_pane_context(take_interaction(), "appearance", "Appearance",
                                          "Change appearance preferences");
}

}  // namespace settings::panes::appearance
