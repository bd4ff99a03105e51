#pragma once

// What the External Accounts page shows of each account, as plain data: one
// row per account of the lists (accounts/lists.h) with its title, detail
// line and kind, the health badge of its sync status and the line that says
// when it last synced. Pure functions; the pane and its tests call them.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "account_book/sync_status.h"
#include "accounts/kinds.h"
#include "accounts/lists.h"

namespace settings::panes::accounts {

using settings::accounts::AccountKind;

struct AccountRow {
  std::string id;
  std::string title;
  std::string detail;
  bool enabled = true;  // always true for mail
  AccountKind kind = AccountKind::kMail;

  bool operator==(const AccountRow&) const = default;
};

// The rows of each kind, by kind byte, in list order.
using AccountRows = std::array<std::vector<AccountRow>, 4>;

AccountRows account_rows(const settings::accounts::AccountLists& lists);

// The row of `id` among all kinds (kind order, then list order).
const AccountRow* find_row(const AccountRows& rows, std::string_view id);

// A server URL as a detail line shows it: without any leading "https://" or
// "http://" (repeated ones too) and without trailing "/".
std::string url_host(std::string_view url);

// The health badge of a row: its text and the badge tone (kalu_ui/theme.h).
struct HealthBadge {
  std::string_view text;
  std::uint8_t tone = 0;

  bool operator==(const HealthBadge&) const = default;
};

HealthBadge health_badge(bool enabled, const account_book::AccountSyncStatus* status);

// When the last successful sync was, `now_unix` being the current time in
// whole seconds: "never completed", "just now", "{} min ago", "{} h ago",
// "{} d ago".
std::string sync_age_text(std::optional<std::int64_t> last_success_unix, std::uint64_t now_unix);

// The row's sync line: what the applications reported, or that none did.
std::string sync_line(const account_book::AccountSyncStatus* status, std::uint64_t now_unix);

}  // namespace settings::panes::accounts
