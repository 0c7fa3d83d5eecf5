#pragma once
// The four panels of an efficiency check in the plot window (kPlotUnit, "Model efficiency"):
// A original phase orbit, B model phase orbit, C original and model time series, D prediction
// error. All arithmetic on pixel positions is in 16-bit integers truncating toward zero.

#include <cstdint>
#include <optional>
#include <string_view>

#include "model/model_map.h"
#include "plot/window_system.h"

namespace plot {

void DRAWFRAME(WindowSystem& w, std::int16_t x1, std::int16_t y1, std::int16_t x2, std::int16_t y2,
               std::int16_t nx, std::int16_t ny, std::string_view L1, std::string_view L2,
               std::string_view L3, std::string_view L4, std::string_view L5, std::string_view L6,
               std::string_view TITLE);

void PLOTORIGINAL(WindowSystem& w, const double* XT, int D, int NT, int Ltest);

void PLOTMODEL(WindowSystem& w, const double* A, int D, int L, int NV,
               const model::MapRoutine& STEPFN, int XB, int YB, int WB, int HB, int XS, int YS,
               int WS, int HS);

// PLOTMODEL in the panels of the plot window: the orbit in panel B, the series in panel C, each
// from its box's bottom left corner.
void plot_model_in_panels(WindowSystem& w, const double* A, int D, int L, int NV,
                          const model::MapRoutine& STEPFN);

void PLOTERROR(WindowSystem& w, const double* E, int Ltest);

// The scales PLOTORIGINAL gives the panels for the same arguments.
PictureScale panel_scale(const double* XT, int D, int NT, int Ltest);

// What a point (x, y) of the plot window's picture stands for in the panel it lies in (edges
// included): the panel's title, its axes' names and the values there. Nothing outside the
// panels.
struct PanelReading {
  std::string_view title, x_name, y_name;
  double x = 0.0, y = 0.0;
};
std::optional<PanelReading> read_panel(const PictureScale& scale, double x, double y);

}  // namespace plot
