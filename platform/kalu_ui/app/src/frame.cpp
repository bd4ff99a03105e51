#include "kalu_ui/frame.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <type_traits>
#include <variant>

#include "kalu_ui/log.h"
#include "kalu_ui/widget/focus.h"
#include "kalu_ui/widget/place.h"
#include "kalu_ui/widget/support.h"

namespace kalu_ui::frame {
namespace {

constexpr std::string_view kTarget = log::kToolkitTarget;
constexpr std::string_view kModule = "kalu_ui::frame";

template <typename W, typename Visit>
bool walk(W& widget, const Visit& visit) {
  if (visit(widget)) return true;
  if constexpr (std::is_const_v<W>) {
    for (const Widget* child : widget.children()) {
      if (child && walk(*child, visit)) return true;
    }
  } else {
    for (Widget* child : widget.children_mut()) {
      if (child && walk(*child, visit)) return true;
    }
  }
  return false;
}

bool is_pointer_event(const Event& event) {
  return event.is<PointerDown>() || event.is<PointerUp>() || event.is<PointerMove>();
}

bool is_keyboard_event(const Event& event) {
  return event.is<KeyDown>() || event.is<KeyUp>() || event.is<TextInput>() ||
         event.is<ImePreedit>();
}

// Two commands that put the same pixels on the same places. A text is the
// same when its layout is, or when both shape the same text in the same
// style to the same size; an image when its pixels are.
bool same_command(const SceneCmd& a, const SceneCmd& b) {
  if (a.index() != b.index()) return false;
  return std::visit(
      [&b](const auto& x) -> bool {
        using T = std::decay_t<decltype(x)>;
        const T& y = std::get<T>(b);
        if constexpr (std::is_same_v<T, FillCmd>) {
          return x.shape == y.shape && x.color == y.color && x.rule == y.rule &&
                 x.transform == y.transform;
        } else if constexpr (std::is_same_v<T, StrokeCmd>) {
          return x.shape == y.shape && x.color == y.color && x.style == y.style &&
                 x.transform == y.transform;
        } else if constexpr (std::is_same_v<T, TextCmd>) {
          if (!(x.color == y.color && x.transform == y.transform && x.box == y.box)) return false;
          if (x.layout == y.layout) return true;
          return x.layout && y.layout && x.layout->text() == y.layout->text() &&
                 x.layout->style() == y.layout->style() &&
                 x.layout->metrics() == y.layout->metrics();
        } else if constexpr (std::is_same_v<T, ImageCmd>) {
          if (!(x.dest == y.dest && x.filter == y.filter && x.opacity == y.opacity &&
                x.transform == y.transform)) {
            return false;
          }
          if (x.image == y.image) return true;
          return x.image && y.image && x.image->width == y.image->width &&
                 x.image->height == y.image->height && x.image->pixels == y.image->pixels;
        } else if constexpr (std::is_same_v<T, PushClipCmd>) {
          return x.shape == y.shape && x.transform == y.transform;
        } else {
          return true;
        }
      },
      a);
}

// Where each command can show: its bounds within the clips open around it
// and the window.
std::vector<Rect> visible_bounds(const Scene& scene, const Rect& window) {
  std::vector<Rect> out;
  out.reserve(scene.size());
  std::vector<Rect> clips{window};
  for (const SceneCmd& cmd : scene.commands()) {
    if (std::holds_alternative<PopClipCmd>(cmd)) {
      if (clips.size() > 1) clips.pop_back();
      out.push_back(Rect{});
      continue;
    }
    const Rect shown = Scene::bounds(cmd).intersect(clips.back());
    if (std::holds_alternative<PushClipCmd>(cmd)) clips.push_back(shown);
    out.push_back(shown);
  }
  return out;
}

// More rectangles than this are sent as the one that holds them all.
constexpr std::size_t kMostDamageRects = 48;

// The rectangles to repaint between the frame on screen and the next: the
// places of the commands that differ (before and after), each widened by
// the reach of anti-aliasing and focus rings, overlapping ones merged.
DamageList scene_damage(const Scene& before, const Scene& after, const Rect& window) {
  const auto& a = before.commands();
  const auto& b = after.commands();
  std::size_t prefix = 0;
  while (prefix < a.size() && prefix < b.size() && same_command(a[prefix], b[prefix])) ++prefix;
  std::size_t suffix = 0;
  while (suffix < a.size() - prefix && suffix < b.size() - prefix &&
         same_command(a[a.size() - 1 - suffix], b[b.size() - 1 - suffix])) {
    ++suffix;
  }
  const std::size_t changed_a = a.size() - prefix - suffix;
  const std::size_t changed_b = b.size() - prefix - suffix;
  if (changed_a == 0 && changed_b == 0) return {};
  const std::vector<Rect> shown_a = visible_bounds(before, window);
  const std::vector<Rect> shown_b = visible_bounds(after, window);
  DamageList rects;
  const auto add = [&](const Rect& r) {
    if (!(r.width() > 0.0 && r.height() > 0.0)) return;
    rects.push_back(r.inflate(widget::kFocusRingReach, widget::kFocusRingReach).intersect(window));
  };
  if (changed_a == changed_b) {
    // The same number of commands: only those that differ, pair by pair.
    for (std::size_t i = prefix; i < prefix + changed_a; ++i) {
      if (same_command(a[i], b[i])) continue;
      add(shown_a[i]);
      add(shown_b[i]);
    }
  } else {
    for (std::size_t i = prefix; i < prefix + changed_a; ++i) add(shown_a[i]);
    for (std::size_t i = prefix; i < prefix + changed_b; ++i) add(shown_b[i]);
  }
  if (rects.size() > kMostDamageRects) {
    Rect all = rects.front();
    for (const Rect& r : rects) all = all.union_with(r);
    return {all};
  }
  // Overlapping rectangles become one, until none overlap.
  for (bool merged = true; merged;) {
    merged = false;
    for (std::size_t i = 0; i < rects.size() && !merged; ++i) {
      for (std::size_t j = i + 1; j < rects.size(); ++j) {
        if (rects[i].intersect(rects[j]).area() > 0.0) {
          rects[i] = rects[i].union_with(rects[j]);
          rects.erase(rects.begin() + static_cast<std::ptrdiff_t>(j));
          merged = true;
          break;
        }
      }
    }
  }
  return rects;
}

}  // namespace

Widget* find_by_id(Widget& root, std::string_view id) {
  Widget* found = nullptr;
  walk(root, [&](Widget& w) {
    if (w.id() == id) found = &w;
    return found != nullptr;
  });
  return found;
}

const Widget* find_by_id(const Widget& root, std::string_view id) {
  const Widget* found = nullptr;
  walk(root, [&](const Widget& w) {
    if (w.id() == id) found = &w;
    return found != nullptr;
  });
  return found;
}

bool contains(const Widget& root, const Widget* target) {
  if (!target) return false;
  return walk(root, [&](const Widget& w) { return &w == target; });
}

std::vector<Widget*> collect(Widget& root, const std::function<bool(const Widget&)>& pick) {
  std::vector<Widget*> out;
  walk(root, [&](Widget& w) {
    if (pick(w)) out.push_back(&w);
    return false;
  });
  return out;
}

FrameDriver::FrameDriver(WidgetBox root, doc::Document document, Theme theme)
    : root_(std::move(root)),
      document_(std::move(document)),
      base_theme_(theme),
      theme_(std::move(theme)) {
  renderer_.set_text_scale(theme_.text_scale);
}

void FrameDriver::adopt_renderer(text::TextRenderer renderer) {
  renderer_ = std::move(renderer);
  renderer_.set_text_scale(theme_.text_scale);
  layout_stale_ = true;
}

FrameDriver::~FrameDriver() {
  // The registry points into the tree; forget it before the widgets go.
  registry_.clear();
}

void FrameDriver::set_surface(int physical_width, int physical_height, double window_scale) {
  if (!std::isfinite(window_scale) || window_scale <= 0.0) window_scale = 1.0;
  physical_width = std::max(physical_width, 0);
  physical_height = std::max(physical_height, 0);
  if (physical_width == physical_width_ && physical_height == physical_height_ &&
      window_scale == window_scale_) {
    return;
  }
  physical_width_ = physical_width;
  physical_height_ = physical_height;
  window_scale_ = window_scale;
  layout_stale_ = true;
  force_redraw_ = true;
}

Size FrameDriver::logical_size() const {
  const double s = scale();
  return {physical_width_ / s, physical_height_ / s};
}

void FrameDriver::set_theme(Theme theme) {
  base_theme_ = std::move(theme);
  const std::optional<ThemeOverride> look = root_->theme_override();
  apply_theme(look ? theme_for(*look, base_theme_) : base_theme_);
}

Theme FrameDriver::theme_for(const ThemeOverride& look, const Theme& base) {
  Theme theme = look.high_contrast ? Theme::high_contrast() : look.theme ? *look.theme : base;
  return theme.with_ui_scale(look.ui_scale)
      .with_text_scale(look.text_scale)
      .with_reduce_motion(look.reduce_motion);
}

void FrameDriver::apply_theme(Theme theme) {
  if (theme == theme_) return;
  const bool rescaled = theme.ui_scale != theme_.ui_scale || theme.text_scale != theme_.text_scale;
  theme_ = std::move(theme);
  renderer_.set_text_scale(theme_.text_scale);
  // The tree is built for the physical pixels of a logical one: a new UI
  // scale builds it anew, and a new text scale measures every text again.
  if (rescaled) layout_stale_ = true;
  force_redraw_ = true;
}

void FrameDriver::follow_theme_override() {
  const std::optional<ThemeOverride> look = root_->theme_override();
  apply_theme(look ? theme_for(*look, base_theme_) : base_theme_);
}

Widget* FrameDriver::focused() {
  Widget* found = nullptr;
  walk(*root_, [&](Widget& w) {
    if (w.is_focused()) found = &w;
    return found != nullptr;
  });
  return found;
}

void FrameDriver::set_focus(Widget* widget) {
  if (widget && !contains(*root_, widget)) return;
  Widget* previous = focused();
  if (previous == widget) return;
  if (previous) previous->set_focus(false);
  if (widget) widget->set_focus(true);
}

void FrameDriver::move_focus(bool backwards) {
  std::vector<Widget*> order =
      collect(*root_, [](const Widget& w) { return w.is_focusable() && w.is_enabled(); });
  if (order.empty()) return;
  Widget* current = focused();
  auto at = std::find(order.begin(), order.end(), current);
  std::size_t next = 0;
  if (at == order.end()) {
    next = backwards ? order.size() - 1 : 0;
  } else {
    const std::size_t index = static_cast<std::size_t>(at - order.begin());
    next = backwards ? (index + order.size() - 1) % order.size() : (index + 1) % order.size();
  }
  set_focus(order[next]);
  // A row of a long sidebar or page that the keyboard reaches below the fold
  // is scrolled into view, so the focus never moves where it cannot be seen.
  if (order[next]->is_focused()) root_->reveal_descendant(*order[next]);
}

bool FrameDriver::dispatch(const Event& event, Clipboard* clipboard) {
  EventContext context;
  context.scale_factor = scale();
  context.clipboard = clipboard;

  if (capture_ && !contains(*root_, capture_)) capture_ = nullptr;
  Widget* focus_before = focused();

  if (is_pointer_event(event) && capture_) {
    capture_->handle_event(event, context);
  } else if (is_keyboard_event(event) && focus_before && focus_before != root_.get()) {
    focus_before->handle_event(event, context);
    if (!context.handled) root_->handle_event(event, context);
  } else {
    root_->handle_event(event, context);
  }

  if (const auto* key = event.as<KeyDown>(); key && !context.handled && key->key == Key::Tab &&
                                             !key->modifiers.ctrl && !key->modifiers.alt &&
                                             !key->modifiers.super) {
    move_focus(key->modifiers.shift);
    context.handled = true;
  }

  if (context.focus_request) {
    set_focus(context.focus_request);
    // A key that moved the focus (arrows in a list) brings what it reached
    // into view, as Tab does.
    if (is_keyboard_event(event) && context.focus_request->is_focused()) {
      root_->reveal_descendant(*context.focus_request);
    }
  } else if (const auto* down = event.as<PointerDown>(); down && focus_before) {
    // A press outside the focused widget takes the focus away from it.
    if (contains(*root_, focus_before) && !focus_before->get_rect().contains(down->position)) {
      focus_before->set_focus(false);
    }
  }

  // A release of the button ends any capture; a request made by the same
  // event still wins, so a widget may keep the pointer across clicks.
  if (context.release_pointer_capture || event.is<PointerUp>() || event.is<PointerLeave>()) {
    capture_ = nullptr;
  }
  if (context.pointer_capture_request && !context.release_pointer_capture &&
      contains(*root_, context.pointer_capture_request)) {
    capture_ = context.pointer_capture_request;
  }
  return context.handled;
}

FrameReport FrameDriver::run_frame() {
  FrameReport report = run_frame_steps();
  for (auto& hook : end_hooks_) hook(*root_, report);
  return report;
}

FrameReport FrameDriver::run_frame_steps() {
  FrameReport report;
  ++frames_;
  // Taken before anything of this frame may replace a page, so the page
  // built in its place gets it back.
  const widget::TreePlace place = widget::TreePlace::capture(*root_);
  for (auto& hook : hooks_) hook(*root_, document_);
  root_->sync(document_);
  // After sync, so a control's own write has landed in the document before
  // its action runs; what the action changes is synced by the next frame.
  replay_follow_up_ = replay_.run(*root_, document_) > 0 || replay_.more_waiting();
  // After the replay: a look a control just chose is drawn in this frame.
  follow_theme_override();

  const Size size = logical_size();
  const RenderContext render_context{scale(), kBaseTextSize};
  const layout::AvailableSize available{
      layout::AvailableSpace::definite(static_cast<float>(size.width)),
      layout::AvailableSpace::definite(static_cast<float>(size.height))};
  auto measure = [this](layout::NodeId node, layout::KnownDimensions known,
                        layout::AvailableSize space) -> layout::LayoutSize {
    Widget* widget = registry_.find(node);
    return widget ? widget->measure(known, space, renderer_) : layout::LayoutSize{};
  };
  bool rebuild = root_->take_structure_dirty() || layout_stale_ || !root_node_.is_valid();
  // A widget whose structure follows its laid-out size (a shell that turns
  // narrow) reports the change from apply_layout: one more pass settles it
  // within the same frame.
  const auto build = [&] {
    // Node ids and registry entries from the old build name widgets that may be gone.
    registry_.clear();
    tree_.clear();
    root_node_ = root_->build_layout(tree_, render_context, registry_);
    layout_stale_ = false;
    report.layout_built = true;
  };
  // The focus a build moved, brought into view once laid out.
  Widget* reveal = nullptr;
  for (int pass = 0; pass < 2; ++pass) {
    if (rebuild) {
      build();
      // Widgets built by this layout get the person's place back and show
      // the document's values, and what the panes' first sync wrote, in the
      // frame that first draws them. A sync that replaces widgets in turn
      // is built again, so the layout never names a widget that is gone.
      for (int settle = 0; settle < 2; ++settle) {
        place.restore(*root_);
        root_->sync(document_);
        if (!root_->take_structure_dirty()) break;
        build();
      }
      // A question the rebuilt page asks (a safety test, a confirmation)
      // takes the focus that the page lost on its default answer.
      if (focused() == nullptr) {
        if (Widget* answer = widget::default_answer(*root_)) {
          set_focus(answer);
          reveal = answer;
        }
      }
    }
    const bool measure_again = root_->layout_needs_measure();
    if (rebuild || measure_again || tree_.needs_layout(root_node_, available)) {
      if (measure_again) tree_.mark_dirty();
      if (auto status = tree_.compute_layout(root_node_, available, measure); !status) {
        log::warn(kTarget, kModule, "layout failed",
                  {{"op", "compute_layout"}, {"error", status.error()}});
      }
      root_->apply_layout(tree_, root_node_, 0.0, 0.0);
      report.layout_computed = true;
      if (reveal != nullptr && reveal->is_focused()) root_->reveal_descendant(*reveal);
      reveal = nullptr;
    }
    if (!report.layout_computed || pass == 1) break;
    rebuild = root_->take_structure_dirty();
    if (!rebuild) break;
  }

  const Rect window = Rect::from_origin_size({0.0, 0.0}, size);
  // Whether anything may look different: a surface, theme or structure
  // change, or a widget that asks for a redraw (a leaf keeping the
  // contract's defaults always does).
  bool maybe_changed = force_redraw_ || report.layout_built;
  if (!maybe_changed) {
    DamageList asked;
    collect_tree_damage(*root_, asked);
    maybe_changed = !asked.empty();
  }
  if (!maybe_changed) return report;

  // The scene is drawn anew and held against the one on screen: only what
  // differs is repainted, and a frame that changed nothing repaints nothing,
  // whatever the widgets answered.
  Scene next;
  DrawContext draw_context{window, scale()};
  root_->draw_with_presence(next, Affine::identity(), renderer_, theme_, draw_context);
  DrawContext overlay_context{window, scale()};
  root_->draw_overlay(next, Affine::identity(), renderer_, theme_, overlay_context);
  root_->mark_drawn();
  if (force_redraw_) {
    report.damage.push_back(window);
  } else {
    report.damage = scene_damage(scene_, next, window);
  }
  scene_ = std::move(next);
  force_redraw_ = false;
  report.drawn = !report.damage.empty();
  return report;
}

std::optional<Instant> FrameDriver::next_deadline(Instant now) const {
  if (replay_follow_up_) return now;
  std::optional<Instant> due = root_->next_wake_deadline();
  if (root_->needs_animation_frame()) due = earliest(due, now + kAnimationFrameInterval);
  if (root_->needs_idle_sync()) due = earliest(due, now + kIdleSyncInterval);
  if (replay_.in_flight() > 0) due = earliest(due, now + kReplayPollInterval);
  return due;
}

std::optional<CursorKind> FrameDriver::cursor_at(Point logical) const {
  return cursor_in_tree(*root_, logical.x, logical.y);
}

}  // namespace kalu_ui::frame
