#include "host_portal_xdg/portal.h"

#include <fmt/format.h>

#include <chrono>
#include <string>
#include <vector>

#include "limited_exec/limited_exec.h"
#include "limited_exec/programs.h"
#include "sim_device/state.h"

namespace host_portal_xdg {
namespace {

using kalu_ui::fail;
using sim_device::Json;

// The opened addresses the simulated device remembers, newest last.
constexpr std::size_t kOpenedUrisKept = 32;
constexpr auto kOpenerTimeout = std::chrono::seconds(10);
constexpr std::size_t kOpenerOutputCap = 16 * 1024;

// The first line of a program's complaint, or its exit status.
std::string complaint(const limited_exec::Output& output) {
  std::string text = output.stderr_bytes.substr(0, output.stderr_bytes.find('\n'));
  if (text.empty()) text = fmt::format("xdg-open exited with status {}", output.status);
  return text;
}

kalu_ui::Status open_with_xdg_open(std::string_view uri) {
  const std::vector<std::string> args = {std::string(uri)};
  auto ran = limited_exec::run("xdg-open", args, kOpenerTimeout, kOpenerOutputCap);
  if (!ran) return fail(ran.error());
  if (!ran->success()) return fail(complaint(*ran));
  return {};
}

}  // namespace

kalu_ui::Result<std::optional<std::filesystem::path>> FileChooser::open(std::string_view title) {
  sim_device::wait_delay("portal.file_chooser_open");
  // The title is recorded whatever the answer, so the edit answers the
  // portal's own error as a value.
  struct Answer {
    std::optional<std::filesystem::path> path;
    std::optional<std::string> error;
  };
  auto answer = sim_device::update_with<Answer>(
      "portal.file_chooser_open", [&](Json& state) -> kalu_ui::Result<Answer> {
        Json& chooser = state["portal"]["file_chooser"];
        chooser["last_title"] = std::string(title);
        const std::string kind = chooser["answer"].get<std::string>();
        if (kind == "error") return Answer{std::nullopt, chooser["error"].get<std::string>()};
        if (kind == "cancel") return Answer{};
        return Answer{std::filesystem::path(chooser["path"].get<std::string>()), std::nullopt};
      });
  if (!answer) return fail(answer.error());
  if (answer->error) return fail(*answer->error);
  return answer->path;
}

kalu_ui::Status open_uri(std::string_view uri) {
  if (uri.empty()) return fail("there is no address to open");
  // Never something xdg-open would read as an option.
  if (uri.front() == '-') return fail("the address to open is not valid");
  if (limited_exec::system_device()) return open_with_xdg_open(uri);
  return sim_device::update("portal.open_uri", [&](Json& state) -> kalu_ui::Status {
    Json& opened = state["portal"]["opened_uris"];
    opened.push_back(std::string(uri));
    while (opened.size() > kOpenedUrisKept) opened.erase(opened.begin());
    return {};
  });
}

}  // namespace host_portal_xdg
