#include "kalu_ui/harness.h"

#include <cmath>
#include <iterator>

namespace kalu_ui::harness {
Harness::Harness(WidgetBox root, Options options)
    : Harness(std::move(root), doc::Document(), std::move(options)) {}

Harness::Harness(WidgetBox root, doc::Document document, Options options)
    : waker_(std::make_shared<wake::Waker>()),
      previous_waker_(wake::install_waker(waker_)),
      driver_(std::move(root), std::move(document), options.theme ? *options.theme : Theme::dark()),
      replayed_(std::make_shared<std::deque<host::ReplayedControl>>()),
      size_(options.size),
      scale_(options.scale) {
  driver_.set_action_registry(std::move(options.action_registry));
  driver_.control_replay().set_observer([kept = replayed_](const host::ReplayedControl& replayed) {
    kept->push_back(replayed);
    if (kept->size() > kReplayedKept) kept->pop_front();
  });
  apply_surface();
}

Harness::~Harness() { wake::install_waker(previous_waker_); }

void Harness::apply_surface() {
  // The physical surface is sized so that the logical size is the one asked
  // for, whatever UI scale the theme carries.
  const double ui_scale = driver_.theme().ui_scale;
  const double physical = scale_ * ui_scale;
  driver_.set_surface(static_cast<int>(std::lround(size_.width * physical)),
                      static_cast<int>(std::lround(size_.height * physical)), scale_);
}

frame::FrameReport Harness::frame() {
  waker_->take();
  return driver_.run_frame();
}

void Harness::frames(int count) {
  for (int i = 0; i < count; ++i) frame();
}

void Harness::resize(Size size) {
  size_ = size;
  apply_surface();
  send(WindowResized{size});
}

void Harness::set_scale(double scale) {
  scale_ = scale;
  apply_surface();
  send(ScaleChanged{scale});
}

bool Harness::send(const Event& event) {
  const bool handled = driver_.dispatch(event);
  frame();
  return handled;
}

bool Harness::pointer_move(Point at) { return send(PointerMove{at, {}}); }

bool Harness::pointer_down(Point at, PointerButton button) {
  return send(PointerDown{at, button, {}, 1});
}

bool Harness::pointer_up(Point at, PointerButton button) { return send(PointerUp{at, button, {}}); }

bool Harness::click(Point at) {
  pointer_move(at);
  const bool down = pointer_down(at);
  const bool up = pointer_up(at);
  return down || up;
}

bool Harness::click_id(std::string_view id) {
  const auto rect = rect_of(id);
  return rect && click(rect->center());
}

bool Harness::wheel(Point at, Vec2 delta) { return send(Wheel{at, delta, {}}); }

bool Harness::key(Key key, Modifiers modifiers) {
  const bool down = send(KeyDown{key, modifiers, false});
  const bool up = send(KeyUp{key, modifiers});
  return down || up;
}

bool Harness::type_text(std::string_view text) {
  return send(kalu_ui::TextInput{std::string(text)});
}

Widget* Harness::find(std::string_view id) { return frame::find_by_id(driver_.root(), id); }

std::optional<Rect> Harness::rect_of(std::string_view id) {
  const Widget* widget = find(id);
  if (!widget) return std::nullopt;
  return widget->get_rect();
}

std::vector<host::ReplayedControl> Harness::take_replayed() {
  std::vector<host::ReplayedControl> taken(std::make_move_iterator(replayed_->begin()),
                                           std::make_move_iterator(replayed_->end()));
  replayed_->clear();
  return taken;
}

std::optional<std::string> Harness::debug_snapshot(std::string_view root_object) const {
  auto snapshot = driver_.root().debug_snapshot(driver_.document(), root_object);
  if (!snapshot) return std::nullopt;
  return std::move(snapshot->json);
}

Result<cairo_backend::RenderedImage> Harness::render() const {
  return cairo_backend::render(driver_.scene(), driver_.physical_width(), driver_.physical_height(),
                               driver_.scale(), driver_.theme().background);
}

Status Harness::render_png(const std::string& path) const {
  auto image = render();
  if (!image) return fail(image.error());
  return image->write_png(path);
}

bool Harness::wait_for_frame(std::chrono::milliseconds timeout) {
  const Instant now = Instant::now();
  const Instant limit = now + timeout;
  const std::optional<Instant> due = driver_.next_deadline(now);
  const Instant until = due && *due < limit ? *due : limit;
  const bool woken = waker_->wait_until(until);
  if (!woken && !(due && *due <= Instant::now())) return false;
  driver_.run_frame();
  return true;
}

int Harness::run_for(std::chrono::milliseconds duration) {
  const Instant end = Instant::now() + duration;
  int ran = 0;
  for (;;) {
    const Instant now = Instant::now();
    if (now >= end) break;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - now);
    if (wait_for_frame(std::max(left, std::chrono::milliseconds(1)))) ++ran;
  }
  return ran;
}

}  // namespace kalu_ui::harness
