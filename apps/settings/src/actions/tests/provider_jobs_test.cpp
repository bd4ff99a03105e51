// The provider card's jobs on a configuration folder of the test's own: what
// each stores, the sentence it publishes, and the key field emptied whatever
// the outcome.

#include "actions/provider_jobs.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "model_provider/config.h"
#include "model_provider/gateway.h"
#include "prefs_store/paths.h"
#include "sim_device/state.h"

namespace settings::actions {
namespace {

using model_provider::ProviderConfig;
using model_provider::ProviderProfile;

class ProviderJobsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ProviderConfig config = ProviderConfig::load();
    ProviderProfile profile;
    profile.id = "team";
    profile.label = "Team";
    profile.endpoint = "https://old";
    profile.model = "m0";
    profile.models.push_back({"m0", "m0", 0, true});
    config.upsert(profile);
    ASSERT_TRUE(config.save());
  }

  ProviderProfile stored() {
    const ProviderConfig config = ProviderConfig::load();
    const ProviderProfile* profile = config.find("team");
    EXPECT_NE(profile, nullptr);
    return profile ? *profile : ProviderProfile{};
  }

  std::string run(const std::function<void()>& job) {
    status_->publish(std::nullopt);
    job();
    return status_->get().value_or("(nothing published)");
  }

  ProviderDetailCells cells(std::string name, std::string endpoint, std::string model) {
    return {kalu_ui::WakeSlot<std::string>::create(std::move(name)),
            kalu_ui::WakeSlot<std::string>::create(std::move(endpoint)),
            kalu_ui::WakeSlot<std::string>::create(std::move(model))};
  }

  std::shared_ptr<kalu_ui::secret::SecretBuffer> key_field(std::string_view typed) {
    auto buffer = kalu_ui::secret::SecretBuffer::create();
    buffer->lock().assign(typed);
    return buffer;
  }

  sim_device::ScopedDeviceState device_;
  prefs_store::ScopedConfigDir config_{device_.dir() / "config"};
  ProviderStatusCell status_ = operations::AgentModelsStatusCell::create(std::nullopt);
};

TEST_F(ProviderJobsTest, SaveDetailsKeepsNameAndEndpointAsTypedAndTheModelTrimmedOnce) {
  EXPECT_EQ(run(save_details_job("team", cells(" Work ", "https://new ", "   "), status_)),
            "Provider details saved.");
  ProviderProfile profile = stored();
  EXPECT_EQ(profile.label, " Work ");
  EXPECT_EQ(profile.endpoint, "https://new ");
  EXPECT_EQ(profile.model, "m0");  // a blank model keeps the default
  EXPECT_EQ(profile.models.size(), 1u);

  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(run(save_details_job("team", cells("Work", "https://new", " m1 "), status_)),
              "Provider details saved.");
  }
  profile = stored();
  EXPECT_EQ(profile.model, "m1");
  ASSERT_EQ(profile.models.size(), 2u);
  EXPECT_EQ(profile.models[1].id, "m1");
  EXPECT_EQ(profile.models[1].label, "m1");
}

TEST_F(ProviderJobsTest, SaveDetailsReportsAProviderGoneAndAConfigurationItCannotWrite) {
  ProviderConfig config = ProviderConfig::load();
  config.remove("team");
  ASSERT_TRUE(config.save());
  EXPECT_EQ(run(save_details_job("team", cells("Work", "https://e", "m1"), status_)),
            "Provider details were not saved: Provider is no longer available.");
  EXPECT_EQ(ProviderConfig::load().find("team"), nullptr);  // not recreated

  const auto file = *ProviderConfig::load().file();
  std::ofstream(file) << "not json";
  // A configuration that does not read says so, and stays as it is.
  const std::string sentence =
      run(save_details_job("team", cells("Work", "https://e", "m1"), status_));
  EXPECT_TRUE(
      sentence.starts_with("Provider details were not saved: the provider configuration "
                           "could not be read: "))
      << sentence;
  std::ifstream in(file);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "not json");
}

TEST_F(ProviderJobsTest, StoreKeyEmptiesTheFieldAndRefusesAnEmptyKey) {
  auto key = key_field("  sk-live-1\n");
  EXPECT_EQ(run(store_key_job("team", key, status_)), "API key saved in the Kalu vault.");
  EXPECT_TRUE(key->empty());
  EXPECT_EQ(kalu_model_gateway::secret_configured("team"), true);
  auto taken = kalu_model_gateway::take_api_key("team");
  ASSERT_TRUE(taken && *taken);
  EXPECT_EQ((*taken)->view(), "sk-live-1");
  ASSERT_TRUE(
      kalu_model_gateway::set_api_key("team", kalu_ui::secret::SecretText::copy_of("sk-live-1")));

  for (std::string_view blank : {"", " \t\n"}) {
    auto empty = key_field(blank);
    EXPECT_EQ(run(store_key_job("team", empty, status_)),
              "API key was not saved: the key field is empty.");
    EXPECT_TRUE(empty->empty());
  }
  auto kept = kalu_model_gateway::take_api_key("team");
  ASSERT_TRUE(kept && *kept);
  EXPECT_EQ((*kept)->view(), "sk-live-1");  // the working key stays

  // A vault that cannot be read refuses the key; the field is emptied too.
  const auto vault = *kalu_model_gateway::vault_file();
  std::ofstream(vault, std::ios::trunc) << "damaged";
  auto refused = key_field("sk-2");
  const std::string sentence = run(store_key_job("team", refused, status_));
  EXPECT_TRUE(sentence.starts_with("API key was not saved: ")) << sentence;
  EXPECT_NE(sentence, "API key was not saved: the key field is empty.");
  EXPECT_TRUE(refused->empty());
}

TEST_F(ProviderJobsTest, RemoveKeyReportsTheGatewayAnswer) {
  ASSERT_TRUE(kalu_model_gateway::set_api_key("team", kalu_ui::secret::SecretText::copy_of("sk")));
  EXPECT_EQ(run(remove_key_job("team", status_)), "API key removed from the Kalu vault.");
  EXPECT_EQ(kalu_model_gateway::secret_configured("team"), false);

  std::ofstream(*kalu_model_gateway::vault_file(), std::ios::trunc) << "damaged";
  const std::string sentence = run(remove_key_job("team", status_));
  EXPECT_TRUE(sentence.starts_with("API key was not removed: credential vault could not be read"))
      << sentence;
}

}  // namespace
}  // namespace settings::actions
