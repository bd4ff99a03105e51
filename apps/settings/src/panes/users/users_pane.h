#pragma once

// The Users pane (Pane::kUsers, "users"): the device's login accounts and the
// signed-in person's signing identities, the form that adds an account, and
// the user operations ("settings.user-operation", request tag 8) the
// executor hands over.
//
// What the pane promises:
// - The UI thread never waits for the device: reading the accounts and the
//   identities and every change (account programs, behind pkexec on a real
//   device) run on the worker "kalu-users-change" (workers.h), one at a
//   time, starting with the first reading when the pane is made. While one
//   runs the change buttons are disabled, their presses are dropped, and a
//   user operation stays in the request cell (still pending) until the pane
//   is free.
// - Every operation taken completes exactly once, under its own key: at
//   once when it is a no-op ("User account updated.") or names an account
//   that is not listed or is the signed-in one ("User account is no longer
//   available."), else when its change answers. A request whose operation
//   is not pending completes nothing and shows the stale notice. A page
//   press completes nothing; its failure shows in the error card.
// - The typed password lives only in the page field's secret buffer; Create
//   moves it into the change (a wiping holder) and empties the buffer. It
//   never reaches the state document, accessibility, a log or a command
//   line (chpasswd reads it on standard input).
// - The page's buttons are one-shot flags in the state document (model.h
//   control ids); the account buttons are also bound to the Users section's
//   actions, so a client finds them there.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "kalu_ui/document.h"
#include "kalu_ui/secret.h"
#include "lib/page_pane.h"
#include "operations/link.h"
#include "panes/users/backend.h"
#include "panes/users/identity_backend.h"
#include "panes/users/model.h"
#include "panes/users/page.h"
#include "panes/users/workers.h"
#include "vocabulary/login_accounts.h"
#include "vocabulary/registry.h"

namespace settings::panes::users {

using operations::UserOperation;

class UsersPane : public lib::PagePane,
                  public operations::WithOperationLink<UsersPane, UserOperation> {
 public:
  static constexpr std::string_view kTypeName = pane_row(Pane::kUsers).type_name;

  // On the device's accounts and the identity directory of the environment.
  UsersPane();
  // On these backends (`identities` may be null: no identity directory),
  // with these page bindings (none: the Users section's). Starts the first
  // reading.
  UsersPane(std::shared_ptr<UsersBackend> users, std::shared_ptr<IdentityBackend> identities,
            UserBindings bindings = {});
  ~UsersPane() override;
  UsersPane(UsersPane&&) noexcept;
  UsersPane& operator=(UsersPane&&) noexcept;

  // The model, as the page shows it.
  const std::vector<LocalUser>& users() const { return users_; }
  const std::vector<LocalIdentity>& identities() const { return identities_; }
  const std::optional<std::string>& pending_user_removal() const { return pending_user_removal_; }
  const std::optional<std::string>& pending_identity_removal() const {
    return pending_identity_removal_;
  }
  const std::optional<std::string>& last_error() const { return last_error_; }
  bool form_open() const { return form_open_; }
  // The first reading has answered.
  bool loaded() const { return loaded_; }
  // A change (or the first reading) runs on the worker.
  bool busy() const { return change_.has_value(); }
  const std::shared_ptr<kalu_ui::secret::SecretBuffer>& password_buffer() const {
    return password_;
  }

  std::string_view type_name() const override { return kTypeName; }
  void sync(kalu_ui::doc::Document& document) override;
  kalu_ui::layout::NodeId build_layout(kalu_ui::layout::LayoutTree& tree,
                                       const kalu_ui::RenderContext& context,
                                       kalu_ui::layout::NodeRegistry& registry) override;
  // Escape that nothing on the page took cancels the open form.
  void handle_event(const kalu_ui::Event& event, kalu_ui::EventContext& context) override;

 private:
  // sync's steps, in order.
  void poll_change();
  void take_request();
  void run_form_triggers(kalu_ui::doc::Document& document);
  void run_account_triggers(kalu_ui::doc::Document& document);
  void run_identity_triggers(kalu_ui::doc::Document& document);

  // Empties both text fields of the form and the password buffer.
  void clear_form(kalu_ui::doc::Document& document);
  // Starts `change` on the worker; `key` names the operation it completes.
  void start(std::optional<Change> change, std::optional<std::string> key);
  // Every change ends here: the operation under `key` (when one asked) is
  // completed, the error card follows the result, the lists are the
  // worker's, the page is rebuilt.
  void end_change(ChangeOutcome outcome, const std::optional<std::string>& key);
  // An operation that needed no worker (a no-op or a refusal) ends here.
  void end_without_change(const kalu_ui::Status& result, const std::string& key,
                          std::string said = {});

  std::shared_ptr<UsersBackend> backend_;
  std::shared_ptr<IdentityBackend> identity_backend_;
  UserBindings bindings_;
  std::vector<LocalUser> users_;
  std::vector<LocalIdentity> identities_;
  std::optional<std::string> pending_user_removal_;
  std::optional<std::string> pending_identity_removal_;
  std::optional<std::string> last_error_;
  std::shared_ptr<kalu_ui::secret::SecretBuffer> password_;
  std::optional<ChangeReceiver> change_;
  // The operation the running change completes, if an operation asked.
  std::optional<std::string> change_key_;
  // What the operation of change_key_ did once it succeeds ("Removed user
  // ada."); empty for the window's own changes.
  std::string change_said_;
  // The running change is the form's Create: it closes the form on success.
  bool change_is_create_ = false;
  bool loaded_ = false;
  bool form_open_ = false;
};

}  // namespace settings::panes::users
