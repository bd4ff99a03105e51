#pragma once

#include <chrono>
#include <cstddef>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "kalu_actions/dispatch.h"
#include "kalu_ui/cairo_backend.h"
#include "kalu_ui/control_replay.h"
#include "kalu_ui/frame.h"
#include "kalu_ui/result.h"
#include "kalu_ui/wake.h"

// The headless harness: the frame loop without a window, for UI tests. It
// runs frames on a root widget with a state document at a chosen size and
// scale, takes input in logical pixels, finds widgets by id, reads the
// diagnostic snapshot and renders the current frame to pixels or PNG. Like
// the window, every frame replays what bound controls recorded as their
// actions (a click on a bound toggle starts its operation on the root), and
// the harness keeps what the replay took for the test to read.
//
//   kalu_ui::harness::Harness h(std::make_unique<MyPage>());
//   h.frame();
//   h.click_id("settings.search");
//   h.type_text("wifi");
//   EXPECT_TRUE(h.render_png(path));
namespace kalu_ui::harness {

struct Options {
  Size size{1280.0, 800.0};    // logical pixels
  double scale = 1.0;          // physical pixels per logical pixel
  std::optional<Theme> theme;  // absent: the dark theme (whatever the environment says)
  // The namespaces the replay dispatches bound controls' settings through
  // (what an App's set-up hook registers); absent: settings are refused.
  std::shared_ptr<const kalu_actions::ActionRegistry> action_registry;

  static Options sized(Size size, double scale = 1.0) {
    Options options;
    options.size = size;
    options.scale = scale;
    return options;
  }
};

class Harness {
 public:
  explicit Harness(WidgetBox root, Options options = {});
  Harness(WidgetBox root, doc::Document document, Options options = {});
  // Puts back the waker that was installed before.
  ~Harness();
  Harness(const Harness&) = delete;
  Harness& operator=(const Harness&) = delete;

  // Runs one frame (as the window does after events or a wake-up).
  frame::FrameReport frame();
  void frames(int count);

  // Size in logical pixels; scale in physical pixels per logical pixel.
  void resize(Size size);
  void set_scale(double scale);
  Size size() const { return size_; }

  // Input in logical pixels. Each hands the event to the tree, then runs a
  // frame, and answers whether a widget handled the event.
  bool send(const Event& event);
  bool pointer_move(Point at);
  bool pointer_down(Point at, PointerButton button = PointerButton::Primary);
  bool pointer_up(Point at, PointerButton button = PointerButton::Primary);
  // Down and up at the same point.
  bool click(Point at);
  // A click at the centre of the widget with this id; false when none has it.
  bool click_id(std::string_view id);
  bool wheel(Point at, Vec2 delta);
  // Key down and key up.
  bool key(Key key, Modifiers modifiers = {});
  bool type_text(std::string_view text);

  Widget* find(std::string_view id);
  std::optional<Rect> rect_of(std::string_view id);
  Widget* focused() { return driver_.focused(); }

  // The control invocations the frames' replay took from the tree since the
  // last call, oldest first, with what became of each (the newest
  // kReplayedKept are kept).
  std::vector<host::ReplayedControl> take_replayed();
  static constexpr std::size_t kReplayedKept = 256;

  // The root's diagnostic snapshot (compact JSON), for the document root by default.
  std::optional<std::string> debug_snapshot(std::string_view root_object = "Root") const;

  // The scene of the last drawn frame, and that frame in physical pixels.
  const Scene& scene() const { return driver_.scene(); }
  Result<cairo_backend::RenderedImage> render() const;
  Status render_png(const std::string& path) const;

  // The sleeping loop: waits, as the window does, until a wake-up or the
  // tree's next deadline and runs a frame then, until `duration` has passed.
  // Answers the number of frames run; an idle tree runs none.
  int run_for(std::chrono::milliseconds duration);
  // Sleeps until a wake-up or the next deadline, at most `timeout`; runs a
  // frame when one came and answers whether it did.
  bool wait_for_frame(std::chrono::milliseconds timeout);

  Widget& root() { return driver_.root(); }
  doc::Document& document() { return driver_.document(); }
  frame::FrameDriver& driver() { return driver_; }
  std::uint64_t frame_count() const { return driver_.frame_count(); }
  const std::shared_ptr<wake::Waker>& waker() const { return waker_; }

 private:
  void apply_surface();

  std::shared_ptr<wake::Waker> waker_;
  std::shared_ptr<wake::Waker> previous_waker_;
  frame::FrameDriver driver_;
  // Shared with the replay's observer.
  std::shared_ptr<std::deque<host::ReplayedControl>> replayed_;
  Size size_;
  double scale_;
};

}  // namespace kalu_ui::harness
