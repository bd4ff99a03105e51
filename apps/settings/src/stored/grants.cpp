#include "stored/grants.h"

#include <fmt/format.h>

#include <algorithm>
#include <cctype>
#include <fstream>
#include <iterator>
#include <map>
#include <nlohmann/json.hpp>
#include <tuple>

#include "codec/codec.h"
#include "limited_exec/text.h"

namespace settings::stored {

namespace codec = settings::codec;

// ---- JSON forms --------------------------------------------------------------

constexpr auto describe(codec::Tag<Role>) {
  return codec::names<Role>("Role", "Owner", "Editor", "Commenter", "Viewer", "Denied");
}
constexpr auto describe(codec::Tag<ArtifactKind>) {
  return codec::names<ArtifactKind>("ArtifactKind", "Note", "File", "Cluster", "Kanban", "ChatLog");
}
constexpr auto describe(codec::Tag<Effect>) {
  return codec::names<Effect>("Effect", "Grant", "Restrict");
}
constexpr auto describe(codec::Tag<Verb>) {
  return codec::names<Verb>("Verb", "Read", "Comment", "Write", "Invite", "Admin");
}

constexpr std::array<std::string_view, 5> kPrincipalNames = {"Person", "App", "Agent", "Token",
                                                             "Room"};
template <PrincipalKind K>
constexpr auto describe(codec::Tag<PrincipalId<K>>) {
  return codec::newtype(kPrincipalNames[static_cast<std::size_t>(K)], &PrincipalId<K>::id);
}
constexpr auto describe(codec::Tag<Principal>) { return codec::tagged_union("Principal"); }

constexpr auto describe(codec::Tag<RoleSubject>) {
  return codec::newtype("Role", &RoleSubject::role);
}
constexpr auto describe(codec::Tag<UserSubject>) {
  return codec::newtype("User", &UserSubject::key);
}
constexpr auto describe(codec::Tag<PrincipalSubject>) {
  return codec::newtype("Principal", &PrincipalSubject::principal);
}
constexpr auto describe(codec::Tag<Subject>) { return codec::tagged_union("Subject"); }

constexpr std::array<std::string_view, 10> kScopeNames = {
    "Workspace", "App",    "ResourceType", "ResourceInstance", "FsPath", "Device",
    "NetHost",   "Action", "Room",         "FsRecord"};
constexpr auto describe(codec::Tag<WorkspaceScope>) {
  return codec::unit<WorkspaceScope>("Workspace");
}
template <ScopeKind K>
constexpr auto describe(codec::Tag<ScopeText<K>>) {
  return codec::newtype(kScopeNames[static_cast<std::size_t>(K)], &ScopeText<K>::value);
}
constexpr auto describe(codec::Tag<ResourceTypeScope>) {
  return codec::newtype("ResourceType", &ResourceTypeScope::kind);
}
constexpr auto describe(codec::Tag<AppAction>) {
  return codec::record("Action", codec::field("app", &AppAction::app),
                       codec::field("action", &AppAction::action))
      .deny_unknown_fields();
}
constexpr auto describe(codec::Tag<ActionScope>) {
  return codec::newtype("Action", &ActionScope::action);
}
constexpr auto describe(codec::Tag<Scope>) { return codec::tagged_union("Scope"); }

constexpr auto describe(codec::Tag<NeverExpires>) { return codec::unit<NeverExpires>("Never"); }
constexpr auto describe(codec::Tag<ExpiresAt>) {
  return codec::newtype("AtUnix", &ExpiresAt::unix_secs);
}
constexpr auto describe(codec::Tag<EndOfSession>) {
  return codec::unit<EndOfSession>("EndOfSession");
}
constexpr auto describe(codec::Tag<AfterUse>) { return codec::unit<AfterUse>("AfterUse"); }
constexpr auto describe(codec::Tag<Expiry>) { return codec::tagged_union("Expiry"); }

constexpr auto describe(codec::Tag<CapOverride>) {
  return codec::record("CapOverride", codec::field("subject", &CapOverride::subject),
                       codec::field("scope", &CapOverride::scope),
                       codec::field("effect", &CapOverride::effect),
                       codec::field("verb", &CapOverride::verb),
                       codec::field_or_default("id", &CapOverride::id),
                       codec::field_or_default("expiry", &CapOverride::expiry),
                       codec::field_or_default("granted_by", &CapOverride::granted_by))
      .deny_unknown_fields();
}
constexpr auto describe(codec::Tag<WsView>) {
  return codec::record("WsView", codec::field_or_default("name", &WsView::name),
                       codec::field_or_default("capabilities", &WsView::capabilities));
}
constexpr auto describe(codec::Tag<TreeView>) {
  return codec::record("TreeView", codec::field_or_default("workspaces", &TreeView::workspaces));
}

// ---- Reading -----------------------------------------------------------------

namespace {

bool all_hex(std::string_view text) {
  return std::all_of(text.begin(), text.end(),
                     [](char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; });
}

// The text forms a UUID is written in: hyphenated, 32 digits, braced or as a URN.
bool is_uuid_text(std::string_view text) {
  if (text.starts_with("urn:uuid:")) text.remove_prefix(9);
  if (text.size() == 38 && text.front() == '{' && text.back() == '}') text = text.substr(1, 36);
  if (text.size() == 32) return all_hex(text);
  if (text.size() != 36) return false;
  for (std::size_t dash : {8u, 13u, 18u, 23u}) {
    if (text[dash] != '-') return false;
  }
  return all_hex(text.substr(0, 8)) && all_hex(text.substr(9, 4)) && all_hex(text.substr(14, 4)) &&
         all_hex(text.substr(19, 4)) && all_hex(text.substr(24, 12));
}

}  // namespace

const std::string& Principal::id() const {
  return std::visit([](const auto& p) -> const std::string& { return p.id; },
                    static_cast<const variant&>(*this));
}

const std::string* Scope::text() const {
  return std::visit(
      [](const auto& s) -> const std::string* {
        if constexpr (requires { s.value; }) {
          return &s.value;
        } else {
          return nullptr;
        }
      },
      static_cast<const variant&>(*this));
}

kalu_ui::Result<TreeView> read_tree_view(std::string_view text) {
  auto tree = codec::from_json<TreeView>(text);
  if (!tree) return tree;
  for (const WsView& workspace : tree->workspaces) {
    for (const CapOverride& grant : workspace.capabilities) {
      if (grant.scope.kind() == ScopeKind::ResourceInstance && !is_uuid_text(*grant.scope.text())) {
        return kalu_ui::fail("invalid UUID `{}`", *grant.scope.text());
      }
    }
  }
  return tree;
}

namespace {

// The file's text, refused when it cannot be read or is not UTF-8.
kalu_ui::Result<std::string> state_file_text(const std::optional<std::filesystem::path>& path) {
  if (!path) return kalu_ui::fail("no config dir");
  std::ifstream in(*path, std::ios::binary);
  if (!in) return kalu_ui::fail("could not read {}", path->string());
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) return kalu_ui::fail("could not read {}", path->string());
  // Anything that is not UTF-8, even in a member that is skipped, is not a state file.
  if (limited_exec::decode_lossy(text) != text) {
    return kalu_ui::fail("{} is not UTF-8 text", path->string());
  }
  return text;
}

}  // namespace

