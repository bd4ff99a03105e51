#pragma once

// What the transport tests share: a small application with resources and
// operations, served over a real socket by a UI thread of its own, in a
// temporary runtime directory.

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "kalu_actions/resource.h"
#include "kalu_ui/host.h"
#include "kalu_ui/host_client.h"
#include "kalu_ui/wake.h"
#include "widget_contract/widget.h"

namespace transport_testing {

using kalu_actions::ActionArgs;
using kalu_actions::ActionSpec;
using kalu_actions::EncodedAction;
using kalu_actions::Resource;

// A root widget with two resources and operations that finish two frames
// after they were started ("test.failing-operation" with a failure).
class FakeApp final : public kalu_ui::Widget {
 public:
  std::string_view type_name() const override { return "test::FakeApp"; }
  kalu_ui::layout::NodeId build_layout(kalu_ui::layout::LayoutTree&, const kalu_ui::RenderContext&,
                                       kalu_ui::layout::NodeRegistry&) override {
    return {};
  }
  void apply_layout(const kalu_ui::layout::LayoutTree&, kalu_ui::layout::NodeId, double,
                    double) override {}
  void draw(kalu_ui::Scene&, const kalu_ui::Affine&, kalu_ui::text::TextRenderer&,
            const kalu_ui::Theme&, kalu_ui::DrawContext&) override {}
  kalu_ui::Rect get_rect() const override { return {}; }

  std::vector<Resource> resources(const kalu_ui::doc::Document&) const override {
    ++listings;
    wait_if_held();
    if (const int cost = cost_us; cost > 0) {
      std::this_thread::sleep_for(std::chrono::microseconds(cost));
    }
    auto lamp =
        Resource::create("test.lamp:1", "test.lamp", "Lamp")
            .with_action(*ActionSpec::nullary("open", "Open lamp",
                                              kalu_actions::kOperationInterface, "test.open",
                                              kalu_actions::json_string("lamp")))
            .with_action(ActionSpec::typed(
                "power", "Power", "On or off", kalu_actions::kOperationEffect,
                "test.slow-operation",
                {kalu_actions::ActionParam::make("value", "Enabled",
                                                 kalu_actions::ParamKind::Boolean)},
                [](const ActionArgs& args) {
                  return EncodedAction::from_text("test.slow-operation", args.to_json());
                }))
            .with_action(*ActionSpec::nullary("break", "Break lamp", kalu_actions::kOperationEffect,
                                              "test.failing-operation", std::string("{}")));
    auto fan = Resource::create("test.fan:2", "test.fan", "Fan");
    return {Resource::create("test.root", "test.root", "Test")
                .with_child(std::move(lamp))
                .with_child(std::move(fan))};
  }
  std::optional<Resource> resource_by_id(const kalu_ui::doc::Document& document,
                                         std::string_view id) const override {
    if (recording) {
      std::lock_guard lock(asked_mutex);
      asked.emplace_back(id);
    }
    auto tree = resources(document);
    if (const Resource* hit = tree[0].find(id)) return *hit;
    return std::nullopt;
  }

  kalu_ui::DeviceLocalOutcome start_resource_operation_with_document(
      const kalu_ui::ResourceOperationId& id, kalu_ui::OperationKind kind,
      std::string_view action_id, kalu_ui::Payload payload,
      kalu_ui::ResourceOperationContext& context) override {
    if ((action_id == "test.slow-operation" || action_id == "test.failing-operation") &&
        kind == 1) {
      running_.push_back({id, 2, std::string(payload.begin(), payload.end()),
                          action_id == "test.failing-operation"});
      return kalu_ui::DeviceLocalOutcome::accepted();
    }
    if (action_id == "test.refused") return kalu_ui::DeviceLocalOutcome::rejected("no, thanks");
    return Widget::start_resource_operation_with_document(id, kind, action_id, payload, context);
  }
  kalu_ui::Result<bool> invoke_resource_operation(kalu_ui::OperationKind kind,
                                                  std::string_view action_id, kalu_ui::Payload,
                                                  kalu_ui::ResourceOperationContext&) override {
    if (action_id == "test.open" && kind == 2) {
      ++opened;
      return true;
    }
    return false;
  }
  std::optional<kalu_ui::ResourceOperationStatus> poll_resource_operation(
      const kalu_ui::ResourceOperationId& id, bool, kalu_ui::ResourceOperationContext&) override {
    for (auto it = running_.begin(); it != running_.end(); ++it) {
      if (it->id != id) continue;
      if (it->frames_left > 0) return std::nullopt;
      kalu_ui::ResourceOperationOutcome outcome{"done", kalu_actions::json_string(it->payload)};
      const bool fails = it->fails;
      running_.erase(it);
      if (fails) {
        return kalu_ui::ResourceOperationStatus{kalu_ui::ResourceOperationStatus::Failed{
            "test_failed", "the lamp broke", std::nullopt, false, id}};
      }
      return kalu_ui::ResourceOperationStatus{
          kalu_ui::ResourceOperationStatus::Succeeded{outcome, id}};
    }
    return std::nullopt;
  }

