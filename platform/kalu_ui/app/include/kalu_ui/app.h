#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "kalu_actions/dispatch.h"
#include "kalu_ui/document.h"
#include "kalu_ui/frame.h"
#include "kalu_ui/result.h"
#include "kalu_ui/text.h"
#include "widget_contract/widget.h"

// The application object the launcher hands to the set-up hook, the
// application spec, and the launcher that opens the window and runs the
// frame loop.
namespace kalu_ui::app {

class App {
 public:
  explicit App(std::string app_id);
  // An App whose registry is one shared with another owner (the launcher's
  // automation host), so that both see the same namespaces.
  App(std::string app_id, std::shared_ptr<kalu_actions::ActionRegistry> registry);

  const std::string& app_id() const { return app_id_; }

  // The handlers of the application's action namespaces.
  kalu_actions::ActionRegistry& action_registry_mut() { return *registry_; }
  const kalu_actions::ActionRegistry& action_registry() const { return *registry_; }
  // A shared handle to the same registry, for an action host that outlives a frame.
  std::shared_ptr<kalu_actions::ActionRegistry> shared_action_registry() const { return registry_; }

  // Two switches for the application's automation surface, off until the
  // set-up hook turns them on; kept in this order.
  bool setting_a = false;
  bool setting_b = false;

  // Callbacks run on the UI thread at the start of every frame (the action
  // host's pump, for one). Added before or while the loop runs.
  void add_frame_hook(frame::FrameHook hook) { hooks_.push_back(std::move(hook)); }
  std::vector<frame::FrameHook> take_frame_hooks() { return std::exchange(hooks_, {}); }

 private:
  std::string app_id_;
  std::shared_ptr<kalu_actions::ActionRegistry> registry_;
  std::vector<frame::FrameHook> hooks_;
};

}  // namespace kalu_ui::app

namespace kalu_ui::persist {

// Opens the application's persisted state document. Nothing of the document
// outlives a run yet, so this answers a fresh document.
Result<doc::Document> open(std::string_view app_id);

}  // namespace kalu_ui::persist

namespace kalu_ui::launch {

struct WindowSize {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  friend bool operator==(const WindowSize&, const WindowSize&) = default;
};

using AppFactory = std::function<WidgetBox(app::App&)>;
using AppHook = std::function<void(app::App&)>;
using PersistOpener = Result<doc::Document> (*)(std::string_view app_id);

// What an application hands the launcher, in this order. The lists, the
// optional texts, callbacks a to h, `enabled` and the flags are reserved: the
// launcher accepts them and does not act on them yet.
struct AppSpec {
  std::string app_id;
  std::vector<std::string> list_a;
  std::vector<std::string> list_b;
  std::vector<std::string> list_c;
  std::vector<std::string> list_d;
  std::vector<std::string> list_e;
  std::optional<std::string> optional_a;
  std::optional<std::string> optional_b;
  std::optional<std::string> optional_c;
  std::optional<std::string> optional_d;
  // Builds the root widget; called once, before the set-up hook.
  AppFactory make_app;
  AppHook callback_a;
  AppHook callback_b;
  AppHook callback_c;
  AppHook callback_d;
  // Called once with the App after the factory, before the first frame.
  AppHook setup;
  AppHook callback_e;
  AppHook callback_f;
  AppHook callback_g;
  AppHook callback_h;
  // The window's size in logical pixels; absent: 1280 by 800.
  std::function<WindowSize()> default_window_size;
  std::function<bool()> enabled;
  // Opens the state document the loop hands to every sync; absent: a fresh one.
  PersistOpener persist_open = nullptr;
  std::array<std::uint8_t, 4> flags{};
  // The text styles the first page draws with (before the user's text
  // scale): their fonts are loaded on another thread while the window opens,
  // so the first frame only lays out. The default style always is.
  std::vector<text::TextStyle> first_frame_styles;
};

inline constexpr WindowSize kDefaultWindowSize{1280, 800};

// The window size the spec asks for, the default when it asks for none (or for
// an empty one).
WindowSize window_size(const AppSpec& spec);

// Opens the window, calls the factory and the set-up hook once each, runs
// the frame loop and returns when the window closes. A failure to open the
// window (no display, for one) is answered as a message.
Result<int> run(AppSpec spec);

// run, with a failure written to standard error and the process ended with
// status 1. Answers the exit status when the window closed.
int run_or_exit(AppSpec spec);

}  // namespace kalu_ui::launch
