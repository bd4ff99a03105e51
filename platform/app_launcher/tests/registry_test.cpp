#include "app_launcher/registry.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>

#include "app_launcher/manifest.h"

namespace {

namespace fs = std::filesystem;
using app_launcher::manifest::read_manifest;
using app_launcher::registry::InstalledPackage;

class Registry : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/app_launcher_test.XXXXXX";
    root_ = ::mkdtemp(tmpl);
    roots_ = desktop_file::ApplicationRoots::under({root_ / "home", root_ / "system"});
  }
  void TearDown() override { fs::remove_all(root_); }

  void put(const std::string& data, const std::string& file, const std::string& text) {
    const fs::path path = root_ / data / "applications" / file;
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
  }
  InstalledPackage package(const std::string& id) {
    const auto listed = app_launcher::registry::list_installed(roots_);
    for (const auto& p : listed.value()) {
      if (p.id == id) return p;
    }
    ADD_FAILURE() << id << " is not listed";
    return {};
  }

  fs::path root_;
  desktop_file::ApplicationRoots roots_;
};

TEST_F(Registry, ManifestsCarryTheEntrypointTypesSchemesAndKind) {
  put("system", "org.example.Editor.desktop",
      "[Desktop Entry]\nType=Application\nName=Editor\nExec=\"/opt/ed it\" %F\n"
      "MimeType=text/plain;X-Scheme-Handler/SSH;text/markdown;x-scheme-handler/ssh;text/plain;\n"
      "X-Kalu-Kind=workspace-app\n");
  put("system", "org.example.Opener.desktop",
      "[Desktop Entry]\nType=Application\nName=Opener\nExec=opener %u\nNoDisplay=true\n"
      "MimeType=x-scheme-handler/mailto;\n");
  put("system", "org.example.NoExec.desktop", "[Desktop Entry]\nType=Application\nName=N\n");
  put("system", "org.example.Removed.desktop",
      "[Desktop Entry]\nType=Application\nName=Removed\nExec=r\n");
  put("home", "org.example.Removed.desktop", "[Desktop Entry]\nHidden=true\n");

  const auto listed = app_launcher::registry::list_installed(roots_);
  ASSERT_TRUE(listed.has_value());
  std::vector<std::string> ids;
  for (const auto& p : *listed) ids.push_back(p.id);
  EXPECT_EQ(ids, (std::vector<std::string>{"org.example.Editor", "org.example.NoExec",
                                           "org.example.Opener"}));

  const auto editor = read_manifest(package("org.example.Editor")).value();
  EXPECT_EQ(editor.app_id, "org.example.Editor");
  EXPECT_EQ(editor.display_name, "Editor");
  EXPECT_EQ(editor.entrypoint.gui_bin, "/opt/ed it");
  EXPECT_EQ(editor.mime_types, (std::vector<std::string>{"text/plain", "text/markdown"}));
  EXPECT_EQ(editor.link_schemes, std::vector<std::string>{"ssh"});
  EXPECT_EQ(editor.kind, "workspace-app");

  const auto opener = read_manifest(package("org.example.Opener")).value();
  EXPECT_EQ(opener.entrypoint.gui_bin, std::nullopt);  // NoDisplay: no graphical program
  EXPECT_EQ(opener.link_schemes, std::vector<std::string>{"mailto"});
  EXPECT_EQ(opener.kind, std::nullopt);
  EXPECT_EQ(read_manifest(package("org.example.NoExec")).value().entrypoint.gui_bin, std::nullopt);

  // A package whose entry went away after it was listed.
  const InstalledPackage gone = package("org.example.NoExec");
  fs::remove(gone.path);
  EXPECT_FALSE(read_manifest(gone).has_value());
  EXPECT_FALSE(app_launcher::registry::list_installed(desktop_file::ApplicationRoots{}));
}

TEST_F(Registry, DisplayNamesComeFromTheInstalledEntryElseFromTheId) {
  put("system", "org.example.Editor.desktop",
      "[Desktop Entry]\nType=Application\nName=Fancy Editor\nExec=ed\n");
  const std::pair<const char*, const char*> cases[] = {
      {"org.example.Editor", "Fancy Editor"},
      {"org.example.text-editor", "Text Editor"},
      {"org.example.photo__viewer_", "Photo Viewer"},
      {"plain", "Plain"},
      {"trailing.", "Trailing"},
      {"org.example.-", "org.example.-"},
      {"", ""},
  };
  for (const auto& [id, name] : cases) {
    EXPECT_EQ(app_launcher::registry::display_name_for_package_id(id, roots_), name) << id;
  }
}

}  // namespace
