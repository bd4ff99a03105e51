// check-layers [root]: prints every include that crosses a wall between the
// project's rooms (tools/check_layers/layers.cpp holds the table) and exits
// with 1 when there is one.
#include <fmt/format.h>

#include <filesystem>

#include "layers.h"

int main(int argc, char** argv) {
  const std::filesystem::path root = argc > 1 ? argv[1] : ".";
  const auto violations = check_layers::check(check_layers::read_tree(root));
  for (const auto& violation : violations) fmt::print("{}\n", check_layers::describe(violation));
  return violations.empty() ? 0 : 1;
}
