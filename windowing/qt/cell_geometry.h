#pragma once
// The character cell of the desktop's console windows and the placement of a child window from
// a WINDOWPLACE record given in cells.
//
// The cell is 12 x 20 pixels: the program places its two windows 47 columns by 31 rows, the
// plot window 50 columns from the left, and its picture is 540 x 580 pixels, so 47 x 12 >= 540
// and 31 x 20 >= 580 show the whole picture, while 50 x 12 + 47 x 12 plus scroll bar and
// borders stays within a 1280-pixel-wide screen, and 31 rows plus title and scroll bar within
// the frame of an 800-pixel-high one.

#include <QFont>
#include <QMargins>
#include <QRect>
#include <QSize>

#include "plot/window_system.h"

namespace windowing {

struct CellSize {
  int width = 12;
  int height = 20;
};

inline constexpr CellSize kCell{12, 20};

// The text font of the console windows: the largest fixed-pitch face size whose characters
// fit the cell (advance <= cell width, height <= cell height).
QFont console_font();

// Geometry, in the frame's client area, of a child window placed with kind 4: the outer
// top-left corner at (x * cell width, y * cell height), sized so that its client area shows
// h rows of w columns plus `scroll_bars` (room for a vertical and a horizontal bar), inside a
// window decoration of `decoration` (title bar and borders around the client area).
QRect child_geometry(const plot::WINDOWPLACE& place, CellSize cell, QSize scroll_bars,
                     QMargins decoration);

}  // namespace windowing
