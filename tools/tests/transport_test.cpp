// Runs the real settingsctl against a small application host over a real
// socket in a temporary runtime directory.

#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>
#include <thread>

#include "served_app.h"

namespace {

using Json = nlohmann::ordered_json;
using transport_testing::FakeApp;
using transport_testing::RuntimeDir;
using transport_testing::ServedApp;

constexpr std::size_t kLineCap = 4096;

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

// Runs settingsctl, as another user when `as` is given, with `input` on its
// standard input.
CtlRun settingsctl(std::vector<std::string> args, const passwd* as = nullptr,
                   const std::string& input = {}) {
  int out[2], err[2], in[2];
  if (::pipe(out) != 0 || ::pipe(err) != 0 || ::pipe(in) != 0) return {};
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(out[1], 1);
    ::dup2(err[1], 2);
    ::dup2(in[0], 0);
    ::close(out[0]);
    ::close(err[0]);
    ::close(in[1]);
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
  ::close(in[0]);
  // Small enough for the pipe's buffer: written before anything is read.
  if (!input.empty()) (void)!::write(in[1], input.data(), input.size());
  ::close(in[1]);
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
    kalu_ui::host::TransportOptions options;
    options.max_line_bytes = kLineCap;
    served_ = std::make_unique<ServedApp>("test.app", options);
    ASSERT_TRUE(served_->started);
    host_ = &served_->host;
  }

  kalu_ui::host::Connection connect() { return served_->connect(); }

  RuntimeDir runtime_dir_;
  const std::string runtime_ = runtime_dir_.path;
  std::unique_ptr<ServedApp> served_;
  kalu_ui::host::AutomationHost* host_ = nullptr;
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

  // Arguments are held to the action's parameters before its handler runs.
  CtlRun wrong =
      settingsctl({"--app", "test.app", "invoke", "test.lamp:1", "power", R"({"value":"yes"})"});
  EXPECT_EQ(wrong.exit, 3);
  EXPECT_NE(wrong.err.find("power: value must be true or false (invalid_arguments)"),
            std::string::npos)
      << wrong.err;
  CtlRun listed = settingsctl({"--app", "test.app", "invoke", "test.lamp:1", "power", R"([true])"});
  EXPECT_EQ(listed.exit, 3);
  EXPECT_NE(listed.err.find("arguments must be a JSON object"), std::string::npos);
}

