#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "kalu_ui/result.h"

// Privacy facts of the device (simulated device, section "privacy") and the
// system tools that Settings hands a person over to (section "tools" records
// what was opened). A fault injected as "privacy.get_privacy_status" or
// "tool_intent.open_tool" answers its text.
namespace system_ops {

namespace privacy {

struct ActiveUse {
  std::string app_name;
  std::uint8_t kind = 0;  // 0 microphone, 1 camera
};

struct PrivacyStatus {
  bool camera_present = false;
  std::uint8_t camera_state = 0;      // 0 not reported, 1 available, 2 software, 3 hardware block
  std::uint8_t microphone_state = 0;  // as camera_state
  std::uint8_t microphone_mute = 0;   // 0 listening allowed, 1 muted, 2 unavailable
  std::vector<ActiveUse> active_uses;
};

kalu_ui::Result<PrivacyStatus> get_privacy_status();

}  // namespace privacy

namespace tool_intent {

enum class ToolIntent : std::uint8_t {
  Vpn = 0,  // the VPN tool, optionally for one connection
  Disks = 1,
  Backups = 2,
  Workspace = 3,  // the current workspace's settings; page 2 access, page 3 app rules
  IdentityBackup = 4,
};

// Opens the tool; `page` and `subject` say where (a page number, a VPN
// connection's name).
kalu_ui::Status open_tool(ToolIntent intent, std::optional<std::uint8_t> page = std::nullopt,
                          std::optional<std::string> subject = std::nullopt);

}  // namespace tool_intent
}  // namespace system_ops
