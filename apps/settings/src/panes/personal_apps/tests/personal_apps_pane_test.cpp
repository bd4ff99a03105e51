// The Apps & Files pane in the headless harness over fixture application
// folders, a personal mimeapps.list and a system one: what the first sync
// shows (over an edit key an earlier visit left), a choice kept by its
// set-setting (the dropdown's or a client's, by label or by name) and
// followed, choosing what is already the default, a kind nobody chose yet,
// texts that name no candidate, and the page.

#include "panes/personal_apps/personal_apps_pane.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "actions/default_apps_section.h"
#include "actions/doc_readers.h"
#include "actions/resource_tree.h"
#include "actions/setting_store.h"
#include "actions/settings_action.h"
#include "kalu_ui/harness.h"
#include "kalu_ui/widget/dropdown.h"
#include "kalu_ui/widget/text.h"
#include "panes/personal_apps/page.h"
#include "prefs_store/paths.h"
#include "sim_device/state.h"
#include "stored/tests/stored_fixture.h"
#include "vocabulary/app_candidates.h"

namespace settings::panes::personal_apps {
namespace {

namespace w = kalu_ui::widget;
namespace doc = kalu_ui::doc;
using desktop_rules::ResourceKind;
using operations::SettingsAction;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::Not;

constexpr std::string_view kTextKey = "default_apps.mime.text/plain";
constexpr std::string_view kWriter = "Writer \u2014 org.example.Writer";
constexpr std::string_view kNotes = "Notes \u2014 org.example.Notes";
constexpr std::string_view kPersonalList =
    "# mine\n[Added Associations]\ntext/plain=org.example.Notes.desktop;\n\n"
    "[Default Applications]\ntext/plain=org.example.Writer.desktop\n";

std::filesystem::path temp_root() {
  char pattern[] = "/tmp/personal_apps_test.XXXXXX";
  const char* made = ::mkdtemp(pattern);
  return made != nullptr ? made : "";
}

// Application folders of their own (what the pane lists and the
// set-setting store chooses from), and a configuration folder holding the
// person's mimeapps.list.
class Fixture {
 public:
  Fixture()
      : root_(temp_root()),
        config_(root_ / "config"),
        data_("XDG_DATA_HOME", (root_ / "data").string()),
        data_dirs_("XDG_DATA_DIRS", (root_ / "none").string()) {
    std::filesystem::create_directories(root_ / "data" / "applications");
    std::filesystem::create_directories(root_ / "config");
    app("org.example.Writer", "Writer", "text/plain;text/markdown;");
    app("org.example.Notes", "Notes", "text/plain;");
    app("org.example.Browser", "Browser", "x-scheme-handler/https;text/html;");
    write(system_list(), "[Default Applications]\ntext/html=org.example.Browser.desktop\n");
  }
  ~Fixture() {
    std::error_code ignored;
    std::filesystem::remove_all(root_, ignored);
  }
  void app(std::string_view id, std::string_view name, std::string_view types) {
    write(root_ / "data" / "applications" / (std::string(id) + ".desktop"),
          "[Desktop Entry]\nType=Application\nName=" + std::string(name) +
              "\nExec=" + std::string(name) + " %f\nMimeType=" + std::string(types) + "\n");
  }
  static void write(const std::filesystem::path& path, std::string_view text) {
    std::ofstream(path) << text;
  }
  std::filesystem::path personal_list() const { return root_ / "config" / "mimeapps.list"; }
  std::filesystem::path data() const { return root_ / "data"; }
  std::filesystem::path system_list() const { return root_ / "system-mimeapps.list"; }
  std::string personal_text() const {
    std::ifstream in(personal_list());
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }
  std::unique_ptr<PersonalAppsPane> pane() const {
    auto defaults = desktop_rules::PersonalDefaults::load_at(personal_list());
    EXPECT_TRUE(defaults);
    return std::make_unique<PersonalAppsPane>(
        installed_gui_apps(desktop_file::ApplicationRoots::under({root_ / "data"})),
        std::move(*defaults), desktop_rules::DefaultAppResolver({system_list()}), mime_);
  }

 private:
  std::filesystem::path root_;
  prefs_store::ScopedConfigDir config_;
  stored::testing::ScopedEnv data_;
  stored::testing::ScopedEnv data_dirs_;
  desktop_rules::MimeDatabase mime_{{}};
};

struct PaneHarness {
  explicit PaneHarness(const Fixture& fixture, doc::Document document = {})
      : harness(fixture.pane(), std::move(document),
                kalu_ui::harness::Options::sized({900.0, 1200.0})),
        pane(dynamic_cast<PersonalAppsPane&>(harness.root())) {
    harness.frame();
  }
  std::optional<std::string> text(std::string_view key) {
    return actions::read_doc_text(harness.document(), doc::kRoot, key);
  }
  void put_text(std::string_view key, std::string_view value) {
    ASSERT_TRUE(harness.document().put(doc::kRoot, key, doc::Scalar(std::string(value))));
  }
  // A set-setting as the application's handler carries it out (a client's,
  // or the dropdown's through the control replay); whether it was kept.
  bool set(std::string_view key, std::string_view value) {
    return actions::apply_setting(SettingsAction::set_setting(std::string(key), value),
                                  harness.document(), &actions::store_setting)
        .has_value();
  }
  w::Dropdown& dropdown(std::string_view id) {
    auto* found = dynamic_cast<w::Dropdown*>(harness.find(id));
    EXPECT_NE(found, nullptr) << id;
    return *found;
  }
  std::vector<std::string> texts() {
    std::vector<std::string> out;
    collect(pane, out);
    return out;
  }
  static void collect(const kalu_ui::Widget& widget, std::vector<std::string>& out) {
    if (const auto* t = dynamic_cast<const w::Text*>(&widget)) out.push_back(t->text());
    for (const kalu_ui::Widget* child : widget.children()) collect(*child, out);
  }

