#include "panes/users/changes.h"

#include <utility>

namespace settings::panes::users {

namespace {

template <class... Fns>
struct Overloaded : Fns... {
  using Fns::operator()...;
};

kalu_ui::Status apply(Change& change, UsersBackend& users, IdentityBackend* identities) {
  auto identity = [&](auto&& call) -> kalu_ui::Status {
    if (identities == nullptr) return kalu_ui::fail(std::string(kIdentityStoreUnavailable));
    return call(*identities);
  };
  return std::visit(
      Overloaded{
          [&](CreateUser& c) { return users.create_user(c.username, c.full_name, c.password); },
          [&](DeleteUser& c) { return users.delete_user(c.user, c.remove_files); },
          [&](SetRole& c) { return users.set_role(c.username, c.administrator); },
          [&](SetAutomaticLogin& c) { return users.set_automatic_login(c.username, c.enabled); },
          [&](ActivateIdentity& c) {
            return identity([&](IdentityBackend& b) { return b.set_active_identity(c.id); });
          },
          [&](RemoveIdentity& c) {
            return identity([&](IdentityBackend& b) { return b.remove_identity(c.id); });
          },
          [&](SecureIdentity& c) {
            return identity([&](IdentityBackend& b) { return b.secure_identity(c.id); });
          },
      },
      change);
}

}  // namespace

ChangeOutcome run_change(Change change, UsersBackend& users, IdentityBackend* identities) {
  ChangeOutcome outcome;
  outcome.result = apply(change, users, identities);
  // The password goes before the slow reload, not when the change is dropped.
  if (auto* create = std::get_if<CreateUser>(&change)) create->password.wipe();
  outcome.users = users.load_users();
  if (identities != nullptr) outcome.identities = identities->load_identities();
  return outcome;
}

}  // namespace settings::panes::users
