#pragma once

// The device's login accounts as the Users pane lists them and the action
// surface's Users section offers them: the people's accounts of the account
// file (user ids 1000 to 59999 with a login shell), each marked
// administrator when a "wheel" or "sudo" group lists it as a member, signed
// in when it is the account of $USER, and with its automatic-login switch.
// The files are system_ops's (users::account_files: the machine's own on a
// real device, the simulated device's otherwise).
//
// Reading never fails: an unreadable account file gives no accounts, an
// unreadable group file no administrators, and a malformed line is skipped
// on its own. The load reads two small files and asks the automatic-login
// switch once per account (a program on a real device): fine on a worker,
// and quick on the simulated device.

#include <cstdint>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "system_ops/users.h"

namespace settings::panes::users {

// One login account, in the order of the account file.
struct LocalUser {
  std::string username;
  std::string display_name;  // the full name, or the username when it is empty
  std::uint64_t uid = 0;
  bool administrator = false;
  bool signed_in = false;
  bool automatic_login = false;

  bool operator==(const LocalUser&) const = default;
};

using Administrators = std::set<std::string, std::less<>>;

// The members of every group line named "wheel" or "sudo" that has at least
// four fields, each piece of the member list as it stands.
Administrators read_administrators(std::string_view group_text);

// The login account of one account-file line, or nothing when the line is
// not one: fewer than seven fields, an empty name, a user id that is not a
// decimal number ("+" allowed in front) or lies outside 1000 to 59999, or a
// shell ending in "nologin" or "false". automatic_login is left false.
std::optional<LocalUser> parse_login_account(std::string_view line,
                                             const Administrators& administrators,
                                             const std::optional<std::string>& current_user);

// $USER when it is set and valid UTF-8.
std::optional<std::string> current_user_name();

// The whole road over the device's files and $USER.
std::vector<LocalUser> load_local_users();

// The same road over these files, this current user and this automatic-login
// question (an error leaves the flag false).
using AutomaticLogin = std::function<kalu_ui::Result<bool>(const std::string& username)>;
std::vector<LocalUser> load_local_users(const system_ops::users::AccountFiles& files,
                                        const std::optional<std::string>& current_user,
                                        const AutomaticLogin& automatic_login);

}  // namespace settings::panes::users
