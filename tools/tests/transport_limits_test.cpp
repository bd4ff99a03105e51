// The transport under clients that misbehave: malformed lines, floods of
// requests, storms of connections, clients that never read and clients that
// sit idle. Each client here is small and written for the abuse it commits.
//
// Each test waits for the abuse to be under way before it looks, with a
// generous bound only against a hang. How fast the others are served is
// printed as "[ figures ]" lines and never judged: a loaded machine decides
// it. Memory bounds are generous.

#include <gtest/gtest.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <new>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
// The sanitizer runtime's count of heap bytes in use (its header is not
// installed with this compiler).
extern "C" std::size_t __sanitizer_get_current_allocated_bytes();
#endif

#include "served_app.h"

namespace {

using namespace std::chrono_literals;
using namespace std::string_literals;
using Json = nlohmann::ordered_json;
using Clock = std::chrono::steady_clock;
using transport_testing::connect_raw;
using transport_testing::FakeApp;
using transport_testing::RuntimeDir;
using transport_testing::ServedApp;

#if defined(__SANITIZE_ADDRESS__) || !defined(NDEBUG)
constexpr bool kSlowBuild = true;
#else
constexpr bool kSlowBuild = false;
#endif

// Longest wait for something the test needs to happen: only a hang takes it.
constexpr auto kPatience = 120s;

double ms_since(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double percentile(std::vector<double> values, double p) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const auto index = static_cast<std::size_t>(p * static_cast<double>(values.size() - 1) + 0.5);
  return values[std::min(index, values.size() - 1)];
}

void figure(const std::string& text) {
  std::printf("[ figures  ] %s\n", text.c_str());
  std::fflush(stdout);
}

// Sends one line and answers the parsed answer, or null when none came.
Json ask(kalu_ui::host::Connection& connection, const std::string& line, int timeout_ms = 20000) {
  auto answer = connection.request(line, timeout_ms);
  if (!answer) return nullptr;
  Json parsed = Json::parse(*answer, nullptr, false);
  return parsed.is_discarded() ? Json(nullptr) : parsed;
}

bool answered_ok(const Json& answer) { return answer.is_object() && answer.value("ok", false); }

std::string error_code(const Json& answer) {
  if (!answer.is_object() || !answer.contains("error")) return "";
  return answer["error"].value("code", "");
}

// What the process holds: its resident memory, or under the address
// sanitizer (whose quarantine keeps freed memory resident) the heap in use.
std::int64_t memory_in_use() {
#if defined(__SANITIZE_ADDRESS__)
  return static_cast<std::int64_t>(__sanitizer_get_current_allocated_bytes());
#else
  std::ifstream statm("/proc/self/statm");
  std::int64_t pages = 0, resident = 0;
  statm >> pages >> resident;
  return resident * ::sysconf(_SC_PAGESIZE);
#endif
}

constexpr std::int64_t kMiB = std::int64_t{1} << 20;

class TransportLimitsTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(served_.started); }

  RuntimeDir runtime_;
  ServedApp served_{"limits.app", {}};
};

