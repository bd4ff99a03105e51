#include <fmt/format.h>
#include <gtest/gtest.h>

#include <cerrno>
#include <fstream>
#include <sstream>
#include <string>

#include "accounts/journal.h"
#include "app_fixture.h"
#include "kalu_ui/widget/button.h"
#include "model_provider/config.h"
#include "model_provider/gateway.h"
#include "operation_fixture.h"
#include "prefs_store/paths.h"
#include "safe_write/safe_write.h"

namespace settings::settings_app {
namespace {

using model_provider::ProviderConfig;
using model_provider::ProviderModel;
using model_provider::ProviderProfile;
using model_provider::ProviderProtocol;
using testing::AppFixture;
using testing::TempDir;

constexpr std::string_view kProviders = "settings.agent-provider-operation";
using enum panes::Pane;

// The application with a configuration directory of its own holding two
// providers: "on" (enabled, model "m1" listed and chosen) and "off"
// (disabled, no model), and an API key for "on".
struct ProviderFixture {
  ProviderFixture() {
    ProviderConfig config = ProviderConfig::load();
    ProviderProfile on;
    on.id = "on";
    on.label = "On";
    on.endpoint = "https://on.example.org/v1";
    on.models = {ProviderModel{"m1", "m1", 0, true}};
    on.model = "m1";
    ProviderProfile off;
    off.id = "off";
    off.enabled = false;
    config.upsert(on);
    config.upsert(off);
    EXPECT_TRUE(config.save().has_value());
    EXPECT_TRUE(kalu_model_gateway::set_api_key("on", kalu_ui::secret::SecretText::copy_of("sk-on"))
                    .has_value());
    t.harness.frame();
  }

  kalu_ui::Result<bool> run(std::string_view payload, kalu_ui::OperationKind kind = 1) {
    return testing::invoke(*t.app, kind, kProviders, payload);
  }
  // Started as a client starts it: what the completed outcome says, or the
  // refusal.
  std::string said(std::string_view payload) {
    const auto outcome = testing::start(*t.app, testing::op_id(1), 1, kProviders, payload);
    if (const auto* done = std::get_if<kalu_ui::DeviceLocalOutcome::Completed>(&outcome.value)) {
      EXPECT_EQ(done->outcome.value_json, nlohmann::json(done->outcome.text).dump());
      return done->outcome.text;
    }
    const auto* refused = std::get_if<kalu_ui::DeviceLocalOutcome::Rejected>(&outcome.value);
    return refused ? "refused: " + refused->message : "not handled";
  }
  std::string file_text() const {
    std::ifstream in(*model_provider::config_file());
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }

