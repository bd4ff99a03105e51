#include "panes/users/backend.h"

#include <fmt/format.h>

#include "kalu_ui/log.h"
#include "system_ops/users.h"

namespace settings::panes::users {

namespace {

namespace ops = system_ops::users;
using kalu_ui::fail;
using kalu_ui::Status;

// Takes back an account that was just created, if it is there at all.
Status remove_new_account(const std::string& username) {
  auto uid = ops::find_uid(username);
  if (!uid) return fail(uid.error());
  if (!*uid) return {};
  return ops::delete_user(username, **uid, true);
}

}  // namespace

Status SystemUsersBackend::create_user(const std::string& username, const std::string& full_name,
                                       const Password& password) {
  // All three first: an account must never be created for a password that
  // would then be refused.
  for (const Status& check : {ops::check_new_username(username), ops::check_full_name(full_name),
                              ops::check_password(password.view())}) {
    if (!check) return check;
  }
  if (auto created = ops::create_user(username, full_name, false); !created) return created;
  Status password_set = ops::set_password(username, password.view());
  if (password_set) return {};
  Status removed = remove_new_account(username);
  if (removed) return password_set;
  kalu_ui::log::warn("kalu::settings", "settings::panes::users",
                     "a new account whose password could not be set could not be removed",
                     {{"op", "create_user"}, {"error", removed.error()}});
  return fail("the account {} was created without a password: {}", username, password_set.error());
}

Status SystemUsersBackend::delete_user(const LocalUser& user, bool remove_files) {
  return ops::delete_user(user.username, user.uid, remove_files);
}

Status SystemUsersBackend::set_role(const std::string& username, bool administrator) {
  return ops::set_role(username, administrator);
}

Status SystemUsersBackend::set_automatic_login(const std::string& username, bool enabled) {
  return ops::set_automatic_login(username, enabled);
}

std::vector<LocalUser> SystemUsersBackend::load_users() { return load_local_users(); }

std::shared_ptr<UsersBackend> system_users_backend() {
  return std::make_shared<SystemUsersBackend>();
}

}  // namespace settings::panes::users