TEST_F(TransportLimitsTest, MalformedLinesGetOneClearAnswerEach) {
  const std::string digits(400, '9');
  const std::string long_id(300, 'x');
  const std::string long_resource(100000, 'r');
  const char* bad_id = "id must be a string, an integer or null";
  struct Case {
    std::string line;
    std::string code;  // empty: answered ok
    std::string message;
    Json id;
  };
  const Case cases[] = {
      // The reader would take a NUL for the end of the text and drop the rest.
      {R"({"id":1,"method":"list"})"s + '\0' + R"({"id":2,"method":"list"})", "parse_error",
       "control byte 0x00 outside a string", nullptr},
      {"{\"id\":1,\x01\"method\":\"list\"}", "parse_error", "control byte 0x01", nullptr},
      {"{\"id\":1,\"method\":\"li\x01st\"}", "parse_error", "not valid JSON", nullptr},
      {R"({"id":1,"method":"get","resource":"a\u0000b"})", "not_found", "unknown resource a", 1},
      {R"({"id":1,"method":"list","method":"get"})", "invalid_request",
       "a key appears more than once", nullptr},
      {R"({"id":1,"method":"start","action_id":"x","kind":1,"payload":{"a":1,"a":2}})",
       "invalid_request", "a key appears more than once", nullptr},
      {R"({"id":1e400,"method":"list"})", "invalid_request", bad_id, nullptr},
      {R"({"id":)" + digits + R"(,"method":"list"})", "invalid_request", bad_id, nullptr},
      {R"({"id":18446744073709551616,"method":"list"})", "invalid_request", bad_id, nullptr},
      {R"({"id":1.5,"method":"list"})", "invalid_request", bad_id, nullptr},
      {R"({"id":true,"method":"list"})", "invalid_request", bad_id, nullptr},
      {R"({"id":[1],"method":"list"})", "invalid_request", bad_id, nullptr},
      {R"({"id":{},"method":"list"})", "invalid_request", bad_id, nullptr},
      {R"({"id":18446744073709551615,"method":"list"})", "", "", 18446744073709551615ull},
      {R"({"id":-9223372036854775808,"method":"list"})", "", "", INT64_MIN},
      {R"({"id":null,"method":"list"})", "", "", nullptr},
      {R"({"id":2,"method":"list","extra":1e400})", "parse_error",
       "a number in the request is out of range", nullptr},
      {R"({"id":3,"method":"start","action_id":"test.nobody","kind":1,"payload":{}})", "not_found",
       "no handler for test.nobody", 3},
      // Over-long client text comes back cut, with a marker.
      {R"({"id":")" + long_id + R"(","method":"list"})", "", "",
       std::string(256, 'x') + "…[44 more bytes]"},
      {R"({"id":4,"method":"get","resource":")" + long_resource + R"("})", "not_found",
       "unknown resource " + std::string(256, 'r') + "…[99744 more bytes]", 4},
      {R"({"id":5,"method":")" + std::string(5000, 'm') + R"("})", "unknown_method",
       "…[4744 more bytes]", 5},
  };
  auto connection = served_.connect();
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line.substr(0, 80));
    auto raw = connection.request(c.line, 20000);
    ASSERT_TRUE(raw.has_value()) << raw.error();
    EXPECT_LT(raw->size(), 2048u) << "the answer repeats the request";
    Json answer = Json::parse(*raw);
    EXPECT_EQ(answer["id"], c.id) << *raw;
    if (c.code.empty()) {
      EXPECT_TRUE(answered_ok(answer)) << *raw;
      continue;
    }
    EXPECT_EQ(error_code(answer), c.code) << *raw;
    EXPECT_NE(answer["error"].value("message", "").find(c.message), std::string::npos) << *raw;
    EXPECT_FALSE(answer.contains("result")) << *raw;
  }
}

// Pumps on this thread until the connection has an answer.
kalu_ui::Result<std::string> next_answer(kalu_ui::host::AutomationHost& host, FakeApp& app,
                                         kalu_ui::doc::Document& document,
                                         kalu_ui::host::Connection& connection) {
  for (int i = 0; i < 1000; ++i) {
    host.pump(app, document);
    if (auto answer = connection.read_line(10)) return answer;
  }
  return kalu_ui::fail("no answer");
}

TEST(TransportTurnsTest, ClientsAreServedInTurnWithAtMost32RequestsWaitingEach) {
  RuntimeDir runtime;
  kalu_ui::host::AutomationHost host("turns.app");
  ASSERT_TRUE(host.start().has_value());
  FakeApp app;
  kalu_ui::doc::Document document;
  app.recording = true;
  auto open = [&] { return std::move(*kalu_ui::host::Connection::open(host.socket_path())); };
  auto flood = open();
  auto second = open();
  auto third = open();
  std::string lines;
  for (int i = 1; i <= 100; ++i) {
    lines += R"({"id":)" + std::to_string(i) + R"(,"method":"get","resource":"a"})" + "\n";
  }
  ASSERT_TRUE(flood.send(lines).has_value());
  ASSERT_TRUE(second.send(R"({"method":"get","resource":"b"})"s + "\n").has_value());
  ASSERT_TRUE(third.send(R"({"method":"get","resource":"c"})"s + "\n").has_value());

  // Nothing is pumped yet: the flooder has 32 requests waiting, the rest of
  // its lines stay unread in the socket.
  const auto deadline = Clock::now() + kPatience;
  while (host.waiting_requests() < 34 && Clock::now() < deadline) std::this_thread::sleep_for(5ms);
  std::this_thread::sleep_for(100ms);
  EXPECT_EQ(host.waiting_requests(), 34u);

  // Taken in turn: the two single requests come before the flooder's second.
  ASSERT_TRUE(next_answer(host, app, document, second).has_value());
  ASSERT_TRUE(next_answer(host, app, document, third).has_value());
  {
    std::lock_guard lock(app.asked_mutex);
    ASSERT_GE(app.asked.size(), 3u);
    const std::vector<std::string> first(app.asked.begin(), app.asked.begin() + 3);
    EXPECT_EQ(std::count(first.begin(), first.end(), "a"), 1);
    EXPECT_EQ(std::count(first.begin(), first.end(), "b"), 1);
    EXPECT_EQ(std::count(first.begin(), first.end(), "c"), 1);
  }
  // Every one of the flooder's requests is answered, in order.
  for (int i = 1; i <= 100; ++i) {
    auto answer = next_answer(host, app, document, flood);
    ASSERT_TRUE(answer.has_value()) << i;
    EXPECT_EQ(Json::parse(*answer)["id"], i);
  }
}

