#include "layers.h"

#include <fmt/format.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <optional>
#include <set>
#include <sstream>

namespace check_layers {
namespace {

namespace fs = std::filesystem;
using Segments = std::vector<std::string_view>;

// The folders whose files belong to rooms.
constexpr std::string_view kTopFolders[] = {"platform", "apps", "tools"};

// The toolkit's layers, from the bottom up.
constexpr std::string_view kCore = "platform/kalu_ui/core";
constexpr std::string_view kState = "platform/kalu_ui/state";
constexpr std::string_view kLayout = "platform/kalu_ui/layout";
constexpr std::string_view kRender = "platform/kalu_ui/render";
constexpr std::string_view kSearch = "platform/kalu_ui/search";
constexpr std::string_view kActions = "platform/kalu_actions";
constexpr std::string_view kContract = "platform/kalu_ui/contract";
constexpr std::string_view kWidgets = "platform/kalu_ui/widgets";
constexpr std::string_view kHost = "platform/kalu_ui/host";
constexpr std::string_view kAtspi = "platform/kalu_ui/atspi";
constexpr std::string_view kApp = "platform/kalu_ui/app";
// Every platform service (one folder below platform/, the toolkit aside).
constexpr std::string_view kServices = "platform/*";
constexpr std::string_view kPlatform = "platform/**";
// The program's folders, its panes, and the application object.
constexpr std::string_view kProgramFolders = "apps/settings/src/*";
constexpr std::string_view kPanes = "apps/settings/src/panes/*";
constexpr std::string_view kNotTheApplication = "!apps/settings/src/settings_app";
// The panes' shared words, read by the panes and by the rooms below them.
constexpr std::string_view kVocabulary = "apps/settings/src/vocabulary";

const std::vector<Rule>& rules_table() {
  static const std::vector<Rule> rules = {
      // The toolkit: each layer includes only the layers below it.
      {kCore, {}},
      {kState, {kCore}},
      {kLayout, {kCore}},
      {kRender, {kCore}},
      {kSearch, {kCore}},
      {kActions, {kCore, kState}},
      {kContract, {kCore, kActions}},
      {kWidgets, {kCore, kState, kLayout, kRender, kSearch, kActions, kContract}},
      {kHost, {kCore, kState, kActions, kContract}},
      {kAtspi, {kCore, kState, kActions, kContract, kWidgets}},
      {kApp,
       {kCore, kState, kLayout, kRender, kSearch, kActions, kContract, kWidgets, kHost, kAtspi}},
      // A platform service stands on the toolkit's core and state and on
      // other services; a new service needs no row unless it needs more.
      {kServices, {kCore, kState, kServices}},
      // The program stands on the whole platform. No pane includes another
      // pane and only the application object (and main) include panes.
      {kPanes, {kPlatform, kContract, kProgramFolders, kNotTheApplication}},
      {kProgramFolders, {kPlatform, kContract, kProgramFolders, kNotTheApplication}},
      // The vocabulary stands below actions and the sidebar: it reads only the
      // stored preferences and the program's own library.
      {kVocabulary, {kPlatform, kContract, "apps/settings/src/lib", "apps/settings/src/stored"}},
      {"apps/settings/src/settings_app", {kPlatform, kContract, kProgramFolders, kPanes}},
      {"apps/settings/src", {kPlatform, kContract, kProgramFolders, kPanes}},
      // Tools for people and tests speak to the program from outside.
      {"tools/*", {kPlatform, kContract}},
  };
  return rules;
}

Segments split(std::string_view path) {
  Segments out;
  while (!path.empty()) {
    const std::size_t slash = path.find('/');
    out.push_back(path.substr(0, slash));
    if (slash == std::string_view::npos) break;
    path.remove_prefix(slash + 1);
  }
  return out;
}

std::string join(const Segments& segments, std::size_t count) {
  std::string out;
  for (std::size_t i = 0; i < count && i < segments.size(); ++i) {
    if (i > 0) out.push_back('/');
    out.append(segments[i]);
  }
  return out;
}

// Folders inside a library that are never rooms of their own.
bool is_library_inner(std::string_view segment) {
  return segment == "src" || segment == "include" || segment == "tests" || segment == "bench";
}

// How many leading segments of `path` the pattern matches, or none. "*"
// stands for one segment (never a library's inner folder), a final "**" for
// the rest.
std::optional<std::size_t> match_prefix(std::string_view pattern, const Segments& path) {
  const Segments p = split(pattern);
  for (std::size_t i = 0; i < p.size(); ++i) {
    if (p[i] == "**") return path.size();
    if (i >= path.size()) return std::nullopt;
    if (p[i] == "*" ? is_library_inner(path[i]) : p[i] != path[i]) return std::nullopt;
  }
  return p.size();
}

bool matches_room(std::string_view pattern, std::string_view room) {
  const Segments r = split(room);
  const auto n = match_prefix(pattern, r);
  return n && *n == r.size();
}

struct Room {
  std::string name;
  const Rule* rule = nullptr;
};

// The room of a file: the longest folder prefix some rule's pattern matches;
// at equal length a literal pattern wins over a wildcard.
std::optional<Room> room_of(std::string_view file, std::span<const Rule> rules) {
  Segments dirs = split(file);
  if (!dirs.empty()) dirs.pop_back();
  std::optional<Room> best;
  std::size_t best_length = 0;
  bool best_literal = false;
  for (const Rule& rule : rules) {
    const auto n = match_prefix(rule.room, dirs);
    if (!n) continue;
    const bool literal = rule.room.find('*') == std::string_view::npos;
    if (!best || *n > best_length || (*n == best_length && literal && !best_literal)) {
      best = Room{join(dirs, *n), &rule};
      best_length = *n;
      best_literal = literal;
    }
  }
  return best;
}

bool allowed(const Rule& rule, std::string_view target_room) {
  bool allow = false;
  for (std::string_view pattern : rule.may_include) {
    if (pattern.starts_with('!')) {
      if (matches_room(pattern.substr(1), target_room)) return false;
    } else if (matches_room(pattern, target_room)) {
      allow = true;
    }
  }
  return allow;
}

struct Include {
  int line = 0;
  std::string name;
  bool quoted = false;
};

std::vector<Include> includes_of(const std::string& content) {
  std::vector<Include> out;
  std::istringstream lines(content);
  std::string text;
  int number = 0;
  while (std::getline(lines, text)) {
    ++number;
    std::string_view line = text;
    const auto skip_blanks = [&] {
      while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
    };
    skip_blanks();
    if (!line.starts_with('#')) continue;
    line.remove_prefix(1);
    skip_blanks();
    if (!line.starts_with("include")) continue;
    line.remove_prefix(7);
    skip_blanks();
    if (line.empty() || (line.front() != '"' && line.front() != '<')) continue;
    const char close = line.front() == '"' ? '"' : '>';
    const std::size_t end = line.find(close, 1);
    if (end == std::string_view::npos) continue;
    out.push_back({number, std::string(line.substr(1, end - 1)), close == '"'});
  }
  return out;
}

std::string normalise(const fs::path& path) { return path.lexically_normal().generic_string(); }

// Where an include line's header lives in the tree: beside the including
// file (quoted includes), in the including library's src/, under some
// library's include/ folder, or under the program's include root.
class Resolver {
 public:
  explicit Resolver(const SourceTree& tree) : tree_(tree) {
    for (const auto& [path, content] : tree) {
      if (const std::size_t at = path.find("/include/"); at != std::string::npos) {
        roots_.insert(path.substr(0, at + 9));
      }
    }
    roots_.insert("apps/settings/src/");
    // What a plain name finds under the roots, the first root in order
    // winning, as the walk over the roots would answer it.
    for (const std::string& root : roots_) {
      for (auto it = tree.lower_bound(root); it != tree.end() && it->first.starts_with(root);
           ++it) {
        under_roots_.emplace(it->first.substr(root.size()), it->first);
      }
    }
  }

