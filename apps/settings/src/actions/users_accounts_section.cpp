#include "actions/users_accounts_section.h"

#include <algorithm>
#include <array>
#include <utility>

#include "actions/pane_actions.h"
#include "actions/resource_tree.h"
#include "actions/specs.h"

namespace settings::actions {

using kalu_actions::Resource;
using operations::AccountOperation;
using operations::UserOperation;
using panes::users::LocalUser;

namespace {

constexpr std::array<std::string_view, 3> kUserTags = {"device-local", "users", "live-account"};
constexpr std::string_view kAccountKind = "settings.external-account";

void add(Resource& resource, std::optional<kalu_actions::ActionSpec> spec,
         bool destructive = false) {
  if (!spec) return;
  resource.actions.push_back(destructive ? std::move(*spec).destructive() : std::move(*spec));
}

Resource bare_user(const LocalUser& user) {
  return Resource::create("settings.user:" + user.username, "settings.user", user.display_name);
}

std::optional<kalu_actions::ActionSpec> user_action(const LocalUser& user,
                                                    std::string_view action_name) {
  const std::string& name = user.username;
  if (action_name == "set-admin") {
    return operation_spec(
        "set-admin", user.administrator ? "Make standard user" : "Make administrator",
        UserOperation{UserOperation::SetAdmin{name, !user.administrator}}, kUserTags);
  }
  if (action_name == "set-autologin") {
    return operation_spec(
        "set-autologin",
        user.automatic_login ? "Disable automatic login" : "Enable automatic login",
        UserOperation{UserOperation::SetAutologin{name, !user.automatic_login}}, kUserTags);
  }
  // Both removals delete the account, so clients that confirm destructive
  // actions ask first.
  std::optional<kalu_actions::ActionSpec> removal;
  if (action_name == "remove-keep-files") {
    removal = operation_spec("remove-keep-files", "Remove account, keep files",
                             UserOperation{UserOperation::Remove{name, false}}, kUserTags);
  } else if (action_name == "remove-files") {
    removal = operation_spec("remove-files", "Remove account and files",
                             UserOperation{UserOperation::Remove{name, true}}, kUserTags);
  }
  if (removal) return std::move(*removal).destructive();
  return std::nullopt;
}

constexpr std::array<std::string_view, 4> kUserActions = {"set-admin", "set-autologin",
                                                          "remove-keep-files", "remove-files"};

Resource user_item(const LocalUser& user) {
  Resource item = bare_user(user);
  for (const std::string_view name : kUserActions) add(item, user_action(user, name));
  return item;
}

struct AddRow {
  std::string_view name;
  std::string_view label;
  std::string_view kind;
};

constexpr std::array<AddRow, 4> kAddRows = {{
    {"add-mail", "Add email account", "mail"},
    {"add-caldav", "Add calendar account", "caldav"},
    {"add-webdav", "Add WebDAV account", "webdav"},
    {"add-nextcloud", "Add Nextcloud account", "nextcloud"},
}};

Resource account_item(const account_book::Account& account) {
  const std::string& id = account.id;
  Resource item = Resource::create("settings.account:" + id, std::string(kAccountKind),
                                   account.display_name.empty() ? id : account.display_name);
  add(item, account_operation_spec("open", "Open account", AccountOperation::Open{id},
                                   kalu_actions::kOperationInterface));
  add(item, account_operation_spec("edit", "Edit account details", AccountOperation::Edit{id},
                                   kalu_actions::kOperationInterface));
  add(item, account_operation_spec("reauthenticate", "Sign in again",
                                   AccountOperation::Reauthenticate{id},
                                   kalu_actions::kOperationInterface));
  // Stored email accounts have the type "email" (the add action's kind is
  // "mail"); their check reaches the mail server, the others sign in.
  add(item, account_operation_spec("test",
                                   account.type_id.as_str() == "email" ? "Check server reachability"
                                                                       : "Verify sign-in",
                                   AccountOperation::Test{id}, kalu_actions::kOperationEffect));
  add(item,
      account_operation_spec("remove", "Remove from this device", AccountOperation::Remove{id},
                             kalu_actions::kOperationEffect),
      true);
  return item;
}

}  // namespace

Resource users_resource(std::span<const LocalUser> users,
                        const std::optional<std::string>& current_user) {
  Resource section =
      Resource::create("settings.section:users", std::string(kSectionResourceKind), "Users");
  for (const LocalUser& user : users.first(std::min(users.size(), kMaxItems))) {
    if (current_user && user.username == *current_user) continue;
    section.children.push_back(user_item(user));
  }
  return section;
}

Resource users_resource() {
  const auto users = panes::users::load_local_users();
  return users_resource(users, panes::users::current_user_name());
}

Resource external_accounts_resource(std::span<const account_book::Account> accounts) {
  Resource section = Resource::create("settings.section:external_accounts", "settings.accounts",
                                      "External Accounts");
  for (const AddRow& row : kAddRows) {
    add(section, account_operation_spec(std::string(row.name), std::string(row.label),
                                        AccountOperation::Add{std::string(row.kind)},
                                        kalu_actions::kOperationInterface));
  }
  const auto listed = accounts.first(std::min(accounts.size(), kMaxItems));
  section.children.reserve(listed.size());
  for (const account_book::Account& account : listed) {
    section.children.push_back(account_item(account));
  }
  return section;
}

std::optional<kalu_actions::ActionBinding> user_command_binding(const LocalUser& user,
                                                                std::string_view action_name) {
  auto spec = user_action(user, action_name);
  if (!spec) return std::nullopt;
  return bind_unit(bare_user(user).with_action(std::move(*spec)), action_name);
}

std::optional<kalu_actions::ActionBinding> external_account_command_binding(
    std::string_view resource_id, std::string_view resource_label, std::string_view action_name,
    std::string_view action_label, kalu_actions::OperationKind kind,
    const AccountOperation& operation, bool destructive) {
  auto spec =
      account_operation_spec(std::string(action_name), std::string(action_label), operation, kind);
  if (!spec) return std::nullopt;
  Resource resource = Resource::create(std::string(resource_id), std::string(kAccountKind),
                                       std::string(resource_label));
  add(resource, std::move(spec), destructive);
  return bind_unit(resource, action_name);
}

}  // namespace settings::actions
