#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "kalu_actions/dispatch.h"
#include "kalu_ui/control_replay.h"
#include "kalu_ui/document.h"
#include "kalu_ui/instant.h"
#include "kalu_ui/layout.h"
#include "kalu_ui/scene.h"
#include "kalu_ui/text.h"
#include "kalu_ui/theme.h"
#include "widget_contract/widget.h"

// The frame driver: one frame of the toolkit, shared by the window and the
// headless harness. A front end feeds it events and its surface size, asks it
// to run a frame, shows the scene it drew and sleeps until next_deadline().
namespace kalu_ui::frame {

// Called on the UI thread at the start of every frame, before sync, with the
// root widget and the state document (the action host's pump, for one).
using FrameHook = std::function<void(Widget& root, doc::Document& document)>;
struct FrameReport;
// Called on the UI thread at the end of every frame, with what it did (the
// accessibility bridge's snapshot, for one).
using FrameEndHook = std::function<void(const Widget& root, const FrameReport& report)>;

// Cursor shapes a widget can answer from cursor_icon_at.
namespace cursor {
// The numbers are the toolkit's: controls answer 3 over something pressable
// and 8 over editable text.
inline constexpr CursorKind kDefault = 0;
inline constexpr CursorKind kGrab = 1;
inline constexpr CursorKind kCrosshair = 2;
inline constexpr CursorKind kPointer = 3;  // a pressable control
inline constexpr CursorKind kResizeHorizontal = 4;
inline constexpr CursorKind kResizeVertical = 5;
inline constexpr CursorKind kNotAllowed = 6;
inline constexpr CursorKind kWait = 7;
inline constexpr CursorKind kText = 8;  // editable text
}  // namespace cursor

// How often a tree that asks for idle syncs is synced while nothing else
// happens (panes polling worker threads that do not wake the loop).
inline constexpr std::chrono::milliseconds kIdleSyncInterval{100};
// The pace of frames while a widget animates.
inline constexpr std::chrono::milliseconds kAnimationFrameInterval{16};
// How often operations started by bound controls are polled while they run
// (their owners usually wake the loop sooner when they end).
inline constexpr std::chrono::milliseconds kReplayPollInterval{100};
// The base text size handed to build_layout, in logical pixels.
inline constexpr float kBaseTextSize = 14.0f;

// What one frame did.
struct FrameReport {
  bool layout_built = false;     // build_layout ran (structure, size or scale changed)
  bool layout_computed = false;  // the layout was computed and applied
  bool drawn = false;            // the scene was redrawn
  DamageList damage;             // logical rectangles to repaint; empty when not drawn
};

class FrameDriver {
 public:
  explicit FrameDriver(WidgetBox root, doc::Document document = doc::Document(),
                       Theme theme = Theme::configured());
  ~FrameDriver();
  FrameDriver(const FrameDriver&) = delete;
  FrameDriver& operator=(const FrameDriver&) = delete;

  // The surface in physical pixels and the window's scale factor (physical
  // pixels per logical pixel before the theme's UI scale). A change rebuilds
  // the layout on the next frame.
  void set_surface(int physical_width, int physical_height, double window_scale);
  int physical_width() const { return physical_width_; }
  int physical_height() const { return physical_height_; }
  // Physical pixels per logical pixel: the window's scale times the UI scale.
  double scale() const { return window_scale_ * theme_.ui_scale; }
  // The window in logical pixels.
  Size logical_size() const;

  // Hands one event (positions in logical pixels) to the tree: pointer events
  // to the root, or to the widget that captured the pointer; keys, text and
  // compositions to the focused widget first and to the root when it did not
  // handle them; Tab moves the focus when nobody handled it. Applies focus and
  // capture requests afterwards. Answers whether a widget handled it.
  bool dispatch(const Event& event, Clipboard* clipboard = nullptr);

  // Runs one frame: the person's place is taken (widget/place.h), hooks,
  // sync, the control replay (what bound controls recorded is carried out as
  // their actions, host/control_replay.h), the root's theme override,
  // take_structure_dirty, and when needed build_layout, after which the
  // widgets built anew get the place back and the tree syncs once more, so
  // they draw the document's values in this very frame, and a focus the
  // rebuild lost goes to the default answer of a question the page now asks
  // (widget::default_answer); then layout, apply_layout, and, when the
  // structure changed or a widget asks for a redraw, draw and draw_overlay
  // into a new scene, which is held against the one on screen: the damage is
  // where their commands differ (each rectangle with the reach of a focus
  // ring), and a frame whose scene is the same draws nothing. Last the
  // frame-end hooks.
  FrameReport run_frame();
  // Redraws everything on the next frame (a new or exposed window surface).
  void invalidate() { force_redraw_ = true; }

