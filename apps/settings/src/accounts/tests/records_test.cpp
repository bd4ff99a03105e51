#include "accounts/records.h"

#include <gtest/gtest.h>

#include "accounts/kinds.h"

namespace settings::accounts {
namespace {

template <typename T>
std::string refusal(std::string_view text) {
  auto read = codec::from_json<T>(text);
  return read ? std::string("(read)") : read.error();
}

TEST(AccountRecords, ReadingRulesAndRefusals) {
  EXPECT_EQ(refusal<DavAccount>(R"(["a","b","c"])"),
            "invalid length 3, expected struct DavAccount with 6 elements at line 1 column 13");
  EXPECT_EQ(
      refusal<NextcloudAccount>(R"(["a"])"),
      "invalid length 1, expected struct NextcloudAccount with 9 elements at line 1 column 5");
  EXPECT_EQ(refusal<AccountConfig>(R"([])"),
            "invalid length 0, expected struct AccountConfig with 9 elements at line 1 column 2");
  EXPECT_EQ(refusal<DavAccount>(R"({"id":"a","id":"b"})"),
            "duplicate field `id` at line 1 column 14");
  EXPECT_EQ(refusal<AccountConfig>(
                R"({"display_name":"","email":"","imap_host":"","imap_port":65536,"imap_tls":true,)"
                R"("smtp_host":"","smtp_port":465,"smtp_tls":true,"username":""})"),
            "invalid value: integer `65536`, expected u16 at line 1 column 62");
  EXPECT_EQ(refusal<AccountConfig>(
                R"({"display_name":"","email":"","imap_host":"","imap_port":993,"imap_tls":true,)"
                R"("smtp_host":"","smtp_port":465,"username":""})"),
            "missing field `smtp_tls` at line 1 column 122");
  EXPECT_EQ(refusal<DavStore>(R"({"version":1})"), "missing field `accounts` at line 1 column 13");

  auto nextcloud = codec::from_json<NextcloudAccount>(
      R"({"id":"n","label":"N","server_url":"https://n","username":"u","extra":[1]})");
  ASSERT_TRUE(nextcloud.has_value());
  EXPECT_TRUE(nextcloud->use_files && nextcloud->use_calendar && nextcloud->use_mail);
  EXPECT_TRUE(nextcloud->enabled);
  EXPECT_EQ(nextcloud->tint, 0);
  auto store = codec::from_json<DavStore>(R"({"accounts":[["a","b","c","d",false]]})");
  ASSERT_TRUE(store.has_value());
  EXPECT_EQ(store->version, 1u);
  EXPECT_FALSE(store->accounts.at(0).enabled);
}

// The credential being edited never reaches JSON.
TEST(AccountRecords, TransientPasswordIsNeverWritten) {
  DavAccount dav{
      "d", "Files", "https://dav", "u", true, 3, kalu_ui::secret::SecretText::copy_of("hunter2")};
  EXPECT_EQ(codec::to_json(dav),
            R"({"id":"d","label":"Files","base_url":"https://dav","username":"u","enabled":true,)"
            R"("tint":3})");
  AccountConfig mail;
  mail.password = kalu_ui::secret::SecretText::copy_of("hunter2");
  EXPECT_EQ(to_config(mail).dump().find("hunter2"), std::string::npos);
  auto back = from_config<DavAccount>(to_config(dav));
  ASSERT_TRUE(back.has_value());
  EXPECT_TRUE(back->password.empty());
}

TEST(AccountRecords, JournalIsCompactWithStoresInTheirOwnForm) {
  AccountMutationJournal journal;
  account_book::Account account;
  account.id = "a";
  account.type_id = account_book::AccountTypeId::from("email");
  account.config = account_book::Json::parse(R"({"x":1.5,"y":[-1,true,null,"s"]})");
  journal.previous_store.upsert(account);
  journal.previous_statuses.set("a", {account_book::AccountSyncHealth::kError, -3, {}, "boom"});
  journal.previous_vault_ciphertext = std::vector<std::uint8_t>{0, 128, 255};
  const std::string text = codec::to_json(journal);
  EXPECT_EQ(
      text,
      R"({"previous_store":{"accounts":[{"id":"a","type_id":"email","display_name":"",)"
      R"("config":{"x":1.5,"y":[-1,true,null,"s"]},"enabled":true,"tint":0}],"active":{}},)"
      R"("previous_statuses":{"statuses":{"a":{"health":"error","last_attempt_unix":-3,)"
      R"("last_success_unix":null,"message":"boom"}}},"previous_vault_ciphertext":[0,128,255]})");
  EXPECT_EQ(codec::from_json<AccountMutationJournal>(text), journal);

  journal.previous_vault_ciphertext.reset();
  EXPECT_NE(codec::to_json(journal).find(R"("previous_vault_ciphertext":null)"), std::string::npos);
}

TEST(AccountKinds, NamesOfEachKind) {
  struct Row {
    AccountKind kind;
    const char* type;
    const char* short_name;
    const char* title;
  };
  const Row rows[] = {
      {AccountKind::kMail, "email", "mail", "Email"},
      {AccountKind::kCalDav, "caldav", "caldav", "Calendar (CalDAV)"},
      {AccountKind::kWebDav, "webdav", "webdav", "Files (WebDAV)"},
      {AccountKind::kNextcloud, "nextcloud", "nextcloud", "Nextcloud"},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(type_name(row.kind), row.type);
    EXPECT_EQ(type_id(row.kind).as_str(), row.type);
    EXPECT_EQ(short_name(row.kind), row.short_name);
    EXPECT_EQ(title(row.kind), row.title);
    EXPECT_EQ(kind_from_type_id(row.type), row.kind);
    EXPECT_EQ(kind_from_short_name(row.short_name), row.kind);
    EXPECT_EQ(kind_from_byte(static_cast<std::uint8_t>(row.kind)), row.kind);
  }
  EXPECT_EQ(kind_from_byte(4), std::nullopt);
  EXPECT_EQ(kind_from_type_id("mail"), std::nullopt);
  EXPECT_EQ(kind_from_short_name("email"), std::nullopt);
}

}  // namespace
}  // namespace settings::accounts