// What the churning processes share with the test: their count of
// connections, and the flag that ends them.
struct Churn {
  std::atomic<std::int64_t> connections{0};
  std::atomic<bool> stop{false};
};

TEST_F(TransportLimitsTest, ConnectionChurnLocksNobodyOut) {
  auto connected = served_.connect();
  ASSERT_TRUE(answered_ok(ask(connected, R"({"method":"list"})")));
  const std::string path = served_.host.socket_path();
  void* shared =
      ::mmap(nullptr, sizeof(Churn), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
  ASSERT_NE(shared, MAP_FAILED);
  Churn& churn = *new (shared) Churn;
  std::vector<pid_t> churners;
  for (int i = 0; i < 4; ++i) {
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      while (!churn.stop) {
        const int fd = connect_raw(path);
        if (fd >= 0) {
          ::close(fd);
          ++churn.connections;
        }
      }
      ::_exit(0);
    }
    churners.push_back(pid);
  }
  const auto give_up = Clock::now() + kPatience;
  while (churn.connections == 0 && Clock::now() < give_up) std::this_thread::sleep_for(1ms);

  // While the churn goes on, the connected client keeps asking and a fresh
  // client comes every fourth answer, until both have been served a while.
  constexpr int kFreshClients = 20;
  constexpr std::int64_t kChurned = 300;
  const std::int64_t churned_before = churn.connections;
  std::vector<double> latencies;
  int refused = 0, fresh_tried = 0, fresh_served = 0;
  double fresh_worst = 0;
  while ((fresh_tried < kFreshClients || churn.connections - churned_before < kChurned) &&
         Clock::now() < give_up) {
    const auto start = Clock::now();
    if (!answered_ok(ask(connected, R"({"method":"get","resource":"test.fan:2"})"))) ++refused;
    latencies.push_back(ms_since(start));
    if (latencies.size() % 4 != 0) continue;
    const auto fresh_start = Clock::now();
    auto fresh = kalu_ui::host::Connection::open(path);
    ++fresh_tried;
    if (fresh && answered_ok(ask(*fresh, R"({"method":"list"})"))) ++fresh_served;
    fresh_worst = std::max(fresh_worst, ms_since(fresh_start));
  }
  churn.stop = true;
  for (pid_t pid : churners) {
    int status = 0;
    ::waitpid(pid, &status, 0);
  }
  const std::int64_t churned = churn.connections - churned_before;
  ::munmap(shared, sizeof(Churn));

  figure("churn: " + std::to_string(churned) + " connections; connected client " +
         std::to_string(latencies.size()) + " answers, median " +
         std::to_string(percentile(latencies, 0.5)) + " ms, p99 " +
         std::to_string(percentile(latencies, 0.99)) + " ms, max " +
         std::to_string(percentile(latencies, 1.0)) + " ms; fresh clients " +
         std::to_string(fresh_served) + "/" + std::to_string(fresh_tried) + ", slowest " +
         std::to_string(fresh_worst) + " ms");
  EXPECT_GE(churned, kChurned);
  EXPECT_GE(fresh_tried, kFreshClients);
  EXPECT_EQ(fresh_served, fresh_tried);
  EXPECT_EQ(refused, 0);
}

