#include "desktop_rules/default_apps.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

namespace fs = std::filesystem;
using desktop_rules::AppCandidate;
using desktop_rules::DefaultAppResolver;
using desktop_rules::MimeDatabase;
using desktop_rules::PersonalDefaults;
using desktop_rules::ResourceKind;

ResourceKind mime(std::string_view type) { return ResourceKind::from_mime(type).value(); }
ResourceKind scheme(std::string_view name) { return ResourceKind::from_scheme(name).value(); }

class TempDir : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/desktop_rules_test.XXXXXX";
    root_ = ::mkdtemp(tmpl);
  }
  void TearDown() override { fs::remove_all(root_); }
  void put(const fs::path& relative, const std::string& text) {
    fs::create_directories((root_ / relative).parent_path());
    std::ofstream(root_ / relative, std::ios::binary) << text;
  }
  std::string read(const fs::path& relative) {
    std::ifstream in(root_ / relative, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }
  fs::path root_;
};

TEST(ResourceKindTest, KeysHaveOneColonAndOneFormPerKind) {
  const std::pair<std::string_view, std::optional<std::string>> mimes[] = {
      {"text/plain", "mime:text/plain"},
      {"Text/Plain", "mime:text/plain"},
      {"application/vnd.oasis.opendocument.text", "mime:application/vnd.oasis.opendocument.text"},
      {"image/svg+xml", "mime:image/svg+xml"},
      {"x-scheme-handler/HTTPS", "scheme:https"},
      {"text/plain:x", std::nullopt},
      {"text", std::nullopt},
      {"text/", std::nullopt},
      {"text/a/b", std::nullopt},
      {"../x", std::nullopt},
      {"text/.hidden", std::nullopt},
      {"image/*", std::nullopt},
      {"text/pla in", std::nullopt},
  };
  for (const auto& [text, key] : mimes) {
    const auto kind = ResourceKind::from_mime(text);
    EXPECT_EQ(kind ? std::optional(kind->key()) : std::nullopt, key) << text;
  }
  const std::pair<std::string_view, std::optional<std::string>> schemes[] = {
      {"https", "scheme:https"},
      {"Web+Cal", "scheme:web+cal"},
      {"svn+ssh.x-y", "scheme:svn+ssh.x-y"},
      {"1abc", std::nullopt},
      {"a:b", std::nullopt},
      {"", std::nullopt},
  };
  for (const auto& [text, key] : schemes) {
    const auto kind = ResourceKind::from_scheme(text);
    EXPECT_EQ(kind ? std::optional(kind->key()) : std::nullopt, key) << text;
  }

  EXPECT_EQ(ResourceKind::parse("mime:text/plain"), mime("text/plain"));
  EXPECT_EQ(ResourceKind::parse("scheme:mailto"), scheme("mailto"));
  EXPECT_EQ(ResourceKind::parse("mime:x-scheme-handler/mailto"), std::nullopt);
  EXPECT_EQ(ResourceKind::parse("ext:txt"), std::nullopt);
  EXPECT_EQ(mime("text/plain").mime(), "text/plain");
  EXPECT_EQ(mime("text/plain").scheme(), std::nullopt);
  EXPECT_EQ(scheme("mailto").scheme(), "mailto");
  EXPECT_EQ(scheme("mailto").mimeapps_key(), "x-scheme-handler/mailto");
  EXPECT_EQ(mime("text/plain").mimeapps_key(), "text/plain");
  EXPECT_LT(mime("text/plain"), scheme("http"));
}

TEST_F(TempDir, DisplayLabelsComeFromTheMimeDatabase) {
  put("home/mime/text/plain.xml",
      R"(<?xml version="1.0" encoding="utf-8"?>
<mime-type xmlns="http://www.freedesktop.org/standards/shared-mime-info" type="text/plain">
  <comment xml:lang="de">Textdokument</comment>
  <comment>plain text document</comment>
</mime-type>)");
  put("system/mime/text/plain.xml",
      R"(<mime-type type="text/plain"><comment>system comment</comment></mime-type>)");
  put("system/mime/text/markdown.xml",
      R"(<mime-type type="text/markdown"><comment>Markdown document</comment></mime-type>)");
  put("system/mime/aliases", "text/x-markdown text/markdown\ntext/x-loop text/x-loop\n");
  put("system/mime/image/broken.xml", "<mime-type><comment>unclosed");
  const MimeDatabase database({root_ / "home/mime", root_ / "system/mime"});

  const std::pair<ResourceKind, std::string> cases[] = {
      {mime("text/plain"), "Plain text document"},  // the first folder wins
      {mime("text/markdown"), "Markdown document"},
      {mime("text/x-markdown"), "Markdown document"},  // through the alias
      {mime("text/x-loop"), "text/x-loop"},
      {mime("image/broken"), "image/broken"},
      {mime("application/x-unknown"), "application/x-unknown"},
      {scheme("https"), "https links"},
  };
  for (const auto& [kind, label] : cases) {
    EXPECT_EQ(kind.display_label(database), label) << kind.key();
  }
  // Kept once read: a changed file is not read again by the same database.
  put("system/mime/text/markdown.xml", "<mime-type><comment>changed</comment></mime-type>");
  EXPECT_EQ(mime("text/markdown").display_label(database), "Markdown document");
}

TEST(AppCandidateTest, LabelsAndHandledKinds) {
  const AppCandidate editor{"org.example.Editor", "Editor", {mime("text/plain"), scheme("ssh")}};
  EXPECT_EQ(editor.label(), "Editor — org.example.Editor");
  EXPECT_TRUE(editor.handles(mime("text/plain")));
  EXPECT_TRUE(editor.handles(*ResourceKind::from_mime("x-scheme-handler/ssh")));
  EXPECT_FALSE(editor.handles(mime("text/markdown")));
}

