// The SDL2 front end of the frame loop: one window whose pixels Cairo draws
// on the CPU and SDL shows through the window surface, with no GPU renderer.

#include <SDL.h>
#include <malloc.h>

#include <array>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "automation.h"
#include "kalu_ui/app.h"
#include "kalu_ui/atspi/bridge.h"
#include "kalu_ui/cairo_backend.h"
#include "kalu_ui/log.h"
#include "kalu_ui/termination.h"
#include "kalu_ui/text.h"
#include "kalu_ui/wake.h"

namespace kalu_ui::launch {
namespace {

constexpr std::string_view kTarget = "kalu::ui";
constexpr std::string_view kModule = "kalu_ui::launch";
// Logical pixels scrolled by one notch of a wheel.
constexpr double kWheelLine = 48.0;

bool env_set(const char* name) {
  const char* value = std::getenv(name);
  return value && *value;
}

// Sets an environment variable for the life of the guard. Only while no other
// thread runs: another thread's getenv may read the variables' table while
// setenv moves it.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    setenv(name, value, 1);
  }
  ~ScopedEnv() {
    if (old_) {
      setenv(name_, old_->c_str(), 1);
    } else {
      unsetenv(name_);
    }
  }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  const char* name_;
  std::optional<std::string> old_;
};

// Start-up must not wait on D-Bus: a system bus that never answers stalls
// SDL_Init, and a missing session bus makes libdbus start a bus daemon that
// outlives the program. The buses are hidden while SDL starts (an unknown
// transport fails at once) and given back before any child process can be
// started.
struct HiddenBuses {
  ScopedEnv session{"DBUS_SESSION_BUS_ADDRESS", "disabled:"};
  ScopedEnv system{"DBUS_SYSTEM_BUS_ADDRESS", "disabled:"};
};

Key map_key(SDL_Keycode code) {
  if (code >= SDLK_a && code <= SDLK_z) {
    return static_cast<Key>(static_cast<int>(Key::A) + (code - SDLK_a));
  }
  if (code >= SDLK_0 && code <= SDLK_9) {
    return static_cast<Key>(static_cast<int>(Key::Digit0) + (code - SDLK_0));
  }
  if (code >= SDLK_F1 && code <= SDLK_F12) {
    return static_cast<Key>(static_cast<int>(Key::F1) + (code - SDLK_F1));
  }
  switch (code) {
    case SDLK_RETURN:
    case SDLK_KP_ENTER:
      return Key::Enter;
    case SDLK_SPACE:
      return Key::Space;
    case SDLK_TAB:
      return Key::Tab;
    case SDLK_ESCAPE:
      return Key::Escape;
    case SDLK_BACKSPACE:
      return Key::Backspace;
    case SDLK_DELETE:
      return Key::Delete;
    case SDLK_INSERT:
      return Key::Insert;
    case SDLK_LEFT:
      return Key::Left;
    case SDLK_RIGHT:
      return Key::Right;
    case SDLK_UP:
      return Key::Up;
    case SDLK_DOWN:
      return Key::Down;
    case SDLK_HOME:
      return Key::Home;
    case SDLK_END:
      return Key::End;
    case SDLK_PAGEUP:
      return Key::PageUp;
    case SDLK_PAGEDOWN:
      return Key::PageDown;
    case SDLK_MINUS:
      return Key::Minus;
    case SDLK_EQUALS:
      return Key::Equals;
    case SDLK_COMMA:
      return Key::Comma;
    case SDLK_PERIOD:
      return Key::Period;
    case SDLK_SLASH:
      return Key::Slash;
    case SDLK_BACKSLASH:
      return Key::Backslash;
    case SDLK_SEMICOLON:
      return Key::Semicolon;
    case SDLK_QUOTE:
      return Key::Apostrophe;
    case SDLK_LEFTBRACKET:
      return Key::BracketLeft;
    case SDLK_RIGHTBRACKET:
      return Key::BracketRight;
    case SDLK_BACKQUOTE:
      return Key::Grave;
    case SDLK_LSHIFT:
    case SDLK_RSHIFT:
      return Key::Shift;
    case SDLK_LCTRL:
    case SDLK_RCTRL:
      return Key::Control;
    case SDLK_LALT:
    case SDLK_RALT:
      return Key::Alt;
    case SDLK_LGUI:
    case SDLK_RGUI:
      return Key::Super;
    default:
      return Key::Unknown;
  }
}

