// The Apps & Files pane in the headless harness over fixture application
// folders, a personal mimeapps.list and a system one: what the first sync
// publishes, a choice from the dropdown and from a client (by label or by
// name), choosing what is already the default, edit keys left from an
// earlier visit, a kind nobody chose yet, texts that name no candidate, and
// the page.

#include "panes/personal_apps/personal_apps_pane.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "actions/doc_readers.h"
#include "actions/settings_action.h"
#include "kalu_ui/harness.h"
#include "kalu_ui/widget/dropdown.h"
#include "kalu_ui/widget/text.h"
#include "panes/app_candidates.h"
#include "panes/personal_apps/page.h"
#include "sim_device/state.h"

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

class Fixture {
 public:
  Fixture() {
    char pattern[] = "/tmp/personal_apps_test.XXXXXX";
    if (const char* made = ::mkdtemp(pattern)) root_ = made;
    std::filesystem::create_directories(root_ / "data" / "applications");
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
  std::filesystem::path personal_list() const { return root_ / "mimeapps.list"; }
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
        std::move(*defaults), desktop_rules::DefaultAppResolver({system_list()}), personal_list(),
        mime_);
  }

 private:
  std::filesystem::path root_;
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
  void client_sets(std::string_view key, std::string_view value) {
    ASSERT_TRUE(actions::apply_setting(
        SettingsAction::set_setting(std::string(key), std::string(value)), harness.document()));
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

TEST(PersonalAppsPaneTest, TheFirstSyncPublishesWhatResolvesAndSavesNothing) {
  Fixture f;
  Fixture::write(f.personal_list(), kPersonalList);
  PaneHarness h(f);
  // The personal default, and the system's choice for a kind without one.
  EXPECT_EQ(h.text(kTextKey), kWriter);
  EXPECT_EQ(h.text(std::string(kTextKey) + ".edit"), kWriter);
  EXPECT_EQ(h.text("default_apps.mime.text/html"), "Browser \u2014 org.example.Browser");
  // Nobody chose one for markdown: nothing under its keys.
  EXPECT_EQ(h.text("default_apps.mime.text/markdown"), std::nullopt);
  h.harness.frames(3);
  EXPECT_EQ(f.personal_text(), kPersonalList);
  EXPECT_EQ(h.pane.short_type_name(), "PersonalAppsPane");
}

TEST(PersonalAppsPaneTest, ADropdownChoiceBecomesThePersonalDefault) {
  Fixture f;
  Fixture::write(f.personal_list(), kPersonalList);
  PaneHarness h(f);
  h.put_text(std::string(kTextKey) + ".edit", kNotes);
  h.harness.frames(2);
  EXPECT_EQ(h.text(kTextKey), kNotes);
  EXPECT_EQ(h.pane.defaults().get(*ResourceKind::from_mime("text/plain")), "org.example.Notes");
  // Only that line changed; the other group and the comment stay.
  EXPECT_EQ(f.personal_text(),
            "# mine\n[Added Associations]\ntext/plain=org.example.Notes.desktop;\n\n"
            "[Default Applications]\ntext/plain=org.example.Notes.desktop\n");
}

TEST(PersonalAppsPaneTest, ChoosingTheCurrentDefaultSavesNothing) {
  Fixture f;
  Fixture::write(f.personal_list(), kPersonalList);
  PaneHarness h(f);
  h.put_text(std::string(kTextKey) + ".edit", kWriter);
  h.client_sets(kTextKey, kWriter);
  h.harness.frames(3);
  EXPECT_EQ(f.personal_text(), kPersonalList);
}

// A kind without a personal default, whose resolved choice is the system's,
// or none at all: the person's choice is still taken.
TEST(PersonalAppsPaneTest, KindsWithoutAPersonalDefaultTakeAChoice) {
  Fixture f;
  PaneHarness h(f);
  h.put_text("default_apps.mime.text/markdown.edit", "Writer \u2014 org.example.Writer");
  h.put_text("default_apps.mime.text/plain.edit", std::string(kNotes));
  h.harness.frames(2);
  EXPECT_EQ(h.text("default_apps.mime.text/markdown"), kWriter);
  EXPECT_THAT(f.personal_text(), ::testing::HasSubstr("text/markdown=org.example.Writer.desktop"));
  EXPECT_THAT(f.personal_text(), ::testing::HasSubstr("text/plain=org.example.Notes.desktop"));
}

// What an automation client names: a display name only one candidate of the
// kind has counts as its label; a text naming none is put back.
TEST(PersonalAppsPaneTest, AClientMayNameTheApplication) {
  Fixture f;
  f.app("org.other.Notes", "Notes", "text/markdown;");  // the same name, another kind
  Fixture::write(f.personal_list(), kPersonalList);
  PaneHarness h(f);
  h.client_sets(kTextKey, "Notes");
  h.harness.frames(2);
  EXPECT_EQ(h.pane.defaults().get(*ResourceKind::from_mime("text/plain")), "org.example.Notes");
  EXPECT_EQ(h.text(std::string(kTextKey) + ".edit"), kNotes);

  h.client_sets(kTextKey, "Nobody");
  h.harness.frames(2);
  EXPECT_EQ(h.text(kTextKey), kNotes);
  EXPECT_EQ(h.pane.defaults().get(*ResourceKind::from_mime("text/plain")), "org.example.Notes");
}

TEST(PersonalAppsPaneTest, ANameTwoCandidatesShareChoosesNeither) {
  Fixture f;
  f.app("org.other.Writer", "Writer", "text/plain;");
  Fixture::write(f.personal_list(), kPersonalList);
  PaneHarness h(f);
  EXPECT_THAT(h.dropdown("personal-default.mime:text/plain").options(),
              ElementsAre(std::string(kNotes), "Writer \u2014 org.example.Writer",
                          "Writer \u2014 org.other.Writer"));
  h.client_sets(kTextKey, "Writer");
  h.harness.frames(2);
  EXPECT_EQ(h.text(kTextKey), kWriter);
  EXPECT_EQ(f.personal_text(), kPersonalList);
}

// An edit key from an earlier visit must not undo what was chosen since.
TEST(PersonalAppsPaneTest, AnEditLeftFromAnEarlierVisitIsReplaced) {
  Fixture f;
  Fixture::write(f.personal_list(), kPersonalList);
  doc::Document document;
  ASSERT_TRUE(
      document.put(doc::kRoot, std::string(kTextKey) + ".edit", doc::Scalar(std::string(kNotes))));
  PaneHarness h(f, std::move(document));
  h.harness.frames(2);
  EXPECT_EQ(h.text(kTextKey), kWriter);
  EXPECT_EQ(f.personal_text(), kPersonalList);
}

TEST(PersonalAppsPaneTest, ThePageListsEachKindWithItsCandidates) {
  sim_device::ScopedDeviceState device;  // where the hand-over lands
  Fixture f;
  Fixture::write(f.personal_list().parent_path() / "data" / "applications" / "helper.desktop",
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
  std::filesystem::remove_all(f.personal_list().parent_path() / "data" / "applications");
  PaneHarness h(f);
  EXPECT_TRUE(h.pane.kinds().empty());
  EXPECT_THAT(h.texts(), Contains(std::string(kNoKindsCaption)));
}

}  // namespace
}  // namespace settings::panes::personal_apps
