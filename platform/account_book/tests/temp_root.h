#pragma once

#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace account_book::testing {

// A temporary accounts root for one test, removed afterwards.
class TempRoot {
 public:
  TempRoot() {
    char tmpl[] = "/tmp/account_book_test.XXXXXX";
    path_ = ::mkdtemp(tmpl);
  }
  ~TempRoot() { std::filesystem::remove_all(path_); }
  TempRoot(const TempRoot&) = delete;
  TempRoot& operator=(const TempRoot&) = delete;

  const std::filesystem::path& path() const { return path_; }

  void put(const std::filesystem::path& relative, const std::string& bytes) const {
    std::filesystem::create_directories((path_ / relative).parent_path());
    std::ofstream(path_ / relative, std::ios::binary) << bytes;
  }
  std::string read(const std::filesystem::path& relative) const {
    std::ifstream in(path_ / relative, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
  }
  // The permission bits of a file or directory; -1 when it does not exist.
  int mode(const std::filesystem::path& relative) const {
    struct stat st {};
    if (::stat((path_ / relative).c_str(), &st) != 0) return -1;
    return static_cast<int>(st.st_mode & 07777);
  }

 private:
  std::filesystem::path path_;
};

}  // namespace account_book::testing
