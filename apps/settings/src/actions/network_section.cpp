#include "actions/network_section.h"

#include <array>
#include <string>
#include <utility>

#include "actions/pane_actions.h"
#include "actions/specs.h"
#include "operations/records.h"

namespace settings::actions {

using operations::NetworkOperation;

namespace {

struct Command {
  std::string_view name;
  std::string_view label;
  NetworkOperation record;
};

// The parameterless commands, in the order clients see them.
const std::array<Command, 10>& commands() {
  static const std::array<Command, 10> table = {{
      {"refresh", "Refresh network list", NetworkOperation::Refresh{}},
      {"run-diagnostics", "Run network diagnostics", NetworkOperation::RunDiagnostics{}},
      {"enable-wired", "Enable wired networking", NetworkOperation::SetWiredEnabled{true}},
      {"disable-wired", "Disable wired networking", NetworkOperation::SetWiredEnabled{false}},
      {"enable-airplane-mode", "Enable airplane mode", NetworkOperation::SetAirplaneMode{true}},
      {"disable-airplane-mode", "Disable airplane mode", NetworkOperation::SetAirplaneMode{false}},
      {"enable-hotspot", "Enable hotspot", NetworkOperation::SetHotspot{true}},
      {"disable-hotspot", "Disable hotspot", NetworkOperation::SetHotspot{false}},
      {"enable-mobile-broadband", "Enable mobile broadband",
       NetworkOperation::SetMobileBroadband{true}},
      {"disable-mobile-broadband", "Disable mobile broadband",
       NetworkOperation::SetMobileBroadband{false}},
  }};
  return table;
}

}  // namespace

kalu_actions::Resource network_resource() {
  auto section = kalu_actions::Resource::create(std::string(kSectionResourcePrefix) + "network",
                                                std::string(kSectionResourceKind), "Network");
  section.actions.reserve(1 + commands().size());
  section = std::move(section).with_action(toggle_operation_spec<NetworkOperation>(
      "wifi", "Set Wi-Fi power",
      [](bool on) { return NetworkOperation{NetworkOperation::SetWifiEnabled{on}}; },
      {"device-local", "network", "hardware"}));
  for (const Command& command : commands()) {
    if (auto spec = operation_spec(std::string(command.name), std::string(command.label),
                                   command.record, {"device-local", "network"})) {
      section = std::move(section).with_action(std::move(*spec));
    }
  }
  return section;
}

std::optional<kalu_actions::ActionBinding> network_toggle_binding(std::string_view action_name) {
  return bind_toggle(network_resource(), action_name);
}

}  // namespace settings::actions
