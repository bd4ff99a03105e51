#pragma once

// The Users and External Accounts sections of the automation surface.
//
// "settings.section:users": one item "settings.user:<name>" per login user
// (vocabulary/login_accounts.h), labelled with the full name, skipping the user
// who runs the program ($USER; the skipped entry counts toward kMaxItems),
// with "set-admin", "set-autologin" (each the opposite of the current
// state), "remove-keep-files" and "remove-files" (both destructive: they
// delete an account) ("settings.user-operation").
//
// "settings.section:external_accounts" of kind "settings.accounts": the four
// add actions (kind 2), then one item "settings.account:<id>" per account of
// the application's list, labelled with its display name (its id when that
// is empty), with "open", "edit", "reauthenticate" (kind 2), "test" (the
// connection check, the only one with a contract) and "remove" (destructive)
// ("settings.account-operation").
//
// The Users page binds each row's buttons with user_command_binding; the
// External Accounts page its buttons with external_account_command_binding.

#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "account_book/account_store.h"
#include "kalu_actions/action_spec.h"
#include "kalu_actions/binding.h"
#include "kalu_actions/resource.h"
#include "operations/records.h"
#include "vocabulary/login_accounts.h"

namespace settings::actions {

// The section from the device's login users and $USER.
kalu_actions::Resource users_resource();
kalu_actions::Resource users_resource(std::span<const panes::users::LocalUser> users,
                                      const std::optional<std::string>& current_user);

kalu_actions::Resource external_accounts_resource(std::span<const account_book::Account> accounts);

// "set-admin", "set-autologin", "remove-keep-files" or "remove-files" of the
// user's item, built from the user's current state; none for another name.
std::optional<kalu_actions::ActionBinding> user_command_binding(const panes::users::LocalUser& user,
                                                                std::string_view action_name);

// One parameterless account action (`account_operation_spec`, destructive
// when asked) on a fresh "settings.external-account" resource of this id and
// label, bound without a value; none when the record cannot be written.
std::optional<kalu_actions::ActionBinding> external_account_command_binding(
    std::string_view resource_id, std::string_view resource_label, std::string_view action_name,
    std::string_view action_label, kalu_actions::OperationKind kind,
    const operations::AccountOperation& operation, bool destructive);

}  // namespace settings::actions
