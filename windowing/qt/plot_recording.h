#pragma once
// The drawing of a plot window kept as shapes (rectangles, lines, pixels, text), in the
// canvas's pixel coordinates, besides the canvas itself: the desktop paints it at any size
// with antialiasing, prints it and exports it as SVG, PDF or PNG, while the canvas stays the
// pixel picture the program draws.

#include <QByteArray>
#include <QImage>
#include <QPainter>
#include <QSize>
#include <QString>
#include <cstdint>
#include <optional>
#include <vector>

#include "plot/window_system.h"

namespace windowing {

class Canvas;

struct PlotShape {
  enum class Kind { outline, fill, line, pixel, text };
  Kind kind = Kind::line;
  int colour = 0;  // palette index
  std::int16_t x1 = 0, y1 = 0, x2 = 0, y2 = 0;
  int font_height = 0;  // text: pixels from top to bottom of the face
  QString text;
};

struct PlotRecording {
  QSize size;  // of the canvas
  int background = 15;
  std::vector<PlotShape> shapes;
};

// One efficiency check's picture as the run keeps it.
struct PlotPage {
  QString title;  // the model and the check's number
  PlotRecording recording;
  QImage pixels;       // the canvas as it was
  QByteArray numbers;  // what the panels show, as CSV (empty when the program gave none)
  std::optional<plot::PictureScale> scale;  // of the panels, for the cursor readout
};

// The canvas's pixels as an RGB image.
QImage canvas_image(const Canvas& canvas);

// Paints `plot` into `target` (device coordinates of `painter`), the canvas's layout scaled in
// proportion and centred; the background fills the whole target.
void render_plot(QPainter& painter, const PlotRecording& plot, const QRectF& target);

// The point of the canvas under `point` of `target` as render_plot lays it out.
QPointF canvas_point(const PlotRecording& plot, const QRectF& target, QPointF point);

// Exports; false when the file cannot be written. The PNG is `width` pixels wide.
bool write_plot_svg(const PlotRecording& plot, const QString& path, const QString& title);
bool write_plot_pdf(const PlotRecording& plot, const QString& path, const QString& title);
bool write_plot_png(const PlotRecording& plot, const QString& path, int width);
// By the name's suffix: .svg, .pdf or .png (then `png_width` pixels wide).
bool export_plot(const PlotRecording& plot, const QString& path, const QString& title,
                 int png_width);

}  // namespace windowing
