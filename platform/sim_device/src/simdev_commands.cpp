// simdev's commands for people: show, get, set, add, remove, fault, delay,
// reset, help.
#include <fmt/format.h>

#include <functional>
#include <map>

#include "sim_device/simdev.h"
#include "sim_device/state.h"
#include "simdev_paths.h"

namespace sim_device::simdev {

namespace {

using kalu_ui::fail;
using kalu_ui::Status;
using simdev_detail::Json;

constexpr const char* kUsage = R"(usage: simdev COMMAND [ARGUMENTS]

Shows and changes the simulated device that Settings runs on.

  show [SECTION]      the whole device, or one section, as JSON
  get PATH            one value (secrets are shown only when asked for by path)
  set PATH JSON       replace a value; text that is not JSON is taken as text
  add PATH JSON       append an item to a list
  remove PATH         remove a list item or a member
  fault OP [TEXT]     make an operation fail with TEXT; without TEXT, heal it
  delay OP [MS]       slow an operation by MS milliseconds; without MS, no delay
  reset               start again from a freshly seeded device
  help                this text

PATH is dotted, [n] picks a list item, ["..."] a name with dots in it:
  simdev get network.wifi_networks[0].signal
  simdev set display.brightness 40          (built-in display, percent)
  simdev fault bluez.pair "Authentication rejected"
  simdev set delays[\"bluez.pair\"] 3000

Started as wpctl, findmnt, lsblk, firewall-cmd, nft, kalu-model-manager,
systemctl, bootc or journalctl (or with that name as its first argument) it
answers as that program from the device. A fault named after a unit fails systemctl on it:
  simdev fault kalu-deployment-update.service "registry unreachable"
Started as useradd, chpasswd, userdel, gpasswd or kalu-autologin it changes
the device's login accounts, and its account and group files beside the
state follow:
  simdev fault users.set_password "Authentication failure"

The device lives in $KALU_DEVICE_STATE, else
$XDG_STATE_HOME/kalu/simulated-device.json (~/.local/state/kalu/...).
)";

Outcome ok(std::string out = {}) { return {0, std::move(out), {}}; }
Outcome error(const std::string& text, int status = 1) {
  return {status, {}, fmt::format("simdev: {}\n", text)};
}
Outcome usage(std::string_view why) {
  return {2, {}, fmt::format("simdev: {}\nTry 'simdev help'.\n", why)};
}

std::string pretty(const Json& value) {
  return value.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
}

// A value as typed: JSON when it reads as JSON, else the text itself.
Json typed_value(const std::string& text) {
  try {
    return Json::parse(text);
  } catch (const Json::exception&) {
    return Json(text);
  }
}

Outcome changed(const Status& status) {
  if (!status) return error(status.error());
  return ok();
}

// Runs `edit` on the value at `path` inside a locked change of the device.
Outcome change_at(
    const std::string& path_text,
    const std::function<Status(Json& parent, const simdev_detail::Segment& last)>& edit) {
  auto path = simdev_detail::parse_path(path_text);
  if (!path) return usage(path.error());
  return changed(sim_device::update("", [&](Json& state) -> Status {
    std::vector<simdev_detail::Segment> parent_path(path->begin(), path->end() - 1);
    auto parent = simdev_detail::resolve(state, parent_path);
    if (!parent) return fail(parent.error());
    return edit(**parent, path->back());
  }));
}

Outcome show(const std::vector<std::string>& args) {
  if (args.size() > 2) return usage("show takes at most one section");
  auto state = sim_device::read();
  if (!state) return error(state.error());
  if (args.size() == 1) return ok(pretty(simdev_detail::masked(**state)));
  auto found = (*state)->find(args[1]);
  if (found == (*state)->end()) {
    return error(fmt::format("no section \"{}\"; sections: {}", args[1],
                             fmt::join(sim_device::section_names(), ", ")));
  }
  return ok(pretty(simdev_detail::masked(*found)));
}

Outcome get(const std::vector<std::string>& args) {
  if (args.size() != 2) return usage("get takes one PATH");
  auto path = simdev_detail::parse_path(args[1]);
  if (!path) return usage(path.error());
  auto state = sim_device::read();
  if (!state) return error(state.error());
  Json copy = **state;
  auto value = simdev_detail::resolve(copy, *path);
  if (!value) return error(value.error());
  bool asked_for_secret = !path->back().index && simdev_detail::is_secret_key(path->back().key);
  return ok(pretty(asked_for_secret ? **value : simdev_detail::masked(**value)));
}

Outcome set(const std::vector<std::string>& args) {
  if (args.size() != 3) return usage("set takes a PATH and a value");
  Json value = typed_value(args[2]);
  return change_at(args[1], [&](Json& parent, const simdev_detail::Segment& last) -> Status {
    if (last.index) {
      if (!parent.is_array() || *last.index >= parent.size()) {
        return fail("there is no item {} to set", *last.index);
      }
      parent[*last.index] = value;
      return {};
    }
    if (!parent.is_object()) return fail("\"{}\" cannot be set there", last.key);
    parent[last.key] = value;
    return {};
  });
}

Outcome add(const std::vector<std::string>& args) {
  if (args.size() != 3) return usage("add takes a PATH and a value");
  auto path = simdev_detail::parse_path(args[1]);
  if (!path) return usage(path.error());
  Json value = typed_value(args[2]);
  return changed(sim_device::update("", [&](Json& state) -> Status {
    auto list = simdev_detail::resolve(state, *path);
    if (!list) return fail(list.error());
    if (!(*list)->is_array()) return fail("{} is not a list; use set", args[1]);
    (*list)->push_back(value);
    return {};
  }));
}

Outcome remove(const std::vector<std::string>& args) {
  if (args.size() != 2) return usage("remove takes one PATH");
  return change_at(args[1], [&](Json& parent, const simdev_detail::Segment& last) -> Status {
    if (last.index) {
      if (!parent.is_array() || *last.index >= parent.size()) {
        return fail("there is no item {} to remove", *last.index);
      }
      parent.erase(*last.index);
      return {};
    }
    if (!parent.is_object() || parent.erase(last.key) == 0) {
      return fail("there is no \"{}\" to remove", last.key);
    }
    return {};
  });
}

// fault OP [TEXT] and delay OP [MS]: one member of the faults or delays map.
Outcome set_member(const std::vector<std::string>& args, const char* section, bool number) {
  if (args.size() < 2 || args.size() > 3) {
    return usage(fmt::format("{} takes an operation and an optional value", args[0]));
  }
  Json value;
  if (args.size() == 3) {
    value = number ? typed_value(args[2]) : Json(args[2]);
  }
  return changed(sim_device::update("", [&](Json& state) -> Status {
    if (value.is_null()) {
      state[section].erase(args[1]);
    } else {
      state[section][args[1]] = value;
    }
    return {};
  }));
}

}  // namespace

Outcome command(const std::vector<std::string>& args) {
  if (args.empty()) return usage("no command given");
  const std::string& name = args[0];
  if (name == "help" || name == "--help" || name == "-h") return ok(kUsage);
  if (name == "show") return show(args);
  if (name == "get") return get(args);
  if (name == "set") return set(args);
  if (name == "add") return add(args);
  if (name == "remove") return remove(args);
  if (name == "fault") return set_member(args, "faults", false);
  if (name == "delay") return set_member(args, "delays", true);
  if (name == "reset") {
    if (args.size() != 1) return usage("reset takes no arguments");
    return changed(sim_device::reset());
  }
  return usage(fmt::format("unknown command \"{}\"", name));
}

Outcome run(std::string_view argv0, const std::vector<std::string>& args, std::string_view input) {
  auto slash = argv0.rfind('/');
  std::string_view base = slash == std::string_view::npos ? argv0 : argv0.substr(slash + 1);
  if (base != "simdev") return program(argv0, args, input);
  static const std::vector<std::string> kCommands = {
      "help", "--help", "-h", "show", "get", "set", "add", "remove", "fault", "delay", "reset"};
  if (!args.empty() && std::find(kCommands.begin(), kCommands.end(), args[0]) == kCommands.end()) {
    // "simdev wpctl status": the leading argument names the program.
    if (simulates(args[0]) || args[0].find('/') != std::string::npos) {
      return program(args[0], std::vector<std::string>(args.begin() + 1, args.end()), input);
    }
  }
  return command(args);
}

}  // namespace sim_device::simdev
