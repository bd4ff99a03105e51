#pragma once

#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "prefs_store/paths.h"

namespace model_provider::testing {

// A temporary configuration directory that config_dir() answers for one
// test; the program's folder is "<dir>/kalu".
class TempConfig {
 public:
  TempConfig() : dir_(make()), scoped_(dir_) {}
  ~TempConfig() { std::filesystem::remove_all(dir_); }
  TempConfig(const TempConfig&) = delete;
  TempConfig& operator=(const TempConfig&) = delete;

  // A path below the program's folder.
  std::filesystem::path at(const std::filesystem::path& relative) const {
    return dir_ / "kalu" / relative;
  }
  void put(const std::filesystem::path& relative, const std::string& bytes) const {
    std::filesystem::create_directories(at(relative).parent_path());
    std::ofstream(at(relative), std::ios::binary) << bytes;
  }
  std::string read(const std::filesystem::path& relative) const {
    std::ifstream in(at(relative), std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
  }
  // The permission bits; -1 when the file does not exist.
  int mode(const std::filesystem::path& relative) const {
    struct stat st {};
    if (::stat(at(relative).c_str(), &st) != 0) return -1;
    return static_cast<int>(st.st_mode & 07777);
  }

 private:
  static std::filesystem::path make() {
    char tmpl[] = "/tmp/model_provider_test.XXXXXX";
    return ::mkdtemp(tmpl);
  }
  std::filesystem::path dir_;
  prefs_store::ScopedConfigDir scoped_;
};

}  // namespace model_provider::testing
