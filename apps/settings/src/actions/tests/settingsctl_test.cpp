// A set-setting action on a small host's resource, invoked by the real
// automation client over a real socket in a temporary runtime directory.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <nlohmann/json.hpp>
#include <thread>

#include "actions/settings_action.h"
#include "kalu_actions/resource.h"
#include "kalu_ui/host.h"
#include "kalu_ui/wake.h"
#include "kalu_ui/widget/support.h"

namespace settings::actions {
namespace {

namespace doc = kalu_ui::doc;
using Json = nlohmann::ordered_json;

// A root with one resource whose "theme" action sets "appearance.theme".
class PrefsRoot final : public kalu_ui::widget::Leaf {
 public:
  std::string_view type_name() const override { return "test::PrefsRoot"; }
  void draw(kalu_ui::Scene&, const kalu_ui::Affine&, kalu_ui::text::TextRenderer&,
            const kalu_ui::Theme&, kalu_ui::DrawContext&) override {}

  std::vector<kalu_actions::Resource> resources(const doc::Document&) const override {
    auto theme = kalu_actions::ActionSpec::typed(
        "theme", "Set theme", "Dark or Light", kalu_actions::kOperationSetting,
        std::string(kSettingsActionNamespace),
        {kalu_actions::ActionParam::make("choice", "New setting value",
                                         kalu_actions::ParamKind::Text)},
        [](const kalu_actions::ActionArgs& args) {
          return settings_action_invocation(operations::SettingsAction::set_setting(
              "appearance.theme", args.text("choice").value_or("")));
        });
    return {kalu_actions::Resource::create("test.prefs", "test.prefs", "Preferences")
                .with_action(std::move(theme))};
  }
  std::optional<kalu_actions::Resource> resource_by_id(const doc::Document& document,
                                                       std::string_view id) const override {
    auto tree = resources(document);
    if (const auto* hit = tree[0].find(id)) return *hit;
    return std::nullopt;
  }
};

struct CtlRun {
  int exit = -1;
  Json out;
};

CtlRun settingsctl(std::vector<std::string> args) {
  int out[2];
  if (::pipe(out) != 0) return {};
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(out[1], 1);
    ::close(out[0]);
    std::vector<char*> argv{const_cast<char*>(SETTINGSCTL_PATH)};
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    ::execv(SETTINGSCTL_PATH, argv.data());
    ::_exit(101);
  }
  ::close(out[1]);
  std::string text;
  char buffer[4096];
  ssize_t n;
  while ((n = ::read(out[0], buffer, sizeof(buffer))) > 0) text.append(buffer, std::size_t(n));
  ::close(out[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, Json::parse(text, nullptr, false)};
}

TEST(SettingsActionThroughTheClient, InvokingTwiceWritesOnce) {
  char tmpl[] = "/tmp/kalu-settings-runtime-XXXXXX";
  ASSERT_NE(::mkdtemp(tmpl), nullptr);
  const std::string runtime = tmpl;
  ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);

  auto waker = std::make_shared<kalu_ui::wake::Waker>();
  kalu_ui::host::AutomationHost host("test.settings");
  register_action_handler(host.action_registry_mut(), kSettingsActionNamespace);
  ASSERT_TRUE(host.start(kalu_ui::wake::WakeHandle::bound_to(waker)));

  // The UI thread: pumps requests and shows the test what the document holds.
  PrefsRoot root;
  doc::Document document;
  std::mutex seen_mutex;
  std::optional<std::string> theme;
  std::vector<doc::ChangeHash> heads;
  std::atomic<bool> stop{false};
  std::thread loop([&] {
    while (!stop) {
      if (!waker->wait_until(kalu_ui::Instant::now() + std::chrono::milliseconds(20))) continue;
      host.pump(root, document);
      std::lock_guard lock(seen_mutex);
      theme = document.read_str(doc::kRoot, "appearance.theme");
      heads = document.get_heads();
    }
  });
  auto seen = [&] {
    std::lock_guard lock(seen_mutex);
    return std::pair(theme, heads);
  };
  const std::vector<std::string> invoke = {"--app",      "test.settings", "invoke",
                                           "test.prefs", "theme",         R"({"choice":"Dark"})"};

  CtlRun first = settingsctl(invoke);
  EXPECT_EQ(first.exit, 0) << first.out.dump();
  EXPECT_EQ(first.out["outcome"]["state"], "completed");
  const auto [first_theme, first_heads] = seen();
  EXPECT_EQ(first_theme, "Dark");
  EXPECT_FALSE(first_heads.empty());

  CtlRun second = settingsctl(invoke);
  EXPECT_EQ(second.exit, 0);
  EXPECT_EQ(seen().second, first_heads);

  // A value the key does not take is refused by the handler and changes
  // nothing; no value at all is refused before it.
  CtlRun other =
      settingsctl({"--app", "test.settings", "invoke", "test.prefs", "theme", R"({"choice":""})"});
  EXPECT_EQ(other.exit, 3);
  EXPECT_EQ(other.out["outcome"]["state"], "rejected");
  EXPECT_NE(other.out["outcome"]["message"].get<std::string>().find(
                "settings target is stale, unknown, or has an invalid value: appearance.theme"),
            std::string::npos);
  CtlRun empty = settingsctl({"--app", "test.settings", "invoke", "test.prefs", "theme"});
  EXPECT_EQ(empty.exit, 3);
  EXPECT_TRUE(empty.out.is_discarded());  // refused with an error line, no result
  EXPECT_EQ(seen(), std::pair(std::optional<std::string>("Dark"), first_heads));

  stop = true;
  loop.join();
  host.stop();
  std::filesystem::remove_all(runtime);
}

}  // namespace
}  // namespace settings::actions
