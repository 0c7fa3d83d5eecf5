#include "windowing/canvas.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <set>
#include <utility>

namespace windowing {
namespace {

using Point = std::pair<int, int>;

// Every pixel of the canvas that is not the background, as a set.
std::set<Point> ink(const Canvas& c, int background = kWhiteIndex) {
  std::set<Point> s;
  for (int y = 0; y < c.height(); ++y) {
    for (int x = 0; x < c.width(); ++x) {
      if (c.pixel(x, y) != background) s.insert({x, y});
    }
  }
  return s;
}

TEST(Canvas, StartsFilledWithBackgroundAndHasTheFixedSize) {
  Canvas c;
  EXPECT_EQ(c.width(), kCanvasWidth);
  EXPECT_EQ(c.height(), kCanvasHeight);
  EXPECT_GE(c.width(), 530);
  EXPECT_GE(c.height(), 575);
  EXPECT_TRUE(ink(c).empty());
  EXPECT_EQ(c.pixel(-1, 0), -1);
  EXPECT_EQ(c.pixel(0, c.height()), -1);
}

TEST(Canvas, RectOutlineSetsExactlyItsEightHundredPixels) {
  Canvas c;
  c.SETDRAWCOLOR(0);
  c.DRAWRECT(2, 35, 50, 235, 250);
  std::set<Point> expected;
  for (int y = 50; y <= 250; ++y) expected.insert({35, y}), expected.insert({235, y});
  for (int x = 35; x <= 235; ++x) expected.insert({x, 50}), expected.insert({x, 250});
  EXPECT_EQ(expected.size(), 800u);
  EXPECT_EQ(ink(c), expected);
  for (const Point& p : expected) ASSERT_EQ(c.pixel(p.first, p.second), 0);
}

TEST(Canvas, RectCornersInReverseOrderAreSwapped) {
  Canvas a, b, d;
  a.DRAWRECT(2, 35, 50, 235, 250);
  b.DRAWRECT(2, 235, 250, 35, 50);
  d.DRAWRECT(2, 235, 50, 35, 250);
  EXPECT_EQ(a.pixels(), b.pixels());
  EXPECT_EQ(a.pixels(), d.pixels());
}

TEST(Canvas, HorizontalLineSetsTwentySixPixels) {
  Canvas c;
  c.SETDRAWCOLOR(12);
  c.MOVEPEN(275, 100);
  c.DRAWLINETO(300, 100);
  std::set<Point> expected;
  for (int x = 275; x <= 300; ++x) expected.insert({x, 100});
  EXPECT_EQ(ink(c), expected);
  EXPECT_EQ(c.pixel(275, 100), 12);
  EXPECT_EQ(c.pen_x(), 300);
  EXPECT_EQ(c.pen_y(), 100);
}

struct LineCase {
  int x0, y0, x1, y1;
};

class LineTest : public ::testing::TestWithParam<LineCase> {};

// One-pixel lines in every direction: max(|dx|, |dy|) + 1 pixels, both ends included, each
// pixel 8-connected to the next, one pixel per step of the major axis, never leaving the box.
TEST_P(LineTest, SetsMaxDeltaPlusOneConnectedPixels) {
  const LineCase& l = GetParam();
  Canvas c;
  c.SETDRAWCOLOR(0);
  c.MOVEPEN(l.x0, l.y0);
  c.DRAWLINETO(l.x1, l.y1);
  const std::set<Point> s = ink(c);
  const int dx = std::abs(l.x1 - l.x0), dy = std::abs(l.y1 - l.y0);
  EXPECT_EQ(s.size(), static_cast<std::size_t>(std::max(dx, dy) + 1));
  EXPECT_TRUE(s.count({l.x0, l.y0}));
  EXPECT_TRUE(s.count({l.x1, l.y1}));
  const bool x_major = dx >= dy;
  std::set<int> majors;
  for (const Point& p : s) {
    EXPECT_GE(p.first, std::min(l.x0, l.x1));
    EXPECT_LE(p.first, std::max(l.x0, l.x1));
    EXPECT_GE(p.second, std::min(l.y0, l.y1));
    EXPECT_LE(p.second, std::max(l.y0, l.y1));
    majors.insert(x_major ? p.first : p.second);
    // 8-connected: every pixel but a lone one has a neighbour in the line.
    bool neighbour = s.size() == 1;
    for (int ox = -1; ox <= 1; ++ox) {
      for (int oy = -1; oy <= 1; ++oy) {
        if ((ox != 0 || oy != 0) && s.count({p.first + ox, p.second + oy})) neighbour = true;
      }
    }
    EXPECT_TRUE(neighbour) << p.first << "," << p.second;
    // Stays within half a pixel of the ideal line.
    const double cross = static_cast<double>(l.x1 - l.x0) * (p.second - l.y0) -
                         static_cast<double>(l.y1 - l.y0) * (p.first - l.x0);
    if (dx + dy > 0) {
      EXPECT_LE(std::abs(cross) / std::max(dx, dy), 0.5 + 1e-9);
    }
  }
  EXPECT_EQ(majors.size(), s.size());
  EXPECT_EQ(c.pen_x(), l.x1);
  EXPECT_EQ(c.pen_y(), l.y1);
}

INSTANTIATE_TEST_SUITE_P(
    Directions, LineTest,
    ::testing::Values(
        LineCase{100, 100, 100, 100}, LineCase{100, 100, 130, 100}, LineCase{100, 100, 70, 100},
        LineCase{100, 100, 100, 130}, LineCase{100, 100, 100, 70}, LineCase{100, 100, 130, 130},
        LineCase{100, 100, 70, 70}, LineCase{100, 100, 130, 70}, LineCase{100, 100, 70, 130},
        LineCase{100, 100, 137, 111}, LineCase{100, 100, 63, 89}, LineCase{100, 100, 111, 137},
        LineCase{100, 100, 89, 63}, LineCase{100, 100, 137, 89}, LineCase{100, 100, 63, 111},
        LineCase{100, 100, 89, 137}, LineCase{100, 100, 111, 63}, LineCase{0, 0, 1, 1}));

TEST(Canvas, PlotPixelReturnsThePreviousColour) {
  Canvas c;
  c.SETDRAWCOLOR(12);
  EXPECT_EQ(c.PLOTPIXEL(10, 20), 15);
  c.SETDRAWCOLOR(0);
  EXPECT_EQ(c.PLOTPIXEL(10, 20), 12);
  EXPECT_EQ(c.pixel(10, 20), 0);
  EXPECT_EQ(ink(c).size(), 1u);
}

TEST(Canvas, DrawColourOutsideThePaletteIsIgnored) {
  Canvas c;
  EXPECT_EQ(c.SETDRAWCOLOR(12), 0);
  EXPECT_EQ(c.SETDRAWCOLOR(16), 12);
  EXPECT_EQ(c.SETDRAWCOLOR(-1), 12);
  EXPECT_EQ(c.draw_colour(), 12);
}

TEST(Canvas, DrawingOutsideTheSurfaceIsHarmless) {
  Canvas c(50, 40);
  c.SETDRAWCOLOR(0);
  EXPECT_EQ(c.PLOTPIXEL(-1, 5), -1);
  EXPECT_EQ(c.PLOTPIXEL(50, 5), -1);
  EXPECT_EQ(c.PLOTPIXEL(5, 40), -1);
  EXPECT_EQ(c.PLOTPIXEL(-32768, 32767), -1);
  c.DRAWRECT(2, -100, -100, -10, -10);
  c.DRAWRECT(1, 60, 60, 32767, 32767);
  c.MOVEPEN(-32768, -32768);
  c.DRAWLINETO(-100, -32768);
  EXPECT_TRUE(ink(c).empty());
  // A line crossing the surface draws only its visible part.
  c.MOVEPEN(-10, 20);
  c.DRAWLINETO(60, 20);
  std::set<Point> expected;
  for (int x = 0; x < 50; ++x) expected.insert({x, 20});
  EXPECT_EQ(ink(c), expected);
  // A rectangle partly outside keeps its visible edges.
  Canvas d(50, 40);
  d.DRAWRECT(2, 10, 10, 80, 80);
  std::set<Point> edges;
  for (int x = 10; x < 50; ++x) edges.insert({x, 10});
  for (int y = 10; y < 40; ++y) edges.insert({10, y});
  EXPECT_EQ(ink(d), edges);
}

TEST(Canvas, ClearFillsWithTheColourAndRgbFollowsThePalette) {
  Canvas c(4, 3);
  c.clear(12);
  c.SETDRAWCOLOR(1);
  c.PLOTPIXEL(3, 2);
  c.clear(99);  // not a palette index: nothing happens
  const std::vector<std::uint8_t> rgb = c.to_rgb();
  ASSERT_EQ(rgb.size(), 4u * 3u * 3u);
  EXPECT_EQ((std::vector<std::uint8_t>(rgb.begin(), rgb.begin() + 3)),
            (std::vector<std::uint8_t>{255, 0, 0}));
  EXPECT_EQ((std::vector<std::uint8_t>(rgb.end() - 3, rgb.end())),
            (std::vector<std::uint8_t>{0, 0, 128}));
}

TEST(Canvas, PaletteMatchesTheConsoleColours) {
  const std::pair<int, Rgb> table[] = {
      {0, {0, 0, 0}},       {1, {0, 0, 128}},    {2, {0, 128, 0}},    {3, {0, 128, 128}},
      {4, {128, 0, 0}},     {5, {128, 0, 128}},  {6, {128, 128, 0}},  {7, {192, 192, 192}},
      {8, {128, 128, 128}}, {9, {0, 0, 255}},    {10, {0, 255, 0}},   {11, {0, 255, 255}},
      {12, {255, 0, 0}},    {13, {255, 0, 255}}, {14, {255, 255, 0}}, {15, {255, 255, 255}},
  };
  for (const auto& [index, rgb] : table) EXPECT_EQ(kPalette[index], rgb) << index;
}

TEST(Canvas, MovePenReportsThePreviousPosition) {
  Canvas c;
  c.MOVEPEN(7, 9);
  std::int16_t px = 0, py = 0;
  c.MOVEPEN(-3, 4, &px, &py);
  EXPECT_EQ(px, 7);
  EXPECT_EQ(py, 9);
  EXPECT_EQ(c.pen_x(), -3);
  EXPECT_EQ(c.pen_y(), 4);
}

}  // namespace
}  // namespace windowing