TEST_F(TransportLimitsTest, AFloodCostsOthersOneTurnAndIsDroppedWhenItsSenderLeaves) {
  // Each listing takes a while, so that a backlog lasts.
  served_.app.cost_us = 200;
  auto other = served_.connect();
  const std::string get_fan = R"({"method":"get","resource":"test.fan:2"})";
  // The mean of 20 requests in a row, a figure only. Each request is marked
  // in the application's record of lookups as it is sent.
  auto measure = [&] {
    double total = 0;
    for (int i = 0; i < 20; ++i) {
      if (served_.app.recording) {
        std::lock_guard lock(served_.app.asked_mutex);
        served_.app.asked.emplace_back("sent");
      }
      const auto start = Clock::now();
      EXPECT_TRUE(answered_ok(ask(other, get_fan)));
      total += ms_since(start);
    }
    return total / 20;
  };
  const double baseline = measure();

  // One client writes lookups of the lamp for as long as its socket takes
  // them and reads nothing: a flood with no end.
  served_.app.recording = true;
  std::string batch;
  for (int i = 0; i < 100; ++i)
    batch += R"({"method":"get","resource":"test.lamp:1"})"
             "\n";
  const int flooder = connect_raw(served_.host.socket_path());
  ASSERT_GE(flooder, 0);
  std::atomic<bool> flooding{true};
  std::thread writer([&] {
    while (flooding && ::send(flooder, batch.data(), batch.size(), MSG_NOSIGNAL) > 0) {
    }
  });
  const int listed_before = served_.app.listings;
  const auto give_up = Clock::now() + kPatience;
  while (served_.app.listings == listed_before && Clock::now() < give_up) {
    std::this_thread::sleep_for(1ms);
  }
  ASSERT_GT(served_.app.listings, listed_before) << "the flood was never carried out";
  const double flooded = measure();
  flooding = false;
  ::shutdown(flooder, SHUT_RDWR);
  writer.join();
  ::close(flooder);
  served_.app.recording = false;
  // Between sending a request and its being carried out, the flooder had
  // its turns only: at most what it may have waiting when the request is
  // read, what the socket thread hands on in that same turn, and the turn before
  // it.
  std::size_t most_ahead = 0;
  {
    std::lock_guard lock(served_.app.asked_mutex);
    const auto& asked = served_.app.asked;
    for (auto sent = std::find(asked.begin(), asked.end(), "sent"); sent != asked.end();
         sent = std::find(sent + 1, asked.end(), "sent")) {
      const auto served = std::find(sent, asked.end(), "test.fan:2");
      most_ahead = std::max<std::size_t>(most_ahead, std::count(sent, served, "test.lamp:1"));
    }
  }
  figure("flood: another client's request takes " + std::to_string(baseline) + " ms alone and " +
         std::to_string(flooded) + " ms beside an endless flood (mean of 20); at most " +
         std::to_string(most_ahead) + " of the flood's requests went before one of it");
  const std::size_t outstanding = kalu_ui::host::TransportOptions{}.max_outstanding_per_client;
  EXPECT_LE(most_ahead, 2 * outstanding + 2);

  // Eight clients write what their sockets take of ~190 KB each and leave
  // while the application is busy: what they have not had carried out is
  // dropped. Holding the UI thread meanwhile keeps a loaded machine from
  // carrying their requests out before they leave.
  std::string burst;
  while (burst.size() < 190000) burst += "{\"method\":\"list\"}\n";
  served_.app.hold_next();
  ASSERT_TRUE(other.send(get_fan + "\n").has_value());
  ASSERT_TRUE(served_.app.wait_held());
  const int listed_before_burst = served_.app.listings;
  for (int i = 0; i < 8; ++i) {
    const int fd = connect_raw(served_.host.socket_path());
    ASSERT_GE(fd, 0);
    [[maybe_unused]] ssize_t n =
        ::send(fd, burst.data(), burst.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
    ::close(fd);
  }
  const auto start = Clock::now();
  served_.app.release();
  auto held_answer = other.read_line(20000);
  ASSERT_TRUE(held_answer.has_value()) << held_answer.error();
  const double after_burst = ms_since(start);
  // Requests of the other client, until one is carried out alone: nothing
  // of the burst is left to take turns with it.
  int rounds = 0;
  for (bool alone = false; !alone && Clock::now() < give_up; ++rounds) {
    const int before = served_.app.listings;
    EXPECT_TRUE(answered_ok(ask(other, get_fan)));
    alone = served_.app.listings - before == 1;
  }
  const int burst_listed = served_.app.listings - listed_before_burst - rounds;
  figure("burst: 8 clients wrote and left; the next request took " + std::to_string(after_burst) +
         " ms; " + std::to_string(burst_listed) + " of their requests were carried out");
  EXPECT_LT(burst_listed, 8 * 64);
}

TEST(TransportMemoryTest, ClientsThatNeverReadHoldBoundedMemoryAndGiveItBack) {
  RuntimeDir runtime;
  ServedApp served("memory.app", {});
  ASSERT_TRUE(served.started);
  const std::string request =
      R"({"method":"get","resource":")" + std::string(1000000, 'r') + "\"}\n";
  auto send_all = [](int fd, const std::string& bytes) {
    for (std::size_t sent = 0; sent < bytes.size();) {
      const ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
      if (n <= 0) return false;
      sent += static_cast<std::size_t>(n);
    }
    return true;
  };
  // Once through every road first, so that the baseline holds what serving
  // needs anyway.
  {
    auto warm = served.connect();
    EXPECT_EQ(error_code(ask(warm, request.substr(0, request.size() - 1))), "not_found");
  }
  std::this_thread::sleep_for(500ms);
  const std::int64_t baseline = memory_in_use();
  const int listed_before = served.app.listings;

  std::atomic<bool> stop{false};
  std::vector<int> fds;
  std::vector<std::thread> clients;
  for (int i = 0; i < 31; ++i) {
    const int fd = connect_raw(served.host.socket_path());
    ASSERT_GE(fd, 0);
    fds.push_back(fd);
    clients.emplace_back([&, fd] {
      while (!stop && send_all(fd, request)) {
      }
    });
  }
  // Measured while the clients are served, until each could have had two
  // requests carried out.
  constexpr int kServed = 62;
  std::int64_t peak = baseline;
  const auto give_up = Clock::now() + kPatience;
  while (served.app.listings - listed_before < kServed && Clock::now() < give_up) {
    peak = std::max(peak, memory_in_use());
    std::this_thread::sleep_for(2ms);
  }
  peak = std::max(peak, memory_in_use());
  const int served_requests = served.app.listings - listed_before;
  stop = true;
  for (int fd : fds) ::shutdown(fd, SHUT_RDWR);
  for (auto& t : clients) t.join();
  for (int fd : fds) ::close(fd);

  // Memory is given back a moment after the last client left.
  const auto left = Clock::now();
  std::int64_t after = memory_in_use();
  while (after - baseline >= 16 * kMiB && Clock::now() < left + kPatience) {
    std::this_thread::sleep_for(50ms);
    after = memory_in_use();
  }
  figure(std::string(kSlowBuild ? "memory (heap in use)" : "memory (resident)") +
         ": 31 clients sending 1 MB requests without reading; " + std::to_string(served_requests) +
         " carried out; peak +" + std::to_string((peak - baseline) / 1024) +
         " KiB, after they left " + std::to_string((after - baseline) / 1024) +
         " KiB over the start");
  EXPECT_GE(served_requests, kServed);
  EXPECT_LT(peak - baseline, 64 * kMiB);
  EXPECT_LT(after - baseline, 16 * kMiB);
}

