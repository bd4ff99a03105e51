#include "stored/local_models.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace settings::stored {
namespace {

using ::testing::HasSubstr;

constexpr const char* kHardware =
    R"({"fit": "good", "memory_gib": 64, "accelerator": "iGPU", "reason": "fits", "extra": [1]})";

std::string package(const std::string& extra = "") {
  return R"({"id": "m1", "name": "Model One", "description": "d", "source": "s",
             "revision": "r1", "license": "L", "license_url": "https://l", "download_bytes": 10,
             "installed_bytes": 18446744073709551615)" +
         extra + "}";
}

// A snapshot whose one installed model is in `phase`.
std::string with_phase(const std::string& phase) {
  return std::string(R"({"hardware": )") + kHardware + R"(, "models": [{"package": )" + package() +
         R"(, "phase": )" + phase + "}]}";
}

std::string with_accelerator(const std::string& status) {
  return std::string(R"({"hardware": )") + kHardware +
         R"(, "accelerator_setup": {"boot_pack_id": "bp", "status": )" + status + "}}";
}

TEST(LocalModelSnapshot, OnlyHardwareReadsWithEverythingElseAbsent) {
  auto snapshot = read_local_model_snapshot(std::string(R"({"hardware": )") + kHardware +
                                            R"(, "future_key": {"a": null}})");
  ASSERT_TRUE(snapshot) << snapshot.error();
  EXPECT_EQ(snapshot->hardware.fit, HardwareFit::Good);
  EXPECT_EQ(snapshot->hardware.memory_gib, 64);
  EXPECT_FALSE(snapshot->hardware.accelerator_memory_gib);
  EXPECT_FALSE(snapshot->recommendation);
  EXPECT_TRUE(snapshot->models.empty());
  EXPECT_FALSE(snapshot->accelerator_setup);

  auto full = read_local_model_snapshot(
      R"({"hardware": {"fit": {"excellent": null}, "memory_gib": 65535, "accelerator": "",
          "accelerator_memory_gib": 16, "free_storage_gib": null, "reason": ""},
          "recommendation": )" +
      package(R"(, "vision": true)") + R"(, "models": [], "accelerator_setup": null})");
  ASSERT_TRUE(full) << full.error();
  EXPECT_EQ(full->hardware.fit, HardwareFit::Excellent);
  EXPECT_EQ(full->hardware.accelerator_memory_gib, 16);
  ASSERT_TRUE(full->recommendation);
  EXPECT_TRUE(full->recommendation->vision);
  EXPECT_FALSE(full->recommendation->face_recognition);
  EXPECT_EQ(full->recommendation->installed_bytes, UINT64_MAX);
}

TEST(LocalModelSnapshot, ReadsEachPhaseInObjectAndArrayForm) {
  struct Case {
    std::string phase;
    void (*check)(const LocalModelPhase&);
  };
  const std::vector<Case> cases = {
      {R"({"total_bytes": 100, "state": "downloading", "downloaded_bytes": 40, "eta": 3})",
       [](const LocalModelPhase& p) {
         EXPECT_EQ(std::get<phase::Downloading>(p).downloaded_bytes, 40u);
         EXPECT_EQ(std::get<phase::Downloading>(p).total_bytes, 100u);
       }},
      {R"(["downloading", 1, 2])",
       [](const LocalModelPhase& p) {
         EXPECT_EQ(std::get<phase::Downloading>(p).total_bytes, 2u);
       }},
      {R"({"state": "installing", "message": "unpacking"})",
       [](const LocalModelPhase& p) {
         EXPECT_FALSE(std::get<phase::Installing>(p).percent);
         EXPECT_EQ(std::get<phase::Installing>(p).message, "unpacking");
       }},
      {R"(["installing", 99, "almost"])",
       [](const LocalModelPhase& p) { EXPECT_EQ(std::get<phase::Installing>(p).percent, 99); }},
      {R"({"state": "ready", "running": false})",
       [](const LocalModelPhase& p) {
         EXPECT_FALSE(std::get<phase::Ready>(p).running);
         EXPECT_FALSE(std::get<phase::Ready>(p).endpoint);
       }},
      {R"({"state": "ready", "running": true,
           "endpoint": {"url": "http://127.0.0.1:8080", "model_id": "m1", "tls": false}})",
       [](const LocalModelPhase& p) {
         ASSERT_TRUE(std::get<phase::Ready>(p).endpoint);
         EXPECT_EQ(std::get<phase::Ready>(p).endpoint->model_id, "m1");
       }},
      {R"({"message": "disk full", "state": "error"})",
       [](const LocalModelPhase& p) { EXPECT_EQ(std::get<phase::Error>(p).message, "disk full"); }},
  };
  for (const Case& c : cases) {
    auto snapshot = read_local_model_snapshot(with_phase(c.phase));
    ASSERT_TRUE(snapshot) << c.phase << "\n" << snapshot.error();
    ASSERT_EQ(snapshot->models.size(), 1u);
    EXPECT_EQ(snapshot->models[0].package.id, "m1");
    c.check(snapshot->models[0].phase);
  }
}

