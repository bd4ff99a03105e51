#pragma once

// The Keyboard Shortcuts pane (Pane::kKeyboardShortcuts): the chords of the
// seventeen desktop shortcuts of the catalogue (vocabulary/shortcut_keys.h)
// and the Vim navigation switch, kept in the shortcut and desktop-controls
// files of prefs_store.
//
// It shows both as stored (lib/preference_pane.h): each shortcut's chord
// under its id ("shortcuts.search") and edit key, the switch under
// "shortcuts.vim_mode" and its edit key, which the recorders and the switch
// show. A recording is the shortcut's action of the Keyboard Shortcuts
// section, the switch its "vim-mode"; that set-setting keeps the file
// (actions/setting_store.h), whoever sets it, and refuses a chord that does
// not parse or that another shortcut holds, whose recorder then shows the
// stored chord again, with the reason beside it ("Super+Tab is already used
// by Workspace overview") until that shortcut's chord changes. The pane
// saves nothing.

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "lib/preference_pane.h"
#include "prefs_store/shortcuts.h"
#include "vocabulary/registry.h"

namespace settings::panes::keyboard_shortcuts {

class ShortcutPane final : public lib::PreferencePane {
 public:
  static constexpr std::string_view kTypeName = pane_row(Pane::kKeyboardShortcuts).type_name;

  ShortcutPane(prefs_store::ShortcutConfig shortcuts, bool vim_mode);
  // Loads both configurations, as the page frame does.
  static kalu_ui::WidgetBox boxed();

  const prefs_store::ShortcutConfig& shortcuts() const { return shortcuts_; }
  bool vim_mode() const { return vim_mode_; }
  // The reason shown beside each shortcut whose last recording was refused,
  // by shortcut id.
  const std::map<std::string, std::string, std::less<>>& refusals() const { return refusals_; }

  std::string_view type_name() const override { return kTypeName; }
  kalu_ui::layout::NodeId build_layout(kalu_ui::layout::LayoutTree& tree,
                                       const kalu_ui::RenderContext& context,
                                       kalu_ui::layout::NodeRegistry& registry) override;
  std::optional<kalu_actions::ActionContext> take_permission_request() override;

 protected:
  // The recorders and the switch follow the document: the page stays.
  bool reload() override;
  std::vector<lib::ShownSetting> shown() const override;
  void edits_refused(const kalu_ui::doc::Document& document) override;

 private:
  prefs_store::ShortcutConfig shortcuts_;
  bool vim_mode_ = false;
  std::map<std::string, std::string, std::less<>> refusals_;
};

}  // namespace settings::panes::keyboard_shortcuts
