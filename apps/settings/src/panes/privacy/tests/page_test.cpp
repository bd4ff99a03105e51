#include "panes/privacy/page.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "kalu_ui/harness.h"
#include "kalu_ui/widget/badge.h"
#include "kalu_ui/widget/button.h"
#include "kalu_ui/widget/card.h"
#include "kalu_ui/widget/text.h"
#include "limited_exec/fake_programs.h"
#include "limited_exec/programs.h"
#include "panes/privacy/security_rows.h"
#include "prefs_store/paths.h"
#include "sim_device/state.h"

namespace settings::panes::privacy {
namespace {

namespace fs = std::filesystem;
namespace w = kalu_ui::widget;
using kalu_ui::Widget;
using ::testing::Contains;
using ::testing::Not;

const bool kTestMode = (limited_exec::enter_test_mode(), true);

// Every text a person reads on the page, in tree order: texts, card titles,
// badges and button labels.
void collect_texts(const Widget& widget, std::vector<std::string>& out) {
  if (const auto* text = dynamic_cast<const w::Text*>(&widget)) out.push_back(text->text());
  if (const auto* card = dynamic_cast<const w::Card*>(&widget)) out.push_back(card->title());
  if (const auto* badge = dynamic_cast<const w::Badge*>(&widget)) out.push_back(badge->text());
  if (const auto* button = dynamic_cast<const w::Button*>(&widget)) out.push_back(button->label());
  for (const Widget* child : widget.children()) collect_texts(*child, out);
}

std::vector<std::string> texts_of(const Widget& root) {
  std::vector<std::string> out;
  collect_texts(root, out);
  return out;
}

SecurityRows* security_rows(Widget& widget) {
  if (auto* rows = dynamic_cast<SecurityRows*>(&widget)) return rows;
  for (Widget* child : widget.children_mut()) {
    if (auto* rows = security_rows(*child)) return rows;
  }
  return nullptr;
}

// The three device security values as shown.
std::vector<std::string> security_values(Widget& root) {
  std::vector<std::string> values;
  SecurityRows* rows = security_rows(root);
  if (rows == nullptr) return values;
  for (const Widget* row : rows->children()) {
    values.push_back(dynamic_cast<const w::Text&>(*row->children().back()).text());
  }
  return values;
}

// Runs frames until the probes' answer is shown (or a long while passed).
bool settle(kalu_ui::harness::Harness& harness) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (!security_rows(harness.root())->answered()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    harness.wait_for_frame(std::chrono::milliseconds(200));
  }
  harness.frame();
  return true;
}

kalu_ui::harness::Options tall_window() {
  return kalu_ui::harness::Options::sized({900.0, 1700.0});
}

// A simulated device, a configuration folder and fake programs of this
// machine's answers; every page is settled before the test ends so no probe
// outlives its fakes.
class PrivacyPage : public ::testing::Test {
 protected:
  PrivacyPage() : config_(device_.dir() / "config") {
    fakes_.add("findmnt", "echo /dev/mapper/luks-root");
    fakes_.add("lsblk", R"(printf 'crypt\npart\ndisk\n')");
    fakes_.add("firewall-cmd", "echo running");
    fakes_.add("nft", "exit 1");
  }

  void write_state(const std::string& text) {
    fs::create_directories(device_.dir() / "config" / "kalu");
    std::ofstream(device_.dir() / "config" / "kalu" / "state.json", std::ios::binary) << text;
  }

  // Secure Boot from the simulated device's own firmware variables.
  static kalu_ui::WidgetBox page() { return build_page(); }

