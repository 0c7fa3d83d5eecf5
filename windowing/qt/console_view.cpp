#include "windowing/qt/console_view.h"

#include <QApplication>
#include <QClipboard>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>
#include <limits>

#include "windowing/canvas.h"

namespace windowing {
namespace {

constexpr int kCaretWidth = 2;

// The lines as shown, the typed line after the last one.
QStringList shown_lines(const TextPicture& text) {
  QStringList lines;
  for (const TextLine& line : text.lines) {
    QString l;
    for (const auto& run : line) l += QString::fromStdString(run.text);
    lines << l;
  }
  if (text.reading) lines.back() += QString::fromStdString(text.input);
  return lines;
}

// (column, row) points in reading order.
bool before(QPoint a, QPoint b) { return a.y() != b.y() ? a.y() < b.y() : a.x() < b.x(); }

}  // namespace

QColor palette_colour(int index) {
  if (index < 0 || index >= kPaletteSize) return Qt::black;
  const Rgb c = kPalette[static_cast<std::size_t>(index)];
  return QColor(c.r, c.g, c.b);
}

ConsoleView::ConsoleView(std::shared_ptr<TextBuffer> text, QWidget* parent)
    : QAbstractScrollArea(parent), text_(std::move(text)), font_(console_font()) {
  setFrameShape(QFrame::NoFrame);
  setFocusPolicy(Qt::StrongFocus);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
  horizontalScrollBar()->setSingleStep(kCell.width);
  verticalScrollBar()->setSingleStep(kCell.height);
  update_scroll_range();
}

void ConsoleView::set_picture(QImage picture) {
  picture_ = std::move(picture);
  update_scroll_range();
  viewport()->update();
}

void ConsoleView::set_recording(PlotRecording recording) {
  recording_ = std::move(recording);
  viewport()->setMouseTracking(shows_shapes());
  update_scroll_range();
  viewport()->update();
}

void ConsoleView::set_actual_pixels(bool actual) {
  actual_pixels_ = actual;
  viewport()->setMouseTracking(shows_shapes());
  update_scroll_range();
  viewport()->update();
}

void ConsoleView::set_style(int background, bool cursor_shown) {
  background_ = background;
  cursor_shown_ = cursor_shown;
  viewport()->update();
}

QSize ConsoleView::content_size() const {
  const TextPicture text = text_->picture();
  int columns = 0;
  for (std::size_t i = 0; i < text.lines.size(); ++i) {
    int n = 0;
    for (const auto& run : text.lines[i]) n += QString::fromStdString(run.text).size();
    // The caret after a full line takes no column of its own: a 47-column window shows a
    // 47-character answer line whole, the caret drawn at its right edge.
    if (i + 1 == text.lines.size()) n += QString::fromStdString(text.input).size();
    columns = std::max(columns, n);
  }
  const int rows = static_cast<int>(text.lines.size());
  // Shapes take the window's size, whatever it is.
  const QSize picture = shows_shapes() ? QSize() : picture_.size();
  return QSize(std::max(picture.width(), columns * kCell.width),
               std::max(picture.height(), rows * kCell.height));
}

void ConsoleView::update_scroll_range() {
  const QSize content = content_size();
  const QSize view = viewport()->size();
  horizontalScrollBar()->setRange(0, std::max(0, content.width() - view.width()));
  horizontalScrollBar()->setPageStep(view.width());
  verticalScrollBar()->setRange(0, std::max(0, content.height() - view.height()));
  verticalScrollBar()->setPageStep(view.height());
}

void ConsoleView::refresh_text() {
  update_scroll_range();
  // Keep the row of the text position in view, as a terminal scrolls with its output.
  const auto [row, column] = text_->cursor();
  const int bottom = (row + 1) * kCell.height;
  QScrollBar* v = verticalScrollBar();
  if (bottom > v->value() + viewport()->height()) v->setValue(bottom - viewport()->height());
  if (row * kCell.height < v->value()) v->setValue(row * kCell.height);
  QScrollBar* h = horizontalScrollBar();
  const int right = column * kCell.width;
  if (right > h->value() + viewport()->width()) h->setValue(right - viewport()->width());
  if (column * kCell.width < h->value()) h->setValue(column * kCell.width);
  viewport()->update();
}

void ConsoleView::select_all() {
  mark_ = QPoint(0, 0);
  caret_ = QPoint(0, std::numeric_limits<int>::max() / 2);
  viewport()->update();
}

void ConsoleView::drop_mark() {
  if (!has_selection()) return;
  mark_ = caret_ = QPoint();
  viewport()->update();
}

QString ConsoleView::selected_text() const {
  if (!has_selection()) return QString();
  QPoint from = mark_, to = caret_;
  if (before(to, from)) std::swap(from, to);
  const QStringList lines = shown_lines(text_->picture());
  QStringList taken;
  for (int row = std::max(0, from.y()); row <= to.y() && row < lines.size(); ++row) {
    const QString& line = lines[row];
    const int begin = row == from.y() ? std::min<int>(from.x(), line.size()) : 0;
    const int end = row == to.y() ? std::min<int>(to.x(), line.size()) : line.size();
    taken << line.mid(begin, std::max(0, end - begin));
  }
  return taken.join('\n');
}

bool ConsoleView::paste(const QString& text) {
  const QString first = text.section('\n', 0, 0).remove('\r');
  QString printable;
  for (const QChar c : first) {
    if (c.isPrint()) printable += c;
  }
  if (!text_->reading()) return false;
  if (!printable.isEmpty() && text_->type(printable.toStdString())) {
    drop_mark();
    refresh_text();
  }
  return true;
}

QPoint ConsoleView::cell_at(QPoint p) const {
  const int x = p.x() + horizontalScrollBar()->value();
  const int y = p.y() + verticalScrollBar()->value();
  return QPoint((x + kCell.width / 2) / kCell.width, std::max(0, y) / kCell.height);
}

void ConsoleView::paintEvent(QPaintEvent* /*event*/) {
  QPainter painter(viewport());
  painter.translate(-horizontalScrollBar()->value(), -verticalScrollBar()->value());
  const QSize content = content_size().expandedTo(
      viewport()->size() + QSize(horizontalScrollBar()->value(), verticalScrollBar()->value()));
  painter.fillRect(QRect(QPoint(0, 0), content), palette_colour(background_));
  if (shows_shapes()) {
    painter.save();
    painter.resetTransform();
    render_plot(painter, recording_, QRectF(viewport()->rect()));
    painter.restore();
  } else if (!picture_.isNull()) {
    painter.drawImage(0, 0, picture_);
  }

  const TextPicture text = text_->picture();
  if (has_selection()) {
    QPoint from = mark_, to = caret_;
    if (before(to, from)) std::swap(from, to);
    const int rows = static_cast<int>(text.lines.size());
    const QColor mark = palette().color(QPalette::Highlight).lighter(160);
    for (int row = from.y(); row <= to.y() && row < rows; ++row) {
      const int left = row == from.y() ? from.x() * kCell.width : 0;
      const int right = row == to.y() ? to.x() * kCell.width : content.width();
      painter.fillRect(QRect(left, row * kCell.height, right - left, kCell.height), mark);
    }
  }
  painter.setFont(font_);
  const QFontMetrics metrics(font_);
  // Centre the font's height in the cell.
  const int baseline = (kCell.height - metrics.height()) / 2 + metrics.ascent();
  int column = 0;
  auto draw = [&](int row, const QString& s, int colour) {
    painter.setPen(palette_colour(colour));
    for (const QChar c : s) {
      painter.drawText(column * kCell.width, row * kCell.height + baseline, QString(c));
      ++column;
    }
  };
  const int last = static_cast<int>(text.lines.size()) - 1;
  for (int row = 0; row <= last; ++row) {
    column = 0;
    for (const auto& run : text.lines[static_cast<std::size_t>(row)]) {
      draw(row, QString::fromStdString(run.text), run.colour);
    }
  }
  if (text.reading) draw(last, QString::fromStdString(text.input), text.input_colour);
  if (text.reading) column -= QString::fromStdString(text.input).size() - text.input_cursor;
  if (cursor_shown_) {
    // A bar at the editing position, in the colour of the text typed there.
    const int x = std::min(column * kCell.width, content.width() - kCaretWidth);
    const QRect bar(x, last * kCell.height + 2, kCaretWidth, kCell.height - 4);
    painter.fillRect(bar, palette_colour(text.input_colour));
  }
}

bool ConsoleView::take_key(QKeyEvent* event) {
  bool changed = false;
  switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
      changed = text_->enter();
      break;
    case Qt::Key_Backspace:
      changed = text_->backspace();
      break;
    case Qt::Key_Delete:
      changed = text_->erase();
      break;
    case Qt::Key_Left:
      changed = text_->move(CursorMove::left);
      break;
    case Qt::Key_Right:
      changed = text_->move(CursorMove::right);
      break;
    case Qt::Key_Home:
      changed = text_->move(CursorMove::home);
      break;
    case Qt::Key_End:
      changed = text_->move(CursorMove::end);
      break;
    case Qt::Key_Up:
      changed = text_->recall(-1);
      break;
    case Qt::Key_Down:
      changed = text_->recall(1);
      break;
    default: {
      const QString typed = event->text();
      const bool printable = !typed.isEmpty() && std::all_of(typed.begin(), typed.end(),
                                                             [](QChar c) { return c.isPrint(); });
      if (!printable) return false;
      changed = text_->type(typed.toStdString());
    }
  }
  if (changed) {
    drop_mark();
    refresh_text();
  }
  return changed || text_->reading();
}

