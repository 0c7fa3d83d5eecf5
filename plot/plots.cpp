// The three drawing phases of an efficiency check: the window, the panels and the original data
// (PLOTORIGINAL), the model's free-running trajectory (PLOTMODEL) and the prediction error curve
// (PLOTERROR).

#include "plot/plots.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "numlib/fields.h"

namespace plot {

namespace {

using i16 = std::int16_t;

constexpr int kLabelLength = 10;
constexpr int kTitleLength = 100;

// Real to pixel offset, truncating toward zero. Offsets far outside any panel (and NaN) are
// pinned to +-1000, which keeps the 16-bit sums that follow from wrapping into a panel.
i16 trunc16(double v) {
  if (!(v > -1000.0)) return -1000;
  if (v > 1000.0) return 1000;
  return static_cast<i16>(std::trunc(v));
}

// Text padded with blanks (or cut) to `length` characters.
std::string padded(std::string_view text, int length) {
  std::string s(text.substr(0, static_cast<std::size_t>(length)));
  s.resize(static_cast<std::size_t>(length), ' ');
  return s;
}

std::string f51(double v) { return padded(numlib::format_F(v, 5, 1), kLabelLength); }

struct Range {
  double vmin = 0;
  double vmax = 0;
};

// The plotted range of the n values at a: the extremes widened by a tenth of their distance.
Range value_range(const double* a, int n) {
  if (n <= 0) return {};
  auto [lo, hi] = std::minmax_element(a, a + n);
  double m = (*hi - *lo) * 0.1;
  return {*lo - m, *hi + m};
}

}  // namespace

void PLOTORIGINAL(WindowSystem& w, const double* XT, int D, int NT, int Ltest) {
  w.OPENWINDOW(kPlotUnit, "Model efficiency", false);
  w.PLACEWINDOW(kPlotUnit, kPlotPlace);
  w.TARGETWINDOW(kPlotUnit);
  w.SETBACKCOLOR(kWhite);
  w.CLEARWINDOW(0);
  w.SETDRAWCOLOR(kBlack);
  w.LOADFONTS();
  w.SELECTFONT("t'Arial'h14w7i");

  const int ncols = NT - D;
  const Range r = value_range(XT, D * ncols);

  // The seven label buffers, refilled per panel; a buffer not refilled keeps its text.
  std::string L1, L2, L3, L4, L5, L6, TITLE;
  auto frame = [&](const PanelBox& b) {
    DRAWFRAME(w, static_cast<i16>(b.x), static_cast<i16>(b.y), static_cast<i16>(b.right()),
              static_cast<i16>(b.bottom()), 10, 10, L1, L2, L3, L4, L5, L6, TITLE);
  };

  L1 = f51(r.vmin);
  L2 = padded("X1(n)", kLabelLength);
  L3 = f51(r.vmax);
  L4 = f51(r.vmin);
  L5 = padded("X1(n+1)", kLabelLength);
  L6 = f51(r.vmax);
  TITLE = padded("Original phase orbit", kTitleLength);
  frame(kOriginalOrbitPanel);

  TITLE = padded("Model phase orbit", kTitleLength);
  frame(kModelOrbitPanel);

  L1 = padded("0.0", kLabelLength);
  L2 = padded("n", kLabelLength);
  L3 = padded(numlib::format_I(Ltest, 6), kLabelLength);
  L4 = f51(r.vmin);
  L5 = padded("X1", kLabelLength);
  L6 = f51(r.vmax);
  TITLE = padded("Original and model time series", kTitleLength);
  frame(kTimeSeriesPanel);

  L4 = padded("0.0", kLabelLength);
  L5 = padded("e", kLabelLength);
  L6 = padded("1.0", kLabelLength);
  TITLE = padded("Prediction error", kTitleLength);
  frame(kErrorPanel);

  // Original data in colour 0; nothing when the range is empty (all values equal).
  if (r.vmax > r.vmin && Ltest > 0) {
    const double s = 1.0 / (r.vmax - r.vmin);
    // Both panels are squares of one size, so one scale serves the orbit and the series.
    constexpr PanelBox orbit = kOriginalOrbitPanel;
    constexpr PanelBox series = kTimeSeriesPanel;
    static_assert(orbit.width == orbit.height && series.height == orbit.height);
    auto P = [&](double v) { return trunc16((v - r.vmin) * s * orbit.height); };
    auto xt = [&](int i, int j) { return XT[static_cast<std::size_t>(j - 1) * D + (i - 1)]; };
    for (int k = 1; k <= ncols - 1; ++k) {
      const i16 px = static_cast<i16>(orbit.x + P(xt(1, k)));
      const i16 py = static_cast<i16>(orbit.bottom() - P(xt(1, k + 1)));
      if (orbit.x < px && px < orbit.right() && orbit.y < py && py < orbit.bottom()) {
        w.PLOTPIXEL(px, py);
      }
      if (k <= Ltest) {
        const i16 x0 = static_cast<i16>(series.x + trunc16((k - 1) * (1.0 / Ltest) * series.width));
        const i16 y0 = static_cast<i16>(series.bottom() - P(xt(D, k)));
        const i16 x1 = static_cast<i16>(series.x + trunc16(k * (1.0 / Ltest) * series.width));
        const i16 y1 = static_cast<i16>(series.bottom() - P(xt(D, k + 1)));
        if (series.y < y0 && y0 < series.bottom() && series.y < y1 && y1 < series.bottom()) {
          w.MOVEPEN(x0, y0);
          w.DRAWLINETO(x1, y1);
        }
      }
    }
  }
  w.SETDRAWCOLOR(kRed);
}

void PLOTMODEL(WindowSystem& w, const double* A, int D, int L, int NV,
               const model::MapRoutine& STEPFN, int XB, int YB, int WB, int HB, int XS, int YS,
               int WS, int HS) {
  if (D <= 0 || NV <= 0) return;
  const Range r = value_range(A, D * NV);
  if (!(r.vmax > r.vmin) || L <= 0) return;  // no scale: nothing to draw
  const double limit = 100 * std::max(std::abs(r.vmax), std::abs(r.vmin));
  const double s = 1.0 / (r.vmax - r.vmin);
  auto R = [&](double v) { return (v - r.vmin) * s; };
  auto in_box = [](double t) { return 0 <= t && t <= 1; };

  // Free-running trajectory from the first test delay vector, never reset to the data.
  std::vector<double> cur(A, A + D);
  std::vector<double> nxt(static_cast<std::size_t>(D));
  for (int step = 2; step <= NV; ++step) {
    if (std::any_of(cur.begin(), cur.end(), [&](double c) { return std::abs(c) > limit; })) {
      break;  // diverged: the state no longer changes, so no later pass draws either
    }
    STEPFN(D, step, cur.data(), nxt.data());
    const double c1 = R(cur[0]), n1 = R(nxt[0]);
    if (in_box(c1) && in_box(n1)) {
      w.PLOTPIXEL(static_cast<i16>(XB + trunc16(WB * c1)), static_cast<i16>(YB - trunc16(HB * n1)));
    }
    const double cd = R(cur[D - 1]), nd = R(nxt[D - 1]);
    if (step <= L + 1 && in_box(nd) && in_box(cd)) {
      const i16 x0 = static_cast<i16>(XS + trunc16((WS * (step - 2)) * (1.0 / L)));
      const i16 y0 = static_cast<i16>(YS - trunc16(HS * cd));
      const i16 x1 = static_cast<i16>(XS + trunc16((WS * (step - 1)) * (1.0 / L)));
      const i16 y1 = static_cast<i16>(YS - trunc16(HS * nd));
      w.MOVEPEN(x0, y0);
      w.DRAWLINETO(x1, y1);
    }
    cur = nxt;
  }
}

void plot_model_in_panels(WindowSystem& w, const double* A, int D, int L, int NV,
                          const model::MapRoutine& STEPFN) {
  constexpr PanelBox orbit = kModelOrbitPanel;
  constexpr PanelBox series = kTimeSeriesPanel;
  PLOTMODEL(w, A, D, L, NV, STEPFN, orbit.x, orbit.bottom(), orbit.width, orbit.height, series.x,
            series.bottom(), series.width, series.height);
}

void PLOTERROR(WindowSystem& w, const double* E, int Ltest) {
  auto in_box = [](double e) { return 0 <= e && e <= 1; };
  for (int j = 2; j <= Ltest; ++j) {
    const double e0 = E[j - 2], e1 = E[j - 1];
    if (!in_box(e0) || !in_box(e1)) continue;
    constexpr PanelBox b = kErrorPanel;
    const i16 x0 = static_cast<i16>(b.x + trunc16((j - 1) * (1.0 / Ltest) * b.width));
    const i16 y0 = static_cast<i16>(b.bottom() - trunc16(e0 * b.height));
    const i16 x1 = static_cast<i16>(b.x + trunc16(j * (1.0 / Ltest) * b.width));
    const i16 y1 = static_cast<i16>(b.bottom() - trunc16(e1 * b.height));
    w.MOVEPEN(x0, y0);
    w.DRAWLINETO(x1, y1);
  }
  w.SETDRAWCOLOR(kBlack);
}

PictureScale panel_scale(const double* XT, int D, int NT, int Ltest) {
  const Range r = value_range(XT, D * (NT - D));
  return PictureScale{r.vmin, r.vmax, Ltest};
}

std::optional<PanelReading> read_panel(const PictureScale& scale, double x, double y) {
  const auto inside = [&](const PanelBox& b) {
    return b.x <= x && x <= b.right() && b.y <= y && y <= b.bottom();
  };
  const auto across = [&](const PanelBox& b) { return (x - b.x) / b.width; };
  const auto up = [&](const PanelBox& b) { return (b.bottom() - y) / b.height; };
  const auto value = [&](double t) { return scale.vmin + t * (scale.vmax - scale.vmin); };
  if (inside(kOriginalOrbitPanel) || inside(kModelOrbitPanel)) {
    const PanelBox& b = inside(kOriginalOrbitPanel) ? kOriginalOrbitPanel : kModelOrbitPanel;
    return PanelReading{&b == &kOriginalOrbitPanel ? "Original phase orbit" : "Model phase orbit",
                        "X1(n)", "X1(n+1)", value(across(b)), value(up(b))};
  }
  if (inside(kTimeSeriesPanel)) {
    return PanelReading{"Original and model time series", "n", "X1",
                        across(kTimeSeriesPanel) * scale.ltest, value(up(kTimeSeriesPanel))};
  }
  if (inside(kErrorPanel)) {
    return PanelReading{"Prediction error", "n", "e", across(kErrorPanel) * scale.ltest,
                        up(kErrorPanel)};
  }
  return std::nullopt;
}

}  // namespace plot
