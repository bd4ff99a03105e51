#pragma once

// The account form's last step before the server check: the five typed
// values become an account record and the credential to check and save.
//
// Values are trimmed and validated in a fixed order, the first failure being
// the answer (a text for the form's status line, never holding the typed
// password). A new account gets its id here: a mail account the address in
// lower case, the others "<short name>-<random UUID>"; the second
// preparation, after the check succeeded, is given that id back so the saved
// account is the one that was checked. An edited account starts as a copy of
// the stored one and only the keys the form owns change in its
// configuration. Nothing is written: the stores and the vault are only read.
//
// A new mail account's servers come from the domain of its address: a table
// of known domains, else "imap." and "smtp." before the domain, with TLS on
// ports 993 and 465.

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "account_book/account_store.h"
#include "account_book/secret_vault.h"
#include "accounts/kinds.h"
#include "accounts/records.h"
#include "accounts/stores.h"
#include "kalu_ui/result.h"

namespace settings::panes::accounts {

using settings::accounts::AccountKind;
using settings::accounts::RootOverride;

// What the form holds when it is saved.
struct FormValues {
  std::string display_name;
  // Mail: the address; the other kinds: the user name.
  std::string identity;
  // Mail only: the login name (empty: the address).
  std::string username;
  // CalDAV, WebDAV and Nextcloud only.
  std::string server_url;
  kalu_ui::secret::SecretText password;
};

// A form that passed validation: the record to check and then save, with the
// credential to check it with, and what the pane needs to prepare it again.
struct PreparedDraft {
  account_book::Account account;
  kalu_ui::secret::SecretText credential;
  AccountKind kind = AccountKind::kMail;
  std::optional<std::string> editing_id;  // none while adding
  std::string id;
};

// Validates `values` for an account of `kind` (a new one when `editing_id`
// is none) and prepares the record. `reused_id` is the id a first
// preparation gave a new account; none the first time.
kalu_ui::Result<PreparedDraft> submit_account_form(const RootOverride& root, AccountKind kind,
                                                   const std::optional<std::string>& editing_id,
                                                   const std::optional<std::string>& reused_id,
                                                   const FormValues& values);

// One known mail domain and its provider's servers.
struct MailPreset {
  std::string_view domain;  // lower case
  std::string_view imap_host;
  std::string_view smtp_host;
};

// Eight domains of four providers (two, three, one and two domains), in the
// order they are compared. Reserved example names only.
const std::array<MailPreset, 8>& mail_presets();

// Fills a new mail account's configuration from its address: an empty
// display name becomes the part before the "@", an empty login name the
// address; both server hosts are always replaced, by the preset's when the
// domain (compared in lower case) is known, else by "imap." and "smtp."
// before the domain as typed. Answers whether a preset matched; an address
// without "@" changes nothing.
bool apply_mail_preset(settings::accounts::AccountConfig& config);

// Writes every member of `members` (an object) into the account's
// configuration, keeping the members it does not name; a configuration that
// is not an object is replaced by one first.
void merge_config(account_book::Account& account, const account_book::Json& members);

}  // namespace settings::panes::accounts
