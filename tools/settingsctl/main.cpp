// settingsctl: talks to a running application's automation socket.
//
//   settingsctl [--app ID | --socket PATH] [--timeout SECONDS] COMMAND ...
//     list                                      the resource tree
//     get ID                                    one resource
//     invoke RESOURCE ACTION [ARGS-JSON|-] [--wait]
//                                               invoke an action with its arguments
//     start ACTION-ID KIND PAYLOAD|- [--wait]   start a resource operation; prints its id
//     poll OPERATION-ID [--cancel]              the operation's status now
//     wait OPERATION-ID                         poll until the operation is final
//     send LINE                                 send one raw request line
//
// "-" in place of ARGS-JSON or PAYLOAD reads it from standard input, so a
// payload needs no shell quoting. With --wait, an operation that was
// accepted is polled until it is final: invoke prints its answer with the
// final status as "status", start prints the final status. When the wait
// bound passes first, the operation is still running: invoke prints its
// answer with the last status, start its id, wait the last status (all with
// the operation id on standard output) and the exit status is 4, so that a
// script can `wait` on the id later.
//
// Exit status: 0 success, 1 failure (the operation failed or was cancelled,
// also when --wait waited for it; the application could not be reached or
// answered nothing), 2 wrong usage, 3 refused (the application refused or
// did not handle the request, or the connection was not permitted; sending
// the same again does not help), 4 still running (the wait bound passed
// before the operation was final), 5 busy (refused only because another
// operation is still running, the outcome's "busy": sending the same again
// after it ends may succeed).

#include <fmt/format.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "kalu_ui/host.h"
#include "kalu_ui/host_client.h"

namespace {

using Json = nlohmann::ordered_json;

constexpr int kOk = 0;
constexpr int kFailed = 1;
constexpr int kUsage = 2;
constexpr int kRefused = 3;
constexpr int kStillRunning = 4;
constexpr int kBusy = 5;
constexpr long kMaxTimeout = 86400;
// One answer is waited for this long, or --timeout when that is longer; an
// operation is waited for --timeout, else the longest the application lets a
// device-local operation run (half an hour, for update checks, rollbacks,
// firmware, pairing ...) and a minute more, so that healthy slow work is not
// read as still running.
constexpr int kDefaultRequestSeconds = 30;
constexpr int kDefaultWaitSeconds = 31 * 60;

constexpr std::string_view kUsageText =
    "usage: settingsctl [--app ID | --socket PATH] [--timeout SECONDS] COMMAND ...\n"
    "  list                               the resource tree\n"
    "  get ID                             one resource\n"
    "  invoke RESOURCE ACTION [ARGS-JSON|-] [--wait]\n"
    "                                     invoke an action; ARGS-JSON is an object of its\n"
    "                                     parameters (the action's \"input\" schema)\n"
    "  start ACTION-ID KIND PAYLOAD|- [--wait]\n"
    "                                     start a resource operation; prints its id\n"
    "  poll OPERATION-ID [--cancel]       the operation's status now\n"
    "  wait OPERATION-ID                  poll until the operation is final\n"
    "  send LINE                          send one raw request line\n"
    "\n"
    "  -       in place of ARGS-JSON or PAYLOAD reads it from standard input\n"
    "  --wait  polls an accepted operation until it is final and exits with its\n"
    "          status; at most --timeout, by default 31 minutes (the longest an\n"
    "          operation may run, half an hour, and a minute more)\n"
    "  --timeout SECONDS  bounds --wait and wait; each answer is waited for 30 s,\n"
    "          or SECONDS when longer\n"
    "\n"
    "Exit status: 0 success; 1 the operation failed or was cancelled, or the\n"
    "application could not be reached; 2 wrong usage; 3 refused (sending it again\n"
    "does not help); 4 still running: the wait bound passed first, the answer with\n"
    "its \"operation_id\" is on standard output (`wait ID` goes on waiting); 5 busy:\n"
    "refused only because another operation is still running (\"busy\": true in the\n"
    "outcome), try again once it has ended.\n";

int usage(std::string_view problem) {
  if (!problem.empty()) fmt::print(stderr, "settingsctl: {}\n", problem);
  fmt::print(stderr, "{}", kUsageText);
  return kUsage;
}

int failure(std::string_view message, int code = kFailed) {
  fmt::print(stderr, "settingsctl: {}\n", message);
  return code;
}

// The member of an object, or null for anything else, so that an odd answer
// never makes the client throw.
const Json& member(const Json& value, std::string_view key) {
  static const Json kNull;
  if (!value.is_object()) return kNull;
  auto it = value.find(key);
  return it == value.end() ? kNull : *it;
}

std::string text_of(const Json& value, std::string_view fallback = "") {
  return value.is_string() ? value.get<std::string>() : std::string(fallback);
}

void print_json(const Json& value) {
  fmt::print("{}\n", value.dump(2, ' ', false, Json::error_handler_t::replace));
}

// The exit status an outcome or status stands for.
int status_code(const Json& outcome) {
  const std::string s = text_of(member(outcome, "state"));
  if (s == "completed" || s == "accepted" || s == "succeeded" || s == "pending") return kOk;
  if (s == "rejected" && member(outcome, "busy") == true) return kBusy;
  if (s == "rejected" || s == "not_handled") return kRefused;
  return kFailed;
}

struct Client {
  kalu_ui::host::Connection connection;
  int timeout_ms;       // for one answer
  int wait_timeout_ms;  // for an operation to be final
  std::uint64_t next_id = 1;