TEST(LocalModelSnapshot, ReadsEveryAcceleratorState) {
  const std::vector<std::pair<std::string, size_t>> cases = {
      {R"({"state": "available"})", 0},
      {R"({"state": "queued", "since": 5, "message": 7})", 1},
      {R"(["staging"])", 2},
      {R"({"state": "restart_required"})", 3},
      {R"({"state": "active"})", 4},
      {R"({"state": "error", "message": "no space"})", 5},
  };
  for (const auto& [status, index] : cases) {
    auto snapshot = read_local_model_snapshot(with_accelerator(status));
    ASSERT_TRUE(snapshot) << status << "\n" << snapshot.error();
    EXPECT_EQ(snapshot->accelerator_setup->status.index(), index) << status;
    EXPECT_EQ(snapshot->accelerator_setup->boot_pack_id, "bp");
  }
}

TEST(LocalModelSnapshot, AnyBadValueFailsTheWholeSnapshot) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {R"({"models": []})", "missing field `hardware`"},
      {R"({"hardware": {"fit": "good", "memory_gib": 65536, "accelerator": "", "reason": ""}})",
       "expected u16"},
      {R"({"hardware": {"fit": "good", "memory_gib": 64.0, "accelerator": "", "reason": ""}})",
       "expected u16"},
      {R"({"hardware": {"fit": "good", "memory_gib": -1, "accelerator": "", "reason": ""}})",
       "expected u16"},
      {R"({"hardware": {"fit": "Good", "memory_gib": 1, "accelerator": "", "reason": ""}})",
       "unknown variant `Good`"},
      {std::string(R"({"hardware": )") + kHardware + R"(, "recommendation": {"id": "x"}})",
       "missing field"},
      {with_phase(R"({"state": "installing", "percent": 300, "message": "m"})"), "expected u8"},
      {with_phase(R"({"state": "ready", "running": true, "endpoint": {"url": "u"}})"),
       "missing field `model_id`"},
      {with_phase(R"({"state": "paused"})"), "unknown variant `paused`"},
      {with_phase(R"({"downloaded_bytes": 1, "total_bytes": 2})"), "missing field `state`"},
      {with_accelerator(R"({"state": "sleeping"})"), "unknown variant `sleeping`"},
      {with_accelerator(R"({"state": "error"})"), "missing field `message`"},
      {"", "EOF"},
      {std::string(R"({"hardware": )") + kHardware + "} trailing", "trailing characters"},
  };
  for (const auto& [text, error] : cases) {
    auto snapshot = read_local_model_snapshot(text);
    ASSERT_FALSE(snapshot) << text;
    EXPECT_THAT(snapshot.error(), HasSubstr(error)) << text;
  }
  // A package without its licence address fails even among good ones.
  std::string no_url = package();
  no_url.replace(no_url.find(R"("license_url": "https://l", )"), 28, "");
  auto partial = read_local_model_snapshot(
      std::string(R"({"hardware": )") + kHardware + R"(, "models": [{"package": )" + package() +
      R"(, "phase": ["error", "x"]}, {"package": )" + no_url + R"(, "phase": ["error", "y"]}]})");
  ASSERT_FALSE(partial);
  EXPECT_THAT(partial.error(), HasSubstr("missing field `license_url`"));
}

TEST(LocalModelSnapshot, EdgeCasesOfTheRecords) {
  const std::string hardware = std::string(R"({"hardware": )") + kHardware;
  // No recommendation and no accelerator setup, or both null: neither.
  for (const std::string& text :
       {hardware + R"(, "models": []})",
        hardware + R"(, "recommendation": null, "models": [], "accelerator_setup": null})"}) {
    auto snapshot = read_local_model_snapshot(text);
    ASSERT_TRUE(snapshot) << text << "\n" << snapshot.error();
    EXPECT_FALSE(snapshot->recommendation) << text;
    EXPECT_FALSE(snapshot->accelerator_setup) << text;
  }
  // Every record with named fields reads from its array form too, the
  // defaulted fields may be left off its end, and one element short fails
  // with the record's name and field count.
  auto arrays = read_local_model_snapshot(
      R"({"hardware": ["tight", 12, "none", null, 40, "small"],
          "recommendation": ["m2", "n", "d", "s", "r2", "L", "u", 1, 2],
          "models": [[["m3", "n", "d", "s", "r", "L", "u", 3, 4, true], ["ready", false]]],
          "accelerator_setup": ["bp", ["queued"]]})");
  ASSERT_TRUE(arrays) << arrays.error();
  EXPECT_EQ(arrays->hardware.free_storage_gib, 40);
  EXPECT_FALSE(arrays->recommendation->vision);
  EXPECT_TRUE(arrays->models[0].package.vision);
  EXPECT_TRUE(std::holds_alternative<accelerator::Queued>(arrays->accelerator_setup->status));

  const std::vector<std::pair<std::string, std::string>> refused = {
      {R"({"hardware": {"fit": "Excellent", "memory_gib": 1, "accelerator": "", "reason": ""}})",
       "unknown variant `Excellent`"},
      {R"({"hardware": {"fit": "good", "memory_gib": 65536, "accelerator": "", "reason": ""}})",
       "expected u16"},
      {R"({"hardware": ["good", 8]})",
       "invalid length 2, expected struct HardwareRecommendation with 6 elements"},
      {R"({"hardware": ["good", 8, "gpu", null, null]})",
       "invalid length 5, expected struct HardwareRecommendation with 6 elements"},
      {hardware + R"(, "recommendation": ["m1", "n"]})",
       "invalid length 2, expected struct LocalModelPackage with 11 elements"},
      {hardware + R"(, "accelerator_setup": ["bp"]})",
       "invalid length 1, expected struct AcceleratorSetup with 2 elements"},
      {with_phase(R"(["downloading", 1])"), "invalid length"},
  };
  for (const auto& [text, error] : refused) {
    auto snapshot = read_local_model_snapshot(text);
    ASSERT_FALSE(snapshot) << text;
    EXPECT_THAT(snapshot.error(), HasSubstr(error)) << text;
  }
}

