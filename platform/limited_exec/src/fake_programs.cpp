#include "limited_exec/fake_programs.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <system_error>

namespace limited_exec {

FakePrograms::FakePrograms() {
  const char* tmp = std::getenv("TMPDIR");
  std::string pattern =
      std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/kalu-fake-programs-XXXXXX";
  if (::mkdtemp(pattern.data()) == nullptr) {
    throw std::runtime_error("cannot create a directory for fake programs");
  }
  dir_ = pattern;
  install();
}

FakePrograms::~FakePrograms() {
  guard_.reset();
  std::error_code ignored;
  std::filesystem::remove_all(dir_, ignored);
}

std::string FakePrograms::add(const std::string& program, std::string_view script) {
  std::string file_name = program;
  for (char& c : file_name) {
    if (c == '/') c = '_';
  }
  std::filesystem::path path = dir_ / file_name;
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << "#!/bin/sh\n" << script << "\n";
    if (!out) throw std::runtime_error("cannot write fake program " + path.string());
  }
  ::chmod(path.c_str(), 0755);
  table_.add(program, path.string());
  install();
  return path.string();
}

void FakePrograms::add_missing(const std::string& program) {
  table_.add(program, (dir_ / "missing" / program).string());
  install();
}

void FakePrograms::install() {
  guard_.reset();
  guard_.emplace(table_);
}

}  // namespace limited_exec
