#include "system_ops/firmware.h"

#include <fmt/format.h>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

#include "access.h"
#include "kalu_ui/wake.h"

namespace system_ops::firmware {

using detail::find_item;
using detail::Json;
using detail::opt_text;
using kalu_ui::fail;
using kalu_ui::Result;
using kalu_ui::Status;

struct FirmwareInstallReceiver::Channel {
  std::mutex mutex;
  std::deque<FirmwareInstallEvent> events;
  bool closed = false;
  std::jthread job;

  void send(FirmwareInstallEvent event) {
    {
      std::lock_guard lock(mutex);
      if (closed) return;
      events.push_back(std::move(event));
    }
    kalu_ui::wake::wake_current();
  }
  void close() {
    {
      std::lock_guard lock(mutex);
      if (std::exchange(closed, true)) return;
    }
    kalu_ui::wake::wake_current();
  }
};

namespace {

FirmwareUpdate update_of(const Json& u) {
  return {u["device_id"].get<std::string>(),
          u["device_name"].get<std::string>(),
          u["requirements"].get<std::vector<std::string>>(),
          opt_text(u["current_version"]),
          opt_text(u["new_version"]),
          opt_text(u["note"]),
          u["restart_required"].get<bool>()};
}

Json history_of(const Json& u, const char* state, const std::optional<std::string>& error) {
  return Json{{"device_name", u["device_name"]},
              {"state", state},
              {"previous_version", u["current_version"]},
              {"new_version", u["new_version"]},
              {"error", detail::text_or_null(error)}};
}

// Applies the installation: the updates leave the list, the history gains an
// entry per device. Answers whether a restart activates them.
Result<bool> apply_install(const std::vector<std::string>& ids) {
  return device::update_with<bool>("firmware.install_job", [&](Json& state) -> Result<bool> {
    Json& firmware = state["firmware"];
    Json& updates = firmware["updates"];
    bool restart = false;
    Json history = Json::array();
    for (const auto& id : ids) {
      auto it = std::find_if(updates.begin(), updates.end(),
                             [&](const Json& u) { return u["device_id"] == id; });
      if (it == updates.end()) continue;
      restart |= (*it)["restart_required"].get<bool>();
      history.push_back(history_of(*it, "success", std::nullopt));
      updates.erase(it);
    }
    for (auto& entry : firmware["history"]) history.push_back(std::move(entry));
    firmware["history"] = std::move(history);
    return restart;
  });
}

void run_install(std::stop_token stop, FirmwareInstallSender& events,
                 const std::vector<FirmwareUpdate>& updates) {
  auto stopped = [&] { return stop.stop_requested(); };
  events.send(Preparing{updates.size()});
  std::vector<std::string> ids;
  for (std::size_t i = 0; i < updates.size(); ++i) {
    const auto& u = updates[i];
    ids.push_back(u.device_id);
    auto base = static_cast<unsigned>(i * 100 / updates.size());
    auto span = static_cast<unsigned>(100 / updates.size());
    events.send(Progress{fmt::format("Writing {}…", u.device_name),
                         static_cast<std::uint8_t>(base + span / 4)});
    device::wait_delay("firmware.install_job", stopped);
    events.send(Progress{fmt::format("Verifying {}…", u.device_name),
                         static_cast<std::uint8_t>(base + span * 3 / 4)});
    device::wait_delay("firmware.install_job", stopped);
  }
  auto restart = apply_install(ids);
  if (restart) {
    events.send(Progress{"Installed", 100});
    events.send(Finished{*restart});
  } else {
    events.send(Failed{restart.error()});
  }
  events.close();
}

}  // namespace

FirmwareInstallReceiver::FirmwareInstallReceiver(std::shared_ptr<Channel> channel)
    : channel_(std::move(channel)) {}
FirmwareInstallReceiver::FirmwareInstallReceiver(FirmwareInstallReceiver&&) noexcept = default;
FirmwareInstallReceiver& FirmwareInstallReceiver::operator=(FirmwareInstallReceiver&&) noexcept =
    default;
FirmwareInstallReceiver::~FirmwareInstallReceiver() {
  // The job is joined (its waits end at once on the stop request), so no
  // thread outlives the receiver.
  if (channel_) channel_->job = std::jthread();
}

FirmwareInstallSender::FirmwareInstallSender(
    std::shared_ptr<FirmwareInstallReceiver::Channel> channel)
    : channel_(std::move(channel)) {}
FirmwareInstallSender::FirmwareInstallSender(FirmwareInstallSender&&) noexcept = default;
FirmwareInstallSender& FirmwareInstallSender::operator=(FirmwareInstallSender&& other) noexcept {
  if (this != &other) {
    close();
    channel_ = std::move(other.channel_);
  }
  return *this;
}
FirmwareInstallSender::~FirmwareInstallSender() { close(); }

void FirmwareInstallSender::send(FirmwareInstallEvent event) {
  if (channel_) channel_->send(std::move(event));
}

void FirmwareInstallSender::close() {
  if (channel_) channel_->close();
}

std::pair<FirmwareInstallSender, FirmwareInstallReceiver> install_channel() {
  auto channel = std::make_shared<FirmwareInstallReceiver::Channel>();
  return {FirmwareInstallSender(channel), FirmwareInstallReceiver(channel)};
}

FirmwareInstallReceiver::Poll FirmwareInstallReceiver::try_receive(FirmwareInstallEvent& out) {
  std::lock_guard lock(channel_->mutex);
  if (!channel_->events.empty()) {
    out = std::move(channel_->events.front());
    channel_->events.pop_front();
    return Poll::Event;
  }
  return channel_->closed ? Poll::Closed : Poll::Empty;
}

Status refresh_firmware_metadata() {
  device::wait_delay("firmware.refresh_firmware_metadata");
  return device::update("firmware.refresh_firmware_metadata", [&](Json& state) -> Status {
    Json& firmware = state["firmware"];
    for (auto& u : firmware["pending_metadata"]) {
      if (find_item(firmware["updates"], "device_id", u["device_id"]) == nullptr) {
        firmware["updates"].push_back(std::move(u));
      }
    }
    firmware["pending_metadata"] = Json::array();
    return {};
  });
}

Result<std::vector<FirmwareUpdate>> get_firmware_updates() {
  auto firmware = device::section("firmware.get_firmware_updates", "firmware");
  if (!firmware) return fail(firmware.error());
  std::vector<FirmwareUpdate> out;
  for (const auto& u : (*firmware)["updates"]) out.push_back(update_of(u));
  return out;
}

Result<std::vector<FirmwareHistoryEntry>> get_firmware_history() {
  auto firmware = device::section("firmware.get_firmware_history", "firmware");
  if (!firmware) return fail(firmware.error());
  std::vector<FirmwareHistoryEntry> out;
  for (const auto& h : (*firmware)["history"]) {
    out.push_back({h["device_name"].get<std::string>(), h["state"].get<std::string>(),
                   opt_text(h["previous_version"]), opt_text(h["new_version"]),
                   opt_text(h["error"])});
  }
  return out;
}

Result<FirmwareInstallReceiver> start_firmware_install(const std::vector<FirmwareUpdate>& updates) {
  auto firmware = device::section("firmware.start_firmware_install", "firmware");
  if (!firmware) return fail(firmware.error());
  if (updates.empty()) return fail("there are no firmware updates to install");
  for (const auto& u : updates) {
    if (find_item((*firmware)["updates"], "device_id", u.device_id) == nullptr) {
      return fail("the update for {} is no longer offered", u.device_name);
    }
  }
  auto channel = std::make_shared<FirmwareInstallReceiver::Channel>();
  try {
    // The job's sender closes the channel however the job ends. The receiver
    // joins the job before it lets the channel go, so the job's share never
    // outlives it.
    channel->job =
        std::jthread([sender = FirmwareInstallSender(channel), updates](
                         std::stop_token stop) mutable { run_install(stop, sender, updates); });
  } catch (const std::system_error& e) {
    return fail("the installation could not start: {}", e.what());
  }
  return FirmwareInstallReceiver(channel);
}

}  // namespace system_ops::firmware
