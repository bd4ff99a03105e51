#include "kalu_ui/app.h"

namespace kalu_ui::app {

App::App(std::string app_id)
    : App(std::move(app_id), std::make_shared<kalu_actions::ActionRegistry>()) {}

App::App(std::string app_id, std::shared_ptr<kalu_actions::ActionRegistry> registry)
    : app_id_(std::move(app_id)), registry_(std::move(registry)) {
  if (!registry_) registry_ = std::make_shared<kalu_actions::ActionRegistry>();
}

}  // namespace kalu_ui::app

namespace kalu_ui::persist {

Result<doc::Document> open(std::string_view) { return doc::Document(); }

}  // namespace kalu_ui::persist

namespace kalu_ui::launch {

WindowSize window_size(const AppSpec& spec) {
  if (!spec.default_window_size) return kDefaultWindowSize;
  const WindowSize asked = spec.default_window_size();
  if (asked.width == 0 || asked.height == 0) return kDefaultWindowSize;
  return asked;
}

}  // namespace kalu_ui::launch
