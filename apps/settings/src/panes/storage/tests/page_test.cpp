#include "panes/storage/page.h"

#include <fmt/format.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "kalu_ui/harness.h"
#include "kalu_ui/widget/button.h"
#include "kalu_ui/widget/card.h"
#include "kalu_ui/widget/text.h"
#include "panes/storage/storage_pane.h"
#include "panes/storage/tests/fixture.h"

namespace settings::panes::storage {
namespace {

namespace w = kalu_ui::widget;
using host_fs::EvictionSelection;
using host_fs::ReclamationReport;
using kalu_ui::Widget;
using testing::Calls;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::Not;
using testing::ScriptedService;
using testing::Spawner;
using testing::StorageHome;

// Every text a person reads, in tree order: texts, card titles and button
// labels.
void collect_texts(const Widget& widget, std::vector<std::string>& out) {
  if (const auto* text = dynamic_cast<const w::Text*>(&widget)) out.push_back(text->text());
  if (const auto* card = dynamic_cast<const w::Card*>(&widget)) {
    if (!card->title().empty()) out.push_back(card->title());
  }
  if (const auto* button = dynamic_cast<const w::Button*>(&widget)) out.push_back(button->label());
  for (const Widget* child : widget.children()) collect_texts(*child, out);
}

std::vector<std::string> texts_of(const Widget& root) {
  std::vector<std::string> out;
  collect_texts(root, out);
  return out;
}

// The texts from `first` up to (not including) `end`, or to the last.
std::vector<std::string> between(const std::vector<std::string>& texts, std::string_view first,
                                 std::string_view end) {
  auto from = std::ranges::find(texts, first);
  auto to = std::find(from, texts.end(), end);
  return {from, to};
}

const w::Button* find_button(const Widget& widget, std::string_view id) {
  if (const auto* button = dynamic_cast<const w::Button*>(&widget)) {
    if (button->id() == id) return button;
  }
  for (const Widget* child : widget.children()) {
    if (const w::Button* found = find_button(*child, id)) return found;
  }
  return nullptr;
}

class StoragePage : public ::testing::Test {
 protected:
  ~StoragePage() override {
    if (harness_) {
      for (const char* name : {"kalu-storage-scan", "kalu-storage-sync", "kalu-storage-tool"}) {
        spawner_.release(name);
      }
      settle();
    }
  }

  kalu_ui::harness::Harness& harness(kalu_ui::Size size = {1000.0, 1800.0}) {
    if (!harness_) {
      harness_.emplace(
          kalu_ui::widget::boxed(StoragePane(testing::services_for(home_, spawner_, calls_))),
          kalu_ui::harness::Options::sized(size));
    }
    return *harness_;
  }
  StoragePane& pane() { return dynamic_cast<StoragePane&>(harness().root()); }
  std::vector<std::string> texts() { return texts_of(harness().root()); }

  // Frames until no worker's answer is awaited, then one more for the page.
  void settle() {
    harness().frame();
    for (int i = 0; i < 4000 && pane().busy(); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
      harness().frame();
    }
    harness().frame();
  }
  // Presses the page button `id`: it records the Storage section's `action`,
  // which the application hands to the pane as that operation's flag.
  void press(std::string_view id, std::string_view action, std::string_view flag) {
    ASSERT_TRUE(harness().click_id(id)) << id;
    auto replayed = harness().take_replayed();
    ASSERT_EQ(replayed.size(), 1u);
    EXPECT_EQ(replayed[0].invocation.resource_id, "settings.section:storage");
    EXPECT_EQ(replayed[0].invocation.action, action);
    (void)harness().document().put(kalu_ui::doc::kRoot, flag, kalu_ui::doc::Scalar(true));
    harness().frame();
  }

