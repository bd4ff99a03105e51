#include "sim_device/state.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <map>
#include <sstream>
#include <thread>

#include "kalu_ui/log.h"
#include "limited_exec/limited_exec.h"
#include "limited_exec/programs.h"
#include "safe_write/bad_files.h"

namespace sim_device {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using ::testing::Not;

std::string state_file_text(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

void put_file(const fs::path& path, const std::string& text) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

std::vector<fs::path> corrupt_copies(const fs::path& dir) {
  std::vector<fs::path> out;
  for (const auto& entry : fs::directory_iterator(dir)) {
    if (entry.path().filename().string().find(".corrupt-") != std::string::npos) {
      out.push_back(entry.path());
    }
  }
  return out;
}

TEST(DeviceState, FreshDeviceHasTheFilesShapeAndIsPrivate) {
  ScopedDeviceState scoped;
  fs::remove(scoped.path());
  auto state = read();
  ASSERT_TRUE(state) << state.error();
  EXPECT_TRUE(check_state(**state));
  struct stat st {};
  ASSERT_EQ(::stat(scoped.path().c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  // The seed looks like a real device, with delays for the worker jobs.
  EXPECT_FALSE((**state)["delays"].empty());
  EXPECT_EQ((**state)["version"], 1);
}

TEST(DeviceState, ChangesPersistAndFaultsAnswerTheirTextWithoutWriting) {
  ScopedDeviceState scoped;
  ASSERT_TRUE(update("network.set_wifi", [](Json& s) -> kalu_ui::Status {
    s["network"]["wifi_enabled"] = false;
    return {};
  }));
  EXPECT_EQ(Json::parse(state_file_text(scoped.path()))["network"]["wifi_enabled"], false);

  ASSERT_TRUE(update("", [](Json& s) -> kalu_ui::Status {
    s["faults"]["network.set_wifi"] = "radio is blocked";
    return {};
  }));
  std::string before = state_file_text(scoped.path());
  auto refused = update("network.set_wifi", [](Json& s) -> kalu_ui::Status {
    s["network"]["wifi_enabled"] = true;
    return {};
  });
  ASSERT_FALSE(refused);
  EXPECT_EQ(refused.error(), "radio is blocked");
  EXPECT_EQ(state_file_text(scoped.path()), before);
  EXPECT_EQ(read_for("network.set_wifi").error(), "radio is blocked");
}

TEST(DeviceState, AChangeThatBreaksTheShapeIsRefusedWithItsPlace) {
  ScopedDeviceState scoped;
  std::string before = state_file_text(scoped.path());
  auto refused = update("", [](Json& s) -> kalu_ui::Status {
    s["network"]["wifi_networks"][1]["signal"] = "strong";
    return {};
  });
  ASSERT_FALSE(refused);
  EXPECT_THAT(refused.error(), HasSubstr("network.wifi_networks[1].signal"));
  EXPECT_EQ(state_file_text(scoped.path()), before);
}

TEST(DeviceState, ReadsComeFromTheCacheUntilTheFileChanges) {
  ScopedDeviceState scoped;
  auto first = read();
  auto second = read();
  ASSERT_TRUE(first && second);
  EXPECT_EQ(first->get(), second->get());
  // Another process replaces the file.
  Json changed = **first;
  changed["display"]["brightness"] = 12;
  put_file(scoped.path(), changed.dump());
  auto third = read();
  ASSERT_TRUE(third);
  EXPECT_EQ((**third)["display"]["brightness"], 12);
}

TEST(DeviceState, AFileWithoutANewerSectionGetsItSeeded) {
  ScopedDeviceState scoped;
  Json old = Json::parse(state_file_text(scoped.path()));
  old.erase("tools");
  put_file(scoped.path(), old.dump());
  auto state = read();
  ASSERT_TRUE(state) << state.error();
  EXPECT_EQ((**state)["tools"], seeded_state()["tools"]);
}

TEST(DeviceState, UnderTestWithoutAScopedDeviceThereIsNone) {
  const char* had_test = std::getenv("KALU_TEST");
  std::optional<std::string> had_state;
  if (const char* env = std::getenv("KALU_DEVICE_STATE")) had_state = env;
  ::setenv("KALU_TEST", "1", 1);
  ::unsetenv("KALU_DEVICE_STATE");
  auto none = read();
  auto refused = update("", [](Json&) -> kalu_ui::Status { return {}; });
  if (had_test == nullptr) ::unsetenv("KALU_TEST");
  if (had_state) ::setenv("KALU_DEVICE_STATE", had_state->c_str(), 1);
  ASSERT_FALSE(none);
  EXPECT_THAT(none.error(), HasSubstr("ScopedDeviceState"));
  EXPECT_FALSE(refused);
}

struct CorruptCase {
  const char* name;
  std::function<std::string(const std::string& good)> make;
  const char* reason;
};

class CorruptFile : public ::testing::TestWithParam<CorruptCase> {};

TEST_P(CorruptFile, IsKeptAsideReportedAndReplacedByAFreshDevice) {
  ScopedDeviceState scoped;
  std::string bad = GetParam().make(state_file_text(scoped.path()));
  put_file(scoped.path(), bad);

  auto found = read();
  ASSERT_FALSE(found);
  EXPECT_THAT(found.error(), HasSubstr(scoped.path().string()));
  EXPECT_THAT(found.error(), HasSubstr(GetParam().reason));
  // The passphrase in the file never shows in the text.
  EXPECT_THAT(found.error(), Not(HasSubstr("amber-lantern")));

  auto copies = corrupt_copies(scoped.dir());
  ASSERT_EQ(copies.size(), 1u);
  EXPECT_EQ(state_file_text(copies[0]), bad);

  auto fresh = read();
  ASSERT_TRUE(fresh) << fresh.error();
  EXPECT_EQ((**fresh)["network"], seeded_state()["network"]);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, CorruptFile,
    ::testing::Values(CorruptCase{"Truncated",
                                  [](const std::string& good) {
                                    // Cut right after the secured network's passphrase.
                                    return good.substr(0, good.find("amber-lantern-42") + 16);
                                  },
                                  "not valid JSON"},
                      CorruptCase{"WrongShape",
                                  [](const std::string& good) {
                                    Json j = Json::parse(good);
                                    j["bluetooth"]["devices"][0]["paired"] = "yes";
                                    return j.dump();
                                  },
                                  "bluetooth.devices[0].paired"},
                      CorruptCase{"NotAnObject",
                                  [](const std::string&) { return std::string("[1, 2]"); },
                                  "not a JSON object"}),
    [](const auto& info) { return std::string(info.param.name); });

// What no reader can take in the file's place: refused at once, kept aside
// with the reason, and a fresh device answers the next read.
TEST(DeviceState, AFileOfTheWrongKindOrSizeIsKeptAsideWithoutBlocking) {
  const std::map<safe_write::testing::BadFile, std::string> reasons = {
      {safe_write::testing::BadFile::kFifo, "not a regular file (a FIFO)"},
      {safe_write::testing::BadFile::kDevZeroLink, "not a regular file (a device)"},
      {safe_write::testing::BadFile::kHuge, "larger than "},
      {safe_write::testing::BadFile::kDirectory, "not a regular file (a directory)"},
      {safe_write::testing::BadFile::kNoPermission, "Permission denied"},
  };
  for (const auto& bad : safe_write::testing::bad_files()) {
    SCOPED_TRACE(bad.name);
    ScopedDeviceState scoped;
    fs::remove(scoped.path());
    if (!safe_write::testing::make_bad_file(scoped.path(), bad.kind)) continue;
    const auto started = std::chrono::steady_clock::now();
    kalu_ui::log::ScopedCapture log;
    auto found = read();
    ASSERT_FALSE(found);
    EXPECT_THAT(found.error(), HasSubstr(reasons.at(bad.kind)));
    EXPECT_THAT(found.error(), HasSubstr("a fresh device was set up"));
    ASSERT_EQ(corrupt_copies(scoped.dir()).size(), 1u);
    ASSERT_EQ(log.events().size(), 1u);
    EXPECT_EQ(*log.events()[0].field("copy"), corrupt_copies(scoped.dir())[0].string());
    auto fresh = read();
    ASSERT_TRUE(fresh) << fresh.error();
    EXPECT_EQ((**fresh)["network"], seeded_state()["network"]);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
    for (const auto& copy : corrupt_copies(scoped.dir())) {
      std::error_code ec;
      fs::permissions(copy, fs::perms::owner_all, ec);
    }
  }
}

TEST(DeviceState, AnUnmovableBadFileSeedsNothingAndFailsEveryOperation) {
  ScopedDeviceState scoped;
  put_file(scoped.path(), "{\"version\": ");
  testing::ScopedAsideRename refuse([](const fs::path&, const fs::path&) { return EACCES; });
  for (int attempt = 0; attempt < 2; ++attempt) {
    auto found = read();
    ASSERT_FALSE(found);
    EXPECT_THAT(found.error(), HasSubstr("could not be moved aside"));
    EXPECT_FALSE(update("", [](Json&) -> kalu_ui::Status { return {}; }));
  }
  EXPECT_EQ(state_file_text(scoped.path()), "{\"version\": ");
  EXPECT_TRUE(corrupt_copies(scoped.dir()).empty());
}

#ifdef SIMDEV_PATH
// Eight threads and simdev in a child change values of their own, the
// threads for as long as the child runs, while another thread parses the
// file: no update is lost and the file always parses.
TEST(DeviceState, ConcurrentWritersLoseNothing) {
  ScopedDeviceState scoped;
  limited_exec::ProgramTable table;
  table.add("simdev", SIMDEV_PATH);
  limited_exec::ScopedTestPrograms programs(table);

  std::atomic<int> bad_parses{0};
  std::atomic<bool> done{false};
  std::atomic<bool> child_done{false};
  std::vector<int> counts(8, 0);
  std::vector<std::thread> writers;
  for (int t = 0; t < 8; ++t) {
    writers.emplace_back([&, t] {
      std::string key = "test.thread" + std::to_string(t);
      while (!child_done || counts[t] < 20) {
        auto ok = update("", [&](Json& s) -> kalu_ui::Status {
          s["delays"][key] = s["delays"].value(key, 0) + 1;
          return {};
        });
        if (ok) ++counts[t];
      }
    });
  }
  int child_runs = 0;
  std::thread child([&] {
    for (int i = 0; i < 3; ++i) {
      std::vector<std::string> args = {"delay", "test.child", std::to_string(child_runs + 1)};
      auto out = limited_exec::run("simdev", args, std::chrono::seconds(60), 65536);
      if (out && out->success()) ++child_runs;
    }
    child_done = true;
  });
  std::thread reader([&] {
    while (!done) {
      std::string text = state_file_text(scoped.path());
      if (!Json::accept(text)) ++bad_parses;
    }
  });
  for (auto& w : writers) w.join();
  child.join();
  done = true;
  reader.join();

  Json final_state = Json::parse(state_file_text(scoped.path()));
  for (int t = 0; t < 8; ++t) {
    EXPECT_GT(counts[t], 0);
    EXPECT_EQ(final_state["delays"]["test.thread" + std::to_string(t)], counts[t]);
  }
  EXPECT_EQ(child_runs, 3);
  EXPECT_EQ(final_state["delays"]["test.child"], child_runs);
  EXPECT_EQ(bad_parses, 0);
}
#endif

}  // namespace
}  // namespace sim_device
