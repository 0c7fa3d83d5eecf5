#include "windowing/qt/cell_geometry.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>

namespace windowing {

QFont console_font() {
  QFont font(QStringLiteral("Liberation Mono"));
  if (!QFontInfo(font).fixedPitch()) font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
  font.setStyleHint(QFont::Monospace);
  for (int size = 24; size > 6; --size) {
    font.setPixelSize(size);
    const QFontMetrics metrics(font);
    if (metrics.horizontalAdvance(QLatin1Char('M')) <= kCell.width &&
        metrics.height() <= kCell.height) {
      break;
    }
  }
  return font;
}

QRect child_geometry(const plot::WINDOWPLACE& place, CellSize cell, QSize scroll_bars,
                     QMargins decoration) {
  const QSize client(place.w * cell.width + scroll_bars.width(),
                     place.h * cell.height + scroll_bars.height());
  const QSize outer = client.grownBy(decoration);
  return QRect(QPoint(place.x * cell.width, place.y * cell.height), outer);
}

}  // namespace windowing