  kalu_ui::harness::Harness harness;
  PersonalAppsPane& pane;
};

TEST(PersonalAppsPaneTest, TheFirstSyncShowsWhatResolvesOverAnEarlierVisit) {
  Fixture f;
  Fixture::write(f.personal_list(), kPersonalList);
  // An edit key a visit before the choice left.
  doc::Document document;
  ASSERT_TRUE(
      document.put(doc::kRoot, std::string(kTextKey) + ".edit", doc::Scalar(std::string(kNotes))));
  PaneHarness h(f, std::move(document));
  // The personal default, and the system's choice for a kind without one.
  EXPECT_EQ(h.text(kTextKey), kWriter);
  EXPECT_EQ(h.text(std::string(kTextKey) + ".edit"), kWriter);
  EXPECT_EQ(h.text("default_apps.mime.text/html"), "Browser \u2014 org.example.Browser");
  // Nobody chose one for markdown: nothing under its keys.
  EXPECT_EQ(h.text("default_apps.mime.text/markdown"), std::nullopt);
  h.harness.frames(3);
  EXPECT_EQ(h.dropdown("personal-default.mime:text/plain").selected(), kWriter);
  EXPECT_EQ(f.personal_text(), kPersonalList);
  EXPECT_EQ(h.pane.short_type_name(), "PersonalAppsPane");
}

TEST(PersonalAppsPaneTest, ADropdownChoiceKeptByItsSetSettingIsFollowed) {
  Fixture f;
  Fixture::write(f.personal_list(), kPersonalList);
  PaneHarness h(f);
  h.put_text(std::string(kTextKey) + ".edit", kNotes);
  ASSERT_TRUE(h.set(kTextKey, kNotes));
  h.harness.frames(2);
  EXPECT_EQ(h.text(kTextKey), kNotes);
  EXPECT_EQ(h.text(std::string(kTextKey) + ".edit"), kNotes);
  EXPECT_EQ(h.pane.defaults().get(*ResourceKind::from_mime("text/plain")), "org.example.Notes");
  // Only that line changed; the other group and the comment stay.
  EXPECT_EQ(f.personal_text(),
            "# mine\n[Added Associations]\ntext/plain=org.example.Notes.desktop;\n\n"
            "[Default Applications]\ntext/plain=org.example.Notes.desktop\n");
}

// The dropdown shows labels ("Notes — id"); what it records is a choice the
// section a client reads allows, so the control replay's check takes it.
TEST(PersonalAppsPaneTest, TheDropdownRecordsAChoiceThePublishedActionAllows) {
  Fixture f;
  PaneHarness h(f);
  ASSERT_TRUE(h.harness.click_id("personal-default.mime:text/plain"));
  w::Dropdown& dropdown = h.dropdown("personal-default.mime:text/plain");
  const auto& options = dropdown.options();
  const auto writer = std::ranges::find(options, std::string(kWriter));
  ASSERT_NE(writer, options.end());
  dropdown.choose(static_cast<std::size_t>(writer - options.begin()));
  const auto recorded = h.harness.root().take_control_invocation();
  ASSERT_TRUE(recorded);
  const auto section = actions::default_apps_resource(
      installed_gui_apps(desktop_file::ApplicationRoots::under({f.data()})),
      desktop_rules::MimeDatabase({}));
  const auto item = actions::find_resource(section, recorded->resource_id);
  ASSERT_TRUE(item) << recorded->resource_id;
  const kalu_actions::ActionSpec* spec = item->action(recorded->action);
  ASSERT_NE(spec, nullptr);
  const auto arguments = kalu_actions::ActionArgs::parse(recorded->arguments_json);
  ASSERT_TRUE(arguments) << arguments.error();
  const auto built = spec->build_json(*arguments);
  ASSERT_TRUE(built) << built.error();
  EXPECT_NE(built->payload_text().find(R"("Text":"Writer")"), std::string::npos)
      << built->payload_text();
}

TEST(PersonalAppsPaneTest, ChoosingTheCurrentDefaultSavesNothing) {
  Fixture f;
  Fixture::write(f.personal_list(), kPersonalList);
  PaneHarness h(f);
  ASSERT_TRUE(h.set(kTextKey, kWriter));
  h.harness.frames(3);
  EXPECT_EQ(f.personal_text(), kPersonalList);
}

// A kind without a personal default, whose resolved choice is the system's,
// or none at all: the person's choice is still taken.
TEST(PersonalAppsPaneTest, KindsWithoutAPersonalDefaultTakeAChoice) {
  Fixture f;
  PaneHarness h(f);
  ASSERT_TRUE(h.set("default_apps.mime.text/markdown", kWriter));
  ASSERT_TRUE(h.set("default_apps.mime.text/plain", kNotes));
  h.harness.frames(2);
  EXPECT_EQ(h.text("default_apps.mime.text/markdown"), kWriter);
  EXPECT_EQ(h.text("default_apps.mime.text/markdown.edit"), kWriter);
  EXPECT_THAT(f.personal_text(), ::testing::HasSubstr("text/markdown=org.example.Writer.desktop"));
  EXPECT_THAT(f.personal_text(), ::testing::HasSubstr("text/plain=org.example.Notes.desktop"));
}

// What an automation client names: a display name only one candidate of the
// kind has counts as its label; a text naming none is refused, and so is a
// name two candidates share.
TEST(PersonalAppsPaneTest, AClientMayNameTheApplicationOnlyWhenOneHasTheName) {
  Fixture f;
  f.app("org.other.Notes", "Notes", "text/markdown;");  // the same name, another kind
  f.app("org.other.Writer", "Writer", "text/plain;");
  Fixture::write(f.personal_list(), kPersonalList);
  PaneHarness h(f);
  EXPECT_THAT(h.dropdown("personal-default.mime:text/plain").options(),
              ElementsAre(std::string(kNotes), "Writer \u2014 org.example.Writer",
                          "Writer \u2014 org.other.Writer"));
  ASSERT_TRUE(h.set(kTextKey, "Notes"));
  h.harness.frames(2);
  EXPECT_EQ(h.pane.defaults().get(*ResourceKind::from_mime("text/plain")), "org.example.Notes");
  EXPECT_EQ(h.text(kTextKey), kNotes);
  EXPECT_EQ(h.text(std::string(kTextKey) + ".edit"), kNotes);
  const std::string chosen = f.personal_text();

  EXPECT_FALSE(h.set(kTextKey, "Nobody"));
  EXPECT_FALSE(h.set(kTextKey, "Writer"));
  h.harness.frames(2);
  EXPECT_EQ(h.text(kTextKey), kNotes);
  EXPECT_EQ(f.personal_text(), chosen);
}

TEST(PersonalAppsPaneTest, ThePageListsEachKindWithItsCandidates) {
  sim_device::ScopedDeviceState device;  // where the hand-over lands
  Fixture f;
  Fixture::write(f.data() / "applications" / "helper.desktop",
                 "[Desktop Entry]\nType=Application\nName=Helper\nNoDisplay=true\n"
                 "Exec=helper\nMimeType=text/plain;\n");
  PaneHarness h(f);
  std::vector<std::string> ids;
  for (const auto& candidate : h.pane.candidates()) ids.push_back(candidate.id);
  EXPECT_THAT(ids, ElementsAre("org.example.Browser", "org.example.Notes", "org.example.Writer"));
  auto& text = h.dropdown("personal-default.mime:text/plain");
  EXPECT_THAT(text.options(), ElementsAre(std::string(kNotes), std::string(kWriter)));
  ASSERT_TRUE(text.binding());
  EXPECT_EQ(text.binding()->resource_id, "settings.default-app:mime:text/plain");
  EXPECT_EQ(text.binding()->action, "set-handler");
  EXPECT_NE(h.harness.find("personal-default.scheme:https"), nullptr);
  const auto texts = h.texts();
  EXPECT_THAT(texts, Contains("https links"));
  EXPECT_THAT(texts, Not(Contains(std::string(kNoKindsCaption))));
  // The hand-over to the workspace's rules is a control invocation.
  ASSERT_TRUE(h.harness.click_id("open-workspace-app-defaults"));
  const auto replayed = h.harness.take_replayed();
  ASSERT_EQ(replayed.size(), 1u);
  EXPECT_EQ(replayed[0].invocation.resource_id, "kalu.control:open-workspace-app-defaults");
  EXPECT_TRUE(h.pane.take_permission_request());
  EXPECT_FALSE(h.pane.take_permission_request());
  // The hand-over runs on a worker: wait for it before the device goes.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (std::chrono::steady_clock::now() < deadline &&
         (*sim_device::read())->at("tools").at("opened").empty()) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  EXPECT_EQ((*sim_device::read())->at("tools").at("opened").size(), 1u);
}

TEST(PersonalAppsPaneTest, WithoutKindsOnlyTheCaption) {
  Fixture f;
  std::filesystem::remove_all(f.data() / "applications");
  PaneHarness h(f);
  EXPECT_TRUE(h.pane.kinds().empty());
  EXPECT_THAT(h.texts(), Contains(std::string(kNoKindsCaption)));
}

}  // namespace
}  // namespace settings::panes::personal_apps
