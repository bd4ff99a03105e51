#include "stored/grants.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace settings::stored {
namespace {

using ::testing::HasSubstr;

// A state file with one workspace holding `grants` (JSON texts).
std::string state_with(const std::vector<std::string>& grants) {
  std::string text = R"({"other": 1, "workspaces": [{"name": "Home", "capabilities": [)";
  for (size_t i = 0; i < grants.size(); ++i) text += (i ? "," : "") + grants[i];
  return text + "]}]}";
}

const CapOverride& only_grant(const kalu_ui::Result<TreeView>& tree) {
  return tree->workspaces.at(0).capabilities.at(0);
}

constexpr const char* kBase = R"("subject": {"Principal": {"App": "org.example.Notes"}},
    "scope": {"FsPath": "/home/u/Notes"}, "effect": "Grant", "verb": "Write")";

TEST(ReadTreeView, TopLevelAndWorkspacesSkipUnknownKeysAndDefaultMissingOnes) {
  for (const char* text :
       {R"({"workspaces": []})", "{}", R"({"version": 3, "peers": [1, {}]})", "[]", "[[]]"}) {
    auto tree = read_tree_view(text);
    ASSERT_TRUE(tree) << text << ": " << tree.error();
    EXPECT_TRUE(tree->workspaces.empty());
  }
  auto tree = read_tree_view(R"({"workspaces": [{"id": 7}, {"name": "Work", "colour": "red"}]})");
  ASSERT_TRUE(tree) << tree.error();
  ASSERT_EQ(tree->workspaces.size(), 2u);
  EXPECT_EQ(tree->workspaces[0].name, "");
  EXPECT_TRUE(tree->workspaces[0].capabilities.empty());
  EXPECT_EQ(tree->workspaces[1].name, "Work");
}

TEST(ReadTreeView, GrantWithOnlyTheFourRequiredKeysTakesDefaults) {
  auto tree = read_tree_view(state_with({std::string("{") + kBase + "}"}));
  ASSERT_TRUE(tree) << tree.error();
  const CapOverride& grant = only_grant(tree);
  EXPECT_EQ(grant.id, "");
  EXPECT_TRUE(std::holds_alternative<NeverExpires>(grant.expiry));
  EXPECT_FALSE(grant.granted_by.has_value());
  EXPECT_EQ(grant.effect, Effect::Grant);
  EXPECT_EQ(grant.verb, Verb::Write);
  EXPECT_EQ(grant.scope.kind(), ScopeKind::FsPath);
  EXPECT_EQ(*grant.scope.text(), "/home/u/Notes");
  const auto& subject = std::get<PrincipalSubject>(grant.subject);
  EXPECT_EQ(subject.principal.kind(), PrincipalKind::App);
  EXPECT_EQ(subject.principal.id(), "org.example.Notes");
}

TEST(ReadTreeView, ReadsEveryFormOfAGrant) {
  std::string key = "[" + std::string(31, '1') + "]";
  key = "[";
  for (int i = 0; i < 32; ++i) key += (i ? ",255" : "0");
  key += "]";
  struct Case {
    std::string grant;
    void (*check)(const CapOverride&);
  };
  const std::vector<Case> cases = {
      {R"({"subject": {"Role": "Editor"}, "scope": "Workspace", "effect": "Restrict",
           "verb": "Read", "id": "g1", "expiry": {"AtUnix": 0}, "granted_by": null})",
       [](const CapOverride& g) {
         EXPECT_EQ(std::get<RoleSubject>(g.subject).role, Role::Editor);
         EXPECT_EQ(g.scope.kind(), ScopeKind::Workspace);
         EXPECT_EQ(std::get<ExpiresAt>(g.expiry).unix_secs, 0u);
         EXPECT_FALSE(g.granted_by);
         EXPECT_EQ(g.id, "g1");
       }},
      {R"({"subject": {"User": )" + key + R"(}, "scope": {"Workspace": null},
           "effect": "Grant", "verb": "Admin", "expiry": "EndOfSession",
           "granted_by": {"Person": "ana"}})",
       [](const CapOverride& g) {
         EXPECT_EQ(std::get<UserSubject>(g.subject).key[31], 255);
         EXPECT_EQ(g.scope.kind(), ScopeKind::Workspace);
         EXPECT_TRUE(std::holds_alternative<EndOfSession>(g.expiry));
         ASSERT_TRUE(g.granted_by);
         EXPECT_EQ(g.granted_by->kind(), PrincipalKind::Person);
         EXPECT_EQ(g.granted_by->id(), "ana");
       }},
      // The array form, the last three left off.
      {R"([{"Principal": {"Agent": "a"}}, {"Action": {"app": "mail", "action": "send"}},
           "Grant", "Invite"])",
       [](const CapOverride& g) {
         EXPECT_EQ(std::get<ActionScope>(g.scope).action.action, "send");
         EXPECT_TRUE(std::holds_alternative<NeverExpires>(g.expiry));
       }},
      {R"([{"Principal": {"Token": "t"}}, {"Action": ["mail", "send"]}, "Grant", "Read",
           "id", "AfterUse", {"Room": "r"}])",
       [](const CapOverride& g) {
         EXPECT_EQ(std::get<ActionScope>(g.scope).action.app, "mail");
         EXPECT_TRUE(std::holds_alternative<AfterUse>(g.expiry));
         EXPECT_EQ(g.granted_by->kind(), PrincipalKind::Room);
       }},
      {R"({"subject": {"Principal": {"App": "x"}}, "effect": "Grant", "verb": "Comment",
           "scope": {"ResourceInstance": "67e55044-10b1-426f-9247-bb680e5fe0c8"}})",
       [](const CapOverride& g) { EXPECT_EQ(g.scope.kind(), ScopeKind::ResourceInstance); }},
      {R"({"subject": {"Principal": {"App": "x"}}, "effect": "Grant", "verb": "Read",
           "scope": {"ResourceType": "ChatLog"}})",
       [](const CapOverride& g) {
         EXPECT_EQ(std::get<ResourceTypeScope>(g.scope).kind, ArtifactKind::ChatLog);
       }},
  };
  for (const Case& c : cases) {
    auto tree = read_tree_view(state_with({c.grant}));
    ASSERT_TRUE(tree) << c.grant << "\n" << tree.error();
    c.check(only_grant(tree));
  }
}

