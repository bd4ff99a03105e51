#include "system_ops/printing.h"

#include <fmt/format.h>

#include <array>

#include "access.h"

namespace system_ops::printing {

namespace {

using detail::find_item;
using detail::Json;
using kalu_ui::fail;
using kalu_ui::Result;
using kalu_ui::Status;

constexpr std::array<const char*, 4> kQueueStates = {"ready", "printing", "paused", "offline"};
constexpr std::array<const char*, 7> kJobStates = {"pending",  "held",    "processing", "stopped",
                                                   "canceled", "aborted", "completed"};

template <typename E, std::size_t N>
E state_of(const Json& text, const std::array<const char*, N>& names) {
  for (std::size_t i = 0; i < N; ++i) {
    if (text == names[i]) return static_cast<E>(i);
  }
  return static_cast<E>(0);
}

// A job may report no state (absent or null), or one this list does not know.
std::optional<JobState> job_state_of(const Json& job) {
  const auto state = job.find("state");
  if (state == job.end() || state->is_null()) return std::nullopt;
  for (std::size_t i = 0; i < kJobStates.size(); ++i) {
    if (*state == kJobStates[i]) return static_cast<JobState>(i);
  }
  return JobState::Unrecognized;
}

std::optional<std::uint8_t> supply_level_of(const Json& supply) {
  const auto level = supply.find("level");
  if (level == supply.end() || level->is_null()) return std::nullopt;
  return level->get<std::uint8_t>();
}

Result<Json> printing_section(std::string_view op) { return device::section(op, "printing"); }

Status change_queue(std::string_view op, const std::string& name,
                    const std::function<Status(Json& printing, Json& queue)>& edit) {
  return device::update(op, [&](Json& state) -> Status {
    Json& printing = state["printing"];
    Json* queue = find_item(printing["queues"], "name", name);
    if (queue == nullptr) return fail("no printer queue is named {}", name);
    return edit(printing, *queue);
  });
}

Status change_job(std::string_view op, std::uint32_t id,
                  const std::function<Status(Json& job)>& edit) {
  return device::update(op, [&](Json& state) -> Status {
    Json* job = find_item(state["printing"]["jobs"], "id", id);
    if (job == nullptr) return fail("no print job has the id {}", id);
    return edit(*job);
  });
}

}  // namespace

std::optional<std::uint8_t> PrintJob::progress_percent() const {
  if (pages_expected == 0) return std::nullopt;
  auto done = std::min(pages_completed, pages_expected);
  return static_cast<std::uint8_t>(static_cast<std::uint64_t>(done) * 100 / pages_expected);
}

Result<std::vector<PrintQueue>> queues() {
  auto printing = printing_section("printing.queues");
  if (!printing) return fail(printing.error());
  std::vector<PrintQueue> out;
  for (const auto& q : (*printing)["queues"]) {
    PrintQueue queue;
    queue.name = q["name"].get<std::string>();
    queue.is_default = q["default"].get<bool>();
    queue.accepting_jobs = q["accepting_jobs"].get<bool>();
    queue.state = state_of<QueueState>(q["state"], kQueueStates);
    queue.detail = q["detail"].get<std::string>();
    queue.detail2 = detail::opt_text(q["detail2"]);
    queue.supply_levels_unreported = !q["supply_levels_reported"].get<bool>();
    if (!q["supplies"].empty()) {
      LiveDetails live;
      for (const auto& s : q["supplies"]) {
        live.supplies.push_back({s["name"].get<std::string>(), supply_level_of(s)});
      }
      queue.live = std::move(live);
    }
    out.push_back(std::move(queue));
  }
  return out;
}

Result<std::vector<PrintJob>> jobs() {
  auto printing = printing_section("printing.jobs");
  if (!printing) return fail(printing.error());
  std::vector<PrintJob> out;
  for (const auto& j : (*printing)["jobs"]) {
    out.push_back({j["id"].get<std::uint32_t>(), j["destination"].get<std::string>(),
                   j["title"].get<std::string>(), j["owner"].get<std::string>(),
                   detail::opt_text(j["extra"]), j["size_bytes"].get<std::uint64_t>(),
                   job_state_of(j), j["pages_completed"].get<std::uint32_t>(),
                   j["pages_expected"].get<std::uint32_t>()});
  }
  return out;
}

Result<std::vector<DriverlessPrinter>> discover_driverless() {
  device::wait_delay("printing.discover_driverless");
  auto printing = printing_section("printing.discover_driverless");
  if (!printing) return fail(printing.error());
  std::vector<DriverlessPrinter> out;
  for (const auto& p : (*printing)["nearby"]) {
    out.push_back({p["name"].get<std::string>(), p["uri"].get<std::string>()});
  }
  return out;
}

Result<std::vector<Scanner>> scanners() {
  auto printing = printing_section("printing.scanners");
  if (!printing) return fail(printing.error());
  std::vector<Scanner> out;
  for (const auto& s : (*printing)["scanners"]) {
    out.push_back({s["name"].get<std::string>(), s["detail"].get<std::string>()});
  }
  return out;
}

Status add_driverless(const std::string& name, const std::string& uri) {
  return device::update("printing.add_driverless", [&](Json& state) -> Status {
    Json& printing = state["printing"];
    Json& nearby = printing["nearby"];
    auto it = std::find_if(nearby.begin(), nearby.end(),
                           [&](const Json& p) { return p["name"] == name && p["uri"] == uri; });
    if (it == nearby.end()) return fail("{} is no longer nearby", name);
    if (find_item(printing["queues"], "name", name) != nullptr) {
      return fail("a printer queue named {} already exists", name);
    }
    printing["queues"].push_back(Json{{"name", name},
                                      {"default", printing["queues"].empty()},
                                      {"accepting_jobs", true},
                                      {"state", "ready"},
                                      {"detail", "Driverless printer"},
                                      {"detail2", uri},
                                      {"supplies", Json::array()},
                                      {"supply_levels_reported", false}});
    nearby.erase(it);
    return {};
  });
}

kalu_ui::Result<bool> set_default(const std::string& queue) {
  bool changed = false;
  auto done = change_queue("printing.set_default", queue, [&](Json& printing, Json& q) -> Status {
    changed = q["default"] != true;
    for (auto& other : printing["queues"]) other["default"] = other["name"] == queue;
    return {};
  });
  if (!done) return std::unexpected(std::move(done.error()));
  return changed;
}

Status set_enabled(const std::string& queue, bool enabled) {
  return change_queue("printing.set_enabled", queue, [&](Json& printing, Json& q) -> Status {
    bool busy = false;
    for (const auto& j : printing["jobs"]) {
      busy |= j["destination"] == queue && job_state_of(j) == JobState::Processing;
    }
    if (enabled) {
      if (q["state"] == "paused") q["state"] = busy ? "printing" : "ready";
    } else {
      q["state"] = "paused";
    }
    return {};
  });
}

Status remove_queue(const std::string& queue) {
  return device::update("printing.remove_queue", [&](Json& state) -> Status {
    Json& printing = state["printing"];
    Json& list = printing["queues"];
    auto it =
        std::find_if(list.begin(), list.end(), [&](const Json& q) { return q["name"] == queue; });
    if (it == list.end()) return fail("no printer queue is named {}", queue);
    bool was_default = (*it)["default"] == true;
    list.erase(it);
    if (was_default && !list.empty()) list[0]["default"] = true;
    Json& jobs = printing["jobs"];
    jobs.erase(std::remove_if(jobs.begin(), jobs.end(),
                              [&](const Json& j) { return j["destination"] == queue; }),
               jobs.end());
    return {};
  });
}

Status cancel_job(std::uint32_t id) {
  return device::update("printing.cancel_job", [&](Json& state) -> Status {
    Json& jobs = state["printing"]["jobs"];
    auto it = std::find_if(jobs.begin(), jobs.end(), [&](const Json& j) { return j["id"] == id; });
    if (it == jobs.end()) return fail("no print job has the id {}", id);
    jobs.erase(it);
    return {};
  });
}

bool can_retry(std::optional<JobState> state) {
  return state == JobState::Held || state == JobState::Stopped || state == JobState::Aborted;
}

kalu_ui::Result<bool> retry_job(std::uint32_t id) {
  bool changed = false;
  auto done = change_job("printing.retry_job", id, [&](Json& job) -> Status {
    const std::optional<JobState> state = job_state_of(job);
    if (state == JobState::Processing || state == JobState::Pending) return {};
    if (state == JobState::Completed || state == JobState::Canceled) {
      return fail("print job {} has ended and cannot be retried", id);
    }
    // Without a known state nothing tells whether the job ended.
    if (!state || state == JobState::Unrecognized) {
      return fail("print job {} reports no state it can be retried from", id);
    }
    job["state"] = "pending";
    job["pages_completed"] = 0;
    changed = true;
    return {};
  });
  if (!done) return std::unexpected(std::move(done.error()));
  return changed;
}

}  // namespace system_ops::printing
