#include <cstdint>

#include "plot/plots.h"

namespace plot {

namespace {

using i16 = std::int16_t;

// 16-bit sums, differences, products and quotients; the quotient truncates toward zero.
i16 add(i16 a, i16 b) { return static_cast<i16>(a + b); }
i16 sub(i16 a, i16 b) { return static_cast<i16>(a - b); }
i16 mul(i16 a, i16 b) { return static_cast<i16>(a * b); }
i16 quo(i16 a, i16 b) { return static_cast<i16>(a / b); }

void label(WindowSystem& w, i16 x, i16 y, std::string_view text) {
  w.MOVEPEN(x, y);
  w.DRAWTEXT(text);
}

}  // namespace

void DRAWFRAME(WindowSystem& w, std::int16_t x1, std::int16_t y1, std::int16_t x2, std::int16_t y2,
               std::int16_t nx, std::int16_t ny, std::string_view L1, std::string_view L2,
               std::string_view L3, std::string_view L4, std::string_view L5, std::string_view L6,
               std::string_view TITLE) {
  w.DRAWRECT(2, x1, y1, x2, y2);

  // Ticks of 7 pixels across the bottom and the left edge, one pair per pass.
  const i16 dx = sub(x2, x1);
  const i16 dy = sub(y2, y1);
  for (i16 k = 1; k <= nx - 1; ++k) {
    const i16 tx = add(x1, nx != 0 ? quo(mul(k, dx), nx) : i16{0});
    w.MOVEPEN(tx, sub(y2, 3));
    w.DRAWLINETO(tx, add(y2, 3));
    const i16 ty = add(y1, ny != 0 ? quo(mul(k, dy), ny) : i16{0});
    w.MOVEPEN(sub(x1, 3), ty);
    w.DRAWLINETO(add(x1, 3), ty);
  }

  const i16 below = add(y2, 5);
  const i16 left = sub(x1, 30);
  label(w, x1, below, L1);
  label(w, sub(quo(add(x1, x2), 2), 12), below, L2);
  label(w, sub(x2, 24), below, L3);
  label(w, left, sub(y2, 16), L4);
  label(w, left, sub(quo(add(y1, y2), 2), 8), L5);
  label(w, left, y1, L6);
  label(w, add(x1, 10), sub(y1, 20), TITLE);
}

}  // namespace plot
