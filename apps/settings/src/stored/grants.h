#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "kalu_ui/result.h"

// Capability grants as the desktop keeps them per workspace in its state file.
// This program only reads them, for the privacy page's read-only overview.
namespace settings::stored {

enum class Role { Owner, Editor, Commenter, Viewer, Denied };
enum class PrincipalKind { Person, App, Agent, Token, Room };
enum class ArtifactKind { Note, File, Cluster, Kanban, ChatLog };
enum class Effect { Grant, Restrict };
enum class Verb { Read, Comment, Write, Invite, Admin };

// One alternative per principal kind, each carrying the principal's identifier.
template <PrincipalKind K>
struct PrincipalId {
  std::string id;
};

struct Principal
    : std::variant<PrincipalId<PrincipalKind::Person>, PrincipalId<PrincipalKind::App>,
                   PrincipalId<PrincipalKind::Agent>, PrincipalId<PrincipalKind::Token>,
                   PrincipalId<PrincipalKind::Room>> {
  using variant::variant;

  PrincipalKind kind() const { return static_cast<PrincipalKind>(index()); }
  const std::string& id() const;
};

struct RoleSubject {
  Role role{};
};
struct UserSubject {
  std::array<std::uint8_t, 32> key{};
};
struct PrincipalSubject {
  Principal principal;
};
struct Subject : std::variant<RoleSubject, UserSubject, PrincipalSubject> {
  using variant::variant;
};

enum class ScopeKind {
  Workspace,
  App,
  ResourceType,
  ResourceInstance,
  FsPath,
  Device,
  NetHost,
  Action,
  Room,
  FsRecord
};

struct WorkspaceScope {};
// The scopes named by one text: an app, a UUID in its text form, a path, a
// device, a host, a room or a file record.
template <ScopeKind K>
struct ScopeText {
  std::string value;
};
struct ResourceTypeScope {
  ArtifactKind kind{};
};
struct AppAction {
  std::string app;
  std::string action;
};
struct ActionScope {
  AppAction action;
};
struct Scope
    : std::variant<WorkspaceScope, ScopeText<ScopeKind::App>, ResourceTypeScope,
                   ScopeText<ScopeKind::ResourceInstance>, ScopeText<ScopeKind::FsPath>,
                   ScopeText<ScopeKind::Device>, ScopeText<ScopeKind::NetHost>, ActionScope,
                   ScopeText<ScopeKind::Room>, ScopeText<ScopeKind::FsRecord>> {
  using variant::variant;

  ScopeKind kind() const { return static_cast<ScopeKind>(index()); }
  // The text of a scope named by one, else nothing.
  const std::string* text() const;
};

struct NeverExpires {};
struct ExpiresAt {
  std::uint64_t unix_secs = 0;
};
struct EndOfSession {};
struct AfterUse {};
struct Expiry : std::variant<NeverExpires, ExpiresAt, EndOfSession, AfterUse> {
  using variant::variant;
};

// One grant. Keys other than these seven make the whole file unreadable.
struct CapOverride {
  Subject subject;
  Scope scope;
  Effect effect{};
  Verb verb{};
  std::string id;
  Expiry expiry;
  std::optional<Principal> granted_by;
};

struct WsView {
  std::string name;
  std::vector<CapOverride> capabilities;
};

struct TreeView {
  std::vector<WsView> workspaces;
};

// Reads the state file's text. One bad grant anywhere fails the whole file.
kalu_ui::Result<TreeView> read_tree_view(std::string_view text);

// Reads "state.json" at `path` (none: the platform has no configuration
// directory). Never writes it.
kalu_ui::Result<TreeView> load_tree_view(const std::optional<std::filesystem::path>& path);

// The privacy page's reading: as load_tree_view, except that a file holding
// no "workspaces" at all (an empty array form included) is no record rather
// than a record of no workspaces, since the page cannot tell from it whether
// anything is granted.
kalu_ui::Result<TreeView> load_workspace_access_record(
    const std::optional<std::filesystem::path>& path);

// ---- The privacy page's workspace access overview --------------------------

enum class GrantCategory { Files, Camera, Microphone, ScreenSharing, RemoteControl, Network };

struct GrantItem {
  std::string detail;
  std::string category_label;
  std::string duration_label;
  GrantCategory category{};
};

// The grants one app holds in one workspace, sorted by category label, then detail.
struct AppGrants {
  std::string app;
  std::vector<GrantItem> items;
};

struct WorkspaceGrants {
  std::string title;            // the name trimmed, or "Workspace"
  std::vector<AppGrants> apps;  // ordered by app identifier
};

struct WorkspaceAccessOverview {
  enum class State { Unavailable, NoGrants, Grants };
  State state = State::Unavailable;
  // Only workspaces that hold at least one shown grant.
  std::vector<WorkspaceGrants> workspaces;
  std::size_t grant_count = 0;
  // The line the page shows above the cards: the could-not-load sentence,
  // "{} grant{} across {} workspace{}", or empty when nothing is granted.
  std::string summary;
};

inline constexpr std::string_view kWorkspaceAccessUnavailable =
    "Kalu could not load the current workspace access record, so it cannot verify whether any "
    "app has additional access.";

// Keeps the grants given to apps over files, the four privacy devices and
// network hosts; everything else is left out of the overview.
WorkspaceAccessOverview workspace_access_overview(const kalu_ui::Result<TreeView>& record);

}  // namespace settings::stored
