// What a row shows of an account: title, detail, health badge and sync line.

#include "panes/accounts/model.h"

#include <gtest/gtest.h>

#include "kalu_ui/theme.h"

namespace settings::panes::accounts {
namespace {

using account_book::AccountSyncHealth;
using account_book::AccountSyncStatus;
using settings::accounts::AccountLists;

TEST(AccountRowsTest, TitlesAndDetailsByKind) {
  AccountLists lists;
  settings::accounts::MailAccountRow mail;
  mail.id = "a@example.com";
  mail.config.email = "a@example.com";
  mail.config.imap_host = "imap.example.com";
  mail.config.imap_port = 993;
  lists.mail_accounts.push_back(mail);
  mail.id = "b";
  mail.config = {};
  lists.mail_accounts.push_back(mail);
  lists.caldav_accounts.accounts.push_back(
      {"c1", "Team calendar", "https://https://cal.example.org//", "u", false, 0, {}});
  lists.webdav_accounts.accounts.push_back(
      {"w1", "", "http://files.example.org/dav/", "u", true, 0, {}});
  settings::accounts::NextcloudAccount cloud;
  cloud.id = "n1";
  cloud.label = "Cloud";
  cloud.server_url = "https://cloud.example.org/";
  cloud.use_files = false;
  lists.nextcloud_accounts.accounts.push_back(cloud);
  cloud.id = "n2";
  cloud.use_mail = cloud.use_calendar = false;
  lists.nextcloud_accounts.accounts.push_back(cloud);

  const AccountRows rows = account_rows(lists);
  ASSERT_EQ(rows[0].size(), 2u);
  EXPECT_EQ(rows[0][0],
            (AccountRow{"a@example.com", "a@example.com", "a@example.com · imap.example.com:993",
                        true, AccountKind::kMail}));
  EXPECT_EQ(rows[0][1].title, "New account");
  EXPECT_EQ(rows[0][1].detail, " · :0");
  EXPECT_EQ(rows[1][0], (AccountRow{"c1", "Team calendar", "CalDAV · cal.example.org", false,
                                    AccountKind::kCalDav}));
  EXPECT_EQ(rows[2][0].title, "");
  EXPECT_EQ(rows[2][0].detail, "WebDAV · files.example.org/dav");
  EXPECT_EQ(rows[3][0].detail, "cloud.example.org · Mail, Calendar");
  EXPECT_EQ(rows[3][1].detail, "cloud.example.org · ");
  EXPECT_EQ(find_row(rows, "n2"), &rows[3][1]);
  EXPECT_EQ(find_row(rows, "nope"), nullptr);
}

TEST(AccountRowsTest, HealthBadges) {
  const struct {
    bool enabled;
    std::optional<AccountSyncHealth> health;
    const char* text;
    std::uint8_t tone;
  } cases[] = {
      {true, AccountSyncHealth::kNever, "Not checked yet", kalu_ui::kToneNeutral},
      {true, AccountSyncHealth::kSyncing, "Syncing", kalu_ui::kToneInfo},
      {true, AccountSyncHealth::kHealthy, "Up to date", kalu_ui::kToneSuccess},
      {true, AccountSyncHealth::kOffline, "Offline", kalu_ui::kToneWarning},
      {true, AccountSyncHealth::kNeedsAuthentication, "Sign in again", kalu_ui::kToneWarning},
      {true, AccountSyncHealth::kError, "Needs attention", kalu_ui::kToneError},
      {true, std::nullopt, "Not checked yet", kalu_ui::kToneNeutral},
      {false, AccountSyncHealth::kHealthy, "Disabled", kalu_ui::kToneNeutral},
      {false, std::nullopt, "Disabled", kalu_ui::kToneNeutral},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    std::optional<AccountSyncStatus> status;
    if (c.health) status = AccountSyncStatus{*c.health, {}, {}, {}};
    EXPECT_EQ(health_badge(c.enabled, status ? &*status : nullptr), (HealthBadge{c.text, c.tone}));
  }
}

TEST(AccountRowsTest, SyncAges) {
  constexpr std::uint64_t now = 1'700'000'000;
  const struct {
    std::optional<std::int64_t> last;
    const char* text;
  } cases[] = {
      {std::nullopt, "never completed"},
      {now - 59, "just now"},
      {now, "just now"},
      {now + 500, "just now"},
      {now - 60, "1 min ago"},
      {now - 3599, "59 min ago"},
      {now - 3600, "1 h ago"},
      {now - 86399, "23 h ago"},
      {now - 86400, "1 d ago"},
      {now - 10 * 86400 - 5, "10 d ago"},
      {-86400, "19676 d ago"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(sync_age_text(c.last, now), c.text);
  }
  EXPECT_EQ(sync_age_text(now, 0), "just now");
}

TEST(AccountRowsTest, SyncLines) {
  constexpr std::uint64_t now = 1'000'000;
  EXPECT_EQ(sync_line(nullptr, now), "No application has reported a sync for this account.");
  const AccountSyncStatus plain{AccountSyncHealth::kHealthy, now - 10, now - 120, std::nullopt};
  EXPECT_EQ(sync_line(&plain, now), "Last successful sync: 2 min ago");
  const AccountSyncStatus said{AccountSyncHealth::kError, now, std::nullopt, "server said no"};
  EXPECT_EQ(sync_line(&said, now), "Last successful sync: never completed · server said no");
}

TEST(AccountRowsTest, UrlHost) {
  EXPECT_EQ(url_host("https://http://x.example.org///"), "x.example.org");
  EXPECT_EQ(url_host("HTTPS://x.example.org"), "HTTPS://x.example.org");
  EXPECT_EQ(url_host(""), "");
}

}  // namespace
}  // namespace settings::panes::accounts