// --wait follows an accepted operation to its end and exits with its
// status; "-" reads the arguments or the payload from standard input.
TEST_F(TransportTest, WaitExitsWithTheFinalStatusAndADashReadsStandardInput) {
  CtlRun on = settingsctl({"--app", "test.app", "invoke", "test.lamp:1", "power", "-", "--wait"},
                          nullptr, "{\"value\": true}\n");
  ASSERT_EQ(on.exit, 0) << on.err;
  Json answer = Json::parse(on.out);
  EXPECT_EQ(answer["outcome"]["state"], "accepted");
  EXPECT_EQ(answer["status"]["state"], "succeeded");
  EXPECT_EQ(answer["status"]["operation_id"], answer["operation_id"]);
  EXPECT_EQ(answer["status"]["outcome"]["value"], R"({"value":true})");

  CtlRun broken =
      settingsctl({"--app", "test.app", "invoke", "test.lamp:1", "break", "{}", "--wait"});
  EXPECT_EQ(broken.exit, 1) << broken.out << broken.err;
  EXPECT_EQ(Json::parse(broken.out)["status"]["message"], "the lamp broke");
  // Without --wait the start alone is the answer.
  EXPECT_EQ(settingsctl({"--app", "test.app", "invoke", "test.lamp:1", "break"}).exit, 0);

  CtlRun started = settingsctl(
      {"--app", "test.app", "start", "test.failing-operation", "1", "-", "--wait"}, nullptr, "{}");
  EXPECT_EQ(started.exit, 1) << started.err;
  EXPECT_EQ(Json::parse(started.out)["state"], "failed");
  CtlRun slow =
      settingsctl({"--app", "test.app", "start", "test.slow-operation", "1", "-", "--wait"},
                  nullptr, R"({"n":2})");
  EXPECT_EQ(slow.exit, 0) << slow.err;
  EXPECT_EQ(Json::parse(slow.out)["outcome"]["value"], R"({"n":2})");
  // What is not accepted is not waited for.
  EXPECT_EQ(settingsctl({"--app", "test.app", "start", "test.refused", "1", "{}", "--wait"}).exit,
            3);
  CtlRun garbled = settingsctl({"--app", "test.app", "start", "test.slow-operation", "1", "-"},
                               nullptr, "{not json");
  EXPECT_EQ(garbled.exit, 2);
  EXPECT_NE(garbled.err.find("PAYLOAD is not valid JSON"), std::string::npos);
  CtlRun help = settingsctl({"--help"});
  EXPECT_NE(help.out.find("reads it from standard input"), std::string::npos);
  EXPECT_NE(help.out.find("--wait"), std::string::npos);
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
      {{"poll", std::string(31, '0') + "g"}, 3, "32 hexadecimal digits"},
      {{"send", R"({"method":"start","action_id":"a","kind":256,"payload":{}})"}, 3, "0 to 255"},
      {{"send", R"({"method":"start","action_id":"a","kind":-1,"payload":{}})"}, 3, "0 to 255"},
      {{"send", R"({"method":"start","action_id":"a","kind":1.5,"payload":{}})"}, 3, "0 to 255"},
      {{"send", "{\"method\":\"list\",\"id\":\"\xff\xfe\"}"}, 3, "parse_error"},
      {{"--timeout", "3000000", "list"}, 2, "--timeout must be"},
      {{"--timeout", "5s", "list"}, 2, "--timeout must be"},
      {{"start", "test.refused", "1", "{}"}, 3, "no, thanks"},
      // A refused start hands out no operation id: the outcome is the answer.
      {{"send", R"({"method":"start","action_id":"test.refused","kind":1,"payload":{}})"},
       0,
       R"("result":{"outcome":{"state":"rejected","message":"no, thanks"}}})"},
      {{"start", "test.nobody", "1", "{}"}, 3, "no handler for test.nobody"},
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
  // The requests before the long line are answered first.
  kalu_ui::host::Connection late = connect();
  ASSERT_TRUE(
      late.send("{\"id\":1,\"method\":\"list\"}\n" + std::string(kLineCap + 10, 'x')).has_value());
  auto first = late.read_line(10000);
  ASSERT_TRUE(first.has_value()) << first.error();
  EXPECT_EQ(Json::parse(*first)["id"], 1) << *first;
  auto last = late.read_line(10000);
  ASSERT_TRUE(last.has_value()) << last.error();
  EXPECT_EQ(Json::parse(*last)["error"]["code"], "line_too_long");

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

// Sends one line and pumps `host` on this thread until its answer arrives.
kalu_ui::Result<std::string> ask(kalu_ui::host::AutomationHost& host, FakeApp& app,
                                 kalu_ui::doc::Document& document,
                                 kalu_ui::host::Connection& connection, const std::string& line) {
  if (auto sent = connection.send(line + "\n"); !sent) return std::unexpected(sent.error());
  for (int i = 0; i < 500; ++i) {
    host.pump(app, document);
    if (auto answer = connection.read_line(20)) return answer;
  }
  return kalu_ui::fail("no answer");
}

TEST_F(TransportTest, DeeplyNestedRequestsAreRefusedAndTheHostServesOn) {
  // The default line cap leaves room for a nesting deep enough to exhaust
  // the stack of whoever copies or writes the value.
  kalu_ui::host::AutomationHost host("deep.app");
  ASSERT_TRUE(host.start().has_value());
  FakeApp app;
  kalu_ui::doc::Document document;
  auto connection = kalu_ui::host::Connection::open(host.socket_path());
  ASSERT_TRUE(connection.has_value());
  const std::size_t depth = 200000;
  const std::string deep = std::string(depth, '[') + std::string(depth, ']');
  const std::string requests[] = {
      R"({"method":"list","id":)" + deep + "}",
      R"({"method":"start","action_id":"test.slow-operation","kind":1,"payload":)" + deep + "}",
      R"({"method":"invoke","resource":"test.lamp:1","action":"power","arguments":{"value":)" +
          deep + "}}",
  };
  for (const auto& request : requests) {
    auto answer = ask(host, app, document, *connection, request);
    ASSERT_TRUE(answer.has_value()) << answer.error();
    Json parsed = Json::parse(*answer);
    EXPECT_EQ(parsed["error"]["code"], "invalid_request") << *answer;
  }
  // Brackets inside strings do not count, and a modest nesting is read.
  auto plain = ask(host, app, document, *connection,
                   R"({"method":"start","action_id":"test.slow-operation","kind":1,)"
                   R"("payload":{"a":[[{"b":"[[[[[[[[[[[[\"{{{{{{{{{{{{{{{{{{{{"}]]}})");
  ASSERT_TRUE(plain.has_value()) << plain.error();
  EXPECT_EQ(Json::parse(*plain)["result"]["outcome"]["state"], "accepted") << *plain;
}

TEST_F(TransportTest, AClientThatNeverReadsIsNoLongerServed) {
  // One client sends list requests without ever reading an answer.
  const int fd = transport_testing::connect_raw(host_->socket_path());
  ASSERT_GE(fd, 0);
  constexpr int kRequests = 30000;
  std::thread sender([fd] {
    const std::string line = "{\"method\":\"list\"}\n";
    for (int i = 0; i < kRequests; ++i) {
      if (::send(fd, line.data(), line.size(), MSG_NOSIGNAL) < 0) return;
    }
  });
  // Wait until the host stops taking its requests.
  int seen = -1;
  for (int i = 0; i < 200 && served_->app.listings != seen; ++i) {
    seen = served_->app.listings;
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
  }
  EXPECT_LT(served_->app.listings, kRequests / 3);
  // Others are still served, and the stuck client goes when it hangs up.
  EXPECT_EQ(settingsctl({"--app", "test.app", "get", "test.fan:2"}).exit, 0);
  ::shutdown(fd, SHUT_RDWR);
  sender.join();
  ::close(fd);
}

TEST_F(TransportTest, RunningOutOfDescriptorsDoesNotSpin) {
  // In a child process, whose descriptor limit the test may lower: a
  // connection waits while the host has no descriptor left to accept it.
  const pid_t pid = ::fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    kalu_ui::host::AutomationHost host("emfile.app");
    if (!host.start()) ::_exit(10);
    rlimit limit{};
    ::getrlimit(RLIMIT_NOFILE, &limit);
    limit.rlim_cur = 64;
    if (::setrlimit(RLIMIT_NOFILE, &limit) != 0) ::_exit(11);
    while (::open("/dev/null", O_RDONLY | O_CLOEXEC) >= 0) {
    }
    ::close(63);  // room for the client's end only
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, host.socket_path().c_str(), sizeof(address.sun_path) - 1);
    if (fd < 0 || ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0)
      ::_exit(12);
    rusage before{}, after{};
    ::getrusage(RUSAGE_SELF, &before);
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    ::getrusage(RUSAGE_SELF, &after);
    auto cpu_ms = [](const rusage& r) {
      return (r.ru_utime.tv_sec + r.ru_stime.tv_sec) * 1000.0 +
             (r.ru_utime.tv_usec + r.ru_stime.tv_usec) / 1000.0;
    };
    ::_exit(cpu_ms(after) - cpu_ms(before) < 40.0 ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "1: the socket thread spun while out of descriptors";
}

TEST_F(TransportTest, OddAnswersNeverCrashTheClient) {
  // A stand-in application that answers every request with one odd line.
  const std::string path = runtime_ + "/odd.sock";
  const int listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  ASSERT_GE(listener, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, path.c_str(), sizeof(address.sun_path) - 1);
  ASSERT_EQ(::bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof(address)), 0);
  ASSERT_EQ(::listen(listener, 4), 0);
  const std::string zeros(32, '0');
  const std::vector<std::vector<std::string>> commands = {
      {"list"}, {"invoke", "r", "a"}, {"start", "a", "1", "{}"}, {"poll", zeros}, {"wait", zeros}};
  const char* answers[] = {
      R"({"ok":true,"result":{"outcome":"x","operation_id":5,"status":[]}})",
      R"({"ok":"yes","error":7})",
      R"({"ok":true,"result":[1]})",
      R"({"ok":true,"result":{"outcome":{"state":3},"status":{"state":3}}})",
  };
  for (const char* odd : answers) {
    for (const auto& command : commands) {
      std::thread serve([&] {
        const int fd = ::accept(listener, nullptr, nullptr);
        if (fd < 0) return;
        char c;
        while (::read(fd, &c, 1) == 1 && c != '\n') {
        }
        const std::string line = std::string(odd) + "\n";
        [[maybe_unused]] ssize_t n = ::write(fd, line.data(), line.size());
        ::close(fd);
      });
      std::vector<std::string> args{"--socket", path, "--timeout", "5"};
      args.insert(args.end(), command.begin(), command.end());
      CtlRun run = settingsctl(args);
      serve.join();
      SCOPED_TRACE(std::string(odd) + " " + command[0]);
      EXPECT_TRUE(run.exit == 0 || run.exit == 1 || run.exit == 3) << run.exit << run.err;
    }
  }
  ::close(listener);
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
