// The Agent Models page in the headless harness: its words, the cards by
// the pane's state, the hosted providers card with its drafts and jobs, the
// API key kept out of everything outward, and renders to look at.

#include "panes/agent_models/page.h"

#include <fmt/format.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "kalu_ui/widget/progress_bar.h"
#include "kalu_ui/widget/text_input.h"
#include "model_provider/gateway.h"
#include "panes/agent_models/tests/page_fixture.h"

namespace settings::panes::agent_models {
namespace {

using namespace testing;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::IsSupersetOf;
using ::testing::Not;
namespace acc = stored::accelerator;

TEST(AgentModelsWords, GibPhasesProgressAndAccelerator) {
  EXPECT_EQ(format_gib(1'610'612'736), "1.5 GiB");
  EXPECT_EQ(format_gib(0), "0.0 GiB");

  struct PhaseCase {
    stored::LocalModelPhase phase;
    std::string_view label;
    std::optional<double> progress;
  };
  const std::vector<PhaseCase> phases = {
      {ph::Downloading{1, 4}, "Downloading", 0.25},
      {ph::Downloading{0, 0}, "Downloading", std::nullopt},
      {ph::Installing{40, "Unpacking"}, "Installing", 0.4},
      {ph::Installing{std::nullopt, "Verifying"}, "Installing", std::nullopt},
      {ph::Ready{false, std::nullopt}, "Ready", std::nullopt},
      {ph::Ready{true, std::nullopt}, "Running", std::nullopt},
      {ph::Error{"x"}, "Needs attention", std::nullopt},
  };
  for (const auto& c : phases) {
    EXPECT_EQ(phase_label(c.phase), c.label);
    EXPECT_EQ(phase_progress(c.phase), c.progress) << c.label;
  }

  const std::vector<std::pair<stored::AcceleratorSetupState, std::string_view>> states = {
      {acc::Available{}, "Ready to set up"},
      {acc::Queued{}, "Queued"},
      {acc::Staging{}, "Staging"},
      {acc::RestartRequired{}, "Restart required"},
      {acc::Active{}, "Active"},
      {acc::Error{"x"}, "Needs attention"},
  };
  for (const auto& [state, label] : states) EXPECT_EQ(accelerator_status_label(state), label);

  EXPECT_EQ(fit_label(stored::HardwareFit::Excellent), "Excellent fit");
  EXPECT_EQ(fit_label(stored::HardwareFit::Good), "Good fit");
  EXPECT_EQ(fit_label(stored::HardwareFit::Tight), "Will run, with limits");
  EXPECT_EQ(fit_label(stored::HardwareFit::Unsupported), "Not enough memory");
}

class AgentModelsPageTest : public ::testing::Test {
 protected:
  kalu_ui::harness::Harness& show() {
    harness_.reset();
    harness_.emplace(page_.build(state_.view()), kalu_ui::harness::Options::sized({1280, 6000}));
    harness_->frame();
    return *harness_;
  }
  kalu_ui::Widget& root() { return harness_->root(); }
  const w::Button* button(std::string_view id) {
    return dynamic_cast<const w::Button*>(harness_->find(id));
  }

  ConfigHome home_;
  PaneState state_;
  AgentModelsPage page_;
  std::optional<kalu_ui::harness::Harness> harness_;
};

TEST_F(AgentModelsPageTest, TheNormalPageShowsEveryCardInOrder) {
  show();
  EXPECT_THAT(card_titles(root()),
              ElementsAre("Private by design", "Accelerator support", "Recommended for this device",
                          "Lumen 8B Instruct", "Lumen 1B", "Lumen 3B Instruct", "Model 7B",
                          "Hosted and compatible providers"));
  const auto texts = page_texts(root());
  EXPECT_THAT(texts, IsSupersetOf({"Ready to set up", "Good fit", "16 GiB", "8 GiB", "120 GiB",
                                   "3.0 GiB of 4.0 GiB downloaded · safe to leave this page",
                                   "Verifying the signature", "Running", "Needs attention",
                                   "Retry install", "Remove…", "Stop"}));
  // Accelerator support is not active yet, so local setup waits for it.
  EXPECT_FALSE(button("agent-models-setup-local")->is_enabled());
  EXPECT_TRUE(button("agent-models-accelerator-setup")->is_enabled());
}

// A model's sentence stands in its card under its buttons; one about a model
// no longer listed falls back to the service card.
TEST_F(AgentModelsPageTest, AModelsNoticeStandsInItsCardUnderItsButtons) {
  state_.notice = "Stop failed: the service is busy";
  state_.notice_model = "lumen-3b-instruct";
  show();
  EXPECT_THAT(card_titles(root()), Not(Contains("Local model service")));
  const auto said = harness_->rect_of(model_notice_id("lumen-3b-instruct"));
  const auto stop = harness_->rect_of(model_button_id(ModelAction::Stop, "lumen-3b-instruct"));
  const auto next_card = harness_->rect_of(model_button_id(ModelAction::Retry, "org/model-7b"));
  ASSERT_TRUE(said && stop && next_card);
  EXPECT_GE(said->y0, stop->y1);
  EXPECT_LT(said->y1, next_card->y0);

  state_.notice_model = "gone-model";
  show();
  EXPECT_THAT(card_titles(root()), Contains("Local model service"));
  EXPECT_TRUE(has_text(root(), *state_.notice));
}

TEST_F(AgentModelsPageTest, ProgressBarsFollowThePhase) {
  state_.snapshot.models = {installed("a", "A", ph::Downloading{0, 0}),
                            installed("b", "B", ph::Installing{std::nullopt, "Verifying"}),
                            installed("c", "C", ph::Installing{30, "Unpacking"})};
  show();
  std::vector<std::optional<double>> bars;
  for (auto* widget : kalu_ui::frame::collect(root(), [](const kalu_ui::Widget& w) {
         return dynamic_cast<const w::ProgressBar*>(&w) != nullptr;
       })) {
    bars.push_back(static_cast<w::ProgressBar*>(widget)->fraction());
  }
  EXPECT_THAT(bars, ElementsAre(0.0, std::nullopt, 0.3));
  EXPECT_TRUE(has_text(root(), "0.0 GiB of 0.0 GiB downloaded · safe to leave this page"));
}

TEST_F(AgentModelsPageTest, LocalSetupIsOfferedOnlyWhenTheDeviceCanTakeIt) {
  struct Case {
    const char* what;
    stored::HardwareFit fit;
    std::optional<stored::AcceleratorSetupState> accelerator;
    bool enabled;
  };
  const std::vector<Case> cases = {
      {"no accelerator setup", stored::HardwareFit::Tight, std::nullopt, true},
      {"staging", stored::HardwareFit::Excellent, acc::Staging{}, false},
      {"queued", stored::HardwareFit::Good, acc::Queued{}, false},
      {"restart required", stored::HardwareFit::Good, acc::RestartRequired{}, false},
      {"active", stored::HardwareFit::Good, acc::Active{}, true},
      {"not enough memory", stored::HardwareFit::Unsupported, std::nullopt, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    state_.snapshot.hardware.fit = c.fit;
    state_.snapshot.accelerator_setup.reset();
    if (c.accelerator)
      state_.snapshot.accelerator_setup = stored::AcceleratorSetup{"pack", *c.accelerator};
    show();
    ASSERT_NE(button("agent-models-setup-local"), nullptr);
    EXPECT_EQ(button("agent-models-setup-local")->is_enabled(), c.enabled);
    EXPECT_EQ(has_text(root(), "Accelerator support"), c.accelerator.has_value());
  }
}

TEST_F(AgentModelsPageTest, ModelButtonsWriteTheirControls) {
  EXPECT_EQ(model_control_id(ModelAction::Start, "org/model-7b"),
            "agent_models.local.start.org_model_7b");
  EXPECT_EQ(model_button_id(ModelAction::Start, "org/model-7b"),
            "agent-models-start-agent_models.local.start.org_model_7b");
  state_.snapshot.models = {installed("org/model-7b", "Model 7B", ph::Ready{})};
  state_.pending_remove = "org/model-7b";
  show();
  ASSERT_NE(button("agent-models-start-agent_models.local.start.org_model_7b"), nullptr);
  EXPECT_EQ(button("agent-models-remove-agent_models.local.remove.org_model_7b")->label(),
            "Confirm remove");
  ASSERT_TRUE(harness_->click_id("agent-models-start-agent_models.local.start.org_model_7b"));
  harness_->frames(2);
  EXPECT_EQ(
      harness_->document().read_bool(kalu_ui::doc::kRoot, "agent_models.local.start.org_model_7b"),
      true);
}

TEST_F(AgentModelsPageTest, TheLicenceStepShowsWhatWillBeDownloaded) {
  state_.pending_install = "lumen-8b-instruct";
  show();
  EXPECT_THAT(page_texts(root()),
              IsSupersetOf({"4.5 GiB", "9.0 GiB", "models.kalu.example/lumen", "2025.03.2",
                            "By continuing, you accept the model license at "
                            "https://models.kalu.example/lumen/LICENSE. Kalu downloads the pinned "
                            "snapshot once and keeps inference on this device.",
                            "Accept license & download", "Cancel"}));
  EXPECT_EQ(button("agent-models-setup-local"), nullptr);
}

TEST_F(AgentModelsPageTest, UnavailableReadingAndEmptyLayouts) {
  state_.service_available = false;
  state_.notice = "model service is unavailable: gone";
  show();
  // The pane still holds the last list; the page shows none of it.
  EXPECT_THAT(card_titles(root()),
              ElementsAre("Private by design", "Local model service unavailable",
                          "Hosted and compatible providers"));
  EXPECT_FALSE(has_text(root(), *state_.notice));

  state_.reading = true;
  show();
  EXPECT_TRUE(has_text(root(), "Reading the local model service…"));
  EXPECT_THAT(card_titles(root()),
              ElementsAre("Private by design", "Hosted and compatible providers"));

  state_ = PaneState{};
  state_.snapshot.models.clear();
  state_.snapshot.recommendation.reset();
  state_.snapshot.accelerator_setup.reset();
  state_.notice = "Provider details saved.";
  show();
  EXPECT_THAT(card_titles(root()),
              ElementsAre("Private by design", "Local model service", "Recommended for this device",
                          "Models on this device", "Hosted and compatible providers"));
  EXPECT_THAT(page_texts(root()),
              IsSupersetOf({"Provider details saved.", "Waiting for signed model catalog",
                            "Service unavailable", "Set up unavailable"}));
  EXPECT_FALSE(button("agent-models-setup-unavailable")->is_enabled());
}

TEST_F(AgentModelsPageTest, HostedProvidersLeaveTheLocalProfileOutAndOfferDefaultsByModel) {
  auto local = model_provider::ProviderProfile::local_vllm();
  local.label = "Local gateway";
  local.model = "m";
  home_.save(
      {local, hosted("team", "Team", "claude-x"), hosted("spare", "Spare", std::nullopt),
       hosted("other", "Other", "gpt-y", model_provider::ProviderProtocol::kOpenAiCompatible)},
      "team");
  show();
  EXPECT_FALSE(has_text(root(), "Local gateway"));
  EXPECT_EQ(harness_->find("agent-models-label-local-vllm"), nullptr);
  EXPECT_EQ(button("agent-models-default-team")->label(), "Default for new tasks");
  EXPECT_EQ(button("agent-models-default-other")->label(), "Use by default");
  EXPECT_EQ(button("agent-models-default-spare"), nullptr);
  EXPECT_EQ(button("agent-models-protocol-team")->label(), "Use OpenAI-compatible protocol");
  EXPECT_EQ(button("agent-models-protocol-other")->label(), "Use Anthropic protocol");
  EXPECT_EQ(button("agent-models-enabled-team")->label(), "Disable");
  // Each is bound to the section's action, built from the configuration.
  for (const char* id : {"agent-models-add-anthropic", "agent-models-add-openai",
                         "agent-models-protocol-team", "agent-models-enabled-team",
                         "agent-models-remove-provider-team", "agent-models-default-team"}) {
    EXPECT_TRUE(button(id)->is_enabled()) << id;
  }
  EXPECT_TRUE(has_text(root(), "No API key stored."));
}

TEST_F(AgentModelsPageTest, AButtonTheSectionDoesNotOfferIsDisabled) {
  const kalu_actions::Resource empty;
  auto box = provider_action_button(empty, "b", "Disable", "team", "disable");
  EXPECT_FALSE(box->is_enabled());
}

TEST_F(AgentModelsPageTest, ValidationErrorsAreCaptioned) {
  auto compat =
      hosted("c", "Compat", std::nullopt, model_provider::ProviderProtocol::kOpenAiCompatible);
  compat.endpoint.clear();
  home_.save({compat});
  show();
  EXPECT_TRUE(has_text(root(), "Provider configuration: Compat has no endpoint"));
}

TEST_F(AgentModelsPageTest, ATypedLabelSurvivesARebuildAndIsSavedByItsJob) {
  home_.save({hosted("team", "Team", "claude-x")});
  show();
  ASSERT_TRUE(harness_->click_id("agent-models-label-team"));
  harness_->key(kalu_ui::Key::End);
  harness_->type_text(" Research");
  harness_->frame();
  show();  // a new page, as after the pane marks its structure changed
  const auto* field = dynamic_cast<const w::TextInput*>(harness_->find("agent-models-label-team"));
  ASSERT_NE(field, nullptr);
  EXPECT_EQ(field->text(), "Team Research");
  ASSERT_TRUE(harness_->click_id("agent-models-save-provider-team"));
  harness_->frame();
  EXPECT_EQ(page_.status()->get(), "Provider details saved.");
  EXPECT_EQ(model_provider::ProviderConfig::load().find("team")->label, "Team Research");
}

// A client's change of the details reaches every field the person has not
// typed into, and "Save details" writes the person's edit over the newest
// stored values, never the older ones the page was built with.
TEST_F(AgentModelsPageTest, DetailsFollowTheStoreAndSaveWritesOnlyTheEdit) {
  home_.save({hosted("team", "Team", "claude-x")});
  show();
  const auto text_of = [&](std::string_view id) {
    const auto* field = dynamic_cast<const w::TextInput*>(harness_->find(id));
    return field == nullptr ? std::string("(none)") : field->text();
  };
  ASSERT_TRUE(harness_->click_id("agent-models-model-team"));
  harness_->key(kalu_ui::Key::End);
  harness_->type_text("-2");
  harness_->frame();
  auto changed = hosted("team", "Team Lab", "claude-x");
  changed.endpoint = "https://lab.example.com/v1";
  home_.save({changed});
  show();  // the pane rebuilds its page when the application changed a provider
  EXPECT_EQ(text_of("agent-models-label-team"), "Team Lab");
  EXPECT_EQ(text_of("agent-models-url-team"), "https://lab.example.com/v1");
  EXPECT_EQ(text_of("agent-models-model-team"), "claude-x-2");

  // Changed once more while this page stands; the button is pressed before
  // any rebuild.
  changed.label = "Team Lab 2";
  home_.save({changed});
  ASSERT_TRUE(harness_->click_id("agent-models-save-provider-team"));
  harness_->frame();
  EXPECT_EQ(page_.status()->get(), "Provider details saved.");
  const auto config = model_provider::ProviderConfig::load();
  const auto* stored = config.find("team");
  ASSERT_NE(stored, nullptr);
  EXPECT_EQ(stored->label, "Team Lab 2");
  EXPECT_EQ(stored->endpoint, "https://lab.example.com/v1");
  EXPECT_EQ(stored->model, "claude-x-2");
  show();
  EXPECT_EQ(text_of("agent-models-label-team"), "Team Lab 2");
  EXPECT_EQ(text_of("agent-models-model-team"), "claude-x-2");
}

TEST_F(AgentModelsPageTest, SaveKeyStoresItAndLeavesNoByteOfItAnywhere) {
  home_.save({hosted("team", "Team", "claude-x")});
  show();
  const std::string key = "sk-very-secret-4711";
  ASSERT_TRUE(harness_->click_id("agent-models-api-key-team"));
  harness_->type_text(key);
  harness_->frame();
  EXPECT_EQ(outward_texts(root(), harness_->document()).find("4711"), std::string::npos);
  ASSERT_TRUE(harness_->click_id("agent-models-set-api-key-team"));
  harness_->frames(2);
  EXPECT_EQ(page_.status()->get(), "API key saved in the Kalu vault.");
  EXPECT_EQ(kalu_model_gateway::secret_configured("team"), true);
  const auto fields = page_.drafts()->fields(hosted("team", "", std::nullopt));
  EXPECT_TRUE(fields.key->empty());
  EXPECT_EQ(outward_texts(root(), harness_->document()).find("4711"), std::string::npos);
  show();
  EXPECT_EQ(button("agent-models-set-api-key-team")->label(), "Replace key");
  EXPECT_TRUE(has_text(root(), "API key is stored in the Kalu vault."));
  ASSERT_TRUE(harness_->click_id("agent-models-remove-api-key-team"));
  harness_->frame();
  EXPECT_EQ(page_.status()->get(), "API key removed from the Kalu vault.");
}

// A job's sentence also stands in the block of the provider whose button
// ran it, below that button and above the next provider, until the next job.
TEST_F(AgentModelsPageTest, AJobsSentenceStandsInItsProvidersBlock) {
  home_.save({hosted("team", "Team", "claude-x"), hosted("lab", "Lab", "m1"),
              hosted("spare", "Spare", std::nullopt)});
  show();
  const auto status_of = [&](std::string_view id) -> std::optional<std::string> {
    const auto* text =
        dynamic_cast<const w::Text*>(harness_->find(fmt::format("agent-models-job-status-{}", id)));
    if (text == nullptr) return std::nullopt;
    return text->text();
  };
  EXPECT_EQ(status_of("lab"), std::nullopt);
  ASSERT_TRUE(harness_->click_id("agent-models-api-key-lab"));
  harness_->type_text("sk-lab-key");
  ASSERT_TRUE(harness_->click_id("agent-models-set-api-key-lab"));
  show();  // the pane rebuilds its page when it takes the sentence
  EXPECT_EQ(status_of("lab"), "API key saved in the Kalu vault.");
  EXPECT_EQ(status_of("team"), std::nullopt);
  EXPECT_EQ(status_of("spare"), std::nullopt);
  const kalu_ui::Rect shown = *harness_->rect_of("agent-models-job-status-lab");
  EXPECT_GT(shown.y0, harness_->rect_of("agent-models-set-api-key-lab")->y1);
  EXPECT_LT(shown.y1, harness_->rect_of("agent-models-label-spare")->y0);

  // The next job, of another provider, moves it there.
  ASSERT_TRUE(harness_->click_id("agent-models-save-provider-team"));
  show();
  EXPECT_EQ(status_of("team"), "Provider details saved.");
  EXPECT_EQ(status_of("lab"), std::nullopt);
}

TEST_F(AgentModelsPageTest, Renders) {
  const std::string dir = SETTINGS_PANES_AGENT_MODELS_ARTIFACTS;
  home_.save({hosted("team", "Team Anthropic", "claude-x"),
              hosted("lab", "Lab gateway", std::nullopt,
                     model_provider::ProviderProtocol::kOpenAiCompatible)},
             "team");
  auto render = [&](const std::string& name, double height) {
    harness_.reset();
    harness_.emplace(page_.build(state_.view()), kalu_ui::harness::Options::sized({1280, height}));
    harness_->frames(2);
    EXPECT_TRUE(harness_->render_png(dir + "/" + name)) << name;
  };
  render("agent_models.png", 3400);
  state_.pending_install = "lumen-8b-instruct";
  state_.snapshot.models.clear();
  render("agent_models_licence.png", 2200);
  state_.service_available = false;
  render("agent_models_unavailable.png", 1400);
}

}  // namespace
}  // namespace settings::panes::agent_models
