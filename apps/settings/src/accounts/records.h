#pragma once

// The account records Settings reads and writes itself, on the shared record
// codec (codec/codec.h):
//
// - the configuration an account keeps in the store's free "config" value:
//   `AccountConfig` for mail, `DavAccount` for WebDAV (and as the row form of
//   CalDAV), `NextcloudAccount` for Nextcloud;
// - the legacy account lists `DavStore` ("files/accounts.json") and
//   `NextcloudStore` ("nextcloud/accounts.json"), imported once;
// - `AccountMutationJournal`, the state of the three account stores before a
//   change, kept in "mutation-journal.json" while the change runs.
//
// Every record reads from an object (keys in any order, unknown keys skipped,
// a key given twice refused) or from an array of its fields in the order
// below. Each configuration record also carries a credential being edited,
// which is never written to or read from JSON and is wiped when dropped.
//
//   DavAccount        {"id", "label", "base_url", "username": text,
//                      "enabled": bool = true, "tint": u8 = 0}
//   NextcloudAccount  {"id", "label", "server_url", "username": text,
//                      "use_files", "use_calendar", "use_mail",
//                      "enabled": bool = true, "tint": u8 = 0}
//   AccountConfig     {"display_name", "email", "imap_host": text,
//                      "imap_port": u16, "imap_tls": bool, "smtp_host": text,
//                      "smtp_port": u16, "smtp_tls": bool, "username": text}
//                     every key required
//   DavStore / NextcloudStore  {"version": u32 = 1, "accounts": [...]}
//   AccountMutationJournal  {"previous_store": AccountStore,
//                            "previous_statuses": AccountSyncStatusStore,
//                            "previous_vault_ciphertext": [u8...] or null}
//                           compact; the vault bytes are the vault file's,
//                           copied unread; absent reads as null

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "account_book/account_store.h"
#include "account_book/secret_vault.h"
#include "account_book/sync_status.h"
#include "codec/codec.h"
#include "codec/tree.h"

namespace settings::accounts {

struct DavAccount {
  std::string id;
  std::string label;
  std::string base_url;
  std::string username;
  bool enabled = true;
  std::uint8_t tint = 0;
  kalu_ui::secret::SecretText password;  // never stored

  bool operator==(const DavAccount&) const = default;
};

struct NextcloudAccount {
  std::string id;
  std::string label;
  std::string server_url;
  std::string username;
  bool use_files = true;
  bool use_calendar = true;
  bool use_mail = true;
  bool enabled = true;
  std::uint8_t tint = 0;
  kalu_ui::secret::SecretText password;  // never stored

  bool operator==(const NextcloudAccount&) const = default;
};

struct AccountConfig {
  std::string display_name;
  std::string email;
  std::string imap_host;
  std::uint16_t imap_port = 0;
  bool imap_tls = false;
  std::string smtp_host;
  std::uint16_t smtp_port = 0;
  bool smtp_tls = false;
  std::string username;
  kalu_ui::secret::SecretText password;  // never stored

  bool operator==(const AccountConfig&) const = default;
};

struct DavStore {
  std::uint32_t version = 1;
  std::vector<DavAccount> accounts;

  bool operator==(const DavStore&) const = default;
};

struct NextcloudStore {
  std::uint32_t version = 1;
  std::vector<NextcloudAccount> accounts;

  bool operator==(const NextcloudStore&) const = default;
};

struct AccountMutationJournal {
  account_book::AccountStore previous_store;
  account_book::AccountSyncStatusStore previous_statuses;
  std::optional<std::vector<std::uint8_t>> previous_vault_ciphertext;  // none: no vault file

  bool operator==(const AccountMutationJournal&) const = default;
};

constexpr auto describe(codec::Tag<DavAccount>) {
  using A = DavAccount;
  return codec::record(
      "DavAccount", codec::field("id", &A::id), codec::field("label", &A::label),
      codec::field("base_url", &A::base_url), codec::field("username", &A::username),
      codec::field_or_default("enabled", &A::enabled), codec::field_or_default("tint", &A::tint));
}

constexpr auto describe(codec::Tag<NextcloudAccount>) {
  using A = NextcloudAccount;
  return codec::record(
      "NextcloudAccount", codec::field("id", &A::id), codec::field("label", &A::label),
      codec::field("server_url", &A::server_url), codec::field("username", &A::username),
      codec::field_or_default("use_files", &A::use_files),
      codec::field_or_default("use_calendar", &A::use_calendar),
      codec::field_or_default("use_mail", &A::use_mail),
      codec::field_or_default("enabled", &A::enabled), codec::field_or_default("tint", &A::tint));
}

constexpr auto describe(codec::Tag<AccountConfig>) {
  using A = AccountConfig;
  return codec::record(
      "AccountConfig", codec::field("display_name", &A::display_name),
      codec::field("email", &A::email), codec::field("imap_host", &A::imap_host),
      codec::field("imap_port", &A::imap_port), codec::field("imap_tls", &A::imap_tls),
      codec::field("smtp_host", &A::smtp_host), codec::field("smtp_port", &A::smtp_port),
      codec::field("smtp_tls", &A::smtp_tls), codec::field("username", &A::username));
}

constexpr auto describe(codec::Tag<DavStore>) {
  return codec::record("DavStore", codec::field_or_default("version", &DavStore::version),
                       codec::field("accounts", &DavStore::accounts));
}

constexpr auto describe(codec::Tag<NextcloudStore>) {
  return codec::record("NextcloudStore",
                       codec::field_or_default("version", &NextcloudStore::version),
                       codec::field("accounts", &NextcloudStore::accounts));
}

constexpr auto describe(codec::Tag<AccountMutationJournal>) {
  using J = AccountMutationJournal;
  return codec::record("AccountMutationJournal", codec::field("previous_store", &J::previous_store),
                       codec::field("previous_statuses", &J::previous_statuses),
                       codec::field("previous_vault_ciphertext", &J::previous_vault_ciphertext));
}

// A record's value as a JSON tree (an account's "config"), and back. Reading
// fails with the codec's refusal when the tree does not hold the record.
template <typename T>
account_book::Json to_config(const T& record) {
  return codec::to_tree(record);
}

template <typename T>
kalu_ui::Result<T> from_config(const account_book::Json& config) {
  return codec::from_json<T>(
      config.dump(-1, ' ', false, account_book::Json::error_handler_t::replace));
}

}  // namespace settings::accounts

// The account library's records keep their own JSON form; the codec carries
// them inside the journal as they are.
namespace settings::codec {

constexpr auto describe(Tag<account_book::AccountStore>) {
  return via_tree<account_book::AccountStore>();
}

constexpr auto describe(Tag<account_book::AccountSyncStatusStore>) {
  return via_tree<account_book::AccountSyncStatusStore>();
}

}  // namespace settings::codec
