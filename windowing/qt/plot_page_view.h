#pragma once
// A window of one kept efficiency check: its shapes painted at the window's size, or its pixel
// picture as it was drawn.

#include <QWidget>
#include <functional>

#include "windowing/qt/plot_recording.h"

namespace windowing {

class PlotPageView : public QWidget {
 public:
  explicit PlotPageView(PlotPage page, QWidget* parent = nullptr);

  const PlotPage& page() const { return page_; }
  void set_actual_pixels(bool actual);
  // Called with the canvas coordinates under the mouse.
  void set_readout(std::function<void(QPointF)> readout) { readout_ = std::move(readout); }
  QSize sizeHint() const override { return page_.recording.size; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;

 private:
  PlotPage page_;
  bool actual_pixels_ = false;
  std::function<void(QPointF)> readout_;
};

}  // namespace windowing
