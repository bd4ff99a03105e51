#include "panes/keyboard_shortcuts/page.h"

#include <span>
#include <string>
#include <utility>

#include "kalu_ui/widget/shortcut_recorder.h"
#include "kalu_ui/widget/toggle.h"
#include "lib/preference_pane.h"
#include "vocabulary/shortcut_keys.h"

namespace settings::panes::keyboard_shortcuts {
namespace {

namespace w = kalu_ui::widget;
using ui_rows::WidgetBox;
using ui_rows::WidgetList;

WidgetBox vim_row(std::optional<kalu_actions::ActionBinding> binding) {
  w::Toggle toggle(std::string(kVimToggleName), lib::edit_key(kVimModeKey));
  toggle.with_id(std::string(kVimModeKey));
  toggle.on_action(std::move(binding));
  return ui_rows::label_row("Vim navigation (H J K L)", w::boxed(std::move(toggle)));
}

WidgetBox shortcut_row(const ShortcutKey& row, const prefs_store::ShortcutConfig& config,
                       const prefs_store::ShortcutConfig& defaults,
                       std::optional<kalu_actions::ActionBinding> binding,
                       const std::string* refusal) {
  w::ShortcutRecorder recorder(std::string(row.id), lib::edit_key(row.id),
                               chord_text(config, row.action), chord_text(defaults, row.action));
  recorder.on_action(std::move(binding));
  WidgetBox labelled = ui_rows::label_row(row.label, w::boxed(std::move(recorder)));
  if (!refusal) return labelled;
  WidgetList lines;
  lines.push_back(std::move(labelled));
  lines.push_back(ui_rows::caption(*refusal));
  return ui_rows::column(std::move(lines), ui_rows::kDescriptionGap);
}

}  // namespace

std::string chord_text(const prefs_store::ShortcutConfig& config, std::uint8_t action) {
  const auto chord = config.chord(static_cast<prefs_store::ShortcutAction>(action));
  return chord ? chord->display() : std::string();
}

WidgetBox build_page(const prefs_store::ShortcutConfig& config, PageBindings bindings,
                     const std::map<std::string, std::string, std::less<>>& refusals) {
  const prefs_store::ShortcutConfig defaults;
  WidgetList system;
  WidgetList navigation;
  navigation.push_back(vim_row(std::move(bindings.vim)));
  const std::span<const ShortcutKey> rows = shortcut_keys();
  for (std::size_t i = 0; i < rows.size(); ++i) {
    std::optional<kalu_actions::ActionBinding> binding;
    if (i < bindings.chords.size()) binding = std::move(bindings.chords[i]);
    const auto refused = refusals.find(rows[i].id);
    (rows[i].action < kFirstNavigationAction ? system : navigation)
        .push_back(shortcut_row(rows[i], config, defaults, std::move(binding),
                                refused == refusals.end() ? nullptr : &refused->second));
  }
  WidgetList cards;
  cards.push_back(ui_rows::section_card("System", ui_rows::rows_column(std::move(system))));
  cards.push_back(
      ui_rows::section_card("Desktop navigation", ui_rows::rows_column(std::move(navigation))));
  return ui_rows::sections_column(std::move(cards));
}

}  // namespace settings::panes::keyboard_shortcuts