TEST(ReadTreeView, OneBadGrantFailsTheWholeFile) {
  std::string short_key = "[";
  for (int i = 0; i < 31; ++i) short_key += (i ? ",1" : "1");
  short_key += "]";
  const std::string good = std::string("{") + kBase + "}";
  const std::vector<std::string> bad = {
      std::string("{") + kBase + R"(, "note": "extra key")" + "}",
      std::string("{") + kBase + R"(, "expiry": "AtUnix")" + "}",
      std::string("{") + kBase + R"(, "expiry": {"AtUnix": -1})" + "}",
      R"({"subject": "Role", "scope": "Workspace", "effect": "Grant", "verb": "Read"})",
      R"({"subject": {"User": )" + short_key +
          R"(}, "scope": "Workspace", "effect": "Grant", "verb": "Read"})",
      R"({"subject": {"Role": "Editor"}, "scope": {"ResourceInstance": "not-a-uuid"},
          "effect": "Grant", "verb": "Read"})",
      R"({"subject": {"Role": "Editor"}, "scope": "Workspace", "effect": "grant", "verb": "Read"})",
      R"({"subject": {"Role": "Editor"}, "scope": "Workspace", "verb": "Read"})",
      R"({"subject": {"Role": "Editor"}, "scope": {"Action": {"app": "a"}}, "effect": "Grant",
          "verb": "Read"})",
      R"({"subject": {"Role": "Editor"}, "scope": {"Action": {"app": "a", "action": "b",
          "x": 1}}, "effect": "Grant", "verb": "Read"})",
      R"(["Workspace"])",
      R"({"subject": {"Role": "Editor"}, "scope": "Workspace", "effect": "Grant", "verb": "Read",
          "granted_by": "App"})",
  };
  for (const std::string& grant : bad) {
    auto tree = read_tree_view(state_with({good, grant}));
    EXPECT_FALSE(tree) << grant;
  }
  EXPECT_THAT(read_tree_view(state_with({bad[0]})).error(), HasSubstr("note"));
}

class LoadTreeView : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("kalu-grants-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::filesystem::path write(const std::string& text) {
    auto path = dir_ / "state.json";
    std::ofstream(path, std::ios::binary) << text;
    return path;
  }
  std::filesystem::path dir_;
};

TEST_F(LoadTreeView, UnreadableRecordsGiveTheCouldNotLoadState) {
  const std::vector<kalu_ui::Result<TreeView>> failures = {
      load_tree_view(std::nullopt),
      load_tree_view(dir_ / "missing.json"),
      load_tree_view(write(R"({"skipped": "bad \xff byte"})")),
      load_tree_view(write("{\"workspaces\": ")),
  };
  for (const auto& failed : failures) {
    ASSERT_FALSE(failed);
    auto overview = workspace_access_overview(failed);
    EXPECT_EQ(overview.state, WorkspaceAccessOverview::State::Unavailable);
    EXPECT_EQ(overview.summary,
              "Kalu could not load the current workspace access record, so it cannot verify "
              "whether any app has additional access.");
  }
  auto loaded = load_tree_view(write(state_with({std::string("{") + kBase + "}"})));
  ASSERT_TRUE(loaded) << loaded.error();
  EXPECT_EQ(loaded->workspaces.at(0).name, "Home");
}

