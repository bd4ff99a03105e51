#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "actions/doc_readers.h"
#include "kalu_ui/widget/text.h"
#include "operations/keys.h"
#include "panes/agent_models/agent_models_pane.h"
#include "panes/agent_models/tests/fake_backend.h"

namespace settings::panes::agent_models {
namespace {

namespace doc = kalu_ui::doc;
using C = operations::AgentModelOperationCases;
using Completion = operations::OperationCompletion;
using ::testing::Contains;
using ::testing::ElementsAre;
using testing::FakeBackend;
using ::testing::IsEmpty;
using ::testing::Not;
using namespace std::chrono_literals;

stored::LocalModelPackage package(std::string id, std::string name, std::string revision = "r1") {
  stored::LocalModelPackage p;
  p.id = std::move(id);
  p.name = std::move(name);
  p.revision = std::move(revision);
  p.installed_bytes = 1610612736;
  return p;
}

stored::InstalledLocalModel installed(stored::LocalModelPackage p, stored::LocalModelPhase phase) {
  return stored::InstalledLocalModel{std::move(p), std::move(phase)};
}

stored::LocalModelPhase ready(bool running) { return stored::phase::Ready{running, std::nullopt}; }

// A recommendation, a running model, a stopped one whose id needs rewriting,
// and accelerator setup ready to start.
LocalModelSnapshot device() {
  LocalModelSnapshot s;
  s.hardware.fit = stored::HardwareFit::Good;
  s.hardware.memory_gib = 16;
  s.recommendation = package("lumen-8b", "Lumen 8B", "2025.03.2");
  s.models.push_back(installed(package("lumen-3b", "Lumen 3B"), ready(true)));
  s.models.push_back(installed(package("vista/2b", "Vista 2B"), ready(false)));
  s.accelerator_setup = stored::AcceleratorSetup{"pack-1", stored::accelerator::Available{}};
  return s;
}

// The snapshot's model ids and recommendation, enough to tell snapshots apart.
std::vector<std::string> ids(const LocalModelSnapshot& s) {
  std::vector<std::string> out;
  if (s.recommendation) out.push_back("recommended " + s.recommendation->id);
  for (const auto& m : s.models) out.push_back(m.package.id);
  return out;
}

// Every text of a page, in tree order.
void collect_texts(const kalu_ui::Widget& widget, std::vector<std::string>& out) {
  if (const auto* text = dynamic_cast<const kalu_ui::widget::Text*>(&widget)) {
    out.push_back(text->text());
  }
  for (const kalu_ui::Widget* child : widget.children()) collect_texts(*child, out);
}
// The page on an empty provider configuration, so no test reads or writes
// the configuration of whoever runs it.
AgentModelsPage::Options no_providers() {
  AgentModelsPage::Options options;
  options.load_config = [] { return model_provider::ProviderConfig(); };
  options.key_probe = [](std::string_view) { return kalu_ui::Result<bool>(false); };
  return options;
}
std::vector<std::string> page_texts(const AgentModelsPane& pane) {
  std::vector<std::string> out;
  collect_texts(*agent_models_page(no_providers())(pane), out);
  return out;
}

std::string key_of(const AgentModelOperation& operation) {
  return operations::operation_key(operation);
}
Completion succeeded(const AgentModelOperation& operation, std::string message) {
  return Completion::Succeeded{key_of(operation), std::move(message)};
}
Completion failed(const AgentModelOperation& operation, std::string message) {
  return Completion::Failed{key_of(operation), std::move(message)};
}

// The pane hosted by the application, on a fake service and a clock the test
// moves. Every test ends with the worker done and no call made on this thread.
class AgentModelsPaneTest : public ::testing::Test {
 protected:
  AgentModelsPaneTest() {
    backend_->edit([](FakeBackend& b) { b.snapshot_ = device(); });
  }
  ~AgentModelsPaneTest() override {
    backend_->hold(false);
    if (pane_) {
      EXPECT_TRUE(settle());
      EXPECT_FALSE(backend_->called_on(std::this_thread::get_id()));
    }
  }

  AgentModelsPane& pane() {
    if (!pane_) {
      AgentModelsPane::Dependencies deps;
      deps.backend = backend_;
      deps.meminfo = meminfo_;
      deps.clock = [this] { return now_; };
      deps.page = agent_models_page(no_providers());
      pane_.emplace(AgentModelsPane(std::move(deps))
                        .with_operation_requests(requests_)
                        .with_operation_completion(completion_)
                        .with_status_cell(status_));
    }
    return *pane_;
  }
  doc::Document& document() { return pane().link().own_document(); }

