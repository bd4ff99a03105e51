#pragma once

// The Keyboard Shortcuts pane (pane 6): the chords of the seventeen desktop
// shortcuts of the catalogue (panes/shortcut_keys.h) and the Vim navigation
// switch, kept in the shortcut and desktop-controls files of prefs_store.
//
// Each shortcut has three keys in the state document: its id ("the action
// value", which set-setting actions of "settings.action" write), its edit key
// (what the recorder recorded) and its error key (true after a failed
// change). The first sync seeds the id and edit keys with the configured
// chords. After that, a new recording is parsed, set and saved, then
// dispatched as a set-setting action so the action value follows; a new
// action value is parsed, set and saved, and the recorder is given it. A
// change that fails (a chord that does not parse, one that another shortcut
// holds, a file that cannot be written) leaves the configuration, the file
// and both keys as they were, and sets the error key. The Vim switch goes the
// same two ways. Nothing runs in the background and nothing is logged for a
// refused chord.

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "kalu_ui/host.h"
#include "lib/page_pane.h"
#include "lib/type_names.h"
#include "operations/records.h"
#include "prefs_store/shortcuts.h"

namespace settings::panes::keyboard_shortcuts {

class ShortcutPane final : public lib::PagePane {
 public:
  static constexpr std::string_view kTypeName = type_names::kShortcutPane;

  ShortcutPane(prefs_store::ShortcutConfig shortcuts, bool vim_mode);
  // Loads both configurations, as the page frame does.
  static kalu_ui::WidgetBox boxed();

  const prefs_store::ShortcutConfig& shortcuts() const { return shortcuts_; }
  bool vim_mode() const { return vim_mode_; }
  // The chord text last applied for an action; none before the first sync.
  const std::optional<std::string>& applied(std::uint8_t action) const {
    return applied_.at(action);
  }

  std::string_view type_name() const override { return kTypeName; }
  void sync(kalu_ui::doc::Document& document) override;
  kalu_ui::layout::NodeId build_layout(kalu_ui::layout::LayoutTree& tree,
                                       const kalu_ui::RenderContext& context,
                                       kalu_ui::layout::NodeRegistry& registry) override;
  std::optional<kalu_actions::ActionContext> take_permission_request() override;

 private:
  void seed(kalu_ui::doc::Document& document);
  void sync_vim(kalu_ui::doc::Document& document);
  void sync_shortcut(kalu_ui::doc::Document& document, std::string_view id, std::uint8_t action);
  // Parses `text`, gives `action` the chord and saves; on any failure the
  // configuration stays as it was.
  bool apply_chord(std::uint8_t action, std::string_view text);
  // In the "settings.action" namespace, with the application's context.
  void dispatch(kalu_ui::doc::Document& document, const operations::SettingsAction& action);

  prefs_store::ShortcutConfig shortcuts_;
  std::array<std::optional<std::string>, prefs_store::kShortcutActionCount> applied_;
  bool vim_mode_ = false;
  bool vim_saved_ = false;
  bool seed_document_ = true;
  kalu_ui::host::ActionHost host_{nullptr};
};

}  // namespace settings::panes::keyboard_shortcuts
