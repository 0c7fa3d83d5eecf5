#pragma once
// Test window systems for the plots: a Console that also records every call in order, so a test
// can check both the sequence of operations and the pixels they left.

#include <string>
#include <string_view>
#include <vector>

#include "windowing/console.h"

namespace plot::testing {

class RecordingConsole : public windowing::Console {
 public:
  // Calls as text, e.g. "DRAWTEXT(|  0.0     |)", "MOVEPEN(35,255)", "OPENWINDOW(12,Model
  // efficiency,0)".
  std::vector<std::string> calls;
  // When false, DRAWTEXT is recorded but draws nothing (pictures without text).
  bool draw_text = true;

  void OPENWINDOW(int unit, std::string_view title, bool focus) override {
    log("OPENWINDOW(" + std::to_string(unit) + "," + std::string(title) + "," +
        std::to_string(focus) + ")");
    Console::OPENWINDOW(unit, title, focus);
  }
  void PLACEWINDOW(int window, const WINDOWPLACE& p) override {
    log("PLACEWINDOW(" + std::to_string(window) + "," + std::to_string(p.kind) + "," +
        std::to_string(p.x) + "," + std::to_string(p.y) + "," + std::to_string(p.h) + "," +
        std::to_string(p.w) + ")");
    Console::PLACEWINDOW(window, p);
  }
  void TARGETWINDOW(int unit) override {
    log("TARGETWINDOW(" + std::to_string(unit) + ")");
    Console::TARGETWINDOW(unit);
  }
  void FOCUSWINDOW(int unit) override {
    log("FOCUSWINDOW(" + std::to_string(unit) + ")");
    Console::FOCUSWINDOW(unit);
  }
  int SETBACKCOLOR(int c) override {
    log("SETBACKCOLOR(" + std::to_string(c) + ")");
    return Console::SETBACKCOLOR(c);
  }
  void CLEARWINDOW(int area) override {
    log("CLEARWINDOW(" + std::to_string(area) + ")");
    Console::CLEARWINDOW(area);
  }
  int SETDRAWCOLOR(int c) override {
    log("SETDRAWCOLOR(" + std::to_string(c) + ")");
    return Console::SETDRAWCOLOR(c);
  }
  int LOADFONTS() override {
    log("LOADFONTS");
    return Console::LOADFONTS();
  }
  int SELECTFONT(std::string_view d) override {
    log("SELECTFONT(" + std::string(d) + ")");
    return Console::SELECTFONT(d);
  }
  void DRAWRECT(int style, std::int16_t x1, std::int16_t y1, std::int16_t x2,
                std::int16_t y2) override {
    log("DRAWRECT(" + std::to_string(style) + "," + std::to_string(x1) + "," + std::to_string(y1) +
        "," + std::to_string(x2) + "," + std::to_string(y2) + ")");
    Console::DRAWRECT(style, x1, y1, x2, y2);
  }
  void MOVEPEN(std::int16_t x, std::int16_t y) override {
    log("MOVEPEN(" + std::to_string(x) + "," + std::to_string(y) + ")");
    Console::MOVEPEN(x, y);
  }
  void DRAWLINETO(std::int16_t x, std::int16_t y) override {
    log("DRAWLINETO(" + std::to_string(x) + "," + std::to_string(y) + ")");
    Console::DRAWLINETO(x, y);
  }
  int PLOTPIXEL(std::int16_t x, std::int16_t y) override {
    log("PLOTPIXEL(" + std::to_string(x) + "," + std::to_string(y) + ")");
    return Console::PLOTPIXEL(x, y);
  }
  void DRAWTEXT(std::string_view text) override {
    log("DRAWTEXT(|" + std::string(text) + "|)");
    if (draw_text) Console::DRAWTEXT(text);
  }

  void write_text(int, std::string_view) override {}
  std::string read_line(int) override { return {}; }
  std::string choose_file(std::string_view) override { return {}; }
  bool confirm(std::string_view, std::string_view) override { return false; }

  // The recorded calls whose text starts with `prefix`.
  std::vector<std::string> only(std::string_view prefix) const {
    std::vector<std::string> out;
    for (const std::string& c : calls) {
      if (std::string_view(c).substr(0, prefix.size()) == prefix) out.push_back(c);
    }
    return out;
  }

 private:
  void log(std::string call) { calls.push_back(std::move(call)); }
};

}  // namespace plot::testing
