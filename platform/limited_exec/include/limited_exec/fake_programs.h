#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "limited_exec/programs.h"

// For tests: small shell scripts in a temporary directory stand in for the
// programs the application runs. While a FakePrograms lives, its scripts are
// the whole program table; any other program is refused.
namespace limited_exec {

class FakePrograms {
 public:
  FakePrograms();
  ~FakePrograms();
  FakePrograms(const FakePrograms&) = delete;
  FakePrograms& operator=(const FakePrograms&) = delete;

  // Writes `script` (the body of a /bin/sh script) as the program answered for
  // `program` and answers the script's path.
  std::string add(const std::string& program, std::string_view script);
  // Makes `program` resolve to a path that does not exist.
  void add_missing(const std::string& program);

  const std::filesystem::path& dir() const { return dir_; }

 private:
  void install();

  std::filesystem::path dir_;
  ProgramTable table_;
  std::optional<ScopedTestPrograms> guard_;
};

}  // namespace limited_exec
