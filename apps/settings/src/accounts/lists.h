#pragma once

// The account lists the External Accounts page shows, one per kind, built
// from the account store; and the one-time import of the two legacy account
// lists ("files/accounts.json" and "nextcloud/accounts.json") into the store.
//
// The import runs when the lists are loaded, at most until it has completed
// once: completion is marked by the file "legacy-settings-import-v1" in the
// accounts directory (any kind of entry counts). The legacy files are only
// read, never changed. A failed save leaves no marker, so the next load tries
// again; accounts already in the store (by id, of any type) are never added
// twice.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "account_book/account_store.h"
#include "accounts/records.h"
#include "accounts/stores.h"

namespace settings::accounts {

// One mail account as the page lists it.
struct MailAccountRow {
  std::string id;
  AccountConfig config;
  bool expanded = false;  // the page's to keep; false when built
  std::uint8_t tint = 0;

  bool operator==(const MailAccountRow&) const = default;
};

struct AccountLists {
  std::vector<MailAccountRow> mail_accounts;  // store order
  std::size_t selected_mail = 0;              // the active mail account's row, else 0
  DavStore caldav_accounts;
  DavStore webdav_accounts;
  NextcloudStore nextcloud_accounts;
  // Why the stored account list could not be shown, for the page: it could
  // not be read, or it was damaged and kept aside (the copy is named).
  std::optional<std::string> store_notice;

  bool operator==(const AccountLists&) const = default;
};

// A mail account's row; none when its configuration is not an AccountConfig.
std::optional<MailAccountRow> mail_account_row(const account_book::Account& account);
// A CalDAV account's row: the configuration's "server_url" and "username"
// when they are text, else empty. Every account gives a row.
DavAccount caldav_account_row(const account_book::Account& account);
// A WebDAV or Nextcloud account's row: its configuration read whole, with the
// id, label, enabled flag and tint taken from the account; none when the
// configuration does not read.
std::optional<DavAccount> webdav_account_row(const account_book::Account& account);
std::optional<NextcloudAccount> nextcloud_account_row(const account_book::Account& account);

// The rows of every kind from `store`.
AccountLists build_account_lists(const account_book::AccountStore& store);

// A legacy list: empty when there is no path or the file is missing,
// unreadable, not UTF-8 or does not hold the list. Never reports.
DavStore read_legacy_dav_store(const std::optional<std::filesystem::path>& path);
NextcloudStore read_legacy_nextcloud_store(const std::optional<std::filesystem::path>& path);

// Adds each legacy account whose id the store does not hold yet, first the
// DAV list and then the Nextcloud list, in file order, as "webdav" and
// "nextcloud" accounts keeping the legacy record as configuration. Answers
// whether the store gained an account.
bool merge_legacy_accounts(account_book::AccountStore& store, const std::vector<DavAccount>& dav,
                           const std::vector<NextcloudAccount>& nextcloud);

// The loader of the External Accounts page: replays an interrupted account
// change, loads the store, runs the legacy import when it has not completed,
// and builds the lists. Never fails; problems are logged as warnings. A store
// file that reads but holds no account list is moved aside to
// "accounts.json.unreadable-<unix time>" (so the next save starts a fresh
// one and the old bytes stay), and the lists' store_notice says so.
AccountLists import_legacy_accounts(const RootOverride& root);

}  // namespace settings::accounts
