#include "windowing/canvas.h"

#include <algorithm>
#include <cstdlib>
#include <optional>

#include "windowing/fonts.h"

namespace windowing {

namespace {

bool in_palette(int colour) { return colour >= 0 && colour < kPaletteSize; }

// The face LOADFONTS makes current, so that text has a font when SELECTFONT fails.
std::shared_ptr<const Font> default_font() {
  if (auto f = open_font(FontDescription{"DejaVu Sans", 14, 0, false}, true)) return f;
  return open_font(FontDescription{"sans-serif", 14, 0, false}, false);
}

}  // namespace

Canvas::Canvas(int width, int height, int background)
    : width_(std::max(width, 0)),
      height_(std::max(height, 0)),
      pixels_(static_cast<std::size_t>(width_) * height_,
              static_cast<std::uint8_t>(in_palette(background) ? background : kWhiteIndex)) {}

int Canvas::pixel(int x, int y) const {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return -1;
  return pixels_[static_cast<std::size_t>(y) * width_ + x];
}

std::vector<std::uint8_t> Canvas::to_rgb() const {
  std::vector<std::uint8_t> rgb;
  rgb.reserve(pixels_.size() * 3);
  for (std::uint8_t p : pixels_) {
    const Rgb& c = kPalette[p];
    rgb.push_back(c.r);
    rgb.push_back(c.g);
    rgb.push_back(c.b);
  }
  return rgb;
}

void Canvas::clear(int colour) {
  if (!in_palette(colour)) return;
  std::fill(pixels_.begin(), pixels_.end(), static_cast<std::uint8_t>(colour));
}

int Canvas::SETDRAWCOLOR(int colour) {
  int previous = colour_;
  if (in_palette(colour)) colour_ = colour;
  return previous;
}

int Canvas::LOADFONTS() {
  fonts_loaded_ = true;
  if (auto f = default_font()) font_ = std::move(f);
  if (!font_) return 0;
  return static_cast<int>(font_families().size());
}

int Canvas::SELECTFONT(std::string_view description) {
  if (!fonts_loaded_) return -1;
  std::optional<FontDescription> d = parse_font_description(description);
  if (!d) return -1;
  std::shared_ptr<const Font> f = open_font(*d, true);
  if (!f) return -1;
  font_ = std::move(f);
  const std::vector<std::string> families = font_families();
  auto it = std::find(families.begin(), families.end(), font_->family());
  return it == families.end() ? 1 : static_cast<int>(it - families.begin()) + 1;
}

void Canvas::set(int x, int y) {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
  pixels_[static_cast<std::size_t>(y) * width_ + x] = static_cast<std::uint8_t>(colour_);
}

void Canvas::DRAWRECT(int style, std::int16_t x1, std::int16_t y1, std::int16_t x2,
                      std::int16_t y2) {
  int left = std::min<int>(x1, x2), right = std::max<int>(x1, x2);
  int top = std::min<int>(y1, y2), bottom = std::max<int>(y1, y2);
  if (style != 2) {
    for (int y = top; y <= bottom; ++y) {
      for (int x = left; x <= right; ++x) set(x, y);
    }
    return;
  }
  for (int x = left; x <= right; ++x) {
    set(x, top);
    set(x, bottom);
  }
  for (int y = top; y <= bottom; ++y) {
    set(left, y);
    set(right, y);
  }
}

void Canvas::MOVEPEN(std::int16_t x, std::int16_t y, std::int16_t* px, std::int16_t* py) {
  if (px != nullptr) *px = pen_x_;
  if (py != nullptr) *py = pen_y_;
  pen_x_ = x;
  pen_y_ = y;
}

void Canvas::DRAWLINETO(std::int16_t x, std::int16_t y) {
  // Bresenham: one pixel per step along the major axis, the minor axis stepping when the error
  // term crosses half a pixel.
  int x0 = pen_x_, y0 = pen_y_;
  const int dx = std::abs(x - x0), dy = -std::abs(y - y0);
  const int sx = x0 < x ? 1 : -1, sy = y0 < y ? 1 : -1;
  int err = dx + dy;
  for (;;) {
    set(x0, y0);
    if (x0 == x && y0 == y) break;
    int e2 = 2 * err;
    if (e2 >= dy) {
      err += dy;
      x0 += sx;
    }
    if (e2 <= dx) {
      err += dx;
      y0 += sy;
    }
  }
  pen_x_ = x;
  pen_y_ = y;
}

int Canvas::PLOTPIXEL(std::int16_t x, std::int16_t y) {
  int previous = pixel(x, y);
  set(x, y);
  return previous;
}

void Canvas::DRAWTEXT(std::string_view text) {
  if (!font_) return;
  int pen = pen_x_;
  const int baseline = pen_y_ + font_->ascent();
  for (char c : text) {
    const Glyph& g = font_->glyph(static_cast<unsigned char>(c));
    const int ox = pen + g.left, oy = baseline - g.top;
    for (int r = 0; r < g.rows; ++r) {
      for (int col = 0; col < g.width; ++col) {
        if (g.bits[static_cast<std::size_t>(r) * g.width + col] != 0) set(ox + col, oy + r);
      }
    }
    pen += g.advance;
  }
  pen_x_ = static_cast<std::int16_t>(pen);
}

int Canvas::text_width(std::string_view text) const { return font_ ? font_->text_width(text) : 0; }

}  // namespace windowing
