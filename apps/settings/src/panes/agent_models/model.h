#pragma once

// The Agent Models pane's data that needs no window: the control ids its
// buttons and the automation requests set, the actions each model offers,
// byte counts in GiB, and the snapshot the pane shows when the local model
// service cannot answer (judged from the memory /proc/meminfo reports).

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>

#include "operations/records.h"
#include "stored/local_models.h"

namespace settings::panes::agent_models {

// The one-shot triggers of the page (booleans in the pane's state document).
inline constexpr std::string_view kAcceleratorSetupControl = "agent_models.accelerator.setup";
inline constexpr std::string_view kLocalSetupControl = "agent_models.local.setup";
inline constexpr std::string_view kLocalCancelControl = "agent_models.local.cancel";
inline constexpr std::string_view kLocalConfirmControl = "agent_models.local.confirm";
inline constexpr std::string_view kFixedControls[] = {kAcceleratorSetupControl, kLocalSetupControl,
                                                      kLocalCancelControl, kLocalConfirmControl};

// What can be done to an installed model, in the order the page offers it.
enum class ModelAction : std::uint8_t { Start, Stop, Remove, Retry };

// "start", "stop", "remove", "retry": the word in the model's control ids.
std::string_view action_word(ModelAction action);
// "Start", "Stop", "Remove…", "Retry install": the button and message label.
std::string_view action_label(ModelAction action);

// The actions a model in `phase` offers: none while it downloads or installs;
// stop and remove while it runs; start and remove when ready and stopped;
// retry and remove after an error.
std::span<const ModelAction> model_actions(const stored::LocalModelPhase& phase);

// "agent_models.local.{action}.{id}", the package id with every character
// that is not an ASCII letter or digit made "_" (a character of several bytes
// gives one "_"), so any id is a safe control id. Ids that differ only in
// such characters share their controls: whoever reads a trigger must not take
// it for the first model that matches without knowing which one was meant.
std::string model_control_id(ModelAction action, std::string_view package_id);

// The control an automation request sets: the same trigger as its button.
std::string operation_control_id(const operations::AgentModelOperation& operation);

// Bytes in GiB with one decimal, "1.5 GiB".
std::string format_gib(std::uint64_t bytes);

// "Remove {name}? This deletes its {size} local snapshot. ...": the notice of
// a first Remove click, which waits for a second one.
std::string remove_notice(const stored::LocalModelPackage& package);

// ---- When the service cannot answer ---------------------------------------

inline constexpr std::string_view kMeminfoPath = "/proc/meminfo";
// The memory assumed when the file does not tell.
inline constexpr std::uint16_t kAssumedMemoryGib = 8;

// The system memory in whole GiB from the first "MemTotal:" line of
// `meminfo` whose first field reads as a number of KiB; kAssumedMemoryGib when
// the file cannot be read, has no such line, or tells more than 65535 GiB.
std::uint16_t system_memory_gib(const std::filesystem::path& meminfo);

struct FitJudgement {
  stored::HardwareFit fit;
  std::string_view reason;
};

// 32 GiB and more: excellent; 16 to 31: good; 8 to 15: tight; less: unsupported.
FitJudgement fit_for_memory(std::uint16_t memory_gib);

// The snapshot shown without the service: the hardware judged by memory alone,
// no recommendation, no models, no accelerator setup.
stored::LocalModelSnapshot fallback_snapshot(const std::filesystem::path& meminfo);

// The notice beside the fallback, naming why the service did not answer.
std::string unavailable_notice(std::string_view error);

}  // namespace settings::panes::agent_models
