#include "prefs_store/roaming_provenance.h"

#include <fmt/format.h>

#include <nlohmann/json.hpp>

#include "prefs_store/document.h"
#include "prefs_store/paths.h"

namespace prefs_store {
namespace {

using kalu_ui::fail;
using kalu_ui::Result;

constexpr std::size_t kMaxFileBytes = 1 << 20;

// `where` names the value in messages: "settings[2].revision".
Result<std::string> text_member(const Json& object, const char* key, const std::string& where) {
  auto found = object.find(key);
  if (found == object.end()) return fail("{} lacks \"{}\"", where, key);
  if (!found->is_string()) return fail("{}.{} must be a text", where, key);
  return found->get<std::string>();
}

Result<ProvenanceEntry> read_entry(const Json& object, const std::string& where) {
  ProvenanceEntry entry;
  auto source = text_member(object, "source", where);
  if (!source) return fail(source.error());
  entry.source = std::move(*source);
  auto revision = object.find("revision");
  if (revision == object.end()) return fail("{} lacks \"revision\"", where);
  if (!revision->is_number_unsigned()) {
    return fail("{}.revision must be an unsigned 64-bit number", where);
  }
  entry.revision = revision->get<std::uint64_t>();
  if (auto conflicts = object.find("conflicting_sources"); conflicts != object.end()) {
    if (!conflicts->is_array()) {
      return fail("{}.conflicting_sources must be a list of texts", where);
    }
    for (const Json& source_name : *conflicts) {
      if (!source_name.is_string()) {
        return fail("{}.conflicting_sources must be a list of texts", where);
      }
      entry.conflicting_sources.push_back(source_name.get<std::string>());
    }
  }
  return entry;
}

// The objects of the list `key`; `read` turns each into a record.
template <typename T, typename Read>
Result<std::vector<T>> read_list(const Json& document, const char* key, Read read) {
  std::vector<T> out;
  auto list = document.find(key);
  if (list == document.end()) return out;
  if (!list->is_array()) return fail("\"{}\" must be a list", key);
  for (std::size_t i = 0; i < list->size(); ++i) {
    const std::string where = fmt::format("{}[{}]", key, i);
    if (!(*list)[i].is_object()) return fail("{} must be an object", where);
    auto item = read((*list)[i], where);
    if (!item) return fail(item.error());
    out.push_back(std::move(*item));
  }
  return out;
}

Result<RoamingSetting> read_setting(const Json& object, const std::string& where) {
  auto name = text_member(object, "name", where);
  if (!name) return fail(name.error());
  auto entry = read_entry(object, where);
  if (!entry) return fail(entry.error());
  return RoamingSetting{std::move(*name), std::move(*entry)};
}

Result<RoamingWifiProfile> read_profile(const Json& object, const std::string& where) {
  auto network = text_member(object, "network", where);
  if (!network) return fail(network.error());
  auto security = text_member(object, "security", where);
  if (!security) return fail(security.error());
  auto entry = read_entry(object, where);
  if (!entry) return fail(entry.error());
  return RoamingWifiProfile{std::move(*network), std::move(*security), std::move(*entry)};
}

}  // namespace

Result<RoamingProvenance> RoamingProvenance::from_json_text(std::string_view text) {
  auto document = parse(text);
  if (!document) return fail(document.error());
  if (!document->is_object()) return fail("roaming provenance must be a JSON object");
  auto settings = read_list<RoamingSetting>(*document, "settings", read_setting);
  if (!settings) return fail(settings.error());
  auto profiles = read_list<RoamingWifiProfile>(*document, "wifi_profiles", read_profile);
  if (!profiles) return fail(profiles.error());
  return RoamingProvenance{std::move(*settings), std::move(*profiles)};
}

Result<RoamingProvenance> RoamingProvenance::load_at(const std::filesystem::path& path) {
  auto text = read_text(path, kMaxFileBytes);
  if (!text) return fail(text.error());
  if (!*text) return fail("{} does not exist", path.string());
  auto provenance = from_json_text(**text);
  if (!provenance) return fail("{}: {}", path.string(), provenance.error());
  return provenance;
}

namespace roaming_provenance {

std::optional<std::filesystem::path> path() { return config_path("roaming/provenance.json"); }

}  // namespace roaming_provenance
}  // namespace prefs_store