  std::optional<std::string> resolve(const std::string& file, const Room& room,
                                     const Include& include) const {
    const bool plain = is_plain(include.name);
    if (include.quoted) {
      const std::size_t slash = file.rfind('/');
      const std::string folder = slash == std::string::npos ? "" : file.substr(0, slash + 1);
      if (auto found = find(folder, include.name, plain)) return found;
    }
    if (auto found = find(room.name + "/src/", include.name, plain)) return found;
    if (plain) {
      const auto found = under_roots_.find(include.name);
      if (found == under_roots_.end()) return std::nullopt;
      return found->second;
    }
    for (const std::string& root : roots_) {
      if (auto found = find(root, include.name, plain)) return found;
    }
    return std::nullopt;
  }

 private:
  // No empty, "." or ".." segment, and relative: such a name joins a folder
  // by text. The path's normal form, needed for the others, would cost the
  // whole tree's check several times over if every name took it.
  static bool is_plain(std::string_view name) {
    if (name.empty() || name.front() == '/') return false;
    for (std::string_view segment : split(name)) {
      if (segment.empty() || segment == "." || segment == "..") return false;
    }
    return true;
  }

  // `folder` is empty or ends with a slash.
  std::optional<std::string> find(const std::string& folder, const std::string& name,
                                  bool plain) const {
    std::string path = plain ? folder + name : normalise(fs::path(folder) / name);
    if (tree_.contains(path)) return path;
    return std::nullopt;
  }

