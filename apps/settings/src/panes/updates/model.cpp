#include "panes/updates/model.h"

#include <fmt/format.h>

#include <array>
#include <nlohmann/json.hpp>

#include "lib/journal.h"
#include "limited_exec/text.h"

namespace settings::panes::updates {

namespace {

using Json = nlohmann::ordered_json;
using limited_exec::append_utf8;
using limited_exec::take_char;
using limited_exec::trim_white_space;

constexpr std::size_t kErrorMessageChars = 512;
constexpr std::size_t kReleaseNotesUrlBytes = 512;

bool is_control(char32_t cp) { return cp <= 0x1F || (cp >= 0x7F && cp <= 0x9F); }

// At most `limit` characters of `bytes` (lossily decoded) that `keep` accepts.
template <typename Keep>
std::string kept_chars(std::string_view bytes, std::size_t limit, Keep keep) {
  std::string out;
  for (std::size_t kept = 0; kept < limit && !bytes.empty();) {
    char32_t cp = take_char(bytes);
    if (!keep(cp)) continue;
    append_utf8(out, cp);
    ++kept;
  }
  return out;
}

bool is_utf8(std::string_view text) { return limited_exec::decode_lossy(text) == text; }

// Calls `line` for each piece of `text` between line feeds.
template <typename Line>
void for_each_line(std::string_view text, Line line) {
  while (true) {
    std::size_t feed = text.find('\n');
    line(text.substr(0, feed));
    if (feed == std::string_view::npos) return;
    text.remove_prefix(feed + 1);
  }
}

std::optional<Json> parse_document(std::string_view text) {
  Json doc = Json::parse(text, nullptr, /*allow_exceptions=*/false);
  if (doc.is_discarded()) return std::nullopt;
  return doc;
}

// The member `key` of `value` when `value` is an object that has it.
const Json* member(const Json* value, const char* key) {
  if (value == nullptr || !value->is_object()) return nullptr;
  auto it = value->find(key);
  return it == value->end() ? nullptr : &*it;
}

// The text at the end of `path` below `value`, when every step is there and
// the last one is a text.
std::optional<std::string> text_at(const Json* value, std::initializer_list<const char*> path) {
  for (const char* key : path) value = member(value, key);
  if (value == nullptr || !value->is_string()) return std::nullopt;
  return value->get<std::string>();
}

// "status" -> `which` of a status document, unless missing or null.
const Json* deployment(const Json& doc, const char* which) {
  const Json* found = member(member(&doc, "status"), which);
  return found == nullptr || found->is_null() ? nullptr : found;
}

bool is_release_notes_address(const Json& value) {
  if (!value.is_string()) return false;
  const auto& text = value.get_ref<const std::string&>();
  std::size_t scheme_end = text.find("://");
  return scheme_end != std::string::npos && text.compare(0, scheme_end, "https") == 0 &&
         text.size() <= kReleaseNotesUrlBytes;
}

}  // namespace

std::string decode_command_output(std::string_view bytes) {
  std::string kept = kept_chars(bytes, kErrorMessageChars, [](char32_t cp) {
    return cp == U'\t' || cp == U'\n' || !is_control(cp);
  });
  return std::string(trim_white_space(kept));
}

std::string sanitize_journal_line(std::string_view line) {
  return kept_chars(line, lib::kJournalLineChars, [](char32_t cp) { return !is_control(cp); });
}

std::vector<std::string> journal_lines(std::string_view listing) {
  std::vector<std::string> lines;
  lib::TextLines walk(listing);
  while (auto line = walk.next()) {
    std::string shown = sanitize_journal_line(*line);
    std::string_view trimmed = trim_white_space(shown);
    if (trimmed.empty() || trimmed == "-- No entries --") continue;
    lines.push_back(std::move(shown));
  }
  return lines;
}

UpdatePolicy parse_update_policy(std::string_view text) {
  UpdatePolicy policy;
  if (!is_utf8(text)) return policy;
  for_each_line(text, [&](std::string_view line) {
    std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) return;
    policy.insert_or_assign(std::string(trim_white_space(line.substr(0, equals))),
                            std::string(trim_white_space(line.substr(equals + 1))));
  });
  return policy;
}

std::string schedule_label(const UpdatePolicy& policy) {
  auto it = policy.find("schedule");
  if (it != policy.end() && it->second == "daily") return std::string(kScheduleDaily);
  if (it != policy.end() && it->second == "weekly") return std::string(kScheduleWeekly);
  return std::string(kScheduleSystem);
}

