#include "model_provider/gateway.h"

#include <gtest/gtest.h>

#include "account_book/paths.h"
#include "temp_config.h"

namespace kalu_model_gateway {
namespace {

using kalu_ui::secret::SecretText;
using model_provider::testing::TempConfig;

constexpr const char* kKey = "sk-test-0123456789";
constexpr const char* kVault = "model-gateway/keys.enc";

TEST(ModelGateway, KeysLiveInTheirOwnOwnerOnlyVault) {
  TempConfig config;
  EXPECT_EQ(vault_file(), config.at(kVault));
  EXPECT_EQ(secret_configured("p1"), false);
  ASSERT_TRUE(set_api_key("p1", SecretText::copy_of(kKey)).has_value());
  ASSERT_TRUE(set_api_key("p2", SecretText::copy_of("other")).has_value());
  EXPECT_EQ(secret_configured("p1"), true);
  EXPECT_EQ(config.mode(kVault), 0600);
  EXPECT_EQ(config.mode("model-gateway/vault.key"), 0600);
  EXPECT_EQ(config.read(kVault).find(kKey), std::string::npos);
  // The accounts' vault is another file and stays untouched.
  EXPECT_FALSE(std::filesystem::exists(account_book::vault_file_in(*account_book::config_root())));

  auto taken = take_api_key("p1");
  ASSERT_TRUE(taken.has_value());
  ASSERT_TRUE(taken->has_value());
  EXPECT_EQ((*taken)->view(), kKey);
  EXPECT_EQ(secret_configured("p1"), false);
  EXPECT_EQ(secret_configured("p2"), true);

  // Removing a key that is not there succeeds and writes nothing.
  const std::string sealed = config.read(kVault);
  EXPECT_TRUE(remove_api_key("p1").has_value());
  EXPECT_EQ(config.read(kVault), sealed);
  auto none = take_api_key("p1");
  ASSERT_TRUE(none.has_value());
  EXPECT_FALSE(none->has_value());
  EXPECT_TRUE(remove_api_key("p2").has_value());
  EXPECT_EQ(secret_configured("p2"), false);
}

TEST(ModelGateway, RefusesEmptyIdsAndBlankKeys) {
  TempConfig config;
  EXPECT_EQ(set_api_key("", SecretText::copy_of(kKey)).error(), "provider id is empty");
  EXPECT_EQ(set_api_key("p", SecretText::copy_of(" \t\n")).error(), "API key is empty");
  EXPECT_EQ(set_api_key("p", SecretText()).error(), "API key is empty");
  EXPECT_FALSE(std::filesystem::exists(config.at(kVault)));
}

TEST(ModelGateway, AnUnreadableVaultAnswersErrorsAndIsNotReplaced) {
  TempConfig config;
  ASSERT_TRUE(set_api_key("p1", SecretText::copy_of(kKey)).has_value());
  config.put("model-gateway/vault.key", "short");
  const std::string sealed = config.read(kVault);
  auto configured = secret_configured("p1");
  ASSERT_FALSE(configured.has_value());
  EXPECT_TRUE(configured.error().starts_with("credential vault could not be read: "))
      << configured.error();
  EXPECT_FALSE(remove_api_key("p1").has_value());
  EXPECT_FALSE(set_api_key("p2", SecretText::copy_of("x")).has_value());
  EXPECT_EQ(config.read(kVault), sealed);
}

TEST(ModelGateway, WithoutAConfigurationDirectoryEveryCallFails) {
  prefs_store::ScopedConfigDir none("");
  EXPECT_EQ(vault_file(), std::nullopt);
  EXPECT_EQ(set_api_key("p", SecretText::copy_of(kKey)).error(), "no config dir");
  EXPECT_EQ(remove_api_key("p").error(), "no config dir");
  EXPECT_EQ(secret_configured("p").error(), "no config dir");
}

}  // namespace
}  // namespace kalu_model_gateway
