// Runs the real settingsctl against a small application host over a real
// socket in a temporary runtime directory.

#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>
#include <thread>

#include "kalu_actions/resource.h"
#include "kalu_ui/host.h"
#include "kalu_ui/host_client.h"
#include "kalu_ui/wake.h"
#include "widget_contract/widget.h"

namespace {

using Json = nlohmann::ordered_json;
using kalu_actions::ActionArgs;
using kalu_actions::ActionSpec;
using kalu_actions::EncodedAction;
using kalu_actions::Resource;

constexpr std::size_t kLineCap = 4096;

// A root widget with two resources and operations that finish two frames
// after they were started.
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
    auto lamp = Resource::create("test.lamp:1", "test.lamp", "Lamp")
                    .with_action(
                        *ActionSpec::nullary("open", "Open lamp", kalu_actions::kOperationInterface,
                                             "test.open", kalu_actions::json_string("lamp")))
                    .with_action(ActionSpec::typed(
                        "power", "Power", "On or off", kalu_actions::kOperationEffect,
                        "test.slow-operation",
                        {kalu_actions::ActionParam::make("value", "Enabled",
                                                         kalu_actions::ParamKind::Boolean)},
                        [](const ActionArgs& args) {
                          return EncodedAction::from_text("test.slow-operation", args.to_json());
                        }));
    auto fan = Resource::create("test.fan:2", "test.fan", "Fan");
    return {Resource::create("test.root", "test.root", "Test")
                .with_child(std::move(lamp))
                .with_child(std::move(fan))};
  }
  std::optional<Resource> resource_by_id(const kalu_ui::doc::Document& document,
                                         std::string_view id) const override {
    auto tree = resources(document);
    if (const Resource* hit = tree[0].find(id)) return *hit;
    return std::nullopt;
  }

  kalu_ui::DeviceLocalOutcome start_resource_operation_with_document(
      const kalu_ui::ResourceOperationId& id, kalu_ui::OperationKind kind,
      std::string_view action_id, kalu_ui::Payload payload,
      kalu_ui::ResourceOperationContext& context) override {
    if (action_id == "test.slow-operation" && kind == 1) {
      running_.push_back({id, 2, std::string(payload.begin(), payload.end())});
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
      running_.erase(it);
      return kalu_ui::ResourceOperationStatus{
          kalu_ui::ResourceOperationStatus::Succeeded{outcome, id}};
    }
    return std::nullopt;
  }

  void frame() {
    for (auto& op : running_) op.frames_left -= op.frames_left > 0 ? 1 : 0;
  }

  int opened = 0;

 private:
  struct Running {
    kalu_ui::ResourceOperationId id;
    int frames_left;
    std::string payload;
  };
  std::vector<Running> running_;
};

struct CtlRun {
  int exit = -1;
  std::string out;
  std::string err;
};

std::string read_all(int fd) {
  std::string text;
  char buffer[4096];
  ssize_t n;
  while ((n = ::read(fd, buffer, sizeof(buffer))) > 0) text.append(buffer, std::size_t(n));
  ::close(fd);
  return text;
}

// Runs settingsctl, as another user when `as` is given.
CtlRun settingsctl(std::vector<std::string> args, const passwd* as = nullptr) {
  int out[2], err[2];
  if (::pipe(out) != 0 || ::pipe(err) != 0) return {};
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(out[1], 1);
    ::dup2(err[1], 2);
    ::close(out[0]);
    ::close(err[0]);
    if (as != nullptr &&
        (::setgroups(0, nullptr) != 0 || ::setgid(as->pw_gid) != 0 || ::setuid(as->pw_uid) != 0)) {
      ::_exit(100);
    }
    std::vector<char*> argv{const_cast<char*>(SETTINGSCTL_PATH)};
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    ::execv(SETTINGSCTL_PATH, argv.data());
    ::_exit(101);
  }
  ::close(out[1]);
  ::close(err[1]);
  CtlRun run;
  run.out = read_all(out[0]);
  run.err = read_all(err[0]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  run.exit = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

class TransportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/kalu-runtime-XXXXXX";
    ASSERT_NE(::mkdtemp(tmpl), nullptr);
    runtime_ = tmpl;
    ::setenv("XDG_RUNTIME_DIR", runtime_.c_str(), 1);
    waker_ = std::make_shared<kalu_ui::wake::Waker>();
    kalu_ui::host::TransportOptions options;
    options.max_line_bytes = kLineCap;
    host_ = std::make_unique<kalu_ui::host::AutomationHost>("test.app", options);
    ASSERT_TRUE(host_->start(kalu_ui::wake::WakeHandle::bound_to(waker_)).has_value());
    // The UI thread: one frame per wake-up, so frames happen only when
    // requests arrive and the two-frame operation is deterministic.
    loop_ = std::thread([this] {
      while (!stop_) {
        if (!waker_->wait_until(kalu_ui::Instant::now() + std::chrono::milliseconds(20))) continue;
        host_->pump(app_, document_);
        app_.frame();
      }
    });
  }
  void TearDown() override {
    stop_ = true;
    if (loop_.joinable()) loop_.join();
    host_.reset();
    std::filesystem::remove_all(runtime_);
  }

  kalu_ui::host::Connection connect() {
    auto c = kalu_ui::host::Connection::open(host_->socket_path());
    EXPECT_TRUE(c.has_value());
    return std::move(*c);
  }

  std::string runtime_;
  std::shared_ptr<kalu_ui::wake::Waker> waker_;
  std::unique_ptr<kalu_ui::host::AutomationHost> host_;
  FakeApp app_;
  kalu_ui::doc::Document document_;
  std::atomic<bool> stop_{false};
  std::thread loop_;
};