MeteredDownloads metered_downloads(const UpdatePolicy& policy) {
  auto it = policy.find("metered");
  return it != policy.end() && it->second == "allow" ? MeteredDownloads::Allowed
                                                     : MeteredDownloads::NotAllowed;
}

std::optional<std::string_view> schedule_action(std::string_view label) {
  if (label == kScheduleSystem) return "schedule-system";
  if (label == kScheduleDaily) return "schedule-daily";
  if (label == kScheduleWeekly) return "schedule-weekly";
  return std::nullopt;
}

bool is_policy_action(std::string_view action) {
  static constexpr std::array<std::string_view, 5> kActions = {
      "schedule-system", "schedule-daily", "schedule-weekly", "metered-allow", "metered-avoid"};
  for (std::string_view allowed : kActions) {
    if (action == allowed) return true;
  }
  return false;
}

AutomaticUpdates timer_state(std::string_view is_enabled_output) {
  std::string state = decode_command_output(is_enabled_output);
  if (state == "enabled" || state == "enabled-runtime") return AutomaticUpdates::Enabled;
  if (state == "disabled") return AutomaticUpdates::Disabled;
  return AutomaticUpdates::Unknown;
}

std::string os_name_from_release(std::string_view os_release) {
  std::optional<std::string> name;
  if (is_utf8(os_release)) {
    for_each_line(os_release, [&](std::string_view line) {
      line = trim_white_space(line);
      constexpr std::string_view kKey = "PRETTY_NAME=";
      if (name || !line.starts_with(kKey)) return;
      std::string_view value = line.substr(kKey.size());
      for (char quote : {'"', '\''}) {
        while (!value.empty() && value.front() == quote) value.remove_prefix(1);
        while (!value.empty() && value.back() == quote) value.remove_suffix(1);
      }
      if (!value.empty()) name = std::string(value);
    });
  }
  return name.value_or(std::string(kDefaultOsName));
}

std::optional<std::string> staged_update_from_status(std::string_view document) {
  auto doc = parse_document(document);
  if (!doc) return std::nullopt;
  const Json* staged = deployment(*doc, "staged");
  if (staged == nullptr) return std::nullopt;
  if (auto version = text_at(staged, {"version"})) return version;
  if (auto image = text_at(staged, {"image", "image", "image"})) return image;
  return "Update staged for next boot";
}

std::optional<std::string> rollback_image_from_status(std::string_view document) {
  auto doc = parse_document(document);
  if (!doc) return std::nullopt;
  const Json* rollback = deployment(*doc, "rollback");
  if (rollback == nullptr) return std::nullopt;
  if (auto image = text_at(rollback, {"image", "image", "image"})) return image;
  if (auto version = text_at(rollback, {"image", "version"})) return version;
  return "the previous image";
}

std::optional<std::string> release_notes_url(std::string_view document) {
  auto doc = parse_document(document);
  if (!doc) return std::nullopt;
  static constexpr std::array<const char*, 5> kKeys = {
      "org.opencontainers.image.documentation", "org.opencontainers.image.url",
      "org.opencontainers.image.source", "documentation", "releaseNotes"};
  // Depth first with a stack of our own: a document nested a million levels
  // deep must not overflow the thread's stack. Children are pushed last
  // first, so they are visited in document order.
  std::vector<const Json*> pending = {&*doc};
  while (!pending.empty()) {
    const Json* value = pending.back();
    pending.pop_back();
    if (value->is_object()) {
      for (const char* key : kKeys) {
        const Json* candidate = member(value, key);
        if (candidate != nullptr && is_release_notes_address(*candidate)) {
          return candidate->get<std::string>();
        }
      }
      for (auto it = value->rbegin(); it != value->rend(); ++it) pending.push_back(&*it);
    } else if (value->is_array()) {
      for (auto it = value->rbegin(); it != value->rend(); ++it) pending.push_back(&*it);
    }
  }
  return std::nullopt;
}

std::string rollback_protection_text(bool confirmation_active,
                                     const std::optional<std::string>& rollback_image) {
  if (confirmation_active && rollback_image) {
    return fmt::format("Protected · fallback available: {}", *rollback_image);
  }
  if (confirmation_active) return "Boot confirmation active · no previous image retained yet";
  if (rollback_image) {
    return fmt::format("Fallback available ({}); automatic confirmation not reported",
                       *rollback_image);
  }
  return "Rollback protection state is not reported";
}

}  // namespace settings::panes::updates
