#include "prefs_store/display.h"

#include <fmt/format.h>
#include <pthread.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "sim_device/display.h"
#include "sim_device/state.h"

namespace prefs_store {

namespace {

namespace device = ::sim_device;
using device::Json;
using kalu_ui::fail;
using kalu_ui::Result;
using kalu_ui::Status;

constexpr const char* kTransforms[] = {"normal", "rotate90", "rotate180", "rotate270"};

std::int64_t now_unix_ms() { return device::display::clock_unix_ms(); }

std::optional<std::string> opt_text(const Json& v) {
  return v.is_string() ? std::optional<std::string>(v.get<std::string>()) : std::nullopt;
}

OutputMode mode_of(const Json& m) {
  return {m["width"].get<std::uint32_t>(), m["height"].get<std::uint32_t>(),
          m["refresh_mhz"].get<std::uint32_t>()};
}

Json mode_json(const OutputMode& m) {
  return Json{{"width", m.width}, {"height", m.height}, {"refresh_mhz", m.refresh_mhz}};
}

OutputConfig config_of(const Json& c) {
  OutputConfig out;
  out.mirror = opt_text(c["mirror"]);
  out.color_profile = opt_text(c["color_profile"]);
  if (!c["mode"].is_null()) out.mode = mode_of(c["mode"]);
  out.scale = c["scale"].get<double>();
  out.position = {c["x"].get<std::int32_t>(), c["y"].get<std::int32_t>()};
  out.enabled = c["enabled"].get<bool>();
  out.primary = c["primary"].get<bool>();
  out.hdr = c["hdr"].get<bool>();
  out.vrr = c["vrr"].get<bool>();
  for (int i = 0; i < 4; ++i) {
    if (c["transform"] == kTransforms[i]) out.transform = static_cast<OutputTransform>(i);
  }
  return out;
}

Json config_json(const OutputConfig& c) {
  return Json{{"enabled", c.enabled},
              {"primary", c.primary},
              {"scale", c.scale},
              {"x", c.position.x},
              {"y", c.position.y},
              {"transform", kTransforms[static_cast<int>(c.transform)]},
              {"mirror", c.mirror ? Json(*c.mirror) : Json(nullptr)},
              {"color_profile", c.color_profile ? Json(*c.color_profile) : Json(nullptr)},
              {"mode", c.mode ? mode_json(*c.mode) : Json(nullptr)},
              {"hdr", c.hdr},
              {"vrr", c.vrr}};
}

DisplayConfig display_config_of(const Json& map) {
  DisplayConfig out;
  for (const auto& [connector, c] : map.items()) out.outputs.emplace(connector, config_of(c));
  return out;
}

Json display_config_json(const DisplayConfig& config) {
  Json map = Json::object();
  for (const auto& [connector, c] : config.outputs) map[connector] = config_json(c);
  return map;
}

OutputDescriptor descriptor_of(const Json& o) {
  OutputDescriptor out;
  out.connector = o["connector"].get<std::string>();
  out.name = o["name"].get<std::string>();
  for (const auto& m : o["modes"]) out.modes.push_back(mode_of(m));
  if (!o["current_mode"].is_null()) out.current_mode = mode_of(o["current_mode"]);
  for (const auto& [id, name] : o["color_profiles"].items()) {
    out.color_profiles.push_back(id);
    out.color_profile_names.emplace(id, name.get<std::string>());
  }
  out.hdr_note = opt_text(o["hdr_note"]);
  out.vrr_note = opt_text(o["vrr_note"]);
  out.internal = o["internal"].get<bool>();
  out.hdr_controllable = o["hdr_controllable"].get<bool>();
  out.hdr_capable = o["hdr_capable"].get<bool>();
  out.vrr_controllable = o["vrr_controllable"].get<bool>();
  out.vrr_capable = o["vrr_capable"].get<bool>();
  return out;
}

DisplayHardwareSnapshot snapshot_of(const Json& display) {
  DisplayHardwareSnapshot snapshot;
  snapshot.live_capabilities = true;
  for (const auto& o : display["outputs"]) {
    std::string card = o["card"].get<std::string>();
    auto it = std::find_if(snapshot.cards.begin(), snapshot.cards.end(),
                           [&](const GraphicsCard& c) { return c.name == card; });
    if (it == snapshot.cards.end()) {
      snapshot.cards.push_back({card, {}});
      it = snapshot.cards.end() - 1;
    }
    it->outputs.push_back(descriptor_of(o));
  }
  return snapshot;
}

const HardwareOutput* find_output(const HardwareView& hardware, const std::string& connector) {
  for (const auto& h : hardware) {
    if (h.connector == connector) return &h;
  }
  return nullptr;
}

// Makes `config` the device's configuration: the outputs show its modes.
void apply_config(Json& display, const DisplayConfig& config) {
  device::display::apply_config(display, display_config_json(config));
}

DisplayTransaction transaction_of(const Json& t) {
  DisplayTransaction out;
  out.id = t["id"].get<std::uint64_t>();
  out.state = t["state"].get<std::uint8_t>();
  if (!t["deadline_unix_ms"].is_null())
    out.deadline_unix_ms = t["deadline_unix_ms"].get<std::int64_t>();
  out.message = opt_text(t["message"]);
  out.previous = display_config_of(t["previous"]);
  out.requested = display_config_of(t["requested"]);
  return out;
}

// Runs `edit` on the testing transaction `id`. The device has ended an
// overdue test before the edit runs (sim_device/display.h).
Status change_test(std::string_view op, std::uint64_t id,
                   const std::function<void(Json& display, Json& transaction)>& edit) {
  auto ended = device::update_with<bool>(op, [&](Json& state) -> Result<bool> {
    Json& display = state["display"];
    Json& t = display["transaction"];
    if (t.is_null() || t["id"] != id) return fail("that display change is no longer current");
    if (t["state"] == DisplayTransaction::kReverted &&
        t["message"] == device::display::kExpiredMessage) {
      return true;
    }
    if (t["state"] != DisplayTransaction::kTesting) {
      return fail("that display change is no longer being tested");
    }
    edit(display, t);
    return false;
  });
  if (!ended) return fail(ended.error());
  if (*ended) return fail("the test ended before it was kept; the previous layout is back");
  return {};
}

// The thread that restores the layout at a safety test's deadline. It reads
// the device when asked to look and at each deadline (reading ends an
// overdue test), and otherwise sleeps.
class SafetyWatch {
 public:
  ~SafetyWatch() {
    {
      std::lock_guard lock(mutex_);
      stop_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable()) thread_.join();
  }

