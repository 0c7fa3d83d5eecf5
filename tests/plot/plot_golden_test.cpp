// One whole efficiency check drawn into a console window and compared with the stored picture
// tests/data/plot_golden.png: pixel for pixel outside the label boxes, whose text depends on the
// installed fonts; inside each box there must be text. Run with MAPFIT_WRITE_GOLDEN=1 to write
// the stored picture anew (then look at it before keeping it).

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>
#include <vector>

#include "plot/plots.h"
#include "tests/plot/recording_windows.h"
#include "windowing/png_writer.h"

namespace plot {
namespace {

using testing::RecordingConsole;

constexpr int kD = 2;
constexpr int kLtest = 30;
constexpr int kKtest = 5;
constexpr int kNT = (kKtest - 1) * 1 + kLtest + kD + 1;

// An oscillation with a slow drift, its delay matrix, and a model that is the exact
// recurrence of the oscillation with a slightly wrong frequency.
std::vector<double> test_series() {
  std::vector<double> t(kNT);
  for (int n = 0; n < kNT; ++n) t[n] = 20 * std::sin(0.45 * n) + 0.3 * n;
  return t;
}

std::vector<double> delay_matrix(const std::vector<double>& t) {
  std::vector<double> xt;
  for (int j = 0; j + kD <= kNT - 1; ++j) {
    for (int i = 0; i < kD; ++i) xt.push_back(t[j + i]);
  }
  return xt;
}

void model(int, int, const double* s, double* next) {
  next[0] = s[1];
  next[1] = 2 * std::cos(0.47) * s[1] - s[0] + 0.3 * (2 - 2 * std::cos(0.47));
}

std::vector<double> error_curve() {
  std::vector<double> e(kLtest);
  for (int i = 0; i < kLtest; ++i) e[i] = 0.02 * (i + 1) + 0.05 * std::sin(i);
  e[19] = 1.2;  // leaves the panel: no segment on either side of step 20
  return e;
}

// Draws the check the way the dialogue does, including the dialogue window in front.
void draw_check(RecordingConsole& w) {
  const std::vector<double> t = test_series();
  const std::vector<double> xt = delay_matrix(t);
  const std::vector<double> e = error_curve();
  w.OPENWINDOW(plot::kDialogueUnit, "Input Window", true);
  PLOTORIGINAL(w, xt.data(), kD, kNT, kLtest);
  w.TARGETWINDOW(plot::kDialogueUnit);
  w.FOCUSWINDOW(plot::kPlotUnit);
  plot_model_in_panels(w, xt.data(), kD, kLtest, kNT - kD, model);
  PLOTERROR(w, e.data(), kLtest);
}

struct Box {
  int x0, y0, x1, y1;  // inclusive
  bool has_text;
  bool contains(int x, int y) const { return x >= x0 && x <= x1 && y >= y0 && y <= y1; }
};

// The box of every label: from its position to the end of its visible text, with room for the
// slant of the italic face, and the height of the character cell.
std::vector<Box> label_boxes(const RecordingConsole& w, const windowing::Canvas& c) {
  std::vector<Box> boxes;
  int x = 0, y = 0;
  for (const std::string& call : w.calls) {
    if (call.rfind("MOVEPEN(", 0) == 0) {
      std::sscanf(call.c_str(), "MOVEPEN(%d,%d)", &x, &y);
    } else if (call.rfind("DRAWTEXT(|", 0) == 0) {
      std::string text = call.substr(10, call.size() - 12);
      text.erase(text.find_last_not_of(' ') + 1);
      boxes.push_back({x - 2, y - 1, x + c.text_width(text) + 4, y + 15, !text.empty()});
    }
  }
  return boxes;
}

TEST(PlotGolden, WholeCheckMatchesTheStoredPicture) {
  RecordingConsole w;
  draw_check(w);
  RecordingConsole bare;  // the same check without any text
  bare.draw_text = false;
  draw_check(bare);

  const auto picture = w.snapshot(12);
  const auto no_text = bare.snapshot(12);
  ASSERT_TRUE(picture && no_text);
  ASSERT_TRUE(picture->current_font()) << "no font found for the plot labels";
  std::string error;
  ASSERT_TRUE(windowing::write_png(*picture, "plot_check.png", &error)) << error;

  const std::string golden_path = std::string(MAPFIT_TEST_DATA) + "/plot_golden.png";
  if (std::getenv("MAPFIT_WRITE_GOLDEN") != nullptr) {
    ASSERT_TRUE(windowing::write_png(*picture, golden_path, &error)) << error;
    GTEST_SKIP() << "wrote " << golden_path;
  }
  const auto golden = windowing::read_png(golden_path, &error);
  ASSERT_TRUE(golden) << error;
  ASSERT_EQ(golden->width(), picture->width());
  ASSERT_EQ(golden->height(), picture->height());

  const std::vector<Box> boxes = label_boxes(w, *picture);
  ASSERT_EQ(boxes.size(), 28u);
  auto in_a_box = [&](int x, int y) {
    for (const Box& b : boxes) {
      if (b.contains(x, y)) return true;
    }
    return false;
  };

  int differences = 0, outside_text = 0;
  std::set<int> colours;
  for (int y = 0; y < picture->height(); ++y) {
    for (int x = 0; x < picture->width(); ++x) {
      colours.insert(picture->pixel(x, y));
      if (in_a_box(x, y)) continue;
      if (picture->pixel(x, y) != golden->pixel(x, y) && ++differences <= 5) {
        ADD_FAILURE() << "pixel (" << x << ", " << y << ") is " << picture->pixel(x, y)
                      << ", stored " << golden->pixel(x, y);
      }
      if (picture->pixel(x, y) != no_text->pixel(x, y)) ++outside_text;
    }
  }
  EXPECT_EQ(differences, 0);
  EXPECT_EQ(outside_text, 0) << "text drawn outside its label box";
  EXPECT_EQ(colours, (std::set<int>{0, 12, 15}));

  // Every label with visible text put ink into its box; blank ones none.
  for (std::size_t i = 0; i < boxes.size(); ++i) {
    const Box& b = boxes[i];
    int ink = 0;
    for (int y = b.y0; y <= b.y1; ++y) {
      for (int x = b.x0; x <= b.x1; ++x) {
        if (picture->pixel(x, y) != no_text->pixel(x, y)) ++ink;
      }
    }
    if (b.has_text) {
      EXPECT_GT(ink, 5) << "label " << i;
    } else {
      EXPECT_EQ(ink, 0) << "label " << i;
    }
  }

  // The plot window ends the check in drawing colour 0, the target, with the dialogue window
  // untouched.
  EXPECT_EQ(picture->draw_colour(), 0);
  EXPECT_EQ(w.target(), 12);
  const auto dialogue = w.snapshot(10);
  ASSERT_TRUE(dialogue);
  EXPECT_EQ(dialogue->pixels(), windowing::Canvas().pixels());
}

}  // namespace
}  // namespace plot
