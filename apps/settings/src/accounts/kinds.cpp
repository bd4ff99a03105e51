#include "accounts/kinds.h"

namespace settings::accounts {
namespace {

struct KindNames {
  std::string_view type;
  std::string_view short_name;
  std::string_view title;
};

constexpr std::array<KindNames, 4> kNames = {{
    {"email", "mail", "Email"},
    {"caldav", "caldav", "Calendar (CalDAV)"},
    {"webdav", "webdav", "Files (WebDAV)"},
    {"nextcloud", "nextcloud", "Nextcloud"},
}};

const KindNames& names(AccountKind kind) { return kNames[static_cast<std::size_t>(kind)]; }

template <typename Member>
std::optional<AccountKind> find_kind(Member member, std::string_view value) {
  for (AccountKind kind : kAccountKinds) {
    if (names(kind).*member == value) return kind;
  }
  return std::nullopt;
}

}  // namespace

std::string_view type_name(AccountKind kind) { return names(kind).type; }

account_book::AccountTypeId type_id(AccountKind kind) {
  return account_book::AccountTypeId::from(names(kind).type);
}

std::string_view short_name(AccountKind kind) { return names(kind).short_name; }

std::string_view title(AccountKind kind) { return names(kind).title; }

std::optional<AccountKind> kind_from_byte(std::uint8_t value) {
  if (value >= kAccountKinds.size()) return std::nullopt;
  return kAccountKinds[value];
}

std::optional<AccountKind> kind_from_type_id(std::string_view type_name) {
  return find_kind(&KindNames::type, type_name);
}

std::optional<AccountKind> kind_from_short_name(std::string_view name) {
  return find_kind(&KindNames::short_name, name);
}

}  // namespace settings::accounts
