#include "identity/host_identity.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "identity/testing.h"
#include "temp_dir.h"

namespace {

namespace fs = std::filesystem;
using namespace host_identity;
using identity_testing::ScopedEnv;
using identity_testing::TestIdentity;
using identity_tests::mode_of;
using identity_tests::TempDir;
using identity_tests::write_file;
using ::testing::HasSubstr;

TEST(IdentityDir, VariableThenDataDirectory) {
  ScopedEnv data("XDG_DATA_HOME", "/data");
  {
    ScopedEnv dir("KALU_IDENTITY_DIR", "/ids");
    EXPECT_EQ(identity_dir_from_env(), fs::path("/ids"));
  }
  // Empty counts as unset: a relative "" would read the working directory.
  ScopedEnv dir("KALU_IDENTITY_DIR", "");
  EXPECT_EQ(identity_dir_from_env(), fs::path("/data/kalu/identities"));
}

TEST(IdentityId, OnlyPlainFileNames) {
  for (const char* good : {"alice", "a.b", "id-1_x", ".hidden"}) {
    EXPECT_TRUE(is_valid_identity_id(good)) << good;
  }
  using namespace std::string_literals;
  for (const std::string& bad :
       {""s, "."s, ".."s, "a/b"s, "../x"s, "a..b"s, "a\0b"s, "line\n"s, std::string(129, 'a')}) {
    EXPECT_FALSE(is_valid_identity_id(bad)) << bad;
  }
}

class IdentityStore : public ::testing::Test {
 protected:
  TempDir dir_;
};

TEST_F(IdentityStore, ListsIdentitiesWithActiveFlagAndProtection) {
  auto bob = TestIdentity::create(dir_.path(), "bob", "Bob", false).value();
  auto alice = TestIdentity::create(dir_.path(), "alice", "", true).value();
  auto carol = TestIdentity::create(dir_.path(), "carol", "Carol", false).value();
  fs::permissions(dir_ / "identities/carol/signing.key", fs::perms(0644));
  // Damaged entries hide only themselves.
  write_file(dir_ / "identities/dave/identity.json", "{not json");
  write_file(dir_ / "identities/eve/identity.json", R"({"id":"mallory","public_key":[]})");

  auto listed = list_identities(dir_.path());
  ASSERT_TRUE(listed) << listed.error().message;
  ASSERT_EQ(listed->size(), 3u);
  EXPECT_EQ((*listed)[0], alice.entry());
  EXPECT_TRUE((*listed)[0].active);
  EXPECT_EQ((*listed)[1].id, "bob");
  EXPECT_EQ((*listed)[1].public_key, bob.public_key());
  EXPECT_FALSE((*listed)[1].active);
  EXPECT_EQ((*listed)[1].protection, Protection::PrivateFile);
  EXPECT_EQ((*listed)[2].protection, Protection::MigrationRequired);

  fs::remove(dir_ / "identities/bob/signing.key");
  EXPECT_EQ(list_identities(dir_.path())->at(1).protection, Protection::ProviderUnavailable);
}

TEST_F(IdentityStore, MissingStoreIsNotFoundAndEmptyStoreHasNone) {
  auto missing = list_identities(dir_ / "nowhere");
  ASSERT_FALSE(missing);
  EXPECT_EQ(missing.error().kind, ErrorKind::NotFound);
  EXPECT_EQ(list_identities(dir_.path())->size(), 0u);
  EXPECT_EQ(resolve_active_identity(dir_.path()), std::nullopt);
}

TEST_F(IdentityStore, ActiveIdentitySignsWithItsOwnKey) {
  auto alice = TestIdentity::create(dir_.path(), "alice", "Alice").value();
  auto path = resolve_active_identity(dir_.path());
  ASSERT_TRUE(path && *path);
  auto signer = load_from_path(**path);
  ASSERT_TRUE(signer) << signer.error();
  EXPECT_EQ(signer->public_key(), alice.public_key());
  const std::uint8_t message[] = {1, 2, 3};
  auto signature = signer->sign(message);
  ASSERT_TRUE(signature);
  EXPECT_TRUE(kalu_user_identity::verify_signature(alice.public_key(), message, *signature));

  // An active id naming nothing (or nothing valid) resolves to none.
  write_file(dir_ / "active", "ghost\n");
  EXPECT_EQ(resolve_active_identity(dir_.path()), std::nullopt);
  write_file(dir_ / "active", "../alice");
  EXPECT_EQ(resolve_active_identity(dir_.path()), std::nullopt);
  EXPECT_THAT(load_from_path(dir_ / "identities/alice/identity.json").error(),
              HasSubstr("not a key pair file"));
}

TEST_F(IdentityStore, SetActiveRemoveAndSecure) {
  auto alice = TestIdentity::create(dir_.path(), "alice", "Alice").value();
  auto bob = TestIdentity::create(dir_.path(), "bob", "Bob", false).value();

  EXPECT_THAT(set_active_identity(dir_.path(), "ghost").error(), HasSubstr("does not exist"));
  EXPECT_THAT(set_active_identity(dir_.path(), "../x").error(), HasSubstr("not valid"));
  EXPECT_TRUE(set_active_identity(dir_.path(), "alice"));  // already: a no-op
  ASSERT_TRUE(set_active_identity(dir_.path(), "bob"));
  EXPECT_TRUE(list_identities(dir_.path())->at(1).active);
  EXPECT_FALSE(list_identities(dir_.path())->at(0).active);

  EXPECT_THAT(remove_identity(dir_.path(), "bob").error(), HasSubstr("active identity"));
  ASSERT_TRUE(remove_identity(dir_.path(), "alice"));
  EXPECT_FALSE(fs::exists(dir_ / "identities/alice"));
  EXPECT_THAT(remove_identity(dir_.path(), "alice").error(), HasSubstr("does not exist"));

  const fs::path key = dir_ / "identities/bob/signing.key";
  fs::permissions(key, fs::perms(0640));
  ASSERT_TRUE(secure_identity(dir_.path(), "bob"));
  EXPECT_EQ(mode_of(key), 0600u);
  EXPECT_EQ(list_identities(dir_.path())->at(0).protection, Protection::PrivateFile);
  EXPECT_EQ(load_from_path(key)->public_key(), bob.public_key());
  EXPECT_TRUE(secure_identity(dir_.path(), "bob"));  // already protected
  fs::remove(key);
  EXPECT_THAT(secure_identity(dir_.path(), "bob").error(), HasSubstr("no signing key"));
}

TEST_F(IdentityStore, LoadGivesTheActiveProfile) {
  ScopedEnv dir("KALU_IDENTITY_DIR", dir_.path().string());
  EXPECT_EQ(load().error().kind, ErrorKind::NotFound);
  TestIdentity::create(dir_.path(), "bob", "Bob", false).value();
  EXPECT_EQ(load().error(), (IoError{ErrorKind::NotFound, "no active identity"}));
  auto alice = TestIdentity::create(dir_.path(), "alice", "Alice").value();
  auto profile = load();
  ASSERT_TRUE(profile);
  EXPECT_EQ(profile->name, "Alice");
  EXPECT_EQ(profile->public_key, alice.public_key());
  EXPECT_EQ(mode_of(dir_ / "identities/alice/signing.key"), 0600u);
  EXPECT_EQ(mode_of(dir_ / "identities"), 0700u);
}

}  // namespace
