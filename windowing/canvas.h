#pragma once
// The off-screen drawing surface of a child window: a fixed-size buffer of palette indices with
// the window's drawing state (drawing colour, current graphics position, loaded fonts, current
// font). Pixel semantics are exact: front ends only convert the indices to colours.
//
// A Canvas is not locked by itself; the Console guards each window's canvas with the window's
// mutex. Canvases are copyable (fonts are shared, immutable and thread-safe), so a front end may
// take a snapshot under the lock and paint from the copy.

#include <array>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

namespace windowing {

class Font;

struct Rgb {
  std::uint8_t r = 0;
  std::uint8_t g = 0;
  std::uint8_t b = 0;
  friend bool operator==(const Rgb&, const Rgb&) = default;
};

inline constexpr int kPaletteSize = 16;
inline constexpr std::array<Rgb, kPaletteSize> kPalette = {{
    {0, 0, 0},
    {0, 0, 128},
    {0, 128, 0},
    {0, 128, 128},
    {128, 0, 0},
    {128, 0, 128},
    {128, 128, 0},
    {192, 192, 192},
    {128, 128, 128},
    {0, 0, 255},
    {0, 255, 0},
    {0, 255, 255},
    {255, 0, 0},
    {255, 0, 255},
    {255, 255, 0},
    {255, 255, 255},
}};

// Size of every child window's drawing surface; the plot window's picture reaches about
// x = 525 and y = 570 with its labels.
inline constexpr int kCanvasWidth = 540;
inline constexpr int kCanvasHeight = 580;

inline constexpr int kWhiteIndex = 15;

class Canvas {
 public:
  // A surface of width x height pixels filled with `background`.
  explicit Canvas(int width = kCanvasWidth, int height = kCanvasHeight,
                  int background = kWhiteIndex);

  int width() const { return width_; }
  int height() const { return height_; }

  // Palette index of pixel (x, y); -1 outside the surface.
  int pixel(int x, int y) const;
  // Row-major palette indices, width() * height() of them.
  const std::vector<std::uint8_t>& pixels() const { return pixels_; }
  // Row-major 8-bit RGB triples, 3 * width() * height() bytes.
  std::vector<std::uint8_t> to_rgb() const;

  // Fills the whole surface with `colour` (a palette index; others are ignored).
  void clear(int colour);

  // Drawing colour: returns the previous index. An index outside the palette is ignored.
  int SETDRAWCOLOR(int colour);
  int draw_colour() const { return colour_; }

  // Builds the list of available typefaces and makes a default face current (DejaVu Sans, or
  // whatever fontconfig offers for "sans-serif"). Returns the number of typefaces listed, 0 when
  // none can be found (text is then not drawn at all).
  int LOADFONTS();
  // Makes current the face named by a description such as "t'Arial'h14w7i" (see fonts.h).
  // Returns the 1-based number of the face in the list, or -1 when the description is unknown,
  // the typeface is not available or LOADFONTS has not been called; the current font is then
  // unchanged.
  int SELECTFONT(std::string_view description);
  // The current font; null when there is none.
  const std::shared_ptr<const Font>& current_font() const { return font_; }

  // Outline (style 2) of the rectangle with corners (x1, y1), (x2, y2), both included; corners in
  // the wrong order are swapped. Other styles fill the rectangle.
  void DRAWRECT(int style, std::int16_t x1, std::int16_t y1, std::int16_t x2, std::int16_t y2);
  // Sets the current graphics position; returns the previous one in px, py when given.
  void MOVEPEN(std::int16_t x, std::int16_t y, std::int16_t* px = nullptr,
               std::int16_t* py = nullptr);
  std::int16_t pen_x() const { return pen_x_; }
  std::int16_t pen_y() const { return pen_y_; }
  // One-pixel 8-connected line from the current position to (x, y), both ends included:
  // max(|dx|, |dy|) + 1 pixels. (x, y) becomes the current position.
  void DRAWLINETO(std::int16_t x, std::int16_t y);
  // Sets one pixel; returns its previous index, -1 outside the surface.
  int PLOTPIXEL(std::int16_t x, std::int16_t y);
  // Text with its top-left corner at the current position, transparent background, trailing
  // blanks included; the position moves right by the width of the whole text.
  void DRAWTEXT(std::string_view text);
  // Width in pixels DRAWTEXT would advance by (0 without a font).
  int text_width(std::string_view text) const;

 private:
  void set(int x, int y);

  int width_;
  int height_;
  std::vector<std::uint8_t> pixels_;
  int colour_ = 0;
  std::int16_t pen_x_ = 0;
  std::int16_t pen_y_ = 0;
  bool fonts_loaded_ = false;
  std::shared_ptr<const Font> font_;
};

}  // namespace windowing
