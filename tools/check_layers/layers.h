#pragma once

// The include walls between the project's rooms. A room is a folder (one
// library: a toolkit layer, a platform service, the contract, one folder of
// the program, one pane); the table of rules says which rooms each room may
// include. check() reads every #include line of a source tree, resolves it to
// the header it names, and reports each include that crosses a wall, and
// every cycle between rooms (which no table of allowed edges can rule out on
// its own). Headers that resolve to nothing in the tree (the standard
// library, system and third-party headers) are not the walls' concern.

#include <filesystem>
#include <map>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace check_layers {

// One row of the table. Patterns are folder paths from the project root in
// which "*" stands for one path segment and a trailing "/**" for any depth;
// a pattern starting with "!" forbids what it matches even where another
// pattern allows it. A room may always include its own headers.
struct Rule {
  std::string_view room;
  std::vector<std::string_view> may_include;
};

// The project's table (layers.cpp): the one to extend when a room appears.
std::span<const Rule> project_rules();

// The files of a tree: path from the root ("platform/kalu_ui/core/src/log.cpp")
// to content. Only headers and sources are kept.
using SourceTree = std::map<std::string, std::string>;

// Reads the .h, .hpp and .cpp files under the rooms' top folders of `root`.
SourceTree read_tree(const std::filesystem::path& root);

struct Violation {
  std::string file;  // the including file, or the rooms of a cycle
  int line = 0;      // 1-based; 0 for a cycle
  std::string message;
};

std::vector<Violation> check(const SourceTree& tree, std::span<const Rule> rules = project_rules());

// "file:line: message" (a cycle: its message alone).
std::string describe(const Violation& violation);

}  // namespace check_layers
