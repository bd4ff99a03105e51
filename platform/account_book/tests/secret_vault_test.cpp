#include "account_book/secret_vault.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "prefs_store/paths.h"
#include "temp_root.h"

namespace account_book {
namespace {

using kalu_ui::secret::SecretText;
using testing::TempRoot;

constexpr const char* kPassword = "correct horse battery staple";

SecretVault saved_vault(const TempRoot& root) {
  SecretVault vault = SecretVault::open_in(root.path());
  vault.put("me@example.org", SecretText::copy_of(kPassword));
  vault.put("webdav-1", SecretText::copy_of("app-password"));
  EXPECT_TRUE(vault.try_save().has_value());
  return vault;
}

TEST(SecretVault, RoundTripOwnerOnlyFilesAndNoPlaintext) {
  TempRoot root;
  {
    SecretVault fresh = SecretVault::open_in(root.path());
    EXPECT_EQ(fresh.read_error(), std::nullopt);
    EXPECT_EQ(fresh.get("me@example.org"), std::nullopt);
  }
  saved_vault(root);
  EXPECT_EQ(root.mode("vault"), 0700);
  EXPECT_EQ(root.mode("vault/vault.enc"), 0600);
  EXPECT_EQ(root.mode("vault/vault.key"), 0600);
  EXPECT_EQ(root.read("vault/vault.key").size(), 32u);
  const std::string sealed = root.read("vault/vault.enc");
  EXPECT_EQ(sealed.find(kPassword), std::string::npos);
  EXPECT_EQ(sealed.find("me@example.org"), std::string::npos);

  SecretVault reopened = SecretVault::open_in(root.path());
  EXPECT_EQ(reopened.read_error(), std::nullopt);
  ASSERT_TRUE(reopened.get("me@example.org").has_value());
  EXPECT_EQ(reopened.get("me@example.org")->view(), kPassword);
  EXPECT_EQ(reopened.get("webdav-1")->view(), "app-password");

  // The key stays; every save draws a fresh nonce.
  const std::string key = root.read("vault/vault.key");
  EXPECT_TRUE(reopened.remove("webdav-1"));
  EXPECT_FALSE(reopened.remove("webdav-1"));
  ASSERT_TRUE(reopened.try_save().has_value());
  ASSERT_TRUE(reopened.try_save().has_value());
  const std::string resealed = root.read("vault/vault.enc");
  EXPECT_EQ(root.read("vault/vault.key"), key);
  reopened.put("me@example.org", SecretText::copy_of(kPassword));
  ASSERT_TRUE(reopened.try_save().has_value());
  EXPECT_NE(root.read("vault/vault.enc"), resealed);
  EXPECT_EQ(SecretVault::open_in(root.path()).get("webdav-1"), std::nullopt);
}

// A vault that exists but cannot be read answers nothing and is never
// replaced.
TEST(SecretVault, UnreadableVaultIsNeverReplaced) {
  struct Case {
    const char* name;
    std::function<void(const TempRoot&)> damage;
    const char* reason;
  };
  const Case cases[] = {
      {"flipped ciphertext byte",
       [](const TempRoot& root) {
         std::string sealed = root.read("vault/vault.enc");
         sealed[sealed.size() / 2] ^= 0x01;
         root.put("vault/vault.enc", sealed);
       },
       "failed authentication"},
      {"flipped version byte",
       [](const TempRoot& root) {
         std::string sealed = root.read("vault/vault.enc");
         sealed[4] = 9;
         root.put("vault/vault.enc", sealed);
       },
       "vault format 9"},
      {"missing key",
       [](const TempRoot& root) { std::filesystem::remove(root.path() / "vault/vault.key"); },
       "is missing"},
      {"short key", [](const TempRoot& root) { root.put("vault/vault.key", "short"); },
       "is damaged"},
      {"another key",
       [](const TempRoot& root) { root.put("vault/vault.key", std::string(32, 'k')); },
       "failed authentication"},
      {"not a vault", [](const TempRoot& root) { root.put("vault/vault.enc", "hello"); },
       "is not a credential vault"},
      {"directory in its place",
       [](const TempRoot& root) {
         std::filesystem::remove(root.path() / "vault/vault.enc");
         std::filesystem::create_directories(root.path() / "vault/vault.enc/inner");
       },
       "could not read"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TempRoot root;
    saved_vault(root);
    c.damage(root);
    const std::string before = std::filesystem::is_regular_file(root.path() / "vault/vault.enc")
                                   ? root.read("vault/vault.enc")
                                   : "";
    SecretVault vault = SecretVault::open_in(root.path());
    ASSERT_TRUE(vault.read_error().has_value());
    EXPECT_NE(vault.read_error()->find(c.reason), std::string::npos) << *vault.read_error();
    EXPECT_EQ(vault.get("me@example.org"), std::nullopt);
    EXPECT_FALSE(vault.remove("me@example.org"));
    vault.put("new", SecretText::copy_of("x"));
    auto saved = vault.try_save();
    ASSERT_FALSE(saved.has_value());
    EXPECT_EQ(saved.error(), "credential vault could not be read: " + *vault.read_error());
    if (!before.empty()) {
      EXPECT_EQ(root.read("vault/vault.enc"), before);
    }
  }
}

TEST(SecretVault, WithoutConfigurationDirectoryHoldsNothing) {
  prefs_store::ScopedConfigDir none("");
  SecretVault vault = SecretVault::open();
  EXPECT_EQ(vault.file(), std::nullopt);
  vault.put("a", SecretText::copy_of("b"));
  auto saved = vault.try_save();
  ASSERT_FALSE(saved.has_value());
  EXPECT_EQ(saved.error(), "no config dir");
}

TEST(SecretVault, DefaultVaultLivesUnderTheConfigurationFolder) {
  TempRoot config;
  prefs_store::ScopedConfigDir guard(config.path());
  SecretVault vault = SecretVault::open();
  vault.put("a", SecretText::copy_of("b"));
  ASSERT_TRUE(vault.try_save().has_value());
  EXPECT_EQ(config.mode("kalu/vault/vault.enc"), 0600);
  EXPECT_EQ(SecretVault::open_in(config.path() / "kalu").get("a")->view(), "b");
}

}  // namespace
}  // namespace account_book
