#include "lib/tools.h"

#include <string>

#include "kalu_ui/log.h"
#include "lib/worker.h"

namespace settings::lib {

using system_ops::tool_intent::ToolIntent;

namespace {

struct ToolButtonRow {
  std::string_view id;
  std::string_view label;
  ToolIntent intent;
  std::optional<std::uint8_t> page;
};

// By ToolButton. The workspace's settings open on page 3 for its app rules
// and on page 2 for its access.
constexpr ToolButtonRow kToolButtons[] = {
    {"open-workspace-app-defaults", "Open current workspace app rules", ToolIntent::Workspace, 3},
    {"open-workspace-privacy", "Open current workspace access", ToolIntent::Workspace, 2},
    {"about.identity-backup.button", "Create encrypted backup\u2026", ToolIntent::IdentityBackup,
     std::nullopt},
};

const ToolButtonRow& row(ToolButton button) {
  return kToolButtons[static_cast<std::size_t>(button)];
}

}  // namespace

void open_tool_in_background(ToolIntent intent, std::optional<std::uint8_t> page) {
  auto open = [intent, page] {
    auto opened = system_ops::tool_intent::open_tool(intent, page);
    if (!opened) {
      kalu_ui::log::warn("kalu::settings", "settings::lib", "could not open the tool",
                         {{"op", "open_tool"}, {"error", opened.error()}});
    }
  };
  if (!spawn_worker("kalu-open-tool", open)) {
    kalu_ui::log::warn("kalu::settings", "settings::lib", "could not open the tool",
                       {{"op", "open_tool"}, {"error", "no thread"}});
  }
}

std::string_view tool_button_id(ToolButton button) { return row(button).id; }

std::string_view tool_button_label(ToolButton button) { return row(button).label; }

kalu_ui::widget::Button tool_button(ToolButton button) {
  const ToolButtonRow& tool = row(button);
  return kalu_ui::widget::Button(std::string(tool.label))
      .with_id(std::string(tool.id))
      .on_click(
          [intent = tool.intent, page = tool.page] { open_tool_in_background(intent, page); });
}

}  // namespace settings::lib