kalu_ui::Result<TreeView> load_tree_view(const std::optional<std::filesystem::path>& path) {
  auto text = state_file_text(path);
  if (!text) return kalu_ui::fail(text.error());
  return read_tree_view(*text);
}

kalu_ui::Result<TreeView> load_workspace_access_record(
    const std::optional<std::filesystem::path>& path) {
  auto text = state_file_text(path);
  if (!text) return kalu_ui::fail(text.error());
  auto tree = read_tree_view(*text);
  if (!tree) return tree;
  // The text has just read as a record, so it parses.
  auto json = nlohmann::ordered_json::parse(*text, nullptr, false);
  bool holds = json.is_object() ? json.contains("workspaces") : !json.empty();
  if (!holds) return kalu_ui::fail("the state file holds no workspaces");
  return tree;
}

// ---- The overview ------------------------------------------------------------

namespace {

struct Classified {
  GrantCategory category;
  std::string detail;
};

std::optional<Classified> classify(const CapOverride& grant) {
  const std::string* text = grant.scope.text();
  switch (grant.scope.kind()) {
    case ScopeKind::FsPath: {
      bool writes = grant.verb == Verb::Write || grant.verb == Verb::Admin;
      return Classified{GrantCategory::Files, fmt::format("{}  \u00b7  {}", *text,
                                                          writes ? "read & write" : "read-only")};
    }
    case ScopeKind::Device:
      if (*text == "camera") return Classified{GrantCategory::Camera, "Capture video"};
      if (*text == "microphone") return Classified{GrantCategory::Microphone, "Capture audio"};
      if (*text == "screencast") {
        return Classified{GrantCategory::ScreenSharing, "Stream this workspace"};
      }
      if (*text == "remote-desktop") {
        return Classified{GrantCategory::RemoteControl, "Inject pointer & keyboard"};
      }
      return std::nullopt;
    case ScopeKind::NetHost:
      return Classified{GrantCategory::Network, *text == "*" ? std::string("Any host") : *text};
    default:
      return std::nullopt;
  }
}

std::string category_label(GrantCategory category) {
  switch (category) {
    case GrantCategory::Files:
      return "Files";
    case GrantCategory::Camera:
      return "Camera";
    case GrantCategory::Microphone:
      return "Microphone";
    case GrantCategory::ScreenSharing:
      return "Screen sharing";
    case GrantCategory::RemoteControl:
      return "Remote control";
    case GrantCategory::Network:
      return "Network";
  }
  return "Files";
}

std::string duration_label(const Expiry& expiry) {
  static constexpr std::array<std::string_view, 4> kLabels = {"Always", "Temporary",
                                                              "Until log out", "Once"};
  return std::string(kLabels[expiry.index()]);
}

const std::string* app_of(const CapOverride& grant) {
  const auto* subject = std::get_if<PrincipalSubject>(&grant.subject);
  if (subject == nullptr || subject->principal.kind() != PrincipalKind::App) return nullptr;
  return &subject->principal.id();
}

}  // namespace

