#include "vocabulary/model_providers.h"

#include <gtest/gtest.h>

namespace settings::panes::agent_models {
namespace {

using model_provider::ProviderProtocol;

TEST(ModelProviders, ProtocolsParseOnlyFromTheirExactIds) {
  EXPECT_EQ(parse_provider_protocol("anthropic"), ProviderProtocol::kAnthropic);
  EXPECT_EQ(parse_provider_protocol("openai-compatible"), ProviderProtocol::kOpenAiCompatible);
  for (const char* text : {"Anthropic", "openai", "anthropic ", ""}) {
    EXPECT_EQ(parse_provider_protocol(text).error(), "unsupported provider protocol") << text;
  }
}

TEST(ModelProviders, AModelEntryIsItsNameAndEnabled) {
  const auto entry = provider_model_entry("gpt-x 1");
  EXPECT_EQ(entry, (model_provider::ProviderModel{"gpt-x 1", "gpt-x 1", 0, true}));
}

}  // namespace
}  // namespace settings::panes::agent_models
