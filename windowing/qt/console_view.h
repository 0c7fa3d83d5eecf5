#pragma once
// A console window on the desktop: the window's picture (a snapshot of its canvas, drawn
// first) with its text on top in a fixed character cell, the line being typed and the text
// cursor. The dialogue's thread never touches the widget: it changes the canvas and the text
// buffer under their locks and the frame asks the view to refresh.

#include <QAbstractScrollArea>
#include <QImage>
#include <QPoint>
#include <functional>
#include <memory>

#include "windowing/qt/cell_geometry.h"
#include "windowing/qt/plot_recording.h"
#include "windowing/qt/text_buffer.h"

namespace windowing {

class ConsoleView : public QAbstractScrollArea {
  Q_OBJECT

 public:
  ConsoleView(std::shared_ptr<TextBuffer> text, QWidget* parent = nullptr);

  // The window's picture, painted as it is at the top-left corner; the rest of the window is
  // `background` (a palette index).
  void set_picture(QImage picture);
  const QImage& picture() const { return picture_; }
  void set_style(int background, bool cursor_shown);
  // The picture's shapes: while there are any and actual pixels are not asked for, they are
  // painted at the window's size instead of the picture.
  void set_recording(PlotRecording recording);
  const PlotRecording& recording() const { return recording_; }
  void set_actual_pixels(bool actual);
  bool shows_shapes() const { return !actual_pixels_ && !recording_.shapes.empty(); }
  // Called with the canvas coordinates under the mouse while shapes are shown.
  void set_readout(std::function<void(QPointF)> readout) { readout_ = std::move(readout); }
  bool cursor_shown() const { return cursor_shown_; }

  // The text changed: update the scroll range, keep the text position in view, repaint.
  void refresh_text();
  const std::shared_ptr<TextBuffer>& text_buffer() const { return text_; }

  // Edit > Select All marks the whole text, a drag with the left button a stretch of it; Copy
  // takes the marked text (empty without a mark). Keys that type or edit drop the mark.
  void select_all();
  bool has_selection() const { return mark_ != caret_; }
  QString selected_text() const;

  // Edit > Paste and the middle button: the first line of `text` goes into the line being
  // typed (a line end in it is not an Enter). False when no read waits.
  bool paste(const QString& text);

  // Where keys go that this window cannot take because no read waits in it: the window whose
  // read waits (set by the frame); without it they are ignored.
  void set_key_target(std::function<ConsoleView*()> target) { key_target_ = std::move(target); }
  // The frame's shortcuts for a key the window gets: without a window manager the frame is
  // never the active window, and Qt then leaves the shortcuts to the widget with the keys.
  // Returns true when the key was a shortcut.
  void set_shortcuts(std::function<bool(QKeyEvent*)> shortcuts) {
    shortcuts_ = std::move(shortcuts);
  }
  // Esc in the window: abandon the work under way (set by the frame).
  void set_on_escape(std::function<void()> on_escape) { on_escape_ = std::move(on_escape); }
  // Handles a key as typed into this window; true when it was taken.
  bool take_key(QKeyEvent* event);

  // The size of everything the window shows, in pixels.
  QSize content_size() const;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void scrollContentsBy(int dx, int dy) override;
  bool focusNextPrevChild(bool next) override;

 private:
  void update_scroll_range();
  // The character cell (column, row) under a point of the viewport.
  QPoint cell_at(QPoint viewport_point) const;
  void drop_mark();

  std::shared_ptr<TextBuffer> text_;
  QImage picture_;
  PlotRecording recording_;
  bool actual_pixels_ = false;
  std::function<void(QPointF)> readout_;
  QFont font_;
  int background_ = 15;
  bool cursor_shown_ = false;
  // The mark runs from mark_ to caret_ (cells, column and row), the end cell not included.
  QPoint mark_, caret_;
  std::function<ConsoleView*()> key_target_;
  std::function<void()> on_escape_;
  std::function<bool(QKeyEvent*)> shortcuts_;
};

// The palette index as a colour (indices outside the palette are black).
QColor palette_colour(int index);

}  // namespace windowing
