// The login accounts over small account and group files: which lines are
// people's accounts, who is an administrator, who is signed in, and that
// unreadable or damaged files lose nothing but themselves.
#include "vocabulary/login_accounts.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>

namespace settings::panes::users {
namespace {

namespace fs = std::filesystem;

struct TempDir {
  TempDir() {
    std::string pattern = (fs::temp_directory_path() / "kalu-login-accounts-XXXXXX").string();
    path = ::mkdtemp(pattern.data());
  }
  ~TempDir() {
    std::error_code ignored;
    fs::remove_all(path, ignored);
  }
  fs::path write(const std::string& name, const std::string& text) const {
    std::ofstream(path / name, std::ios::binary) << text;
    return path / name;
  }
  fs::path path;
};

TEST(LoginAccounts, OnlyPeoplesAccountsAreListed) {
  const Administrators admins = {"grace"};
  const std::optional<std::string> me = "ada";
  struct Case {
    const char* line;
    std::optional<LocalUser> expected;
  } cases[] = {
      {"ada:x:1000:1000:Ada Lovelace, Room 1, 555:/home/ada:/bin/bash",
       LocalUser{"ada", "Ada Lovelace", 1000, false, true, false}},
      {"plus:x:+1000:1000::/home/plus:/bin/zsh",
       LocalUser{"plus", "plus", 1000, false, false, false}},
      {"last:x:59999:59999: \t :/home/last:/bin/sh",
       LocalUser{"last", "last", 59999, false, false, false}},
      {"grace:x:1001:1001:  Grace Hopper  ,,,:/home/grace:/bin/bash:extra",
       LocalUser{"grace", "Grace Hopper", 1001, true, false, false}},
      {"sys:x:999:999:System:/:/bin/bash", std::nullopt},
      {"over:x:60000:60000::/:/bin/bash", std::nullopt},
      {"nobody:x:65534:65534:nobody:/nonexistent:/bin/sh", std::nullopt},
      {"svc:x:1002:1002:Service:/:/usr/sbin/nologin", std::nullopt},
      {"shut:x:1003:1003::/:/bin/false", std::nullopt},
      {"short:x:1004:1004::/home/short", std::nullopt},
      {"neg:x:-1000:1000::/:/bin/bash", std::nullopt},
      {"plusminus:x:+-1000:1000::/:/bin/bash", std::nullopt},
      {"blank:x::1000::/:/bin/bash", std::nullopt},
      {"huge:x:18446744073709552616:1000::/:/bin/bash", std::nullopt},
      {"spaced:x: 1000:1000::/:/bin/bash", std::nullopt},
      {":x:1005:1005::/:/bin/bash", std::nullopt},
      {"", std::nullopt},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(parse_login_account(c.line, admins, me), c.expected) << c.line;
  }
}

TEST(LoginAccounts, AdministratorsAreMembersOfWheelOrSudoOnce) {
  EXPECT_EQ(read_administrators("wheel:x:10:grace,ada\nsudo:x:27:grace\r\nstaff:x:50:lin\n"),
            (Administrators{"ada", "grace"}));
  // A wheel line of three fields lists nobody.
  EXPECT_EQ(read_administrators("wheel:x:10\n").size(), 0u);
  EXPECT_EQ(read_administrators("wheels:x:11:ada\nWheel:x:12:ada\n").size(), 0u);
}

TEST(LoginAccounts, TheSignedInAccountMatchesUserExactly) {
  const char* line = "ada:x:1000:1000::/home/ada:/bin/bash";
  for (const auto& [user, signed_in] :
       std::initializer_list<std::pair<std::optional<std::string>, bool>>{{"ada", true},
                                                                          {"ada ", false},
                                                                          {"Ada", false},
                                                                          {"ad", false},
                                                                          {"", false},
                                                                          {std::nullopt, false}}) {
    EXPECT_EQ(parse_login_account(line, {}, user)->signed_in, signed_in)
        << user.value_or("(unset)");
  }

  const char* saved = std::getenv("USER");
  std::optional<std::string> previous = saved ? std::optional<std::string>(saved) : std::nullopt;
  ::setenv("USER", "ada", 1);
  EXPECT_EQ(current_user_name(), "ada");
  ::setenv("USER", "\xff\xfe", 1);
  EXPECT_EQ(current_user_name(), std::nullopt);
  ::unsetenv("USER");
  EXPECT_EQ(current_user_name(), std::nullopt);
  if (previous) ::setenv("USER", previous->c_str(), 1);
}

TEST(LoginAccounts, LoadKeepsFileOrderAndAsksAutomaticLoginPerAccount) {
  TempDir dir;
  system_ops::users::AccountFiles files{
      dir.write("passwd",
                "root:x:0:0:root:/root:/bin/bash\n"
                "grace:x:1001:1001:Grace Hopper,,,:/home/grace:/bin/bash\n"
                "bro\xffken:x:1003:1003::/home/b:/bin/bash\n"
                "ada:x:1000:1000:Ada Lovelace:/home/ada:/bin/bash\r\n"
                "lin:x:1002:1002::/home/lin:/bin/bash"),
      dir.write("group", "wheel:x:10:ada\nsudo:x:27:ada,lin\n")};
  std::vector<std::string> asked;
  auto automatic_login = [&](const std::string& name) -> kalu_ui::Result<bool> {
    asked.push_back(name);
    if (name == "lin") return kalu_ui::fail("the switch is not installed");
    return name == "grace";
  };
  auto users = load_local_users(files, "ada", automatic_login);
  std::vector<LocalUser> expected = {
      {"grace", "Grace Hopper", 1001, false, false, true},
      {"bro\uFFFDken", "bro\uFFFDken", 1003, false, false, false},
      {"ada", "Ada Lovelace", 1000, true, true, false},
      {"lin", "lin", 1002, true, false, false},
  };
  EXPECT_EQ(users, expected);
  EXPECT_EQ(asked, (std::vector<std::string>{"grace", "bro\uFFFDken", "ada", "lin"}));

  // No group file: nobody is an administrator; no account file: nobody at all.
  auto without_groups =
      load_local_users({files.passwd, dir.path / "missing"}, std::nullopt, automatic_login);
  ASSERT_EQ(without_groups.size(), 4u);
  EXPECT_FALSE(without_groups[2].administrator);
  EXPECT_TRUE(
      load_local_users({dir.path / "missing", files.group}, "ada", automatic_login).empty());
  EXPECT_TRUE(load_local_users({dir.path, files.group}, "ada", automatic_login).empty());
}

}  // namespace
}  // namespace settings::panes::users
