#include "prefs_store/paths.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

// Sets or clears an environment variable for the guard's lifetime.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, std::optional<std::string> value) : name_(name) {
    if (const char* old = std::getenv(name)) previous_ = old;
    if (value) {
      ::setenv(name, value->c_str(), 1);
    } else {
      ::unsetenv(name);
    }
  }
  ~ScopedEnv() {
    if (previous_) {
      ::setenv(name_, previous_->c_str(), 1);
    } else {
      ::unsetenv(name_);
    }
  }

 private:
  const char* name_;
  std::optional<std::string> previous_;
};

TEST(PrefsPaths, FollowsXdgRulesWithHomeFallback) {
  struct Case {
    std::optional<std::string> xdg;
    std::optional<std::string> home;
    std::optional<fs::path> expected;
  };
  const Case cases[] = {
      {"/x/conf", "/home/u", fs::path("/x/conf")},
      {"relative/conf", "/home/u", fs::path("/home/u/.config")},  // relative is invalid
      {"", "/home/u", fs::path("/home/u/.config")},
      {std::nullopt, "/home/u", fs::path("/home/u/.config")},
  };
  for (const Case& c : cases) {
    ScopedEnv xdg("XDG_CONFIG_HOME", c.xdg);
    ScopedEnv xdg_data("XDG_DATA_HOME", c.xdg);
    ScopedEnv home("HOME", c.home);
    EXPECT_EQ(prefs_store::config_dir(), c.expected) << c.xdg.value_or("(unset)");
    // The data directory follows the same rules with its own variable.
    std::optional<fs::path> data = c.expected;
    if (data && data->filename() == ".config") data = data->parent_path() / ".local" / "share";
    EXPECT_EQ(prefs_store::data_dir(), data) << c.xdg.value_or("(unset)");
  }
  ScopedEnv xdg("XDG_CONFIG_HOME", std::nullopt);
  ScopedEnv home("HOME", std::nullopt);
  auto fallback = prefs_store::config_dir();  // from the password database
  if (fallback) {
    EXPECT_EQ(fallback->filename(), ".config");
  }
}

TEST(PrefsPaths, DirectoryListsKeepAbsoluteEntriesInOrderElseTheDefaults) {
  using Dirs = std::vector<fs::path>;
  {
    ScopedEnv data("XDG_DATA_DIRS", "/opt/share::relative:/usr/share/:");
    ScopedEnv conf("XDG_CONFIG_DIRS", "/etc/a:/etc/b");
    EXPECT_EQ(prefs_store::data_dirs(), (Dirs{"/opt/share", "/usr/share/"}));
    EXPECT_EQ(prefs_store::config_dirs(), (Dirs{"/etc/a", "/etc/b"}));
  }
  for (const std::optional<std::string>& unusable :
       {std::optional<std::string>(), std::optional<std::string>(""),
        std::optional<std::string>("relative")}) {
    ScopedEnv data("XDG_DATA_DIRS", unusable);
    ScopedEnv conf("XDG_CONFIG_DIRS", unusable);
    EXPECT_EQ(prefs_store::data_dirs(), (Dirs{"/usr/local/share", "/usr/share"}));
    EXPECT_EQ(prefs_store::config_dirs(), (Dirs{"/etc/xdg"}));
  }
  ScopedEnv cache("XDG_CACHE_HOME", "relative");
  ScopedEnv home("HOME", "/home/u");
  EXPECT_EQ(prefs_store::cache_dir(), fs::path("/home/u/.cache"));
}

TEST(PrefsPaths, OverrideNamesTheDirectoryOrNone) {
  ScopedEnv xdg("XDG_CONFIG_HOME", "/x/conf");
  {
    prefs_store::ScopedConfigDir dir("/tmp/test-config");
    EXPECT_EQ(prefs_store::settings_path(), fs::path("/tmp/test-config/kalu/settings.json"));
    EXPECT_EQ(prefs_store::config_path("state.json"), fs::path("/tmp/test-config/kalu/state.json"));
    {
      prefs_store::ScopedConfigDir none{fs::path()};
      EXPECT_EQ(prefs_store::config_dir(), std::nullopt);
      EXPECT_EQ(prefs_store::settings_path(), std::nullopt);
      EXPECT_EQ(prefs_store::config_path("state.json"), std::nullopt);
    }
    EXPECT_EQ(prefs_store::config_dir(), fs::path("/tmp/test-config"));
  }
  EXPECT_EQ(prefs_store::settings_path(), fs::path("/x/conf/kalu/settings.json"));
}

}  // namespace
