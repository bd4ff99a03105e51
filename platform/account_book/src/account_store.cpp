#include "account_book/account_store.h"

#include <fmt/format.h>

#include <algorithm>

#include "json_record.h"

namespace account_book {

namespace fs = std::filesystem;
using kalu_ui::fail;
using kalu_ui::Result;
using kalu_ui::Status;

namespace {

constexpr std::string_view kStoreFile = "accounts.json";

constexpr std::string_view kAccountFields[] = {"id",      "type_id", "display_name", "config",
                                               "enabled", "tint",    "owner"};
constexpr std::string_view kStoreFields[] = {"accounts", "active"};

Result<AccountTypeId> read_type_id(const Json& value) {
  auto text = detail::read_text(value);
  if (!text) return fail(text.error());
  return AccountTypeId::from(*text);
}

Result<Json> read_any(const Json& value) { return value; }

Result<std::vector<Account>> read_accounts(const Json& value) {
  if (!value.is_array()) {
    return fail("invalid type: {}, expected a sequence", detail::describe_found(value));
  }
  std::vector<Account> accounts;
  accounts.reserve(value.size());
  for (const auto& item : value) {
    auto account = Account::from_json(item);
    if (!account) return fail(account.error());
    accounts.push_back(std::move(*account));
  }
  return accounts;
}

Result<std::map<std::string, std::string, std::less<>>> read_active(const Json& value) {
  if (!value.is_object()) {
    return fail("invalid type: {}, expected a map", detail::describe_found(value));
  }
  std::map<std::string, std::string, std::less<>> active;
  for (const auto& [type, id] : value.items()) {
    auto text = detail::read_text(id);
    if (!text) return fail(text.error());
    active[type] = std::move(*text);
  }
  return active;
}

}  // namespace

bool operator==(const Account& a, const Account& b) {
  return a.id == b.id && a.type_id == b.type_id && a.display_name == b.display_name &&
         a.config == b.config && a.enabled == b.enabled && a.tint == b.tint && a.owner == b.owner;
}

Result<Account> Account::from_json(const Json& value) {
  auto fields = detail::RecordFields::open(value, "Account", kAccountFields);
  if (!fields) return fail(fields.error());
  Account a;
  auto status = detail::first_error({
      fields->required(0, a.id, detail::read_text),
      fields->required(1, a.type_id, read_type_id),
      fields->optional(2, a.display_name, detail::read_text),
      fields->optional(3, a.config, read_any),
      fields->optional(4, a.enabled, detail::read_bool),
      fields->optional(5, a.tint, detail::read_u8),
      fields->nullable(6, a.owner, detail::read_text),
  });
  if (!status) return fail(status.error());
  return a;
}

Json Account::to_json() const {
  Json out = Json::object();
  out["id"] = id;
  out["type_id"] = type_id.as_str();
  out["display_name"] = display_name;
  out["config"] = config;
  out["enabled"] = enabled;
  out["tint"] = tint;
  if (owner) out["owner"] = *owner;
  return out;
}

Result<AccountStore> AccountStore::from_json(const Json& value) {
  auto fields = detail::RecordFields::open(value, "AccountStore", kStoreFields);
  if (!fields) return fail(fields.error());
  AccountStore store;
  auto status = detail::first_error({
      fields->optional(0, store.accounts, read_accounts),
      fields->optional(1, store.active, read_active),
  });
  if (!status) return fail(status.error());
  return store;
}

Json AccountStore::to_json() const {
  Json list = Json::array();
  for (const auto& account : accounts) list.push_back(account.to_json());
  Json by_type = Json::object();
  for (const auto& [type, id] : active) by_type[type] = id;  // the map is already sorted
  Json out = Json::object();
  out["accounts"] = std::move(list);
  out["active"] = std::move(by_type);
  return out;
}

Result<AccountStore> AccountStore::load_in(const fs::path& root) {
  return detail::load_store_file<AccountStore>(root, kStoreFile);
}

Status AccountStore::save_in(const fs::path& root) const {
  return detail::save_json_file(root, kStoreFile, to_json());
}

const Account* AccountStore::get(std::string_view id) const {
  auto found = std::ranges::find(accounts, id, &Account::id);
  return found == accounts.end() ? nullptr : &*found;
}

void AccountStore::upsert(Account account) {
  auto found = std::ranges::find(accounts, account.id, &Account::id);
  if (found == accounts.end()) {
    accounts.push_back(std::move(account));
  } else {
    *found = std::move(account);
  }
}

bool AccountStore::remove(std::string_view id) {
  auto found = std::ranges::find(accounts, id, &Account::id);
  if (found == accounts.end()) return false;
  accounts.erase(found);
  std::erase_if(active, [&](const auto& entry) { return entry.second == id; });
  return true;
}

std::vector<const Account*> AccountStore::list(const AccountTypeId& type) const {
  std::vector<const Account*> out;
  for (const auto& account : accounts) {
    if (account.type_id == type) out.push_back(&account);
  }
  return out;
}

std::optional<std::string> AccountStore::active_id(const AccountTypeId& type) const {
  auto found = active.find(type.as_str());
  if (found == active.end()) return std::nullopt;
  return found->second;
}

void AccountStore::set_active(const AccountTypeId& type, std::string id) {
  active.insert_or_assign(type.as_str(), std::move(id));
}

}  // namespace account_book
