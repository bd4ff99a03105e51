#include "panes/keyboard_shortcuts/page.h"

#include <string>
#include <utility>

#include "kalu_ui/widget/shortcut_recorder.h"
#include "kalu_ui/widget/toggle.h"
#include "panes/doc_flags.h"
#include "panes/shortcut_keys.h"

namespace settings::panes::keyboard_shortcuts {
namespace {

namespace w = kalu_ui::widget;
using ui_rows::WidgetBox;
using ui_rows::WidgetList;

WidgetBox vim_row(std::optional<kalu_actions::ActionBinding> binding) {
  w::Toggle toggle(std::string(kVimToggleName), edit_control_id(kVimModeKey));
  toggle.with_id(std::string(kVimModeKey));
  if (binding) toggle.on_action(std::move(*binding));
  return ui_rows::label_row("Vim navigation (H J K L)", w::boxed(std::move(toggle)));
}

WidgetBox shortcut_row(const ShortcutKey& row, const prefs_store::ShortcutConfig& config,
                       const prefs_store::ShortcutConfig& defaults) {
  return ui_rows::label_row(
      row.label, w::boxed(w::ShortcutRecorder(std::string(row.id), edit_control_id(row.id),
                                              chord_text(config, row.action),
                                              chord_text(defaults, row.action))));
}

}  // namespace

std::string chord_text(const prefs_store::ShortcutConfig& config, std::uint8_t action) {
  const auto chord = config.chord(static_cast<prefs_store::ShortcutAction>(action));
  return chord ? chord->display() : std::string();
}

WidgetBox build_page(const prefs_store::ShortcutConfig& config,
                     std::optional<kalu_actions::ActionBinding> vim_binding) {
  const prefs_store::ShortcutConfig defaults;
  WidgetList system;
  WidgetList navigation;
  navigation.push_back(vim_row(std::move(vim_binding)));
  for (const ShortcutKey& row : shortcut_keys()) {
    (row.action < kFirstNavigationAction ? system : navigation)
        .push_back(shortcut_row(row, config, defaults));
  }
  WidgetList cards;
  cards.push_back(ui_rows::section_card("System", ui_rows::rows_column(std::move(system))));
  cards.push_back(
      ui_rows::section_card("Desktop navigation", ui_rows::rows_column(std::move(navigation))));
  return ui_rows::sections_column(std::move(cards));
}

}  // namespace settings::panes::keyboard_shortcuts
