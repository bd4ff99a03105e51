#include "model_manager.h"

#include <fmt/format.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <limits>
#include <optional>
#include <set>
#include <string>

#include "sim_device/clock.h"
#include "sim_device/state.h"

namespace sim_device::detail {

namespace {

using S = Shape;
constexpr std::int64_t kU16 = std::numeric_limits<std::uint16_t>::max();
constexpr std::int64_t kBytes = std::numeric_limits<std::int64_t>::max();

S package_shape() {
  return S::object({req("id", S::text()), req("name", S::text()), req("description", S::text()),
                    req("source", S::text()), req("revision", S::text()), req("license", S::text()),
                    req("license_url", S::text()), req("download_bytes", S::integer(0, kBytes)),
                    req("installed_bytes", S::integer(0, kBytes)), req("vision", S::boolean()),
                    req("face_recognition", S::boolean())});
}

// A phase as the manager prints it. The members a state needs are checked by
// the reader of the snapshot, so a person may set a broken phase on purpose to
// see how Settings takes a manager that answers nonsense.
S phase_shape() {
  return S::object(
      {req("state", S::one_of({"downloading", "installing", "ready", "error"})),
       opt("downloaded_bytes", S::integer(0, kBytes)), opt("total_bytes", S::integer(0, kBytes)),
       opt("message", S::text()), opt("percent", S::integer(0, 100).or_null()),
       opt("running", S::boolean()),
       opt("endpoint", S::object({req("url", S::text()), req("model_id", S::text())}).or_null())});
}

S job_shape() {
  return S::object({req("started_unix_ms", S::integer(0, kBytes)),
                    req("duration_ms", S::integer(0, 600000))})
      .or_null();
}

}  // namespace

const Shape& models_shape() {
  // Never destroyed: detached workers may still check a state at exit.
  static const Shape& shape = *new Shape(S::object({
      req("hardware",
          S::object({req("fit", S::one_of({"excellent", "good", "tight", "unsupported"})),
                     req("memory_gib", S::integer(0, kU16)), req("accelerator", S::text()),
                     req("accelerator_memory_gib", S::integer(0, kU16).or_null()),
                     req("free_storage_gib", S::integer(0, kU16).or_null()),
                     req("reason", S::text())})),
      req("recommendation", package_shape().or_null()),
      req("installed", S::list(S::object({req("package", package_shape()),
                                          req("phase", phase_shape()), opt("job", job_shape())}))),
      req("accelerator_setup",
          S::object({req("boot_pack_id", S::text()),
                     req("status", S::object({req("state", S::one_of({"available", "queued",
                                                                      "staging", "restart_required",
                                                                      "active", "error"})),
                                              opt("message", S::text())})),
                     opt("job", job_shape())})
              .or_null()),
  }));
  return shape;
}

Json seed_models() {
  return Json::parse(R"json({
    "hardware": {"fit": "good", "memory_gib": 16, "accelerator": "Integrated GPU with shared memory",
                 "accelerator_memory_gib": null, "free_storage_gib": 212,
                 "reason": "Balanced for everyday tool use and this device's available system memory."},
    "recommendation": {
      "id": "lumen-8b-instruct", "name": "Lumen 8B Instruct",
      "description": "An instruction-tuned model for tool use, summaries and drafting that also reads images.",
      "source": "Kalu model catalogue", "revision": "2025.03.2", "license": "Apache-2.0",
      "license_url": "https://www.apache.org/licenses/LICENSE-2.0",
      "download_bytes": 4920000000, "installed_bytes": 5368709120,
      "vision": true, "face_recognition": false},
    "installed": [
      {"package": {
         "id": "lumen-3b-instruct", "name": "Lumen 3B Instruct",
         "description": "A compact instruction-tuned model that leaves room for the desktop and workspace apps.",
         "source": "Kalu model catalogue", "revision": "2024.11.1", "license": "Apache-2.0",
         "license_url": "https://www.apache.org/licenses/LICENSE-2.0",
         "download_bytes": 1932735283, "installed_bytes": 2147483648,
         "vision": false, "face_recognition": false},
       "phase": {"state": "ready", "running": true,
                 "endpoint": {"url": "http://127.0.0.1:8470/v1", "model_id": "lumen-3b-instruct"}}}
    ],
    "accelerator_setup": {"boot_pack_id": "kalu-accel-igpu-2025.03", "status": {"state": "available"}}
  })json");
}

}  // namespace sim_device::detail

