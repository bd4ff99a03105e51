#pragma once

#include <compare>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "kalu_ui/result.h"

// The account list: one record per external account (mail, calendar, files
// ...), with a free JSON configuration whose shape the account's type
// decides, and the active account of each type.
//
// Stored as "accounts.json" in the accounts directory (paths.h), in the form
// below, two-space indented. A store that was never saved loads as an empty
// store; a file that exists but cannot be read or does not hold a store is an
// error, never silently an empty store, so a caller that saves after a failed
// load does so knowingly. A save replaces the one file atomically with
// owner-only permissions (0600).
//
// Reading follows the general record rules: a record is an object (keys in
// any order, unknown keys skipped, a key given twice refused) or an array of
// its fields in the order below (trailing optional fields may be left off);
// optional fields take the defaults given; null is only a value where said.
//
//   AccountStore  {"accounts": [Account...] = [], "active": {type id: account id} = {}}
//                 "active" is written in ascending key order.
//   Account       {"id": text, "type_id": text, "display_name": text = "",
//                  "config": any JSON = null, "enabled": bool = true,
//                  "tint": 0..255 = 0, "owner": text}
//                 "owner" is written only when there is one; absent or null
//                 reads as none.
namespace account_book {

using Json = nlohmann::ordered_json;

// The type of an account as the store names it ("email", "caldav",
// "webdav", "nextcloud", or whatever another application stores).
class AccountTypeId {
 public:
  AccountTypeId() = default;
  static AccountTypeId from(std::string_view text) { return AccountTypeId(std::string(text)); }

  const std::string& as_str() const { return text_; }

  bool operator==(const AccountTypeId&) const = default;
  auto operator<=>(const AccountTypeId&) const = default;

 private:
  explicit AccountTypeId(std::string text) : text_(std::move(text)) {}
  std::string text_;
};

struct Account {
  std::string id;
  AccountTypeId type_id;
  std::string display_name;
  Json config;  // null until the owning application writes one
  bool enabled = true;
  std::uint8_t tint = 0;
  std::optional<std::string> owner;

  friend bool operator==(const Account& a, const Account& b);

  static kalu_ui::Result<Account> from_json(const Json& value);
  Json to_json() const;
};

struct AccountStore {
  std::vector<Account> accounts;                           // store order: new accounts are appended
  std::map<std::string, std::string, std::less<>> active;  // type id -> account id

  bool operator==(const AccountStore&) const = default;

  // The store saved under `root`: empty when it was never saved; an error
  // when the file cannot be read or does not hold a store.
  static kalu_ui::Result<AccountStore> load_in(const std::filesystem::path& root);
  // Replaces the store's file under `root` (created with its directories).
  kalu_ui::Status save_in(const std::filesystem::path& root) const;

  // The account with this id, of any type; nullptr when there is none. The
  // pointer is valid until the store changes.
  const Account* get(std::string_view id) const;
  // Replaces the account with the same id where it stands, or appends it.
  void upsert(Account account);
  // Removes the account with this id and any "active" entry naming it;
  // answers whether an account went.
  bool remove(std::string_view id);
  // The accounts of one type, in store order; valid until the store changes.
  std::vector<const Account*> list(const AccountTypeId& type) const;
  // The active account id of a type, as stored (it may name an account that
  // is no longer listed).
  std::optional<std::string> active_id(const AccountTypeId& type) const;
  void set_active(const AccountTypeId& type, std::string id);

  static kalu_ui::Result<AccountStore> from_json(const Json& value);
  Json to_json() const;
};

}  // namespace account_book
