#pragma once

// The Mouse & Keyboard page: six cards ("Keyboard", "Spell checker", "Input
// sources", "Pointer", "Buttons & acceleration", "Pen & tablet"). Each
// control starts from a fresh cell holding the value shown and is bound to
// its action of the Mouse & Keyboard section, which `section` (made once per
// page, actions::input_binding_section) supplies; the two spell-checker
// switches to set-settings of their keys. A control whose action the section
// does not offer (the stored sources changed since, say) is shown disabled
// and logged, and a disabled source button carries no action.

#include <span>
#include <string_view>

#include "kalu_actions/resource.h"
#include "lib/ui_rows.h"
#include "stored/sections.h"
#include "vocabulary/input_sources.h"

namespace settings::panes::mouse_keyboard {

// Control ids.
inline constexpr std::string_view kLayoutId = "input.layout";
inline constexpr std::string_view kKeyRepeatId = "input.key_repeat";
inline constexpr std::string_view kComposeKeyId = "input.compose_key";
inline constexpr std::string_view kCheckSpellingId = "text.check_spelling";
inline constexpr std::string_view kAutoCorrectId = "text.auto_correct";
inline constexpr std::string_view kAddPickerId = "input.source.add_picker";
inline constexpr std::string_view kAccelProfileId = "input.accel_profile";

// At most this many sources are active at once (the XKB group limit).
inline constexpr std::size_t kMaxActiveSources = 4;

inline constexpr std::string_view kRepeatCaption =
    "Changes apply to this user session through the compositor. With multiple sources, "
    "Alt+Shift switches temporarily; Super+Space remains global search.";
inline constexpr std::string_view kSpellCaption =
    "Press Backspace immediately to restore the original word. Passwords are always excluded; "
    "other structured fields require an app to opt in.";
inline constexpr std::string_view kFourSourcesCaption =
    "Up to four input sources can be active at once, matching the interoperable XKB group limit.";
inline constexpr std::string_view kPenCaption =
    "Absolute pen and tablet mapping follows the selected display connector. Controls appear only "
    "when a tablet is attached; pressure curves and button mappings are stored per device.";

// What the page shows.
struct PageModel {
  const stored::InputPrefs& input;
  std::span<const InputSource> sources;
  bool check_spelling = true;
  bool auto_correct = true;
};

// The button ids of the source row at `index`: "input.source.{index}.up",
// ".down", ".remove".
std::string source_button_id(std::size_t index, std::string_view which);

ui_rows::WidgetBox build_page(const PageModel& model, const kalu_actions::Resource& section);

}  // namespace settings::panes::mouse_keyboard
