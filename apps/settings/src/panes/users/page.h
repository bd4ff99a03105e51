#pragma once

// The Users page: the error card when the last change failed, the form that
// adds a login account while it is open, the login accounts with their
// buttons, the signing identities and two explanatory cards.
//
// It is built from the pane's state each time that changes and holds no
// state of its own: the form's name fields edit text objects of the state
// document, the password field edits the pane's secret buffer in place (so
// the typed password never enters the page, the document or the
// accessibility tree), and every button writes true under its control id
// (model.h) for the pane's next `sync`. The account buttons that change an
// account are also bound to the Users section's action carrying the same
// operation; "Remove…" only asks and stays plain.

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "kalu_actions/binding.h"
#include "kalu_ui/secret.h"
#include "panes/users/identity_backend.h"
#include "vocabulary/login_accounts.h"
#include "widget_contract/widget.h"

namespace settings::panes::users {

// The binding of one account button: the user and the Users section's
// action name ("set-admin", "set-autologin", "remove-keep-files",
// "remove-files"); none leaves the button plain. The page calls it for every
// such button, so it is never empty (the pane's default is section_bindings).
using UserBindings = std::function<std::optional<kalu_actions::ActionBinding>(
    const LocalUser& user, std::string_view action_name)>;

// The Users section's bindings (actions::user_command_binding); a button it
// cannot bind is logged and stays plain.
UserBindings section_bindings();

// What the page shows, as the pane holds it.
struct PageModel {
  const std::vector<LocalUser>* users = nullptr;
  const std::vector<LocalIdentity>* identities = nullptr;
  const std::optional<std::string>* pending_user_removal = nullptr;
  const std::optional<std::string>* pending_identity_removal = nullptr;
  const std::optional<std::string>* last_error = nullptr;
  bool form_open = false;
  // The first reading has not answered yet.
  bool loading = false;
  // A change runs: the buttons that would start another are disabled.
  bool busy = false;
  std::shared_ptr<kalu_ui::secret::SecretBuffer> password;
};

kalu_ui::WidgetBox build_page(const PageModel& model, const UserBindings& bindings);

// One Column per account, in list order.
std::vector<kalu_ui::WidgetBox> user_rows(const std::vector<LocalUser>& users,
                                          const std::optional<std::string>& pending_removal,
                                          bool busy, const UserBindings& bindings);
// One Column per identity, in list order.
std::vector<kalu_ui::WidgetBox> identity_rows(const std::vector<LocalIdentity>& identities,
                                              const std::optional<std::string>& pending_removal,
                                              bool busy);

}  // namespace settings::panes::users
