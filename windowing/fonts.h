#pragma once
// Fonts of the drawing surfaces: font descriptions, typeface matching through fontconfig and
// hard-edged (one-bit) glyphs rendered by FreeType, so every text pixel stays a palette colour.
//
// A Font is immutable once made: its glyphs (codes 32 to 255, read as Latin-1) are rendered when
// it is opened, and fonts are cached per (file, size, style), so drawing text costs only copying
// bits and any thread may use a Font.

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace windowing {

// A font description: option letters, case-insensitive: t'name' the typeface (1 to 31
// characters between single quotes), h<digits> the character cell height in pixels (ascent plus
// descent), w<digits> the average character width in pixels (over the lower-case letters and the
// blank), i italic. Example: "t'Arial'h14w7i".
struct FontDescription {
  std::string typeface;
  int height = 0;  // 0: the default height (14)
  int width = 0;   // 0: the face's own proportions at that height
  bool italic = false;
  friend bool operator==(const FontDescription&, const FontDescription&) = default;
};

// The description, or nothing when the text is not a valid description (an unknown letter, a
// missing or over-long typeface, a missing number, an unclosed quote).
std::optional<FontDescription> parse_font_description(std::string_view text);

struct Glyph {
  int left = 0;                    // x of the bitmap's first column relative to the pen
  int top = 0;                     // rows of the bitmap above the baseline
  int width = 0;                   // bitmap columns
  int rows = 0;                    // bitmap rows
  int advance = 0;                 // pen advance in whole pixels
  std::vector<std::uint8_t> bits;  // rows * width, 1 = ink
};

class Font {
 public:
  const std::string& family() const { return family_; }
  const std::string& file() const { return file_; }
  bool italic() const { return italic_; }
  int cell_height() const { return cell_height_; }
  int ascent() const { return ascent_; }  // baseline offset below the top of the cell
  // Glyph of a Latin-1 code; codes below 32 draw as the blank.
  const Glyph& glyph(unsigned char code) const;
  int text_width(std::string_view text) const;
  // Mean advance of 'a' .. 'z' and ' ' in pixels.
  double average_width() const;

 private:
  friend struct FontLoader;
  std::string family_;
  std::string file_;
  bool italic_ = false;
  int cell_height_ = 0;
  int ascent_ = 0;
  std::array<Glyph, 256> glyphs_;
};

// The typeface families installed, sorted and without repeats.
std::vector<std::string> font_families();

// Opens the face that fontconfig matches for `description`. When `exact_family` is set, the face
// must be of the requested family (ignoring case) or one of its metric-compatible clones
// (Arial: Liberation Sans, Arimo; Times New Roman: Liberation Serif, Tinos; Courier New:
// Liberation Mono, Cousine); otherwise any face fontconfig offers is taken. Null when nothing
// fits or the face cannot be read.
std::shared_ptr<const Font> open_font(const FontDescription& description, bool exact_family);

// The family name the fonts list carries for a face that matched `requested` (itself or a clone).
bool family_matches(std::string_view requested, std::string_view found);

}  // namespace windowing