  // One request; the answer's "result", or the exit status to leave with.
  std::expected<Json, int> call(Json request) {
    request["id"] = next_id++;
    auto line = connection.request(request.dump(-1, ' ', false, Json::error_handler_t::replace),
                                   timeout_ms);
    if (!line) return std::unexpected(failure(line.error()));
    Json answer = Json::parse(*line, nullptr, false);
    if (answer.is_discarded() || !answer.is_object()) {
      return std::unexpected(failure("the application answered something that is not JSON"));
    }
    if (member(answer, "ok") == true) return member(answer, "result");
    const Json& error = member(answer, "error");
    return std::unexpected(
        failure(fmt::format("{} ({})", text_of(member(error, "message"), "refused"),
                            text_of(member(error, "code"), "error")),
                kRefused));
  }
};

// The JSON of an argument; "-" reads it from standard input.
std::expected<Json, std::string> parse_json_arg(std::string_view text, std::string_view what) {
  std::string read;
  if (text == "-") {
    char buffer[4096];
    std::size_t n = 0;
    while ((n = std::fread(buffer, 1, sizeof(buffer), stdin)) > 0) read.append(buffer, n);
    if (std::ferror(stdin)) {
      return std::unexpected(fmt::format("{} could not be read from standard input", what));
    }
    text = read;
  }
  Json value = Json::parse(text, nullptr, false);
  if (value.is_discarded()) return std::unexpected(fmt::format("{} is not valid JSON", what));
  return value;
}

// Polls `id` until its status is final or the wait bound passes: the final
// status, the last (pending) status when the bound passed, or the exit
// status to leave with when the application could not be asked.
std::expected<Json, int> wait_final(Client& client, const std::string& id) {
  const auto deadline =
      std::chrono::steady_clock::now() + std::chrono::milliseconds(client.wait_timeout_ms);
  for (;;) {
    auto result = client.call({{"method", "poll"}, {"operation_id", id}});
    if (!result) return std::unexpected(result.error());
    const Json& status = member(*result, "status");
    if (text_of(member(status, "state")) != "pending") return status;
    if (std::chrono::steady_clock::now() > deadline) {
      fmt::print(stderr,
                 "settingsctl: operation {} is still running; `settingsctl wait {}` waits on\n", id,
                 id);
      return status;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
}

// The exit status of a status that --wait or wait ended with.
int waited_code(const Json& status) {
  return text_of(member(status, "state")) == "pending" ? kStillRunning : status_code(status);
}

// Takes a trailing "--wait" off `args`; answers whether there was one.
bool take_wait_flag(std::vector<std::string>& args) {
  if (args.size() < 2 || args.back() != "--wait") return false;
  args.pop_back();
  return true;
}

int run(Client& client, std::vector<std::string> args) {
  const std::string command = args[0];
  const bool wait = (command == "invoke" || command == "start") && take_wait_flag(args);
  const std::size_t n = args.size();
  if (command == "list" && n == 1) {
    auto result = client.call({{"method", "list"}});
    if (!result) return result.error();
    print_json(member(*result, "resources"));
    return kOk;
  }
  if (command == "get" && n == 2) {
    auto result = client.call({{"method", "get"}, {"resource", args[1]}});
    if (!result) return result.error();
    print_json(member(*result, "resource"));
    return kOk;
  }
  if (command == "invoke" && (n == 3 || n == 4)) {
    Json request = {{"method", "invoke"}, {"resource", args[1]}, {"action", args[2]}};
    if (n == 4) {
      auto arguments = parse_json_arg(args[3], "ARGS-JSON");
      if (!arguments) return usage(arguments.error());
      request["arguments"] = std::move(*arguments);
    }
    auto result = client.call(std::move(request));
    if (!result) return result.error();
    const Json& outcome = member(*result, "outcome");
    if (wait && text_of(member(outcome, "state")) == "accepted") {
      auto status = wait_final(client, text_of(member(*result, "operation_id")));
      if (!status) return status.error();
      (*result)["status"] = *status;
      print_json(*result);
      return waited_code(*status);
    }
    print_json(*result);
    return status_code(outcome);
  }
  if (command == "start" && n == 4) {
    char* end = nullptr;
    const long kind = std::strtol(args[2].c_str(), &end, 10);
    if (args[2].empty() || *end != '\0' || kind < 0 || kind > 255) {
      return usage("KIND must be a number from 0 to 255");
    }
    auto payload = parse_json_arg(args[3], "PAYLOAD");
    if (!payload) return usage(payload.error());
    auto result = client.call(
        {{"method", "start"}, {"action_id", args[1]}, {"kind", kind}, {"payload", *payload}});
    if (!result) return result.error();
    const Json& outcome = member(*result, "outcome");
    const int code = status_code(outcome);
    if (code != kOk) {
      return failure(
          fmt::format("{}: {}", text_of(member(outcome, "state")),
                      text_of(member(outcome, "message"), "the operation was not started")),
          code);
    }
    const std::string id = text_of(member(*result, "operation_id"));
    if (!wait || text_of(member(outcome, "state")) != "accepted") {
      fmt::print("{}\n", id);
      return kOk;
    }
    auto status = wait_final(client, id);
    if (!status) return status.error();
    // Still running: the id, as start without --wait prints it.
    if (text_of(member(*status, "state")) == "pending") {
      fmt::print("{}\n", id);
    } else {
      print_json(*status);
    }
    return waited_code(*status);
  }
  if (command == "poll" && (n == 2 || (n == 3 && args[2] == "--cancel"))) {
    auto result = client.call({{"method", "poll"}, {"operation_id", args[1]}, {"cancel", n == 3}});
    if (!result) return result.error();
    const Json& status = member(*result, "status");
    print_json(status);
    return status_code(status);
  }
  if (command == "wait" && n == 2) {
    auto status = wait_final(client, args[1]);
    if (!status) return status.error();
    print_json(*status);
    return waited_code(*status);
  }
  if (command == "send" && n == 2) {
    auto line = client.connection.request(args[1], client.timeout_ms);
    if (!line) return failure(line.error());
    fmt::print("{}\n", *line);
    Json answer = Json::parse(*line, nullptr, false);
    return member(answer, "ok") == true ? kOk : kRefused;
  }
  return usage(fmt::format("unknown command or wrong arguments: {}", command));
}

}  // namespace

int main(int argc, char** argv) {
  std::string app_id = "kalu.settings";
  std::string socket_path;
  std::optional<int> timeout_seconds;
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    const bool has_value = i + 1 < argc;
    if (arg == "--app" && has_value && args.empty()) {
      app_id = argv[++i];
    } else if (arg == "--socket" && has_value && args.empty()) {
      socket_path = argv[++i];
    } else if (arg == "--timeout" && has_value && args.empty()) {
      // Bounded so that the milliseconds fit an int.
      const char* text = argv[++i];
      char* end = nullptr;
      errno = 0;
      const long seconds = std::strtol(text, &end, 10);
      if (end == text || *end != '\0' || errno != 0 || seconds < 1 || seconds > kMaxTimeout) {
        return usage(
            fmt::format("--timeout must be a whole number of seconds from 1 to {}", kMaxTimeout));
      }
      timeout_seconds = static_cast<int>(seconds);
    } else if (arg == "--help" || arg == "-h") {
      fmt::print("{}", kUsageText);
      return kOk;
    } else {
      args.emplace_back(arg);
    }
  }
  if (args.empty()) return usage("");
  if (socket_path.empty()) {
    auto path = kalu_ui::host::automation_socket_path(app_id);
    if (!path) return failure(path.error());
    socket_path = std::move(*path);
  }
  auto connection = kalu_ui::host::Connection::open(socket_path);
  if (!connection) {
    return failure(connection.error().message,
                   connection.error().access_denied ? kRefused : kFailed);
  }
  Client client{std::move(*connection),
                std::max(timeout_seconds.value_or(0), kDefaultRequestSeconds) * 1000,
                timeout_seconds.value_or(kDefaultWaitSeconds) * 1000};
  return run(client, std::move(args));
}
