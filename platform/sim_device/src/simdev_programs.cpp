// The programs simdev answers as, each from the simulated device and in the
// real program's own output format.
#include <fmt/format.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <functional>

#include "model_manager.h"
#include "simdev_paths.h"
#include "simdev_update_programs.h"
#include "simdev_users.h"
#include "sim_device/simdev.h"
#include "sim_device/state.h"

namespace sim_device::simdev {

namespace {


using simdev_detail::Json;
using kalu_ui::fail;
using kalu_ui::Status;

using Program = Outcome (*)(const std::vector<std::string>& args, const Json& state);

Outcome out(std::string text) { return {0, std::move(text), {}}; }
Outcome err(int status, std::string text) { return {status, {}, std::move(text)}; }

// ---- wpctl ----

std::string volume_text(const Json& node) {
  return fmt::format("{:.2f}{}", node["volume"].get<double>(), node["muted"] == true ? " MUTED" : "");
}

void node_lines(std::string& out, const Json& nodes) {
  for (const auto& n : nodes) {
    out += fmt::format(" │  {} {:>4}. {:<35} [vol: {}]\n", n["default"] == true ? "*" : " ",
                       n["id"].get<std::uint32_t>(), n["display_name"].get<std::string>(),
                       volume_text(n));
  }
}

Outcome wpctl_status(const Json& state) {
  const Json& audio = state["audio"];
  std::string text =
      "PipeWire 'pipewire-0' [1.2.7, kalu@simulated-device, cookie:3145725]\n"
      " └─ Clients:\n"
      "        33. WirePlumber                         [1.2.7, kalu@simulated-device, pid:1457]\n"
      "\n"
      "Audio\n"
      " ├─ Devices:\n";
  for (const auto& d : audio["devices"]) {
    text += fmt::format(" │      {:>3}. {:<35} [alsa]\n", d["id"].get<std::uint32_t>(),
                        d["name"].get<std::string>());
  }
  text += " │  \n ├─ Sinks:\n";
  node_lines(text, audio["sinks"]);
  text += " │  \n ├─ Sink endpoints:\n │  \n ├─ Sources:\n";
  node_lines(text, audio["sources"]);
  text += " │  \n ├─ Source endpoints:\n │  \n ├─ Filters:\n │  \n └─ Streams:\n";
  for (const auto& s : audio["streams"]) {
    text += fmt::format("        {:>3}. {}\n", s["id"].get<std::uint32_t>(),
                        s["app_name"].get<std::string>());
  }
  text +=
      "\nVideo\n ├─ Devices:\n │  \n ├─ Sinks:\n │  \n ├─ Sink endpoints:\n │  \n"
      " ├─ Sources:\n │  \n ├─ Source endpoints:\n │  \n ├─ Filters:\n │  \n └─ Streams:\n"
      "\nSettings\n └─ Default Configured Node Names:\n";
  int n = 0;
  for (const char* list : {"sinks", "sources"}) {
    for (const auto& node : audio[list]) {
      if (node["default"] != true) continue;
      text += fmt::format("       {:>3}. {:<13} {}\n", n++,
                          std::string(list) == "sinks" ? "Audio/Sink" : "Audio/Source",
                          node["node_name"].get<std::string>());
    }
  }
  return out(text);
}

// The node an argument names: an id, @DEFAULT_AUDIO_SINK@ or @DEFAULT_AUDIO_SOURCE@.
const Json* find_node(const Json& audio, const std::string& name) {
  auto default_of = [&](const char* list) -> const Json* {
    for (const auto& n : audio[list]) {
      if (n["default"] == true) return &n;
    }
    return nullptr;
  };
  if (name == "@DEFAULT_AUDIO_SINK@" || name == "@DEFAULT_SINK@") return default_of("sinks");
  if (name == "@DEFAULT_AUDIO_SOURCE@" || name == "@DEFAULT_SOURCE@") return default_of("sources");
  std::uint32_t id = 0;
  auto [end, ec] = std::from_chars(name.data(), name.data() + name.size(), id);
  if (ec != std::errc() || end != name.data() + name.size()) return nullptr;
  for (const char* list : {"sinks", "sources"}) {
    for (const auto& n : audio[list]) {
      if (n["id"] == id) return &n;
    }
  }
  return nullptr;
}

// "0.5", "50%", "5%+", "0.1-": a level, or a step up or down.
std::optional<double> volume_after(const std::string& text, double current) {
  std::string s = text;
  int step = 0;
  if (!s.empty() && (s.back() == '+' || s.back() == '-')) {
    step = s.back() == '+' ? 1 : -1;
    s.pop_back();
  }
  bool percent = !s.empty() && s.back() == '%';
  if (percent) s.pop_back();
  double value = 0;
  auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
  if (s.empty() || ec != std::errc() || end != s.data() + s.size() || !std::isfinite(value)) {
    return std::nullopt;
  }
  if (percent) value /= 100.0;
  double level = step == 0 ? value : current + step * value;
  return std::clamp(level, 0.0, 1.5);
}

Outcome change_node(const std::string& name, const std::function<Status(Json& node)>& edit) {
  auto status = sim_device::update("", [&](Json& state) -> Status {
    const Json* node = find_node(state["audio"], name);
    if (node == nullptr) return fail(fmt::format("Object '{}' not found", name));
    return edit(const_cast<Json&>(*node));
  });
  if (!status) return err(1, status.error() + "\n");
  return out("");
}

Outcome wpctl(const std::vector<std::string>& args, const Json& state) {
  const std::string command = args.empty() ? "status" : args[0];
  if (command == "status") return wpctl_status(state);
  if (command == "get-volume" && args.size() == 2) {
    const Json* node = find_node(state["audio"], args[1]);
    if (node == nullptr) return err(1, fmt::format("Object '{}' not found\n", args[1]));
    std::string muted = (*node)["muted"] == true ? " [MUTED]" : "";
    return out(fmt::format("Volume: {:.2f}{}\n", (*node)["volume"].get<double>(), muted));
  }
  if (command == "set-default" && args.size() == 2) {
    std::uint32_t id = 0;
    auto [end, ec] = std::from_chars(args[1].data(), args[1].data() + args[1].size(), id);
    if (ec != std::errc() || end != args[1].data() + args[1].size()) {
      return err(1, fmt::format("'{}' is not a valid number\n", args[1]));
    }
    auto status = sim_device::update("audio.set_default_device", [&](Json& next) -> Status {
      for (const char* list : {"sinks", "sources"}) {
        Json& nodes = next["audio"][list];
        if (std::none_of(nodes.begin(), nodes.end(), [&](const Json& n) { return n["id"] == id; })) {
          continue;
        }
        for (auto& n : nodes) n["default"] = n["id"] == id;
        return {};
      }
      return fail(fmt::format("Object '{}' not found", id));
    });
    if (!status) return err(1, status.error() + "\n");
    return out("");
  }
  if (command == "set-volume" && args.size() == 3) {
    return change_node(args[1], [&](Json& node) -> Status {
      auto level = volume_after(args[2], node["volume"].get<double>());
      if (!level) return fail(fmt::format("'{}' is not a valid volume", args[2]));
      node["volume"] = std::min(*level, 1.0);
      return {};
    });
  }
  if (command == "set-mute" && args.size() == 3) {
    return change_node(args[1], [&](Json& node) -> Status {
      if (args[2] == "toggle") {
        node["muted"] = node["muted"] != true;
      } else if (args[2] == "1" || args[2] == "0") {
        node["muted"] = args[2] == "1";
      } else {
        return fail(fmt::format("'{}' is not 0, 1 or toggle", args[2]));
      }
      return {};
    });
  }
  return err(1, fmt::format("wpctl: this device does not answer \"{}\" with these arguments\n",
                            fmt::join(args, " ")));
}

// ---- disks and firewall ----

// findmnt -no SOURCE /   (also -n -o SOURCE /)
Outcome findmnt(const std::vector<std::string>& args, const Json& state) {
  bool source = false;
  std::string target;
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "-no" || args[i] == "-on" || args[i] == "-o") {
      source = i + 1 < args.size() && args[i + 1] == "SOURCE";
      ++i;
    } else if (args[i] != "-n") {
      target = args[i];
    }
  }
  if (!source) return err(1, "findmnt: this device answers only -no SOURCE\n");
  if (target != "/") return err(1, "");
  return out(state["security"]["root_source"].get<std::string>() + "\n");
}

