#include "windowing/qt/plot_page_view.h"

#include <QMouseEvent>
#include <QPainter>

#include "windowing/qt/console_view.h"

namespace windowing {

PlotPageView::PlotPageView(PlotPage page, QWidget* parent)
    : QWidget(parent), page_(std::move(page)) {
  setMouseTracking(true);
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void PlotPageView::set_actual_pixels(bool actual) {
  actual_pixels_ = actual;
  update();
}

void PlotPageView::paintEvent(QPaintEvent* /*event*/) {
  QPainter painter(this);
  if (actual_pixels_ || page_.recording.shapes.empty()) {
    painter.fillRect(rect(), palette_colour(page_.recording.background));
    painter.drawImage(0, 0, page_.pixels);
    return;
  }
  render_plot(painter, page_.recording, QRectF(rect()));
}

void PlotPageView::mouseMoveEvent(QMouseEvent* event) {
  if (readout_) {
    const QPointF p = event->position();
    readout_(actual_pixels_ ? p : canvas_point(page_.recording, QRectF(rect()), p));
  }
  QWidget::mouseMoveEvent(event);
}

}  // namespace windowing
