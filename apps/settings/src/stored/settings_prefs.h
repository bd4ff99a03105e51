#pragma once

// The settings document: the program's own configuration file, one JSON
// object holding the user's preferences in named sections, shared with other
// writers (the locale, continuity and text-assistance sections, other
// programs' keys), all of which a save keeps with their positions.
//
// Every change loads the document afresh, replaces its own section and saves
// at once. Reads go through the settings store's document cache, so a load
// costs a stat while the file is unchanged. Saves are atomic. A file that
// cannot be read at all (not a regular file, too large, no permission) fails
// the save and stays as it is; one that reads but holds no document (cut off,
// not UTF-8, not a JSON object, nested too deep) loads as the defaults and is
// kept aside by the next save, which writes a fresh document (prefs_store's
// rule).

#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <nlohmann/json_fwd.hpp>
#include <optional>
#include <string>
#include <string_view>

#include "kalu_ui/result.h"
#include "stored/sections.h"

namespace settings::stored {

// `SettingsPrefs{}` is the default record: every section at its default.
struct SettingsPrefs {
  AudioPrefs audio;
  DisplayPrefs display;
  InputPrefs input;
  PowerPrefs power;
  UpdatePrefs updates;
  AppearancePrefs appearance;
  NotificationPrefs notifications;
  AccessibilityPrefs accessibility;

  bool operator==(const SettingsPrefs&) const = default;

  // Reads the document at the settings path. No path, no file, or a file that
  // cannot be read gives the defaults; never fails.
  static SettingsPrefs load();

  // Merges this record into the document at the settings path and writes it
  // atomically in the pretty form; answers the path written. Fails with
  // "no config dir" without a settings path, and with the reason when the
  // existing file cannot be read or the write fails; the file is then left as
  // it was. A document that does not read is kept aside first.
  kalu_ui::Result<std::filesystem::path> save() const;

  // Parses document text. Text that is not a JSON object gives the defaults;
  // each section that is missing or cannot be read takes its default alone.
  // The legacy natural-scroll keys are interpreted and the input sources
  // normalised (see normalise_input_sources).
  static SettingsPrefs from_document(std::string_view text);

  // The document text after merging `prefs` into `current` (possibly empty or
  // not JSON, then a fresh object): "version" 1 and the eight sections are set
  // in place or appended, "appearance" is merged key by key, every other key
  // keeps its value and position.
  static std::string write_into_document(std::string_view current, const SettingsPrefs& prefs);

  // A copy of the member `key` when `document` is an object that has it.
  static std::optional<nlohmann::ordered_json> section_value(const nlohmann::ordered_json& document,
                                                             std::string_view key);
};

// Repairs the keyboard sources of an input section in place through the
// settings store's rules (prefs_store::RichInputConfig::normalise_sources);
// only `keyboard_layout` and `keyboard_layouts` change.
void normalise_input_sources(InputPrefs& input);

// The "text_assistance" section of the settings document: two switches read
// one by one; a missing key or one that is not a boolean is "not set".
struct TextAssistance {
  static constexpr std::string_view kSection = "text_assistance";
  static constexpr std::string_view kCheckSpelling = "check_spelling";
  static constexpr std::string_view kAutoCorrect = "auto_correct";

  std::optional<bool> check_spelling;
  std::optional<bool> auto_correct;

  bool operator==(const TextAssistance&) const = default;

  // Reads the section from the settings document; anything unreadable leaves
  // both switches unset.
  static TextAssistance load();
  // Reads the switches from the section's object.
  static TextAssistance from_section(const nlohmann::ordered_json& section);
  // Stores one switch (`key` is kCheckSpelling or kAutoCorrect), keeping the
  // other and every other key of the document.
  static kalu_ui::Status save(std::string_view key, bool value);
};

// The raw text of each top-level member of a document, by key.
using DocumentMembers = std::map<std::string, std::string_view, std::less<>>;

// The raw text of each top-level member when `text` is one valid JSON
// object (a repeated key: its last value) nesting no deeper than the settings
// store's limit; nothing otherwise. Records are read
// from these texts so that the strict reader sees them as stored.
std::optional<DocumentMembers> top_level_members(std::string_view text);

// For a writer that changes one section in place and must not replace what
// it cannot read: the members of the settings document's text, or why the
// document cannot be edited safely (not UTF-8 text, not one JSON object). No
// text, or only white space, is an empty document.
kalu_ui::Result<DocumentMembers> editable_members(std::optional<std::string_view> text);

// The "input" section as SettingsPrefs::from_document reads it from the
// document's members (legacy keys applied, sources normalised; the default
// section when there is none), or, when the member exists but does not read
// as an input section, why; such a section must not be replaced.
kalu_ui::Result<InputPrefs> read_input_section(const DocumentMembers& members);

// The raw text of the member `key` when `text` is one valid JSON object that
// has it.
std::optional<std::string_view> member_text(std::string_view text, std::string_view key);

// Shared by the document's writers: at the settings path ("no config dir"
// without one), reads the current text (empty when there is no file, or when
// it does not read: it is kept aside; a file that cannot be read fails), and
// atomically writes what `edit` makes of it; answers the path written.
kalu_ui::Result<std::filesystem::path> rewrite_settings_document(
    const std::function<std::string(std::string_view current)>& edit);

// The settings document's text as the document cache holds it.
using SettingsText = std::shared_ptr<const std::string>;

// The settings document read for loading (at `path`, else at the settings
// store's path): its text, or null when there is no path, no file, or a file
// that cannot be read or does not read (a warning says so).
SettingsText read_settings_text(std::optional<std::filesystem::path> path = {});

// The settings document as a writer that changes one section sees it before
// its save: the text, or null when there is none (no path, no file) or it
// does not read (the save keeps it aside and starts a fresh document); an
// error ("settings document could not be read: ...") when the file cannot be
// read at all.
kalu_ui::Result<SettingsText> settings_text_for_edit();

}  // namespace settings::stored
