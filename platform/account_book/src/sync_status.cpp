#include "account_book/sync_status.h"

#include <fmt/format.h>

#include <array>

#include "json_record.h"

namespace account_book {

namespace fs = std::filesystem;
using kalu_ui::fail;
using kalu_ui::Result;
using kalu_ui::Status;

namespace {

constexpr std::string_view kStatusFile = "sync-status.json";

constexpr std::array<std::string_view, 6> kHealthNames = {
    "never", "syncing", "healthy", "offline", "needs_authentication", "error"};

constexpr std::string_view kStatusFields[] = {"health", "last_attempt_unix", "last_success_unix",
                                              "message"};
constexpr std::string_view kStoreFields[] = {"statuses"};

std::string unknown_health(std::string_view name) {
  std::string list;
  for (auto known : kHealthNames) {
    if (!list.empty()) list += ", ";
    list += fmt::format("`{}`", known);
  }
  return fmt::format("unknown variant `{}`, expected one of {}", name, list);
}

// A unit variant is its name, or an object whose only member is the name
// with a null value.
Result<AccountSyncHealth> read_health(const Json& value) {
  std::string text;
  if (value.is_string()) {
    text = value.get<std::string>();
  } else if (value.is_object() && value.size() == 1 && value.begin().value().is_null()) {
    text = value.begin().key();
  } else {
    return fail("invalid type: {}, expected variant identifier", detail::describe_found(value));
  }
  for (std::size_t i = 0; i < kHealthNames.size(); ++i) {
    if (kHealthNames[i] == text) return static_cast<AccountSyncHealth>(i);
  }
  return fail(unknown_health(text));
}

Result<std::map<std::string, AccountSyncStatus, std::less<>>> read_statuses(const Json& value) {
  if (!value.is_object()) {
    return fail("invalid type: {}, expected a map", detail::describe_found(value));
  }
  std::map<std::string, AccountSyncStatus, std::less<>> statuses;
  for (const auto& [id, item] : value.items()) {
    auto status = AccountSyncStatus::from_json(item);
    if (!status) return fail(status.error());
    statuses[id] = std::move(*status);
  }
  return statuses;
}

Json optional_json(const auto& value) { return value ? Json(*value) : Json(nullptr); }

}  // namespace

std::string_view health_name(AccountSyncHealth health) {
  return kHealthNames[static_cast<std::size_t>(health)];
}

Result<AccountSyncStatus> AccountSyncStatus::from_json(const Json& value) {
  auto fields = detail::RecordFields::open(value, "AccountSyncStatus", kStatusFields);
  if (!fields) return fail(fields.error());
  AccountSyncStatus s;
  auto status = detail::first_error({
      fields->required(0, s.health, read_health),
      fields->nullable(1, s.last_attempt_unix, detail::read_i64),
      fields->nullable(2, s.last_success_unix, detail::read_i64),
      fields->nullable(3, s.message, detail::read_text),
  });
  if (!status) return fail(status.error());
  return s;
}

Json AccountSyncStatus::to_json() const {
  Json out = Json::object();
  out["health"] = health_name(health);
  out["last_attempt_unix"] = optional_json(last_attempt_unix);
  out["last_success_unix"] = optional_json(last_success_unix);
  out["message"] = optional_json(message);
  return out;
}

Result<AccountSyncStatusStore> AccountSyncStatusStore::from_json(const Json& value) {
  auto fields = detail::RecordFields::open(value, "AccountSyncStatusStore", kStoreFields);
  if (!fields) return fail(fields.error());
  AccountSyncStatusStore store;
  auto status = fields->optional(0, store.statuses, read_statuses);
  if (!status) return fail(status.error());
  return store;
}

Json AccountSyncStatusStore::to_json() const {
  Json by_id = Json::object();
  for (const auto& [id, status] : statuses) by_id[id] = status.to_json();  // sorted by id
  Json out = Json::object();
  out["statuses"] = std::move(by_id);
  return out;
}

Result<AccountSyncStatusStore> AccountSyncStatusStore::load_in(const fs::path& root) {
  return detail::load_store_file<AccountSyncStatusStore>(root, kStatusFile);
}

Status AccountSyncStatusStore::save_in(const fs::path& root) const {
  return detail::save_json_file(root, kStatusFile, to_json());
}

const AccountSyncStatus* AccountSyncStatusStore::get(std::string_view id) const {
  auto found = statuses.find(id);
  return found == statuses.end() ? nullptr : &found->second;
}

void AccountSyncStatusStore::set(std::string id, AccountSyncStatus status) {
  statuses.insert_or_assign(std::move(id), std::move(status));
}

bool AccountSyncStatusStore::remove(std::string_view id) {
  auto found = statuses.find(id);
  if (found == statuses.end()) return false;
  statuses.erase(found);
  return true;
}

}  // namespace account_book