  StorageHome home_;
  ScriptedService service_{home_.socket()};
  Spawner spawner_;
  std::shared_ptr<Calls> calls_ = std::make_shared<Calls>();
  std::optional<kalu_ui::harness::Harness> harness_;
};

TEST_F(StoragePage, BeforeTheScanAndTheFirstSnapshot) {
  spawner_.hold("kalu-storage-scan");
  spawner_.hold("kalu-storage-sync");
  harness().frame();
  EXPECT_THAT(between(texts(), "Storage use", "Storage tools"),
              ElementsAre("Storage use", "Installed apps", "Measuring…", "App data", "Measuring…",
                          "Cache", "Measuring…", "Synced files", "Not available", "Synced storage",
                          "Loading synced storage…", "Largest items", "Measuring…", "Cache cleanup",
                          "Measuring…"));
  EXPECT_THAT(between(texts(), "Storage tools", ""),
              ElementsAre("Storage tools", "Disks", "Open Disks",
                          "Partitions, formatting, drive health, and removable media", "Backups",
                          "Open Backups", "Backup history, schedules, retention, and restore",
                          "These open the exact specialist workspace through the shell. Settings "
                          "does not duplicate destructive disk or restore workflows."));
}

TEST_F(StoragePage, UsageSyncedStorageAndTheFreeButton) {
  StorageHome::write(home_.installed_root() / "org.example.Editor" / "bin", 2500000);
  StorageHome::write(home_.app_data_root() / "org.example.Editor" / "db", 1200000);
  settle();
  EXPECT_THAT(
      between(texts(), "Storage use", "Largest items"),
      ElementsAre("Storage use", "Installed apps", "2.5 MB", "App data", "1.2 MB", "Cache", "0 B",
                  "Synced files", "6.5 MB", "Synced storage", "Free 1.0 MB", "On this device",
                  "3.0 MB", "On other devices only", "3.5 MB", "Safe to free", "1.0 MB",
                  "report.pdf", "600.0 kB", "slides.odp", "400.0 kB"));
  // Bound to the Storage section's action, and writing its flag.
  const w::Button* free = find_button(harness().root(), control::kFree);
  ASSERT_NE(free, nullptr);
  EXPECT_TRUE(free->has_action_control_bindings());
  for (std::string_view id : {control::kDisks, control::kBackups}) {
    ASSERT_NE(find_button(harness().root(), id), nullptr);
    EXPECT_TRUE(find_button(harness().root(), id)->has_action_control_bindings());
  }

  // While the eviction runs the button gives way to what is happening.
  spawner_.hold("kalu-storage-sync");
  press(control::kFree, "free-synced-files", control::kFreeFlag);
  ASSERT_TRUE(pane().evicting());
  harness().frame();
  EXPECT_THAT(texts(), Contains("Verifying remote copies and freeing local space…"));
  EXPECT_EQ(find_button(harness().root(), control::kFree), nullptr);
  service_.edit([](auto& s) { s.report = ReclamationReport{2, 1000000, 0}; });
  spawner_.release("kalu-storage-sync");
  settle();
  EXPECT_THAT(texts(), Contains("Freed 1.0 MB from 2 synced files."));
}

// A file whose copy elsewhere is not verified yet is only queued by a press:
// it is listed apart, so the rows under "Safe to free" add up to it.
TEST_F(StoragePage, FilesAPressOnlyQueuesAreListedApart) {
  service_.edit([](auto& s) {
    s.snapshot->files.insert(s.snapshot->files.begin() + 1,
                             host_fs::SyncedFileState{"d/draft.odt", "draft.odt", 860000, true});
  });
  settle();
  EXPECT_THAT(
      between(texts(), "Safe to free", "Largest items"),
      ElementsAre("Safe to free", "1.0 MB", "report.pdf", "600.0 kB", "slides.odp", "400.0 kB",
                  "Queued for verified background reclamation; not counted as safe to "
                  "free:",
                  "draft.odt", "860.0 kB"));
  EXPECT_NE(find_button(harness().root(), control::kFree), nullptr);
}

TEST_F(StoragePage, NothingSafeToFreeSaysWhyWithoutAButton) {
  struct Case {
    bool online;
    std::string why;
  } cases[] = {
      {true,
       "Nothing is safely reclaimable. Dirty, pinned, shared, and unverified content stays local."},
      {false, "You are offline. Local synced content stays available and cannot be reclaimed."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.online);
    service_.edit([&](auto& s) {
      s.snapshot = testing::sample_snapshot(c.online);
      auto& snapshot = *s.snapshot;
      for (auto& usage : snapshot.usage) usage.safe_to_free_bytes = 0;
      for (auto& file : snapshot.files) file.reclaimable_bytes = 0;
    });
    harness_.reset();
    settle();
    EXPECT_THAT(between(texts(), "Synced storage", "Largest items"),
                ElementsAre("Synced storage", "On this device", "3.0 MB", "On other devices only",
                            "3.5 MB", "Safe to free", "0 B", c.why));
    EXPECT_EQ(find_button(harness().root(), control::kFree), nullptr);
  }
}

TEST_F(StoragePage, LargestItemsAreTheEightLargestInScanOrderForEqualSizes) {
  const std::size_t sizes[] = {100, 900, 500, 500, 800, 50, 700, 600, 300, 200};
  for (std::size_t i = 0; i < std::size(sizes); ++i) {
    StorageHome::write(home_.installed_root() / fmt::format("app{:02}", i + 1) / "bin", sizes[i]);
  }
  settle();
  EXPECT_THAT(
      between(texts(), "Largest items", "Cache cleanup"),
      ElementsAre("Largest items", "app02 · Installed apps", "900 B", "app05 · Installed apps",
                  "800 B", "app07 · Installed apps", "700 B", "app08 · Installed apps", "600 B",
                  "app03 · Installed apps", "500 B", "app04 · Installed apps", "500 B",
                  "app09 · Installed apps", "300 B", "app10 · Installed apps", "200 B"));
}

TEST_F(StoragePage, NoItemsNoCache) {
  settle();
  EXPECT_THAT(texts(), Contains("No Kalu application storage was found on this device."));
  EXPECT_THAT(texts(), Contains("There is no application cache to clean."));
  EXPECT_EQ(find_button(harness().root(), control::kClean), nullptr);
}

TEST_F(StoragePage, TwelveCacheItemsListEightAndSayHowManyMore) {
  for (int i = 1; i <= 12; ++i) {
    StorageHome::write(home_.cache_root() / fmt::format("cache{:02}", i) / "blob", 1000 * i);
  }
  settle();
  EXPECT_THAT(between(texts(), "Cache cleanup preview", "Storage tools"),
              ElementsAre("Cache cleanup preview", "Remove 78.0 kB",
                          "Only the cache items listed below will be removed. App data, synced "
                          "files, and installed packages are never part of this action.",
                          "cache12", "12.0 kB", "cache11", "11.0 kB", "cache10", "10.0 kB",
                          "cache09", "9.0 kB", "cache08", "8.0 kB", "cache07", "7.0 kB", "cache06",
                          "6.0 kB", "cache05", "5.0 kB", "and 4 more"));
  const w::Button* remove = find_button(harness().root(), control::kClean);
  ASSERT_NE(remove, nullptr);
  EXPECT_TRUE(remove->has_action_control_bindings());

  // The button removes the whole preview, the four unlisted items too.
  press(control::kClean, "cleanup-caches", control::kCleanFlag);
  settle();
  EXPECT_TRUE(std::filesystem::is_empty(home_.cache_root()));
  EXPECT_THAT(texts(), Contains("There is no application cache to clean."));
}

TEST_F(StoragePage, Renders) {
  const std::string dir = SETTINGS_PANES_STORAGE_ARTIFACTS;
  StorageHome::write(home_.installed_root() / "org.example.Editor" / "bin", 48000000);
  StorageHome::write(home_.installed_root() / "org.example.Viewer" / "bin", 21000000);
  StorageHome::write(home_.app_data_root() / "org.example.Editor" / "db", 3400000);
  StorageHome::write(home_.cache_root() / "org.example.Viewer" / "thumbs" / "a", 5200000);
  StorageHome::write(home_.cache_root() / "org.example.Editor" / "index", 800000);
  harness({1280.0, 1050.0});
  settle();
  EXPECT_TRUE(harness().render_png(dir + "/storage.png"));

  // The service unavailable and no cache at all.
  harness_.reset();
  std::filesystem::remove_all(home_.cache_root());
  service_.edit([](auto& s) { s.snapshot = kalu_ui::fail("the sync daemon is not running"); });
  harness({1280.0, 900.0});
  settle();
  EXPECT_THAT(texts(),
              Contains("Sync storage service unavailable: the sync daemon is not running"));
  EXPECT_TRUE(harness().render_png(dir + "/storage_unavailable.png"));
}

}  // namespace
}  // namespace settings::panes::storage
