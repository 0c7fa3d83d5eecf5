#include "windowing/fonts.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <cctype>
#include <cmath>
#include <map>
#include <mutex>
#include <tuple>

namespace windowing {

namespace {

constexpr int kDefaultHeight = 14;
constexpr std::size_t kMaxTypeface = 31;

bool equal_ignoring_case(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

// Reads the digits at text[pos...] into value (a positive number below 10000).
bool read_number(std::string_view text, std::size_t& pos, int& value) {
  std::size_t start = pos;
  long v = 0;
  while (pos < text.size() && std::isdigit(static_cast<unsigned char>(text[pos]))) {
    v = v * 10 + (text[pos] - '0');
    if (v >= 10000) return false;
    ++pos;
  }
  if (pos == start || v == 0) return false;
  value = static_cast<int>(v);
  return true;
}

// FreeType and fontconfig state, shared by all fonts and guarded by one mutex.
struct Library {
  std::mutex mutex;
  FT_Library ft = nullptr;
  FcConfig* fc = nullptr;
  std::map<std::tuple<std::string, int, int, int, bool>, std::shared_ptr<const Font>> cache;
  std::optional<std::vector<std::string>> families;

  Library() {
    if (FT_Init_FreeType(&ft) != 0) ft = nullptr;
    fc = FcInitLoadConfigAndFonts();
  }
  ~Library() {
    cache.clear();
    if (ft != nullptr) FT_Done_FreeType(ft);
    if (fc != nullptr) FcConfigDestroy(fc);
  }
};

Library& library() {
  static Library lib;
  return lib;
}

struct Match {
  std::string file;
  int index = 0;
  std::vector<std::string> families;
  bool italic = false;
};

std::optional<Match> match_face(Library& lib, const FontDescription& d) {
  if (lib.fc == nullptr) return std::nullopt;
  FcPattern* pattern = FcPatternCreate();
  FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(d.typeface.c_str()));
  FcPatternAddInteger(pattern, FC_SLANT, d.italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
  FcPatternAddInteger(pattern, FC_WEIGHT, FC_WEIGHT_REGULAR);
  FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
  FcConfigSubstitute(lib.fc, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result = FcResultNoMatch;
  FcPattern* found = FcFontMatch(lib.fc, pattern, &result);
  FcPatternDestroy(pattern);
  if (found == nullptr) return std::nullopt;
  Match m;
  FcChar8* file = nullptr;
  if (FcPatternGetString(found, FC_FILE, 0, &file) == FcResultMatch) {
    m.file = reinterpret_cast<const char*>(file);
  }
  FcPatternGetInteger(found, FC_INDEX, 0, &m.index);
  FcChar8* family = nullptr;
  for (int i = 0; FcPatternGetString(found, FC_FAMILY, i, &family) == FcResultMatch; ++i) {
    m.families.emplace_back(reinterpret_cast<const char*>(family));
  }
  int slant = FC_SLANT_ROMAN;
  FcPatternGetInteger(found, FC_SLANT, 0, &slant);
  m.italic = slant != FC_SLANT_ROMAN;
  FcPatternDestroy(found);
  if (m.file.empty() || m.families.empty()) return std::nullopt;
  return m;
}

// Copies a one-bit FreeType bitmap into a glyph.
void take_bitmap(const FT_Bitmap& bitmap, Glyph& g) {
  g.width = static_cast<int>(bitmap.width);
  g.rows = static_cast<int>(bitmap.rows);
  g.bits.assign(static_cast<std::size_t>(g.width) * g.rows, 0);
  for (int r = 0; r < g.rows; ++r) {
    const unsigned char* row = bitmap.buffer + static_cast<std::ptrdiff_t>(r) * bitmap.pitch;
    for (int c = 0; c < g.width; ++c) {
      bool ink =
          bitmap.pixel_mode == FT_PIXEL_MODE_MONO ? (row[c / 8] >> (7 - c % 8)) & 1 : row[c] >= 128;
      g.bits[static_cast<std::size_t>(r) * g.width + c] = ink ? 1 : 0;
    }
  }
}

}  // namespace

// Makes Font objects; a friend of Font.
struct FontLoader {
  static std::shared_ptr<const Font> load(Library& lib, const Match& m, int height, int width,
                                          bool synthetic_italic) {
    if (lib.ft == nullptr) return nullptr;
    FT_Face face = nullptr;
    if (FT_New_Face(lib.ft, m.file.c_str(), m.index, &face) != 0) return nullptr;
    std::shared_ptr<Font> font(new Font);
    bool ok = fill(face, *font, height, width, synthetic_italic);
    FT_Done_Face(face);
    if (!ok) return nullptr;
    font->family_ = m.families.front();
    font->file_ = m.file;
    font->italic_ = m.italic || synthetic_italic;
    return font;
  }

 private:
  static bool fill(FT_Face face, Font& font, int height, int width, bool synthetic_italic) {
    if (!FT_IS_SCALABLE(face) || face->units_per_EM == 0) return false;
    // The character cell is the ascent plus the descent the face declares for its lines: the
    // Windows metrics of the OS/2 table where present, as text cells are measured there.
    double asc = face->ascender;
    double desc = -face->descender;
    auto* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2));
    if (os2 != nullptr && os2->version != 0xFFFF && os2->usWinAscent + os2->usWinDescent > 0) {
      asc = os2->usWinAscent;
      desc = os2->usWinDescent;
    }
    if (asc + desc <= 0) return false;
    const double em = face->units_per_EM;
    double y_ppem = height * em / (asc + desc);
    double x_ppem = y_ppem;
    if (width > 0) {
      double sum = 0;
      const char* sample = "abcdefghijklmnopqrstuvwxyz ";
      for (const char* p = sample; *p != '\0'; ++p) {
        if (FT_Load_Char(face, static_cast<unsigned char>(*p), FT_LOAD_NO_SCALE) != 0) {
          return false;
        }
        sum += face->glyph->metrics.horiAdvance;
      }
      double average = sum / 27.0;
      if (average <= 0) return false;
      x_ppem = width * em / average;
    }
    if (FT_Set_Char_Size(face, std::lround(x_ppem * 64), std::lround(y_ppem * 64), 72, 72) != 0) {
      return false;
    }
    if (synthetic_italic) {
      FT_Matrix shear{0x10000, 0x0366A, 0, 0x10000};  // slants by about 12 degrees
      FT_Set_Transform(face, &shear, nullptr);
    }
    font.cell_height_ = height;
    font.ascent_ = static_cast<int>(std::lround(height * asc / (asc + desc)));
    for (int code = 32; code < 256; ++code) {
      Glyph& g = font.glyphs_[code];
      FT_UInt index = FT_Get_Char_Index(face, static_cast<FT_ULong>(code));
      if (FT_Load_Glyph(face, index, FT_LOAD_TARGET_MONO) != 0 ||
          FT_Render_Glyph(face->glyph, FT_RENDER_MODE_MONO) != 0) {
        continue;  // drawn as nothing
      }
      FT_GlyphSlot slot = face->glyph;
      g.left = slot->bitmap_left;
      g.top = slot->bitmap_top;
      g.advance = static_cast<int>((slot->advance.x + 32) >> 6);
      take_bitmap(slot->bitmap, g);
    }
    for (int code = 0; code < 32; ++code) font.glyphs_[code] = font.glyphs_[' '];
    return true;
  }
};

std::optional<FontDescription> parse_font_description(std::string_view text) {
  FontDescription d;
  bool typeface = false;
  std::size_t pos = 0;
  while (pos < text.size()) {
    char letter = static_cast<char>(std::tolower(static_cast<unsigned char>(text[pos++])));
    switch (letter) {
      case 't': {
        if (pos >= text.size() || text[pos] != '\'') return std::nullopt;
        std::size_t close = text.find('\'', pos + 1);
        if (close == std::string_view::npos) return std::nullopt;
        std::string_view name = text.substr(pos + 1, close - pos - 1);
        if (name.empty() || name.size() > kMaxTypeface) return std::nullopt;
        d.typeface = std::string(name);
        typeface = true;
        pos = close + 1;
        break;
      }
      case 'h':
        if (!read_number(text, pos, d.height)) return std::nullopt;
        break;
      case 'w':
        if (!read_number(text, pos, d.width)) return std::nullopt;
        break;
      case 'i':
        d.italic = true;
        break;
      default:
        return std::nullopt;
    }
  }
  if (!typeface) return std::nullopt;
  return d;
}

bool family_matches(std::string_view requested, std::string_view found) {
  if (equal_ignoring_case(requested, found)) return true;
  struct Clone {
    const char* name;
    const char* clones[2];
  };
  static constexpr Clone kClones[] = {
      {"Arial", {"Liberation Sans", "Arimo"}},
      {"Times New Roman", {"Liberation Serif", "Tinos"}},
      {"Courier New", {"Liberation Mono", "Cousine"}},
  };
  for (const Clone& c : kClones) {
    if (!equal_ignoring_case(requested, c.name)) continue;
    for (const char* clone : c.clones) {
      if (equal_ignoring_case(found, clone)) return true;
    }
  }
  return false;
}

const Glyph& Font::glyph(unsigned char code) const { return glyphs_[code]; }

int Font::text_width(std::string_view text) const {
  int w = 0;
  for (char c : text) w += glyphs_[static_cast<unsigned char>(c)].advance;
  return w;
}

double Font::average_width() const { return text_width("abcdefghijklmnopqrstuvwxyz ") / 27.0; }

std::vector<std::string> font_families() {
  Library& lib = library();
  std::lock_guard lock(lib.mutex);
  if (lib.families) return *lib.families;
  std::vector<std::string> names;
  if (lib.fc != nullptr) {
    FcPattern* pattern = FcPatternCreate();
    FcObjectSet* objects = FcObjectSetBuild(FC_FAMILY, nullptr);
    FcFontSet* set = FcFontList(lib.fc, pattern, objects);
    if (set != nullptr) {
      for (int i = 0; i < set->nfont; ++i) {
        FcChar8* family = nullptr;
        if (FcPatternGetString(set->fonts[i], FC_FAMILY, 0, &family) == FcResultMatch) {
          names.emplace_back(reinterpret_cast<const char*>(family));
        }
      }
      FcFontSetDestroy(set);
    }
    FcObjectSetDestroy(objects);
    FcPatternDestroy(pattern);
  }
  std::sort(names.begin(), names.end());
  names.erase(std::unique(names.begin(), names.end()), names.end());
  lib.families = names;
  return names;
}

std::shared_ptr<const Font> open_font(const FontDescription& description, bool exact_family) {
  Library& lib = library();
  std::lock_guard lock(lib.mutex);
  std::optional<Match> m = match_face(lib, description);
  if (!m) return nullptr;
  if (exact_family) {
    bool any = std::any_of(m->families.begin(), m->families.end(), [&](const std::string& f) {
      return family_matches(description.typeface, f);
    });
    if (!any) return nullptr;
  }
  int height = description.height > 0 ? description.height : kDefaultHeight;
  bool synthetic_italic = description.italic && !m->italic;
  auto key = std::make_tuple(m->file, m->index, height, description.width, synthetic_italic);
  auto it = lib.cache.find(key);
  if (it != lib.cache.end()) return it->second;
  std::shared_ptr<const Font> font =
      FontLoader::load(lib, *m, height, description.width, synthetic_italic);
  if (font) lib.cache.emplace(key, font);
  return font;
}

}  // namespace windowing
