#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "kalu_ui/widget/button.h"
#include "system_ops/privacy.h"

// Handing the person over to a tool of the desktop (disks, backups, the
// workspace's own settings, the identity backup). The hand-over may touch
// files, so it runs on a short worker ("kalu-open-tool"); a failure is
// logged, as nobody is waiting for it.
namespace settings::lib {

void open_tool_in_background(system_ops::tool_intent::ToolIntent intent,
                             std::optional<std::uint8_t> page = std::nullopt);

// The page buttons that hand over to a system tool. Each is published for
// automation as "kalu.control:<id>" with its "invoke" action, which clicks it.
enum class ToolButton : std::uint8_t {
  // "open-workspace-app-defaults": the current workspace's app rules.
  WorkspaceAppRules,
  // "open-workspace-privacy": the current workspace's access settings.
  WorkspaceAccess,
  // "about.identity-backup.button": the identity backup.
  IdentityBackup,
};

// The button's id and label.
std::string_view tool_button_id(ToolButton button);
std::string_view tool_button_label(ToolButton button);

// The button, labelled and identified as above, whose click opens its tool.
kalu_ui::widget::Button tool_button(ToolButton button);

}  // namespace settings::lib
