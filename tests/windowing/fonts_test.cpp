#include "windowing/fonts.h"

#include <gtest/gtest.h>

#include <optional>

#include "windowing/canvas.h"

namespace windowing {
namespace {

struct ParseCase {
  const char* text;
  std::optional<FontDescription> expected;
};

TEST(FontDescription, ParseTable) {
  const ParseCase cases[] = {
      {"t'Arial'h14w7i", FontDescription{"Arial", 14, 7, true}},
      {"T'Arial'H14W7I", FontDescription{"Arial", 14, 7, true}},
      {"h20t'Courier New'", FontDescription{"Courier New", 20, 0, false}},
      {"t'Times New Roman'w9", FontDescription{"Times New Roman", 0, 9, false}},
      {"t'x'", FontDescription{"x", 0, 0, false}},
      {"t'1234567890123456789012345678901'",
       FontDescription{"1234567890123456789012345678901", 0, 0, false}},
      {"t'12345678901234567890123456789012'", std::nullopt},  // 32 characters
      {"", std::nullopt},                                     // no typeface
      {"h14w7i", std::nullopt},
      {"t''h14", std::nullopt},
      {"t'Arial", std::nullopt},  // unclosed quote
      {"tArial", std::nullopt},
      {"t'Arial'h", std::nullopt},
      {"t'Arial'hw7", std::nullopt},
      {"t'Arial'h0", std::nullopt},
      {"t'Arial'h14b", std::nullopt},  // unknown letter
      {"t'Arial' h14", std::nullopt},
      {"t'Arial'h99999", std::nullopt},
  };
  for (const ParseCase& c : cases) EXPECT_EQ(parse_font_description(c.text), c.expected) << c.text;
}

TEST(FontFamilies, MatchesIgnoringCaseAndTheClones) {
  struct Case {
    const char* requested;
    const char* found;
    bool match;
  };
  const Case cases[] = {
      {"Arial", "Arial", true},
      {"arial", "ARIAL", true},
      {"Arial", "Liberation Sans", true},
      {"Arial", "Arimo", true},
      {"Arial", "DejaVu Sans", false},
      {"Arial", "Liberation Serif", false},
      {"Times New Roman", "Liberation Serif", true},
      {"Times New Roman", "Tinos", true},
      {"Courier New", "Liberation Mono", true},
      {"Courier New", "cousine", true},
      {"Liberation Sans", "Arial", false},
      {"NoSuchFace", "DejaVu Sans", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(family_matches(c.requested, c.found), c.match) << c.requested << " / " << c.found;
  }
}

TEST(Fonts, ArialIsTheItalicMetricCloneAtFourteenBySeven) {
  Canvas c;
  ASSERT_GT(c.LOADFONTS(), 0);
  EXPECT_GT(c.SELECTFONT("t'Arial'h14w7i"), 0);
  const auto& f = c.current_font();
  ASSERT_TRUE(f);
  EXPECT_EQ(f->family(), "Liberation Sans");
  EXPECT_TRUE(f->italic());
  EXPECT_EQ(f->cell_height(), 14);
  EXPECT_NEAR(f->average_width(), 7.0, 0.5);
  // Without w the face keeps its own proportions: narrower than the stretched one.
  ASSERT_GT(c.SELECTFONT("t'Arial'h14i"), 0);
  EXPECT_LT(c.current_font()->average_width(), 6.5);
}

TEST(Fonts, FailedSelectionKeepsTheCurrentFont) {
  Canvas c;
  EXPECT_EQ(c.SELECTFONT("t'Arial'h14w7i"), -1);  // nothing loaded yet
  EXPECT_FALSE(c.current_font());
  c.LOADFONTS();
  ASSERT_TRUE(c.current_font());
  const auto loaded = c.current_font();
  EXPECT_EQ(loaded->family(), "DejaVu Sans");
  for (const char* d : {"t'NoSuchFace'h14w7i", "t'Arial'h14x", "garbage", ""}) {
    EXPECT_EQ(c.SELECTFONT(d), -1) << d;
    EXPECT_EQ(c.current_font(), loaded) << d;
  }
}

TEST(Fonts, SameDescriptionSharesOneCachedFont) {
  const auto a = open_font(FontDescription{"Arial", 14, 7, true}, true);
  const auto b = open_font(FontDescription{"arial", 14, 7, true}, true);
  ASSERT_TRUE(a);
  EXPECT_EQ(a, b);
  EXPECT_NE(a, open_font(FontDescription{"Arial", 16, 7, true}, true));
}

class TextTest : public ::testing::Test {
 protected:
  void SetUp() override {
    c.LOADFONTS();
    ASSERT_GT(c.SELECTFONT("t'Arial'h14w7i"), 0);
    c.SETDRAWCOLOR(0);
  }
  Canvas c;
};

TEST_F(TextTest, TrailingBlanksAdvanceThePosition) {
  const auto& f = *c.current_font();
  c.MOVEPEN(35, 255);
  c.DRAWTEXT("  0.0     ");  // 7 of the 10 characters are blanks
  const int ten = f.text_width("  0.0     ");
  EXPECT_EQ(c.pen_x(), 35 + ten);
  EXPECT_EQ(c.pen_y(), 255);
  EXPECT_EQ(ten, f.text_width("0.0") + 7 * f.glyph(' ').advance);
  EXPECT_GT(ten, f.text_width("  0.0") + 10);
}

TEST_F(TextTest, TextSitsInItsCellWithATransparentBackground) {
  c.SETDRAWCOLOR(12);
  c.DRAWRECT(1, 100, 100, 199, 119);  // a red block under the text
  c.SETDRAWCOLOR(0);
  c.MOVEPEN(100, 100);
  c.DRAWTEXT("Xg(n+1)| ");
  const int width = c.pen_x() - 100;
  int black = 0, red = 0;
  for (int y = 0; y < c.height(); ++y) {
    for (int x = 0; x < c.width(); ++x) {
      const int p = c.pixel(x, y);
      ASSERT_TRUE(p == 0 || p == 12 || p == 15) << p;
      if (p == 0) {
        ++black;
        EXPECT_GE(y, 100);
        EXPECT_LE(y, 113);  // 14-pixel cell
        EXPECT_GE(x, 100);
        EXPECT_LE(x, 100 + width + 2);  // the italic slant may reach past the advance
      }
      if (p == 12) ++red;
    }
  }
  EXPECT_GT(black, 30);
  EXPECT_EQ(black + red, 100 * 20);  // every block pixel is still red or now black
}

TEST_F(TextTest, NoFontDrawsNoTextButTheRestWorks) {
  Canvas bare;
  bare.MOVEPEN(10, 10);
  bare.DRAWTEXT("no font");
  EXPECT_EQ(bare.pen_x(), 10);
  EXPECT_EQ(bare.pixels(), Canvas().pixels());
}

TEST_F(TextTest, BlanksAndOffSurfaceTextDrawNothing) {
  c.MOVEPEN(10, 10);
  c.DRAWTEXT("          ");
  c.MOVEPEN(-500, -500);
  c.DRAWTEXT("outside");
  c.MOVEPEN(static_cast<std::int16_t>(c.width() + 1), 10);
  c.DRAWTEXT("outside");
  EXPECT_EQ(c.pixels(), Canvas().pixels());
}

}  // namespace
}  // namespace windowing