// lsblk -s -n -o TYPE DEVICE: the device's type, then what it is built on.
Outcome lsblk(const std::vector<std::string>& args, const Json& state) {
  if (args.empty()) return err(1, "lsblk: this device answers only -s -n -o TYPE DEVICE\n");
  const std::string& dev = args.back();
  if (dev != state["security"]["root_source"]) {
    return err(32, fmt::format("lsblk: {}: not a block device\n", dev));
  }
  std::string text;
  for (const auto& type : state["security"]["root_stack"]) text += type.get<std::string>() + "\n";
  return out(text);
}

Outcome firewall_cmd(const std::vector<std::string>& args, const Json& state) {
  if (args.size() != 1 || args[0] != "--state") {
    return err(2, "firewall-cmd: this device answers only --state\n");
  }
  if (state["security"]["firewalld_running"] == true) return out("running\n");
  return err(252, "not running\n");
}

Outcome nft(const std::vector<std::string>& args, const Json& state) {
  if (args.size() != 2 || args[0] != "list" || args[1] != "ruleset") {
    return err(1, "nft: this device answers only list ruleset\n");
  }
  return out(state["security"]["nft_ruleset"].get<std::string>());
}

struct Entry {
  std::string_view name;
  Program run;
};

// The simulated programs. A pane issue that runs another program adds it here.
constexpr Entry kPrograms[] = {
    {"wpctl", wpctl},
    {"findmnt", findmnt},
    {"lsblk", lsblk},
    {"firewall-cmd", firewall_cmd},
    {"nft", nft},
    {"kalu-model-manager", kalu_model_manager},
    {"systemctl", systemctl},
    {"bootc", bootc},
    {"journalctl", journalctl},
};

