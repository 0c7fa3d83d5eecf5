#include "windowing/qt/console_view.h"

#include <QFontMetrics>
#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>

#include "windowing/canvas.h"

namespace windowing {

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
    if (i + 1 == text.lines.size()) n += QString::fromStdString(text.input).size() + 1;
    columns = std::max(columns, n);
  }
  const int rows = static_cast<int>(text.lines.size());
  return QSize(std::max(picture_.width(), columns * kCell.width),
               std::max(picture_.height(), rows * kCell.height));
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
  const int right = (column + 1) * kCell.width;
  if (right > h->value() + viewport()->width()) h->setValue(right - viewport()->width());
  if (column * kCell.width < h->value()) h->setValue(column * kCell.width);
  viewport()->update();
}

void ConsoleView::select_all() {
  all_selected_ = true;
  viewport()->update();
}

QString ConsoleView::selected_text() const {
  return all_selected_ ? QString::fromStdString(text_->text()) : QString();
}

void ConsoleView::paintEvent(QPaintEvent* /*event*/) {
  QPainter painter(viewport());
  painter.translate(-horizontalScrollBar()->value(), -verticalScrollBar()->value());
  const QSize content = content_size().expandedTo(viewport()->size() +
                                                  QSize(horizontalScrollBar()->value(),
                                                        verticalScrollBar()->value()));
  painter.fillRect(QRect(QPoint(0, 0), content), palette_colour(background_));
  if (!picture_.isNull()) painter.drawImage(0, 0, picture_);

  const TextPicture text = text_->picture();
  if (all_selected_) {
    painter.fillRect(QRect(0, 0, content.width(),
                           static_cast<int>(text.lines.size()) * kCell.height),
                     palette().color(QPalette::Highlight).lighter(160));
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
  if (cursor_shown_) {
    // A bar at the text position, in the colour of the text typed there.
    const QRect bar(column * kCell.width, last * kCell.height + 2, 2, kCell.height - 4);
    painter.fillRect(bar, palette_colour(text.input_colour));
  }
}

void ConsoleView::keyPressEvent(QKeyEvent* event) {
  all_selected_ = false;
  bool changed = false;
  switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
      changed = text_->enter();
      break;
    case Qt::Key_Backspace:
      changed = text_->backspace();
      break;
    default: {
      const QString typed = event->text();
      const bool printable =
          !typed.isEmpty() && std::all_of(typed.begin(), typed.end(),
                                          [](QChar c) { return c.isPrint(); });
      if (!printable) {
        QAbstractScrollArea::keyPressEvent(event);
        return;
      }
      changed = text_->type(typed.toStdString());
    }
  }
  if (changed) refresh_text();
  event->accept();
}

void ConsoleView::mousePressEvent(QMouseEvent* event) {
  all_selected_ = false;
  viewport()->update();
  QAbstractScrollArea::mousePressEvent(event);
}

void ConsoleView::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  update_scroll_range();
}

void ConsoleView::scrollContentsBy(int /*dx*/, int /*dy*/) { viewport()->update(); }

// Tab is an ordinary key in a console window, not a move to the next widget.
bool ConsoleView::focusNextPrevChild(bool /*next*/) { return false; }

}  // namespace windowing