Modifiers map_modifiers(Uint16 mod) {
  return {(mod & KMOD_SHIFT) != 0, (mod & KMOD_CTRL) != 0, (mod & KMOD_ALT) != 0,
          (mod & KMOD_GUI) != 0};
}

Modifiers current_modifiers() { return map_modifiers(static_cast<Uint16>(SDL_GetModState())); }

PointerButton map_button(Uint8 button) {
  switch (button) {
    case SDL_BUTTON_LEFT:
      return PointerButton::Primary;
    case SDL_BUTTON_RIGHT:
      return PointerButton::Secondary;
    case SDL_BUTTON_MIDDLE:
      return PointerButton::Middle;
    default:
      return PointerButton::Other;
  }
}

SDL_SystemCursor map_cursor(CursorKind kind) {
  switch (kind) {
    case frame::cursor::kPointer:
      return SDL_SYSTEM_CURSOR_HAND;
    case frame::cursor::kText:
      return SDL_SYSTEM_CURSOR_IBEAM;
    case frame::cursor::kGrab:
      return SDL_SYSTEM_CURSOR_SIZEALL;
    case frame::cursor::kResizeHorizontal:
      return SDL_SYSTEM_CURSOR_SIZEWE;
    case frame::cursor::kResizeVertical:
      return SDL_SYSTEM_CURSOR_SIZENS;
    case frame::cursor::kNotAllowed:
      return SDL_SYSTEM_CURSOR_NO;
    case frame::cursor::kWait:
      return SDL_SYSTEM_CURSOR_WAIT;
    case frame::cursor::kCrosshair:
      return SDL_SYSTEM_CURSOR_CROSSHAIR;
    default:
      return SDL_SYSTEM_CURSOR_ARROW;
  }
}

// The window's scale factor: KALU_UI_SCALE when it holds a usable number,
// else the ratio of pixels to window units (HiDPI back ends), else the
// display's DPI against 96 in quarter steps.
double detect_scale(SDL_Window* window) {
  if (const char* text = std::getenv("KALU_UI_SCALE")) {
    char* end = nullptr;
    const double value = std::strtod(text, &end);
    if (end != text && std::isfinite(value) && value >= 0.5 && value <= 4.0) return value;
  }
  int ww = 0, wh = 0, pw = 0, ph = 0;
  SDL_GetWindowSize(window, &ww, &wh);
  SDL_GetWindowSizeInPixels(window, &pw, &ph);
  if (ww > 0 && pw > ww) return static_cast<double>(pw) / ww;
  float ddpi = 0.0f;
  if (SDL_GetDisplayDPI(SDL_GetWindowDisplayIndex(window), &ddpi, nullptr, nullptr) == 0 &&
      std::isfinite(ddpi) && ddpi >= 120.0f && ddpi <= 480.0f) {
    return std::round(ddpi / 96.0 * 4.0) / 4.0;
  }
  return 1.0;
}

class SdlClipboard final : public Clipboard {
 public:
  std::optional<std::string> read_text() override {
    if (!SDL_HasClipboardText()) return std::nullopt;
    char* text = SDL_GetClipboardText();
    if (!text) return std::nullopt;
    std::string copy(text);
    SDL_free(text);
    return copy;
  }
  void write_text(std::string text) override { SDL_SetClipboardText(text.c_str()); }
};

// A page replaced frees its widgets, layouts and text in the middle of the
// heap, where the allocator keeps them resident. Once the new page is drawn
// and the loop has nothing due soon, the free pages are handed back to the
// system on a short-lived thread, so the window's memory stays flat however
// many pages it has shown.
constexpr auto kTrimWhenIdleFor = std::chrono::milliseconds(250);

void release_free_memory() {
  try {
    std::thread([] { ::malloc_trim(0); }).detach();
  } catch (const std::system_error&) {
    // Kept for the next idle moment; nothing is lost.
  }
}

