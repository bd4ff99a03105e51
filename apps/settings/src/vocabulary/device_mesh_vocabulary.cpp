#include "vocabulary/device_mesh_vocabulary.h"

#include <fmt/format.h>

#include <algorithm>
#include <array>
#include <nlohmann/json.hpp>
#include <tuple>
#include <unordered_set>

#include "prefs_store/document.h"
#include "prefs_store/paths.h"
#include "relay/rooms.h"

namespace settings::panes::device_mesh {
namespace {

using namespace std::string_view_literals;

constexpr std::array<ContinuityCapabilityInfo, 9> kCapabilities{{
    {"clipboard", "Clipboard", "Share copied text and images with the current certified device."},
    {"notifications", "Notifications",
     "Mirror notification content and actions to the current device."},
    {"wifi_settings", "Wi-Fi & settings", "Offer saved network and compatible personal settings."},
    {"media", "Media", "Continue playback and expose media transport controls."},
    {"display_input", "Display & input",
     "Allow this device to extend a display or accept remote input."},
    {"file_transfer", "File transfer",
     "Accept explicit file sends between your certified devices."},
    {"realtime_sessions", "Realtime sessions",
     "Hand off active calls and other live app sessions."},
    {"typed_gamepad", "Typed gamepad forwarding",
     "Forward typed gamepad events, never an untyped input stream."},
    {"app_continuations", "App continuations",
     "Offer app placement and bounded resume state to your certified devices."},
}};

constexpr std::array kRoleLabels{"Personal device"sv, "Always-on server"sv,
                                 "Available while active"sv};
constexpr std::array kRoleChoices{kRoleLabels[0], kRoleLabels[2], kRoleLabels[1]};
constexpr std::array kReplicationLabels{"Workspace state"sv, "On demand"sv,
                                        "Full workspace copy"sv};
constexpr std::array kReplicationChoices{kReplicationLabels[1], kReplicationLabels[0],
                                         kReplicationLabels[2]};
constexpr std::array kReasonLabels{"Retired"sv, "Lost"sv, "Stolen"sv, "Compromised"sv};

// The desktop's state file may hold much more than its workspaces; past this
// it is not read on the UI thread at all.
constexpr std::size_t kMaxStateFileBytes = 16u << 20;

template <std::size_t N>
std::optional<std::uint8_t> index_of(const std::array<std::string_view, N>& labels,
                                     std::string_view label) {
  auto found = std::ranges::find(labels, label);
  if (found == labels.end()) return std::nullopt;
  return static_cast<std::uint8_t>(found - labels.begin());
}

// The id of one element of the state file's "workspaces", if it names one.
std::optional<std::uint64_t> workspace_id_of(const prefs_store::Json& element) {
  if (auto room = element.find("room"); room != element.end() && room->is_string()) {
    if (auto id = kalu_relay::room_workspace_id(room->get_ref<const std::string&>())) return id;
  }
  if (auto id = element.find("id"); id != element.end() && id->is_number_unsigned()) {
    return id->get<std::uint64_t>();
  }
  return std::nullopt;
}

std::vector<KnownWorkspace> state_file_workspaces() {
  std::vector<KnownWorkspace> out;
  auto path = desktop_state_path();
  if (!path) return out;
  auto text = prefs_store::read_text(*path, kMaxStateFileBytes);
  if (!text || !*text) return out;
  auto document = prefs_store::parse(**text);
  if (!document || !document->is_object()) return out;
  auto list = document->find("workspaces");
  if (list == document->end() || !list->is_array()) return out;
  for (const auto& element : *list) {
    if (!element.is_object()) continue;
    auto id = workspace_id_of(element);
    if (!id) continue;
    auto name = element.find("name");
    out.push_back({name != element.end() && name->is_string() ? name->get<std::string>()
                                                              : std::string("Workspace"),
                   *id});
  }
  return out;
}

}  // namespace

std::span<const ContinuityCapabilityInfo> continuity_capabilities() { return kCapabilities; }

std::optional<std::size_t> continuity_capability_index(std::string_view id) {
  auto found = std::ranges::find(kCapabilities, id, &ContinuityCapabilityInfo::id);
  if (found == kCapabilities.end()) return std::nullopt;
  return static_cast<std::size_t>(found - kCapabilities.begin());
}

std::string continuity_action_name(std::string_view capability_id) {
  std::string name = "continuity-";
  for (char c : capability_id) name.push_back(c == '_' ? '-' : c);
  return name;
}

std::span<const std::string_view> role_labels() { return kRoleLabels; }
std::span<const std::string_view> role_choice_order() { return kRoleChoices; }
std::optional<std::uint8_t> role_from_label(std::string_view label) {
  return index_of(kRoleLabels, label);
}

std::string_view replication_label(std::uint8_t replication) {
  return replication < kReplicationLabels.size() ? kReplicationLabels[replication]
                                                 : kReplicationLabels[1];
}
std::span<const std::string_view> replication_choice_order() { return kReplicationChoices; }
std::optional<std::uint8_t> replication_from_label(std::string_view label) {
  return index_of(kReplicationLabels, label);
}

std::span<const std::string_view> revocation_reason_labels() { return kReasonLabels; }

std::optional<std::filesystem::path> desktop_state_path() {
  return prefs_store::config_path("state.json");
}

std::vector<KnownWorkspace> known_workspaces(const kalu_relay::RelayConfig& config) {
  std::vector<KnownWorkspace> listed;
  std::unordered_set<std::uint64_t> seen;
  for (auto& workspace : state_file_workspaces()) {
    if (seen.insert(workspace.id).second) listed.push_back(std::move(workspace));
  }
  for (const auto& binding : config.workspaces) {
    if (seen.insert(binding.workspace_id).second) {
      listed.push_back({fmt::format("Workspace {}", binding.workspace_id), binding.workspace_id});
    }
  }
  std::ranges::sort(listed, [](const KnownWorkspace& a, const KnownWorkspace& b) {
    return std::tie(a.label, a.id) < std::tie(b.label, b.id);
  });
  return listed;
}

}  // namespace settings::panes::device_mesh
