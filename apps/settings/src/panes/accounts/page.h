#pragma once

// The External Accounts page: an introduction, the account form while one
// is open, the card that replaces a saved password, the removal
// confirmation, and one section per account kind with a row per account
// showing its sync health and its buttons.
//
// It is built from the pane's state each time that changes and holds no
// state of its own: the text inputs edit the pane's cells (the two password
// fields edit the pane's secret buffers in place, so a typed password never
// enters the page, the state document or the accessibility tree), and every
// button writes true under its control id for the pane's next `sync`. The
// buttons of the kind sections and the account rows are also bound to the
// account action that carries the same operation, so a client finds it under
// the button and a click records it; the row's Remove only opens the
// confirmation, and the buttons of the open form and the replacement card
// act on what only the page holds, so those stay plain.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "account_book/sync_status.h"
#include "kalu_actions/binding.h"
#include "kalu_ui/secret.h"
#include "kalu_ui/wake_slot.h"
#include "operations/mailbox_cells.h"
#include "operations/records.h"
#include "panes/accounts/model.h"
#include "widget_contract/widget.h"

namespace settings::panes::accounts {

// Builds the binding of one page button: (resource id, resource label,
// action name, action label, operation kind, operation, destructive); none
// when the action surface does not offer it. The button is then plain.
using AccountBindings = std::function<std::optional<kalu_actions::ActionBinding>(
    std::string_view resource_id, std::string_view resource_label, std::string_view action_name,
    std::string_view action_label, std::uint8_t kind, const operations::AccountOperation& operation,
    bool destructive)>;

// The External Accounts section's bindings
// (actions::external_account_command_binding); a button it cannot bind is
// logged and stays plain.
AccountBindings section_bindings();

// The cells the page's inputs edit.
struct FormCells {
  std::shared_ptr<kalu_ui::WakeSlot<std::string>> display_name;
  std::shared_ptr<kalu_ui::WakeSlot<std::string>> email;
  std::shared_ptr<kalu_ui::WakeSlot<std::string>> username;
  std::shared_ptr<kalu_ui::WakeSlot<std::string>> server_url;
  std::shared_ptr<kalu_ui::secret::SecretBuffer> password;
  std::shared_ptr<kalu_ui::secret::SecretBuffer> reauth_password;
};

// An account awaiting the confirmation of its removal.
struct PendingRemoval {
  AccountKind kind = AccountKind::kMail;
  std::string id;

  bool operator==(const PendingRemoval&) const = default;
};

// What the page shows, as the pane holds it.
struct PageModel {
  const AccountRows* rows = nullptr;
  const account_book::AccountSyncStatusStore* statuses = nullptr;
  // The vault keeps its key in an owner-only file, not a desktop service.
  bool local_vault_key = true;
  // Stores that could not be read (or were kept aside), one sentence each.
  const std::vector<std::string>* store_notices = nullptr;
  std::optional<AccountKind> form_kind;
  std::optional<std::string> editing_id;
  std::optional<std::string> form_status;
  std::optional<std::string> reauth_target;
  std::optional<std::string> reauth_message;
  std::optional<PendingRemoval> removal;
  // What the last check of a saved account found, shown on its row.
  std::optional<operations::AccountCheckNote> check_note;
  // The current time in whole seconds since the Unix epoch (sync ages).
  std::uint64_t now_unix = 0;
  const FormCells* cells = nullptr;
};

kalu_ui::WidgetBox build_page(const PageModel& model, const AccountBindings& bindings);

// A page button: its label and control id (the key it writes true under
// when pressed), bound to the action `action_name` of the resource when
// `bindings` offers one; plain otherwise.
kalu_ui::WidgetBox action_button(std::string control_id, std::string label,
                                 std::string_view resource_id, std::string_view resource_label,
                                 std::string_view action_name, std::uint8_t kind,
                                 const operations::AccountOperation& operation, bool destructive,
                                 const AccountBindings& bindings);

// The control ids the pane reads.
namespace control {
inline constexpr std::string_view kFormSave = "settings.accounts.form.save";
inline constexpr std::string_view kFormCancel = "settings.accounts.form.cancel";
inline constexpr std::string_view kReauthSave = "settings.accounts.reauth.save";
inline constexpr std::string_view kReauthCancel = "settings.accounts.reauth.cancel";
inline constexpr std::string_view kRemoveConfirm = "settings.accounts.remove.confirm";
inline constexpr std::string_view kRemoveCancel = "settings.accounts.remove.cancel";
std::string add(AccountKind kind);
std::string edit(std::string_view id);
std::string reauth(std::string_view id);
std::string test(std::string_view id);
std::string remove(std::string_view id);
// Not a control: the id of the text showing what the account's last check found.
std::string check_note(std::string_view id);
}  // namespace control

}  // namespace settings::panes::accounts
