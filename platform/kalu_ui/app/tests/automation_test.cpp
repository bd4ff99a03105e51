// The launcher's automation wiring, headless: the App's registry is the
// host's, requests arrive through the frame hook and wake the loop, and a
// host that cannot start costs one warning and nothing else.

#include "automation.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>

#include "kalu_actions/resource.h"
#include "kalu_ui/harness.h"
#include "kalu_ui/host_client.h"
#include "kalu_ui/log.h"
#include "test_widgets.h"

namespace kalu_ui {
namespace {

using OrderedJson = nlohmann::ordered_json;
using launch::Automation;

struct TempDir {
  std::filesystem::path path;
  TempDir() {
    char pattern[] = "/tmp/kalu-automation-test-XXXXXX";
    path = ::mkdtemp(pattern);
  }
  ~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
  }
};

host::TransportOptions at(const std::filesystem::path& socket) {
  host::TransportOptions options;
  options.socket_path = socket.string();
  return options;
}

// Counts the actions of its namespace that reached the document.
class CountingHandler final : public kalu_actions::NamespaceHandler {
 public:
  explicit CountingHandler(std::shared_ptr<int> applied) : applied_(std::move(applied)) {}
  kalu_actions::ActionResult<std::unique_ptr<kalu_actions::TypedAction>> decode(
      std::span<const std::uint8_t>) const override {
    struct Applied final : kalu_actions::TypedAction {
      std::shared_ptr<int> count;
      std::string debug_text() const override { return "Applied"; }
      Status apply(doc::Document&) const override {
        ++*count;
        return {};
      }
    };
    auto action = std::make_unique<Applied>();
    action->count = applied_;
    return action;
  }

 private:
  std::shared_ptr<int> applied_;
};

// A root publishing one resource whose setting action goes through the
// namespace "test.ns".
class Root final : public app_test::Stack {
 public:
  std::vector<kalu_actions::Resource> resources(const doc::Document&) const override {
    return {kalu_actions::Resource::create("test.root", "test.root", "Test")
                .with_action(*kalu_actions::ActionSpec::nullary(
                    "apply", "Apply", kalu_actions::kOperationSetting, "test.ns", "{}"))};
  }
  std::optional<kalu_actions::Resource> resource_by_id(const doc::Document& document,
                                                       std::string_view id) const override {
    auto tree = resources(document);
    if (const auto* hit = tree[0].find(id)) return *hit;
    return std::nullopt;
  }
};

TEST(Automation, SetUpHookRegistryServesClientsThroughTheFrameHook) {
  TempDir dir;
  const auto socket = dir.path / "app.sock";
  harness::Harness h(std::make_unique<Root>());
  auto automation = std::make_unique<Automation>("kalu.test", at(socket));

  // The set-up hook's registration, made through the App.
  app::App app = automation->make_app();
  auto applied = std::make_shared<int>(0);
  app.action_registry_mut().insert("test.ns", std::make_shared<CountingHandler>(applied));
  EXPECT_TRUE(automation->host().action_registry()->contains("test.ns"));

  h.driver().add_frame_hook(automation->pump_hook());
  ASSERT_TRUE(automation->start(wake::WakeHandle::bound_to(h.waker())));
  h.frame();
  ASSERT_TRUE(std::filesystem::exists(socket));

  auto client = host::Connection::open(socket.string());
  ASSERT_TRUE(client) << client.error().message;
  ASSERT_TRUE(client->send(R"({"id":7,"method":"invoke","resource":"test.root","action":"apply"})"
                           "\n"));
  // The request wakes the sleeping loop; its frame carries the request out.
  EXPECT_TRUE(h.wait_for_frame(std::chrono::seconds(5)));
  auto line = client->read_line(5000);
  ASSERT_TRUE(line) << line.error();
  const OrderedJson answer = OrderedJson::parse(*line);
  EXPECT_EQ(answer["id"], 7);
  EXPECT_EQ(answer["ok"], true) << *line;
  EXPECT_EQ(answer["result"]["outcome"]["state"], "completed") << *line;
  EXPECT_EQ(*applied, 1);

  // Closing removes the socket; the App's registry outlives the host.
  automation.reset();
  EXPECT_FALSE(std::filesystem::exists(socket));
  EXPECT_TRUE(app.action_registry().find("test.ns") != nullptr);
}

TEST(Automation, HostThatCannotStartWarnsOnceAndTheLoopRunsOn) {
  TempDir dir;
  const auto socket = dir.path / "live.sock";
  Automation first("kalu.test", at(socket));
  ASSERT_TRUE(first.start(wake::WakeHandle::create()));
  const auto not_a_dir = dir.path / "file";
  std::ofstream(not_a_dir) << "x";

  struct Case {
    const char* name;
    std::string app_id;
    std::optional<std::string> socket;
    std::optional<std::string> runtime_dir;
    const char* error;
  };
  const Case cases[] = {
      {"live instance", "kalu.test", socket.string(), std::nullopt, "another instance"},
      {"no runtime dir", "kalu.test", std::nullopt, "", "XDG_RUNTIME_DIR"},
      {"runtime dir is a file", "kalu.test", std::nullopt, not_a_dir.string(), "cannot create"},
      {"bad app id", "../escape", std::nullopt, dir.path.string(), "invalid application id"},
  };
  const char* old = std::getenv("XDG_RUNTIME_DIR");
  const std::optional<std::string> saved = old ? std::optional<std::string>(old) : std::nullopt;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.runtime_dir) setenv("XDG_RUNTIME_DIR", c.runtime_dir->c_str(), 1);
    host::TransportOptions options;
    options.socket_path = c.socket;
    Automation automation(c.app_id, options);
    harness::Harness h(std::make_unique<Root>());
    h.driver().add_frame_hook(automation.pump_hook());
    log::ScopedCapture capture;
    EXPECT_FALSE(automation.start(wake::WakeHandle::bound_to(h.waker())));
    EXPECT_FALSE(automation.running());
    h.frames(2);
    const auto events = capture.events();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].message, "automation not available");
    ASSERT_NE(events[0].field("error"), nullptr);
    EXPECT_NE(events[0].field("error")->find(c.error), std::string::npos)
        << *events[0].field("error");
  }
  if (saved) {
    setenv("XDG_RUNTIME_DIR", saved->c_str(), 1);
  } else {
    unsetenv("XDG_RUNTIME_DIR");
  }
  // The live instance was left alone.
  EXPECT_TRUE(first.running());
  EXPECT_TRUE(host::Connection::open(socket.string()));
}

}  // namespace
}  // namespace kalu_ui
