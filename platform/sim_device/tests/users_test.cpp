// The simulated device's login accounts: a fresh device's accounts and
// files, and the account programs simdev answers as changing both.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "sim_device/simdev.h"
#include "sim_device/state.h"

namespace sim_device {
namespace {

using simdev::run;
using ::testing::HasSubstr;
using ::testing::Not;

std::string users_file_text(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// The line of `file` that starts with "<name>:", empty when there is none.
std::string line_of(const std::filesystem::path& file, const std::string& name) {
  std::istringstream lines(users_file_text(file));
  for (std::string line; std::getline(lines, line);) {
    if (line.starts_with(name + ":")) return line;
  }
  return {};
}

Json users() { return (**read())["users"]; }

TEST(SimulatedUsers, AFreshDeviceHasThisMachinesAccountsAndTwoSamplePeople) {
  ScopedDeviceState scoped;
  auto files = account_files();
  ASSERT_TRUE(files) << files.error();
  EXPECT_EQ(files->passwd, scoped.dir() / "simulated-device.passwd");
  if (std::filesystem::exists("/etc/passwd")) {
    EXPECT_THAT(line_of(files->passwd, "root"), HasSubstr("root:x:0:0:"));
  }
  std::string ada = line_of(files->passwd, "ada");
  EXPECT_THAT(ada, HasSubstr(":Ada Lovelace,,,:/home/ada:/bin/bash"));
  EXPECT_THAT(line_of(files->passwd, "grace"), HasSubstr(":Grace Hopper,,,:"));
  EXPECT_THAT(line_of(files->group, "wheel"), HasSubstr("ada"));
  EXPECT_THAT(line_of(files->group, "wheel"), Not(HasSubstr("grace")));
  EXPECT_TRUE(users()["automatic_login"].is_null());

  // Files that went missing are written again from the device.
  std::filesystem::remove(files->group);
  ASSERT_TRUE(account_files());
  EXPECT_THAT(line_of(files->group, "wheel"), HasSubstr("ada"));
}

TEST(SimulatedUsers, AccountProgramsChangeTheAccountsAndRewriteTheFiles) {
  ScopedDeviceState scoped;
  auto files = *account_files();
  auto ok = [](const simdev::Outcome& out) {
    EXPECT_EQ(out.status, 0) << out.err;
    return out.out;
  };

  ok(run("/usr/sbin/useradd", {"--create-home", "--comment", "Lin Yu", "--", "lin"}));
  std::string lin = line_of(files.passwd, "lin");
  EXPECT_THAT(lin, HasSubstr(":Lin Yu:/home/lin:/bin/bash"));
  auto uid = users()["accounts"].back()["uid"].get<std::uint32_t>();
  EXPECT_GE(uid, 1000u);
  EXPECT_EQ(line_of(files.group, "lin"), "lin:x:" + std::to_string(uid) + ":");
  EXPECT_EQ(users()["accounts"].back()["password_set"], false);

  ok(run("chpasswd", {}, "lin:correct horse battery\n"));
  EXPECT_EQ(users()["accounts"].back()["password_set"], true);
  EXPECT_THAT(users_file_text(scoped.path()), Not(HasSubstr("correct horse")));
  EXPECT_THAT(users_file_text(files.passwd), Not(HasSubstr("correct horse")));

  EXPECT_EQ(ok(run("gpasswd", {"--add", "lin", "wheel"})), "Adding user lin to group wheel\n");
  EXPECT_THAT(line_of(files.group, "wheel"), HasSubstr("lin"));
  ok(run("/usr/libexec/kalu-autologin", {"enable", "lin"}));
  EXPECT_EQ(ok(run("kalu-autologin", {"status", "lin"})), "enabled\n");
  EXPECT_EQ(ok(run("kalu-autologin", {"status", "ada"})), "disabled\n");
  ok(run("gpasswd", {"-d", "lin", "wheel"}));
  EXPECT_THAT(line_of(files.group, "wheel"), Not(HasSubstr("lin")));

  ok(run("gpasswd", {"-a", "lin", "wheel"}));
  ok(run("/usr/sbin/userdel", {"--remove", "--", "lin"}));
  EXPECT_EQ(line_of(files.passwd, "lin"), "");
  EXPECT_EQ(line_of(files.group, "lin"), "");
  EXPECT_THAT(line_of(files.group, "wheel"), Not(HasSubstr("lin")));
  EXPECT_TRUE(users()["automatic_login"].is_null());
}

TEST(SimulatedUsers, RefusalsAndFaultsChangeNothing) {
  ScopedDeviceState scoped;
  Json before = users();
  std::string passwd_before = users_file_text(account_files()->passwd);
  struct Case {
    std::string program;
    std::vector<std::string> args;
    std::string input;
    int status;
    const char* err;
  } cases[] = {
      {"useradd", {"--", "-rf"}, "", 3, "invalid user name '-rf'"},
      {"useradd", {"Lin"}, "", 3, "invalid user name"},
      {"useradd", {"--comment", "a:b", "lin"}, "", 3, "invalid comment"},
      {"useradd", {"--comment", "a\nroot::0:0::/:/bin/sh", "lin"}, "", 3, "invalid comment"},
      {"useradd",
       {"--groups", "no-such-group", "lin"},
       "",
       6,
       "group 'no-such-group' does not exist"},
      {"useradd", {"ada"}, "", 9, "user 'ada' already exists"},
      {"useradd", {"-x", "lin"}, "", 2, "unrecognized option '-x'"},
      {"useradd", {}, "", 2, "Usage"},
      {"chpasswd", {}, "ghost:pw\n", 1, "line 1: user 'ghost' does not exist"},
      {"chpasswd", {}, "ada:pw\ngrace\n", 1, "line 2: missing new password"},
      {"userdel", {"ghost"}, "", 6, "user 'ghost' does not exist"},
      {"gpasswd", {"--add", "ada", "no-such-group"}, "", 3, "group 'no-such-group' does not exist"},
      {"gpasswd", {"--add", "ghost", "wheel"}, "", 3, "user 'ghost' does not exist"},
      {"gpasswd", {"--delete", "grace", "wheel"}, "", 3, "not a member of 'wheel'"},
      {"kalu-autologin", {"enable", "ghost"}, "", 1, "user 'ghost' does not exist"},
      {"kalu-autologin", {"on", "ada"}, "", 2, "Usage"},
  };
  for (const auto& c : cases) {
    auto out = run(c.program, c.args, c.input);
    EXPECT_EQ(out.status, c.status) << c.program << " " << c.err;
    EXPECT_THAT(out.err, HasSubstr(c.err)) << c.program;
  }
  // A password that was refused on its second line is not set on its first.
  EXPECT_EQ(users(), before);

  // A fault on the change, or on the program, answers its text.
  ASSERT_EQ(run("simdev", {"fault", "users.create_user", "Authentication failure"}).status, 0);
  auto faulted = run("useradd", {"lin"});
  EXPECT_EQ(faulted.status, 1);
  EXPECT_EQ(faulted.err, "Authentication failure\n");
  ASSERT_EQ(run("simdev", {"fault", "gpasswd", "gpasswd: cannot lock /etc/group"}).status, 0);
  EXPECT_EQ(run("gpasswd", {"--add", "grace", "wheel"}).err, "gpasswd: cannot lock /etc/group\n");
  Json after = users();
  EXPECT_EQ(after, before);
  EXPECT_EQ(users_file_text(account_files()->passwd), passwd_before);
}

}  // namespace
}  // namespace sim_device
