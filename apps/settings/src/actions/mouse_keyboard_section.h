#pragma once

// The Mouse & Keyboard section of the automation surface,
// "settings.section:mouse_keyboard": the pointer and typing preferences
// (effects carried by "settings.input-operation"), the two text-assistance
// switches (set-setting actions of "settings.action" that flip the current
// value), the active input source and adding one (the latter carried by
// "settings.keyboard-source-operation"), and one item
// "settings.input-source:<source id>" per active keyboard input source with
// "move-up", "move-down" and "remove" where they apply. The executor applies
// these operations itself, and keeps the limit of four active sources.
//
// The section reads the text-assistance switches as the settings document's
// "text_assistance" section holds them (on when unset), the
// active sources from the settings document's input section, and the
// installed layouts from the keyboard layout catalogue
// (vocabulary/input_sources.h); nothing else.
//
// The Mouse & Keyboard page binds its toggles with input_toggle_binding (the
// eight pointer switches, "spell-checking", "auto-correct"), its sliders with
// input_level_binding ("touchpad-speed", "mouse-speed", "key-repeat"), its
// dropdowns with input_text_binding ("acceleration-profile", "compose-key",
// "active-source", "add-source") and each source row's buttons with
// input_source_command_binding.

#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "kalu_actions/action_spec.h"
#include "kalu_actions/binding.h"
#include "kalu_actions/resource.h"
#include "operations/records.h"
#include "stored/sections.h"
#include "stored/settings_prefs.h"
#include "vocabulary/input_sources.h"

namespace settings::actions {

// The section built from the stored text-assistance switches, the stored
// input section and the installed layouts of the catalogue.
kalu_actions::Resource mouse_keyboard_resource(const stored::TextAssistance& assistance,
                                               const stored::SettingsPrefs& prefs);
// The same with the installed layouts given.
kalu_actions::Resource mouse_keyboard_resource(
    const stored::TextAssistance& assistance, const stored::InputPrefs& input,
    std::span<const panes::mouse_keyboard::InputSource> installed);

// An input preference chosen among `choices` ("choice", "Device-local input
// value"); an invocation without a choice takes the first one offered (the
// empty text when none is). `make` turns the text into the record.
kalu_actions::ActionSpec input_choice_spec(
    std::string name, std::string label, std::vector<std::string> choices,
    std::function<operations::InputOperation(std::string)> make);

// The parameterless set-setting action that flips `setting_key`: labelled
// "Turn off <wording>" while `current` is true ("Turn on ..." otherwise), it
// sets the key to `!current`.
kalu_actions::ActionSpec text_assistance_spec(std::string name, std::string_view setting_key,
                                              std::string_view wording, bool current);

// The section the page's bindings are made from: no text-assistance switch
// set, the settings document's input section on disk and the catalogue. A page
// builds it once and hands it to the overloads below that take it, instead
// of a section read afresh for every control.
kalu_actions::Resource input_binding_section();

// The page's bindings. Each builds the section from no text-assistance
// switch set and the settings document on disk (or takes `section`, made by
// input_binding_section) and binds its first action of that name; none when
// the section has no such action.
//
// "spell-checking" and "auto-correct" are bound to a set-setting toggle of
// their key instead (a one-action section): the published actions flip the
// value they were built for, and a page built from no stored switch would
// otherwise always set false.
std::optional<kalu_actions::ActionBinding> input_toggle_binding(std::string_view action_name);
// The control's number becomes "value".
std::optional<kalu_actions::ActionBinding> input_level_binding(std::string_view action_name);
// The control's text becomes "choice" when the action has that parameter,
// else "label", else "value".
std::optional<kalu_actions::ActionBinding> input_text_binding(std::string_view action_name);
// A button of the source row of `source_id`: "move-up", "move-down" or
// "remove"; none when the source or the action is absent.
std::optional<kalu_actions::ActionBinding> input_source_command_binding(
    std::string_view source_id, std::string_view action_name);

std::optional<kalu_actions::ActionBinding> input_toggle_binding(
    const kalu_actions::Resource& section, std::string_view action_name);
std::optional<kalu_actions::ActionBinding> input_level_binding(
    const kalu_actions::Resource& section, std::string_view action_name);
std::optional<kalu_actions::ActionBinding> input_text_binding(const kalu_actions::Resource& section,
                                                              std::string_view action_name);
std::optional<kalu_actions::ActionBinding> input_source_command_binding(
    const kalu_actions::Resource& section, std::string_view source_id,
    std::string_view action_name);

}  // namespace settings::actions