TEST(LocalModelSnapshot, WhatIsInProgressAndWhatServesLocally) {
  struct Case {
    std::string phase;
    bool in_progress;
    bool serves_locally;
  };
  const std::vector<Case> cases = {
      {R"({"state": "downloading", "downloaded_bytes": 0, "total_bytes": 0})", true, false},
      {R"({"state": "installing", "message": "Verifying"})", true, false},
      {R"({"state": "error", "message": "checksum"})", false, false},
      {R"({"state": "ready", "running": false})", false, false},
      {R"({"state": "ready", "running": true})", false, false},
      {R"({"state": "ready", "running": true,
           "endpoint": {"url": "http://127.0.0.1:8470/v1", "model_id": "m1"}})",
       false, true},
      {R"({"state": "ready", "running": true,
           "endpoint": {"url": "http://[::1]:8470", "model_id": "m1"}})",
       false, true},
      // Stopped, serving another model, or reachable beyond this machine.
      {R"({"state": "ready", "running": false,
           "endpoint": {"url": "http://127.0.0.1:8470", "model_id": "m1"}})",
       false, false},
      {R"({"state": "ready", "running": true,
           "endpoint": {"url": "http://127.0.0.1:8470", "model_id": "m1-large"}})",
       false, false},
      {R"({"state": "ready", "running": true,
           "endpoint": {"url": "http://127.0.0.1.example.net:80", "model_id": "m1"}})",
       false, false},
      {R"({"state": "ready", "running": true,
           "endpoint": {"url": "https://127.0.0.1:8470", "model_id": "m1"}})",
       false, false},
      {R"({"state": "ready", "running": true,
           "endpoint": {"url": "http://localhost:8470", "model_id": "m1"}})",
       false, false},
  };
  for (const Case& c : cases) {
    auto snapshot = read_local_model_snapshot(with_phase(c.phase));
    ASSERT_TRUE(snapshot) << c.phase << "\n" << snapshot.error();
    EXPECT_EQ(in_progress(snapshot->models[0].phase), c.in_progress) << c.phase;
    EXPECT_EQ(work_in_progress(*snapshot), c.in_progress) << c.phase;
    EXPECT_EQ(serves_locally(snapshot->models[0]), c.serves_locally) << c.phase;
  }
  const std::vector<std::pair<std::string, bool>> accelerator = {
      {R"({"state": "available"})", false}, {R"({"state": "queued"})", true},
      {R"({"state": "staging"})", true},    {R"({"state": "restart_required"})", false},
      {R"({"state": "active"})", false},    {R"({"state": "error", "message": "m"})", false},
  };
  for (const auto& [status, busy] : accelerator) {
    auto snapshot = read_local_model_snapshot(with_accelerator(status));
    ASSERT_TRUE(snapshot) << status;
    EXPECT_EQ(work_in_progress(*snapshot), busy) << status;
  }
}

}  // namespace
}  // namespace settings::stored