  // Syncs until no call runs (or a long while passed).
  bool settle() {
    const auto deadline = std::chrono::steady_clock::now() + 60s;
    do {
      pane().sync(toolkit_);
      if (!pane().busy()) return true;
      std::this_thread::sleep_for(1ms);
    } while (std::chrono::steady_clock::now() < deadline);
    return false;
  }
  AgentModelsPane& ready_pane() {
    EXPECT_TRUE(settle());
    return pane();
  }

  // A press of the page's button for `control`, as its button writes it.
  void press(std::string_view control) {
    (void)document().put(doc::kRoot, control, doc::Scalar(true));
    settle();
  }
  bool flag(std::string_view control) {
    return actions::read_doc_bool(document(), doc::kRoot, control).value_or(false);
  }

  // Hands the operation over as the executor does and syncs until answered.
  Completion start(const AgentModelOperation& operation) {
    completion_->publish(Completion::Pending{key_of(operation)});
    requests_->publish(
        operations::DeviceLocalRequest(std::in_place_type<AgentModelOperation>, operation));
    settle();
    return completion_->get();
  }

  std::shared_ptr<FakeBackend> backend_ = std::make_shared<FakeBackend>();
  std::filesystem::path meminfo_ = "/nonexistent/meminfo";
  kalu_ui::Instant now_ = kalu_ui::Instant::now();
  std::shared_ptr<operations::DeviceLocalRequestCell> requests_ =
      operations::DeviceLocalRequestCell::create({});
  std::shared_ptr<operations::OperationCompletionCell> completion_ =
      operations::OperationCompletionCell::create({});
  std::shared_ptr<AgentModelsStatusCell> status_ = AgentModelsStatusCell::create(std::nullopt);
  doc::Document toolkit_;
  std::optional<AgentModelsPane> pane_;
};

TEST_F(AgentModelsPaneTest, TheFirstSnapshotIsReadOnTheWorkerWhileThePageSaysSo) {
  backend_->hold(true);
  AgentModelsPane& p = pane();
  p.sync(toolkit_);
  EXPECT_TRUE(p.reading());
  EXPECT_TRUE(p.busy());
  EXPECT_FALSE(p.service_available());
  EXPECT_THAT(page_texts(p), Contains(std::string(kReadingCaption)));
  backend_->hold(false);
  ASSERT_TRUE(settle());
  EXPECT_THAT(page_texts(p), Not(Contains(std::string(kReadingCaption))));
  EXPECT_FALSE(p.reading());
  EXPECT_TRUE(p.service_available());
  EXPECT_EQ(ids(p.snapshot()), ids(device()));
  EXPECT_EQ(p.notice(), std::nullopt);
  EXPECT_TRUE(p.take_structure_dirty());
  EXPECT_THAT(backend_->calls(), ElementsAre("snapshot"));
}

TEST_F(AgentModelsPaneTest, WithoutTheServiceTheHardwareIsJudgedFromMemory) {
  meminfo_ = std::filesystem::path(::testing::TempDir()) / "agent_models_meminfo";
  std::ofstream(meminfo_) << "MemFree: 1 kB\nMemTotal:       33554432 kB\n";
  backend_->edit([](FakeBackend& b) {
    b.snapshot_ = kalu_ui::fail("model service is unavailable: no such program");
  });
  AgentModelsPane& p = ready_pane();
  EXPECT_FALSE(p.service_available());
  EXPECT_THAT(ids(p.snapshot()), IsEmpty());
  EXPECT_EQ(p.snapshot().hardware.memory_gib, 32);
  EXPECT_EQ(p.snapshot().hardware.fit, stored::HardwareFit::Excellent);
  EXPECT_EQ(p.notice(), unavailable_notice("model service is unavailable: no such program"));
  std::filesystem::remove(meminfo_);
}

TEST_F(AgentModelsPaneTest, TheFirstResetClearsStaleTriggersButARequestOfTheSameSyncFires) {
  backend_->hold(true);
  // Left by an earlier pane: the running model's stop and the licence step.
  (void)document().put(doc::kRoot, model_control_id(ModelAction::Stop, "lumen-3b"),
                       doc::Scalar(true));
  (void)document().put(doc::kRoot, kLocalSetupControl, doc::Scalar(true));
  completion_->publish(Completion::Pending{key_of(C::StageAccelerator{})});
  requests_->publish(operations::DeviceLocalRequest(std::in_place_type<AgentModelOperation>,
                                                    C::StageAccelerator{}));
  pane().sync(toolkit_);
  // Taken only once the first read answered.
  EXPECT_FALSE(requests_->get().empty());
  backend_->hold(false);
  ASSERT_TRUE(settle());
  EXPECT_THAT(backend_->calls(), ElementsAre("snapshot", "stage-accelerator", "snapshot"));
  EXPECT_EQ(completion_->get(),
            succeeded(C::StageAccelerator{},
                      "Accelerator setup request accepted by the local model manager"));
  EXPECT_EQ(pane().pending_install(), std::nullopt);
  EXPECT_FALSE(flag(model_control_id(ModelAction::Stop, "lumen-3b")));
}

TEST_F(AgentModelsPaneTest, RemoveTakesTwoClicksOnThePageAndOneRequest) {
  AgentModelsPane& p = ready_pane();
  const std::string remove_vista = model_control_id(ModelAction::Remove, "vista/2b");
  EXPECT_EQ(remove_vista, "agent_models.local.remove.vista_2b");
  press(remove_vista);
  EXPECT_THAT(backend_->commands(), IsEmpty());
  EXPECT_EQ(p.pending_remove(), "vista/2b");
  EXPECT_EQ(p.notice(), remove_notice(package("vista/2b", "Vista 2B")));
  press(remove_vista);
  EXPECT_THAT(backend_->commands(), ElementsAre("remove vista/2b"));
  EXPECT_EQ(p.pending_remove(), std::nullopt);
  // A click reports to nobody.
  EXPECT_EQ(completion_->get(), Completion(Completion::Idle{}));

  // The client has confirmed already.
  EXPECT_EQ(
      start(C::Remove{"lumen-3b"}),
      succeeded(C::Remove{"lumen-3b"}, "Remove… request accepted by the local model manager"));
  EXPECT_THAT(backend_->commands(), ElementsAre("remove vista/2b", "remove lumen-3b"));
}

TEST_F(AgentModelsPaneTest, EachOperationCompletesWithTheServiceAnswer) {
  const struct {
    const char* name;
    AgentModelOperation operation;
    const char* refused_word;  // the command the fake refuses, or none
    std::vector<std::string> commands;
    Completion expected;
  } cases[] = {
      {"stop",
       C::Stop{"lumen-3b"},
       nullptr,
       {"stop lumen-3b"},
       succeeded(C::Stop{"lumen-3b"}, "Stop request accepted by the local model manager")},
      {"start refused",
       C::Start{"vista/2b"},
       "start",
       {"start vista/2b"},
       failed(C::Start{"vista/2b"}, "Start failed: model service refused start")},
      {"install",
       C::Install{"lumen-8b", "2025.03.2"},
       nullptr,
       {"install lumen-8b 2025.03.2"},
       succeeded(C::Install{"lumen-8b", "2025.03.2"},
                 "Model installation request accepted by the local model manager")},
      {"install refused",
       C::Install{"lumen-8b", "2025.03.2"},
       "install",
       {"install lumen-8b 2025.03.2"},
       failed(C::Install{"lumen-8b", "2025.03.2"},
              "Installation could not start: model service refused start")},
      {"stage refused",
       C::StageAccelerator{},
       "stage-accelerator",
       {"stage-accelerator"},
       failed(C::StageAccelerator{},
              "Accelerator setup could not start: model service refused start")},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto backend = std::make_shared<FakeBackend>();
    backend->edit([&](FakeBackend& b) {
      b.snapshot_ = device();
      if (c.refused_word) b.answers_[c.refused_word] = kalu_ui::fail("model service refused start");
    });
    backend_ = backend;
    pane_.reset();
    ASSERT_TRUE(settle());
    EXPECT_EQ(start(c.operation), c.expected);
    EXPECT_EQ(backend_->commands(), c.commands);
    // A success reads the snapshot again; a refusal shows as the notice.
    EXPECT_EQ(backend_->snapshots(), c.refused_word ? 1 : 2);
    if (c.refused_word) {
      EXPECT_EQ(pane().notice(), std::get<Completion::Failed>(c.expected).message);
    }
  }
}

TEST_F(AgentModelsPaneTest, OperationsTheSnapshotCannotMatchStillCompleteOnce) {
  LocalModelSnapshot s = device();
  s.models.push_back(installed(package("broken", "Broken"), stored::phase::Error{"bad hash"}));
  s.models.push_back(installed(package("fetching", "Fetching"), stored::phase::Downloading{1, 2}));
  backend_->edit([&](FakeBackend& b) { b.snapshot_ = s; });
  ready_pane();
  const struct {
    AgentModelOperation operation;
    Completion expected;
  } cases[] = {
      {C::Start{"lumen-3b"}, succeeded(C::Start{"lumen-3b"}, "Lumen 3B is already running")},
      {C::Stop{"vista/2b"}, succeeded(C::Stop{"vista/2b"}, "Vista 2B is already stopped")},
      {C::Start{"gone"}, failed(C::Start{"gone"}, "local model is no longer available")},
      {C::Remove{"gone"}, failed(C::Remove{"gone"}, "local model is no longer available")},
      {C::Start{"fetching"}, failed(C::Start{"fetching"}, "local model is no longer available")},
      {C::Stop{"broken"}, failed(C::Stop{"broken"}, "local model is no longer available")},
      {C::Retry{"vista/2b", "r1"},
       failed(C::Retry{"vista/2b", "r1"}, "local model is no longer available")},
      {C::Retry{"broken", "r0"},
       failed(C::Retry{"broken", "r0"}, "local model is no longer available")},
      {C::Install{"lumen-8b", "2024.01.1"},
       failed(C::Install{"lumen-8b", "2024.01.1"}, "recommended model is no longer available")},
      {C::Install{"other", "2025.03.2"},
       failed(C::Install{"other", "2025.03.2"}, "recommended model is no longer available")},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(key_of(c.operation));
    EXPECT_EQ(start(c.operation), c.expected);
    EXPECT_FALSE(flag(operation_control_id(c.operation)));
  }
  EXPECT_THAT(backend_->commands(), IsEmpty());

  // The same stale Install while the licence step shows installs nothing.
  press(kLocalSetupControl);
  EXPECT_EQ(
      start(C::Install{"lumen-8b", "2024.01.1"}),
      failed(C::Install{"lumen-8b", "2024.01.1"}, "recommended model is no longer available"));
  EXPECT_THAT(backend_->commands(), IsEmpty());
  // Retry of the failed model at its own revision does run.
  EXPECT_EQ(start(C::Retry{"broken", "r1"}),
            succeeded(C::Retry{"broken", "r1"},
                      "Retry install request accepted by the local model manager"));
  EXPECT_THAT(backend_->commands(), ElementsAre("install broken r1"));
}

TEST_F(AgentModelsPaneTest, WithoutARecommendationAnInstallFailsAndConfirmStaysInert) {
  LocalModelSnapshot s = device();
  s.recommendation.reset();
  backend_->edit([&](FakeBackend& b) { b.snapshot_ = s; });
  ready_pane();
  press(kLocalConfirmControl);
  EXPECT_FALSE(flag(kLocalConfirmControl));
  EXPECT_EQ(
      start(C::Install{"lumen-8b", "2025.03.2"}),
      failed(C::Install{"lumen-8b", "2025.03.2"}, "recommended model is no longer available"));
  EXPECT_THAT(backend_->commands(), IsEmpty());
}

TEST_F(AgentModelsPaneTest, TheLicenceStepGuardsTheInstallButton) {
  AgentModelsPane& p = ready_pane();
  press(kLocalConfirmControl);  // without the licence step shown
  EXPECT_THAT(backend_->commands(), IsEmpty());
  press(kLocalSetupControl);
  EXPECT_EQ(p.pending_install(), "lumen-8b");
  press(kLocalCancelControl);
  EXPECT_EQ(p.pending_install(), std::nullopt);
  press(kLocalSetupControl);
  press(kLocalConfirmControl);
  EXPECT_EQ(p.pending_install(), std::nullopt);
  EXPECT_THAT(backend_->commands(), ElementsAre("install lumen-8b 2025.03.2"));
  EXPECT_EQ(completion_->get(), Completion(Completion::Idle{}));
}

TEST_F(AgentModelsPaneTest, ARequestWaitsWhileACallRuns) {
  AgentModelsPane& p = ready_pane();
  backend_->hold(true);
  (void)document().put(doc::kRoot, kAcceleratorSetupControl, doc::Scalar(true));
  // Both in the same sync: the page's button takes the worker first.
  (void)document().put(doc::kRoot, model_control_id(ModelAction::Start, "vista/2b"),
                       doc::Scalar(true));
  completion_->publish(Completion::Pending{key_of(C::Stop{"lumen-3b"})});
  requests_->publish(
      operations::DeviceLocalRequest(std::in_place_type<AgentModelOperation>, C::Stop{"lumen-3b"}));
  p.sync(toolkit_);
  p.sync(toolkit_);
  EXPECT_TRUE(p.busy());
  EXPECT_FALSE(requests_->get().empty());
  EXPECT_TRUE(flag(model_control_id(ModelAction::Start, "vista/2b")));
  EXPECT_FALSE(flag(model_control_id(ModelAction::Stop, "lumen-3b")));
  backend_->hold(false);
  ASSERT_TRUE(settle());
  EXPECT_THAT(backend_->commands(),
              ElementsAre("stage-accelerator", "stop lumen-3b", "start vista/2b"));
  EXPECT_EQ(completion_->get(),
            succeeded(C::Stop{"lumen-3b"}, "Stop request accepted by the local model manager"));
}

TEST_F(AgentModelsPaneTest, ARequestActsOnTheModelItNamesWhenControlsCollide) {
  LocalModelSnapshot s = device();
  s.models = {installed(package("a.b", "Dot"), ready(false)),
              installed(package("a-b", "Dash"), ready(false))};
  backend_->edit([&](FakeBackend& b) { b.snapshot_ = s; });
  ready_pane();
  EXPECT_EQ(start(C::Start{"a-b"}),
            succeeded(C::Start{"a-b"}, "Start request accepted by the local model manager"));
  EXPECT_THAT(backend_->commands(), ElementsAre("start a-b"));
}

TEST_F(AgentModelsPaneTest, PollingReadsAtMostEvery750MsWhileWorkIsInProgress) {
  LocalModelSnapshot downloading = device();
  downloading.models.push_back(
      installed(package("lumen-8b", "Lumen 8B"), stored::phase::Downloading{10, 100}));
  backend_->edit([&](FakeBackend& b) { b.snapshot_ = downloading; });
  AgentModelsPane& p = ready_pane();
  ASSERT_EQ(backend_->snapshots(), 1);
  EXPECT_EQ(p.next_wake_deadline(), now_ + kPollInterval);
  now_ = now_ + 749ms;
  EXPECT_TRUE(p.update());
  EXPECT_FALSE(p.busy());
  now_ = now_ + 1ms;
  EXPECT_TRUE(p.update());
  ASSERT_TRUE(settle());
  EXPECT_EQ(backend_->snapshots(), 2);
  EXPECT_EQ(p.next_wake_deadline(), now_ + kPollInterval);

  // The read that sees the download finished is the last.
  backend_->edit([](FakeBackend& b) { b.snapshot_ = device(); });
  now_ = now_ + 750ms;
  ASSERT_TRUE(settle());
  EXPECT_EQ(backend_->snapshots(), 3);
  now_ = now_ + 10s;
  EXPECT_FALSE(p.update());
  ASSERT_TRUE(settle());
  EXPECT_EQ(backend_->snapshots(), 3);
  EXPECT_EQ(p.next_wake_deadline(), std::nullopt);
}

TEST_F(AgentModelsPaneTest, AFailedRefreshKeepsTheListButMarksTheServiceUnavailable) {
  LocalModelSnapshot staging = device();
  staging.accelerator_setup->status = stored::accelerator::Staging{};
  backend_->edit([&](FakeBackend& b) { b.snapshot_ = staging; });
  AgentModelsPane& p = ready_pane();
  backend_->edit([](FakeBackend& b) { b.snapshot_ = kalu_ui::fail("service went away"); });
  now_ = now_ + kPollInterval;
  ASSERT_TRUE(settle());
  EXPECT_FALSE(p.service_available());
  EXPECT_EQ(ids(p.snapshot()), ids(staging));
  EXPECT_TRUE(p.work_in_progress());
  EXPECT_EQ(p.notice(), "Could not refresh local models: service went away");
  // A good read brings it back.
  backend_->edit([](FakeBackend& b) { b.snapshot_ = device(); });
  now_ = now_ + kPollInterval;
  ASSERT_TRUE(settle());
  EXPECT_TRUE(p.service_available());
  EXPECT_EQ(p.notice(), std::nullopt);
}

TEST_F(AgentModelsPaneTest, TheProviderJobsSentenceBecomesTheNotice) {
  AgentModelsPane& p = ready_pane();
  status_->publish(std::string("Saved Example provider"));
  p.sync(toolkit_);
  EXPECT_EQ(p.notice(), "Saved Example provider");
  EXPECT_EQ(status_->get(), std::nullopt);
  EXPECT_TRUE(p.take_structure_dirty());
}

TEST_F(AgentModelsPaneTest, AnotherPanesRequestIsLeftAlone) {
  AgentModelsPane& p = ready_pane();
  const operations::DeviceLocalRequest other(std::in_place_type<operations::StorageOperation>);
  requests_->publish(other);
  p.sync(toolkit_);
  EXPECT_EQ(requests_->get(), other);
}

}  // namespace
}  // namespace settings::panes::agent_models