  // When the next frame is due with no event and no wake: at once after a
  // frame whose replay carried something out (so the tree syncs what it
  // changed), the earliest widget deadline, the next animation frame, the
  // next idle sync, the next poll of a replayed operation; none: sleep until
  // an event or a wake.
  std::optional<Instant> next_deadline(Instant now = Instant::now()) const;

  void add_frame_hook(FrameHook hook) { hooks_.push_back(std::move(hook)); }
  void add_frame_end_hook(FrameEndHook hook) { end_hooks_.push_back(std::move(hook)); }
  // The namespaces the replay dispatches settings through (the App's); none
  // until set, and settings are then refused.
  void set_action_registry(std::shared_ptr<const kalu_actions::ActionRegistry> registry) {
    replay_.set_action_registry(std::move(registry));
  }
  host::ControlReplay& control_replay() { return replay_; }

  Widget& root() { return *root_; }
  const Widget& root() const { return *root_; }
  doc::Document& document() { return document_; }
  const doc::Document& document() const { return document_; }
  const Scene& scene() const { return scene_; }
  // The theme the frame draws with: the root's theme override when it
  // answers one (asked every frame, after the replay, so a look changed by
  // a client, a control or a pane is drawn in that very frame), else the
  // theme given at construction or to set_theme.
  const Theme& theme() const { return theme_; }
  void set_theme(Theme theme);
  // The theme an override stands for: the high-contrast theme when it asks
  // for high contrast, else its theme (`base` when it names none), with its
  // UI scale, text scale and reduced motion.
  static Theme theme_for(const ThemeOverride& look, const Theme& base);
  text::TextRenderer& renderer() { return renderer_; }
  // Draws with `renderer` from now on (fonts loaded elsewhere before the
  // first frame), at the theme's text scale.
  void adopt_renderer(text::TextRenderer renderer);
  std::uint64_t frame_count() const { return frames_; }

  // The cursor the tree shows at a point (cursor_in_tree from the root).
  std::optional<CursorKind> cursor_at(Point logical) const;
  // The focused widget (the first in tree order whose is_focused is true).
  Widget* focused();
  // Moves the keyboard focus to `widget` (which must be in the tree) or
  // clears it.
  void set_focus(Widget* widget);

 private:
  FrameReport run_frame_steps();
  void move_focus(bool backwards);
  // Draws with `theme` from this frame on; a new scale rebuilds the layout.
  void apply_theme(Theme theme);
  void follow_theme_override();

  WidgetBox root_;
  doc::Document document_;
  // What set_theme (or construction) gave, and what the frame draws with.
  Theme base_theme_;
  Theme theme_;
  text::TextRenderer renderer_;
  layout::LayoutTree tree_;
  layout::NodeRegistry registry_;
  layout::NodeId root_node_;
  Scene scene_;
  std::vector<FrameHook> hooks_;
  std::vector<FrameEndHook> end_hooks_;
  host::ControlReplay replay_;
  // The last replay carried something out: the tree syncs it at once.
  bool replay_follow_up_ = false;
  Widget* capture_ = nullptr;  // checked against the tree before every use
  int physical_width_ = 0;
  int physical_height_ = 0;
  double window_scale_ = 1.0;
  bool layout_stale_ = true;
  bool force_redraw_ = true;
  std::uint64_t frames_ = 0;
};

// ---- Tree walks (depth first, each widget before its children) ------------

// The first widget whose id() is `id`.
Widget* find_by_id(Widget& root, std::string_view id);
const Widget* find_by_id(const Widget& root, std::string_view id);
// True when `target` is `root` or lies below it.
bool contains(const Widget& root, const Widget* target);
// Every widget for which `pick` answers true, in tree order.
std::vector<Widget*> collect(Widget& root, const std::function<bool(const Widget&)>& pick);

}  // namespace kalu_ui::frame
