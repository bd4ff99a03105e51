#pragma once

// The Users pane's fixed words: the operation it carries out, its answers,
// the control ids its page writes and its `sync` reads, and the texts of the
// account and identity rows. Pure functions; no state, no I/O.

#include <cstdint>
#include <string>
#include <string_view>

#include "panes/users/identity_backend.h"
#include "vocabulary/login_accounts.h"

namespace settings::panes::users {

inline constexpr std::string_view kAccountUpdated = "User account updated.";
inline constexpr std::string_view kStaleCommand = "Ignored a stale user-management command.";
inline constexpr std::string_view kAccountGone = "User account is no longer available.";

// The control ids: a button writes true under its id (a one-shot flag the
// pane's next sync takes); the form's two text fields edit the text objects
// under theirs.
namespace control {
inline constexpr std::string_view kAdd = "settings.users.add";
inline constexpr std::string_view kFormSave = "settings.users.form.save";
inline constexpr std::string_view kFormCancel = "settings.users.form.cancel";
// The element ids of the form's two buttons (their flags are the two above).
inline constexpr std::string_view kSaveButton = "settings.users.save";
inline constexpr std::string_view kCancelButton = "settings.users.cancel";
inline constexpr std::string_view kFullName = "users.form.full_name";
inline constexpr std::string_view kUsername = "users.form.username";
// The password field's element id; its text never enters the document.
inline constexpr std::string_view kPassword = "users.form.password";

std::string role(std::string_view username);
std::string autologin(std::string_view username);
std::string remove(std::string_view username);
std::string confirm_remove(std::string_view username);
std::string confirm_remove_keep(std::string_view username);
// Dismisses the removal question, removing nothing.
std::string cancel_remove(std::string_view username);

std::string identity_activate(std::string_view id);
std::string identity_remove(std::string_view id);
std::string identity_confirm_remove(std::string_view id);
// Dismisses the identity's removal question, removing nothing.
std::string identity_cancel_remove(std::string_view id);
std::string identity_protect(std::string_view id);
}  // namespace control

// "{username} · UID {uid}", with " · signed in" for the signed-in account.
std::string user_subtitle(const LocalUser& user);

std::string_view protection_text(host_identity::Protection protection);
// The label, or the id when the label is empty.
std::string_view identity_title(const LocalIdentity& identity);
// "{id} · key {first four key bytes in hex}… · {threshold}-of-{signers} · {protection}".
std::string identity_subtitle(const LocalIdentity& identity);

}  // namespace settings::panes::users
