#include "panes/accounts/model.h"

#include <fmt/format.h>

#include "kalu_ui/theme.h"

namespace settings::panes::accounts {

namespace {

using account_book::AccountSyncHealth;
using settings::accounts::AccountLists;

std::size_t index_of(AccountKind kind) { return static_cast<std::size_t>(kind); }

AccountRow mail_row(const settings::accounts::MailAccountRow& view) {
  const auto& c = view.config;
  std::string title = !c.display_name.empty() ? c.display_name
                      : !c.email.empty()      ? c.email
                                              : std::string("New account");
  return {view.id, std::move(title), fmt::format("{} · {}:{}", c.email, c.imap_host, c.imap_port),
          true, AccountKind::kMail};
}

AccountRow dav_row(const settings::accounts::DavAccount& view, AccountKind kind,
                   std::string_view protocol) {
  return {view.id, view.label, fmt::format("{} · {}", protocol, url_host(view.base_url)),
          view.enabled, kind};
}

AccountRow nextcloud_row(const settings::accounts::NextcloudAccount& view) {
  std::string capabilities;
  auto add = [&](bool on, std::string_view name) {
    if (!on) return;
    if (!capabilities.empty()) capabilities += ", ";
    capabilities += name;
  };
  add(view.use_mail, "Mail");
  add(view.use_calendar, "Calendar");
  add(view.use_files, "Files");
  return {view.id, view.label, fmt::format("{} · {}", url_host(view.server_url), capabilities),
          view.enabled, AccountKind::kNextcloud};
}

}  // namespace

AccountRows account_rows(const AccountLists& lists) {
  AccountRows rows;
  for (const auto& view : lists.mail_accounts) {
    rows[index_of(AccountKind::kMail)].push_back(mail_row(view));
  }
  for (const auto& view : lists.caldav_accounts.accounts) {
    rows[index_of(AccountKind::kCalDav)].push_back(dav_row(view, AccountKind::kCalDav, "CalDAV"));
  }
  for (const auto& view : lists.webdav_accounts.accounts) {
    rows[index_of(AccountKind::kWebDav)].push_back(dav_row(view, AccountKind::kWebDav, "WebDAV"));
  }
  for (const auto& view : lists.nextcloud_accounts.accounts) {
    rows[index_of(AccountKind::kNextcloud)].push_back(nextcloud_row(view));
  }
  return rows;
}

const AccountRow* find_row(const AccountRows& rows, std::string_view id) {
  for (const auto& of_kind : rows) {
    for (const AccountRow& row : of_kind) {
      if (row.id == id) return &row;
    }
  }
  return nullptr;
}

std::string url_host(std::string_view url) {
  for (bool stripped = true; stripped;) {
    stripped = false;
    for (std::string_view scheme : {"https://", "http://"}) {
      if (url.starts_with(scheme)) {
        url.remove_prefix(scheme.size());
        stripped = true;
      }
    }
  }
  while (url.ends_with('/')) url.remove_suffix(1);
  return std::string(url);
}

HealthBadge health_badge(bool enabled, const account_book::AccountSyncStatus* status) {
  if (!enabled) return {"Disabled", kalu_ui::kToneNeutral};
  if (status == nullptr) return {"Not checked yet", kalu_ui::kToneNeutral};
  switch (status->health) {
    case AccountSyncHealth::kNever:
      return {"Not checked yet", kalu_ui::kToneNeutral};
    case AccountSyncHealth::kSyncing:
      return {"Syncing", kalu_ui::kToneInfo};
    case AccountSyncHealth::kHealthy:
      return {"Up to date", kalu_ui::kToneSuccess};
    case AccountSyncHealth::kOffline:
      return {"Offline", kalu_ui::kToneWarning};
    case AccountSyncHealth::kNeedsAuthentication:
      return {"Sign in again", kalu_ui::kToneWarning};
    case AccountSyncHealth::kError:
      return {"Needs attention", kalu_ui::kToneError};
  }
  return {"Not checked yet", kalu_ui::kToneNeutral};
}

std::string sync_age_text(std::optional<std::int64_t> last_success_unix, std::uint64_t now_unix) {
  if (!last_success_unix) return "never completed";
  // A time in the future (a clock set back) counts as just now.
  const std::int64_t last = *last_success_unix;
  std::uint64_t age = 0;
  if (last < 0) {
    age = now_unix + (static_cast<std::uint64_t>(-(last + 1)) + 1);
  } else if (now_unix > static_cast<std::uint64_t>(last)) {
    age = now_unix - static_cast<std::uint64_t>(last);
  }
  if (age < 60) return "just now";
  if (age < 3600) return fmt::format("{} min ago", age / 60);
  if (age < 86400) return fmt::format("{} h ago", age / 3600);
  return fmt::format("{} d ago", age / 86400);
}

std::string sync_line(const account_book::AccountSyncStatus* status, std::uint64_t now_unix) {
  if (status == nullptr) return "No application has reported a sync for this account.";
  const std::string age = sync_age_text(status->last_success_unix, now_unix);
  if (status->message) return fmt::format("Last successful sync: {} · {}", age, *status->message);
  return fmt::format("Last successful sync: {}", age);
}

}  // namespace settings::panes::accounts