  void frame() {
    for (auto& op : running_) op.frames_left -= op.frames_left > 0 ? 1 : 0;
  }

  // The next listing holds the UI thread inside it until `release`, so the
  // test can act while the application is busy.
  void hold_next() {
    std::lock_guard lock(hold_mutex_);
    hold_ = Hold::kNext;
  }
  // Waits until the held listing has begun (a minute at most).
  bool wait_held() {
    std::unique_lock lock(hold_mutex_);
    return hold_changed_.wait_for(lock, std::chrono::seconds(60),
                                  [&] { return hold_ == Hold::kHolding; });
  }
  void release() {
    std::lock_guard lock(hold_mutex_);
    hold_ = Hold::kNone;
    hold_changed_.notify_all();
  }

  int opened = 0;
  mutable std::atomic<int> listings{0};
  // Time each listing takes, so that a backlog of requests lasts a while.
  std::atomic<int> cost_us{0};
  // The resource ids looked up, in order, while recording.
  std::atomic<bool> recording{false};
  mutable std::mutex asked_mutex;
  mutable std::vector<std::string> asked;

 private:
  enum class Hold { kNone, kNext, kHolding };
  void wait_if_held() const {
    std::unique_lock lock(hold_mutex_);
    if (hold_ != Hold::kNext) return;
    hold_ = Hold::kHolding;
    hold_changed_.notify_all();
    hold_changed_.wait(lock, [&] { return hold_ != Hold::kHolding; });
  }

  mutable std::mutex hold_mutex_;
  mutable std::condition_variable hold_changed_;
  mutable Hold hold_ = Hold::kNone;

  struct Running {
    kalu_ui::ResourceOperationId id;
    int frames_left;
    std::string payload;
    bool fails = false;
  };
  std::vector<Running> running_;
};

// A plain blocking connection to the socket, for clients that misbehave;
// -1 when it cannot connect.
inline int connect_raw(const std::string& path) {
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, path.c_str(), sizeof(address.sun_path) - 1);
  if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

// A fresh directory as XDG_RUNTIME_DIR, removed at the end.
class RuntimeDir {
 public:
  RuntimeDir() {
    char tmpl[] = "/tmp/kalu-runtime-XXXXXX";
    if (::mkdtemp(tmpl) != nullptr) path = tmpl;
    ::setenv("XDG_RUNTIME_DIR", path.c_str(), 1);
  }
  ~RuntimeDir() {
    std::error_code ignored;
    if (!path.empty()) std::filesystem::remove_all(path, ignored);
  }
  RuntimeDir(const RuntimeDir&) = delete;
  RuntimeDir& operator=(const RuntimeDir&) = delete;
  std::string path;
};

// An application's host served as the frame loop serves it: one pump and one
// frame per wake-up, on a UI thread of its own, so frames happen only when
// requests arrive and the two-frame operation is deterministic.
class ServedApp {
 public:
  ServedApp(const std::string& app_id, kalu_ui::host::TransportOptions options)
      : host(app_id, std::move(options)) {
    started = host.start(kalu_ui::wake::WakeHandle::bound_to(waker_)).has_value();
    if (!started) return;
    loop_ = std::thread([this] {
      while (!stop_) {
        if (!waker_->wait_until(kalu_ui::Instant::now() + std::chrono::milliseconds(20))) continue;
        host.pump(app, document_);
        app.frame();
      }
    });
  }
  ~ServedApp() {
    stop_ = true;
    app.release();
    if (loop_.joinable()) loop_.join();
  }
  ServedApp(const ServedApp&) = delete;
  ServedApp& operator=(const ServedApp&) = delete;

  kalu_ui::host::Connection connect() {
    auto c = kalu_ui::host::Connection::open(host.socket_path());
    EXPECT_TRUE(c.has_value());
    return std::move(*c);
  }

  FakeApp app;
  kalu_ui::host::AutomationHost host;
  bool started = false;

 private:
  std::shared_ptr<kalu_ui::wake::Waker> waker_ = std::make_shared<kalu_ui::wake::Waker>();
  kalu_ui::doc::Document document_;
  std::atomic<bool> stop_{false};
  std::thread loop_;
};

}  // namespace transport_testing
