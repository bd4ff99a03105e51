#pragma once

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace identity_tests {

// A temporary directory removed with the test.
class TempDir {
 public:
  TempDir() {
    char tmpl[] = "/tmp/identity_test.XXXXXX";
    root_ = ::mkdtemp(tmpl);
  }
  ~TempDir() { std::filesystem::remove_all(root_); }

  const std::filesystem::path& path() const { return root_; }
  std::filesystem::path operator/(const std::filesystem::path& rel) const { return root_ / rel; }

 private:
  std::filesystem::path root_;
};

inline std::string read_file(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

inline void write_file(const std::filesystem::path& path, const std::string& bytes) {
  std::filesystem::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

inline unsigned mode_of(const std::filesystem::path& path) {
  return static_cast<unsigned>(std::filesystem::status(path).permissions()) & 0777;
}

}  // namespace identity_tests