WorkspaceAccessOverview workspace_access_overview(const kalu_ui::Result<TreeView>& record) {
  WorkspaceAccessOverview overview;
  if (!record) {
    overview.summary = kWorkspaceAccessUnavailable;
    return overview;
  }
  for (const WsView& workspace : record->workspaces) {
    std::map<std::string, std::vector<GrantItem>> by_app;
    for (const CapOverride& grant : workspace.capabilities) {
      const std::string* app = app_of(grant);
      if (app == nullptr || grant.effect != Effect::Grant) continue;
      auto classified = classify(grant);
      if (!classified) continue;
      by_app[*app].push_back(GrantItem{std::move(classified->detail),
                                       category_label(classified->category),
                                       duration_label(grant.expiry), classified->category});
    }
    if (by_app.empty()) continue;
    WorkspaceGrants group;
    std::string_view title = limited_exec::trim_white_space(workspace.name);
    group.title = title.empty() ? "Workspace" : std::string(title);
    for (auto& [app, items] : by_app) {
      std::sort(items.begin(), items.end(), [](const GrantItem& a, const GrantItem& b) {
        return std::tie(a.category_label, a.detail) < std::tie(b.category_label, b.detail);
      });
      overview.grant_count += items.size();
      group.apps.push_back(AppGrants{app, std::move(items)});
    }
    overview.workspaces.push_back(std::move(group));
  }
  if (overview.grant_count == 0) {
    overview.state = WorkspaceAccessOverview::State::NoGrants;
    return overview;
  }
  overview.state = WorkspaceAccessOverview::State::Grants;
  std::size_t spaces = overview.workspaces.size();
  overview.summary =
      fmt::format("{} grant{} across {} workspace{}", overview.grant_count,
                  overview.grant_count == 1 ? "" : "s", spaces, spaces == 1 ? "" : "s");
  return overview;
}

}  // namespace settings::stored
