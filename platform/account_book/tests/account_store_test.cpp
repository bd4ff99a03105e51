#include "account_book/account_store.h"

#include <gtest/gtest.h>

#include <string>

#include "account_book/paths.h"
#include "account_book/sync_status.h"
#include "prefs_store/paths.h"
#include "temp_root.h"

namespace account_book {
namespace {

using testing::TempRoot;

Account account(std::string id, std::string type) {
  Account a;
  a.id = std::move(id);
  a.type_id = AccountTypeId::from(type);
  return a;
}

TEST(AccountBookPaths, LayoutUnderRootAndDefaultRoot) {
  EXPECT_EQ(accounts_dir_in("/r"), std::filesystem::path("/r/accounts"));
  EXPECT_EQ(vault_dir_in("/r"), std::filesystem::path("/r/vault"));
  {
    prefs_store::ScopedConfigDir config("/home/u/.config");
    EXPECT_EQ(config_root(), std::filesystem::path("/home/u/.config/kalu"));
  }
  prefs_store::ScopedConfigDir none("");
  EXPECT_EQ(config_root(), std::nullopt);
}

// The stored forms, byte for byte: key order, "owner" only when set, "active"
// and "statuses" in ascending key order whatever the order of insertion.
TEST(AccountStoreJson, WritesTheStoredForms) {
  AccountStore store;
  Account mail = account("me@example.org", "email");
  mail.display_name = "Me";
  mail.config = Json::parse(R"({"z":1,"a":[true,null]})");
  store.upsert(mail);
  Account dav = account("webdav-1", "webdav");
  dav.enabled = false;
  dav.tint = 7;
  dav.owner = "files-app";
  store.upsert(dav);
  store.set_active(AccountTypeId::from("webdav"), "webdav-1");
  store.set_active(AccountTypeId::from("email"), "me@example.org");
  EXPECT_EQ(store.to_json().dump(),
            R"({"accounts":[{"id":"me@example.org","type_id":"email","display_name":"Me",)"
            R"("config":{"z":1,"a":[true,null]},"enabled":true,"tint":0},)"
            R"({"id":"webdav-1","type_id":"webdav","display_name":"","config":null,)"
            R"("enabled":false,"tint":7,"owner":"files-app"}],)"
            R"("active":{"email":"me@example.org","webdav":"webdav-1"}})");

  AccountSyncStatusStore statuses;
  statuses.set("z", {AccountSyncHealth::kNeedsAuthentication, -5, std::nullopt, "sign in"});
  statuses.set("a", {});
  EXPECT_EQ(statuses.to_json().dump(),
            R"({"statuses":{"a":{"health":"never","last_attempt_unix":null,)"
            R"("last_success_unix":null,"message":null},)"
            R"("z":{"health":"needs_authentication","last_attempt_unix":-5,)"
            R"("last_success_unix":null,"message":"sign in"}}})");
}

struct ReadCase {
  const char* text;
  const char* error;  // nullptr: reads
};

TEST(AccountStoreJson, ReadingRules) {
  const ReadCase cases[] = {
      {R"({})", nullptr},
      {R"({"accounts":[{"id":"a","type_id":"email","extra":1}],"active":{"email":"a"}})", nullptr},
      {R"([[["a","email","A",{"k":1},false,9,null]]])", nullptr},
      {R"({"accounts":[{"id":"a","type_id":"email","owner":null}]})", nullptr},
      {R"({"accounts":[{"type_id":"email"}]})", "missing field `id`"},
      {R"({"accounts":[["a"]]})", "invalid length 1, expected struct Account with 7 elements"},
      {R"({"accounts":[["a","email","",null,true,0,null,1]]})",
       "invalid length 8, expected struct Account with 7 elements"},
      {R"({"accounts":[{"id":"a","type_id":"email","tint":256}]})",
       "invalid value: integer `256`, expected u8"},
      {R"({"accounts":[{"id":"a","type_id":"email","tint":1.0}]})",
       "invalid type: floating point `1.0`, expected u8"},
      {R"({"accounts":[{"id":"a","type_id":"email","enabled":null}]})",
       "invalid type: null, expected a boolean"},
      {R"({"accounts":[{"id":7,"type_id":"email"}]})",
       "invalid type: integer `7`, expected a string"},
      {R"({"active":{"email":1}})", "invalid type: integer `1`, expected a string"},
      {R"("x")", "invalid type: string \"x\", expected struct AccountStore"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    auto store = AccountStore::from_json(Json::parse(c.text));
    if (c.error == nullptr) {
      ASSERT_TRUE(store.has_value()) << store.error();
    } else {
      ASSERT_FALSE(store.has_value());
      EXPECT_EQ(store.error(), c.error);
    }
  }
  auto read = AccountStore::from_json(Json::parse(R"([[["a","email","A",{"k":1},false,9]]])"));
  ASSERT_TRUE(read.has_value());
  const Account& a = read->accounts.at(0);
  EXPECT_EQ(a.display_name, "A");
  EXPECT_EQ(a.config, Json::parse(R"({"k":1})"));
  EXPECT_FALSE(a.enabled);
  EXPECT_EQ(a.tint, 9);
  EXPECT_EQ(a.owner, std::nullopt);
  auto defaults = Account::from_json(Json::parse(R"({"type_id":"caldav","id":"c"})"));
  ASSERT_TRUE(defaults.has_value());
  EXPECT_EQ(*defaults, account("c", "caldav"));
}

TEST(AccountSyncStatusJson, ReadingRules) {
  const ReadCase cases[] = {
      {R"({"statuses":{"a":{"health":"healthy"}}})", nullptr},
      {R"({"statuses":{"a":{"health":{"offline":null},"last_attempt_unix":-1}}})", nullptr},
      {R"({"statuses":{"a":["error",1,2,"boom"]}})", nullptr},
      {R"({"statuses":{"a":{}}})", "missing field `health`"},
      {R"({"statuses":{"a":{"health":"Healthy"}}})",
       "unknown variant `Healthy`, expected one of `never`, `syncing`, `healthy`, `offline`, "
       "`needs_authentication`, `error`"},
      {R"({"statuses":{"a":{"health":"never","last_success_unix":9223372036854775808}}})",
       "invalid value: integer `9223372036854775808`, expected i64"},
      {R"({"statuses":[]})", "invalid type: sequence, expected a map"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    auto store = AccountSyncStatusStore::from_json(Json::parse(c.text));
    if (c.error == nullptr) {
      ASSERT_TRUE(store.has_value()) << store.error();
    } else {
      ASSERT_FALSE(store.has_value());
      EXPECT_EQ(store.error(), c.error);
    }
  }
}

TEST(AccountStoreFile, NeverSavedLoadsEmptyAndSaveRoundTrips) {
  TempRoot root;
  auto empty = AccountStore::load_in(root.path());
  ASSERT_TRUE(empty.has_value());
  EXPECT_TRUE(empty->accounts.empty());

  AccountStore store;
  store.upsert(account("a", "email"));
  store.set_active(AccountTypeId::from("email"), "a");
  ASSERT_TRUE(store.save_in(root.path()).has_value());
  EXPECT_EQ(root.mode("accounts/accounts.json"), 0600);
  EXPECT_EQ(root.mode("accounts"), 0700);
  EXPECT_EQ(AccountStore::load_in(root.path()), store);

  AccountSyncStatusStore statuses;
  statuses.set("a", {AccountSyncHealth::kHealthy, 1, 2, std::nullopt});
  ASSERT_TRUE(statuses.save_in(root.path()).has_value());
  EXPECT_EQ(root.mode("accounts/sync-status.json"), 0600);
  EXPECT_EQ(AccountSyncStatusStore::load_in(root.path()), statuses);
}

// A file that exists but cannot be read is an error, not an empty store.
TEST(AccountStoreFile, UnreadableOrInvalidFileIsAnError) {
  const char* bodies[] = {"not json", R"({"accounts":[{"id":"a","id":"b","type_id":"x"}]})",
                          "[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[["
                          "[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[["
                          "[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[[["};
  for (const char* body : bodies) {
    SCOPED_TRACE(body);
    TempRoot root;
    root.put("accounts/accounts.json", body);
    auto store = AccountStore::load_in(root.path());
    ASSERT_FALSE(store.has_value());
    EXPECT_NE(store.error().find("accounts.json"), std::string::npos) << store.error();
  }
  TempRoot root;
  std::filesystem::create_directories(root.path() / "accounts/accounts.json");
  EXPECT_FALSE(AccountStore::load_in(root.path()).has_value());
  EXPECT_FALSE(AccountStore{}.save_in(root.path()).has_value());
}

TEST(AccountStoreOperations, UpsertRemoveListAndActive) {
  AccountStore store;
  store.upsert(account("a", "email"));
  store.upsert(account("b", "webdav"));
  store.upsert(account("c", "email"));
  Account renamed = account("a", "email");
  renamed.display_name = "renamed";
  store.upsert(renamed);
  ASSERT_EQ(store.accounts.size(), 3u);
  EXPECT_EQ(store.accounts[0].display_name, "renamed");  // replaced where it stood

  const auto mail = store.list(AccountTypeId::from("email"));
  ASSERT_EQ(mail.size(), 2u);
  EXPECT_EQ(mail[0]->id, "a");
  EXPECT_EQ(mail[1]->id, "c");
  EXPECT_EQ(store.get("b")->type_id.as_str(), "webdav");
  EXPECT_EQ(store.get("zz"), nullptr);

  store.set_active(AccountTypeId::from("email"), "c");
  EXPECT_EQ(store.active_id(AccountTypeId::from("email")), "c");
  EXPECT_TRUE(store.remove("c"));
  EXPECT_FALSE(store.remove("c"));
  EXPECT_EQ(store.active_id(AccountTypeId::from("email")), std::nullopt);

  AccountSyncStatusStore statuses;
  statuses.set("a", {});
  EXPECT_NE(statuses.get("a"), nullptr);
  EXPECT_TRUE(statuses.remove("a"));
  EXPECT_FALSE(statuses.remove("a"));
  EXPECT_EQ(statuses.get("a"), nullptr);
}

}  // namespace
}  // namespace account_book
