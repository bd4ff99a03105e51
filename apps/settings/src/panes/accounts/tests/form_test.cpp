// The account form's validation and preparation, on a temporary accounts
// root: the failures in their order, the ids of new accounts, the
// configuration written per kind, the mail presets and the credential.

#include "panes/accounts/form.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <set>
#include <string>

#include "account_book/paths.h"
#include "accounts/tests/accounts_fixture.h"

namespace settings::panes::accounts {
namespace {

using account_book::Json;
using kalu_ui::secret::SecretText;
using settings::accounts::AccountConfig;
using settings::accounts::testing::AccountsRoot;
using settings::accounts::testing::make_account;

FormValues values(std::string name, std::string identity, std::string server = "",
                  std::string password = "pw", std::string username = "") {
  return {std::move(name), std::move(identity), std::move(username), std::move(server),
          SecretText::copy_of(password)};
}

// A store with a mail account (its secret saved), a CalDAV account without a
// secret, and a WebDAV account whose configuration holds a key of another
// application.
void seed(const AccountsRoot& dir) {
  account_book::AccountStore store;
  auto mail = make_account("ann@example.com", "email", "Ann");
  mail.config =
      Json{{"display_name", "Ann"}, {"email", "ann@example.com"}, {"imap_host", "imap.x"},
           {"imap_port", 993},      {"imap_tls", true},           {"smtp_host", "smtp.x"},
           {"smtp_port", 465},      {"smtp_tls", true},           {"username", "ann@example.com"}};
  store.upsert(mail);
  auto cal = make_account("caldav-1", "caldav", "Cal");
  cal.config = Json{{"server_url", "https://cal.example.org"}, {"username", "ann"}};
  store.upsert(cal);
  auto files = make_account("webdav-1", "webdav", "Files");
  files.config = Json{{"id", "webdav-1"},
                      {"label", "Files"},
                      {"base_url", "https://f.example.org"},
                      {"username", "ann"},
                      {"sync_root", "/home/ann/Files"}};
  store.upsert(files);
  ASSERT_TRUE(store.save_in(dir.path()).has_value());
  auto vault = account_book::SecretVault::open_in(dir.path());
  vault.put("ann@example.com", SecretText::copy_of("saved-mail"));
  vault.put("webdav-1", SecretText::copy_of("saved-dav"));
  ASSERT_TRUE(vault.try_save().has_value());
}

TEST(AccountFormTest, RefusalsInTheirOrder) {
  AccountsRoot dir;
  seed(dir);
  const std::optional<std::string> none;
  const std::optional<std::string> editing_cal = "caldav-1";
  const struct {
    const char* name;
    AccountKind kind;
    std::optional<std::string> editing;
    FormValues values;
    const char* error;
  } cases[] = {
      {"blank name", AccountKind::kMail, none, values(" \t ", "a@example.com"),
       "enter a display name"},
      {"blank name before blank identity", AccountKind::kWebDav, none, values("", ""),
       "enter a display name"},
      {"blank address", AccountKind::kMail, none, values("A", "  "), "enter an email address"},
      {"blank user", AccountKind::kCalDav, none, values("A", " "), "enter a username"},
      {"space inside the address", AccountKind::kMail, none, values("A", "a b@example.com"),
       "enter a valid email address"},
      {"no at sign", AccountKind::kMail, none, values("A", "a.example.com"),
       "enter a valid email address"},
      {"no-break space inside", AccountKind::kMail, none, values("A", "a\u00a0b@example.com"),
       "enter a valid email address"},
      {"not a URL", AccountKind::kCalDav, none, values("A", "ann", "not a url"),
       "enter a valid server URL"},
      {"no URL", AccountKind::kNextcloud, none, values("A", "ann", ""), "enter a valid server URL"},
      {"plain http, even on loopback", AccountKind::kWebDav, none,
       values("A", "ann", "http://localhost:8080/dav"), "use an HTTPS server URL"},
      {"another scheme", AccountKind::kCalDav, none, values("A", "ann", "ftp://example.org"),
       "use an HTTPS server URL"},
      {"user in the URL", AccountKind::kCalDav, none,
       values("A", "ann", "https://ann@cal.example.org/"),
       "remove credentials from the server URL"},
      {"no password while adding", AccountKind::kWebDav, none,
       values("A", "ann", "https://f.example.org", "  "), "enter a password or app password"},
      {"address differing only in case", AccountKind::kMail, none, values("Ann", "ANN@Example.COM"),
       "this account is already configured"},
      {"edited account gone", AccountKind::kCalDav, "caldav-9",
       values("A", "ann", "https://cal.example.org"), "account no longer exists"},
      {"edited account of another kind", AccountKind::kWebDav, editing_cal,
       values("A", "ann", "https://cal.example.org"),
       "account type changed; refresh Settings and try again"},
      {"edited without a saved or typed password", AccountKind::kCalDav, editing_cal,
       values("A", "ann", "https://cal.example.org", ""),
       "this account has no saved credential; enter one"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto draft = submit_account_form(dir.root(), c.kind, c.editing, none, c.values);
    ASSERT_FALSE(draft.has_value());
    EXPECT_EQ(draft.error(), c.error);
  }
}

TEST(AccountFormTest, NewMailAccountAtAnUnknownDomain) {
  AccountsRoot dir;
  auto draft = submit_account_form(dir.root(), AccountKind::kMail, std::nullopt, std::nullopt,
                                   values(" Bo ", " Bo@Corp.Example.invalid ", "", " pw "));
  ASSERT_TRUE(draft.has_value()) << draft.error();
  EXPECT_EQ(draft->id, "bo@corp.example.invalid");
  EXPECT_EQ(draft->account.id, "bo@corp.example.invalid");
  EXPECT_EQ(draft->account.type_id.as_str(), "email");
  EXPECT_EQ(draft->account.display_name, "Bo");
  EXPECT_EQ(draft->credential.view(), "pw");
  EXPECT_EQ(draft->editing_id, std::nullopt);
  auto config = settings::accounts::from_config<AccountConfig>(draft->account.config);
  ASSERT_TRUE(config.has_value());
  EXPECT_EQ(config->imap_host, "imap.Corp.Example.invalid");
  EXPECT_EQ(config->smtp_host, "smtp.Corp.Example.invalid");
  EXPECT_EQ(config->imap_port, 993);
  EXPECT_EQ(config->smtp_port, 465);
  EXPECT_TRUE(config->imap_tls);
  EXPECT_TRUE(config->smtp_tls);
  EXPECT_EQ(config->username, "Bo@Corp.Example.invalid");
  EXPECT_EQ(config->email, "Bo@Corp.Example.invalid");
}

TEST(AccountFormTest, NewDavAccountsGetAUuidOnceAndTheirConfiguration) {
  AccountsRoot dir;
  const struct {
    AccountKind kind;
    const char* prefix;
    const char* url_key;
  } kinds[] = {{AccountKind::kCalDav, "caldav", "server_url"},
               {AccountKind::kWebDav, "webdav", "base_url"},
               {AccountKind::kNextcloud, "nextcloud", "server_url"}};
  for (const auto& k : kinds) {
    SCOPED_TRACE(k.prefix);
    const FormValues typed = values("Team", " ann ", " https://dav.example.org/remote.php/// ");
    auto first = submit_account_form(dir.root(), k.kind, std::nullopt, std::nullopt, typed);
    ASSERT_TRUE(first.has_value()) << first.error();
    EXPECT_TRUE(std::regex_match(
        first->id,
        std::regex(std::string(k.prefix) +
                   "-[0-9a-f]{8}-[0-9a-f]{4}-4[0-9a-f]{3}-[89ab][0-9a-f]{3}-[0-9a-f]{12}")))
        << first->id;
    // The preparation after the check keeps the id it was given.
    auto second = submit_account_form(dir.root(), k.kind, std::nullopt, first->id, typed);
    ASSERT_TRUE(second.has_value());
    EXPECT_EQ(second->id, first->id);
    EXPECT_EQ(second->account.config, first->account.config);
    const Json& config = second->account.config;
    EXPECT_EQ(config[k.url_key], "https://dav.example.org/remote.php");
    EXPECT_EQ(config["username"], "ann");
    if (k.kind == AccountKind::kCalDav) {
      EXPECT_EQ(config["display_name"], "Team");
      EXPECT_FALSE(config.contains("id"));
    } else {
      EXPECT_EQ(config["id"], first->id);
      EXPECT_EQ(config["label"], "Team");
    }
  }
  // Two first preparations never share an id.
  const FormValues typed = values("T", "u", "https://d.example.org");
  auto a = submit_account_form(dir.root(), AccountKind::kWebDav, std::nullopt, std::nullopt, typed);
  auto b = submit_account_form(dir.root(), AccountKind::kWebDav, std::nullopt, std::nullopt, typed);
  EXPECT_NE(a->id, b->id);
}

TEST(AccountFormTest, EditingKeepsWhatTheFormDoesNotOwn) {
  AccountsRoot dir;
  seed(dir);
  // Mail: the servers stay, the login falls back to the address.
  auto mail = submit_account_form(dir.root(), AccountKind::kMail, "ann@example.com", std::nullopt,
                                  values("Ann B", "ann.b@example.com", "", ""));
  ASSERT_TRUE(mail.has_value()) << mail.error();
  EXPECT_EQ(mail->id, "ann@example.com");
  EXPECT_EQ(mail->account.display_name, "Ann B");
  EXPECT_EQ(mail->account.config["imap_host"], "imap.x");
  EXPECT_EQ(mail->account.config["email"], "ann.b@example.com");
  EXPECT_EQ(mail->account.config["username"], "ann.b@example.com");
  EXPECT_EQ(mail->account.config["display_name"], "Ann B");
  // No password typed: the saved one is checked and kept.
  EXPECT_EQ(mail->credential.view(), "saved-mail");

  auto files = submit_account_form(dir.root(), AccountKind::kWebDav, "webdav-1", std::nullopt,
                                   values("Files 2", "bob", "https://g.example.org/", " new "));
  ASSERT_TRUE(files.has_value()) << files.error();
  EXPECT_EQ(files->account.config["sync_root"], "/home/ann/Files");
  EXPECT_EQ(files->account.config["base_url"], "https://g.example.org");
  EXPECT_EQ(files->account.config["username"], "bob");
  EXPECT_EQ(files->credential.view(), "new");
  EXPECT_EQ(files->editing_id, "webdav-1");
}

// Without its key the vault holds the saved password out of reach: the form
// says so instead of asking for a password the account has.
TEST(AccountFormTest, AVaultThatDoesNotReadIsNamed) {
  AccountsRoot dir;
  seed(dir);
  std::filesystem::remove(account_book::vault_dir_in(dir.path()) / "vault.key");
  auto mail = submit_account_form(dir.root(), AccountKind::kMail, "ann@example.com", std::nullopt,
                                  values("Ann", "ann@example.com", "", ""));
  ASSERT_FALSE(mail.has_value());
  EXPECT_TRUE(mail.error().starts_with("the credential vault could not be read: the vault key "))
      << mail.error();
}

TEST(AccountFormTest, PresetsAreReservedNamesInTheirShape) {
  const auto& presets = mail_presets();
  std::map<std::string, int> per_provider;
  std::set<std::string> domains;
  for (const MailPreset& p : presets) {
    domains.insert(std::string(p.domain));
    ++per_provider[std::string(p.imap_host)];
    for (std::string_view name : {p.domain, p.imap_host, p.smtp_host}) {
      const bool reserved = name == "example.com" || name.ends_with(".example.com") ||
                            name == "example.net" || name.ends_with(".example.net") ||
                            name == "example.org" || name.ends_with(".example.org") ||
                            name.ends_with(".example") || name.ends_with(".test");
      EXPECT_TRUE(reserved) << name;
    }
  }
  EXPECT_EQ(domains.size(), 8u);
  std::multiset<int> sizes;
  for (const auto& [host, count] : per_provider) sizes.insert(count);
  EXPECT_EQ(sizes, (std::multiset<int>{1, 2, 2, 3}));
}

TEST(AccountFormTest, ApplyMailPreset) {
  const struct {
    const char* email;
    const char* name;
    const char* username;
    bool matched;
    const char* imap;
    const char* smtp;
    const char* name_after;
    const char* username_after;
  } cases[] = {
      {"Ann@Example.NET", "", "", true, "imap.mail.example.com", "smtp.mail.example.com", "Ann",
       "Ann@Example.NET"},
      {"a@staff.example.org", "Me", "login", true, "imap.post.example.org", "smtp.post.example.org",
       "Me", "login"},
      {"a@sub.example.com", "", "", false, "imap.sub.example.com", "smtp.sub.example.com", "a",
       "a@sub.example.com"},
      {"a@b@post.test", "", "", false, "imap.b@post.test", "smtp.b@post.test", "a",
       "a@b@post.test"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.email);
    AccountConfig config;
    config.email = c.email;
    config.display_name = c.name;
    config.username = c.username;
    config.imap_host = config.smtp_host = "old";
    EXPECT_EQ(apply_mail_preset(config), c.matched);
    EXPECT_EQ(config.imap_host, c.imap);
    EXPECT_EQ(config.smtp_host, c.smtp);
    EXPECT_EQ(config.display_name, c.name_after);
    EXPECT_EQ(config.username, c.username_after);
  }
  AccountConfig no_at;
  no_at.email = "nobody";
  no_at.imap_host = "old";
  EXPECT_FALSE(apply_mail_preset(no_at));
  EXPECT_EQ(no_at.imap_host, "old");
  EXPECT_EQ(no_at.display_name, "");
}

TEST(AccountFormTest, MergeConfigReplacesANonObjectAndKeepsOtherKeys) {
  auto account = make_account("x", "webdav");
  account.config = Json::array({1, 2});
  merge_config(account, Json{{"a", 1}});
  EXPECT_EQ(account.config, (Json{{"a", 1}}));
  account.config = Json{{"keep", true}, {"a", 0}};
  merge_config(account, Json{{"a", 2}, {"b", "t"}});
  EXPECT_EQ(account.config, (Json{{"keep", true}, {"a", 2}, {"b", "t"}}));
}

}  // namespace
}  // namespace settings::panes::accounts
