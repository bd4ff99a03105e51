// The Users pane's backends: the system backend against fake account
// programs (which keep a small account file of their own), the identity
// backend over a real identity store, and one change run as the worker
// runs it.
#include "panes/users/backend.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "identity/testing.h"
#include "kalu_ui/log.h"
#include "limited_exec/fake_programs.h"
#include "panes/users/changes.h"
#include "panes/users/identity_backend.h"

namespace settings::panes::users {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using ::testing::Not;

std::string file_text(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// Fake account programs over an account file of their own: useradd appends
// the new account, userdel takes it out, chpasswd keeps what it read. Every
// program writes its arguments to the log.
struct FakeAccounts {
  FakeAccounts() : files_here({dir() / "passwd", dir() / "group"}) {
    std::ofstream(dir() / "passwd") << "grace:x:1002:1002::/home/grace:/bin/bash\n";
    std::ofstream(dir() / "group") << "wheel:x:10:\n";
    useradd("");
    userdel("");
    chpasswd("");
    for (const char* program : {"/usr/bin/gpasswd", "/usr/libexec/kalu-autologin"}) {
      fakes.add(program, log_line(program));
    }
  }

  const fs::path& dir() const { return fakes.dir(); }
  std::string log() const { return file_text(dir() / "log"); }
  std::string passwd() const { return file_text(dir() / "passwd"); }
  std::string input() const { return file_text(dir() / "input"); }

  std::string log_line(std::string_view program) const {
    std::string name(program.substr(program.rfind('/') + 1));
    return "echo \"" + name + " $*\" >> " + (dir() / "log").string() + "\nfor last; do :; done\n";
  }
  // `then` runs after the program's own work, e.g. to fail.
  void useradd(const std::string& then) {
    fakes.add("/usr/sbin/useradd", log_line("useradd") + "echo \"$last:x:1005:1005::/home/" +
                                       "$last:/bin/bash\" >> " + (dir() / "passwd").string() +
                                       "\n" + then);
  }
  void userdel(const std::string& then) {
    std::string passwd = (dir() / "passwd").string();
    fakes.add("/usr/sbin/userdel", log_line("userdel") + then + "\ngrep -v \"^$last:\" " + passwd +
                                       " > " + passwd + ".new; mv " + passwd + ".new " + passwd);
  }
  void chpasswd(const std::string& then) {
    fakes.add("/usr/sbin/chpasswd",
              log_line("chpasswd") + "cat > " + (dir() / "input").string() + "\n" + then);
  }

  limited_exec::FakePrograms fakes;
  system_ops::users::testing::ScopedAccountFiles files_here;
};

TEST(SystemUsersBackend, UnsafeNamesAndEmptyPasswordsAreRefusedBeforeAnyProgramRuns) {
  FakeAccounts accounts;
  SystemUsersBackend backend;
  struct Case {
    std::string username;
    std::string full_name;
    std::string password;
    const char* error;
  } cases[] = {
      {"", "Lin Yu", "pw", "A user name needs 1 to 32 characters."},
      {std::string(33, 'l'), "Lin Yu", "pw", "A user name needs 1 to 32 characters."},
      {"-o", "Lin Yu", "pw", "A user name cannot start with '-' or a digit."},
      {"7lin", "Lin Yu", "pw", "A user name cannot start with '-' or a digit."},
      {"lin:0", "Lin Yu", "pw",
       "A user name may contain only the letters a to z, digits, '_' and '-'."},
      {"Lin", "Lin Yu", "pw",
       "A user name may contain only the letters a to z, digits, '_' and '-'."},
      {"lin", "Lin:Yu", "pw", "A full name cannot contain ':', ',' or control characters."},
      {"lin", "Lin Yu, Room 4", "pw", "A full name cannot contain ':', ',' or control characters."},
      {"lin", "Lin\nroot::0:0", "pw", "A full name cannot contain ':', ',' or control characters."},
      {"lin", "Lin Yu", "", "The password cannot be empty."},
      {"lin", "Lin Yu", "pw\nroot:pw",
       "The password cannot contain line breaks or NUL characters."},
  };
  for (const auto& c : cases) {
    auto created = backend.create_user(c.username, c.full_name, Password::copy_of(c.password));
    ASSERT_FALSE(created) << c.username;
    EXPECT_EQ(created.error(), c.error) << c.username;
  }
  EXPECT_FALSE(fs::exists(accounts.dir() / "log"));
}

TEST(SystemUsersBackend, ThePasswordReachesChpasswdOnStandardInputOnly) {
  FakeAccounts accounts;
  SystemUsersBackend backend;
  ASSERT_TRUE(backend.create_user("lin", "Lin Yu", Password::copy_of("correct horse battery")));
  EXPECT_EQ(accounts.input(), "lin:correct horse battery\n");
  EXPECT_EQ(accounts.log(), "useradd --create-home --comment Lin Yu -- lin\nchpasswd \n");
  EXPECT_THAT(accounts.passwd(), HasSubstr("lin:x:1005:"));
}

TEST(SystemUsersBackend, AFailedCreationSetsNoPassword) {
  FakeAccounts accounts;
  accounts.fakes.add("/usr/sbin/useradd",
                     "echo \"useradd: user 'grace' already exists\" >&2\nexit 9");
  SystemUsersBackend backend;
  EXPECT_EQ(backend.create_user("grace", "", Password::copy_of("pw")).error(),
            "useradd: user 'grace' already exists");
  EXPECT_FALSE(fs::exists(accounts.dir() / "log"));
}

TEST(SystemUsersBackend, AFailedPasswordStepLeavesNoAccount) {
  FakeAccounts accounts;
  accounts.chpasswd("echo 'chpasswd: (user lin) pam_chauthtok() failed' >&2\nexit 1");
  SystemUsersBackend backend;
  kalu_ui::log::ScopedCapture capture;
  EXPECT_EQ(backend.create_user("lin", "", Password::copy_of("pw")).error(),
            "chpasswd: (user lin) pam_chauthtok() failed");
  EXPECT_THAT(accounts.passwd(), Not(HasSubstr("lin:")));
  EXPECT_THAT(accounts.log(), HasSubstr("userdel --remove -- lin\n"));
  EXPECT_TRUE(capture.events().empty());

  // When the account cannot be taken back either, the answer says it is there.
  accounts.userdel("echo 'userdel: cannot lock /etc/passwd; try again later.' >&2\nexit 10");
  EXPECT_EQ(backend.create_user("lin", "", Password::copy_of("pw")).error(),
            "the account lin was created without a password: chpasswd: (user lin) "
            "pam_chauthtok() failed");
  EXPECT_THAT(accounts.passwd(), HasSubstr("lin:"));
  auto events = capture.events();
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(*events[0].field("error"), "userdel: cannot lock /etc/passwd; try again later.");
  EXPECT_EQ(*events[0].field("op"), "create_user");
}

TEST(SystemUsersBackend, TheOtherChangesForwardWithTheListedUid) {
  FakeAccounts accounts;
  SystemUsersBackend backend;
  ASSERT_TRUE(backend.set_role("grace", true));
  ASSERT_TRUE(backend.set_automatic_login("grace", true));
  LocalUser grace{"grace", "grace", 1002, false, false, false};
  ASSERT_TRUE(backend.delete_user(grace, false));
  EXPECT_EQ(accounts.log(),
            "gpasswd --add grace wheel\nkalu-autologin enable grace\nuserdel -- grace\n");
  EXPECT_EQ(backend.delete_user(grace, true).error(), "The account grace no longer exists.");
}

// ---- identities ----

TEST(HostIdentityBackend, ChangesTheStoreAndAnswersItsErrorsAsText) {
  auto dir = fs::path(::testing::TempDir()) / "kalu-users-identities";
  fs::remove_all(dir);
  ASSERT_TRUE(host_identity::create_identity(dir, "work", "Work", true));
  ASSERT_TRUE(host_identity::create_identity(dir, "home", "", false));
  identity_testing::ScopedEnv env("KALU_IDENTITY_DIR", dir.string());
  auto backend = identity_backend_from_env();
  ASSERT_TRUE(backend);

  EXPECT_FALSE(backend->remove_identity("work"));  // the active one
  ASSERT_TRUE(backend->set_active_identity("home"));
  ASSERT_TRUE(backend->secure_identity("work"));
  ASSERT_TRUE(backend->remove_identity("work"));
  auto listed = backend->load_identities();
  ASSERT_EQ(listed.size(), 1u);
  EXPECT_EQ(listed[0].id, "home");
  EXPECT_TRUE(listed[0].active);
  EXPECT_FALSE(backend->set_active_identity("gone"));

  fs::remove_all(dir);
  EXPECT_TRUE(backend->load_identities().empty());
}

// ---- one change as the worker runs it ----

struct RecordingUsers : UsersBackend {
  kalu_ui::Status create_user(const std::string& username, const std::string& full_name,
                              const Password& password) override {
    calls.push_back("create " + username + " " + full_name + " " + std::string(password.view()));
    return answer;
  }
  kalu_ui::Status delete_user(const LocalUser& user, bool remove_files) override {
    calls.push_back("delete " + user.username + (remove_files ? " files" : ""));
    return answer;
  }
  kalu_ui::Status set_role(const std::string& username, bool administrator) override {
    calls.push_back("role " + username + (administrator ? " admin" : ""));
    return answer;
  }
  kalu_ui::Status set_automatic_login(const std::string& username, bool enabled) override {
    calls.push_back("autologin " + username + (enabled ? " on" : ""));
    return answer;
  }
  std::vector<LocalUser> load_users() override {
    calls.push_back("load users");
    return {{"ada", "Ada", 1001, true, false, false}};
  }
  kalu_ui::Status answer;
  std::vector<std::string> calls;
};

struct RecordingIdentities : IdentityBackend {
  kalu_ui::Status set_active_identity(const std::string& id) override { return note("use " + id); }
  kalu_ui::Status remove_identity(const std::string& id) override { return note("remove " + id); }
  kalu_ui::Status secure_identity(const std::string& id) override { return note("protect " + id); }
  std::vector<LocalIdentity> load_identities() override {
    calls.push_back("load identities");
    LocalIdentity work;
    work.id = "work";
    return {work};
  }
  kalu_ui::Status note(std::string call) {
    calls.push_back(std::move(call));
    return {};
  }
  std::vector<std::string> calls;
};

TEST(RunChange, CallsOneBackendAndReadsBothListsAgain) {
  RecordingUsers users;
  RecordingIdentities identities;
  users.answer = kalu_ui::fail("useradd: user 'lin' already exists");
  auto created =
      run_change(CreateUser{"lin", "Lin Yu", Password::copy_of("pw")}, users, &identities);
  EXPECT_EQ(created.result.error(), "useradd: user 'lin' already exists");
  ASSERT_EQ(created.users.size(), 1u);
  EXPECT_EQ(created.users[0].username, "ada");
  ASSERT_TRUE(created.identities);
  EXPECT_EQ((*created.identities)[0].id, "work");

  users.answer = {};
  LocalUser grace{"grace", "grace", 1002, false, false, false};
  EXPECT_TRUE(run_change(DeleteUser{grace, true}, users, &identities).result);
  run_change(SetRole{"grace", true}, users, &identities);
  run_change(SetAutomaticLogin{"grace", false}, users, &identities);
  run_change(ActivateIdentity{"home"}, users, &identities);
  run_change(RemoveIdentity{"home"}, users, &identities);
  run_change(SecureIdentity{"home"}, users, &identities);
  EXPECT_THAT(users.calls, ::testing::ElementsAre(
                               "create lin Lin Yu pw", "load users", "delete grace files",
                               "load users", "role grace admin", "load users", "autologin grace",
                               "load users", "load users", "load users", "load users"));
  EXPECT_THAT(identities.calls, ::testing::ElementsAre(
                                    "load identities", "load identities", "load identities",
                                    "load identities", "use home", "load identities", "remove home",
                                    "load identities", "protect home", "load identities"));

  // Without an identity store the identity buttons answer so, and the list stays.
  auto unavailable = run_change(ActivateIdentity{"home"}, users, nullptr);
  EXPECT_EQ(unavailable.result.error(), "identity store is unavailable");
  EXPECT_FALSE(unavailable.identities);
}

}  // namespace
}  // namespace settings::panes::users
