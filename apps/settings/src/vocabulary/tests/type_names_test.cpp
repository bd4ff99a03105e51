#include "vocabulary/type_names.h"

#include <gtest/gtest.h>

#include <set>

#include "widget_contract/type_names.h"

namespace settings::type_names {
namespace {

// The program's names sit in the program's namespace, apart from the
// toolkit's, and each short name is the type alone; a pane's sits in its
// pane's namespace.
TEST(ProgramTypeNames, AreTheProgramsOwnAndDistinct) {
  std::set<std::string_view> shorts;
  for (const std::string_view name : kAll) {
    EXPECT_TRUE(name.starts_with("settings::")) << name;
    const std::string_view short_name = kalu_ui::short_type_name_of(name);
    EXPECT_EQ(short_name.find(':'), std::string_view::npos) << name;
    EXPECT_TRUE(shorts.insert(short_name).second) << name;
  }
  EXPECT_TRUE(shorts.contains("SettingsApp"));
  EXPECT_TRUE(shorts.contains("NetworkPane"));
  EXPECT_EQ(kalu_ui::short_type_name_of(panes::pane_row(panes::Pane::kKeyboardShortcuts).type_name),
            "ShortcutPane");
  for (const std::string_view name : kalu_ui::type_names::kAll) {
    EXPECT_FALSE(shorts.contains(kalu_ui::short_type_name_of(name))) << name;
  }
  for (const panes::PaneRow& row : panes::kPaneRows) {
    if (!row.type_name.empty()) {
      EXPECT_TRUE(row.type_name.starts_with("settings::panes::")) << row.type_name;
    }
  }
  // The two plain pages have no widget of their own.
  EXPECT_TRUE(panes::pane_row(panes::Pane::kPrivacySecurity).type_name.empty());
  EXPECT_TRUE(panes::pane_row(panes::Pane::kAbout).type_name.empty());
}

}  // namespace
}  // namespace settings::type_names
