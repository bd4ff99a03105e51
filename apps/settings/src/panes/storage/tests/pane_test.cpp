#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "operations/keys.h"
#include "panes/storage/storage_pane.h"
#include "panes/storage/tests/fixture.h"

namespace settings::panes::storage {
namespace {

namespace doc = kalu_ui::doc;
using C = operations::StorageOperationCases;
using Completion = operations::OperationCompletion;
using host_fs::EvictionSelection;
using host_fs::ReclamationReport;
using testing::Calls;
using testing::ScriptedService;
using testing::Spawner;
using testing::StorageHome;

std::string key_of(const StorageOperation& operation) {
  return operations::operation_key(operation);
}

// The pane hosted by the application, on a temporary home and a scripted
// storage service. Every test ends with the workers done and no service
// reached from the UI thread.
class StoragePaneTest : public ::testing::Test {
 protected:
  ~StoragePaneTest() override {
    if (pane_) {
      for (const char* name : {"kalu-storage-scan", "kalu-storage-sync", "kalu-storage-tool"}) {
        spawner_.release(name);
      }
      EXPECT_TRUE(testing::settle(*pane_, pane_->link().own_document()));
      EXPECT_FALSE(calls_->reached_from(std::this_thread::get_id()));
    }
  }

  StoragePane& pane() {
    if (!pane_) {
      pane_.emplace(StoragePane(testing::services_for(home_, spawner_, calls_))
                        .with_operation_requests(requests_)
                        .with_operation_completion(completion_));
    }
    return *pane_;
  }
  doc::Document& document() { return pane().link().own_document(); }
  bool settle() { return testing::settle(pane(), document()); }

  // Hands `operation` over as the executor does: the request, and Pending
  // under its key.
  void request(const StorageOperation& operation) {
    completion_->publish(Completion::Pending{key_of(operation)});
    requests_->publish(
        operations::DeviceLocalRequest(std::in_place_type<StorageOperation>, operation));
  }
  Completion completion() const { return completion_->get(); }
  static Completion succeeded(const StorageOperation& operation, std::string_view message) {
    return Completion::Succeeded{key_of(operation), std::string(message)};
  }
  static Completion failed(const StorageOperation& operation, std::string_view message) {
    return Completion::Failed{key_of(operation), std::string(message)};
  }