TEST(TransportIdleTest, IdleClientsGiveWayToANewOne) {
  RuntimeDir runtime;
  kalu_ui::host::TransportOptions options;
  options.idle_after = 1500ms;
  ServedApp served("idle.app", options);
  ASSERT_TRUE(served.started);
  const auto used = Clock::now();
  std::vector<kalu_ui::host::Connection> idle;
  for (std::size_t i = 0; i < options.max_clients; ++i) {
    idle.push_back(served.connect());
    ASSERT_TRUE(answered_ok(ask(idle.back(), R"({"method":"list"})"))) << i;
  }
  // Every slot is held by a client that has just been served.
  {
    auto newcomer = served.connect();
    const Json answer = ask(newcomer, R"({"method":"list"})");
    if (Clock::now() - used < options.idle_after) {
      EXPECT_EQ(error_code(answer), "busy") << answer;
    }
  }
  std::this_thread::sleep_for(options.idle_after + 200ms);
  auto late = served.connect();
  EXPECT_TRUE(answered_ok(ask(late, R"({"method":"list"})")));
  // The one idle longest made room: it is told why, then closed.
  auto notice = idle.front().read_line(10000);
  ASSERT_TRUE(notice.has_value()) << notice.error();
  EXPECT_EQ(error_code(Json::parse(*notice)), "idle") << *notice;
  EXPECT_FALSE(idle.front().read_line(10000).has_value());
  EXPECT_TRUE(answered_ok(ask(idle.back(), R"({"method":"list"})")));
}

}  // namespace
