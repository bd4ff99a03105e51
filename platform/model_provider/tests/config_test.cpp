#include "model_provider/config.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "temp_config.h"

namespace model_provider {
namespace {

using testing::TempConfig;

constexpr const char* kFile = "model-providers.json";

ProviderProfile anthropic_profile() {
  ProviderProfile p;
  p.id = "anthropic-1";
  p.label = " Work ";
  p.endpoint = "https://models.example.org/v1";
  p.models = {ProviderModel{"m1", "Model one", 200000, true}, ProviderModel{"m2", "m2", 0, false}};
  p.model = "m1";
  p.api_key_ref = "anthropic-1";
  p.protocol = ProviderProtocol::kAnthropic;
  p.enabled = false;
  p.location = ProviderLocation::kPrivateNetwork;
  return p;
}

TEST(ProviderConfig, SavesTheStoredFormOwnerOnlyAndReadsItBack) {
  TempConfig config;
  ProviderConfig empty = ProviderConfig::load();
  EXPECT_EQ(empty.read_error(), std::nullopt);
  EXPECT_TRUE(empty.providers.empty());
  ASSERT_EQ(empty.file(), config.at(kFile));

  ProviderConfig changed = ProviderConfig::load();
  changed.upsert(anthropic_profile());
  ProviderProfile bare;
  bare.id = "local-1";
  bare.location = ProviderLocation::kThisDevice;
  changed.upsert(bare);
  changed.default_provider = "anthropic-1";
  ASSERT_TRUE(changed.save().has_value());
  EXPECT_EQ(config.mode(kFile), 0600);
  EXPECT_EQ(config.read(kFile), R"({
  "default_provider": "anthropic-1",
  "providers": [
    {
      "id": "anthropic-1",
      "label": " Work ",
      "endpoint": "https://models.example.org/v1",
      "protocol": "anthropic",
      "location": "private-network",
      "enabled": false,
      "model": "m1",
      "api_key_ref": "anthropic-1",
      "models": [
        {
          "id": "m1",
          "label": "Model one",
          "context_window": 200000,
          "enabled": true
        },
        {
          "id": "m2",
          "label": "m2",
          "context_window": 0,
          "enabled": false
        }
      ]
    },
    {
      "id": "local-1",
      "label": "",
      "endpoint": "",
      "protocol": "openai-compatible",
      "location": "local",
      "enabled": true,
      "model": null,
      "api_key_ref": null,
      "models": []
    }
  ]
})");
  ProviderConfig reread = ProviderConfig::load();
  EXPECT_EQ(reread.read_error(), std::nullopt);
  EXPECT_EQ(reread.providers, changed.providers);
  EXPECT_EQ(reread.default_provider, "anthropic-1");
}

TEST(ProviderConfig, LeftOutFieldsTakeDefaultsAndUnknownOnesAreSkipped) {
  TempConfig config;
  config.put(kFile, R"({"providers":[{"id":"p","future":1,"models":[{"id":"m"}]}],"extra":[]})");
  ProviderConfig read = ProviderConfig::load();
  ASSERT_EQ(read.read_error(), std::nullopt);
  ASSERT_EQ(read.providers.size(), 1u);
  const ProviderProfile& p = read.providers[0];
  EXPECT_EQ(p.id, "p");
  EXPECT_EQ(p.protocol, ProviderProtocol::kOpenAiCompatible);
  EXPECT_EQ(p.location, ProviderLocation::kHosted);
  EXPECT_TRUE(p.enabled);
  EXPECT_EQ(p.model, std::nullopt);
  EXPECT_EQ(p.models, (std::vector<ProviderModel>{ProviderModel{"m", "", 0, true}}));
  EXPECT_EQ(read.default_provider, std::nullopt);
}

// A file that does not read is kept: the configuration loads empty, says
// why, and refuses to save over it.
TEST(ProviderConfig, AnUnreadableFileLoadsEmptyAndIsNeverReplaced) {
  struct Case {
    const char* content;
    const char* why;
  };
  const Case cases[] = {
      {"{not json", "parse error"},
      {"[]", "expected an object, found an array"},
      {R"({"providers":{}})", "providers: expected an array, found an object"},
      {R"({"default_provider":3})",
       "default_provider: expected a string or null, found an integer"},
      {R"({"providers":[{"label":"x"}]})", "providers[0].id: missing"},
      {R"({"providers":[{"id":"a"},{"id":"b","enabled":"yes"}]})",
       "providers[1].enabled: expected a boolean, found a string"},
      {R"({"providers":[{"id":"a","protocol":"Anthropic"}]})",
       "providers[0].protocol: unknown protocol \"Anthropic\""},
      {R"({"providers":[{"id":"a","location":"moon"}]})",
       "providers[0].location: unknown location \"moon\""},
      {R"({"providers":[{"id":"a","model":5}]})",
       "providers[0].model: expected a string or null, found an integer"},
      {R"({"providers":[{"id":"a","models":[{"label":"m"}]}]})",
       "providers[0].models[0].id: missing"},
      {R"({"providers":[{"id":"a","models":[{"id":"m","context_window":-1}]}]})",
       "providers[0].models[0].context_window: expected an unsigned integer, found an integer"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.content);
    TempConfig config;
    config.put(kFile, c.content);
    ProviderConfig read = ProviderConfig::load();
    EXPECT_TRUE(read.providers.empty());
    ASSERT_TRUE(read.read_error().has_value());
    EXPECT_NE(read.read_error()->find(c.why), std::string::npos) << *read.read_error();
    read.upsert(ProviderProfile::hosted(ProviderProtocol::kAnthropic));
    auto saved = read.save();
    ASSERT_FALSE(saved.has_value());
    EXPECT_EQ(saved.error(), "the provider configuration could not be read: " + *read.read_error());
    EXPECT_EQ(config.read(kFile), c.content);
  }
  // A directory in the file's place.
  TempConfig config;
  std::filesystem::create_directories(config.at(kFile));
  ProviderConfig read = ProviderConfig::load();
  EXPECT_TRUE(read.read_error().has_value());
  EXPECT_FALSE(read.save().has_value());
}

TEST(ProviderConfig, WithoutAConfigurationDirectoryNothingIsSaved) {
  prefs_store::ScopedConfigDir none("");
  ProviderConfig config = ProviderConfig::load();
  EXPECT_EQ(config.file(), std::nullopt);
  EXPECT_EQ(config.read_error(), std::nullopt);
  EXPECT_EQ(config.save().error(), "no config dir");
}

TEST(ProviderConfig, UpsertReplacesByIdAndRemoveClearsTheDefault) {
  ProviderConfig config;
  ProviderProfile a = anthropic_profile();
  config.upsert(a);
  ProviderProfile b;
  b.id = "b";
  config.upsert(b);
  a.label = "renamed";
  config.upsert(a);
  ASSERT_EQ(config.providers.size(), 2u);
  EXPECT_EQ(config.providers[0].label, "renamed");
  EXPECT_EQ(config.find("b"), &config.providers[1]);
  EXPECT_EQ(config.find("B"), nullptr);

  config.default_provider = "anthropic-1";
  EXPECT_FALSE(config.remove("missing"));
  EXPECT_EQ(config.default_provider, "anthropic-1");
  EXPECT_TRUE(config.remove("anthropic-1"));
  EXPECT_EQ(config.default_provider, std::nullopt);
  ASSERT_EQ(config.providers.size(), 1u);
  EXPECT_EQ(config.providers[0].id, "b");
}

TEST(ProviderProfile, HostedProfilesGetFreshIdsAndTheirProtocolsDefaults) {
  std::set<std::string> ids;
  for (int i = 0; i < 50; ++i) {
    ProviderProfile p = ProviderProfile::hosted(ProviderProtocol::kOpenAiCompatible);
    EXPECT_TRUE(p.id.starts_with("openai-compatible-")) << p.id;
    EXPECT_EQ(p.id.size(), std::string("openai-compatible-").size() + 8);
    ids.insert(p.id);
  }
  EXPECT_EQ(ids.size(), 50u);
  ProviderProfile a = ProviderProfile::hosted(ProviderProtocol::kAnthropic);
  EXPECT_TRUE(a.id.starts_with("anthropic-"));
  EXPECT_EQ(a.protocol, ProviderProtocol::kAnthropic);
  EXPECT_TRUE(a.is_hosted());
  EXPECT_TRUE(a.enabled);
  EXPECT_EQ(a.model, std::nullopt);
  EXPECT_TRUE(a.endpoint.starts_with("https://"));
  EXPECT_EQ(a.display_label(), "Anthropic");
  a.label = " \t";
  EXPECT_EQ(a.display_label(), a.id);
}

TEST(ProviderProfile, TheLocalProfileIsAnOpenAiCompatibleServiceOnThisDevice) {
  const ProviderProfile local = ProviderProfile::local_vllm();
  EXPECT_TRUE(local.is_local_vllm_candidate());
  EXPECT_FALSE(local.enabled);
  EXPECT_FALSE(local.is_hosted());
  ProviderProfile anthropic_here = local;
  anthropic_here.protocol = ProviderProtocol::kAnthropic;
  EXPECT_FALSE(anthropic_here.is_local_vllm_candidate());
  ProviderProfile private_network = local;
  private_network.location = ProviderLocation::kPrivateNetwork;
  EXPECT_FALSE(private_network.is_local_vllm_candidate());
  EXPECT_FALSE(
      ProviderProfile::hosted(ProviderProtocol::kOpenAiCompatible).is_local_vllm_candidate());
}

TEST(ProviderConfig, ValidationNamesWhatKeepsAgentsFromAProvider) {
  ProviderConfig config;
  EXPECT_TRUE(config.validation_errors().empty());
  ProviderProfile good = anthropic_profile();
  good.enabled = true;
  ProviderProfile no_endpoint = ProviderProfile::hosted(ProviderProtocol::kOpenAiCompatible);
  no_endpoint.id = "compat";
  ProviderProfile disabled_without_endpoint = no_endpoint;
  disabled_without_endpoint.id = "off";
  disabled_without_endpoint.label = "Off";
  disabled_without_endpoint.enabled = false;
  ProviderProfile not_a_url = good;
  not_a_url.id = "ftp";
  not_a_url.label = "";
  not_a_url.endpoint = "ftp://models.example.org";
  ProviderProfile twice = good;
  config.providers = {good, no_endpoint, disabled_without_endpoint, not_a_url, twice};
  config.default_provider = "off";
  std::vector<std::string> texts;
  for (const auto& error : config.validation_errors()) texts.push_back(error.text);
  EXPECT_EQ(texts, (std::vector<std::string>{"OpenAI-compatible API has no endpoint",
                                             "ftp: the endpoint is not an http or https URL",
                                             "provider id \"anthropic-1\" is used more than once",
                                             "the default provider Off is disabled"}));
  config.default_provider = "gone";
  EXPECT_EQ(config.validation_errors().back().text,
            "the default provider \"gone\" is not configured");
  EXPECT_EQ(config.validation_errors().back().provider_id, "");
}

TEST(ProviderProtocol, IdsAreExact) {
  EXPECT_EQ(protocol_from_id("anthropic"), ProviderProtocol::kAnthropic);
  EXPECT_EQ(protocol_from_id("openai-compatible"), ProviderProtocol::kOpenAiCompatible);
  EXPECT_EQ(protocol_from_id("Anthropic"), std::nullopt);
  EXPECT_EQ(protocol_from_id(" anthropic"), std::nullopt);
  EXPECT_EQ(protocol_id(ProviderProtocol::kAnthropic), "anthropic");
  EXPECT_EQ(protocol_id(ProviderProtocol::kOpenAiCompatible), "openai-compatible");
}

}  // namespace
}  // namespace model_provider
