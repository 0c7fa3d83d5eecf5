#include "windowing/console.h"

#include <algorithm>

namespace windowing {

struct Console::Window {
  Window(int u, int width, int height) : unit(u), canvas(width, height, kWhiteIndex) {}
  const int unit;
  mutable std::mutex mutex;  // guards everything below
  std::string title;
  Canvas canvas;
  int back_colour = kWhiteIndex;
  int text_colour = 0;
  bool cursor_shown = false;
  bool focus_on_io = false;
  std::optional<plot::WINDOWPLACE> place;
};

namespace {

bool in_palette(int colour) { return colour >= 0 && colour < kPaletteSize; }

}  // namespace

Console::Console(int width, int height) : width_(width), height_(height) {}

Console::~Console() = default;

void Console::window_event(int /*unit*/, WindowEvent /*event*/) {}

Console::Window* Console::find(int unit) const {
  auto it = windows_.find(unit);
  return it == windows_.end() ? nullptr : it->second.get();
}

Console::Window* Console::find_locked(int unit) const {
  std::lock_guard lock(mutex_);
  return find(unit);
}

Console::Window* Console::target_window() const {
  std::lock_guard lock(mutex_);
  return target_ ? find(*target_) : nullptr;
}

void Console::OPENWINDOW(int unit, std::string_view title, bool focus_on_io) {
  if (unit == plot::FRAMEWINDOW) return;
  {
    std::lock_guard lock(mutex_);
    Window* w = find(unit);
    if (w == nullptr) {
      auto made = std::make_unique<Window>(unit, width_, height_);
      w = made.get();
      windows_.emplace(unit, std::move(made));
      order_.push_back(unit);
    }
    {
      std::lock_guard wlock(w->mutex);
      w->title = std::string(title);
      w->focus_on_io = focus_on_io;
    }
    if (focus_on_io) target_ = unit;
  }
  window_event(unit, WindowEvent::opened);
  if (focus_on_io) window_event(unit, WindowEvent::focused);
}

void Console::PLACEWINDOW(int window, const plot::WINDOWPLACE& place) {
  {
    std::lock_guard lock(mutex_);
    if (window == plot::FRAMEWINDOW) {
      frame_place_ = place;
    } else {
      Window* w = find(window);
      if (w == nullptr) return;
      std::lock_guard wlock(w->mutex);
      w->place = place;
    }
  }
  window_event(window, WindowEvent::placed);
}

void Console::TARGETWINDOW(int unit) {
  {
    std::lock_guard lock(mutex_);
    if (find(unit) == nullptr) return;
    target_ = unit;
  }
  window_event(unit, WindowEvent::targeted);
}

void Console::FOCUSWINDOW(int unit) {
  {
    std::lock_guard lock(mutex_);
    if (find(unit) == nullptr) return;
    target_ = unit;
  }
  window_event(unit, WindowEvent::focused);
}

bool Console::note_io(int unit) {
  bool focus = false;
  {
    std::lock_guard lock(mutex_);
    Window* w = find(unit);
    if (w == nullptr) return false;
    {
      std::lock_guard wlock(w->mutex);
      focus = w->focus_on_io;
    }
    if (focus) target_ = unit;
  }
  if (focus) window_event(unit, WindowEvent::focused);
  return true;
}

int Console::SETBACKCOLOR(int colour) {
  Window* w = target_window();
  if (w == nullptr) return colour;
  int previous;
  {
    std::lock_guard lock(w->mutex);
    previous = w->back_colour;
    if (in_palette(colour)) w->back_colour = colour;
  }
  window_event(w->unit, WindowEvent::styled);
  return previous;
}

void Console::CLEARWINDOW(int area) {
  // Only area 0, the whole window, is defined.
  if (area != 0) return;
  Window* w = target_window();
  if (w == nullptr) return;
  {
    std::lock_guard lock(w->mutex);
    w->canvas.clear(w->back_colour);
  }
  window_event(w->unit, WindowEvent::cleared);
}

int Console::SETTEXTCOLOR(int colour) {
  Window* w = target_window();
  if (w == nullptr) return colour;
  int previous;
  {
    std::lock_guard lock(w->mutex);
    previous = w->text_colour;
    if (in_palette(colour)) w->text_colour = colour;
  }
  window_event(w->unit, WindowEvent::styled);
  return previous;
}

int Console::SHOWCURSOR(int show) {
  Window* w = target_window();
  if (w == nullptr) return show;
  int previous;
  {
    std::lock_guard lock(w->mutex);
    previous = w->cursor_shown ? 1 : 0;
    w->cursor_shown = show != 0;
  }
  window_event(w->unit, WindowEvent::styled);
  return previous;
}

int Console::SETDRAWCOLOR(int colour) {
  Window* w = target_window();
  if (w == nullptr) return colour;
  std::lock_guard lock(w->mutex);
  return w->canvas.SETDRAWCOLOR(colour);
}

int Console::LOADFONTS() {
  Window* w = target_window();
  if (w == nullptr) return 0;
  std::lock_guard lock(w->mutex);
  return w->canvas.LOADFONTS();
}

int Console::SELECTFONT(std::string_view description) {
  Window* w = target_window();
  if (w == nullptr) return -1;
  std::lock_guard lock(w->mutex);
  return w->canvas.SELECTFONT(description);
}

void Console::DRAWRECT(int style, std::int16_t x1, std::int16_t y1, std::int16_t x2,
                       std::int16_t y2) {
  Window* w = target_window();
  if (w == nullptr) return;
  {
    std::lock_guard lock(w->mutex);
    w->canvas.DRAWRECT(style, x1, y1, x2, y2);
  }
  window_event(w->unit, WindowEvent::drawn);
}

void Console::MOVEPEN(std::int16_t x, std::int16_t y) {
  Window* w = target_window();
  if (w == nullptr) return;
  std::lock_guard lock(w->mutex);
  w->canvas.MOVEPEN(x, y);
}

void Console::DRAWLINETO(std::int16_t x, std::int16_t y) {
  Window* w = target_window();
  if (w == nullptr) return;
  {
    std::lock_guard lock(w->mutex);
    w->canvas.DRAWLINETO(x, y);
  }
  window_event(w->unit, WindowEvent::drawn);
}

int Console::PLOTPIXEL(std::int16_t x, std::int16_t y) {
  Window* w = target_window();
  if (w == nullptr) return -1;
  int previous;
  {
    std::lock_guard lock(w->mutex);
    previous = w->canvas.PLOTPIXEL(x, y);
  }
  window_event(w->unit, WindowEvent::drawn);
  return previous;
}

void Console::DRAWTEXT(std::string_view text) {
  Window* w = target_window();
  if (w == nullptr) return;
  {
    std::lock_guard lock(w->mutex);
    w->canvas.DRAWTEXT(text);
  }
  window_event(w->unit, WindowEvent::drawn);
}

std::optional<int> Console::target() const {
  std::lock_guard lock(mutex_);
  return target_;
}

bool Console::has_window(int unit) const { return find_locked(unit) != nullptr; }

std::vector<int> Console::units() const {
  std::lock_guard lock(mutex_);
  return order_;
}

std::optional<WindowInfo> Console::info(int unit) const {
  Window* w = find_locked(unit);
  if (w == nullptr) return std::nullopt;
  std::lock_guard lock(w->mutex);
  return WindowInfo{w->unit,         w->title,       w->back_colour, w->text_colour,
                    w->cursor_shown, w->focus_on_io, w->place};
}

std::optional<plot::WINDOWPLACE> Console::frame_place() const {
  std::lock_guard lock(mutex_);
  return frame_place_;
}

bool Console::with_canvas(int unit, const std::function<void(const Canvas&)>& fn) const {
  Window* w = find_locked(unit);
  if (w == nullptr) return false;
  std::lock_guard lock(w->mutex);
  fn(w->canvas);
  return true;
}

std::optional<Canvas> Console::snapshot(int unit) const {
  std::optional<Canvas> copy;
  with_canvas(unit, [&](const Canvas& c) { copy = c; });
  return copy;
}

}  // namespace windowing
