// systemctl, bootc and journalctl as the simulated device answers them.
#include "simdev_update_programs.h"

#include <fmt/format.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <ctime>
#include <functional>
#include <optional>

namespace sim_device::simdev {

namespace {

using kalu_ui::fail;
using kalu_ui::Status;

constexpr std::string_view kUpdateUnit = "kalu-deployment-update.service";
constexpr std::string_view kRollbackUnit = "kalu-deployment-rollback.service";
constexpr std::string_view kPolicyUnitPrefix = "kalu-update-policy@";
constexpr std::string_view kServiceSuffix = ".service";
// The unit whose journal the updates write to and journalctl shows.
constexpr std::string_view kJournalUnit = "bootc-fetch-apply-updates.service";
// Journal lines kept in the state; older ones are dropped.
constexpr std::size_t kJournalKept = 40;

Outcome out(std::string text) { return {0, std::move(text), {}}; }
Outcome err(int status, std::string text) { return {status, {}, std::move(text)}; }

// A systemctl command line: its verb, its options and the units it names.
struct Command {
  std::string verb;
  std::vector<std::string> options;
  std::vector<std::string> units;

  bool has(std::string_view option) const {
    return std::find(options.begin(), options.end(), option) != options.end();
  }
};

Command parse_command(const std::vector<std::string>& args) {
  Command command;
  for (const auto& arg : args) {
    if (arg.starts_with("-")) {
      command.options.push_back(arg);
    } else if (command.verb.empty()) {
      command.verb = arg;
    } else {
      command.units.push_back(arg);
    }
  }
  return command;
}

// The fault of a unit: its own, else its template's ("name@.service").
std::optional<std::string> unit_fault(const Json& state, const std::string& unit) {
  if (auto text = sim_device::fault(state, unit)) return text;
  auto at = unit.find('@');
  auto dot = unit.rfind('.');
  if (at == std::string::npos || dot == std::string::npos || dot < at) return std::nullopt;
  return sim_device::fault(state, unit.substr(0, at + 1) + unit.substr(dot));
}

Outcome job_failed(std::string_view unit) {
  return err(1, fmt::format("Job for {0} failed because the control process exited with error "
                            "code.\nSee \"systemctl status {0}\" and \"journalctl -xeu {0}\" for "
                            "details.\n",
                            unit));
}

// "2025-03-24T09:30:00+0000 kalu-laptop bootc[pid]: message", as short-iso shows it.
std::string journal_line(std::string_view message) {
  std::time_t now = std::time(nullptr);
  std::tm tm{};
  ::gmtime_r(&now, &tm);
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y-%m-%dT%H:%M:%S+0000", &tm);
  return fmt::format("{} kalu-laptop bootc[{}]: {}", stamp, ::getpid(), message);
}

void log_update(Json& updates, std::string_view message) {
  Json& journal = updates["journal"];
  journal.push_back(journal_line(message));
  while (journal.size() > kJournalKept) journal.erase(journal.begin());
}

// A change of the device for a unit; `refused` is the unit's own failure
// (the job fails), distinct from a device that cannot be changed.
Outcome change_for_unit(std::string_view unit, const std::function<bool(Json& updates)>& edit) {
  bool refused = false;
  auto status = sim_device::update("", [&](Json& state) -> Status {
    if (!edit(state["updates"])) {
      refused = true;
      return fail("refused");
    }
    return {};
  });
  if (refused) return job_failed(unit);
  if (!status) return err(1, fmt::format("Failed to start {}: {}\n", unit, status.error()));
  return out("");
}

Outcome start_update() {
  return change_for_unit(kUpdateUnit, [](Json& updates) {
    const Json& available = updates["available"];
    bool newer =
        available.is_object() && available["image"] != updates["booted"]["image"] &&
        !(updates["staged"].is_object() && updates["staged"]["image"] == available["image"]);
    if (!newer) {
      log_update(updates, "No update available.");
      return true;
    }
    std::string image = available["image"].get<std::string>();
    log_update(updates, fmt::format("Fetching {}", image));
    updates["staged"] = available;
    log_update(updates, fmt::format("Queued for next boot: {}", image));
    return true;
  });
}

Outcome start_rollback() {
  return change_for_unit(kRollbackUnit, [](Json& updates) {
    if (!updates["rollback"].is_object()) return false;
    std::swap(updates["booted"], updates["rollback"]);
    updates["staged"] = nullptr;
    return true;
  });
}

// The policy line an action of the policy unit writes.
std::optional<std::pair<std::string, std::string>> policy_change(std::string_view action) {
  if (action == "schedule-system") return std::pair{"schedule", "system"};
  if (action == "schedule-daily") return std::pair{"schedule", "daily"};
  if (action == "schedule-weekly") return std::pair{"schedule", "weekly"};
  if (action == "metered-allow") return std::pair{"metered", "allow"};
  if (action == "metered-avoid") return std::pair{"metered", "avoid"};
  return std::nullopt;
}

Outcome start_policy(const std::string& unit) {
  std::string_view action(unit);
  action.remove_prefix(kPolicyUnitPrefix.size());
  action.remove_suffix(kServiceSuffix.size());
  auto change = policy_change(action);
  return change_for_unit(unit, [&](Json& updates) {
    if (!change) return false;
    updates["policy"][change->first] = change->second;
    return true;
  });
}

bool is_policy_unit(std::string_view unit) {
  return unit.starts_with(kPolicyUnitPrefix) && unit.ends_with(kServiceSuffix) &&
         unit.size() > kPolicyUnitPrefix.size() + kServiceSuffix.size();
}

Outcome start(const std::string& unit) {
  sim_device::wait_delay(is_policy_unit(unit) ? "kalu-update-policy@.service" : unit);
  if (unit == kUpdateUnit) return start_update();
  if (unit == kRollbackUnit) return start_rollback();
  if (is_policy_unit(unit)) return start_policy(unit);
  return err(5, fmt::format("Failed to start {0}: Unit {0} not found.\n", unit));
}

Outcome is_enabled(const std::string& unit, const Json& updates) {
  auto found = updates["timers"].find(unit);
  if (found == updates["timers"].end()) {
    return err(
        1, fmt::format("Failed to get unit file state for {}: No such file or directory\n", unit));
  }
  std::string state = found->get<std::string>();
  bool on = state == "enabled" || state == "enabled-runtime" || state == "static";
  return {on ? 0 : 1, state + "\n", {}};
}

Outcome switch_timer(const std::string& unit, bool enable) {
  const char* verb = enable ? "enable" : "disable";
  std::optional<Outcome> answer;
  auto status = sim_device::update("", [&](Json& state) -> Status {
    Json& timers = state["updates"]["timers"];
    auto found = timers.find(unit);
    if (found == timers.end()) {
      answer = err(1, fmt::format("Failed to {} unit: Unit file {} does not exist.\n", verb, unit));
    } else if (*found == "masked") {
      answer = err(1, fmt::format("Failed to {} unit: Unit file /etc/systemd/system/{} is "
                                  "masked.\n",
                                  verb, unit));
    } else if (*found == "static") {
      answer = err(0, enable ? "The unit files have no installation config. This means they are "
                               "not meant to be enabled or disabled using systemctl.\n"
                             : "");
    } else {
      *found = enable ? "enabled" : "disabled";
      return {};
    }
    return fail("unchanged");
  });
  if (answer) return *answer;
  if (!status) return err(1, fmt::format("Failed to {} unit: {}\n", verb, status.error()));
  return out("");
}

Outcome count_restart() {
  auto status = sim_device::update("", [](Json& state) -> Status {
    Json& restarts = state["updates"]["restarts"];
    restarts = restarts.get<std::int64_t>() + 1;
    return {};
  });
  if (!status) return err(1, fmt::format("Failed to reboot system: {}\n", status.error()));
  return out("");
}

Json deployment(const Json& image) {
  if (!image.is_object()) return nullptr;
  Json entry = {{"image",
                 {{"image", {{"image", image["image"]}, {"transport", "registry"}}},
                  {"version", image["version"]},
                  {"timestamp", nullptr}}},
                {"cachedUpdate", nullptr},
                {"incompatible", false},
                {"pinned", false},
                {"store", "ostreeContainer"}};
  if (image.contains("documentation") && image["documentation"].is_string()) {
    entry["image"]["labels"] = {{"org.opencontainers.image.documentation", image["documentation"]}};
  }
  return entry;
}

// The N of "-n N", "-nN" and "--lines=N"; all lines when not given.
std::optional<std::size_t> line_count(const std::vector<std::string>& args) {
  std::optional<std::string_view> text;
  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string_view arg = args[i];
    if (arg == "-n" && i + 1 < args.size()) {
      text = args[++i];
    } else if (arg.starts_with("--lines=")) {
      text = arg.substr(8);
    } else if (arg.starts_with("-n") && arg.size() > 2) {
      text = arg.substr(2);
    }
  }
  std::size_t n = 0;
  if (!text) return std::nullopt;
  auto [end, ec] = std::from_chars(text->data(), text->data() + text->size(), n);
  if (ec != std::errc() || end != text->data() + text->size()) return std::nullopt;
  return n;
}

std::optional<std::string> journal_unit(const std::vector<std::string>& args) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "-u" && i + 1 < args.size()) return args[i + 1];
    if (args[i].starts_with("--unit=")) return args[i].substr(7);
  }
  return std::nullopt;
}

}  // namespace

