#include "panes/agent_models/model.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

namespace settings::panes::agent_models {
namespace {

using stored::HardwareFit;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
namespace ph = stored::phase;
using Op = operations::AgentModelOperation;

TEST(AgentModelsModel, ControlIdsKeepOnlyAsciiLettersAndDigits) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"lumen-3b-instruct", "lumen_3b_instruct"},
      {"Org/Model 7B.v2", "Org_Model_7B_v2"},
      {"modèle", "mod_le"},  // two bytes, one character, one "_"
      {"名前", "__"},        // three bytes each
      {"m🙂", "m_"},       // four bytes
      {"a\xff"
       "b",
       "a_b"},  // a stray byte counts as one character
      {"", ""},
  };
  for (const auto& [id, part] : cases) {
    EXPECT_EQ(model_control_id(ModelAction::Stop, id), "agent_models.local.stop." + part) << id;
  }
  EXPECT_EQ(model_control_id(ModelAction::Retry, "x"), "agent_models.local.retry.x");

  const std::vector<std::pair<Op, std::string>> operations = {
      {Op::StageAccelerator{}, "agent_models.accelerator.setup"},
      {Op::Install{"any id", "r"}, "agent_models.local.confirm"},
      {Op::Start{"a.b"}, "agent_models.local.start.a_b"},
      {Op::Stop{"a.b"}, "agent_models.local.stop.a_b"},
      {Op::Retry{"a.b", "r"}, "agent_models.local.retry.a_b"},
      {Op::Remove{"a.b"}, "agent_models.local.remove.a_b"},
  };
  for (const auto& [operation, control] : operations) {
    EXPECT_EQ(operation_control_id(operation), control);
  }
}

TEST(AgentModelsModel, ActionsOfferedPerPhase) {
  using A = ModelAction;
  struct Case {
    stored::LocalModelPhase phase;
    std::vector<A> actions;
  };
  const std::vector<Case> cases = {
      {ph::Downloading{1, 2}, {}},
      {ph::Installing{std::nullopt, "Verifying"}, {}},
      {ph::Ready{true, std::nullopt}, {A::Stop, A::Remove}},
      {ph::Ready{false, std::nullopt}, {A::Start, A::Remove}},
      {ph::Error{"checksum"}, {A::Retry, A::Remove}},
  };
  for (const Case& c : cases) {
    EXPECT_THAT(model_actions(c.phase), ElementsAreArray(c.actions)) << c.phase.index();
  }
  std::vector<std::string_view> labels, words;
  for (A a : {A::Start, A::Stop, A::Remove, A::Retry}) {
    labels.push_back(action_label(a));
    words.push_back(action_word(a));
  }
  EXPECT_THAT(labels, ElementsAre("Start", "Stop", "Remove…", "Retry install"));
  EXPECT_THAT(words, ElementsAre("start", "stop", "remove", "retry"));
}

TEST(AgentModelsModel, GibFormAndRemoveNotice) {
  EXPECT_EQ(format_gib(1'610'612'736), "1.5 GiB");
  EXPECT_EQ(format_gib(0), "0.0 GiB");
  EXPECT_EQ(format_gib(UINT64_MAX), "17179869184.0 GiB");
  stored::LocalModelPackage package;
  package.name = "Lumen 3B";
  package.installed_bytes = 2'147'483'648;
  EXPECT_EQ(remove_notice(package),
            "Remove Lumen 3B? This deletes its 2.0 GiB local snapshot. Tasks and workspace data "
            "are unchanged.");
}

class MeminfoFallback : public ::testing::Test {
 protected:
  std::filesystem::path write(const std::string& text) {
    std::ofstream(path_) << text;
    return path_;
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  std::filesystem::path dir_ = [] {
    std::string pattern = (std::filesystem::temp_directory_path() / "meminfo-XXXXXX").string();
    return std::filesystem::path(::mkdtemp(pattern.data()));
  }();
  std::filesystem::path path_ = dir_ / "meminfo";
};

TEST_F(MeminfoFallback, MemoryComesFromTheFirstMemTotalLineThatReads) {
  const std::vector<std::pair<std::string, std::uint16_t>> cases = {
      {"MemTotal:       16318480 kB\nMemFree:         1234 kB\n", 15},
      {"MemFree: 99 kB\nMemTotal:\t33554432 kB\n", 32},
      {"MemTotal: abc kB\nMemTotal: 33554432 kB\n", 32},  // the first that reads
      {"MemTotal: 12kB\nMemTotal: 4194304 kB\n", 4},      // "12kB" is no number
      {"MemTotal:4194304\r\n", 4},
      {"MemTotal: 68719476735 kB\n", 65535},          // 2^36 - 1 KiB
      {"MemTotal: 68719476736 kB\n", 8},              // 2^36 KiB: too large
      {"MemTotal: 99999999999999999999999 kB\n", 8},  // beyond 64 bits
      {"MemTotal: -5 kB\n", 8},
      {"MemTotal:\n", 8},
      {" MemTotal: 4194304 kB\n", 8},  // the line must begin with it
      {"", 8},
  };
  for (const auto& [text, gib] : cases) {
    EXPECT_EQ(system_memory_gib(write(text)), gib) << text;
  }
  EXPECT_EQ(system_memory_gib(dir_ / "missing"), 8);
  EXPECT_EQ(system_memory_gib(dir_), 8);  // a directory reads as nothing
}

TEST_F(MeminfoFallback, TheFallbackSnapshotJudgesTheFitByMemory) {
  const std::vector<std::pair<std::uint16_t, HardwareFit>> fits = {
      {0, HardwareFit::Unsupported}, {7, HardwareFit::Unsupported},   {8, HardwareFit::Tight},
      {15, HardwareFit::Tight},      {16, HardwareFit::Good},         {31, HardwareFit::Good},
      {32, HardwareFit::Excellent},  {65535, HardwareFit::Excellent},
  };
  for (const auto& [gib, fit] : fits) EXPECT_EQ(fit_for_memory(gib).fit, fit) << gib;

  stored::LocalModelSnapshot fallback = fallback_snapshot(write("MemTotal: 25165824 kB\n"));
  EXPECT_EQ(fallback.hardware.fit, HardwareFit::Good);
  EXPECT_EQ(fallback.hardware.memory_gib, 24);
  EXPECT_EQ(fallback.hardware.accelerator, "Checked by the model service at install");
  EXPECT_EQ(fallback.hardware.reason,
            "Balanced for everyday tool use and this device's available system memory.");
  EXPECT_FALSE(fallback.hardware.accelerator_memory_gib);
  EXPECT_FALSE(fallback.hardware.free_storage_gib);
  EXPECT_FALSE(fallback.recommendation);
  EXPECT_TRUE(fallback.models.empty());
  EXPECT_FALSE(fallback.accelerator_setup);

  // Without the file the device is assumed to have 8 GiB.
  EXPECT_EQ(fallback_snapshot(dir_ / "missing").hardware.fit, HardwareFit::Tight);
  EXPECT_EQ(unavailable_notice("model service is unavailable: gone"),
            "The local model service is unavailable (model service is unavailable: gone). Install "
            "or start kalu-model-manager to inspect hardware, install models, or manage local "
            "model lifecycle.");
}

}  // namespace
}  // namespace settings::panes::agent_models