// The privacy page cannot tell a file without workspaces from one the
// desktop has not written yet, so only a record that holds them counts.
TEST_F(LoadTreeView, TheWorkspaceAccessRecordMustHoldWorkspaces) {
  for (const char* text : {"{}", R"({"version": 3})", "[]"}) {
    SCOPED_TRACE(text);
    EXPECT_TRUE(load_tree_view(write(text)));
    EXPECT_FALSE(load_workspace_access_record(write(text)));
  }
  for (const char* text : {R"({"workspaces": []})", "[[]]"}) {
    SCOPED_TRACE(text);
    auto record = load_workspace_access_record(write(text));
    ASSERT_TRUE(record) << record.error();
    EXPECT_TRUE(record->workspaces.empty());
  }
  EXPECT_FALSE(load_workspace_access_record(std::nullopt));
  EXPECT_FALSE(load_workspace_access_record(write(R"({"workspaces": [1]})")));
}

std::string app_grant(const std::string& app, const std::string& scope, const std::string& verb,
                      const std::string& expiry = "\"Never\"",
                      const std::string& effect = "Grant") {
  return R"({"subject": {"Principal": {"App": ")" + app + R"("}}, "scope": )" + scope +
         R"(, "effect": ")" + effect + R"(", "verb": ")" + verb + R"(", "expiry": )" + expiry + "}";
}

TEST(WorkspaceAccessOverview, GroupsShownGrantsByWorkspaceAndApp) {
  std::string text =
      R"({"workspaces": [
    {"name": "  Studio  ", "capabilities": [)" +
      app_grant("org.b.Video", R"({"Device": "camera"})", "Read", R"({"AtUnix": 9})") + "," +
      app_grant("org.a.Files", R"({"FsPath": "/srv"})", "Comment") + "," +
      app_grant("org.a.Files", R"({"NetHost": "*"})", "Read", "\"AfterUse\"") + "," +
      app_grant("org.a.Files", R"({"FsPath": "/data"})", "Admin") + "," +
      app_grant("org.a.Files", R"({"Device": "printer"})", "Read") + "," +
      app_grant("org.b.Video", R"({"Device": "microphone"})", "Read", "\"EndOfSession\"",
                "Restrict") +
      "," +
      R"({"subject": {"Principal": {"Agent": "bot"}}, "scope": {"NetHost": "x"},
                         "effect": "Grant", "verb": "Read"})" +
      R"(]},
    {"name": "Empty", "capabilities": [)" +
      app_grant("org.c", R"({"App": "org.d"})", "Read") + R"(]},
    {"name": " ", "capabilities": [)" +
      app_grant("org.c", R"({"Device": "screencast"})", "Read") + "," +
      app_grant("org.c", R"({"Device": "remote-desktop"})", "Write") + "," +
      app_grant("org.c", R"({"NetHost": "example.org"})", "Read") + R"(]}]})";
  auto overview = workspace_access_overview(read_tree_view(text));
  ASSERT_EQ(overview.state, WorkspaceAccessOverview::State::Grants) << overview.summary;
  EXPECT_EQ(overview.summary, "7 grants across 2 workspaces");
  ASSERT_EQ(overview.workspaces.size(), 2u);

  const WorkspaceGrants& studio = overview.workspaces[0];
  EXPECT_EQ(studio.title, "Studio");
  ASSERT_EQ(studio.apps.size(), 2u);
  EXPECT_EQ(studio.apps[0].app, "org.a.Files");
  std::vector<std::string> rows;
  for (const GrantItem& item : studio.apps[0].items) {
    rows.push_back(item.category_label + "|" + item.detail + "|" + item.duration_label);
  }
  EXPECT_EQ(rows, (std::vector<std::string>{
                      "Files|/data  \u00b7  read & write|Always",
                      "Files|/srv  \u00b7  read-only|Always",
                      "Network|Any host|Once",
                  }));
  ASSERT_EQ(studio.apps[1].items.size(), 1u);
  EXPECT_EQ(studio.apps[1].items[0].detail, "Capture video");
  EXPECT_EQ(studio.apps[1].items[0].duration_label, "Temporary");

  const WorkspaceGrants& untitled = overview.workspaces[1];
  EXPECT_EQ(untitled.title, "Workspace");
  std::vector<std::string> labels;
  for (const GrantItem& item : untitled.apps.at(0).items) labels.push_back(item.category_label);
  EXPECT_EQ(labels, (std::vector<std::string>{"Network", "Remote control", "Screen sharing"}));
}

TEST(WorkspaceAccessOverview, SingularCountsAndNoGrants) {
  auto one = workspace_access_overview(
      read_tree_view(state_with({app_grant("a", R"({"Device": "microphone"})", "Read")})));
  EXPECT_EQ(one.summary, "1 grant across 1 workspace");
  EXPECT_EQ(one.workspaces.at(0).apps.at(0).items.at(0).category, GrantCategory::Microphone);

  auto none = workspace_access_overview(read_tree_view(state_with(
      {app_grant("a", R"({"Device": "microphone"})", "Read", "\"Never\"", "Restrict")})));
  EXPECT_EQ(none.state, WorkspaceAccessOverview::State::NoGrants);
  EXPECT_TRUE(none.workspaces.empty());
  EXPECT_EQ(none.summary, "");
}

}  // namespace
}  // namespace settings::stored
