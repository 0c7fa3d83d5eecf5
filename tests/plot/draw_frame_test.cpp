#include <gtest/gtest.h>

#include <set>
#include <string>
#include <utility>
#include <vector>

#include "plot/plots.h"
#include "tests/plot/recording_windows.h"

namespace plot {
namespace {

using Point = std::pair<int, int>;

struct Panel {
  const char* name;
  int x1, y1, x2, y2;
  // Label positions L1 .. L6 and TITLE, in drawing order.
  std::vector<Point> labels;
};

const Panel kPanels[] = {
    {"A",
     35,
     50,
     235,
     250,
     {{35, 255}, {123, 255}, {211, 255}, {5, 234}, {5, 142}, {5, 50}, {45, 30}}},
    {"B",
     35,
     350,
     235,
     550,
     {{35, 555}, {123, 555}, {211, 555}, {5, 534}, {5, 442}, {5, 350}, {45, 330}}},
    {"C",
     275,
     50,
     475,
     250,
     {{275, 255}, {363, 255}, {451, 255}, {245, 234}, {245, 142}, {245, 50}, {285, 30}}},
    {"D",
     275,
     350,
     475,
     550,
     {{275, 555}, {363, 555}, {451, 555}, {245, 534}, {245, 442}, {245, 350}, {285, 330}}},
};

class DrawFrameTest : public ::testing::TestWithParam<Panel> {
 protected:
  void SetUp() override {
    w.OPENWINDOW(plot::kPlotUnit, "Model efficiency", false);
    w.TARGETWINDOW(plot::kPlotUnit);
    w.calls.clear();
  }
  void draw() {
    const Panel& p = GetParam();
    DRAWFRAME(w, p.x1, p.y1, p.x2, p.y2, 10, 10, "L1        ", "L2        ", "L3        ",
              "L4        ", "L5        ", "L6        ", std::string(100, 'T'));
  }
  testing::RecordingConsole w;
};

// The outline and the 9 + 9 ticks of 7 pixels, 20 pixels apart, and nothing else.
TEST_P(DrawFrameTest, FrameAndTicksAtTheirPixels) {
  const Panel& p = GetParam();
  w.draw_text = false;
  draw();
  std::set<Point> expected;
  for (int x = p.x1; x <= p.x2; ++x) expected.insert({x, p.y1}), expected.insert({x, p.y2});
  for (int y = p.y1; y <= p.y2; ++y) expected.insert({p.x1, y}), expected.insert({p.x2, y});
  for (int k = 1; k <= 9; ++k) {
    for (int d = -3; d <= 3; ++d) {
      expected.insert({p.x1 + 20 * k, p.y2 + d});
      expected.insert({p.x1 + d, p.y1 + 20 * k});
    }
  }
  std::set<Point> ink;
  const auto canvas = w.snapshot(12);
  ASSERT_TRUE(canvas);
  for (int y = 0; y < canvas->height(); ++y) {
    for (int x = 0; x < canvas->width(); ++x) {
      if (canvas->pixel(x, y) != 15) {
        ASSERT_EQ(canvas->pixel(x, y), 0);
        ink.insert({x, y});
      }
    }
  }
  EXPECT_EQ(ink, expected);
}

// The calls themselves: rectangle, ticks in pairs per pass, then the labels in table order.
TEST_P(DrawFrameTest, CallSequence) {
  const Panel& p = GetParam();
  draw();
  std::vector<std::string> expected{"DRAWRECT(2," + std::to_string(p.x1) + "," +
                                    std::to_string(p.y1) + "," + std::to_string(p.x2) + "," +
                                    std::to_string(p.y2) + ")"};
  auto at = [](const char* op, int x, int y) {
    return std::string(op) + "(" + std::to_string(x) + "," + std::to_string(y) + ")";
  };
  for (int k = 1; k <= 9; ++k) {
    expected.push_back(at("MOVEPEN", p.x1 + 20 * k, p.y2 - 3));
    expected.push_back(at("DRAWLINETO", p.x1 + 20 * k, p.y2 + 3));
    expected.push_back(at("MOVEPEN", p.x1 - 3, p.y1 + 20 * k));
    expected.push_back(at("DRAWLINETO", p.x1 + 3, p.y1 + 20 * k));
  }
  const char* texts[] = {"L1        ", "L2        ", "L3        ",
                         "L4        ", "L5        ", "L6        "};
  for (int i = 0; i < 7; ++i) {
    expected.push_back(at("MOVEPEN", p.labels[i].first, p.labels[i].second));
    expected.push_back("DRAWTEXT(|" + (i < 6 ? std::string(texts[i]) : std::string(100, 'T')) +
                       "|)");
  }
  EXPECT_EQ(w.calls, expected);
}

INSTANTIATE_TEST_SUITE_P(Panels, DrawFrameTest, ::testing::ValuesIn(kPanels),
                         [](const auto& test) { return std::string(test.param.name); });

// Uneven divisions truncate toward zero in 16 bits: 7 divisions of 100 pixels.
TEST(DrawFrame, TickPositionsTruncate) {
  testing::RecordingConsole w;
  w.OPENWINDOW(plot::kPlotUnit, "Model efficiency", false);
  w.TARGETWINDOW(plot::kPlotUnit);
  w.calls.clear();
  DRAWFRAME(w, 10, 10, 110, 60, 7, 3, "", "", "", "", "", "", "");
  const std::vector<std::string> lines = w.only("DRAWLINETO");
  // k * 100 / 7 = 14, 28, 42, 57, 71, 85; k * 50 / 3 = 16, 33, 50, 66, 83, 100: the y ticks
  // take nx - 1 passes too, so with ny < nx they run on past the bottom edge.
  const std::vector<std::string> expected{
      "DRAWLINETO(24,63)", "DRAWLINETO(13,26)", "DRAWLINETO(38,63)", "DRAWLINETO(13,43)",
      "DRAWLINETO(52,63)", "DRAWLINETO(13,60)", "DRAWLINETO(67,63)", "DRAWLINETO(13,76)",
      "DRAWLINETO(81,63)", "DRAWLINETO(13,93)", "DRAWLINETO(95,63)", "DRAWLINETO(13,110)"};
  EXPECT_EQ(lines, expected);
}

}  // namespace
}  // namespace plot
