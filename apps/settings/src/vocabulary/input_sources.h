#pragma once

// The keyboard layout catalogue: every keyboard input source the system
// offers, as an id and the label a person sees, and the small lookups the
// Mouse & Keyboard page, its action-surface section and the executor's
// keyboard-source operations make in it. It lives beside the pane registry
// so that those rooms below the panes read it from the same place as the
// pane does.
//
// The catalogue is read from the XKB rules (evdev.xml, else base.xml, in the
// rules folder): each layout, then each of its named variants, with the ids
// "layout" and "layout:variant" in the canonical form of the settings
// store's source parser (prefs_store::KeyboardInputSource). It is sorted by
// label, ignoring letter case and keeping file order among equals, and a
// label that two entries share is made unique as "label · id". When neither
// file yields an entry (missing, unreadable, not well-formed XML, not UTF-8,
// or no usable layout) the catalogue is a fixed list of sixteen common
// sources in its own order. Reading never fails and logs nothing.
//
// A read is kept: a later call for the same folder answers from memory, as
// long as neither rules file has changed (checked with two stat calls), so
// the page, the action surface and the executor may ask on the UI thread as
// often as they build. A changed or replaced file is read again.

#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "stored/settings_prefs.h"

namespace settings::panes::mouse_keyboard {

struct InputSource {
  std::string id;     // "us", "de:neo"
  std::string label;  // "English (US)", "German — Neo 2"

  bool operator==(const InputSource&) const = default;
};

// The system's rules folder, "/usr/share/X11/xkb/rules", unless a
// ScopedRulesDir names another.
std::filesystem::path rules_dir();

// Makes `rules_dir` answer `dir` for the guard's lifetime, so a page can be
// built on fixture rules (or on none, for the fixed list). Process-wide;
// guards nest.
class ScopedRulesDir {
 public:
  explicit ScopedRulesDir(std::filesystem::path dir);
  ~ScopedRulesDir();
  ScopedRulesDir(const ScopedRulesDir&) = delete;
  ScopedRulesDir& operator=(const ScopedRulesDir&) = delete;

 private:
  std::optional<std::filesystem::path> previous_;
};

// The catalogue of `rules_dir()`, or of the given folder.
std::vector<InputSource> available_input_sources();
std::vector<InputSource> available_input_sources(const std::filesystem::path& dir);

// The catalogue of the folder read afresh, bypassing what is kept.
std::vector<InputSource> read_input_sources(const std::filesystem::path& dir);

// The sixteen sources offered when the rules give none, in their order.
std::span<const InputSource> fallback_input_sources();

// Appends the source "layout" or "layout:variant" to `catalogue`, labelled
// with `label` trimmed, or with the id text when that is empty. A source the
// settings store does not accept as an id is left out.
void push_input_source(std::vector<InputSource>& catalogue, std::string_view layout,
                       std::optional<std::string_view> variant, std::string_view label);

// The first entry whose label is `label` exactly.
std::optional<InputSource> find_source_by_label(std::span<const InputSource> catalogue,
                                                std::string_view label);

// The labels of the entries whose id is none of `active_ids`, in catalogue
// order: what may still be added.
std::vector<std::string> addable_sources(std::span<const InputSource> catalogue,
                                         std::span<const std::string> active_ids);

// The label of the first entry with id `id`; nothing for an id the catalogue
// does not know.
std::optional<std::string> known_source_label(std::span<const InputSource> catalogue,
                                              std::string_view id);

// Repairs the stored sources of an input section in place; only the active
// source and the source list change. One implementation, the settings
// document's own.
using settings::stored::normalise_input_sources;

// ---- The pointer and typing choices the page, the section and the executor share ----

// A compose key: the label shown and offered, and what the input section
// stores for it ("Disabled" stores none).
struct ComposeKey {
  std::string_view label;
  std::string_view stored;
};
// "Disabled", "Right Alt" ("ralt"), "Menu" ("menu"), "Caps Lock" ("caps"),
// "Right Super" ("rwin"), "Left Super" ("lwin"), in this order.
std::span<const ComposeKey> compose_keys();
// The label of a stored compose key; none or an unknown one is "Disabled".
std::string_view compose_key_label(const std::optional<std::string>& stored);
// "Adaptive", "Flat".
std::span<const std::string_view> acceleration_labels();
// "Flat" for the stored profile "flat", anything else "Adaptive".
std::string_view acceleration_label(std::string_view profile);

}  // namespace settings::panes::mouse_keyboard