TEST_F(TransportTest, SocketIsPrivateAndOneInstanceServesIt) {
  EXPECT_EQ(host_->socket_path(), runtime_ + "/kalu-automation/test.app.sock");
  struct stat st {};
  ASSERT_EQ(::stat((runtime_ + "/kalu-automation").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  ASSERT_EQ(::stat(host_->socket_path().c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);

  kalu_ui::host::AutomationHost second("test.app");
  auto started = second.start();
  ASSERT_FALSE(started.has_value());
  EXPECT_NE(started.error().find("another instance"), std::string::npos);
}

TEST_F(TransportTest, ListAndGetShowTheTreeInOrder) {
  CtlRun list = settingsctl({"--app", "test.app", "list"});
  ASSERT_EQ(list.exit, 0) << list.err;
  Json tree = Json::parse(list.out);
  ASSERT_EQ(tree.size(), 1u);
  EXPECT_EQ(tree[0]["id"], "test.root");
  ASSERT_EQ(tree[0]["children"].size(), 2u);
  EXPECT_EQ(tree[0]["children"][0]["id"], "test.lamp:1");
  EXPECT_EQ(tree[0]["children"][1]["id"], "test.fan:2");
  EXPECT_EQ(tree[0]["children"][0]["actions"][0]["name"], "open");
  EXPECT_EQ(tree[0]["children"][0]["actions"][1]["name"], "power");

  CtlRun get = settingsctl({"--app", "test.app", "get", "test.fan:2"});
  ASSERT_EQ(get.exit, 0) << get.err;
  EXPECT_EQ(Json::parse(get.out)["label"], "Fan");
  CtlRun missing = settingsctl({"--app", "test.app", "get", "test.fan"});
  EXPECT_EQ(missing.exit, 3);
  EXPECT_NE(missing.err.find("unknown resource test.fan"), std::string::npos);
}

TEST_F(TransportTest, StartedOperationIsPendingThenSucceeds) {
  CtlRun start =
      settingsctl({"--app", "test.app", "start", "test.slow-operation", "1", R"({"n":1})"});
  ASSERT_EQ(start.exit, 0) << start.err;
  const std::string id = start.out.substr(0, start.out.find('\n'));
  ASSERT_EQ(id.size(), 32u);

  CtlRun first = settingsctl({"--app", "test.app", "poll", id});
  EXPECT_EQ(first.exit, 0);
  EXPECT_EQ(Json::parse(first.out)["state"], "pending");
  CtlRun second = settingsctl({"--app", "test.app", "poll", id});
  ASSERT_EQ(second.exit, 0);
  Json status = Json::parse(second.out);
  EXPECT_EQ(status["state"], "succeeded");
  EXPECT_EQ(status["operation_id"], id);
  EXPECT_EQ(status["outcome"]["value"], R"({"n":1})");
  // A finished operation keeps answering the same.
  EXPECT_EQ(Json::parse(settingsctl({"--app", "test.app", "wait", id}).out), status);
}

TEST_F(TransportTest, InvokeBuildsTheActionAndRoutesItByKind) {
  CtlRun open = settingsctl({"--app", "test.app", "invoke", "test.lamp:1", "open"});
  ASSERT_EQ(open.exit, 0) << open.err;
  EXPECT_EQ(Json::parse(open.out)["outcome"]["state"], "completed");

  CtlRun power =
      settingsctl({"--app", "test.app", "invoke", "test.lamp:1", "power", R"({"value":true})"});
  ASSERT_EQ(power.exit, 0) << power.err;
  Json result = Json::parse(power.out);
  EXPECT_EQ(result["outcome"]["state"], "accepted");
  CtlRun done =
      settingsctl({"--app", "test.app", "wait", result["operation_id"].get<std::string>()});
  EXPECT_EQ(done.exit, 0);
  EXPECT_EQ(Json::parse(done.out)["outcome"]["value"], R"({"value":true})");

  CtlRun wrong =
      settingsctl({"--app", "test.app", "invoke", "test.lamp:1", "power", R"({"value":"yes"})"});
  EXPECT_EQ(wrong.exit, 3);
  EXPECT_NE(wrong.err.find(R"(argument "value" must be a boolean)"), std::string::npos);
}

TEST_F(TransportTest, BadRequestsGetClearErrorsAndExitCodes) {
  struct Case {
    std::vector<std::string> args;
    int exit;
    const char* text;  // in stdout or stderr
  };
  const Case cases[] = {
      {{"send", "this is not json"}, 3, "parse_error"},
      {{"send", "[1,2]"}, 3, "a request must be a JSON object"},
      {{"send", R"({"id":7,"method":"reboot"})"}, 3, R"("id":7)"},
      {{"poll", std::string(32, '0')}, 3, "unknown operation id"},
      {{"poll", "xyz"}, 3, "32 hexadecimal digits"},
      {{"start", "test.refused", "1", "{}"}, 3, "no, thanks"},
      {{"start", "test.nobody", "1", "{}"}, 3, "not_handled"},
      {{"start", "test.slow-operation", "one", "{}"}, 2, "KIND"},
      {{"invoke", "test.lamp:1", "dim"}, 3, "has no action dim"},
      {{"frobnicate"}, 2, "usage"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args{"--app", "test.app"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    CtlRun run = settingsctl(args);
    SCOPED_TRACE(c.args[0] + " " + (c.args.size() > 1 ? c.args[1] : ""));
    EXPECT_EQ(run.exit, c.exit) << run.out << run.err;
    EXPECT_NE((run.out + run.err).find(c.text), std::string::npos) << run.out << run.err;
  }
  EXPECT_EQ(settingsctl({"--app", "other.app", "list"}).exit, 1);  // nobody listens there
}

TEST_F(TransportTest, ClientsAreServedSideBySideAndBrokenOnesAreDropped) {
  kalu_ui::host::Connection slow = connect();
  ASSERT_TRUE(slow.send(R"({"id":1,"meth)").has_value());  // half a request, then a pause
  EXPECT_EQ(settingsctl({"--app", "test.app", "list"}).exit, 0);
  ASSERT_TRUE(slow.send("od\":\"list\"}\n").has_value());
  auto answer = slow.read_line(10000);
  ASSERT_TRUE(answer.has_value()) << answer.error();
  EXPECT_EQ(Json::parse(*answer)["ok"], true);

  // A line over the cap is answered with an error and the connection closed.
  kalu_ui::host::Connection flood = connect();
  ASSERT_TRUE(flood.send(std::string(kLineCap + 10, 'x')).has_value());
  auto refused = flood.read_line(10000);
  ASSERT_TRUE(refused.has_value()) << refused.error();
  EXPECT_EQ(Json::parse(*refused)["error"]["code"], "line_too_long");
  EXPECT_FALSE(flood.read_line(10000).has_value());

  // Leaving mid-request, or before the answer, disturbs nobody.
  {
    kalu_ui::host::Connection gone = connect();
    ASSERT_TRUE(gone.send(R"({"method":"list"})"
                          "\n"
                          R"({"method":)")
                    .has_value());
  }
  EXPECT_EQ(settingsctl({"--app", "test.app", "list"}).exit, 0);
}

TEST_F(TransportTest, AnotherUserIsRefused) {
  const passwd* nobody = ::getpwnam("nobody");
  if (::geteuid() != 0 || nobody == nullptr) {
    GTEST_SKIP() << "needs root and the user nobody";
  }
  // The build tree may lie where that user cannot reach it.
  if (settingsctl({"--help"}, nobody).exit != 0) GTEST_SKIP() << "nobody cannot run the client";
  // The private directory already keeps another user out.
  CtlRun blocked = settingsctl({"--socket", host_->socket_path(), "list"}, nobody);
  EXPECT_EQ(blocked.exit, 3) << blocked.err;
  // With the directory and socket opened up, the peer check refuses it.
  ASSERT_EQ(::chmod(runtime_.c_str(), 0755), 0);
  ASSERT_EQ(::chmod((runtime_ + "/kalu-automation").c_str(), 0755), 0);
  ASSERT_EQ(::chmod(host_->socket_path().c_str(), 0666), 0);
  CtlRun refused = settingsctl({"--socket", host_->socket_path(), "list"}, nobody);
  EXPECT_EQ(refused.exit, 3) << refused.err;
  EXPECT_NE(refused.err.find("same user"), std::string::npos) << refused.err;
  // The application goes on serving its own user.
  EXPECT_EQ(settingsctl({"--app", "test.app", "list"}).exit, 0);
}

}  // namespace
