#pragma once

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>

#include "prefs_store/paths.h"

namespace settings::stored::testing {

// A temporary configuration directory for one test; the settings document
// lives at <tmp>/kalu/settings.json.
class TempConfig {
 public:
  TempConfig() {
    char tmpl[] = "/tmp/stored_test.XXXXXX";
    root_ = ::mkdtemp(tmpl);
    guard_.emplace(root_);
    path_ = root_ / "kalu" / "settings.json";
  }
  ~TempConfig() {
    guard_.reset();
    std::filesystem::remove_all(root_);
  }

  const std::filesystem::path& path() const { return path_; }
  void put(const std::string& text) const {
    std::filesystem::create_directories(path_.parent_path());
    std::ofstream(path_, std::ios::binary) << text;
  }
  std::string read() const {
    std::ifstream in(path_, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }

 private:
  std::filesystem::path root_;
  std::filesystem::path path_;
  std::optional<prefs_store::ScopedConfigDir> guard_;
};

// Sets (or, given nothing, unsets) an environment variable for the guard's
// lifetime and puts back what it was afterwards: the folders of the
// environment (XDG_DATA_HOME, PATH ...) a test wants its own. Process-wide.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, std::optional<std::string> value) : name_(name) {
    if (const char* old = ::getenv(name)) previous_ = old;
    value ? ::setenv(name, value->c_str(), 1) : ::unsetenv(name);
  }
  ~ScopedEnv() { previous_ ? ::setenv(name_, previous_->c_str(), 1) : ::unsetenv(name_); }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  const char* name_;
  std::optional<std::string> previous_;
};

}  // namespace settings::stored::testing
