// Bitmap fonts (BDF, gzipped PCF, FNT, FON), Type 1 fonts (PFA, PFB, raw
// .t1) and a bitmap-only TrueType font through our GDI calls, on the private
// set in tests/robustness/fonts (FONTCONFIG_FILE points at it). The expected
// numbers follow from make_fonts.py: a bitmap glyph's advance is height / 3
// for the space, else 2 + code % 5 + height / 4; Type 1 glyphs are boxes at
// fixed font units; the bitmap-only font's blank outlines advance 250 units
// for the space, else 500 + 40 * (code % 7), of an em of 1000, and its strike
// at 12 pixels has bitmaps (code % 3 - 1) + (2 + code % 4) + 2 pixels wide.

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "gdi.h"
#include "gdi_test_support.h"

namespace {

using dm12_gdi_test::enumerate_families;
using dm12_gdi_test::Enumerated;

struct FamilyCase {
    const char *name;
    DWORD font_type;
    LONG height, width, weight;
    BYTE charset, pitch_and_family;
    LONG ascent;  // of the strike: bitmap fonts height - height / 4
};

// The representative of each family: bitmap families their regular strike
// nearest 16 pixels (the smaller on a tie), so Bdf 13 of 13/19 (bold 16 is
// not regular), Pcf 16 of 12/16, Fon 20 of 10/20. Type 1: the FontBBox gives
// a 1000-unit cell on a 1000-unit em, so 32 pixels; the width is the ASCII
// glyphs' mean advance, 563 units, at that size. FNT/FON carry their own
// weight and family bits (FF_SWISS, FF_ROMAN). A family in several character
// sets stands as its Windows-1252 face whatever its height (Codepage: 13 px
// of 13 Windows-1252 and 16 Cyrillic), else as the face of the first code
// page (Codepage Rest: 13 px Greek before 16 px Hebrew). The bitmap-only
// TrueType font is TrueType, its cell of 1000 units on an em of 1000 giving
// 32 pixels.
constexpr FamilyCase kFamilies[] = {
    {"DM12 Bdf", RASTER_FONTTYPE, 13, 7, FW_NORMAL, ANSI_CHARSET, VARIABLE_PITCH, 10},
    {"DM12 Codepage", RASTER_FONTTYPE, 13, 7, FW_NORMAL, ANSI_CHARSET, FF_SWISS | VARIABLE_PITCH,
     10},
    {"DM12 Codepage Rest", RASTER_FONTTYPE, 13, 7, FW_NORMAL, GREEK_CHARSET,
     FF_SWISS | VARIABLE_PITCH, 10},
    {"DM12 Curve", TRUETYPE_FONTTYPE, 32, 18, FW_NORMAL, ANSI_CHARSET, VARIABLE_PITCH, 26},
    {"DM12 Fnt", RASTER_FONTTYPE, 14, 7, FW_BOLD, ANSI_CHARSET, FF_SWISS | VARIABLE_PITCH, 11},
    {"DM12 Fon", RASTER_FONTTYPE, 20, 9, FW_NORMAL, ANSI_CHARSET, FF_ROMAN | VARIABLE_PITCH, 15},
    {"DM12 Pcf", RASTER_FONTTYPE, 16, 8, FW_NORMAL, ANSI_CHARSET, VARIABLE_PITCH, 12},
    {"DM12 Sbit", TRUETYPE_FONTTYPE, 32, 19, FW_NORMAL, ANSI_CHARSET, VARIABLE_PITCH, 26},
    {"DM12 Type1", DEVICE_FONTTYPE, 32, 18, FW_NORMAL, ANSI_CHARSET, VARIABLE_PITCH, 24},
    {"DM12 Type1 Raw", DEVICE_FONTTYPE, 32, 18, FW_NORMAL, ANSI_CHARSET, VARIABLE_PITCH, 24},
};

TEST(FontFormats, EachFamilyOnceWithItsTypeAndLogfont) {
    const std::vector<Enumerated> families = enumerate_families();
    ASSERT_EQ(families.size(), std::size(kFamilies));
    for (std::size_t i = 0; i < families.size(); ++i) {
        const FamilyCase &want = kFamilies[i];
        const LOGFONTA &lf = families[i].logfont;
        SCOPED_TRACE(want.name);
        EXPECT_STREQ(lf.lfFaceName, want.name);
        EXPECT_EQ(families[i].font_type, want.font_type);
        EXPECT_EQ(lf.lfHeight, want.height);
        EXPECT_EQ(lf.lfWidth, want.width);
        EXPECT_EQ(lf.lfWeight, want.weight);
        EXPECT_EQ(lf.lfItalic, 0);
        EXPECT_EQ(lf.lfCharSet, want.charset);
        EXPECT_EQ(lf.lfPitchAndFamily, want.pitch_and_family);
        EXPECT_EQ(lf.lfOutPrecision, 3);
        EXPECT_EQ(lf.lfClipPrecision, 2);
        EXPECT_EQ(lf.lfQuality, 1);
        const TEXTMETRICA &tm = families[i].metrics;
        EXPECT_EQ(tm.tmHeight, want.height);
        EXPECT_EQ(tm.tmAscent, want.ascent);
        EXPECT_EQ(tm.tmAveCharWidth, want.width);
    }
}

struct WidthCase {
    const char *face;
    LONG height;  // 0: the enumerated height
    LONG weight;
    unsigned code;
    float a, b, c;
    int charset = -1;  // -1: the enumerated one
};

// Bitmap glyphs: A = 0, B = the advance, C = 0. A code the font lacks (127)
// measures the default glyph: in FNT/FON its dfDefaultChar, '?'. Type 1 at
// 32 pixels per em: 'A' spans 140..640 of an advance of 750 units, 'i'
// 140..265 of 375, .notdef 140..515 of 625; the bold face is 5/4 as wide.
// The bitmap-only TrueType font: blank outlines (A = 0, B = 1) at 32 and 20
// pixels, the strike's own metrics at 12, and at 12 a blank outline again
// for .notdef (127), which the strike lacks. Curve's 'O' at 32 pixels spans
// 3.2 to 25.6 pixels by its points (14.4 by its arc) of an advance of 28.8.
constexpr WidthCase kWidths[] = {
    {"DM12 Bdf", 0, FW_NORMAL, ' ', 0, 4, 0},
    {"DM12 Bdf", 0, FW_NORMAL, 'A', 0, 5, 0},
    {"DM12 Bdf", 0, FW_NORMAL, '~', 0, 6, 0},
    {"DM12 Bdf", 19, FW_NORMAL, ' ', 0, 6, 0},  // the 19 strike
    {"DM12 Bdf", 13, FW_BOLD, ' ', 0, 5, 0},  // weight before height: bold 16
    {"DM12 Pcf", 0, FW_NORMAL, ' ', 0, 5, 0},
    {"DM12 Pcf", 0, FW_NORMAL, 'B', 0, 7, 0},
    {"DM12 Pcf", 12, FW_NORMAL, 'B', 0, 6, 0},
    {"DM12 Fnt", 0, FW_BOLD, ' ', 0, 4, 0},
    {"DM12 Fnt", 0, FW_BOLD, 'i', 0, 5, 0},
    {"DM12 Fnt", 0, FW_BOLD, 127, 0, 8, 0},
    {"DM12 Fon", 0, FW_NORMAL, 'A', 0, 7, 0},
    {"DM12 Fon", 0, FW_NORMAL, 127, 0, 10, 0},
    {"DM12 Fon", 10, FW_NORMAL, 'A', 0, 4, 0},
    {"DM12 Type1", 0, FW_NORMAL, ' ', 0, 1, 7},
    {"DM12 Type1", 0, FW_NORMAL, 'A', 4, 17, 3},
    {"DM12 Type1", 0, FW_NORMAL, 'i', 4, 5, 3},
    {"DM12 Type1", 0, FW_NORMAL, 'z', 4, 13, 3},
    {"DM12 Type1", 0, FW_BOLD, 'A', 5, 21, 4},
    {"DM12 Type1 Raw", 0, FW_NORMAL, 'A', 4, 17, 3},
    {"DM12 Codepage", 0, FW_NORMAL, ' ', 0, 4, 0},
    {"DM12 Codepage", 0, FW_NORMAL, 'A', 0, 5, 0},
    {"DM12 Codepage", 0, FW_NORMAL, 'A', 0, 6, 0, RUSSIAN_CHARSET},
    {"DM12 Codepage Rest", 0, FW_NORMAL, 'A', 0, 5, 0},
    {"DM12 Curve", 0, FW_NORMAL, 'O', 3, 23, 3},
    {"DM12 Sbit", 0, FW_NORMAL, ' ', 0, 1, 7},
    {"DM12 Sbit", 0, FW_NORMAL, '!', 0, 1, 21},
    {"DM12 Sbit", -20, FW_NORMAL, 'A', 0, 1, 11},
    {"DM12 Sbit", -12, FW_NORMAL, ' ', 0, 1, 3},
    {"DM12 Sbit", -12, FW_NORMAL, 'A', 1, 3, 1},
    {"DM12 Sbit", -12, FW_NORMAL, 'B', -1, 4, 3},
    {"DM12 Sbit", -12, FW_NORMAL, 127, 0, 1, 5},
};

TEST(FontFormats, WidthsOfChosenFaces) {
    const std::vector<Enumerated> families = enumerate_families();
    HDC dc = CreateCompatibleDC(nullptr);
    for (const WidthCase &want : kWidths) {
        SCOPED_TRACE(std::string(want.face) + " height " + std::to_string(want.height) +
                     " weight " + std::to_string(want.weight) + " charset " +
                     std::to_string(want.charset) + " code " + std::to_string(want.code));
        LOGFONTA lf{};
        for (const Enumerated &family : families)
            if (std::strcmp(family.logfont.lfFaceName, want.face) == 0) lf = family.logfont;
        ASSERT_STREQ(lf.lfFaceName, want.face);
        // Another size or face than the enumerated one: no width, no stretch.
        if (want.height != 0 || want.weight != lf.lfWeight) lf.lfWidth = 0;
        if (want.height != 0) lf.lfHeight = want.height;
        lf.lfWeight = want.weight;
        if (want.charset >= 0) lf.lfCharSet = static_cast<BYTE>(want.charset);
        HFONT font = CreateFontIndirectA(&lf);
        HGDIOBJ previous = SelectObject(dc, font);
        ASSERT_NE(previous, nullptr);
        char face[LF_FACESIZE] = "";
        EXPECT_GT(GetTextFaceA(dc, LF_FACESIZE, face), 0);
        EXPECT_STREQ(face, want.face);
        ABCFLOAT abc{};
        EXPECT_TRUE(GetCharABCWidthsFloatA(dc, want.code, want.code, &abc));
        EXPECT_EQ(abc.abcfA, want.a);
        EXPECT_EQ(abc.abcfB, want.b);
        EXPECT_EQ(abc.abcfC, want.c);
        SelectObject(dc, previous);
        DeleteObject(font);
    }
    DeleteDC(dc);
}

}  // namespace
