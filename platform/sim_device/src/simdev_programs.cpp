// The programs simdev answers as, each from the simulated device and in the
// real program's own output format.
#include <fmt/format.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <functional>

#include "model_manager.h"
#include "sim_device/audio.h"
#include "sim_device/simdev.h"
#include "sim_device/state.h"
#include "simdev_paths.h"
#include "simdev_update_programs.h"
#include "simdev_users.h"

namespace sim_device::simdev {

namespace {

using kalu_ui::fail;
using kalu_ui::Status;
using simdev_detail::Json;

using Program = Outcome (*)(const std::vector<std::string>& args, const Json& state);

Outcome out(std::string text) { return {0, std::move(text), {}}; }
Outcome err(int status, std::string text) { return {status, {}, std::move(text)}; }

// ---- wpctl ----
// Answers from the same graph media_kit's controls change (sim_device/audio.h).

std::string volume_text(const Json& node) {
  double volume = node["volume"].is_null() ? 1.0 : node["volume"].get<double>();
  return fmt::format("{:.2f}{}", volume, node["muted"] == true ? " MUTED" : "");
}

void node_lines(std::string& out, const Json& nodes) {
  for (const auto& n : nodes) {
    out += fmt::format(" │  {} {:>4}. {:<35} [vol: {}]\n", n["default"] == true ? "*" : " ",
                       n["id"].get<std::uint32_t>(), n["display_name"].get<std::string>(),
                       volume_text(n));
  }
}

// A stream and the links of its two channels to the device it plays into or
// records from: its pinned target, else the default of its kind.
void stream_lines(std::string& out, const Json& audio, const Json& stream) {
  out += fmt::format("        {:>3}. {}\n", stream["id"].get<std::uint32_t>(),
                     stream["app_name"].get<std::string>());
  bool playback = stream["playback"] == true;
  const Json* device =
      stream["target"].is_null()
          ? sim_device::audio::default_node(audio, playback ? "sinks" : "sources")
          : sim_device::audio::find_node(audio, stream["target"].get<std::uint32_t>());
  if (device == nullptr) return;
  for (const char* channel : {"FL", "FR"}) {
    out +=
        fmt::format("             {}_{:<10} {} {}:{}_{}\t[active]\n", playback ? "output" : "input",
                    channel, playback ? ">" : "<", (*device)["node_name"].get<std::string>(),
                    playback ? "playback" : "capture", channel);
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
  for (const auto& s : audio["streams"]) stream_lines(text, audio, s);
  text +=
      "\nVideo\n ├─ Devices:\n │  \n ├─ Sinks:\n │  \n ├─ Sink endpoints:\n │  \n"
      " ├─ Sources:\n │  \n ├─ Source endpoints:\n │  \n ├─ Filters:\n │  \n └─ Streams:\n"
      "\nSettings\n └─ Default Configured Node Names:\n";
  int n = 0;
  for (const char* list : {"sinks", "sources"}) {
    const Json* node = sim_device::audio::default_node(audio, list);
    if (node == nullptr) continue;
    text += fmt::format("       {:>3}. {:<13} {}\n", n++,
                        std::string_view(list) == "sinks" ? "Audio/Sink" : "Audio/Source",
                        (*node)["node_name"].get<std::string>());
  }
  return out(text);
}

std::optional<std::uint32_t> parse_id(const std::string& text) {
  std::uint32_t id = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), id);
  if (text.empty() || ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return id;
}

// The node id an argument names: an id, @DEFAULT_AUDIO_SINK@ or
// @DEFAULT_AUDIO_SOURCE@ (none when there is no such default).
std::optional<std::uint32_t> node_id(const Json& audio, const std::string& name) {
  const char* list = nullptr;
  if (name == "@DEFAULT_AUDIO_SINK@" || name == "@DEFAULT_SINK@") list = "sinks";
  if (name == "@DEFAULT_AUDIO_SOURCE@" || name == "@DEFAULT_SOURCE@") list = "sources";
  if (list == nullptr) return parse_id(name);
  const Json* node = sim_device::audio::default_node(audio, list);
  if (node == nullptr) return std::nullopt;
  return (*node)["id"].get<std::uint32_t>();
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
  return std::clamp(level, 0.0, 1.0);
}

// Changes the audio section with `edit`, given the node the argument names.
Outcome change_audio(const std::string& name,
                     const std::function<Status(Json& audio, std::uint32_t id)>& edit) {
  auto status = sim_device::update("", [&](Json& state) -> Status {
    Json& audio = state["audio"];
    auto id = node_id(audio, name);
    if (!id || sim_device::audio::list_of(audio, *id) == nullptr) {
      return fail("Object '{}' not found", name);
    }
    return edit(audio, *id);
  });
  if (!status) return err(1, status.error() + "\n");
  return out("");
}

Outcome wpctl(const std::vector<std::string>& args, const Json& state) {
  namespace audio = sim_device::audio;
  const std::string command = args.empty() ? "status" : args[0];
  if (command == "status") return wpctl_status(state);
  if (command == "get-volume" && args.size() == 2) {
    auto id = node_id(state["audio"], args[1]);
    const Json* node = id ? audio::find_node(state["audio"], *id) : nullptr;
    if (node == nullptr) return err(1, fmt::format("Object '{}' not found\n", args[1]));
    double volume = (*node)["volume"].is_null() ? 1.0 : (*node)["volume"].get<double>();
    std::string muted = (*node)["muted"] == true ? " [MUTED]" : "";
    return out(fmt::format("Volume: {:.2f}{}\n", volume, muted));
  }
  if (command == "set-default" && args.size() == 2) {
    if (!parse_id(args[1])) return err(1, fmt::format("'{}' is not a valid number\n", args[1]));
    return change_audio(
        args[1], [](Json& a, std::uint32_t id) { return audio::make_default_device(a, id); });
  }
  if (command == "set-volume" && args.size() == 3) {
    return change_audio(args[1], [&](Json& a, std::uint32_t id) -> Status {
      const Json& node = *audio::find_node(a, id);
      auto level =
          volume_after(args[2], node["volume"].is_null() ? 1.0 : node["volume"].get<double>());
      if (!level) return fail("'{}' is not a valid volume", args[2]);
      return audio::set_node_volume(a, id, *level);
    });
  }
  if (command == "set-mute" && args.size() == 3) {
    return change_audio(args[1], [&](Json& a, std::uint32_t id) -> Status {
      bool muted = false;
      if (args[2] == "toggle") {
        muted = (*audio::find_node(a, id))["muted"] != true;
      } else if (args[2] == "1" || args[2] == "0") {
        muted = args[2] == "1";
      } else {
        return fail("'{}' is not 0, 1 or toggle", args[2]);
      }
      return audio::set_node_mute(a, id, muted);
    });
  }
  if (command == "set-profile" && args.size() == 3) {
    auto device = parse_id(args[1]);
    auto index = parse_id(args[2]);
    if (!device || !index) return err(1, "set-profile takes a device id and a profile index\n");
    auto status = sim_device::update("", [&](Json& next) -> Status {
      return audio::set_device_profile(next["audio"], *device, *index);
    });
    if (!status) return err(1, status.error() + "\n");
    return out("");
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

// The programs added from outside; never destroyed, as a detached thread
// may still look one up while the process exits.
std::vector<ExternalProgram>& external_programs() {
  static auto* programs = new std::vector<ExternalProgram>();
  return *programs;
}

const ExternalProgram* external_program(std::string_view base) {
  for (const auto& program : external_programs()) {
    if (program.name == base) return &program;
  }
  return nullptr;
}

constexpr std::string_view kPkexec = "pkexec";

}  // namespace

void add_programs(std::span<const ExternalProgram> programs) {
  external_programs().insert(external_programs().end(), programs.begin(), programs.end());
}

bool simulates(std::string_view name) {
  return name == kPkexec || simdev_detail::account_program(name) != nullptr ||
         external_program(name) != nullptr ||
         std::any_of(std::begin(kPrograms), std::end(kPrograms),
                     [&](const Entry& e) { return e.name == name; });
}

bool takes_input(std::string_view argv0, const std::vector<std::string>& args) {
  std::string_view base = base_name(argv0);
  std::size_t first = 0;
  // "simdev PROGRAM ..." and "pkexec PROGRAM ...": the program named next.
  while ((base == "simdev" || base == kPkexec) && first < args.size()) {
    base = base_name(args[first++]);
  }
  if (base == "chpasswd") return true;
  const ExternalProgram* external = external_program(base);
  return external != nullptr && !external->input_command.empty() && first < args.size() &&
         args[first] == external->input_command;
}

Outcome program(std::string_view name, const std::vector<std::string>& args,
                std::string_view input) {
  std::string_view base = base_name(name);
  const Entry* entry = nullptr;
  for (const auto& e : kPrograms) {
    if (e.name == base) entry = &e;
  }
  simdev_detail::AccountProgram account = simdev_detail::account_program(base);
  const ExternalProgram* external = external_program(base);
  if (entry == nullptr && account == nullptr && external == nullptr && base != kPkexec) {
    return err(127, fmt::format("simdev: {} is not simulated yet\n", name));
  }
  auto state = sim_device::read();
  if (!state) return err(1, fmt::format("{}: {}\n", base, state.error()));
  std::optional<std::string> fault = sim_device::fault(**state, base);
  if (!fault && !args.empty())
    fault = sim_device::fault(**state, fmt::format("{}.{}", base, args[0]));
  // pkexec's own fault is the approval refused (its exit status 126).
  if (fault) return err(base == kPkexec ? 126 : 1, *fault + "\n");
  if (base == kPkexec) {
    if (args.empty()) return err(127, "pkexec: no program given\n");
    return program(args[0], std::vector<std::string>(args.begin() + 1, args.end()), input);
  }
  if (external != nullptr) return external->run(args, input);
  if (account != nullptr) return account(args, input);
  return entry->run(args, **state);
}

}  // namespace sim_device::simdev
