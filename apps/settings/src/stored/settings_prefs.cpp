#include "stored/settings_prefs.h"

#include <fmt/format.h>

#include <mutex>
#include <nlohmann/json.hpp>
#include <utility>

#include "codec/parser.h"
#include "kalu_ui/log.h"
#include "limited_exec/text.h"
#include "prefs_store/document.h"
#include "prefs_store/input_sources.h"
#include "prefs_store/paths.h"

namespace settings::stored {
namespace {

using Json = nlohmann::ordered_json;

constexpr std::string_view kModule = "settings::stored";

using Members = DocumentMembers;

// Reads one section; a missing member or one that does not read gives the
// section default, leaving the other sections alone.
template <typename Section>
Section section_or_default(const std::optional<Members>& members, std::string_view key) {
  if (!members) return Section{};
  auto found = members->find(key);
  if (found == members->end()) return Section{};
  auto section = read_section_text<Section>(found->second);
  return section ? std::move(*section) : Section{};
}

const Json* bool_member(const Json& object, const char* key) {
  auto found = object.find(key);
  return found != object.end() && found->is_boolean() ? &*found : nullptr;
}

// Files written before the per-device switches existed hold one
// "natural_scroll" switch for both devices; it fills in whichever per-device
// switch is not stored.
void apply_legacy_natural_scroll(const Json& stored, InputPrefs& input) {
  const Json* both = bool_member(stored, "natural_scroll");
  const Json* touchpad = bool_member(stored, "touchpad_natural_scroll");
  const Json* mouse = bool_member(stored, "mouse_natural_scroll");
  input.natural_scroll = both != nullptr && both->get<bool>();
  input.touchpad_natural_scroll = touchpad ? touchpad->get<bool>()
                                  : both   ? both->get<bool>()
                                           : true;
  input.mouse_natural_scroll = mouse ? mouse->get<bool>() : both ? both->get<bool>() : false;
}

InputPrefs read_input(const std::optional<Members>& members) {
  std::optional<Json> member;
  if (members) {
    if (auto found = members->find("input"); found != members->end()) {
      if (auto parsed = prefs_store::parse(found->second)) member = std::move(*parsed);
    }
  }
  InputPrefs input;
  // Only the object form is accepted for this section.
  if (member && member->is_object()) {
    if (auto read = read_section_text<InputPrefs>(members->find("input")->second)) {
      input = std::move(*read);
      apply_legacy_natural_scroll(*member, input);
    }
  }
  // A document that names no source list ("layouts" is the legacy key, only
  // tested for presence) lets the normaliser build the list from the active
  // source instead of the default "us".
  if (!member || !member->is_object() ||
      (!member->contains("keyboard_layouts") && !member->contains("layouts"))) {
    input.keyboard_layouts.clear();
  }
  normalise_input_sources(input);
  return input;
}

}  // namespace

kalu_ui::Result<Members> editable_members(std::optional<std::string_view> text) {
  if (!text || limited_exec::trim_white_space(*text).empty()) return Members{};
  if (limited_exec::decode_lossy(*text) != *text) {
    return kalu_ui::fail("the settings document is not UTF-8 text");
  }
  // Both readers must take it: the members are read here, and the section
  // writers of prefs_store parse the document again when they save.
  auto members = top_level_members(*text);
  auto parsed = prefs_store::parse(*text);
  if (!members || !parsed || !parsed->is_object()) {
    return kalu_ui::fail("the settings document is not a JSON object");
  }
  return std::move(*members);
}

kalu_ui::Result<InputPrefs> read_input_section(const Members& members) {
  if (auto found = members.find("input"); found != members.end()) {
    auto parsed = prefs_store::parse(found->second);
    if (!parsed || !parsed->is_object()) {
      return kalu_ui::fail("the stored \"input\" section is not an object");
    }
    if (auto read = read_section_text<InputPrefs>(found->second); !read) {
      return kalu_ui::fail(
          fmt::format("the stored \"input\" section does not read: {}", read.error()));
    }
  }
  return read_input(members);
}

std::optional<Members> top_level_members(std::string_view text) {
  // A document nested past the store's limit is unreadable as a whole, as it
  // is for the store's own readers and for every save.
  if (prefs_store::nests_too_deep(text)) return std::nullopt;
  codec::Parser p(text);
  if (p.peek_ws() != '{' || !p.enter()) return std::nullopt;
  p.eat();
  Members members;
  std::string scratch;
  bool first = true;
  for (;;) {
    auto more = p.next_key(first);
    if (!more) return std::nullopt;
    if (!*more) break;
    p.eat();
    auto key = p.parse_string(scratch);
    if (!key) return std::nullopt;
    std::string name(*key);
    if (!p.expect_colon()) return std::nullopt;
    p.peek_ws();
    const std::size_t start = p.index();
    if (!p.skip_value()) return std::nullopt;
    members[std::move(name)] = text.substr(start, p.index() - start);
  }
  p.leave();
  if (!p.end_map() || !p.end_of_input()) return std::nullopt;
  return members;
}

std::optional<std::string_view> member_text(std::string_view text, std::string_view key) {
  auto members = top_level_members(text);
  if (!members) return std::nullopt;
  auto found = members->find(key);
  if (found == members->end()) return std::nullopt;
  return found->second;
}

kalu_ui::Result<std::filesystem::path> rewrite_settings_document(
    const std::function<std::string(std::string_view current)>& edit) {
  auto path = prefs_store::settings_path();
  if (!path) return kalu_ui::fail("no config dir");
  if (auto written = prefs_store::rewrite_document_at(*path, edit); !written) {
    return kalu_ui::fail(written.error());
  }
  return *path;
}

namespace {

// Says that the document could not be read, once for each new reason, so a
// file that stays unreadable does not repeat it on every request.
void warn_unreadable(const std::string& error) {
  static std::mutex mutex;
  static std::string last;
  {
    std::lock_guard lock(mutex);
    if (std::exchange(last, error) == error) return;
  }
  kalu_ui::log::warn("kalu::settings", kModule, "settings document could not be read",
                     {{"op", "settings_load"}, {"error", error}});
}

}  // namespace

SettingsText read_settings_text(std::optional<std::filesystem::path> path) {
  if (!path) path = prefs_store::settings_path();
  if (!path) return nullptr;
  auto document = prefs_store::read_document(*path);
  if (!document) {
    warn_unreadable(document.error());
    return nullptr;
  }
  // A text that does not read was reported by the store when it was read.
  return document->unreadable ? nullptr : std::move(document->text);
}

kalu_ui::Result<SettingsText> settings_text_for_edit() {
  auto document = prefs_store::read_settings_document();
  if (!document) {
    if (!prefs_store::settings_path()) return SettingsText();  // the save says why
    return kalu_ui::fail(document.error());
  }
  return document->unreadable ? nullptr : std::move(document->text);
}

SettingsPrefs SettingsPrefs::load() {
  // Parsed once for each text the document cache answers: the resource tree
  // loads the preferences for every request.
  static std::mutex mutex;
  static SettingsText parsed_text;
  static SettingsPrefs parsed;
  SettingsText text = read_settings_text();
  {
    std::lock_guard lock(mutex);
    if (text && text == parsed_text) return parsed;
  }
  SettingsPrefs prefs = text ? from_document(*text) : SettingsPrefs{};
  if (text) {
    std::lock_guard lock(mutex);
    parsed_text = std::move(text);
    parsed = prefs;
  }
  return prefs;
}

SettingsPrefs SettingsPrefs::from_document(std::string_view text) {
  const auto members = top_level_members(text);
  SettingsPrefs prefs;
  prefs.audio = section_or_default<AudioPrefs>(members, "audio");
  prefs.display = section_or_default<DisplayPrefs>(members, "display");
  prefs.input = read_input(members);
  prefs.power = section_or_default<PowerPrefs>(members, "power");
  prefs.updates = section_or_default<UpdatePrefs>(members, "updates");
  prefs.appearance = section_or_default<AppearancePrefs>(members, "appearance");
  prefs.notifications = section_or_default<NotificationPrefs>(members, "notifications");
  prefs.accessibility = section_or_default<AccessibilityPrefs>(members, "accessibility");
  return prefs;
}

std::string SettingsPrefs::write_into_document(std::string_view current,
                                               const SettingsPrefs& prefs) {
  Json document = Json::object();
  if (auto parsed = prefs_store::parse(current); parsed && parsed->is_object()) {
    document = std::move(*parsed);
  }
  document["version"] = 1;
  document["audio"] = write_section(prefs.audio);
  document["display"] = write_section(prefs.display);
  document["input"] = write_section(prefs.input);
  document["power"] = write_section(prefs.power);
  document["updates"] = write_section(prefs.updates);
  // Other programs keep keys of their own inside "appearance".
  prefs_store::merge_section(document, "appearance", write_section(prefs.appearance));
  document["notifications"] = write_section(prefs.notifications);
  document["accessibility"] = write_section(prefs.accessibility);
  return prefs_store::pretty(document);
}

kalu_ui::Result<std::filesystem::path> SettingsPrefs::save() const {
  return rewrite_settings_document(
      [this](std::string_view current) { return write_into_document(current, *this); });
}

std::optional<Json> SettingsPrefs::section_value(const Json& document, std::string_view key) {
  if (!document.is_object()) return std::nullopt;
  auto found = document.find(std::string(key));
  if (found == document.end()) return std::nullopt;
  return *found;
}

void normalise_input_sources(InputPrefs& input) {
  // The store's rule reads and writes only the two source fields, so only
  // they travel; the rest of its record stays at its defaults, unread.
  prefs_store::RichInputConfig config;
  config.keyboard_layout = std::move(input.keyboard_layout);
  config.keyboard_layouts = std::move(input.keyboard_layouts);
  config.normalise_sources();
  input.keyboard_layout = std::move(config.keyboard_layout);
  input.keyboard_layouts = std::move(config.keyboard_layouts);
}

TextAssistance TextAssistance::from_section(const Json& section) {
  TextAssistance out;
  if (!section.is_object()) return out;
  if (const Json* value = bool_member(section, kCheckSpelling.data())) {
    out.check_spelling = value->get<bool>();
  }
  if (const Json* value = bool_member(section, kAutoCorrect.data())) {
    out.auto_correct = value->get<bool>();
  }
  return out;
}

TextAssistance TextAssistance::load() {
  auto section = prefs_store::load_section(kSection);
  return section ? from_section(*section) : TextAssistance{};
}

kalu_ui::Status TextAssistance::save(std::string_view key, bool value) {
  Json members = Json::object();
  members[std::string(key)] = value;
  return prefs_store::update_section(kSection, members);
}

}  // namespace settings::stored