  void look() {
    {
      std::lock_guard lock(mutex_);
      look_ = true;
      if (!thread_.joinable()) thread_ = std::thread([this] { run(); });
    }
    wake_.notify_all();
  }

 private:
  // A restore that could not be written is tried again this much later.
  static constexpr std::chrono::milliseconds kRetry{250};

  void run() {
    ::pthread_setname_np(::pthread_self(), "display-safety");
    std::unique_lock lock(mutex_);
    while (!stop_) {
      look_ = false;
      lock.unlock();
      const std::optional<std::chrono::milliseconds> wait = until_deadline();
      lock.lock();
      if (stop_ || look_) continue;
      const auto woken = [this] { return stop_ || look_; };
      if (wait) {
        wake_.wait_for(lock, *wait, woken);
      } else {
        wake_.wait(lock, woken);
      }
    }
  }

  // How long until the deadline of the test the device still runs; none
  // when it runs none. Reading the device ends a test that is overdue.
  static std::optional<std::chrono::milliseconds> until_deadline() {
    const std::optional<DisplayTransaction> t = DisplayTransaction::load();
    if (!t || t->state != DisplayTransaction::kTesting || !t->deadline_unix_ms) return std::nullopt;
    const std::int64_t left = *t->deadline_unix_ms - now_unix_ms();
    return left > 0 ? std::chrono::milliseconds(left) : kRetry;
  }

