#include "lib/tools.h"

#include "kalu_ui/log.h"
#include "lib/worker.h"

namespace settings::lib {

void open_tool_in_background(system_ops::tool_intent::ToolIntent intent,
                             std::optional<std::uint8_t> page) {
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

}  // namespace settings::lib