long resident_kib() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmRSS:", 0) == 0) return std::strtol(line.c_str() + 6, nullptr, 10);
  }
  return -1;
}

class Window {
 public:
  ~Window() {
    for (SDL_Cursor* c : cursors_) {
      if (c) SDL_FreeCursor(c);
    }
    if (window_) SDL_DestroyWindow(window_);
    SDL_Quit();
  }

  // Starts the window system and opens the window, hidden. The caller hides
  // the buses from SDL (HiddenBuses).
  Status open(const std::string& title, WindowSize size) {
    // Cairo draws on the CPU: a GPU renderer only adds start-up time and memory.
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    SDL_SetHint(SDL_HINT_RENDER_DRIVER, "software");
    SDL_SetHint(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, "1");
    SDL_SetHint(SDL_HINT_MOUSE_FOCUS_CLICKTHROUGH, "1");
    // The ending signals are the launcher's (termination.h).
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) {
      return fail(fmt_error("cannot start the window system"));
    }
    initialized_ = true;
    window_ = SDL_CreateWindow(title.c_str(), SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED,
                               static_cast<int>(size.width), static_cast<int>(size.height),
                               SDL_WINDOW_HIDDEN | SDL_WINDOW_RESIZABLE | SDL_WINDOW_ALLOW_HIGHDPI);
    if (!window_) return fail(fmt_error("cannot open a window"));
    scale_ = detect_scale(window_);
    if (scale_ != 1.0 && !pixels_differ()) {
      // Window units are pixels here: grow the window to the scaled size.
      SDL_SetWindowSize(window_, static_cast<int>(std::lround(size.width * scale_)),
                        static_cast<int>(std::lround(size.height * scale_)));
    }
    place_on_screen();
    SDL_StopTextInput();
    wake_event_ = SDL_RegisterEvents(1);
    return {};
  }

  void set_title(const std::string& title) { SDL_SetWindowTitle(window_, title.c_str()); }
  // The bridge told of the window's place, scale and activity.
  void set_bridge(atspi::Bridge* bridge) { bridge_ = bridge; }
  // Set from another thread when the program is asked to end; the loop
  // wakes through the waker and stops.
  void set_end_request(const std::atomic<bool>* requested) { end_requested_ = requested; }

  // The frame loop: runs until the window is closed.
  // When start-up reached its steps, for the first-frame report.
  struct Timing {
    Instant start;
    Instant window;
    Instant app;
  };

  void run(frame::FrameDriver& driver, const std::shared_ptr<wake::Waker>& waker,
           const Timing& timing) {
    if (wake_event_ != static_cast<Uint32>(-1)) {
      const Uint32 type = wake_event_;
      waker->set_hook([type] {
        SDL_Event event{};
        event.type = type;
        SDL_PushEvent(&event);
      });
    }
    update_surface(driver);
    tell_bridge(driver);
    bool first = true;
    bool frame_due = true;
    bool trim_due = false;
    while (!quit_) {
      if (!frame_due) {
        SDL_Event event;
        const std::optional<Instant> due = driver.next_deadline();
        if (trim_due && (!due || *due - Instant::now() > kTrimWhenIdleFor)) {
          trim_due = false;
          release_free_memory();
        }
        int got = 0;
        if (!due) {
          got = SDL_WaitEvent(&event);
        } else {
          const auto wait = *due - Instant::now();
          // Rounded up, so that the frame does not come just before the deadline.
          const auto ms = (wait.count() + 999'999) / 1'000'000;
          got = ms > 0 ? SDL_WaitEventTimeout(&event,
                                              static_cast<int>(std::min<long long>(ms, 60'000)))
                       : 0;
        }
        if (got) handle(event, driver);
      }
      SDL_Event event;
      while (SDL_PollEvent(&event)) handle(event, driver);
      if (end_requested_ && end_requested_->load()) quit_ = true;
      if (quit_) break;
      waker->take();
      frame::FrameReport report = driver.run_frame();
      trim_due = trim_due || report.layout_built;
      if (report.drawn) {
        present(driver, report.damage);
      } else if (expose_) {
        SDL_UpdateWindowSurface(window_);
      }
      expose_ = false;
      if (first) {
        SDL_ShowWindow(window_);
        shown_ = true;
        SDL_UpdateWindowSurface(window_);
        first = false;
        if (env_set("KALU_UI_REPORT_FIRST_FRAME")) {
          const auto ms = [](Instant a, Instant b) { return (b - a).count() / 1e6; };
          const Instant now = Instant::now();
          std::fprintf(stderr,
                       "kalu-ui: first frame presented, resident %ld KiB (window %.1f ms, "
                       "application %.1f ms, frame %.1f ms)\n",
                       resident_kib(), ms(timing.start, timing.window),
                       ms(timing.window, timing.app), ms(timing.app, now));
          std::fflush(stderr);
        }
      }
      update_cursor(driver);
      update_text_input(driver);
      frame_due = false;
    }
    waker->set_hook({});
  }

 private:
  static std::string fmt_error(const char* what) {
    std::string message = what;
    const char* error = SDL_GetError();
    if (error && *error) {
      message += ": ";
      message += error;
    }
    return message;
  }

  // Centres the window on its display and keeps it within the display's
  // usable area, shrinking it when it is larger: without a window manager
  // nobody else places it, and a window grown to its scale after it was
  // placed would hang off the screen.
  void place_on_screen() {
    const int display = std::max(SDL_GetWindowDisplayIndex(window_), 0);
    SDL_Rect area{};
    if (SDL_GetDisplayUsableBounds(display, &area) != 0 || area.w <= 0 || area.h <= 0) {
      if (SDL_GetDisplayBounds(display, &area) != 0 || area.w <= 0 || area.h <= 0) return;
    }
    int w = 0, h = 0;
    SDL_GetWindowSize(window_, &w, &h);
    if (w > area.w || h > area.h) {
      w = std::min(w, area.w);
      h = std::min(h, area.h);
      SDL_SetWindowSize(window_, w, h);
    }
    SDL_SetWindowPosition(window_, area.x + (area.w - w) / 2, area.y + (area.h - h) / 2);
  }

  void tell_bridge(const frame::FrameDriver& driver) {
    if (!bridge_) return;
    int x = 0, y = 0;
    SDL_GetWindowPosition(window_, &x, &y);
    bridge_->set_window({x * units_to_pixels_, y * units_to_pixels_}, driver.scale(), active_);
  }

  bool pixels_differ() const {
    int ww = 0, wh = 0, pw = 0, ph = 0;
    SDL_GetWindowSize(window_, &ww, &wh);
    SDL_GetWindowSizeInPixels(window_, &pw, &ph);
    return pw != ww;
  }

  void update_surface(frame::FrameDriver& driver) {
    int ww = 0, wh = 0, pw = 0, ph = 0;
    SDL_GetWindowSize(window_, &ww, &wh);
    SDL_GetWindowSizeInPixels(window_, &pw, &ph);
    units_to_pixels_ = ww > 0 ? static_cast<double>(pw) / ww : 1.0;
    driver.set_surface(pw, ph, scale_);
  }

  Point logical(int x, int y, const frame::FrameDriver& driver) const {
    const double f = units_to_pixels_ / driver.scale();
    return {x * f, y * f};
  }

  void handle(const SDL_Event& event, frame::FrameDriver& driver) {
    if (event.type == wake_event_) return;
    switch (event.type) {
      case SDL_QUIT:
        quit_ = true;
        break;
      case SDL_WINDOWEVENT:
        switch (event.window.event) {
          case SDL_WINDOWEVENT_CLOSE:
            quit_ = true;
            break;
          case SDL_WINDOWEVENT_SIZE_CHANGED:
            update_surface(driver);
            driver.dispatch(WindowResized{driver.logical_size()}, &clipboard_);
            tell_bridge(driver);
            break;
          case SDL_WINDOWEVENT_MOVED:
            tell_bridge(driver);
            break;
          case SDL_WINDOWEVENT_EXPOSED:
            expose_ = true;
            break;
          case SDL_WINDOWEVENT_FOCUS_GAINED:
            active_ = true;
            driver.dispatch(FocusGained{}, &clipboard_);
            tell_bridge(driver);
            break;
          case SDL_WINDOWEVENT_FOCUS_LOST:
            active_ = false;
            driver.dispatch(FocusLost{}, &clipboard_);
            tell_bridge(driver);
            break;
          case SDL_WINDOWEVENT_LEAVE:
            pointer_.reset();
            driver.dispatch(PointerLeave{}, &clipboard_);
            break;
          default:
            break;
        }
        break;
      case SDL_MOUSEMOTION:
        pointer_ = logical(event.motion.x, event.motion.y, driver);
        driver.dispatch(PointerMove{*pointer_, current_modifiers()}, &clipboard_);
        break;
      case SDL_MOUSEBUTTONDOWN:
        pointer_ = logical(event.button.x, event.button.y, driver);
        driver.dispatch(PointerDown{*pointer_, map_button(event.button.button), current_modifiers(),
                                    event.button.clicks},
                        &clipboard_);
        break;
      case SDL_MOUSEBUTTONUP:
        pointer_ = logical(event.button.x, event.button.y, driver);
        driver.dispatch(PointerUp{*pointer_, map_button(event.button.button), current_modifiers()},
                        &clipboard_);
        break;
      case SDL_MOUSEWHEEL: {
        double dx = event.wheel.preciseX;
        double dy = event.wheel.preciseY;
        if (event.wheel.direction == SDL_MOUSEWHEEL_FLIPPED) {
          dx = -dx;
          dy = -dy;
        }
        // A wheel turned away from the user shows earlier content.
        const Vec2 delta{dx * kWheelLine, -dy * kWheelLine};
        driver.dispatch(Wheel{pointer_.value_or(Point{}), delta, current_modifiers()}, &clipboard_);
        break;
      }
      case SDL_KEYDOWN:
        driver.dispatch(KeyDown{map_key(event.key.keysym.sym), map_modifiers(event.key.keysym.mod),
                                event.key.repeat != 0},
                        &clipboard_);
        break;
      case SDL_KEYUP:
        driver.dispatch(KeyUp{map_key(event.key.keysym.sym), map_modifiers(event.key.keysym.mod)},
                        &clipboard_);
        break;
      case SDL_TEXTINPUT:
        driver.dispatch(kalu_ui::TextInput{event.text.text}, &clipboard_);
        break;
      case SDL_TEXTEDITING: {
        const std::string text = event.edit.text;
        std::optional<std::pair<std::size_t, std::size_t>> cursor;
        if (event.edit.start >= 0) {
          const auto start = std::min<std::size_t>(event.edit.start, text.size());
          cursor = std::make_pair(start, start);
        }
        driver.dispatch(ImePreedit{text, cursor}, &clipboard_);
        break;
      }
      default:
        break;
    }
  }

  void present(frame::FrameDriver& driver, const DamageList& damage) {
    SDL_Surface* surface = SDL_GetWindowSurface(window_);
    if (!surface) {
      log::warn(kTarget, kModule, "no window surface",
                {{"op", "present"}, {"error", SDL_GetError()}});
      return;
    }
    const bool direct = surface->format->BytesPerPixel == 4 &&
                        (surface->format->format == SDL_PIXELFORMAT_ARGB8888 ||
                         surface->format->format == SDL_PIXELFORMAT_RGB888);
    if (SDL_MUSTLOCK(surface)) SDL_LockSurface(surface);
    Status drawn;
    if (direct) {
      drawn = cairo_backend::render_into(
          driver.scene(), static_cast<std::uint8_t*>(surface->pixels), surface->w, surface->h,
          surface->pitch, driver.scale(), driver.theme().background);
    } else {
      // Another pixel layout: draw into our own buffer and let SDL convert it.
      buffer_.resize(static_cast<std::size_t>(surface->w) * surface->h * 4);
      drawn = cairo_backend::render_into(driver.scene(), buffer_.data(), surface->w, surface->h,
                                         surface->w * 4, driver.scale(), driver.theme().background);
      if (drawn) {
        SDL_ConvertPixels(surface->w, surface->h, SDL_PIXELFORMAT_ARGB8888, buffer_.data(),
                          surface->w * 4, surface->format->format, surface->pixels, surface->pitch);
      }
    }
    if (SDL_MUSTLOCK(surface)) SDL_UnlockSurface(surface);
    if (!drawn) {
      log::warn(kTarget, kModule, "frame not drawn", {{"op", "present"}, {"error", drawn.error()}});
      return;
    }
    // Not yet shown: showing the window sends the whole surface.
    if (!shown_) return;
    std::vector<SDL_Rect> rects;
    const double s = driver.scale();
    for (const Rect& r : damage) {
      const int x0 = std::max(0, static_cast<int>(std::floor(r.x0 * s)));
      const int y0 = std::max(0, static_cast<int>(std::floor(r.y0 * s)));
      const int x1 = std::min(surface->w, static_cast<int>(std::ceil(r.x1 * s)));
      const int y1 = std::min(surface->h, static_cast<int>(std::ceil(r.y1 * s)));
      if (x1 > x0 && y1 > y0) rects.push_back({x0, y0, x1 - x0, y1 - y0});
    }
    if (expose_ || rects.empty()) {
      SDL_UpdateWindowSurface(window_);
    } else {
      SDL_UpdateWindowSurfaceRects(window_, rects.data(), static_cast<int>(rects.size()));
    }
  }

  void update_cursor(const frame::FrameDriver& driver) {
    if (!pointer_) return;
    const CursorKind kind = driver.cursor_at(*pointer_).value_or(frame::cursor::kDefault);
    if (kind == cursor_kind_) return;
    cursor_kind_ = kind;
    const SDL_SystemCursor shape = map_cursor(kind);
    SDL_Cursor*& cursor = cursors_[shape];
    if (!cursor) cursor = SDL_CreateSystemCursor(shape);
    if (cursor) SDL_SetCursor(cursor);
  }

  void update_text_input(frame::FrameDriver& driver) {
    Widget* focused = driver.focused();
    const bool wants_text = focused && focused->text_input_kind().has_value();
    if (wants_text) {
      if (const auto caret = focused->ime_cursor_rect()) {
        const double f = driver.scale() / units_to_pixels_;
        SDL_Rect area{static_cast<int>(caret->x0 * f), static_cast<int>(caret->y0 * f),
                      std::max(1, static_cast<int>(caret->width() * f)),
                      std::max(1, static_cast<int>(caret->height() * f))};
        SDL_SetTextInputRect(&area);
      }
    }
    if (wants_text == text_input_on_) return;
    text_input_on_ = wants_text;
    if (wants_text) {
      SDL_StartTextInput();
    } else {
      SDL_StopTextInput();
    }
  }

  SDL_Window* window_ = nullptr;
  atspi::Bridge* bridge_ = nullptr;
  const std::atomic<bool>* end_requested_ = nullptr;
  // Without a window manager nothing ever says so: such a window counts as active.
  bool active_ = true;
  bool initialized_ = false;
  double scale_ = 1.0;
  double units_to_pixels_ = 1.0;
  Uint32 wake_event_ = static_cast<Uint32>(-1);
  bool quit_ = false;
  bool expose_ = false;
  // The first frame is drawn before the window is shown, and sent with it.
  bool shown_ = false;
  bool text_input_on_ = false;
  std::optional<Point> pointer_;
  CursorKind cursor_kind_ = frame::cursor::kDefault;
  std::array<SDL_Cursor*, SDL_NUM_SYSTEM_CURSORS> cursors_{};
  std::vector<std::uint8_t> buffer_;
  SdlClipboard clipboard_;
};

std::string window_title(const Widget& root, const std::string& app_id) {
  if (auto node = root.accessibility(); node && !node->label.empty()) return node->label;
  return app_id;
}

}  // namespace

Result<int> run(AppSpec spec) {
  if (!env_set("DISPLAY") && !env_set("WAYLAND_DISPLAY") && !env_set("SDL_VIDEODRIVER")) {
    return fail("no display to open the window on: neither DISPLAY nor WAYLAND_DISPLAY is set");
  }
  if (!spec.make_app) return fail("the application spec has no factory");

  auto waker = std::make_shared<wake::Waker>();
  // Before any other thread starts, so that every thread blocks the signals
  // that end the program and only the watch's takes them.
  auto end_requested = std::make_shared<std::atomic<bool>>(false);
  termination::Watch ending([end_requested, waker](int) {
    end_requested->store(true);
    waker->wake();
  });
  auto previous = wake::install_waker(waker);
  struct Restore {
    std::shared_ptr<wake::Waker> previous;
    ~Restore() { wake::install_waker(previous); }
  } restore{previous};

  Window::Timing timing{Instant::now(), {}, {}};
  // Worker threads come and go by the dozen: two allocator arenas serve them
  // all, rather than one more resident arena per core.
  ::mallopt(M_ARENA_MAX, 2);
  Window window;
  window.set_end_request(end_requested.get());
  // Fonts load while the window opens: the font configuration, and the fonts
  // of the styles the first frame draws with, on a renderer the frame loop
  // takes over. Fontconfig's configuration is shared by every thread.
  std::optional<text::TextRenderer> renderer;
  {
    HiddenBuses hidden;
    std::thread fonts([&renderer, styles = spec.first_frame_styles] {
      text::TextRenderer warm;
      warm.measure("Settings", text::TextStyle{}, std::nullopt, text::LayoutOption::SingleLine);
      for (const text::TextStyle& style : styles) {
        warm.measure("Settings", warm.renderer_input_style(style), std::nullopt,
                     text::LayoutOption::SingleLine);
      }
      renderer.emplace(std::move(warm));
    });
    struct Join {
      std::thread& thread;
      ~Join() {
        if (thread.joinable()) thread.join();
      }
    } join_fonts{fonts};
    const WindowSize size = window_size(spec);
    if (auto opened = window.open(spec.app_id, size); !opened) return fail(opened.error());
  }
  timing.window = Instant::now();

  // The host comes first: the App's registry is the host's, so the set-up
  // hook's namespaces are the ones automation clients reach.
  Automation automation(spec.app_id);
  app::App app = automation.make_app();
  WidgetBox root = spec.make_app(app);
  if (!root) return fail("the application factory built no widget");
  if (spec.setup) spec.setup(app);

  doc::Document document;
  if (spec.persist_open) {
    if (auto opened = spec.persist_open(spec.app_id)) {
      document = std::move(*opened);
    } else {
      log::warn(kTarget, kModule, "state document not opened",
                {{"op", "persist_open"}, {"error", opened.error()}});
    }
  }
  window.set_title(window_title(*root, spec.app_id));

  frame::FrameDriver driver(std::move(root), std::move(document));
  // Bound controls' settings go through the same namespaces as clients' do.
  driver.set_action_registry(app.shared_action_registry());
  driver.add_frame_hook(automation.pump_hook());
  for (auto& hook : app.take_frame_hooks()) driver.add_frame_hook(std::move(hook));
  automation.start(wake::WakeHandle::bound_to(waker));
  // The accessibility bridge connects on its own thread; the environment is
  // read here, where nothing else changes it any more.
  atspi::Bridge bridge(
      {std::string(window_title(driver.root(), spec.app_id)), atspi::Bridge::session_bus_address()},
      wake::WakeHandle::bound_to(waker));
  driver.add_frame_hook(
      [&bridge](Widget& root, doc::Document&) { bridge.carry_out_requests(root); });
  driver.add_frame_end_hook([&bridge](const Widget& root, const frame::FrameReport& report) {
    bridge.frame_done(root, report.drawn || report.layout_computed);
  });
  window.set_bridge(&bridge);
  if (renderer) driver.adopt_renderer(std::move(*renderer));
  timing.app = Instant::now();
  window.run(driver, waker, timing);
  window.set_bridge(nullptr);
  // Clients learn at once that the application is gone.
  automation.stop();
  return 0;
}

int run_or_exit(AppSpec spec) {
  const std::string app_id = spec.app_id.empty() ? "kalu-ui" : spec.app_id;
  auto status = run(std::move(spec));
  if (!status) {
    std::fprintf(stderr, "%s: %s\n", app_id.c_str(), status.error().c_str());
    std::fflush(stderr);
    std::exit(1);
  }
  return *status;
}

}  // namespace kalu_ui::launch