class Defaults : public TempDir {
 protected:
  const std::vector<AppCandidate> candidates_{
      {"org.example.Editor", "Editor", {mime("text/plain"), mime("text/markdown")}},
      {"org.example.Writer", "Writer", {mime("text/plain")}},
      {"org.example.Browser", "Browser", {scheme("https")}},
      {"bad;id", "Bad", {mime("text/plain")}},
  };
};

TEST_F(Defaults, SaveChangesOnlyTheChosenKindsAndKeepsTheRestOfTheFile) {
  put("conf/mimeapps.list",
      "# written by hand\n"
      "[Added Associations]\n"
      "text/plain=org.example.Writer.desktop;\n"
      "[Default Applications]\n"
      "text/plain=org.example.Writer.desktop;org.example.Editor.desktop;\n"
      "image/png=viewer.desktop\n"
      "[Removed Associations]\n"
      "text/markdown=org.example.Writer.desktop;\n");
  ::chmod((root_ / "conf/mimeapps.list").c_str(), 0640);
  auto defaults = PersonalDefaults::load_at(root_ / "conf/mimeapps.list").value();
  EXPECT_EQ(defaults.get(mime("text/plain")), "org.example.Writer");
  EXPECT_EQ(defaults.get(mime("text/markdown")), std::nullopt);

  ASSERT_TRUE(defaults.set(mime("text/plain"), "org.example.Editor", candidates_));
  ASSERT_TRUE(defaults.set(scheme("https"), "org.example.Browser", candidates_));
  EXPECT_EQ(defaults.get(mime("text/plain")), "org.example.Editor");
  // Another program changes the file before the save: its change stays.
  put("conf/mimeapps.list", read("conf/mimeapps.list") + "[Other]\nadded=meanwhile\n");
  ASSERT_TRUE(defaults.save_at(root_ / "conf/mimeapps.list"));
  EXPECT_EQ(read("conf/mimeapps.list"),
            "# written by hand\n"
            "[Added Associations]\n"
            "text/plain=org.example.Writer.desktop;\n"
            "[Default Applications]\n"
            "text/plain=org.example.Editor.desktop\n"
            "image/png=viewer.desktop\n"
            "x-scheme-handler/https=org.example.Browser.desktop\n"
            "[Removed Associations]\n"
            "text/markdown=org.example.Writer.desktop;\n"
            "[Other]\n"
            "added=meanwhile\n");
  EXPECT_EQ(fs::status(root_ / "conf/mimeapps.list").permissions() & fs::perms::all,
            fs::perms(0640));
  const auto reread = PersonalDefaults::load_at(root_ / "conf/mimeapps.list").value();
  EXPECT_EQ(reread.get(scheme("https")), "org.example.Browser");
}

TEST_F(Defaults, RefusedChoicesChangeNothingAndAnEmptySaveWritesNothing) {
  auto defaults = PersonalDefaults::load_at(root_ / "new/mimeapps.list").value();
  EXPECT_FALSE(defaults.set(mime("text/markdown"), "org.example.Writer", candidates_));
  EXPECT_FALSE(defaults.set(mime("text/plain"), "org.example.Missing", candidates_));
  EXPECT_FALSE(defaults.set(mime("text/plain"), "bad;id", candidates_));
  ASSERT_TRUE(defaults.save_at(root_ / "new/mimeapps.list"));
  EXPECT_FALSE(fs::exists(root_ / "new"));

  ASSERT_TRUE(defaults.set(mime("text/markdown"), "org.example.Editor", candidates_));
  ASSERT_TRUE(defaults.save_at(root_ / "new/mimeapps.list"));
  EXPECT_EQ(read("new/mimeapps.list"),
            "[Default Applications]\ntext/markdown=org.example.Editor.desktop\n");

  fs::create_directories(root_ / "dir/mimeapps.list");
  EXPECT_FALSE(PersonalDefaults::load_at(root_ / "dir/mimeapps.list").has_value());
}

TEST_F(Defaults, ResolverTakesThePersonalChoiceThenTheSystemFilesInOrder) {
  put("etc/mimeapps.list",
      "[Default Applications]\ntext/plain=gone.desktop;org.example.Writer.desktop\n");
  put("share/applications/mimeapps.list",
      "[Default Applications]\ntext/plain=org.example.Editor.desktop\n"
      "text/markdown=org.example.Writer.desktop;org.example.Editor.desktop\n");
  const DefaultAppResolver resolver(
      {root_ / "etc/mimeapps.list", root_ / "missing", root_ / "share/applications/mimeapps.list"});
  put("personal",
      "[Default Applications]\ntext/plain=org.example.Editor.desktop\n"
      "x-scheme-handler/https=uninstalled.desktop\n");
  const auto personal = PersonalDefaults::load_at(root_ / "personal").value();
  const auto none = PersonalDefaults::load_at(root_ / "nothing").value();

  struct Case {
    ResourceKind kind;
    const PersonalDefaults& personal;
    std::optional<std::string> app;
  };
  const Case cases[] = {
      {mime("text/plain"), personal, "org.example.Editor"},
      {mime("text/plain"), none, "org.example.Writer"},     // the first file's usable entry
      {mime("text/markdown"), none, "org.example.Editor"},  // Writer does not declare it
      {scheme("https"), personal, std::nullopt},            // not installed, no system default
      {mime("image/png"), none, std::nullopt},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(resolver.resolve(candidates_, c.kind, c.personal), c.app) << c.kind.key();
  }
}

}  // namespace
