#include "plot/plots.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "tests/plot/recording_windows.h"

namespace plot {
namespace {

using testing::RecordingConsole;

std::string pad(const std::string& s, std::size_t n) {
  std::string t = s;
  t.resize(n, ' ');
  return "DRAWTEXT(|" + t + "|)";
}

// The 28 label texts of one check, in drawing order.
std::vector<std::string> labels(const std::string& vmin, const std::string& vmax,
                                const std::string& ltest) {
  std::vector<std::string> v;
  auto panel = [&](const std::string& l1, const std::string& l2, const std::string& l3,
                   const std::string& l4, const std::string& l5, const std::string& l6,
                   const std::string& title) {
    for (const auto& l : {l1, l2, l3, l4, l5, l6}) v.push_back(pad(l, 10));
    v.push_back(pad(title, 100));
  };
  panel(vmin, "X1(n)", vmax, vmin, "X1(n+1)", vmax, "Original phase orbit");
  panel(vmin, "X1(n)", vmax, vmin, "X1(n+1)", vmax, "Model phase orbit");
  panel("0.0", "n", ltest, vmin, "X1", vmax, "Original and model time series");
  panel("0.0", "n", ltest, "0.0", "e", "1.0", "Prediction error");
  return v;
}

// The calls after the four frames (frames take 1 + 36 + 14 calls each, after 8 set-up calls).
std::vector<std::string> after_frames(const RecordingConsole& w) {
  const std::size_t start = 8 + 4 * 51;
  if (w.calls.size() < start) return {};
  return {w.calls.begin() + start, w.calls.end()};
}

// Test series T = 1, 4, 2, 3, 2.6 (D = 1, Ltest = 3, one test piece): VMIN = 0.7, VMAX = 4.3,
// and P(v) = trunc((v - 0.7) / 3.6 * 200) gives P(1) = 16, P(4) = 183, P(2) = 72, P(3) = 127.
const std::vector<double> kSeries{1, 4, 2, 3};  // XT: the NT - D = 4 columns of T(1 .. 4)

TEST(PlotOriginal, WindowSetUpInOrder) {
  RecordingConsole w;
  PLOTORIGINAL(w, kSeries.data(), 1, 5, 3);
  const std::vector<std::string> head(w.calls.begin(), w.calls.begin() + 8);
  EXPECT_EQ(head, (std::vector<std::string>{"OPENWINDOW(12,Model efficiency,0)",
                                            "PLACEWINDOW(12,4,50,0,31,47)", "TARGETWINDOW(12)",
                                            "SETBACKCOLOR(15)", "CLEARWINDOW(0)", "SETDRAWCOLOR(0)",
                                            "LOADFONTS", "SELECTFONT(t'Arial'h14w7i)"}));
  EXPECT_EQ(w.calls.back(), "SETDRAWCOLOR(12)");
  EXPECT_EQ(w.target(), 12);
  const auto info = w.info(12);
  ASSERT_TRUE(info);
  EXPECT_EQ(info->title, "Model efficiency");
  EXPECT_FALSE(info->focus_on_io);
}

TEST(PlotOriginal, OrbitPointsAndSeriesSegments) {
  RecordingConsole w;
  PLOTORIGINAL(w, kSeries.data(), 1, 5, 3);
  // Orbit points (T(k), T(k+1)) strictly inside panel A, each followed by the segment from
  // step k - 1 to step k of panel C; the curve starts at T(D) = 1 at n = 0.
  EXPECT_EQ(after_frames(w),
            (std::vector<std::string>{
                "PLOTPIXEL(51,67)", "MOVEPEN(275,234)", "DRAWLINETO(341,67)", "PLOTPIXEL(218,178)",
                "MOVEPEN(341,67)", "DRAWLINETO(408,178)", "PLOTPIXEL(107,123)", "MOVEPEN(408,178)",
                "DRAWLINETO(475,123)", "SETDRAWCOLOR(12)"}));
  const auto c = w.snapshot(12);
  ASSERT_TRUE(c);
  EXPECT_EQ(c->pixel(51, 67), 0);
  EXPECT_EQ(c->pixel(475, 123), 0);
  EXPECT_EQ(c->draw_colour(), 12);
}

TEST(PlotOriginal, SeriesSegmentsUseTheLastDelayCoordinate) {
  // D = 2: columns (T(j), T(j+1)); panel C runs from T(D) = T(2) at n = 0.
  const std::vector<double> xt{1, 4, 4, 2, 2, 3, 3, 2.6};  // T = 1, 4, 2, 3, 2.6
  RecordingConsole w;
  PLOTORIGINAL(w, xt.data(), 2, 6, 2);
  // VMIN and VMAX as before, so P(4) = 183, P(2) = 72, P(3) = 127, P(2.6) = 105.
  EXPECT_EQ(after_frames(w), (std::vector<std::string>{"PLOTPIXEL(51,67)", "MOVEPEN(275,67)",
                                                       "DRAWLINETO(375,178)", "PLOTPIXEL(218,178)",
                                                       "MOVEPEN(375,178)", "DRAWLINETO(475,123)",
                                                       "PLOTPIXEL(107,123)", "SETDRAWCOLOR(12)"}));
}

TEST(PlotOriginal, LabelsOfTheFourPanels) {
  RecordingConsole w;
  PLOTORIGINAL(w, kSeries.data(), 1, 5, 3);
  EXPECT_EQ(w.only("DRAWTEXT"), labels("  0.7", "  4.3", "     3"));
}

TEST(PlotOriginal, ValuesOutsideTheLabelFieldPrintAsAsterisks) {
  // Values from -150 to 20: VMIN = -167 does not fit F5.1, VMAX = 37 does.
  const std::vector<double> xt{-150, 20, -100, 0, 10};
  RecordingConsole w;
  PLOTORIGINAL(w, xt.data(), 1, 6, 4);
  EXPECT_EQ(w.only("DRAWTEXT"), labels("*****", " 37.0", "     4"));
}

TEST(PlotOriginal, LtestThirtyLabel) {
  std::vector<double> xt;
  for (int i = 0; i < 31; ++i) xt.push_back(i % 7);
  RecordingConsole w;
  PLOTORIGINAL(w, xt.data(), 1, 32, 30);
  const auto texts = w.only("DRAWTEXT");
  ASSERT_EQ(texts.size(), 28u);
  EXPECT_EQ(texts[16], "DRAWTEXT(|    30    |)");  // L3 of panel C
  EXPECT_EQ(texts[23], "DRAWTEXT(|    30    |)");  // L3 of panel D
}

TEST(PlotOriginal, AllValuesEqualDrawFramesAndLabelsButNoData) {
  const std::vector<double> xt(8, 2.5);
  RecordingConsole w;
  PLOTORIGINAL(w, xt.data(), 2, 6, 2);
  EXPECT_EQ(after_frames(w), std::vector<std::string>{"SETDRAWCOLOR(12)"});
  EXPECT_EQ(w.only("DRAWRECT").size(), 4u);
  EXPECT_EQ(w.only("DRAWTEXT"), labels("  2.5", "  2.5", "     2"));

  int steps = 0;
  auto model = [&](int, int, const double* s, double* n) { ++steps, n[0] = s[1], n[1] = 9; };
  w.calls.clear();
  plot_model_in_panels(w, xt.data(), 2, 2, 4, model);
  EXPECT_TRUE(w.calls.empty());
}

// A model that returns a fixed value per step (D = 1).
model::MapRoutine sequence(std::map<int, double> values, std::vector<int>* steps) {
  return [values, steps](int, int step, const double*, double* next) {
    steps->push_back(step);
    next[0] = values.at(step);
  };
}

TEST(PlotModel, OrbitBoundsAreInclusiveAndTheCurveStartsAtTheData) {
  RecordingConsole w;
  w.OPENWINDOW(plot::kPlotUnit, "Model efficiency", false);
  w.TARGETWINDOW(plot::kPlotUnit);
  w.calls.clear();
  const double vmin = 1 - (4 - 1) * 0.1;  // the plotted minimum: R(vmin) = 0
  std::vector<int> steps;
  plot_model_in_panels(w, kSeries.data(), 1, 3, 4,
                       sequence({{2, 3.9}, {3, vmin}, {4, 2.6}}, &steps));
  EXPECT_EQ(steps, (std::vector<int>{2, 3, 4}));
  // R(1) = 0.083, R(3.9) = 0.889, R(2.6) = 0.528; the points on the bottom and the left edge of
  // panel B are drawn.
  EXPECT_EQ(w.calls, (std::vector<std::string>{
                         "PLOTPIXEL(51,373)", "MOVEPEN(275,234)", "DRAWLINETO(341,73)",
                         "PLOTPIXEL(212,550)", "MOVEPEN(341,73)", "DRAWLINETO(408,250)",
                         "PLOTPIXEL(35,445)", "MOVEPEN(408,250)", "DRAWLINETO(475,145)"}));
}

TEST(PlotModel, ValuesJustOutsideTheRangeAreNotDrawn) {
  RecordingConsole w;
  w.OPENWINDOW(plot::kPlotUnit, "Model efficiency", false);
  w.TARGETWINDOW(plot::kPlotUnit);
  w.calls.clear();
  std::vector<int> steps;
  plot_model_in_panels(w, kSeries.data(), 1, 3, 4,
                       sequence({{2, 0.69}, {3, 4.31}, {4, 2.6}}, &steps));
  EXPECT_EQ(steps, (std::vector<int>{2, 3, 4}));
  EXPECT_TRUE(w.calls.empty());
}

TEST(PlotModel, SeriesStopsAfterLtestSteps) {
  RecordingConsole w;
  w.OPENWINDOW(plot::kPlotUnit, "Model efficiency", false);
  w.TARGETWINDOW(plot::kPlotUnit);
  w.calls.clear();
  std::vector<int> steps;
  // L = 1: one segment (steps 2 only), orbit points for every step.
  plot_model_in_panels(w, kSeries.data(), 1, 1, 4, sequence({{2, 2}, {3, 3}, {4, 2}}, &steps));
  EXPECT_EQ(w.only("DRAWLINETO"), std::vector<std::string>{"DRAWLINETO(475,178)"});
  EXPECT_EQ(w.only("MOVEPEN"), std::vector<std::string>{"MOVEPEN(275,234)"});
  EXPECT_EQ(w.only("PLOTPIXEL").size(), 3u);
}

TEST(PlotModel, DivergingModelStopsAfterTheFirstStateBeyondLimit) {
  // LIMIT = 100 * max(|VMAX|, |VMIN|) = 430.
  const std::vector<double> a{1, 4, 2, 3, 2.6, 3.5};
  RecordingConsole w;
  w.OPENWINDOW(plot::kPlotUnit, "Model efficiency", false);
  w.TARGETWINDOW(plot::kPlotUnit);
  w.calls.clear();
  std::vector<int> steps;
  plot_model_in_panels(w, a.data(), 1, 5, 6,
                       sequence({{2, 2}, {3, 431}, {4, 2}, {5, 2}, {6, 2}}, &steps));
  // Step 3 leaves the range (nothing drawn); 431 is beyond LIMIT, so no step follows.
  EXPECT_EQ(steps, (std::vector<int>{2, 3}));
  EXPECT_EQ(w.only("PLOTPIXEL").size(), 1u);
  EXPECT_EQ(w.only("DRAWLINETO").size(), 1u);

  // A state at LIMIT itself is not beyond it.
  steps.clear();
  plot_model_in_panels(w, a.data(), 1, 5, 6,
                       sequence({{2, 430}, {3, 2}, {4, 2}, {5, 2}, {6, 2}}, &steps));
  EXPECT_EQ(steps, (std::vector<int>{2, 3, 4, 5, 6}));
}

TEST(PlotModel, ModelFarOutsideDrawsNothing) {
  RecordingConsole w;
  w.OPENWINDOW(plot::kPlotUnit, "Model efficiency", false);
  w.TARGETWINDOW(plot::kPlotUnit);
  w.calls.clear();
  std::vector<int> steps;
  auto far = [&](int, int step, const double*, double* n) {
    steps.push_back(step);
    n[0] = 1e30;
  };
  plot_model_in_panels(w, kSeries.data(), 1, 3, 4, far);
  EXPECT_TRUE(w.calls.empty());
  EXPECT_EQ(steps, std::vector<int>{2});
}

TEST(PlotError, OutOfRangeErrorsRemoveTheSegmentsOnBothSides) {
  RecordingConsole w;
  w.OPENWINDOW(plot::kPlotUnit, "Model efficiency", false);
  w.TARGETWINDOW(plot::kPlotUnit);
  w.calls.clear();
  const std::vector<double> e{0.1, 0.5, 1.5, 0.2, 0.3, -0.1, 0.4};
  PLOTERROR(w, e.data(), 5);  // E(3) = 1.5 removes steps 2-3 and 3-4; E(6) is beyond Ltest
  EXPECT_EQ(w.calls,
            (std::vector<std::string>{"MOVEPEN(315,530)", "DRAWLINETO(355,450)", "MOVEPEN(435,510)",
                                      "DRAWLINETO(475,490)", "SETDRAWCOLOR(0)"}));
  w.calls.clear();
  PLOTERROR(w, e.data() + 3, 4);  // 0.2, 0.3, -0.1, 0.4: only the first segment
  EXPECT_EQ(w.calls, (std::vector<std::string>{"MOVEPEN(325,510)", "DRAWLINETO(375,490)",
                                               "SETDRAWCOLOR(0)"}));
}

TEST(PlotError, LtestOneDrawsNothing) {
  RecordingConsole w;
  w.OPENWINDOW(plot::kPlotUnit, "Model efficiency", false);
  w.TARGETWINDOW(plot::kPlotUnit);
  w.calls.clear();
  const double e = 0.5;
  PLOTERROR(w, &e, 1);
  EXPECT_EQ(w.calls, std::vector<std::string>{"SETDRAWCOLOR(0)"});
}

TEST(PlotOriginal, LtestOneGivesOneSegmentAcrossPanelC) {
  const std::vector<double> xt{1, 4, 2};  // T = 1, 4, 2, x: D = 1, NT = 4
  RecordingConsole w;
  PLOTORIGINAL(w, xt.data(), 1, 4, 1);
  const auto lines = after_frames(w);
  // VMIN = 0.7, VMAX = 4.3 as before: one segment from (275, 234) to (475, 67).
  EXPECT_EQ(lines,
            (std::vector<std::string>{"PLOTPIXEL(51,67)", "MOVEPEN(275,234)", "DRAWLINETO(475,67)",
                                      "PLOTPIXEL(218,178)", "SETDRAWCOLOR(12)"}));
}

// A point of the picture read back as the panel's values: corners and centres of the panels
// (35..235 x 50..250 and so on), a point between them, and the 10 % margins of the value axes.
struct Reading {
  double x, y;
  const char* title;  // nullptr: no panel there
  double value_x, value_y;
};

class ReadPanel : public ::testing::TestWithParam<Reading> {};

TEST_P(ReadPanel, GivesThePanelAndItsValues) {
  // Values 0 .. 10 in 2 x 2 vectors: the axes span -1 .. 11; 40 steps in the time panels.
  const std::vector<double> XT = {0.0, 5.0, 5.0, 10.0, 10.0, 2.0};
  const PictureScale scale = panel_scale(XT.data(), 2, 5, 40);
  EXPECT_DOUBLE_EQ(scale.vmin, -1.0);
  EXPECT_DOUBLE_EQ(scale.vmax, 11.0);
  const Reading& c = GetParam();
  const auto r = read_panel(scale, c.x, c.y);
  if (c.title == nullptr) {
    EXPECT_FALSE(r.has_value());
    return;
  }
  ASSERT_TRUE(r.has_value());
  EXPECT_EQ(r->title, c.title);
  EXPECT_NEAR(r->x, c.value_x, 1e-12);
  EXPECT_NEAR(r->y, c.value_y, 1e-12);
}

INSTANTIATE_TEST_SUITE_P(
    Points, ReadPanel,
    ::testing::Values(Reading{35, 250, "Original phase orbit", -1.0, -1.0},
                      Reading{235, 50, "Original phase orbit", 11.0, 11.0},
                      Reading{135, 450, "Model phase orbit", 5.0, 5.0},
                      Reading{275, 250, "Original and model time series", 0.0, -1.0},
                      Reading{375, 100, "Original and model time series", 20.0, 8.0},
                      Reading{475, 550, "Prediction error", 40.0, 0.0},
                      Reading{325, 400, "Prediction error", 10.0, 0.75},
                      Reading{255, 150, nullptr, 0, 0}, Reading{135, 300, nullptr, 0, 0},
                      Reading{10, 10, nullptr, 0, 0}));

}  // namespace
}  // namespace plot
