#pragma once
// The console windows of the frame: child windows bound to unit numbers, each with its title,
// drawing surface, colours, cursor, focus-on-I/O property and placement, and the target window
// the colour, clear, cursor and drawing operations act on.
//
// Console implements the window and drawing operations of plot::WindowSystem. Front ends derive
// from it and supply the text of the windows (write_text, read_line), the file-choice dialog
// and the message box; they learn of changes through window_event().
//
// Threads: the dialogue thread calls the operations; a front end may read windows from another
// thread through with_canvas(), snapshot() and info(). Each window's state is guarded by the
// window's own mutex; the set of windows, the target and the frame placement by the console's
// mutex (always taken before a window's, never after). Windows are never destroyed while the
// Console lives, so a unit's window, once opened, stays valid.

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "plot/window_system.h"
#include "windowing/canvas.h"

namespace windowing {

// What happened to a window, as reported to window_event().
enum class WindowEvent {
  opened,    // OPENWINDOW created the window, or reused it (title and property may have changed)
  placed,    // PLACEWINDOW stored a new placement (for plot::FRAMEWINDOW too)
  targeted,  // the window became the target without being activated (TARGETWINDOW)
  focused,   // the window became the target and must be brought to the front with the keyboard
             // focus (FOCUSWINDOW, opening or reading/writing a focus-on-I/O window)
  cleared,   // CLEARWINDOW: picture filled with the background; text restarts at row 1, column 1
  styled,    // background colour, text colour or cursor changed
  drawn,     // the picture changed (a drawing operation)
};

// The state of one window apart from its picture, as a copy.
struct WindowInfo {
  int unit = 0;
  std::string title;
  int back_colour = kWhiteIndex;
  int text_colour = 0;
  bool cursor_shown = false;
  bool focus_on_io = false;
  std::optional<plot::WINDOWPLACE> place;  // none until PLACEWINDOW
};

class Console : public plot::WindowSystem {
 public:
  // Every window gets a drawing surface of width x height pixels.
  explicit Console(int width = kCanvasWidth, int height = kCanvasHeight);
  ~Console() override;
  Console(const Console&) = delete;
  Console& operator=(const Console&) = delete;

  // Window operations. An operation on a unit that has no window, or with no target window,
  // changes nothing (results are then the value the operation was given / 0).
  void OPENWINDOW(int unit, std::string_view title, bool focus_on_io) override;
  void PLACEWINDOW(int window, const plot::WINDOWPLACE& place) override;
  void TARGETWINDOW(int unit) override;
  void FOCUSWINDOW(int unit) override;
  int SETBACKCOLOR(int colour) override;
  void CLEARWINDOW(int area) override;
  int SETTEXTCOLOR(int colour) override;
  int SHOWCURSOR(int show) override;

  // Drawing operations on the target window's canvas, under its lock.
  int SETDRAWCOLOR(int colour) override;
  int LOADFONTS() override;
  int SELECTFONT(std::string_view description) override;
  void DRAWRECT(int style, std::int16_t x1, std::int16_t y1, std::int16_t x2,
                std::int16_t y2) override;
  void MOVEPEN(std::int16_t x, std::int16_t y) override;
  void DRAWLINETO(std::int16_t x, std::int16_t y) override;
  int PLOTPIXEL(std::int16_t x, std::int16_t y) override;
  void DRAWTEXT(std::string_view text) override;

  // Queries, safe from any thread.
  std::optional<int> target() const;
  bool has_window(int unit) const;
  std::vector<int> units() const;  // in the order the windows were first opened
  std::optional<WindowInfo> info(int unit) const;
  std::optional<plot::WINDOWPLACE> frame_place() const;  // set by PLACEWINDOW(FRAMEWINDOW, ...)
  // Calls fn with the unit's canvas under the window's lock; false (fn not called) when the unit
  // has no window. fn must not call back into the Console.
  bool with_canvas(int unit, const std::function<void(const Canvas&)>& fn) const;
  // A copy of the unit's canvas, taken under its lock.
  std::optional<Canvas> snapshot(int unit) const;

 protected:
  // Called after every change, on the thread that made it, with no lock held. The default
  // does nothing; front ends repaint, raise or re-place their windows here.
  virtual void window_event(int unit, WindowEvent event);

  // For write_text / read_line of front ends: a window with the focus-on-I/O property becomes
  // the target and is activated (WindowEvent::focused). Returns false when the unit has no
  // window.
  bool note_io(int unit);

 private:
  struct Window;
  Window* find(int unit) const;         // caller holds mutex_
  Window* find_locked(int unit) const;  // takes mutex_ itself
  Window* target_window() const;        // takes mutex_ itself; null when there is no target

  int width_;
  int height_;
  mutable std::mutex mutex_;
  std::map<int, std::unique_ptr<Window>> windows_;
  std::vector<int> order_;
  std::optional<int> target_;
  std::optional<plot::WINDOWPLACE> frame_place_;
};

}  // namespace windowing
