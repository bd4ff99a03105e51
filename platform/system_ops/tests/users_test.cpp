// The login accounts' changes: end to end on a temporary simulated device
// through the simulated program table (the real simdev in a child process),
// the checks that refuse a change before any program runs, and the real
// device's road behind pkexec with fake programs.
#include "system_ops/users.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <fstream>
#include <sstream>

#include "limited_exec/fake_programs.h"
#include "limited_exec/programs.h"
#include "sim_device/state.h"

namespace system_ops::users {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;
using Json = sim_device::Json;

std::string file_text(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string line_of(const std::filesystem::path& file, const std::string& name) {
  std::istringstream lines(file_text(file));
  for (std::string line; std::getline(lines, line);) {
    if (line.starts_with(name + ":")) return line;
  }
  return {};
}

Json account(const std::string& name) {
  for (const auto& a : (**sim_device::read())["users"]["accounts"]) {
    if (a["name"] == name) return a;
  }
  return nullptr;
}

class ScopedSystemDevice {
 public:
  ScopedSystemDevice() {
    if (const char* v = std::getenv("KALU_DEVICE")) previous_ = v;
    ::setenv("KALU_DEVICE", "system", 1);
  }
  ~ScopedSystemDevice() {
    if (previous_) {
      ::setenv("KALU_DEVICE", previous_->c_str(), 1);
    } else {
      ::unsetenv("KALU_DEVICE");
    }
  }

 private:
  std::optional<std::string> previous_;
};

TEST(Users, EveryChangeLandsInTheSimulatedFilesThroughTheProgramTable) {
  sim_device::ScopedDeviceState device;
  limited_exec::ScopedTestPrograms programs(limited_exec::simulated_programs(SIMDEV_PATH));
  auto files = account_files();
  ASSERT_TRUE(files) << files.error();

  ASSERT_TRUE(create_user("lin", "Lin Yu", false));
  EXPECT_THAT(line_of(files->passwd, "lin"), HasSubstr(":Lin Yu:/home/lin:"));
  EXPECT_THAT(line_of(files->group, "wheel"), Not(HasSubstr("lin")));
  auto uid = find_uid("lin");
  ASSERT_TRUE(uid && *uid);
  // chpasswd reads the password from its standard input in simdev's process.
  ASSERT_TRUE(set_password("lin", "correct horse"));
  EXPECT_EQ(account("lin")["password_set"], true);

  ASSERT_TRUE(set_role("lin", true));
  EXPECT_THAT(line_of(files->group, "wheel"), HasSubstr("lin"));
  EXPECT_TRUE(set_role("lin", true));  // already an administrator
  ASSERT_TRUE(set_role("lin", false));
  EXPECT_THAT(line_of(files->group, "wheel"), Not(HasSubstr("lin")));
  EXPECT_TRUE(set_role("lin", false));

  ASSERT_TRUE(set_automatic_login("lin", true));
  EXPECT_EQ(automatic_login("lin"), true);
  EXPECT_EQ(automatic_login("ada"), false);

  auto reused = delete_user("lin", **uid + 1, true);
  ASSERT_FALSE(reused);
  EXPECT_THAT(reused.error(), HasSubstr("now has the user id"));
  EXPECT_NE(line_of(files->passwd, "lin"), "");
  ASSERT_TRUE(delete_user("lin", **uid, true));
  EXPECT_EQ(line_of(files->passwd, "lin"), "");
  EXPECT_EQ(automatic_login("lin"), false);
  EXPECT_EQ(find_uid("lin").value(), std::nullopt);
  EXPECT_EQ(delete_user("lin", **uid, true).error(), "The account lin no longer exists.");

  EXPECT_EQ(create_user("ada", "", false).error(), "useradd: user 'ada' already exists");
  ASSERT_TRUE(sim_device::update("", [](Json& s) -> kalu_ui::Status {
    s["faults"]["users.set_role"] = "Not authorized";
    return {};
  }));
  EXPECT_EQ(set_role("grace", true).error(), "Not authorized");
  EXPECT_THAT(line_of(files->group, "wheel"), Not(HasSubstr("grace")));
}

TEST(Users, UnsafeArgumentsAreRefusedBeforeAnyProgramRuns) {
  // An empty table: any program that ran would fail with the runner's text.
  limited_exec::FakePrograms nothing;
  struct Case {
    const char* what;
    kalu_ui::Status status;
    const char* error;
  } cases[] = {
      {"empty name", create_user("", "A", false), "A user name needs 1 to 32 characters."},
      {"33 characters", create_user(std::string(33, 'a'), "", false), "1 to 32"},
      {"leading dash", create_user("-rf", "", false), "cannot start with '-' or a digit"},
      {"leading digit", create_user("1ada", "", false), "cannot start with '-' or a digit"},
      {"capital", create_user("Ada", "", false), "only the letters a to z"},
      {"colon", create_user("a:b", "", false), "only the letters a to z"},
      {"space", create_user("a b", "", false), "only the letters a to z"},
      {"non-ASCII", create_user("jos\xc3\xa9", "", false), "only the letters a to z"},
      {"colon in full name", create_user("ada", "Ada:0:0", false), "cannot contain ':', ','"},
      {"comma in full name", create_user("ada", "Ada, Room 1", false), "cannot contain ':', ','"},
      {"newline in full name", create_user("ada", "Ada\nroot", false), "control characters"},
      {"C1 control in full name", create_user("ada", "Ada\xc2\x85", false), "control characters"},
      {"not UTF-8", create_user("ada", "Ada\xff", false), "valid UTF-8"},
      {"empty password", set_password("ada", ""), "The password cannot be empty."},
      {"password line", set_password("ada", "pw\nroot:owned"), "cannot contain line breaks"},
      {"password NUL", set_password("ada", std::string_view("pw\0x", 4)), "NUL"},
      {"chpasswd line in name", set_password("ada:x\nroot", "pw"), "is not an account name"},
      {"option as name", delete_user("--help", 1000, true), "is not an account name"},
      {"empty account", set_role("", true), "is not an account name"},
      {"path as name", set_automatic_login("../ada", true), "is not an account name"},
  };
  for (const auto& c : cases) {
    ASSERT_FALSE(c.status) << c.what;
    EXPECT_THAT(c.status.error(), HasSubstr(c.error)) << c.what;
    EXPECT_THAT(c.status.error(), Not(HasSubstr("test program table"))) << c.what;
  }
  EXPECT_TRUE(check_new_username("a_b-1"));
  EXPECT_TRUE(check_new_username("_svc"));
  EXPECT_TRUE(check_full_name("Zoë Ngũgĩ-Wa Thiong'o"));
  EXPECT_TRUE(check_full_name(""));
  EXPECT_TRUE(check_account_name("John.Doe"));
}

// On a real device: pkexec in front of the program the table resolves, the
// password on standard input alone.
TEST(Users, ARealDeviceRunsEachProgramBehindPkexec) {
  ScopedSystemDevice system;
  limited_exec::FakePrograms fakes;
  const auto log = fakes.dir() / "log";
  const auto input = fakes.dir() / "input";
  fakes.add("pkexec", "echo \"pkexec $1\" >> " + log.string() + "\nexec \"$@\"");
  for (const char* program : {"/usr/sbin/useradd", "/usr/sbin/userdel", "/usr/bin/gpasswd",
                              "/usr/libexec/kalu-autologin"}) {
    std::string name = std::string(program).substr(std::string(program).rfind('/') + 1);
    fakes.add(program, "echo \"" + name + " $*\" >> " + log.string() +
                           "\n[ \"$1\" = status ] && echo enabled\nexit 0");
  }
  std::string chpasswd = fakes.add("/usr/sbin/chpasswd", "echo \"chpasswd $*\" >> " + log.string() +
                                                             "\ncat > " + input.string());
  std::ofstream(fakes.dir() / "passwd") << "grace:x:1002:1002::/home/grace:/bin/bash\n";
  std::ofstream(fakes.dir() / "group") << "sudo:x:27:\n";
  testing::ScopedAccountFiles account_files_here({fakes.dir() / "passwd", fakes.dir() / "group"});

  ASSERT_TRUE(create_user("lin", "Lin Yu", false));
  ASSERT_TRUE(set_password("lin", "correct horse"));
  ASSERT_TRUE(set_role("grace", true));  // no wheel here: sudo
  ASSERT_TRUE(delete_user("grace", 1002, false));
  ASSERT_TRUE(set_automatic_login("grace", false));
  EXPECT_EQ(automatic_login("grace"), true);  // asked without pkexec

  std::string logged = file_text(log);
  EXPECT_EQ(logged, "pkexec " + fakes.dir().string() +
                        "/_usr_sbin_useradd\n"
                        "useradd --create-home --comment Lin Yu -- lin\n"
                        "pkexec " +
                        chpasswd +
                        "\n"
                        "chpasswd \n"
                        "pkexec " +
                        fakes.dir().string() +
                        "/_usr_bin_gpasswd\n"
                        "gpasswd --add grace sudo\n"
                        "pkexec " +
                        fakes.dir().string() +
                        "/_usr_sbin_userdel\n"
                        "userdel -- grace\n"
                        "pkexec " +
                        fakes.dir().string() +
                        "/_usr_libexec_kalu-autologin\n"
                        "kalu-autologin disable grace\n"
                        "kalu-autologin status grace\n");
  EXPECT_EQ(file_text(input), "lin:correct horse\n");
  EXPECT_EQ(account_files()->passwd, fakes.dir() / "passwd");

  fakes.add("pkexec",
            "echo 'Error executing command as another user: Request dismissed' >&2\n"
            "exit 126");
  EXPECT_EQ(set_role("grace", true).error(), "Authentication was cancelled; nothing was changed.");
  fakes.add("pkexec", "exec \"$@\"");
  fakes.add("/usr/sbin/userdel",
            "echo 'userdel: user grace is currently used by process 4242' >&2\n"
            "exit 8");
  EXPECT_EQ(delete_user("grace", 1002, true).error(),
            "userdel: user grace is currently used by process 4242");
}

}  // namespace
}  // namespace system_ops::users
