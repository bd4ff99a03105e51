#pragma once

// One account or identity change as the Users pane hands it to its worker
// ("kalu-users-change"), and what the worker sends back: the change's answer
// and both lists read afresh, so the pane never reads files or starts
// programs on the UI thread. A Change owns everything it needs (the typed
// password moves in with CreateUser and is wiped when the change is
// dropped); it can be moved, never copied.

#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "kalu_ui/result.h"
#include "panes/users/backend.h"
#include "panes/users/identity_backend.h"
#include "vocabulary/login_accounts.h"

namespace settings::panes::users {

struct CreateUser {
  std::string username;
  std::string full_name;
  Password password;
};
struct DeleteUser {
  LocalUser user;
  bool remove_files = false;
};
struct SetRole {
  std::string username;
  bool administrator = false;
};
struct SetAutomaticLogin {
  std::string username;
  bool enabled = false;
};
struct ActivateIdentity {
  std::string id;
};
struct RemoveIdentity {
  std::string id;
};
struct SecureIdentity {
  std::string id;
};

using Change = std::variant<CreateUser, DeleteUser, SetRole, SetAutomaticLogin, ActivateIdentity,
                            RemoveIdentity, SecureIdentity>;

// An identity change without an identity backend.
inline constexpr std::string_view kIdentityStoreUnavailable = "identity store is unavailable";

struct ChangeOutcome {
  kalu_ui::Status result;
  std::vector<LocalUser> users;
  // Read again when there is an identity backend; nothing means the pane
  // keeps the list it has.
  std::optional<std::vector<LocalIdentity>> identities;
};

// Carries out `change` with the backends and reads the lists again, success
// or not. `identities` may be null. Blocks for as long as the programs run:
// only the worker calls it.
ChangeOutcome run_change(Change change, UsersBackend& users, IdentityBackend* identities);

}  // namespace settings::panes::users
