#pragma once

// What the set-setting store's files share (setting_store.cpp: the look,
// Accessibility, Region, text assistance and shortcuts;
// setting_store_lists.cpp: Notifications and the default applications).

#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

#include "actions/setting_store.h"
#include "prefs_store/document.h"
#include "stored/sections.h"

namespace settings::actions::store_detail {

// "settings target is stale, unknown, or has an invalid value: <key>".
kalu_ui::Result<StoredSetting> refuse(std::string_view key);
const std::string* text_of(const operations::SettingValue& value);
std::optional<bool> bool_of(const operations::SettingValue& value);

// A section of the settings document as stored now: what it reads as (its
// defaults when it is missing or does not read as one, as the settings
// document loads it), and its members as they stand.
template <typename Section>
struct StoredSection {
  Section value;
  nlohmann::ordered_json members;
};

// An error when the document cannot be read, so that nothing replaces it.
template <typename Section>
kalu_ui::Result<StoredSection<Section>> load_section(std::string_view name) {
  auto section = prefs_store::load_section(name);
  if (!section) return kalu_ui::fail(section.error());
  StoredSection<Section> stored{Section{}, std::move(*section)};
  if (!stored.members.empty()) {
    if (auto read = stored::read_section<Section>(stored.members)) stored.value = std::move(*read);
  }
  return stored;
}

// Whether the stored members hold every member of `section` as it is: then
// a save would write nothing new. A value the document only reads as (a
// default, for a section missing or a document that does not read) is not
// held, so setting it writes it.
inline bool holds(const nlohmann::ordered_json& members, const nlohmann::ordered_json& section) {
  for (const auto& [key, value] : section.items()) {
    const auto found = members.find(key);
    if (found == members.end() || *found != value) return false;
  }
  return true;
}

// Merges the section into the settings document; every other key stays.
template <typename Section>
kalu_ui::Status save_section(std::string_view name, const Section& section) {
  return prefs_store::update_section(name, stored::write_section(section));
}

kalu_ui::Result<StoredSetting> store_notifications(std::string_view key,
                                                   const operations::SettingValue& value);
kalu_ui::Result<StoredSetting> store_default_app(std::string_view key,
                                                 const operations::SettingValue& value);

}  // namespace settings::actions::store_detail
