#include "prefs_store/shortcuts.h"

#include <nlohmann/json.hpp>

#include "prefs_store/document.h"
#include "prefs_store/paths.h"

namespace prefs_store {
namespace {

constexpr std::string_view kFileName = "shortcuts.json";
constexpr std::string_view kSection = "shortcuts";

struct ActionRow {
  std::string_view name;
  KeyChord chord;
};

constexpr std::uint8_t kSuper = KeyChord::kSuper;
constexpr std::uint8_t kSuperShift = KeyChord::kSuper | KeyChord::kShift;

// In action order; the header lists the same table for people.
constexpr std::array<ActionRow, kShortcutActionCount> kActions = {{
    {"open_search", {kSuper, ChordKey::Space}},
    {"workspace_overview", {kSuper, ChordKey::Tab}},
    {"lock_screen", {KeyChord::kCtrl | KeyChord::kAlt, ChordKey::L}},
    {"quick_settings", {kSuper, ChordKey::S}},
    {"desktop_help", {kSuperShift, ChordKey::Slash}},
    {"focus_previous_window", {kSuper, ChordKey::Left}},
    {"focus_next_window", {kSuper, ChordKey::Right}},
    {"previous_tab", {kSuper, ChordKey::BracketLeft}},
    {"next_tab", {kSuper, ChordKey::BracketRight}},
    {"previous_strip", {kSuper, ChordKey::Up}},
    {"next_strip", {kSuper, ChordKey::Down}},
    {"previous_workspace", {kSuper, ChordKey::PageUp}},
    {"next_workspace", {kSuper, ChordKey::PageDown}},
    {"move_group_to_previous_strip", {kSuperShift, ChordKey::Up}},
    {"move_group_to_next_strip", {kSuperShift, ChordKey::Down}},
    {"move_group_to_previous_workspace", {kSuperShift, ChordKey::PageUp}},
    {"move_group_to_next_workspace", {kSuperShift, ChordKey::PageDown}},
    {"move_group_left", {kSuperShift, ChordKey::Left}},
    {"move_group_right", {kSuperShift, ChordKey::Right}},
    {"resize_narrower", {kSuper, ChordKey::Minus}},
    {"resize_wider", {kSuper, ChordKey::Equal}},
}};

// The desktop guide opens with F1 alone wherever the focus is.
constexpr KeyChord kGuideKey{0, ChordKey::F1};

std::size_t index_of(ShortcutAction action) { return static_cast<std::size_t>(action); }

}  // namespace

std::string_view shortcut_action_name(ShortcutAction action) {
  return index_of(action) < kActions.size() ? kActions[index_of(action)].name : std::string_view();
}

ShortcutConfig::ShortcutConfig() {
  for (std::size_t i = 0; i < kActions.size(); ++i) chords_[i] = kActions[i].chord;
}

ShortcutConfig ShortcutConfig::load() {
  auto file = path();
  return file ? load_at(*file) : ShortcutConfig();
}

ShortcutConfig ShortcutConfig::load_at(const std::filesystem::path& file) {
  ShortcutConfig config;
  auto document = prefs_store::load_at(file);
  if (!document || !document->is_object()) return config;
  auto section = document->find(std::string(kSection));
  if (section == document->end() || !section->is_object()) return config;
  for (std::size_t i = 0; i < kActions.size(); ++i) {
    auto member = section->find(std::string(kActions[i].name));
    if (member == section->end()) continue;
    if (member->is_null()) {
      config.chords_[i].reset();
    } else if (member->is_string()) {
      if (auto chord = KeyChord::parse(member->get_ref<const std::string&>())) {
        config.chords_[i] = *chord;
      }
    }
  }
  return config;
}

std::optional<std::filesystem::path> ShortcutConfig::path() { return config_path(kFileName); }

std::optional<KeyChord> ShortcutConfig::chord(ShortcutAction action) const {
  return index_of(action) < chords_.size() ? chords_[index_of(action)] : std::nullopt;
}

std::optional<ShortcutAction> ShortcutConfig::action_with(const KeyChord& chord) const {
  for (std::size_t i = 0; i < chords_.size(); ++i) {
    if (chords_[i] == chord) return static_cast<ShortcutAction>(i);
  }
  return std::nullopt;
}

SetChordResult ShortcutConfig::set(ShortcutAction action, const KeyChord& chord) {
  if (index_of(action) >= chords_.size()) return SetChordResult::UnknownAction;
  if (chord == kGuideKey) return SetChordResult::Reserved;
  for (std::size_t i = 0; i < chords_.size(); ++i) {
    if (i != index_of(action) && chords_[i] == chord) return SetChordResult::InUse;
  }
  chords_[index_of(action)] = chord;
  return SetChordResult::Success;
}

kalu_ui::Status ShortcutConfig::save() const {
  auto file = path();
  if (!file) return kalu_ui::fail("no config dir");
  return save_at(*file);
}

kalu_ui::Status ShortcutConfig::save_at(const std::filesystem::path& file) const {
  Json members = Json::object();
  for (std::size_t i = 0; i < kActions.size(); ++i) {
    members[std::string(kActions[i].name)] =
        chords_[i] ? Json(chords_[i]->display()) : Json(nullptr);
  }
  return update_section_at(file, kSection, members);
}

}  // namespace prefs_store
