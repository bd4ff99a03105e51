#include "layers.h"

#include <gtest/gtest.h>

#include <string>

namespace check_layers {
namespace {

// The project's own tree, read once.
const SourceTree& project_tree() {
  static const SourceTree tree = read_tree(KALU_SOURCE_ROOT);
  return tree;
}

std::string describe_all(const std::vector<Violation>& violations) {
  std::string text;
  for (const auto& v : violations) text += describe(v) + "\n";
  return text;
}

TEST(Layering, TheProjectKeepsItsWalls) {
  const SourceTree& tree = project_tree();
  // The tree was found: the walls are checked over real files, not nothing.
  ASSERT_TRUE(tree.contains("platform/kalu_ui/core/include/kalu_ui/log.h"));
  ASSERT_TRUE(tree.contains("apps/settings/src/vocabulary/registry.h"));
  const auto violations = check(tree);
  EXPECT_TRUE(violations.empty()) << describe_all(violations);
}

// Each case adds one file with one include (and, where the header is not in
// the tree yet, the header) to the real tree and expects the walls to hold
// or to fail at that line.
TEST(Layering, EachWallStopsTheIncludesItShould) {
  const struct {
    std::string file;
    std::string include;
    std::string header;  // added to the tree when not empty
    bool passes;
  } cases[] = {
      // The platform and the contract never reach into the program or tools.
      {"platform/prefs_store/src/bad.cpp", "stored/settings_prefs.h", "", false},
      {"platform/kalu_ui/widgets/src/bad.cpp", "vocabulary/registry.h", "", false},
      {"platform/kalu_ui/contract/src/bad.cpp", "vocabulary/type_names.h", "", false},
      // The toolkit includes downward only, whatever the header's name.
      {"platform/kalu_ui/core/src/bad.cpp", "kalu_ui/document.h", "", false},
      {"platform/kalu_ui/core/include/kalu_ui/bad.h", "kalu_ui/scene.h", "", false},
      {"platform/kalu_ui/core/src/bad.cpp", "kalu_ui/frame.h", "", false},
      {"platform/kalu_ui/state/src/bad.cpp", "kalu_ui/widget/button.h", "", false},
      {"platform/kalu_ui/render/src/bad.cpp", "widget_contract/widget.h", "", false},
      {"platform/kalu_ui/contract/src/bad.cpp", "kalu_ui/widget/text.h", "", false},
      {"platform/kalu_ui/contract/src/bad.cpp", "kalu_ui/document.h", "", false},
      {"platform/kalu_ui/widgets/src/bad.cpp", "kalu_ui/harness.h", "", false},
      {"platform/kalu_ui/widgets/src/bad.cpp", "kalu_ui/atspi/bridge.h", "", false},
      {"platform/kalu_ui/atspi/src/bad.cpp", "kalu_ui/frame.h", "", false},
      {"platform/kalu_ui/atspi/src/ok.cpp", "kalu_ui/widget/focus.h", "", true},
      {"platform/kalu_ui/widgets/src/ok.cpp", "kalu_ui/document.h", "", true},
      {"platform/kalu_ui/app/src/ok.cpp", "kalu_ui/widget/button.h", "", true},
      // A platform service stands on the core and other services only.
      {"platform/safe_write/src/bad.cpp", "kalu_ui/widget/button.h", "", false},
      {"platform/new_service/src/ok.cpp", "prefs_store/document.h", "", true},
      // No pane includes another pane, and only the application includes panes.
      {"apps/settings/src/panes/network/network_pane.cpp", "panes/display/model.h",
       "apps/settings/src/panes/display/model.h", false},
      {"apps/settings/src/panes/network/tests/page_test.cpp", "panes/display/model.h",
       "apps/settings/src/panes/display/model.h", false},
      {"apps/settings/src/lib/bad.cpp", "panes/display/model.h",
       "apps/settings/src/panes/display/model.h", false},
      {"apps/settings/src/panes/network/bad.cpp", "settings_app/settings_app.h",
       "apps/settings/src/settings_app/settings_app.h", false},
      {"apps/settings/src/panes/network/ok.cpp", "panes/network/model.h",
       "apps/settings/src/panes/network/model.h", true},
      {"apps/settings/src/panes/network/ok.cpp", "vocabulary/registry.h", "", true},
      // The vocabulary stands below the rooms that read it.
      {"apps/settings/src/vocabulary/bad.cpp", "actions/specs.h", "", false},
      {"apps/settings/src/actions/ok.cpp", "vocabulary/registry.h", "", true},
      {"apps/settings/src/panes/network/tests/ok_test.cpp", "kalu_ui/harness.h", "", true},
      {"apps/settings/src/settings_app/ok.cpp", "panes/display/display_pane.h",
       "apps/settings/src/panes/display/display_pane.h", true},
      // Tools talk to the program from outside.
      {"tools/settingsctl/bad.cpp", "lib/run.h", "", false},
      // A header outside every room.
      {"apps/settings/src/lib/bad.cpp", "../../../../scripts/x.h", "scripts/x.h", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file + " includes " + c.include);
    SourceTree tree = project_tree();
    if (!c.header.empty()) tree[c.header] = "#pragma once\n";
    tree[c.file] = "#include <vector>\n\n#include \"" + c.include + "\"\n";
    const auto violations = check(tree);
    if (c.passes) {
      EXPECT_TRUE(violations.empty()) << describe_all(violations);
    } else {
      ASSERT_EQ(violations.size(), 1u) << describe_all(violations);
      EXPECT_EQ(violations[0].file, c.file);
      EXPECT_EQ(violations[0].line, 3);
    }
  }
}

// Each include below is allowed on its own; together they make the rooms
// lean on one another, which no order of building can honour.
TEST(Layering, RoomsIncludingOneAnotherAreACycle) {
  SourceTree tree = project_tree();
  tree["apps/settings/src/codec/bad.cpp"] = "#include \"stored/settings_prefs.h\"\n";
  const auto violations = check(tree);
  ASSERT_EQ(violations.size(), 1u) << describe_all(violations);
  EXPECT_EQ(describe(violations[0]),
            "rooms include one another in a cycle: apps/settings/src/codec, "
            "apps/settings/src/stored");

  // A library's tests may use a room above it without making a cycle.
  tree.erase("apps/settings/src/codec/bad.cpp");
  tree["apps/settings/src/codec/tests/ok_test.cpp"] = "#include \"stored/settings_prefs.h\"\n";
  EXPECT_TRUE(check(tree).empty()) << describe_all(check(tree));
}

TEST(Layering, IncludeLinesAreReadInEveryForm) {
  SourceTree tree = project_tree();
  tree["platform/kalu_ui/core/src/bad.cpp"] =
      "// #include \"kalu_ui/document.h\" in a comment is not an include\n"
      "  #  include <kalu_ui/document.h>\n"
      "#include\t\"kalu_ui/scene.h\" // trailing\n";
  const auto violations = check(tree);
  ASSERT_EQ(violations.size(), 2u) << describe_all(violations);
  EXPECT_EQ(violations[0].line, 2);
  EXPECT_EQ(violations[1].line, 3);
}

}  // namespace
}  // namespace check_layers
