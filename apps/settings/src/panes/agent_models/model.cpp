#include "panes/agent_models/model.h"

#include <fmt/format.h>

#include <charconv>
#include <fstream>
#include <optional>
#include <type_traits>
#include <variant>

#include "limited_exec/text.h"

namespace settings::panes::agent_models {

namespace {

constexpr ModelAction kRunningActions[] = {ModelAction::Stop, ModelAction::Remove};
constexpr ModelAction kStoppedActions[] = {ModelAction::Start, ModelAction::Remove};
constexpr ModelAction kFailedActions[] = {ModelAction::Retry, ModelAction::Remove};

bool is_ascii_alnum(char32_t c) {
  return (c >= U'a' && c <= U'z') || (c >= U'A' && c <= U'Z') || (c >= U'0' && c <= U'9');
}

bool is_blank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// The first white-space-separated field of `rest` as a count of KiB.
std::optional<std::uint64_t> first_field_kib(std::string_view rest) {
  std::size_t begin = 0;
  while (begin < rest.size() && is_blank(rest[begin])) ++begin;
  std::size_t end = begin;
  while (end < rest.size() && !is_blank(rest[end])) ++end;
  std::uint64_t value = 0;
  const char* first = rest.data() + begin;
  const char* last = rest.data() + end;
  auto [stop, ec] = std::from_chars(first, last, value);
  if (first == last || ec != std::errc() || stop != last) return std::nullopt;
  return value;
}

}  // namespace

std::string_view action_word(ModelAction action) {
  switch (action) {
    case ModelAction::Start:
      return "start";
    case ModelAction::Stop:
      return "stop";
    case ModelAction::Remove:
      return "remove";
    case ModelAction::Retry:
      return "retry";
  }
  return "start";
}

std::string_view action_label(ModelAction action) {
  switch (action) {
    case ModelAction::Start:
      return "Start";
    case ModelAction::Stop:
      return "Stop";
    case ModelAction::Remove:
      return "Remove…";
    case ModelAction::Retry:
      return "Retry install";
  }
  return "Start";
}

std::span<const ModelAction> model_actions(const stored::LocalModelPhase& phase) {
  namespace ph = stored::phase;
  if (const auto* ready = std::get_if<ph::Ready>(&phase)) {
    return ready->running ? std::span<const ModelAction>(kRunningActions)
                          : std::span<const ModelAction>(kStoppedActions);
  }
  if (std::holds_alternative<ph::Error>(phase)) return kFailedActions;
  return {};
}

std::string model_control_id(ModelAction action, std::string_view package_id) {
  std::string id = fmt::format("agent_models.local.{}.", action_word(action));
  while (!package_id.empty()) {
    const char32_t c = limited_exec::take_char(package_id);
    id.push_back(is_ascii_alnum(c) ? static_cast<char>(c) : '_');
  }
  return id;
}

std::string operation_control_id(const operations::AgentModelOperation& operation) {
  using Op = operations::AgentModelOperation;
  return std::visit(
      [](const auto& op) -> std::string {
        using T = std::decay_t<decltype(op)>;
        if constexpr (std::is_same_v<T, Op::StageAccelerator>) {
          return std::string(kAcceleratorSetupControl);
        } else if constexpr (std::is_same_v<T, Op::Install>) {
          return std::string(kLocalConfirmControl);
        } else if constexpr (std::is_same_v<T, Op::Start>) {
          return model_control_id(ModelAction::Start, op.id);
        } else if constexpr (std::is_same_v<T, Op::Stop>) {
          return model_control_id(ModelAction::Stop, op.id);
        } else if constexpr (std::is_same_v<T, Op::Retry>) {
          return model_control_id(ModelAction::Retry, op.id);
        } else {
          static_assert(std::is_same_v<T, Op::Remove>);
          return model_control_id(ModelAction::Remove, op.id);
        }
      },
      static_cast<const Op::variant&>(operation));
}

std::string format_gib(std::uint64_t bytes) {
  return fmt::format("{:.1f} GiB", static_cast<double>(bytes) / 1'073'741'824.0);
}

std::string remove_notice(const stored::LocalModelPackage& package) {
  return fmt::format(
      "Remove {}? This deletes its {} local snapshot. Tasks and workspace data are unchanged.",
      package.name, format_gib(package.installed_bytes));
}

std::uint16_t system_memory_gib(const std::filesystem::path& meminfo) {
  constexpr std::string_view kPrefix = "MemTotal:";
  // 2^36 KiB is 65536 GiB, one past what the snapshot's 16 bits hold.
  constexpr std::uint64_t kLimitKib = std::uint64_t{1} << 36;
  std::ifstream in(meminfo);
  std::string line;
  while (in && std::getline(in, line)) {
    if (!line.starts_with(kPrefix)) continue;
    auto kib = first_field_kib(std::string_view(line).substr(kPrefix.size()));
    if (!kib) continue;
    if (*kib >= kLimitKib) return kAssumedMemoryGib;
    return static_cast<std::uint16_t>(*kib / 1'048'576);
  }
  return kAssumedMemoryGib;
}

FitJudgement fit_for_memory(std::uint16_t memory_gib) {
  using stored::HardwareFit;
  if (memory_gib >= 32) {
    return {HardwareFit::Excellent,
            "Your memory can keep a larger local model responsive while other apps are open."};
  }
  if (memory_gib >= 16) {
    return {HardwareFit::Good,
            "Balanced for everyday tool use and this device's available system memory."};
  }
  if (memory_gib >= 8) {
    return {HardwareFit::Tight, "A compact model leaves room for the desktop and workspace apps."};
  }
  return {HardwareFit::Unsupported,
          "This device does not report enough memory for reliable local inference."};
}

stored::LocalModelSnapshot fallback_snapshot(const std::filesystem::path& meminfo) {
  const std::uint16_t memory = system_memory_gib(meminfo);
  const FitJudgement judged = fit_for_memory(memory);
  stored::LocalModelSnapshot snapshot;
  snapshot.hardware.fit = judged.fit;
  snapshot.hardware.memory_gib = memory;
  snapshot.hardware.accelerator = "Checked by the model service at install";
  snapshot.hardware.reason = std::string(judged.reason);
  return snapshot;
}

std::string unavailable_notice(std::string_view error) {
  return fmt::format(
      "The local model service is unavailable ({}). Install or start kalu-model-manager to "
      "inspect hardware, install models, or manage local model lifecycle.",
      error);
}

}  // namespace settings::panes::agent_models
