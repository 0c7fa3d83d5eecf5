#include "windowing/console.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace windowing {
namespace {

// A console front end that records the events it is told of.
class TestConsole : public Console {
 public:
  using Console::Console;
  using Console::note_io;
  std::vector<std::pair<int, WindowEvent>> events;

  void write_text(int unit, std::string_view) override { note_io(unit); }
  std::string read_line(int unit) override {
    note_io(unit);
    return {};
  }
  std::string choose_file(std::string_view) override { return {}; }
  bool confirm(std::string_view, std::string_view) override { return false; }

 protected:
  void window_event(int unit, WindowEvent e) override { events.emplace_back(unit, e); }
};

plot::WINDOWPLACE place(int kind, int x, int y, int h, int w) {
  plot::WINDOWPLACE p;
  p.kind = static_cast<std::int16_t>(kind);
  p.x = static_cast<std::int16_t>(x);
  p.y = static_cast<std::int16_t>(y);
  p.h = static_cast<std::int16_t>(h);
  p.w = static_cast<std::int16_t>(w);
  return p;
}

bool same(const std::optional<plot::WINDOWPLACE>& a, const plot::WINDOWPLACE& b) {
  return a && a->kind == b.kind && a->x == b.x && a->y == b.y && a->h == b.h && a->w == b.w;
}

TEST(Console, OpeningWithFocusOnIoMakesTheTarget) {
  TestConsole c;
  EXPECT_FALSE(c.target());
  c.OPENWINDOW(10, "Input Window", true);
  EXPECT_EQ(c.target(), 10);
  c.OPENWINDOW(12, "Model efficiency", false);
  EXPECT_EQ(c.target(), 10);  // opening without the property leaves the target
  EXPECT_EQ(c.units(), (std::vector<int>{10, 12}));
  EXPECT_EQ(c.events,
            (std::vector<std::pair<int, WindowEvent>>{
                {10, WindowEvent::opened}, {10, WindowEvent::focused}, {12, WindowEvent::opened}}));
  const auto info = c.info(10);
  ASSERT_TRUE(info);
  EXPECT_EQ(info->title, "Input Window");
  EXPECT_TRUE(info->focus_on_io);
  EXPECT_EQ(info->back_colour, 15);
  EXPECT_EQ(info->text_colour, 0);
  EXPECT_FALSE(info->cursor_shown);
  EXPECT_FALSE(info->place);
}

TEST(Console, ReopeningReusesTheWindow) {
  TestConsole c;
  c.OPENWINDOW(12, "Model efficiency", false);
  c.TARGETWINDOW(12);
  c.SETDRAWCOLOR(12);
  c.PLOTPIXEL(5, 5);
  c.OPENWINDOW(12, "Model efficiency", false);
  EXPECT_EQ(c.units(), std::vector<int>{12});
  EXPECT_EQ(c.snapshot(12)->pixel(5, 5), 12);  // the picture stays until a clear
  c.CLEARWINDOW(0);
  EXPECT_EQ(c.snapshot(12)->pixels(), Canvas().pixels());
}

TEST(Console, TargetChangesOnlyByTheRules) {
  TestConsole c;
  c.OPENWINDOW(10, "Input Window", true);
  c.OPENWINDOW(12, "Model efficiency", false);
  c.events.clear();
  c.TARGETWINDOW(12);
  EXPECT_EQ(c.target(), 12);
  c.write_text(12, "x");  // not focus-on-I/O: no change
  EXPECT_EQ(c.target(), 12);
  c.write_text(10, " line\n");  // focus-on-I/O: the dialogue window comes forward
  EXPECT_EQ(c.target(), 10);
  c.FOCUSWINDOW(12);
  EXPECT_EQ(c.target(), 12);
  c.read_line(10);
  EXPECT_EQ(c.target(), 10);
  // Units without a window change nothing.
  c.TARGETWINDOW(11);
  c.FOCUSWINDOW(-1);
  EXPECT_FALSE(c.note_io(7));
  EXPECT_EQ(c.target(), 10);
  EXPECT_EQ(c.events, (std::vector<std::pair<int, WindowEvent>>{{12, WindowEvent::targeted},
                                                                {10, WindowEvent::focused},
                                                                {12, WindowEvent::focused},
                                                                {10, WindowEvent::focused}}));
}

TEST(Console, DrawingStateBelongsToEachWindow) {
  TestConsole c;
  c.OPENWINDOW(10, "Input Window", true);
  c.OPENWINDOW(12, "Model efficiency", false);
  c.TARGETWINDOW(12);
  c.SETDRAWCOLOR(12);
  c.MOVEPEN(20, 20);
  c.TARGETWINDOW(10);
  c.MOVEPEN(0, 0);
  c.DRAWLINETO(3, 0);  // colour 0 in the dialogue window
  c.TARGETWINDOW(12);
  c.DRAWLINETO(20, 23);  // from (20, 20) in red
  const auto d = c.snapshot(10);
  const auto p = c.snapshot(12);
  ASSERT_TRUE(d && p);
  EXPECT_EQ(d->pixel(3, 0), 0);
  EXPECT_EQ(d->pixel(20, 21), 15);
  EXPECT_EQ(p->pixel(20, 21), 12);
  EXPECT_EQ(p->pixel(3, 0), 15);
  EXPECT_EQ(p->draw_colour(), 12);
  EXPECT_EQ(d->draw_colour(), 0);
}

TEST(Console, ColoursCursorAndClear) {
  TestConsole c;
  c.OPENWINDOW(10, "Input Window", true);
  EXPECT_EQ(c.SETBACKCOLOR(1), 15);
  EXPECT_EQ(c.SETBACKCOLOR(99), 1);  // outside the palette: unchanged
  EXPECT_EQ(c.SETTEXTCOLOR(4), 0);
  EXPECT_EQ(c.SETTEXTCOLOR(4), 4);
  EXPECT_EQ(c.SHOWCURSOR(1), 0);
  EXPECT_EQ(c.SHOWCURSOR(0), 1);
  c.SHOWCURSOR(1);
  c.CLEARWINDOW(1);  // only area 0 is defined
  EXPECT_EQ(c.snapshot(10)->pixel(0, 0), 15);
  c.CLEARWINDOW(0);
  const auto info = c.info(10);
  EXPECT_EQ(info->back_colour, 1);
  EXPECT_EQ(info->text_colour, 4);
  EXPECT_TRUE(info->cursor_shown);
  const auto canvas = c.snapshot(10);
  EXPECT_EQ(canvas->pixel(0, 0), 1);
  EXPECT_EQ(canvas->pixel(kCanvasWidth - 1, kCanvasHeight - 1), 1);
  EXPECT_EQ(c.events.back(), (std::pair<int, WindowEvent>{10, WindowEvent::cleared}));
}

TEST(Console, PlacementsOfWindowsAndFrame) {
  TestConsole c;
  c.PLACEWINDOW(plot::FRAMEWINDOW, place(2, 0, 0, 0, 0));  // before any window exists
  EXPECT_TRUE(same(c.frame_place(), place(2, 0, 0, 0, 0)));
  c.PLACEWINDOW(12, place(4, 50, 0, 31, 47));  // no such window yet: ignored
  c.OPENWINDOW(12, "Model efficiency", false);
  EXPECT_FALSE(c.info(12)->place);
  c.PLACEWINDOW(12, place(4, 50, 0, 31, 47));
  EXPECT_TRUE(same(c.info(12)->place, place(4, 50, 0, 31, 47)));
  EXPECT_TRUE(same(c.frame_place(), place(2, 0, 0, 0, 0)));
  EXPECT_EQ(c.events,
            (std::vector<std::pair<int, WindowEvent>>{{plot::FRAMEWINDOW, WindowEvent::placed},
                                                      {12, WindowEvent::opened},
                                                      {12, WindowEvent::placed}}));
}

TEST(Console, OperationsWithoutATargetChangeNothing) {
  TestConsole c;
  c.OPENWINDOW(12, "Model efficiency", false);  // open, but never made the target
  EXPECT_EQ(c.SETBACKCOLOR(3), 3);
  c.CLEARWINDOW(0);
  EXPECT_EQ(c.SETTEXTCOLOR(3), 3);
  EXPECT_EQ(c.SHOWCURSOR(1), 1);
  EXPECT_EQ(c.SETDRAWCOLOR(12), 12);
  EXPECT_EQ(c.LOADFONTS(), 0);
  EXPECT_EQ(c.SELECTFONT("t'Arial'h14w7i"), -1);
  c.DRAWRECT(2, 0, 0, 10, 10);
  c.MOVEPEN(1, 1);
  c.DRAWLINETO(5, 5);
  EXPECT_EQ(c.PLOTPIXEL(2, 2), -1);
  c.DRAWTEXT("text");
  const auto info = c.info(12);
  EXPECT_EQ(info->back_colour, 15);
  EXPECT_EQ(info->text_colour, 0);
  EXPECT_FALSE(info->cursor_shown);
  EXPECT_EQ(c.snapshot(12)->pixels(), Canvas().pixels());
  EXPECT_EQ(c.events.size(), 1u);  // only the opening
  EXPECT_FALSE(c.snapshot(10));
  EXPECT_FALSE(c.info(10));
  EXPECT_FALSE(c.with_canvas(10, [](const Canvas&) { FAIL(); }));
}

TEST(Console, DrawingReportsTheWindowThatChanged) {
  TestConsole c;
  c.OPENWINDOW(12, "Model efficiency", false);
  c.TARGETWINDOW(12);
  c.events.clear();
  c.MOVEPEN(1, 1);  // the picture does not change
  c.DRAWLINETO(4, 4);
  c.PLOTPIXEL(9, 9);
  c.DRAWRECT(2, 0, 0, 3, 3);
  EXPECT_EQ(c.events, (std::vector<std::pair<int, WindowEvent>>(3, {12, WindowEvent::drawn})));
  int read = 0;
  EXPECT_TRUE(c.with_canvas(12, [&](const Canvas& canvas) { read = canvas.pixel(9, 9); }));
  EXPECT_EQ(read, 0);
}

}  // namespace
}  // namespace windowing