  const SourceTree& tree_;
  std::set<std::string> roots_;
  std::map<std::string, std::string, std::less<>> under_roots_;
};

// Rooms that include one another, each cycle once (Tarjan's components).
std::vector<std::vector<std::string>> cycles(
    const std::map<std::string, std::set<std::string>>& edges) {
  std::map<std::string, int> index;
  std::map<std::string, int> low;
  std::set<std::string> on_stack;
  std::vector<std::string> stack;
  std::vector<std::vector<std::string>> found;
  int next = 0;
  std::function<void(const std::string&)> visit = [&](const std::string& room) {
    index[room] = low[room] = next++;
    stack.push_back(room);
    on_stack.insert(room);
    if (auto out = edges.find(room); out != edges.end()) {
      for (const std::string& to : out->second) {
        if (!index.contains(to)) {
          visit(to);
          low[room] = std::min(low[room], low[to]);
        } else if (on_stack.contains(to)) {
          low[room] = std::min(low[room], index[to]);
        }
      }
    }
    if (low[room] != index[room]) return;
    std::vector<std::string> component;
    std::string member;
    do {
      member = stack.back();
      stack.pop_back();
      on_stack.erase(member);
      component.push_back(member);
    } while (member != room);
    if (component.size() > 1) {
      std::sort(component.begin(), component.end());
      found.push_back(std::move(component));
    }
  };
  for (const auto& [room, out] : edges) {
    if (!index.contains(room)) visit(room);
  }
  return found;
}

bool is_source(const fs::path& path) {
  const auto ext = path.extension();
  return ext == ".h" || ext == ".hpp" || ext == ".cpp";
}

}  // namespace

std::span<const Rule> project_rules() { return rules_table(); }

SourceTree read_tree(const fs::path& root) {
  SourceTree tree;
  for (std::string_view top : kTopFolders) {
    std::error_code ec;
    for (fs::recursive_directory_iterator it(root / top, ec), end; !ec && it != end;
         it.increment(ec)) {
      if (!it->is_regular_file() || !is_source(it->path())) continue;
      std::ifstream in(it->path(), std::ios::binary);
      std::stringstream content;
      content << in.rdbuf();
      tree[normalise(fs::relative(it->path(), root))] = content.str();
    }
  }
  return tree;
}

std::vector<Violation> check(const SourceTree& tree, std::span<const Rule> rules) {
  std::vector<Violation> out;
  const Resolver resolver(tree);
  std::map<std::string, std::set<std::string>> edges;
  for (const auto& [file, content] : tree) {
    const auto room = room_of(file, rules);
    if (!room) continue;
    for (const Include& include : includes_of(content)) {
      const auto header = resolver.resolve(file, *room, include);
      if (!header) continue;  // not the project's
      const auto target = room_of(*header, rules);
      if (!target) {
        out.push_back({file, include.line,
                       fmt::format("includes \"{}\", which lies in no room", include.name)});
        continue;
      }
      if (target->name == room->name) continue;
      if (!allowed(*room->rule, target->name)) {
        out.push_back({file, include.line,
                       fmt::format("{} may not include \"{}\" of {}", room->name, include.name,
                                   target->name)});
        continue;
      }
      // A library's tests may lean on a room above it (a harness) without
      // making a cycle of the libraries themselves.
      if (file.find("/tests/") == std::string::npos) edges[room->name].insert(target->name);
    }
  }
  for (const auto& cycle : cycles(edges)) {
    std::string rooms;
    for (const auto& room : cycle) rooms += (rooms.empty() ? "" : ", ") + room;
    out.push_back({rooms, 0, fmt::format("rooms include one another in a cycle: {}", rooms)});
  }
  return out;
}

std::string describe(const Violation& violation) {
  if (violation.line == 0) return violation.message;
  return fmt::format("{}:{}: {}", violation.file, violation.line, violation.message);
}

}  // namespace check_layers
