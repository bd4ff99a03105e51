#pragma once

// The four kinds of external account that Settings manages, with the names
// each goes by: the type id under which the account store keeps it, the
// short name that forms new account ids, control ids and action names, and
// the title that heads its section and form.

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

#include "account_book/account_store.h"
#include "operations/mailbox.h"

namespace settings::accounts {

using operations::AccountKind;

// In page order: mail, CalDAV, WebDAV, Nextcloud (bytes 0 to 3).
inline constexpr std::array<AccountKind, 4> kAccountKinds = {
    AccountKind::kMail, AccountKind::kCalDav, AccountKind::kWebDav, AccountKind::kNextcloud};

// "email", "caldav", "webdav", "nextcloud".
std::string_view type_name(AccountKind kind);
account_book::AccountTypeId type_id(AccountKind kind);
// "mail", "caldav", "webdav", "nextcloud".
std::string_view short_name(AccountKind kind);
// "Email", "Calendar (CalDAV)", "Files (WebDAV)", "Nextcloud".
std::string_view title(AccountKind kind);

std::optional<AccountKind> kind_from_byte(std::uint8_t value);
std::optional<AccountKind> kind_from_type_id(std::string_view type_name);
std::optional<AccountKind> kind_from_short_name(std::string_view name);

}  // namespace settings::accounts