  std::mutex mutex_;
  std::condition_variable wake_;
  bool stop_ = false;
  bool look_ = false;
  std::thread thread_;
};

}  // namespace

void watch_display_safety_test() {
  static SafetyWatch watch;
  watch.look();
}

std::string OutputMode::label() const {
  std::string hz = refresh_mhz % 1000 == 0 ? fmt::format("{}", refresh_mhz / 1000)
                                           : fmt::format("{:.2f}", refresh_mhz / 1000.0);
  if (hz.find('.') != std::string::npos) {
    while (hz.back() == '0') hz.pop_back();
  }
  return fmt::format("{} × {} · {} Hz", width, height, hz);
}

DisplayHardwareSnapshot DisplayHardwareSnapshot::load() {
  auto display = device::section("display.load_snapshot", "display");
  if (!display) return {};
  return snapshot_of(*display);
}

std::optional<std::string> DisplayHardwareSnapshot::card_qualifier(std::size_t card) const {
  if (cards.size() < 2 || card >= cards.size()) return std::nullopt;
  return cards[card].name;
}

std::optional<std::filesystem::path> display_snapshot_path() {
  auto path = device::display_snapshot_file();
  if (path.empty()) return std::nullopt;
  return path;
}

HardwareView hardware_view(const DisplayHardwareSnapshot& snapshot) {
  HardwareView view;
  for (const auto& card : snapshot.cards) {
    for (const auto& o : card.outputs) {
      view.push_back(
          {o.connector, o.name, o.modes, o.color_profiles, o.hdr_controllable, o.vrr_controllable});
    }
  }
  return view;
}

DisplayConfig DisplayConfig::load() {
  auto display = device::section("display.load_config", "display");
  if (!display) return {};
  return display_config_of((*display)["config"]);
}

Status DisplayConfig::validate_for(const HardwareView& hardware) const {
  bool any_enabled = false;
  for (const auto& h : hardware) {
    auto it = outputs.find(h.connector);
    any_enabled |= it == outputs.end() || it->second.enabled;
  }
  if (!any_enabled) return fail("At least one display must stay enabled.");
  for (const auto& [connector, c] : outputs) {
    const HardwareOutput* h = find_output(hardware, connector);
    if (h == nullptr) continue;  // not connected: its settings wait for it
    if (c.mirror) {
      if (*c.mirror == connector) return fail("{} cannot mirror itself.", connector);
      if (find_output(hardware, *c.mirror) == nullptr) {
        return fail("{} mirrors {}, which is not connected.", connector, *c.mirror);
      }
      auto target = outputs.find(*c.mirror);
      if (target != outputs.end() && target->second.mirror) {
        return fail(
            "{} mirrors {}, which mirrors another display; mirror that one "
            "directly.",
            connector, *c.mirror);
      }
    }
    if (c.mode && std::find(h->modes.begin(), h->modes.end(), *c.mode) == h->modes.end()) {
      return fail("{} is not a mode of {}.", c.mode->label(), connector);
    }
    if (c.color_profile && std::find(h->color_profiles.begin(), h->color_profiles.end(),
                                     *c.color_profile) == h->color_profiles.end()) {
      return fail("Colour profile {} is not available for {}.", *c.color_profile, connector);
    }
    if (c.hdr && !h->hdr_supported) return fail("HDR is not available for {}.", connector);
    if (c.vrr && !h->vrr_supported) {
      return fail("Variable refresh rate is not available for {}.", connector);
    }
    if (!(c.scale >= 0.5 && c.scale <= 4.0)) {
      return fail("The scale of {} must be between 50% and 400%.", connector);
    }
  }
  return {};
}

std::optional<DisplayTransaction> DisplayTransaction::load() {
  // The device has ended an overdue test before answering (state.h).
  auto display = device::section("display.load_transaction", "display");
  if (!display || (*display)["transaction"].is_null()) return std::nullopt;
  return transaction_of((*display)["transaction"]);
}

Result<DisplayTransaction> DisplayTransaction::request(const DisplayConfig& config) {
  const std::int64_t now = now_unix_ms();
  auto requested = device::update_with<DisplayTransaction>(
      "display.request", [&](Json& state) -> Result<DisplayTransaction> {
        Json& display = state["display"];
        if (!display["transaction"].is_null() && display["transaction"]["state"] == kTesting) {
          return fail("A display change is still being tested; keep or revert it first.");
        }
        DisplayTransaction t;
        t.id = display["next_transaction_id"].get<std::uint64_t>();
        display["next_transaction_id"] = t.id + 1;
        t.previous = display_config_of(display["config"]);
        t.requested = config;
        if (auto ok = config.validate_for(hardware_view(snapshot_of(display))); !ok) {
          t.state = kRejected;
          t.message = ok.error();
        } else {
          apply_config(display, config);
          t.state = kTesting;
          t.deadline_unix_ms = now + device::display::safety_test_millis(state);
        }
        display["transaction"] = Json{
            {"id", t.id},
            {"state", t.state},
            {"deadline_unix_ms", t.deadline_unix_ms ? Json(*t.deadline_unix_ms) : Json(nullptr)},
            {"message", t.message ? Json(*t.message) : Json(nullptr)},
            {"previous", display_config_json(t.previous)},
            {"requested", display_config_json(t.requested)}};
        return t;
      });
  if (requested && requested->state == kTesting) watch_display_safety_test();
  return requested;
}

Status DisplayTransaction::request_confirmation(const DisplayTransaction& transaction) {
  return change_test("display.request_confirmation", transaction.id, [](Json&, Json& t) {
    t["state"] = kKept;
    t["message"] = nullptr;
  });
}

Status DisplayTransaction::request_revert(const DisplayTransaction& transaction) {
  return change_test("display.request_revert", transaction.id, [](Json& display, Json& t) {
    apply_config(display, display_config_of(t["previous"]));
    t["state"] = kReverted;
    t["message"] = nullptr;
  });
}

std::int64_t display_clock_unix_ms() { return now_unix_ms(); }

ScopedDisplayClock::ScopedDisplayClock(std::function<std::int64_t()> clock)
    : clock_(std::move(clock)) {}

}  // namespace prefs_store