Outcome systemctl(const std::vector<std::string>& args, const Json& state) {
  Command command = parse_command(args);
  for (const auto& unit : command.units) {
    if (auto text = unit_fault(state, unit)) return err(1, *text + "\n");
  }
  const Json& updates = state["updates"];
  if (command.verb == "is-enabled" && command.units.size() == 1) {
    return is_enabled(command.units[0], updates);
  }
  if ((command.verb == "enable" || command.verb == "disable") && command.units.size() == 1) {
    return switch_timer(command.units[0], command.verb == "enable");
  }
  if (command.verb == "start" && command.units.size() == 1) return start(command.units[0]);
  if (command.verb == "reboot" && command.units.empty()) return count_restart();
  return err(1,
             fmt::format("systemctl: this device does not answer \"{}\"\n", fmt::join(args, " ")));
}

Outcome bootc(const std::vector<std::string>& args, const Json& state) {
  bool json = args == std::vector<std::string>{"status", "--format", "json"} ||
              args == std::vector<std::string>{"status", "--format=json"} ||
              args == std::vector<std::string>{"status", "--json"};
  if (!json) return err(2, "bootc: this device answers only status --format json\n");
  const Json& updates = state["updates"];
  Json document = {{"apiVersion", "org.containers.bootc/v1"},
                   {"kind", "BootcHost"},
                   {"metadata", {{"name", "host"}}},
                   {"spec",
                    {{"image", {{"image", updates["booted"]["image"]}, {"transport", "registry"}}},
                     {"bootOrder", "default"}}},
                   {"status",
                    {{"staged", deployment(updates["staged"])},
                     {"booted", deployment(updates["booted"])},
                     {"rollback", deployment(updates["rollback"])},
                     {"rollbackQueued", false},
                     {"type", "bootcHost"}}}};
  return out(document.dump(2) + "\n");
}

Outcome journalctl(const std::vector<std::string>& args, const Json& state) {
  std::optional<std::string> unit = journal_unit(args);
  std::string text;
  if (unit == kJournalUnit) {
    const Json& journal = state["updates"]["journal"];
    std::size_t count = std::min(line_count(args).value_or(journal.size()), journal.size());
    for (std::size_t i = journal.size() - count; i < journal.size(); ++i) {
      text += journal[i].get<std::string>() + "\n";
    }
  }
  if (text.empty()) text = "-- No entries --\n";
  return out(std::move(text));
}

}  // namespace sim_device::simdev