  sim_device::ScopedDeviceState device_;
  prefs_store::ScopedConfigDir config_;
  limited_exec::FakePrograms fakes_;
};

std::string app_grant(const std::string& app, const std::string& scope, const std::string& verb,
                      const std::string& expiry = "\"Never\"") {
  return R"({"subject": {"Principal": {"App": ")" + app + R"("}}, "scope": )" + scope +
         R"(, "effect": "Grant", "verb": ")" + verb + R"(", "expiry": )" + expiry + "}";
}

TEST_F(PrivacyPage, ReportsTheSimulatedDevice) {
  write_state(R"({"workspaces": []})");
  kalu_ui::harness::Harness harness(page(), tall_window());
  harness.frame();
  ASSERT_TRUE(settle(harness));
  auto texts = texts_of(harness.root());
  // The seeded device: a camera, the microphone listening, one recorder.
  EXPECT_THAT(texts, Contains("Available"));
  EXPECT_THAT(texts, Contains("Listening allowed"));
  EXPECT_THAT(texts, Contains("Voice Recorder"));
  EXPECT_THAT(texts, Contains("Using microphone"));
  EXPECT_THAT(texts, Contains("No workspace access grants"));
  EXPECT_EQ(security_values(harness.root()),
            (std::vector<std::string>{"Encrypted", "Enabled", "Active \u00b7 firewalld"}));
}

TEST_F(PrivacyPage, NoActiveUseAndAnUnreadableStatus) {
  write_state(R"({"workspaces": []})");
  ASSERT_TRUE(sim_device::update("", [](sim_device::Json& s) -> kalu_ui::Status {
    s["privacy"]["active_uses"] = sim_device::Json::array();
    s["privacy"]["camera_present"] = false;
    s["privacy"]["camera_state"] = 0;
    s["privacy"]["microphone_mute"] = 2;
    return {};
  }));
  {
    kalu_ui::harness::Harness harness(page(), tall_window());
    harness.frame();
    ASSERT_TRUE(settle(harness));
    auto texts = texts_of(harness.root());
    EXPECT_THAT(texts, Contains("No application is using the camera or microphone now."));
    EXPECT_THAT(texts, Contains("Not available"));
    EXPECT_THAT(texts, Contains("Unavailable"));  // the mute
  }
  ASSERT_TRUE(sim_device::update("", [](sim_device::Json& s) -> kalu_ui::Status {
    s["faults"]["privacy.get_privacy_status"] = "privacy service is down";
    return {};
  }));
  kalu_ui::harness::Harness harness(page(), tall_window());
  harness.frame();
  ASSERT_TRUE(settle(harness));
  auto texts = texts_of(harness.root());
  EXPECT_THAT(texts, Not(Contains("No application is using the camera or microphone now.")));
  EXPECT_EQ(std::count(texts.begin(), texts.end(), "Unavailable"), 4);
}

TEST_F(PrivacyPage, ABlankWorkspaceWithOneCameraGrant) {
  write_state(R"({"workspaces": [{"name": "   ", "capabilities": [)" +
              app_grant("org.example.Meet", R"({"Device": "camera"})", "Read") + "]}]}");
  kalu_ui::harness::Harness harness(page(), tall_window());
  harness.frame();
  auto texts = texts_of(harness.root());
  EXPECT_THAT(texts, Contains("1 grant across 1 workspace"));
  EXPECT_THAT(texts, Contains("Workspace"));
  EXPECT_THAT(texts, Contains("org.example.Meet"));
  EXPECT_THAT(texts, Contains("Capture video"));
  EXPECT_THAT(texts, Contains("Always"));
  EXPECT_THAT(texts, Not(Contains("No workspace access grants")));
  ASSERT_TRUE(settle(harness));
}

TEST_F(PrivacyPage, TheRecordUnavailable) {
  const std::string unavailable = std::string(stored::kWorkspaceAccessUnavailable);
  for (const char* state : {R"({"version": 3})", "[]", R"({"workspaces": 1})", "not json"}) {
    SCOPED_TRACE(state);
    write_state(state);
    kalu_ui::harness::Harness harness(page(), tall_window());
    harness.frame();
    auto texts = texts_of(harness.root());
    EXPECT_THAT(texts, Contains("Workspace access status unavailable"));
    EXPECT_THAT(texts, Contains(unavailable));
    EXPECT_THAT(texts, Not(Contains("No workspace access grants")));
    ASSERT_TRUE(settle(harness));
  }
  // No configuration directory at all.
  prefs_store::ScopedConfigDir none("");
  kalu_ui::harness::Harness harness(page(), tall_window());
  harness.frame();
  EXPECT_THAT(texts_of(harness.root()), Contains("Workspace access status unavailable"));
  ASSERT_TRUE(settle(harness));
}

TEST_F(PrivacyPage, TheWorkspaceButtonIsAControlInvocation) {
  write_state(R"({"workspaces": []})");
  kalu_ui::harness::Harness harness(page(), tall_window());
  harness.frame();
  ASSERT_TRUE(harness.click_id("open-workspace-privacy"));
  const auto replayed = harness.take_replayed();
  ASSERT_EQ(replayed.size(), 1u);
  EXPECT_EQ(replayed[0].invocation.resource_id, "kalu.control:open-workspace-privacy");
  EXPECT_EQ(replayed[0].invocation.action, "invoke");
  // The button ran its own handler: the replay only reports it.
  EXPECT_EQ(replayed[0].fate, kalu_ui::host::ReplayedControl::Fate::Reported);
  // The hand-over to the workspace's access page reaches the device.
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  sim_device::Json opened;
  while (std::chrono::steady_clock::now() < deadline) {
    opened = (*sim_device::read())->at("tools").at("opened");
    if (!opened.empty()) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  ASSERT_EQ(opened.size(), 1u);
  EXPECT_EQ(opened[0]["intent"], "workspace");
  EXPECT_EQ(opened[0]["page"], 2);
  ASSERT_TRUE(settle(harness));
}

// The probes take as long as findmnt does, but the page does not wait: here
// findmnt answers only once the page has been built and drawn. A page that
// waited would see findmnt killed at its time limit, and no "Checking…".
TEST_F(PrivacyPage, BuiltAtOnceWhileTheProbesRun) {
  write_state(R"({"workspaces": []})");
  const auto gate = fakes_.dir() / "gate";
  fakes_.add("findmnt",
             "while [ ! -e '" + gate.string() + "' ]; do sleep 0.01; done; echo /dev/sda1");
  kalu_ui::harness::Harness harness(page(), tall_window());
  harness.frame();
  EXPECT_EQ(security_values(harness.root()),
            (std::vector<std::string>{"Checking\u2026", "Checking\u2026", "Checking\u2026"}));
  EXPECT_THAT(texts_of(harness.root()), Contains("This device"));
  std::ofstream{gate};
  ASSERT_TRUE(settle(harness));
  EXPECT_EQ(security_values(harness.root()),
            (std::vector<std::string>{"Encrypted", "Enabled", "Active \u00b7 firewalld"}));
}

// Renders for a person to check: grants of every kind in two workspaces,
// and the unavailable record.
TEST_F(PrivacyPage, Renders) {
  const std::string dir = SETTINGS_PANES_PRIVACY_ARTIFACTS;
  write_state(
      R"({"workspaces": [{"name": "Design studio", "capabilities": [)" +
      app_grant("org.example.Photos", R"({"FsPath": "/home/ada/Pictures"})", "Write") + "," +
      app_grant("org.example.Photos", R"({"FsPath": "/srv/shared/assets"})", "Read",
                R"({"AtUnix": 1900000000})") +
      "," + app_grant("org.example.Photos", R"({"NetHost": "*"})", "Read") + "," +
      app_grant("org.example.Meet", R"({"Device": "camera"})", "Read", "\"EndOfSession\"") + "," +
      app_grant("org.example.Meet", R"({"Device": "microphone"})", "Read", "\"EndOfSession\"") +
      "," + app_grant("org.example.Meet", R"({"Device": "screencast"})", "Read", "\"AfterUse\"") +
      R"(]}, {"name": "", "capabilities": [)" +
      app_grant("org.example.Support", R"({"Device": "remote-desktop"})", "Write", "\"AfterUse\"") +
      "," + app_grant("org.example.Support", R"({"NetHost": "help.example.org"})", "Read") +
      "]}]}");
  {
    kalu_ui::harness::Harness harness(page(), tall_window());
    harness.frame();
    ASSERT_TRUE(settle(harness));
    EXPECT_THAT(texts_of(harness.root()), Contains("8 grants across 2 workspaces"));
    EXPECT_TRUE(harness.render_png(dir + "/privacy_grants.png").has_value());
  }
  write_state("{}");
  kalu_ui::harness::Harness harness(page(), tall_window());
  harness.frame();
  EXPECT_TRUE(harness.render_png(dir + "/privacy_unavailable_checking.png").has_value());
  ASSERT_TRUE(settle(harness));
  EXPECT_TRUE(harness.render_png(dir + "/privacy_unavailable.png").has_value());
}

}  // namespace
}  // namespace settings::panes::privacy
