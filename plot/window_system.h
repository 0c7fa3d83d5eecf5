#pragma once
// What the program needs of its windowing layer: child windows bound to unit numbers, formatted
// text and line input on a window, placement, colours, clearing, focus, pixel drawing, and the
// file-choice dialog and message box. The terminal and the desktop front ends implement it.
// Every call comes from the dialogue's thread. Results marked "not used" by the program are
// returned for completeness only.

#include <cstdint>
#include <string>
#include <string_view>

#include "numlib/units.h"

namespace plot {

// Names the frame window; differs from every unit number.
inline constexpr int FRAMEWINDOW = -1;

// Placement record. kind: 1 minimized, 2 maximized, 3 restored, 4 position and size from x, y
// (character columns and rows of the frame) and h, w (rows and columns the client area shows).
struct WINDOWPLACE {
  std::int16_t kind = 0;
  std::int16_t x = 0;
  std::int16_t y = 0;
  std::int16_t h = 0;
  std::int16_t w = 0;
};

// The units of the program's windows: the dialogue's "Input Window", the messages of the
// numerical library (its standard output) and the "Model efficiency" plot.
inline constexpr int kDialogueUnit = 10;
inline constexpr int kMessagesUnit = numlib::kStandardOutputUnit;
inline constexpr int kPlotUnit = 12;

// Where the windows go: the frame maximized (x, y, h and w stay 0), the dialogue and the plot
// side by side, the desktop's messages window over both.
inline constexpr WINDOWPLACE kFramePlace{2, 0, 0, 0, 0};
inline constexpr WINDOWPLACE kDialoguePlace{4, 0, 0, 31, 47};
inline constexpr WINDOWPLACE kPlotPlace{4, 50, 0, 31, 47};
inline constexpr WINDOWPLACE kMessagesPlace{4, 4, 8, 12, 81};

// The scales of the plot window's panels: the values vmin .. vmax span the value axes of both
// phase orbits and of the time series, the time axes run over ltest steps.
struct PictureScale {
  double vmin = 0.0;
  double vmax = 0.0;
  int ltest = 0;
};

// A panel of the plot window in pixels: its top left corner and its size. The frame is drawn
// on the box's edges; the data inside it.
struct PanelBox {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  constexpr int right() const { return x + width; }
  constexpr int bottom() const { return y + height; }
};

// The four panels of an efficiency check: A the original phase orbit, B the model's, C the
// original and model time series, D the prediction error.
inline constexpr PanelBox kOriginalOrbitPanel{35, 50, 200, 200};
inline constexpr PanelBox kModelOrbitPanel{35, 350, 200, 200};
inline constexpr PanelBox kTimeSeriesPanel{275, 50, 200, 200};
inline constexpr PanelBox kErrorPanel{275, 350, 200, 200};

// Palette indices the program uses.
inline constexpr int kBlack = 0;
inline constexpr int kRed = 12;
inline constexpr int kWhite = 15;

// Thrown by read_line when the user asked for another series file instead of an answer (the
// desktop's File > Open, a file dropped on the frame): the dialogue ends the current series as
// "y" to question 12 does and starts again with `file`.
struct NewSeriesRequested {
  std::string file;
};

class WindowSystem {
 public:
  virtual ~WindowSystem() = default;

  // Console windows. The target window is the one the colour, clear, cursor and drawing
  // operations act on.
  virtual void OPENWINDOW(int unit, std::string_view title, bool focus_on_io) = 0;
  virtual void PLACEWINDOW(int window, const WINDOWPLACE& place) = 0;
  virtual void TARGETWINDOW(int unit) = 0;
  virtual void FOCUSWINDOW(int unit) = 0;
  virtual int SETBACKCOLOR(int colour) = 0;
  virtual void CLEARWINDOW(int area) = 0;
  virtual int SETTEXTCOLOR(int colour) = 0;
  virtual int SHOWCURSOR(int show) = 0;

  // Formatted text on a unit. `text` carries its own line ends; text without a final line end
  // leaves the text position after it (a prompt). read_line waits for one line typed in the
  // window and returns it without its line end; when no line can ever come (end of input, the
  // frame closed) it throws numlib::ProgramStop with the status the front end chooses.
  virtual void write_text(int unit, std::string_view text) = 0;
  virtual std::string read_line(int unit) = 0;

  // Drawing on the target window, in its own drawing state (16-bit pixel coordinates).
  virtual int SETDRAWCOLOR(int colour) = 0;
  virtual int LOADFONTS() = 0;
  virtual int SELECTFONT(std::string_view description) = 0;
  virtual void DRAWRECT(int style, std::int16_t x1, std::int16_t y1, std::int16_t x2,
                        std::int16_t y2) = 0;
  virtual void MOVEPEN(std::int16_t x, std::int16_t y) = 0;
  virtual void DRAWLINETO(std::int16_t x, std::int16_t y) = 0;
  virtual int PLOTPIXEL(std::int16_t x, std::int16_t y) = 0;
  virtual void DRAWTEXT(std::string_view text) = 0;

  // The file-choice dialog owned by the frame ("Open: Select File for Unit 1" and its filters).
  // Returns the chosen name, or an empty string when the dialog was cancelled.
  virtual std::string choose_file(std::string_view title) = 0;
  // A modal warning box with Yes and No, No preselected. Returns true for Yes.
  virtual bool confirm(std::string_view title, std::string_view text) = 0;

  // Hooks for the front end, no effect on the dialogue: a picture of `unit` is complete (the
  // terminal front end saves it as PNG), and long work begins or ends (a progress indicator).
  virtual void picture_done(int /*unit*/) {}
  // What the picture of `unit` about to be done shows, one line (the model map it checks),
  // for a front end that keeps the run's pictures. Called just before picture_done.
  virtual void describe_picture(int /*unit*/, std::string_view /*caption*/) {}
  // The numbers the picture of `unit` shows, as CSV text (a header line, then one line per
  // point), for a front end that exports them. Called just before picture_done.
  virtual void picture_numbers(int /*unit*/, std::string_view /*csv*/) {}
  // The scales of the picture of `unit` about to be done (read_panel turns a point of it back
  // into the numbers it shows). Called just before picture_done.
  virtual void picture_scale(int /*unit*/, const PictureScale& /*scale*/) {}
  // A passing note for the user, one line without a line end (the run waits for report.txt,
  // which another process holds): the desktop shows it in the status line, the terminal on
  // standard error. No effect on the dialogue.
  virtual void status_message(std::string_view /*text*/) {}
  virtual void work_begins(std::string_view /*what*/) {}
  virtual void work_ends() {}
  // While work is under way: done of total units are finished, and whether the user asked to
  // abandon it (the dialogue then asks the question that led to the work again; a front end
  // whose frame is closing also ends the next read). Unlike every other call, these two may
  // come from any of the numerical library's threads.
  virtual void work_progress(std::int64_t /*done*/, std::int64_t /*total*/) {}
  virtual bool stop_requested() { return false; }
};

// Start-up hook: the frame window opens maximized. Returns true.
bool INITIALSETTINGS(WindowSystem& windows);

}  // namespace plot
