#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "kalu_ui/result.h"

// The device's login accounts. They are read from an account file and a
// group file in the formats of /etc/passwd and /etc/group: the machine's own
// two on a real device (KALU_DEVICE=system), the simulated device's two
// otherwise (sim_device::account_files). Reading never changes anything.
//
// Every change runs an account program through the runner's program table,
// each named by its absolute path: useradd, chpasswd (the password goes on
// its standard input, never into an argument), userdel, gpasswd and the
// device's automatic-login switch kalu-autologin. On a real device they run
// behind pkexec, which asks for an administrator's authentication; on the
// simulated device the table points them at simdev, which changes the
// simulated accounts and rewrites its two files. A fault injected there as
// "users.<function>" (users.create_user ...) answers its text.
//
// Each change checks its arguments before any program runs, so no argument
// can turn into an option or into another line of an account file: the
// checks below are public so that a caller can refuse a whole change (an
// account with its password) before its first step. Changes block while the
// programs run and while pkexec waits for a person: call them from a worker
// thread. Every error is a text to show as it is; none carries a password.
namespace system_ops::users {

struct AccountFiles {
  std::filesystem::path passwd;
  std::filesystem::path group;
};

// Where the accounts are read: "/etc/passwd" and "/etc/group" on a real
// device; the simulated device's files otherwise (written first when they
// are missing; its error when there is no simulated device).
kalu_ui::Result<AccountFiles> account_files();

// A whole account or group file as bytes; fails when it cannot be read or
// is larger than 16 MiB (no account database is).
kalu_ui::Result<std::string> read_account_file(const std::filesystem::path& path);

// The fields of an account or group line split at every `separator` (':'
// between fields, ',' in a member list), empty ones kept.
std::vector<std::string_view> split_fields(std::string_view line, char separator);

// A name for a new account: 1 to 32 characters from a-z, 0-9, '_' and '-',
// not starting with '-' or a digit.
kalu_ui::Status check_new_username(std::string_view username);
// An account's full name: valid UTF-8 without ':', ',' or control characters
// (it becomes the fifth field of the account line). May be empty.
kalu_ui::Status check_full_name(std::string_view full_name);
// A password: not empty, no line break (chpasswd reads one account per
// line) and no NUL.
kalu_ui::Status check_password(std::string_view password);
// The name of an account that exists already, as another tool may have made
// it: it must still be safe as an argument and in a chpasswd line (not
// empty, at most 256 bytes, not starting with '-', no ':', ',', '/', white
// space or control characters).
kalu_ui::Status check_account_name(std::string_view username);

// Whether the account logs in by itself. Read from the simulated device, or
// asked of "kalu-autologin status USER" on a real device.
kalu_ui::Result<bool> automatic_login(const std::string& username);

// The user id the account file lists for `username`; nothing when it lists
// no such account. Fails when the file cannot be read.
kalu_ui::Result<std::optional<std::uint64_t>> find_uid(const std::string& username);

// Creates the account (with a home folder and its own group), in the
// administrators group when `administrator`. It has no password yet.
kalu_ui::Status create_user(const std::string& username, const std::string& full_name,
                            bool administrator);
// Sets the account's password through chpasswd's standard input.
kalu_ui::Status set_password(const std::string& username, std::string_view password);
// Removes the account, and its home folder when `remove_files`. Refused
// without running anything when the account file no longer lists the
// account, or lists it with another user id than `uid` (the name was
// reused since the caller read the list).
kalu_ui::Status delete_user(const std::string& username, std::uint64_t uid, bool remove_files);
// Makes the account an administrator (a member of "wheel", else "sudo") or
// a standard account (a member of neither). Already so: success, nothing run.
kalu_ui::Status set_role(const std::string& username, bool administrator);
// Turns automatic login on for the account (only one account has it) or off.
kalu_ui::Status set_automatic_login(const std::string& username, bool enabled);

namespace testing {

// Points account_files() at these two files for the guard's lifetime, on any
// device. Process-wide; not for concurrent construction.
class ScopedAccountFiles {
 public:
  explicit ScopedAccountFiles(AccountFiles files);
  ~ScopedAccountFiles();
  ScopedAccountFiles(const ScopedAccountFiles&) = delete;
  ScopedAccountFiles& operator=(const ScopedAccountFiles&) = delete;

 private:
  std::optional<AccountFiles> previous_;
};

}  // namespace testing
}  // namespace system_ops::users