  StorageHome home_;
  ScriptedService service_{home_.socket()};
  Spawner spawner_;
  std::shared_ptr<Calls> calls_ = std::make_shared<Calls>();
  std::shared_ptr<operations::DeviceLocalRequestCell> requests_ =
      operations::DeviceLocalRequestCell::create({});
  std::shared_ptr<operations::OperationCompletionCell> completion_ =
      operations::OperationCompletionCell::create({});
  std::optional<StoragePane> pane_;
};

TEST_F(StoragePaneTest, SnapshotFromTheServiceReplacesLoading) {
  ASSERT_TRUE(service_.serving());
  spawner_.hold("kalu-storage-sync");
  EXPECT_EQ(pane().status(), std::string(text::kLoadingSynced));
  EXPECT_FALSE(pane().synced());
  spawner_.release("kalu-storage-sync");
  ASSERT_TRUE(settle());
  EXPECT_EQ(pane().synced(), testing::sample_snapshot());
  EXPECT_EQ(pane().status(), std::nullopt);
  EXPECT_EQ(service_.snapshots(), 1);
}

TEST_F(StoragePaneTest, SnapshotFailuresShowTheirReason) {
  struct Case {
    const char* name;
    std::function<void(ScriptedService::Script&)> script;
    std::string status;
  } cases[] = {
      {"error answer", [](auto& s) { s.snapshot = kalu_ui::fail("quota database is locked"); },
       "Sync storage service unavailable: quota database is locked"},
      {"closed unanswered", [](auto& s) { s.snapshot_mode = ScriptedService::Mode::Close; },
       "Sync storage service ended unexpectedly."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    service_.edit(c.script);
    pane_.reset();
    ASSERT_TRUE(settle());
    EXPECT_FALSE(pane().synced());
    EXPECT_EQ(pane().status(), c.status);
  }
}

TEST_F(StoragePaneTest, NoServiceAtAllIsUnavailable) {
  std::filesystem::path elsewhere = home_.socket().parent_path() / "none.sock";
  StorageServices services = testing::services_for(home_, spawner_, calls_);
  services.connect = [elsewhere] { return host_fs::StorageClient::connect(elsewhere); };
  StoragePane alone(std::move(services));
  doc::Document document;
  ASSERT_TRUE(testing::settle(alone, document));
  EXPECT_FALSE(alone.synced());
  EXPECT_THAT(alone.status(),
              ::testing::Optional(::testing::StartsWith("Sync storage service unavailable: ")));
}

TEST_F(StoragePaneTest, EvictionReportsCompleteOnceAndAskForAFreshSnapshot) {
  const StorageOperation free{C::FreeSyncedFiles{}};
  struct Case {
    ReclamationReport report;
    std::string status;
    Completion completion;
  } cases[] = {
      {{2, 1000000, 1},
       "Freed 1.0 MB from 2 synced file(s); 1 more queued for verified background reclamation.",
       succeeded(free, "Synced-file reclamation completed.")},
      {{0, 0, 3},
       "3 synced file(s) queued for verified background reclamation; nothing is counted as free "
       "until GC confirms it.",
       succeeded(free, "Synced-file reclamation completed.")},
      // The files went before the service looked: nothing was reclaimed.
      {{0, 0, 0},
       "Freed 0 B from 0 synced files.",
       failed(free, "No reclaimable synced files are available.")},
  };
  ASSERT_TRUE(settle());
  for (const Case& c : cases) {
    SCOPED_TRACE(c.status);
    const int snapshots = service_.snapshots();
    service_.edit([&](auto& s) { s.report = c.report; });
    request(free);
    pane().sync(document());
    EXPECT_TRUE(pane().evicting());
    EXPECT_EQ(completion(), Completion(Completion::Pending{key_of(free)}));
    ASSERT_TRUE(settle());
    EXPECT_EQ(pane().status(), c.status);
    EXPECT_EQ(completion(), c.completion);
    EXPECT_EQ(service_.snapshots(), snapshots + 1);
  }
  // Exactly the files with reclaimable bytes, in snapshot order.
  EXPECT_THAT(service_.evictions().front(),
              ::testing::ElementsAre(EvictionSelection{"d/report.pdf", 600000},
                                     EvictionSelection{"d/slides.odp", 400000}));
}

TEST_F(StoragePaneTest, EvictionFailures) {
  struct Case {
    const char* name;
    std::function<void(ScriptedService::Script&)> script;
    std::string status;
    std::string failure;
  } cases[] = {
      {"error answer", [](auto& s) { s.report = kalu_ui::fail("the device is offline"); },
       "Nothing was removed: the device is offline", "Nothing was removed: the device is offline"},
      {"closed unanswered", [](auto& s) { s.evict_mode = ScriptedService::Mode::Close; },
       "The sync storage request ended unexpectedly; nothing was assumed removed.",
       "Sync storage service ended unexpectedly."},
  };
  ASSERT_TRUE(settle());
  const StorageOperation free{C::FreeSyncedFiles{}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    service_.edit(c.script);
    request(free);
    ASSERT_TRUE(settle());
    EXPECT_EQ(pane().status(), c.status);
    EXPECT_EQ(completion(), failed(free, c.failure));
    // The snapshot shown stays.
    EXPECT_TRUE(pane().synced());
  }
}

// Asked before the first snapshot answered (a client right after start),
// freeing is judged on that snapshot once it is in, never on none.
TEST_F(StoragePaneTest, FreeingWaitsForTheSnapshotAndIsRefusedWhileEvicting) {
  const StorageOperation free{C::FreeSyncedFiles{}};
  service_.edit([](auto& s) { s.report = ReclamationReport{2, 1000000, 1}; });
  spawner_.hold("kalu-storage-sync");
  request(free);
  pane().sync(document());
  pane().sync(document());
  EXPECT_EQ(completion(), Completion(Completion::Pending{key_of(free)}));
  EXPECT_FALSE(pane().evicting());
  EXPECT_TRUE(service_.evictions().empty());

  spawner_.release("kalu-storage-sync");
  ASSERT_TRUE(settle());
  EXPECT_EQ(completion(), succeeded(free, "Synced-file reclamation completed."));
  EXPECT_EQ(service_.evictions().size(), 1u);

  // The snapshot with nothing left to free: judged on it, refused.
  service_.edit([](auto& s) {
    for (auto& file : s.snapshot->files) file.reclaimable_bytes = 0;
  });
  spawner_.hold("kalu-storage-sync");
  pane().request_snapshot();
  request(free);
  pane().sync(document());
  EXPECT_EQ(completion(), Completion(Completion::Pending{key_of(free)}));
  spawner_.release("kalu-storage-sync");
  ASSERT_TRUE(settle());
  EXPECT_EQ(completion(), failed(free, "No reclaimable synced files are available."));
  EXPECT_EQ(service_.evictions().size(), 1u);

  service_.edit([](auto& s) {
    for (auto& file : s.snapshot->files) file.reclaimable_bytes = 1000;
  });
  pane().request_snapshot();
  ASSERT_TRUE(settle());
  spawner_.hold("kalu-storage-sync");
  request(free);
  pane().sync(document());
  ASSERT_TRUE(pane().evicting());
  // A second press while the first runs.
  request(free);
  pane().sync(document());
  EXPECT_EQ(completion(), failed(free, "No reclaimable synced files are available."));
  EXPECT_TRUE(pane().evicting());
}

// Once everything reclaimable is gone, a press asks the service for nothing
// and says there is nothing to free.
TEST_F(StoragePaneTest, FreeingWithNothingReclaimableFailsWithoutAsking) {
  service_.edit([](auto& s) {
    for (auto& file : s.snapshot->files) file.reclaimable_bytes = 0;
  });
  ASSERT_TRUE(settle());
  const StorageOperation free{C::FreeSyncedFiles{}};
  request(free);
  pane().sync(document());
  EXPECT_EQ(completion(), failed(free, "No reclaimable synced files are available."));
  EXPECT_FALSE(pane().evicting());
  EXPECT_TRUE(service_.evictions().empty());
}

TEST_F(StoragePaneTest, CleanupRemovesThePreviewOnTheWorkerAndScansAgain) {
  StorageHome::write(home_.cache_root() / "org.example.Viewer" / "thumbs" / "a.png", 4000);
  StorageHome::write(home_.cache_root() / "org.example.Editor" / "index.db", 2000);
  StorageHome::write(home_.app_data_root() / "org.example.Editor" / "notes.txt", 10);
  ASSERT_TRUE(settle());
  ASSERT_TRUE(pane().cleanup_preview());
  EXPECT_EQ(pane().cleanup_preview()->total_bytes, 6000u);
  EXPECT_EQ(pane().scan()->totals()[static_cast<std::size_t>(Category::Cache)], 6000u);

  const StorageOperation cleanup{C::CleanupCaches{}};
  spawner_.hold("kalu-storage-scan");
  request(cleanup);
  pane().sync(document());
  // Not done in the sync that took it: the walk is the worker's.
  EXPECT_EQ(completion(), Completion(Completion::Pending{key_of(cleanup)}));
  EXPECT_TRUE(std::filesystem::exists(home_.cache_root() / "org.example.Editor"));
  spawner_.release("kalu-storage-scan");
  ASSERT_TRUE(settle());
  EXPECT_EQ(completion(), succeeded(cleanup, "Application caches cleaned."));
  EXPECT_TRUE(std::filesystem::is_empty(home_.cache_root()));
  EXPECT_TRUE(std::filesystem::exists(home_.app_data_root() / "org.example.Editor" / "notes.txt"));
  // The fresh scan and preview.
  EXPECT_EQ(pane().scan()->totals()[static_cast<std::size_t>(Category::Cache)], 0u);
  EXPECT_TRUE(pane().cleanup_preview()->items.empty());

  // A second clean-up finds an empty cache, and says so.
  request(cleanup);
  pane().sync(document());
  EXPECT_EQ(completion(), failed(cleanup, "No reclaimable application cache is available."));
}

TEST_F(StoragePaneTest, CleanupAskedWhileTheFirstScanRunsWaitsForIt) {
  StorageHome::write(home_.cache_root() / "org.example.Viewer" / "a.bin", 100);
  spawner_.hold("kalu-storage-scan");
  const StorageOperation cleanup{C::CleanupCaches{}};
  request(cleanup);
  pane().sync(document());
  EXPECT_EQ(completion(), Completion(Completion::Pending{key_of(cleanup)}));
  spawner_.release("kalu-storage-scan");
  ASSERT_TRUE(settle());
  EXPECT_EQ(completion(), succeeded(cleanup, "Application caches cleaned."));
  EXPECT_FALSE(std::filesystem::exists(home_.cache_root() / "org.example.Viewer"));
}

TEST_F(StoragePaneTest, NoCacheRootNothingToClean) {
  StorageServices services = testing::services_for(home_, spawner_, calls_);
  services.roots->cache.reset();
  pane_.emplace(StoragePane(std::move(services))
                    .with_operation_requests(requests_)
                    .with_operation_completion(completion_));
  ASSERT_TRUE(settle());
  const StorageOperation cleanup{C::CleanupCaches{}};
  request(cleanup);
  pane().sync(document());
  EXPECT_EQ(completion(), failed(cleanup, "No reclaimable application cache is available."));
}

TEST_F(StoragePaneTest, ToolsOpenOnAWorkerWithTheirTexts) {
  ASSERT_TRUE(settle());
  const StorageOperation disks{C::OpenDisks{}};
  const StorageOperation backups{C::OpenBackups{}};
  request(disks);
  ASSERT_TRUE(settle());
  EXPECT_EQ(completion(), succeeded(disks, "Opened Disks."));
  calls_->tool_error = "no backup tool is installed";
  request(backups);
  ASSERT_TRUE(settle());
  EXPECT_EQ(completion(), failed(backups, "no backup tool is installed"));
  EXPECT_THAT(calls_->tools, ::testing::ElementsAre(ToolIntent::Disks, ToolIntent::Backups));
}

TEST_F(StoragePaneTest, OnlyItsOwnRequestAndOnlyThePendingVariant) {
  ASSERT_TRUE(settle());
  // Another pane's request stays in the cell.
  const operations::DeviceLocalRequest other(std::in_place_type<operations::PrinterOperation>,
                                             operations::PrinterOperation::Refresh{});
  requests_->publish(other);
  pane().sync(document());
  EXPECT_EQ(requests_->get(), other);

  // A result for a variant other than the pending one is dropped.
  const StorageOperation disks{C::OpenDisks{}};
  completion_->publish(Completion::Pending{key_of(disks)});
  pane().link().complete(StorageOperation{C::CleanupCaches{}}, std::string("cleaned"));
  EXPECT_EQ(completion(), Completion(Completion::Pending{key_of(disks)}));
  pane().link().complete(disks, std::string("Opened Disks."));
  EXPECT_EQ(completion(), succeeded(disks, "Opened Disks."));
  // Completed once: a second result finds nothing pending.
  pane().link().complete(disks, kalu_ui::fail("late"));
  EXPECT_EQ(completion(), succeeded(disks, "Opened Disks."));
  requests_->publish({});
}

TEST_F(StoragePaneTest, WorkersThatCannotStartAreReported) {
  spawner_.refuse("kalu-storage-scan", "Resource temporarily unavailable");
  spawner_.refuse("kalu-storage-tool", "Resource temporarily unavailable");
  spawner_.hold("kalu-storage-sync");
  pane();
  spawner_.release("kalu-storage-sync");
  ASSERT_TRUE(settle());
  EXPECT_FALSE(pane().measuring());
  EXPECT_FALSE(pane().scan());

  spawner_.refuse("kalu-storage-sync", "Resource temporarily unavailable");
  const StorageOperation free{C::FreeSyncedFiles{}};
  request(free);
  pane().sync(document());
  EXPECT_EQ(completion(), failed(free, "Nothing was removed: Resource temporarily unavailable"));
  EXPECT_EQ(pane().status(), "Nothing was removed: Resource temporarily unavailable");

  const StorageOperation disks{C::OpenDisks{}};
  request(disks);
  pane().sync(document());
  EXPECT_EQ(completion(), failed(disks, "Resource temporarily unavailable"));

  // A pane whose snapshot worker cannot start says why.
  pane_.reset();
  pane();
  EXPECT_EQ(pane().status(), "Sync storage service unavailable: Resource temporarily unavailable");
}

}  // namespace
}  // namespace settings::panes::storage
