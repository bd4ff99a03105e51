#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <tuple>

#include "host_fs/client.h"
#include "identity/testing.h"
#include "sim_device/state.h"

namespace {

namespace fs = std::filesystem;
using host_fs::EvictionSelection;
using host_fs::StorageClient;
using identity_testing::ScopedEnv;

// A simulated device and a runtime folder of the test's own.
class SimulatedService : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/host_fs_sim.XXXXXX";
    runtime_ = ::mkdtemp(tmpl);
    runtime_env_.emplace("XDG_RUNTIME_DIR", runtime_.string());
    device_env_.emplace("KALU_DEVICE", std::nullopt);
    device_.emplace();
  }
  void TearDown() override {
    device_.reset();
    device_env_.reset();
    runtime_env_.reset();
    fs::remove_all(runtime_);
  }
  static kalu_ui::Status set_online(bool online) {
    return sim_device::update("", [&](sim_device::Json& state) -> kalu_ui::Status {
      state["storage"]["online"] = online;
      return {};
    });
  }

  fs::path runtime_;
  std::optional<ScopedEnv> runtime_env_;
  std::optional<ScopedEnv> device_env_;
  std::optional<sim_device::ScopedDeviceState> device_;
};

TEST_F(SimulatedService, StartsOnFirstUseAndEvictionsPersistInTheDevice) {
  EXPECT_EQ(host_fs::device_socket_path().value(), runtime_ / "kalu" / "fs-storage.sock");
  auto snapshot = StorageClient::connect_device().value().snapshot();
  ASSERT_TRUE(snapshot.has_value()) << snapshot.error().message;
  EXPECT_TRUE(snapshot->online);
  ASSERT_EQ(snapshot->usage.size(), 2u);
  EXPECT_EQ(snapshot->usage[0], (host_fs::StorageUsage{"Documents", 3272000, 3272000, 0, 2400000}));
  EXPECT_EQ(snapshot->usage[1],
            (host_fs::StorageUsage{"Photos", 8000000, 4100000, 3900000, 4100000}));
  std::vector<std::tuple<std::string, std::uint64_t, bool>> reclaimable;
  std::vector<EvictionSelection> selection;
  for (const auto& file : snapshot->files) {
    reclaimable.emplace_back(file.name, file.reclaimable_bytes, file.awaits_verification);
    if (file.reclaimable_bytes > 0) selection.push_back(EvictionSelection::from(file));
  }
  // The draft's copy elsewhere is unverified: reclaimable, but only queued.
  EXPECT_EQ(reclaimable, (std::vector<std::tuple<std::string, std::uint64_t, bool>>{
                             {"annual-report.pdf", 2400000, false},
                             {"thesis-draft.odt", 860000, true},
                             {"notes.md", 0, false},
                             {"harbour.jpg", 4100000, false}}));

  // Verified copies leave at once, the unverified one is queued.
  auto report = StorageClient::connect_device().value().evict(selection);
  ASSERT_TRUE(report.has_value()) << report.error().message;
  EXPECT_EQ(*report, (host_fs::ReclamationReport{2, 6500000, 1}));
  const auto storage = sim_device::section("", "storage").value();
  EXPECT_FALSE(storage["folders"][0]["files"][0]["local"].get<bool>());
  EXPECT_TRUE(storage["folders"][0]["files"][1]["queued"].get<bool>());
  const auto after = StorageClient::connect_device().value().snapshot().value();
  EXPECT_EQ(after.usage[1].remote_only_bytes, 8000000u);
  EXPECT_EQ(after.usage[1].safe_to_free_bytes, 0u);
  EXPECT_EQ(after.files.size(), 2u);  // notes.md and the queued draft stay here
  EXPECT_EQ(after.files[0].reclaimable_bytes, 0u);
}

TEST_F(SimulatedService, OfflineFaultedAndSystemDevices) {
  ASSERT_TRUE(set_online(false));
  const auto offline = StorageClient::connect_device().value().snapshot().value();
  EXPECT_FALSE(offline.online);
  EXPECT_EQ(offline.usage[0].safe_to_free_bytes, 0u);
  for (const auto& file : offline.files) EXPECT_EQ(file.reclaimable_bytes, 0u) << file.name;
  auto refused = StorageClient::connect_device().value().evict(
      std::vector<EvictionSelection>{{"photos/harbour.jpg", 4100000}});
  ASSERT_FALSE(refused.has_value());
  EXPECT_EQ(refused.error().message, "the device is offline, so no remote copy can be verified");
  EXPECT_TRUE(sim_device::section("", "storage").value()["folders"][1]["files"][0]["local"]);

  ASSERT_TRUE(sim_device::update("", [](sim_device::Json& state) -> kalu_ui::Status {
    state["faults"]["storage.snapshot"] = "the sync daemon is not running";
    return {};
  }));
  auto faulted = StorageClient::connect_device().value().snapshot();
  ASSERT_FALSE(faulted.has_value());
  EXPECT_EQ(faulted.error().message, "the sync daemon is not running");

  ScopedEnv system("KALU_DEVICE", "system");
  EXPECT_EQ(host_fs::device_socket_path().value(), fs::path("/run/kalu/fs-storage.sock"));
  ScopedEnv no_runtime("XDG_RUNTIME_DIR", "relative");
  ScopedEnv simulated("KALU_DEVICE", std::nullopt);
  EXPECT_FALSE(host_fs::device_socket_path().has_value());
  EXPECT_FALSE(StorageClient::connect_device().has_value());
}

}  // namespace
