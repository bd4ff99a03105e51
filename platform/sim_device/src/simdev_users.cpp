// The account programs simdev answers as: each changes the "users" section
// of the device in one locked change (so the account and group files follow
// it) and speaks as the real program does: its exit statuses, its messages
// on standard error. Passwords are never stored and never repeated: chpasswd
// only records that an account has one.
#include "simdev_users.h"

#include <fmt/format.h>

#include <algorithm>
#include <functional>
#include <optional>

#include "sections.h"
#include "sim_device/state.h"

namespace sim_device::simdev_detail {

namespace {

using simdev::Outcome;

struct Refusal {
  int status;
  std::string text;
};
using Refused = std::optional<Refusal>;

Outcome err(int status, std::string text) { return {status, {}, std::move(text)}; }

// Runs `edit` on the users section inside one locked change named
// `operation`, so its fault answers first; a refusal leaves the device as
// it was.
Outcome change_users(std::string_view operation, const std::function<Refused(Json& users)>& edit,
                     std::string said = {}) {
  int status = 1;
  auto changed = sim_device::update(operation, [&](Json& state) -> kalu_ui::Status {
    if (Refused refused = edit(state["users"])) {
      status = refused->status;
      return kalu_ui::fail(std::move(refused->text));
    }
    return {};
  });
  if (!changed) return err(status, changed.error() + "\n");
  return {0, std::move(said), {}};
}

Json* find_named(Json& list, std::string_view name) {
  auto found = std::find_if(list.begin(), list.end(),
                            [&](const Json& item) { return item["name"] == name; });
  return found == list.end() ? nullptr : &*found;
}

// What useradd accepts without --badname: [a-z_][a-z0-9_-]*, at most 32.
bool valid_login_name(std::string_view name) {
  if (name.empty() || name.size() > 32) return false;
  if (!(name[0] == '_' || (name[0] >= 'a' && name[0] <= 'z'))) return false;
  return std::all_of(name.begin(), name.end(), [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '-';
  });
}

bool valid_comment(std::string_view text) {
  return std::none_of(text.begin(), text.end(),
                      [](char c) { return c == ':' || c == '\n' || c == '\r' || c == '\0'; });
}

std::vector<std::string> split_list(std::string_view text) {
  std::vector<std::string> out;
  while (!text.empty()) {
    auto comma = text.find(',');
    if (comma != 0) out.emplace_back(text.substr(0, comma));
    if (comma == std::string_view::npos) break;
    text.remove_prefix(comma + 1);
  }
  return out;
}

// ---- useradd [-m] [-c COMMENT] [-G GROUP,...] [-s SHELL] [--] LOGIN ----

struct NewAccount {
  std::string name;
  std::string comment;
  std::string shell = "/bin/bash";
  std::vector<std::string> groups;
};

std::optional<Outcome> read_useradd(const std::vector<std::string>& args, NewAccount& out) {
  bool named = false;
  bool options_done = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (!options_done && arg == "--") {
      options_done = true;
      continue;
    }
    if (!options_done && arg.starts_with('-')) {
      if (arg == "-m" || arg == "--create-home" || arg == "-M" || arg == "--no-create-home") {
        continue;
      }
      bool takes_value = arg == "-c" || arg == "--comment" || arg == "-G" || arg == "--groups" ||
                         arg == "-s" || arg == "--shell";
      if (!takes_value) return err(2, fmt::format("useradd: unrecognized option '{}'\n", arg));
      if (i + 1 == args.size()) {
        return err(2, fmt::format("useradd: option '{}' requires an argument\n", arg));
      }
      const std::string& value = args[++i];
      if (arg == "-c" || arg == "--comment") out.comment = value;
      if (arg == "-G" || arg == "--groups") out.groups = split_list(value);
      if (arg == "-s" || arg == "--shell") out.shell = value;
      continue;
    }
    if (named) return err(2, "Usage: useradd [options] LOGIN\n");
    out.name = arg;
    named = true;
  }
  if (!named) return err(2, "Usage: useradd [options] LOGIN\n");
  if (!valid_login_name(out.name)) {
    return err(3, fmt::format("useradd: invalid user name '{}'\n", out.name));
  }
  if (!valid_comment(out.comment)) {
    return err(3, fmt::format("useradd: invalid comment '{}'\n", out.comment));
  }
  if (!valid_comment(out.shell) || !out.shell.starts_with('/')) {
    return err(3, fmt::format("useradd: invalid shell '{}'\n", out.shell));
  }
  return std::nullopt;
}

Refused add_account(Json& users, const NewAccount& a) {
  if (find_named(users["accounts"], a.name) != nullptr) {
    return Refusal{9, fmt::format("useradd: user '{}' already exists", a.name)};
  }
  if (find_named(users["groups"], a.name) != nullptr) {
    return Refusal{9, fmt::format("useradd: group {} exists - if you want to add this user to "
                                  "that group, use -g.",
                                  a.name)};
  }
  for (const auto& group : a.groups) {
    if (find_named(users["groups"], group) == nullptr) {
      return Refusal{6, fmt::format("useradd: group '{}' does not exist", group)};
    }
  }
  std::uint32_t id = detail::free_account_id(users, 1000);
  users["accounts"].push_back({{"name", a.name},
                               {"uid", id},
                               {"gid", id},
                               {"gecos", a.comment},
                               {"home", "/home/" + a.name},
                               {"shell", a.shell},
                               {"password_set", false}});
  users["groups"].push_back({{"name", a.name}, {"gid", id}, {"members", Json::array()}});
  for (const auto& group : a.groups)
    (*find_named(users["groups"], group))["members"].push_back(a.name);
  return std::nullopt;
}

Outcome useradd(const std::vector<std::string>& args, std::string_view) {
  NewAccount account;
  if (auto refused = read_useradd(args, account)) return *refused;
  return change_users("users.create_user",
                      [&](Json& users) { return add_account(users, account); });
}

// ---- chpasswd: "name:password" lines on standard input ----

Outcome chpasswd(const std::vector<std::string>& args, std::string_view input) {
  if (!args.empty()) {
    return err(2, "chpasswd: this device answers only name:password lines on standard input\n");
  }
  return change_users("users.set_password", [&](Json& users) -> Refused {
    std::string_view rest = input;
    for (int line_number = 1; !rest.empty(); ++line_number) {
      auto end = rest.find('\n');
      std::string_view line = rest.substr(0, end);
      rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
      if (line.ends_with('\r')) line.remove_suffix(1);
      auto colon = line.find(':');
      if (colon == std::string_view::npos) {
        return Refusal{1, fmt::format("chpasswd: line {}: missing new password", line_number)};
      }
      std::string_view name = line.substr(0, colon);
      Json* account = find_named(users["accounts"], name);
      if (account == nullptr) {
        return Refusal{
            1, fmt::format("chpasswd: line {}: user '{}' does not exist", line_number, name)};
      }
      (*account)["password_set"] = colon + 1 < line.size();
    }
    return std::nullopt;
  });
}

// ---- userdel [-r] [--] LOGIN ----

Refused remove_account(Json& users, const std::string& name) {
  Json& accounts = users["accounts"];
  auto found = std::find_if(accounts.begin(), accounts.end(),
                            [&](const Json& a) { return a["name"] == name; });
  if (found == accounts.end()) {
    return Refusal{6, fmt::format("userdel: user '{}' does not exist", name)};
  }
  Json gid = (*found)["gid"];
  accounts.erase(found);
  Json& groups = users["groups"];
  for (auto& group : groups) {
    Json& members = group["members"];
    members.erase(std::remove(members.begin(), members.end(), Json(name)), members.end());
  }
  // The account's own group goes with it, as userdel does with a user's
  // private group that nobody else belongs to.
  groups.erase(std::remove_if(groups.begin(), groups.end(),
                              [&](const Json& g) {
                                return g["name"] == name && g["gid"] == gid && g["members"].empty();
                              }),
               groups.end());
  if (users["automatic_login"] == name) users["automatic_login"] = nullptr;
  return std::nullopt;
}

Outcome userdel(const std::vector<std::string>& args, std::string_view) {
  std::optional<std::string> name;
  bool options_done = false;
  for (const auto& arg : args) {
    if (!options_done && arg == "--") {
      options_done = true;
    } else if (!options_done && (arg == "-r" || arg == "--remove")) {
      // There is no home folder on the simulated device to remove.
    } else if (!options_done && arg.starts_with('-')) {
      return err(2, fmt::format("userdel: unrecognized option '{}'\n", arg));
    } else if (name) {
      return err(2, "Usage: userdel [options] LOGIN\n");
    } else {
      name = arg;
    }
  }
  if (!name) return err(2, "Usage: userdel [options] LOGIN\n");
  return change_users("users.delete_user",
                      [&](Json& users) { return remove_account(users, *name); });
}

// ---- gpasswd -a|--add USER GROUP, gpasswd -d|--delete USER GROUP ----

Outcome gpasswd(const std::vector<std::string>& args, std::string_view) {
  bool add = !args.empty() && (args[0] == "-a" || args[0] == "--add");
  bool remove = !args.empty() && (args[0] == "-d" || args[0] == "--delete");
  if (args.size() != 3 || !(add || remove)) {
    return err(2,
               "Usage: gpasswd [option] GROUP (this device answers -a USER GROUP and "
               "-d USER GROUP)\n");
  }
  const std::string& user = args[1];
  const std::string& group_name = args[2];
  std::string said = add ? fmt::format("Adding user {} to group {}\n", user, group_name)
                         : fmt::format("Removing user {} from group {}\n", user, group_name);
  return change_users(
      "users.set_role",
      [&](Json& users) -> Refused {
        Json* group = find_named(users["groups"], group_name);
        if (group == nullptr) {
          return Refusal{
              3, fmt::format("gpasswd: group '{}' does not exist in /etc/group", group_name)};
        }
        if (find_named(users["accounts"], user) == nullptr) {
          return Refusal{3, fmt::format("gpasswd: user '{}' does not exist", user)};
        }
        Json& members = (*group)["members"];
        auto found = std::find(members.begin(), members.end(), Json(user));
        if (add && found == members.end()) members.push_back(user);
        if (remove) {
          if (found == members.end()) {
            return Refusal{
                3, fmt::format("gpasswd: user '{}' is not a member of '{}'", user, group_name)};
          }
          members.erase(found);
        }
        return std::nullopt;
      },
      std::move(said));
}

// ---- kalu-autologin enable|disable|status USER ----

// One account at most logs in by itself; enabling another moves it there.
Outcome autologin(const std::vector<std::string>& args, std::string_view) {
  if (args.size() != 2 || (args[0] != "enable" && args[0] != "disable" && args[0] != "status")) {
    return err(2, "Usage: kalu-autologin enable|disable|status USER\n");
  }
  const std::string& user = args[1];
  if (args[0] == "status") {
    auto state = sim_device::read();
    if (!state) return err(1, fmt::format("kalu-autologin: {}\n", state.error()));
    bool on = (**state)["users"]["automatic_login"] == user;
    return {0, on ? "enabled\n" : "disabled\n", {}};
  }
  bool enable = args[0] == "enable";
  return change_users("users.set_automatic_login", [&](Json& users) -> Refused {
    if (find_named(users["accounts"], user) == nullptr) {
      return Refusal{1, fmt::format("kalu-autologin: user '{}' does not exist", user)};
    }
    if (enable) {
      users["automatic_login"] = user;
    } else if (users["automatic_login"] == user) {
      users["automatic_login"] = nullptr;
    }
    return std::nullopt;
  });
}

struct Entry {
  std::string_view name;
  AccountProgram run;
};

constexpr Entry kAccountPrograms[] = {
    {"useradd", useradd}, {"chpasswd", chpasswd},        {"userdel", userdel},
    {"gpasswd", gpasswd}, {"kalu-autologin", autologin},
};

}  // namespace

AccountProgram account_program(std::string_view base) {
  for (const auto& entry : kAccountPrograms) {
    if (entry.name == base) return entry.run;
  }
  return nullptr;
}

}  // namespace sim_device::simdev_detail
