#include "panes/keyboard_shortcuts/keyboard_shortcuts_pane.h"

#include <fmt/format.h>

#include <string>
#include <utility>

#include "actions/keyboard_shortcuts_section.h"
#include "actions/preference_context.h"
#include "kalu_ui/log.h"
#include "kalu_ui/widget/support.h"
#include "panes/keyboard_shortcuts/page.h"
#include "prefs_store/desktop_controls.h"
#include "vocabulary/shortcut_keys.h"

namespace settings::panes::keyboard_shortcuts {
namespace {

// Logged, not fatal: the section is built from a fixed table, so a missing
// action is the program's own fault; the control then changes nothing.
std::optional<kalu_actions::ActionBinding> published(
    std::optional<kalu_actions::ActionBinding> binding, std::string_view name) {
  if (!binding) {
    kalu_ui::log::warn("kalu::settings", "settings::panes::keyboard_shortcuts",
                       "Keyboard Shortcuts action must be published",
                       {{"op", "shortcut_binding"}, {"requested", std::string(name)}});
  }
  return binding;
}

PageBindings section_bindings() {
  PageBindings bindings;
  bindings.vim = published(actions::shortcut_toggle_binding("vim-mode"), "vim-mode");
  for (const ShortcutKey& row : shortcut_keys()) {
    const std::string name = actions::shortcut_action_name(row.id);
    bindings.chords.push_back(published(actions::shortcut_text_binding(name), name));
  }
  return bindings;
}

}  // namespace

ShortcutPane::ShortcutPane(prefs_store::ShortcutConfig shortcuts, bool vim_mode)
    : PreferencePane(true), shortcuts_(std::move(shortcuts)), vim_mode_(vim_mode) {}

kalu_ui::WidgetBox ShortcutPane::boxed() {
  return kalu_ui::widget::boxed(ShortcutPane(prefs_store::ShortcutConfig::load(),
                                             prefs_store::DesktopControlsConfig::load().vim_mode));
}

bool ShortcutPane::reload() {
  prefs_store::ShortcutConfig loaded = prefs_store::ShortcutConfig::load();
  vim_mode_ = prefs_store::DesktopControlsConfig::load().vim_mode;
  // A shortcut whose chord changed was recorded afresh: its old reason goes.
  bool said = false;
  for (const ShortcutKey& row : shortcut_keys()) {
    if (chord_text(loaded, row.action) == chord_text(shortcuts_, row.action)) continue;
    if (const auto found = refusals_.find(row.id); found != refusals_.end()) {
      refusals_.erase(found);
      said = true;
    }
  }
  shortcuts_ = std::move(loaded);
  // The recorders follow the document; only a reason taken away needs a page.
  return said;
}

void ShortcutPane::edits_refused(const kalu_ui::doc::Document& document) {
  bool said = false;
  for (const ShortcutKey& row : shortcut_keys()) {
    const auto edit = document.read_text(kalu_ui::doc::kRoot, lib::edit_key(row.id));
    if (!edit || *edit == chord_text(shortcuts_, row.action)) continue;
    std::string reason = chord_refusal(shortcuts_, row.action, *edit)
                             .value_or(fmt::format("{} could not be saved", *edit));
    auto& shown = refusals_[std::string(row.id)];
    if (shown != reason) {
      shown = std::move(reason);
      said = true;
    }
  }
  if (said) request_rebuild();
}

std::vector<lib::ShownSetting> ShortcutPane::shown() const {
  std::vector<lib::ShownSetting> shown;
  for (const ShortcutKey& row : shortcut_keys()) {
    shown.push_back({std::string(row.id), chord_text(shortcuts_, row.action)});
  }
  shown.push_back({std::string(kVimModeKey), vim_mode_});
  return shown;
}

kalu_ui::layout::NodeId ShortcutPane::build_layout(kalu_ui::layout::LayoutTree& tree,
                                                   const kalu_ui::RenderContext& context,
                                                   kalu_ui::layout::NodeRegistry& registry) {
  return lay_out_page(tree, context, registry,
                      build_page(shortcuts_, section_bindings(), refusals_));
}

std::optional<kalu_actions::ActionContext> ShortcutPane::take_permission_request() {
  return actions::preference_pane_context(take_interaction(), "keyboard-shortcuts",
                                          "Keyboard shortcuts", "Change keyboard shortcuts");
}

}  // namespace settings::panes::keyboard_shortcuts