void ConsoleView::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape && on_escape_) {
    on_escape_();
    event->accept();
    return;
  }
  if (shortcuts_ && shortcuts_(event)) {
    event->accept();
    return;
  }
  if (event->matches(QKeySequence::Paste)) {
    paste(QApplication::clipboard()->text());
    event->accept();
    return;
  }
  if (!text_->reading() && key_target_) {
    // The dialogue has the only keyboard input: a key for this window goes to its read.
    ConsoleView* target = key_target_();
    if (target != nullptr && target != this && target->take_key(event)) {
      event->accept();
      return;
    }
  }
  if (!take_key(event)) {
    QAbstractScrollArea::keyPressEvent(event);
    return;
  }
  event->accept();
}

void ConsoleView::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) {
    mark_ = caret_ = cell_at(event->position().toPoint());
    viewport()->update();
  } else if (event->button() == Qt::MiddleButton) {
    QClipboard* clipboard = QApplication::clipboard();
    const QString text =
        clipboard->supportsSelection() ? clipboard->text(QClipboard::Selection) : clipboard->text();
    paste(text.isEmpty() ? clipboard->text() : text);
  }
  QAbstractScrollArea::mousePressEvent(event);
}

void ConsoleView::mouseMoveEvent(QMouseEvent* event) {
  if (shows_shapes() && readout_) {
    readout_(canvas_point(recording_, QRectF(viewport()->rect()), event->position()));
  }
  if (event->buttons() & Qt::LeftButton) {
    caret_ = cell_at(event->position().toPoint());
    viewport()->update();
    if (has_selection() && QApplication::clipboard()->supportsSelection()) {
      QApplication::clipboard()->setText(selected_text(), QClipboard::Selection);
    }
  }
  QAbstractScrollArea::mouseMoveEvent(event);
}

void ConsoleView::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  update_scroll_range();
}

void ConsoleView::scrollContentsBy(int /*dx*/, int /*dy*/) { viewport()->update(); }

// Tab is an ordinary key in a console window, not a move to the next widget.
bool ConsoleView::focusNextPrevChild(bool /*next*/) { return false; }

}  // namespace windowing