std::string_view base_name(std::string_view name) {
  auto slash = name.rfind('/');
  return slash == std::string_view::npos ? name : name.substr(slash + 1);
}

}  // namespace

bool simulates(std::string_view name) {
  return simdev_detail::account_program(name) != nullptr ||
         std::any_of(std::begin(kPrograms), std::end(kPrograms),
                     [&](const Entry& e) { return e.name == name; });
}

bool takes_input(std::string_view argv0, const std::vector<std::string>& args) {
  std::string_view base = base_name(argv0);
  if (base == "simdev" && !args.empty()) base = base_name(args[0]);
  return base == "chpasswd";
}

Outcome program(std::string_view name, const std::vector<std::string>& args,
                std::string_view input) {
  std::string_view base = base_name(name);
  const Entry* entry = nullptr;
  for (const auto& e : kPrograms) {
    if (e.name == base) entry = &e;
  }
  simdev_detail::AccountProgram account = simdev_detail::account_program(base);
  if (entry == nullptr && account == nullptr) {
    return err(127, fmt::format("simdev: {} is not simulated yet\n", name));
  }
  auto state = sim_device::read();
  if (!state) return err(1, fmt::format("{}: {}\n", base, state.error()));
  std::optional<std::string> fault = sim_device::fault(**state, base);
  if (!fault && !args.empty()) fault = sim_device::fault(**state, fmt::format("{}.{}", base, args[0]));
  if (fault) return err(1, *fault + "\n");
  if (account != nullptr) return account(args, input);
  return entry->run(args, **state);
}

}  // namespace sim_device::simdev
