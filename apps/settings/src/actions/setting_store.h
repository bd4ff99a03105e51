#pragma once

// Where a set-setting is kept. Every key the "settings.action" namespace
// takes stands for one stored preference, and the application's handler of
// the namespace keeps each set-setting there before it writes the state
// document. So a change is saved the moment it is made, whoever makes it (an
// automation client, a page control through the control replay, a pane) and
// whichever pane is shown; the preference panes only read what is stored.
//
//   keys                          kept in
//   "appearance.*"                the settings document's "appearance" section
//   "a11y.*"                      its "accessibility" section; high contrast,
//                                 reduced motion and text size in "appearance"
//   "region.*"                    its "locale" record
//   "notifications.*"             its "notifications" section, with the
//                                 per-application rules
//   "text.*"                      its "text_assistance" section
//   "shortcuts.vim_mode"          the desktop-controls file
//   the shortcut catalogue's ids  the shortcut file
//   "default_apps.*"              the person's defaults (mimeapps.list)
//
// Each save reads the preference as stored now and merges the one change
// into it (one section of the settings document, every other key of the file
// as it was). A value the file holds already is not written again; one the
// preference only reads as (a default, for a section missing or a document
// that does not read) is. A label stands for what the preference holds, so a
// label that is the one the stored value shows is no change: a stored text
// scale of 1.075 shows "Default", and setting "Default" keeps 1.075. A
// change of the look keeps an unnamed theme unnamed (vocabulary/look.h).
// Each save is noted (lib/stored_notices.h), so every reader of a stored
// value reads it again. UI thread only.

#include <cstdint>
#include <optional>
#include <string>

#include "kalu_ui/result.h"
#include "operations/records.h"

namespace settings::actions {

// The stored preferences a set-setting can change.
enum class Store : std::uint8_t {
  kAppearance,
  kAccessibility,
  kLocale,
  kNotifications,
  kTextAssistance,
  kDesktopControls,
  kShortcuts,
  kDefaultApps,
};

struct StoredSetting {
  Store store = Store::kAppearance;
  // False: the preference held the value already; nothing was written.
  bool changed = false;
  // The text the state document keeps for the value when it is not the one
  // given: a chord in its own form ("Super+K" for "super+k"), a default
  // application by its label.
  std::optional<std::string> text;
};

// Keeps one set-setting. Refused, with nothing written, for a value the
// preference cannot hold ("settings target is stale, unknown, or has an
// invalid value: <key>": a theme that is not listed, a text that is no label
// of the setting, an application that does not open the kind; a chord with
// the reason a person can act on, "Super+Tab is already used by Workspace
// overview" or "Super+Foo is not a key combination"), and with the reason
// when the stored preference cannot be read or written.
kalu_ui::Result<StoredSetting> store_setting(const operations::SettingsAction& action);

}  // namespace settings::actions