  TempDir config_dir;
  prefs_store::ScopedConfigDir scoped{config_dir.path()};
  AppFixture t;
};

kalu_ui::Result<bool> error(std::string text) { return std::unexpected(std::move(text)); }

// Refusals leave the file and the pane as they were.
TEST(ProviderOperations, RefusalsChangeNothing) {
  struct Case {
    kalu_ui::OperationKind kind;
    std::string_view payload;
    std::string message;
  };
  const Case cases[] = {
      {2, R"({"Add":{"protocol":"anthropic"}})",
       "provider configuration requires an effect operation"},
      {0, R"({"Remove":{"id":"on"}})", "provider configuration requires an effect operation"},
      {1, R"({"Add":{"protocol":"Anthropic"}})", "unsupported provider protocol"},
      {1, R"({"SetProtocol":{"id":"gone","protocol":"anthropic"}})",
       "provider is no longer available"},
      {1, R"({"SetProtocol":{"id":"on","protocol":"openai"}})", "unsupported provider protocol"},
      {1, R"({"SetEnabled":{"id":"ON","enabled":false}})", "provider is no longer available"},
      {1, R"({"Remove":{"id":"gone"}})", "provider is no longer available"},
      {1, R"({"SetDefault":{"id":"off"}})", "provider cannot currently be selected as default"},
      {1, R"({"SetDefault":{"id":"gone"}})", "provider cannot currently be selected as default"},
      {1, R"({"SetDetails":{"id":"on","label":" \t","endpoint":"https://x"}})",
       "provider name and endpoint are required"},
      {1, R"({"SetDetails":{"id":"gone","label":"A","endpoint":"  "}})",
       "provider name and endpoint are required"},
      {1, R"({"SetDetails":{"id":"gone","label":"A","endpoint":"https://x"}})",
       "provider is no longer available"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.payload);
    ProviderFixture f;
    const std::string before = f.file_text();
    EXPECT_EQ(f.run(c.payload, c.kind), error(c.message));
    EXPECT_EQ(f.file_text(), before);
    EXPECT_EQ(f.t.app->selected_category(), panes::Pane::kNetwork);
    EXPECT_EQ(kalu_model_gateway::secret_configured("on"), true);
  }
  ProviderFixture f;
  auto unreadable = f.run(R"({"Add":{}})");
  ASSERT_FALSE(unreadable.has_value());
  EXPECT_FALSE(unreadable.error().empty());
  // A disabled provider with a model chosen is no default either.
  ASSERT_EQ(f.run(R"({"SetEnabled":{"id":"on","enabled":false}})"), true);
  EXPECT_EQ(f.run(R"({"SetDefault":{"id":"on"}})"),
            error("provider cannot currently be selected as default"));
  EXPECT_EQ(ProviderConfig::load().default_provider, std::nullopt);
}

TEST(ProviderOperations, EachVariantChangesTheFileAndShowsAgentModels) {
  ProviderFixture f;
  // Started like a client would: offered down the tree, then carried out here.
  const std::string added = f.said(R"({"Add":{"protocol":"anthropic"}})");
  EXPECT_TRUE(added.starts_with("Added provider Anthropic (anthropic-")) << added;
  EXPECT_EQ(f.t.app->selected_category(), kAgentModels);
  ASSERT_EQ(f.run(R"({"Add":{"protocol":"anthropic"}})"), true);
  ASSERT_EQ(f.run(R"({"Add":{"protocol":"openai-compatible"}})"), true);
  ProviderConfig config = ProviderConfig::load();
  ASSERT_EQ(config.providers.size(), 5u);
  EXPECT_NE(config.providers[2].id, config.providers[3].id);
  EXPECT_EQ(config.providers[3].protocol, ProviderProtocol::kAnthropic);
  EXPECT_EQ(config.providers[4].protocol, ProviderProtocol::kOpenAiCompatible);

  // Each says what it did, or that nothing needed doing.
  EXPECT_EQ(f.said(R"({"SetProtocol":{"id":"on","protocol":"anthropic"}})"),
            "On now uses the anthropic protocol.");
  EXPECT_EQ(f.said(R"({"SetEnabled":{"id":"off","enabled":true}})"), "off enabled.");
  EXPECT_EQ(f.said(R"({"SetEnabled":{"id":"off","enabled":true}})"), "off already enabled.");
  EXPECT_EQ(f.said(R"({"SetDefault":{"id":"on"}})"), "On is now the default provider.");
  EXPECT_EQ(f.said(R"({"SetDefault":{"id":"on"}})"), "On is already the default provider.");
  config = ProviderConfig::load();
  EXPECT_EQ(config.find("on")->protocol, ProviderProtocol::kAnthropic);
  EXPECT_TRUE(config.find("off")->enabled);
  EXPECT_EQ(config.default_provider, "on");

  EXPECT_EQ(f.said(R"({"Remove":{"id":"on"}})"), "Removed provider On (on) and its API key.");
  config = ProviderConfig::load();
  EXPECT_EQ(config.find("on"), nullptr);
  EXPECT_EQ(config.default_provider, std::nullopt);
  EXPECT_EQ(kalu_model_gateway::secret_configured("on"), false);
  // A provider without a key goes as well.
  ASSERT_EQ(f.run(R"({"Remove":{"id":"off"}})"), true);
  EXPECT_EQ(ProviderConfig::load().providers.size(), 3u);
}

// With Agent Models already shown, the page follows the file at the next
// frame; the pane is not built again, so its drafts and operations stay.
TEST(ProviderOperations, TheShownPageFollowsTheApplicationsChange) {
  ProviderFixture f;
  f.t.app->select_pane(kAgentModels);
  f.t.harness.frame();
  const int builds = (*f.t.counts)[kAgentModels];
  const auto label = [&] {
    const auto* button =
        dynamic_cast<const kalu_ui::widget::Button*>(f.t.harness.find("agent-models-enabled-on"));
    return button ? button->label() : std::string("(none)");
  };
  ASSERT_EQ(label(), "Disable");
  ASSERT_EQ(f.run(R"({"SetEnabled":{"id":"on","enabled":false}})"), true);
  f.t.harness.frame();
  EXPECT_EQ(label(), "Enable");
  ASSERT_EQ(f.run(R"({"Remove":{"id":"on"}})"), true);
  f.t.harness.frame();
  EXPECT_EQ(label(), "(none)");
  EXPECT_EQ((*f.t.counts)[kAgentModels], builds);
}

TEST(ProviderOperations, DetailsKeepNameAndEndpointAsSentAndTrimTheModel) {
  ProviderFixture f;
  ASSERT_EQ(
      f.run(
          R"({"SetDetails":{"id":"off","label":" Team ","endpoint":" https://t/ ","model":" m2 "}})"),
      true);
  ProviderProfile off = *ProviderConfig::load().find("off");
  EXPECT_EQ(off.label, " Team ");
  EXPECT_EQ(off.endpoint, " https://t/ ");
  EXPECT_EQ(off.model, "m2");
  EXPECT_EQ(off.models, (std::vector<ProviderModel>{ProviderModel{"m2", "m2", 0, true}}));
  EXPECT_EQ(f.t.app->selected_category(), kAgentModels);

  // A model already listed is chosen, not listed twice; an absent or blank
  // one leaves list and choice alone.
  for (std::string_view model : {R"("m2")", "null", R"("  ")"}) {
    SCOPED_TRACE(model);
    ASSERT_EQ(
        f.run(fmt::format(
            R"({{"SetDetails":{{"id":"off","label":"T","endpoint":"e","model":{}}}}})", model)),
        true);
    off = *ProviderConfig::load().find("off");
    EXPECT_EQ(off.model, "m2");
    EXPECT_EQ(off.models.size(), 1u);
  }
  EXPECT_EQ(f.said(R"({"SetDetails":{"id":"on","label":"On","endpoint":"e"}})"),
            "Saved the details of provider On: endpoint e, default model m1.");
  EXPECT_EQ(ProviderConfig::load().find("on")->model, "m1");
}

TEST(ProviderOperations, ARemovalWhoseSaveFailsPutsTheKeyBack) {
  ProviderFixture f;
  const std::string before = f.file_text();
  const auto config_file = *model_provider::config_file();
  safe_write::testing::ScopedRenameHook hook(
      [&](const std::filesystem::path& from, const std::filesystem::path& to) {
        if (to == config_file) return EIO;
        return std::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
      });
  auto answer = f.run(R"({"Remove":{"id":"on"}})");
  ASSERT_FALSE(answer.has_value());
  EXPECT_TRUE(answer.error().starts_with("provider settings were not saved: ")) << answer.error();
  EXPECT_EQ(f.file_text(), before);
  EXPECT_EQ(kalu_model_gateway::secret_configured("on"), true);
  EXPECT_EQ(f.t.app->selected_category(), panes::Pane::kNetwork);
}

TEST(ProviderOperations, AVaultThatCannotBeReadKeepsTheProvider) {
  ProviderFixture f;
  const std::string before = f.file_text();
  std::ofstream(kalu_model_gateway::vault_file()->parent_path() / "vault.key") << "short";
  auto answer = f.run(R"({"Remove":{"id":"on"}})");
  ASSERT_FALSE(answer.has_value());
  EXPECT_TRUE(answer.error().starts_with(
      "provider vault key was not removed: credential vault could not be read: "))
      << answer.error();
  EXPECT_EQ(f.file_text(), before);
}

TEST(ProviderOperations, AnUnreadableConfigurationIsLeftInPlace) {
  ProviderFixture f;
  std::ofstream(*model_provider::config_file()) << R"({"providers":[{"id":7}]})";
  auto answer = f.run(R"({"Add":{"protocol":"anthropic"}})");
  ASSERT_FALSE(answer.has_value());
  EXPECT_TRUE(answer.error().starts_with(
      "provider settings were not saved: the provider configuration could not be read: "))
      << answer.error();
  EXPECT_EQ(f.file_text(), R"({"providers":[{"id":7}]})");
  EXPECT_EQ(f.t.app->selected_category(), panes::Pane::kNetwork);
}

// Provider keys sit in a vault of their own: rolling an account change back
// rewrites the accounts' vault and leaves the provider keys alone.
TEST(ProviderOperations, AccountRollBacksNeverTouchProviderKeys) {
  TempDir dir;
  prefs_store::ScopedConfigDir scoped(dir.path());
  ASSERT_TRUE(accounts::begin_account_mutation(std::nullopt, {}, {}).has_value());
  ASSERT_TRUE(kalu_model_gateway::set_api_key("p", kalu_ui::secret::SecretText::copy_of("sk-p"))
                  .has_value());
  ASSERT_TRUE(accounts::roll_back_account_mutation(std::nullopt).has_value());
  EXPECT_EQ(kalu_model_gateway::secret_configured("p"), true);
}

}  // namespace
}  // namespace settings::settings_app
