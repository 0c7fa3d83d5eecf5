#include "windowing/qt/plot_recording.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPageSize>
#include <QPdfWriter>
#ifdef MAPFIT_HAVE_SVG
#include <QSvgGenerator>
#endif
#include <algorithm>
#include <cmath>

#include "windowing/canvas.h"
#include "windowing/qt/console_view.h"

namespace windowing {
namespace {

QRectF fitted(const PlotRecording& plot, const QRectF& target) {
  if (plot.size.isEmpty()) return target;
  const double scale =
      std::min(target.width() / plot.size.width(), target.height() / plot.size.height());
  const QSizeF size(plot.size.width() * scale, plot.size.height() * scale);
  return QRectF(target.topLeft() + QPointF((target.width() - size.width()) / 2,
                                           (target.height() - size.height()) / 2),
                size);
}

}  // namespace

QImage canvas_image(const Canvas& canvas) {
  const std::vector<std::uint8_t> rgb = canvas.to_rgb();
  QImage image(canvas.width(), canvas.height(), QImage::Format_RGB888);
  for (int y = 0; y < canvas.height(); ++y) {
    std::copy_n(rgb.data() + static_cast<std::size_t>(y) * canvas.width() * 3, canvas.width() * 3,
                image.scanLine(y));
  }
  return image;
}

void render_plot(QPainter& painter, const PlotRecording& plot, const QRectF& target) {
  painter.save();
  painter.fillRect(target, palette_colour(plot.background));
  const QRectF area = fitted(plot, target);
  const double scale = plot.size.isEmpty() ? 1.0 : area.width() / plot.size.width();
  painter.setRenderHint(QPainter::Antialiasing, true);
  painter.setRenderHint(QPainter::TextAntialiasing, true);
  painter.translate(area.topLeft());
  painter.scale(scale, scale);
  // Pixel (x, y) of the canvas is the unit square at (x, y): lines run through the centres.
  const QPointF half(0.5, 0.5);
  QPen pen;
  pen.setWidthF(1.0);
  pen.setCapStyle(Qt::SquareCap);
  pen.setJoinStyle(Qt::MiterJoin);
  for (const PlotShape& s : plot.shapes) {
    const QColor colour = palette_colour(s.colour);
    const QPointF a(s.x1, s.y1), b(s.x2, s.y2);
    switch (s.kind) {
      case PlotShape::Kind::outline:
        pen.setColor(colour);
        painter.setPen(pen);
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(QRectF(a + half, b + half).normalized());
        break;
      case PlotShape::Kind::fill:
        painter.fillRect(QRectF(a, b + QPointF(1, 1)).normalized(), colour);
        break;
      case PlotShape::Kind::line:
        if (a == b) {
          // A line of one pixel is a point of an orbit: a dot.
          painter.setPen(Qt::NoPen);
          painter.setBrush(colour);
          painter.drawEllipse(a + half, 0.9, 0.9);
          break;
        }
        pen.setColor(colour);
        painter.setPen(pen);
        painter.drawLine(a + half, b + half);
        break;
      case PlotShape::Kind::pixel:
        painter.setPen(Qt::NoPen);
        painter.setBrush(colour);
        painter.drawEllipse(a + half, 0.9, 0.9);
        break;
      case PlotShape::Kind::text: {
        QFont font(QStringLiteral("DejaVu Sans"));
        font.setPixelSize(std::max(1, s.font_height));
        painter.setFont(font);
        painter.setPen(colour);
        // Squeezed or stretched to the width the canvas gave the text.
        const double natural = QFontMetricsF(font).horizontalAdvance(s.text);
        const double wanted = s.x2 - s.x1;
        painter.save();
        painter.translate(a);
        if (natural > 0 && wanted > 0) painter.scale(wanted / natural, 1.0);
        painter.drawText(QRectF(0, 0, natural + 1, s.font_height + 4),
                         Qt::AlignLeft | Qt::AlignTop | Qt::TextDontClip, s.text);
        painter.restore();
        break;
      }
    }
  }
  painter.restore();
}

QPointF canvas_point(const PlotRecording& plot, const QRectF& target, QPointF point) {
  const QRectF area = fitted(plot, target);
  if (area.isEmpty() || plot.size.isEmpty()) return point;
  const double scale = area.width() / plot.size.width();
  return (point - area.topLeft()) / scale;
}

bool write_plot_svg(const PlotRecording& plot, const QString& path, const QString& title) {
#ifndef MAPFIT_HAVE_SVG
  return false;
#else
  QSvgGenerator svg;
  svg.setFileName(path);
  svg.setSize(plot.size);
  svg.setViewBox(QRect(QPoint(0, 0), plot.size));
  svg.setTitle(title);
  QPainter painter;
  if (!painter.begin(&svg)) return false;
  render_plot(painter, plot, QRectF(QPointF(0, 0), plot.size));
  return painter.end();
#endif
}

bool write_plot_pdf(const PlotRecording& plot, const QString& path, const QString& title) {
  QPdfWriter pdf(path);
  pdf.setTitle(title);
  pdf.setResolution(72);
  pdf.setPageSize(QPageSize(QSizeF(plot.size), QPageSize::Point));
  pdf.setPageMargins(QMarginsF(0, 0, 0, 0));
  QPainter painter;
  if (!painter.begin(&pdf)) return false;
  render_plot(painter, plot, QRectF(QPointF(0, 0), QSizeF(pdf.width(), pdf.height())));
  return painter.end();
}

bool write_plot_png(const PlotRecording& plot, const QString& path, int width) {
  if (plot.size.isEmpty() || width < 1) return false;
  const int height = static_cast<int>(
      std::lround(static_cast<double>(width) * plot.size.height() / plot.size.width()));
  QImage image(width, std::max(1, height), QImage::Format_RGB32);
  QPainter painter(&image);
  render_plot(painter, plot, QRectF(image.rect()));
  painter.end();
  return image.save(path, "PNG");
}

bool export_plot(const PlotRecording& plot, const QString& path, const QString& title,
                 int png_width) {
  const QString suffix = path.section('.', -1).toLower();
  if (suffix == QStringLiteral("svg")) return write_plot_svg(plot, path, title);
  if (suffix == QStringLiteral("pdf")) return write_plot_pdf(plot, path, title);
  if (suffix == QStringLiteral("png")) return write_plot_png(plot, path, png_width);
  return false;
}

}  // namespace windowing