namespace sim_device::simdev {

namespace {

using kalu_ui::fail;
using kalu_ui::Result;

constexpr std::string_view kName = "kalu-model-manager";
// A job's share spent downloading, then verifying (no percent), then unpacking.
constexpr double kDownloadShare = 0.7;
constexpr double kVerifiedAt = 0.8;
constexpr int kFirstPort = 8470;

Outcome out(std::string text) { return {0, std::move(text), {}}; }
Outcome err(int status, std::string_view text) {
  return {status, {}, fmt::format("{}: {}\n", kName, text)};
}

// How far along a job is, 0 to 1; a job without length is done.
double done_share(const Json& job, std::int64_t now) {
  const auto started = job["started_unix_ms"].get<std::int64_t>();
  const auto length = job["duration_ms"].get<std::int64_t>();
  if (length <= 0) return 1.0;
  return std::clamp(static_cast<double>(now - started) / static_cast<double>(length), 0.0, 1.0);
}

Json install_phase(const Json& package, double share) {
  if (share >= 1.0) return {{"state", "ready"}, {"running", false}};
  if (share < kDownloadShare) {
    const auto total = package["download_bytes"].get<std::uint64_t>();
    const auto downloaded =
        static_cast<std::uint64_t>(static_cast<double>(total) * (share / kDownloadShare));
    return {{"state", "downloading"},
            {"downloaded_bytes", std::min(downloaded, total)},
            {"total_bytes", total}};
  }
  if (share < kVerifiedAt) return {{"state", "installing"}, {"message", "Verifying the signature"}};
  const int percent =
      std::clamp(static_cast<int>((share - kVerifiedAt) / (1.0 - kVerifiedAt) * 100.0), 0, 99);
  return {{"state", "installing"}, {"message", "Unpacking the model"}, {"percent", percent}};
}

Json staging_status(double share) {
  if (share >= 1.0) return {{"state", "restart_required"}};
  return {{"state", share < 1.0 / 3.0 ? "queued" : "staging"}};
}

bool has_job(const Json& holder) {
  auto job = holder.find("job");
  return job != holder.end() && !job->is_null();
}

// Moves every job along by the time passed; a finished job is dropped.
void advance(Json& models, std::int64_t now) {
  for (auto& model : models["installed"]) {
    if (!has_job(model)) continue;
    const double share = done_share(model["job"], now);
    model["phase"] = install_phase(model["package"], share);
    if (share >= 1.0) model.erase("job");
  }
  Json& setup = models["accelerator_setup"];
  if (!setup.is_null() && has_job(setup)) {
    const double share = done_share(setup["job"], now);
    setup["status"] = staging_status(share);
    if (share >= 1.0) setup.erase("job");
  }
}

bool any_job(const Json& models) {
  const Json& setup = models["accelerator_setup"];
  return std::any_of(models["installed"].begin(), models["installed"].end(), has_job) ||
         (!setup.is_null() && has_job(setup));
}

Json new_job(const Json& state, std::string_view delay_name, std::int64_t now) {
  std::int64_t length = 0;
  auto found = state["delays"].find(fmt::format("{}.{}", kName, delay_name));
  if (found != state["delays"].end() && found->is_number_integer())
    length = found->get<std::int64_t>();
  return {{"started_unix_ms", now}, {"duration_ms", length}};
}

Json* find_installed(Json& models, const std::string& id) {
  for (auto& model : models["installed"]) {
    if (model["package"]["id"] == id) return &model;
  }
  return nullptr;
}

std::string state_of(const Json& model) { return model["phase"]["state"].get<std::string>(); }

// The first port from kFirstPort that no other running model serves on.
int free_port(const Json& models) {
  std::set<std::string> used;
  for (const auto& model : models["installed"]) {
    auto endpoint = model["phase"].find("endpoint");
    if (endpoint != model["phase"].end() && endpoint->is_object()) {
      used.insert((*endpoint)["url"].get<std::string>());
    }
  }
  int port = kFirstPort;
  while (used.contains(fmt::format("http://127.0.0.1:{}/v1", port))) ++port;
  return port;
}

// The command line, read strictly so that a caller passing a wrong option
// shows at once.
struct CommandLine {
  std::string command;
  std::optional<std::string> model;
  std::optional<std::string> revision;
  std::optional<std::string> format;
  bool accept_license = false;
};

Result<CommandLine> parse(const std::vector<std::string>& args) {
  if (args.empty()) return fail("no command given");
  CommandLine line;
  line.command = args[0];
  std::set<std::string_view> allowed;
  if (line.command == "snapshot") {
    allowed = {"--format"};
  } else if (line.command == "install") {
    allowed = {"--model", "--revision", "--accept-license"};
  } else if (line.command == "start" || line.command == "stop" || line.command == "remove") {
    allowed = {"--model"};
  } else if (line.command != "stage-accelerator") {
    return fail("unknown command \"{}\"", line.command);
  }
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string& option = args[i];
    if (!allowed.contains(option)) {
      return fail("{} takes no option \"{}\"", line.command, option);
    }
    if (option == "--accept-license") {
      line.accept_license = true;
      continue;
    }
    if (i + 1 >= args.size()) return fail("{} needs a value", option);
    std::string value = args[++i];
    if (option == "--model") line.model = std::move(value);
    if (option == "--revision") line.revision = std::move(value);
    if (option == "--format") line.format = std::move(value);
  }
  if (line.command == "snapshot" && line.format != "json") {
    return fail("snapshot prints only --format json");
  }
  if (allowed.contains("--model") && !line.model) {
    return fail("{} needs --model", line.command);
  }
  if (line.command == "install" && !line.revision) return fail("install needs --revision");
  return line;
}

Outcome snapshot(const Json& state) {
  Json models = state["models"];
  if (any_job(models)) {
    auto advanced = sim_device::update_with<Json>("", [](Json& next) -> Result<Json> {
      advance(next["models"], device_clock_unix_ms(next));
      return next["models"];
    });
    if (!advanced) return err(1, advanced.error());
    models = std::move(*advanced);
  }
  Json listed = Json::array();
  for (const auto& model : models["installed"]) {
    listed.push_back({{"package", model["package"]}, {"phase", model["phase"]}});
  }
  Json setup = nullptr;
  if (!models["accelerator_setup"].is_null()) {
    setup = {{"boot_pack_id", models["accelerator_setup"]["boot_pack_id"]},
             {"status", models["accelerator_setup"]["status"]}};
  }
  Json printed = {{"hardware", models["hardware"]},
                  {"recommendation", models["recommendation"]},
                  {"models", std::move(listed)},
                  {"accelerator_setup", std::move(setup)}};
  return out(printed.dump(2) + "\n");
}

using Edit = std::function<Result<std::string>(Json& state, std::int64_t now)>;

// Moves the jobs along, then applies `edit`; nothing is written when it fails.
Outcome change(const Edit& edit) {
  auto said = sim_device::update_with<std::string>("", [&](Json& state) -> Result<std::string> {
    const std::int64_t now = device_clock_unix_ms(state);
    advance(state["models"], now);
    return edit(state, now);
  });
  if (!said) return err(1, said.error());
  return out(*said + "\n");
}

Result<std::string> install(Json& state, std::int64_t now, const CommandLine& line) {
  if (!line.accept_license) return fail("the model licence must be accepted with --accept-license");
  Json& models = state["models"];
  const std::string& id = *line.model;
  Json* installed = find_installed(models, id);
  Json package;
  if (installed != nullptr) {
    package = (*installed)["package"];
  } else if (!models["recommendation"].is_null() && models["recommendation"]["id"] == id) {
    package = models["recommendation"];
  } else {
    return fail("no model \"{}\" is offered for this device", id);
  }
  if (package["revision"] != *line.revision) {
    return fail("{} is pinned at revision {}, not {}", id, package["revision"].get<std::string>(),
                *line.revision);
  }
  if (installed != nullptr) {
    const std::string phase = state_of(*installed);
    if (phase == "ready") return fmt::format("{} is already installed", id);
    if (phase != "error") return fmt::format("{} is already being installed", id);
    (*installed)["phase"] = install_phase(package, 0.0);
    (*installed)["job"] = new_job(state, "install", now);
    return fmt::format("Installing {} again", id);
  }
  Json phase = install_phase(package, 0.0);
  models["installed"].push_back({{"package", std::move(package)},
                                 {"phase", std::move(phase)},
                                 {"job", new_job(state, "install", now)}});
  return fmt::format("Installing {}", id);
}

Result<std::string> start(Json& state, const std::string& id) {
  Json& models = state["models"];
  Json* model = find_installed(models, id);
  if (model == nullptr) return fail("no installed model \"{}\"", id);
  const std::string phase = state_of(*model);
  if (phase == "error") return fail("{} did not install; install it again first", id);
  if (phase != "ready") return fail("{} is still being installed", id);
  if ((*model)["phase"].value("running", false)) return fmt::format("{} is already running", id);
  const std::string url = fmt::format("http://127.0.0.1:{}/v1", free_port(models));
  (*model)["phase"] = {
      {"state", "ready"}, {"running", true}, {"endpoint", {{"url", url}, {"model_id", id}}}};
  return fmt::format("{} serves at {}", id, url);
}

Result<std::string> stop(Json& state, const std::string& id) {
  Json* model = find_installed(state["models"], id);
  if (model == nullptr) return fail("no installed model \"{}\"", id);
  if (state_of(*model) != "ready") return fail("{} is not running", id);
  if (!(*model)["phase"].value("running", false)) return fmt::format("{} is already stopped", id);
  (*model)["phase"] = {{"state", "ready"}, {"running", false}};
  return fmt::format("Stopped {}", id);
}

Result<std::string> remove(Json& state, const std::string& id) {
  Json& installed = state["models"]["installed"];
  for (auto it = installed.begin(); it != installed.end(); ++it) {
    if ((*it)["package"]["id"] != id) continue;
    installed.erase(it);
    return fmt::format("Removed {}", id);
  }
  return fail("no installed model \"{}\"", id);
}

Result<std::string> stage_accelerator(Json& state, std::int64_t now) {
  Json& setup = state["models"]["accelerator_setup"];
  if (setup.is_null()) return fail("no signed accelerator stack matches this device");
  const std::string status = setup["status"]["state"].get<std::string>();
  if (status != "available" && status != "error") {
    return fmt::format("accelerator setup is already {}", status);
  }
  setup["status"] = staging_status(0.0);
  setup["job"] = new_job(state, "stage-accelerator", now);
  return fmt::format("Staging {} into the next boot deployment",
                     setup["boot_pack_id"].get<std::string>());
}

}  // namespace

Outcome kalu_model_manager(const std::vector<std::string>& args, const Json& state) {
  auto line = parse(args);
  if (!line) return err(2, line.error());
  const std::string& command = line->command;
  if (command == "snapshot") return snapshot(state);
  if (command == "install") {
    return change([&](Json& next, std::int64_t now) { return install(next, now, *line); });
  }
  if (command == "start")
    return change([&](Json& next, std::int64_t) { return start(next, *line->model); });
  if (command == "stop")
    return change([&](Json& next, std::int64_t) { return stop(next, *line->model); });
  if (command == "remove") {
    return change([&](Json& next, std::int64_t) { return remove(next, *line->model); });
  }
  return change([](Json& next, std::int64_t now) { return stage_accelerator(next, now); });
}

}  // namespace sim_device::simdev
