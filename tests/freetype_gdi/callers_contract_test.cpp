// What our GDI owes callers other than the program, as conformance tests
// that pass on Windows state it: enumerating one family by any of its names,
// the enumerated TEXTMETRICA's ascent, "@" alone with a CJK character set,
// simulated bold, heights past GDI's limit and double-byte codes.

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "gdi.h"
#include "gdi_test_support.h"

namespace {

using dm12_gdi_test::Dc;
using dm12_gdi_test::Enumerated;
using dm12_gdi_test::Font;
using dm12_gdi_test::Selection;

std::vector<Enumerated> enumerate_named(const char *name) {
    std::vector<Enumerated> found;
    Dc dc;
    EnumFontFamiliesA(dc.get(), name, dm12_gdi_test::collect_family,
                      reinterpret_cast<LPARAM>(&found));
    return found;
}

// --- EnumFontFamiliesA with a name -------------------------------------------

struct NamedCase {
    const char *label;
    const char *asked;
    std::size_t faces;  // callbacks; 0: none
    const char *family;  // lfFaceName of each callback
    LONG weight;  // of the first callback
};

void PrintTo(const NamedCase &c, std::ostream *out) { *out << c.label; }

class EnumeratedByName : public ::testing::TestWithParam<NamedCase> {};

TEST_P(EnumeratedByName, ReportsTheFacesTheNameFinds) {
    const NamedCase &c = GetParam();
    const std::vector<Enumerated> found = enumerate_named(c.asked);
    ASSERT_EQ(found.size(), c.faces) << "asked '" << c.asked << "'";
    for (const Enumerated &face : found) EXPECT_EQ(face.name, c.family);
    if (c.faces) {
        EXPECT_EQ(found.front().logfont.lfWeight, c.weight);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Names, EnumeratedByName,
    ::testing::Values(
        NamedCase{"FamilyName", "DM12 Sans", 4, "DM12 Sans", 400},
        NamedCase{"FamilyNameInOtherCase", "dm12 SANS", 4, "DM12 Sans", 400},
        // test_EnumFonts: "Arial Bold" finds Arial's bold face alone.
        NamedCase{"FullName", "DM12 Sans Bold", 1, "DM12 Sans", 700},
        NamedCase{"FullNameInOtherCase", "dm12 sans bold italic", 1, "DM12 Sans", 700},
        // test_lang_names: the family name of a second language finds it too.
        NamedCase{"GermanFamilyName", "DM12 Typo Halbfett", 1, "DM12 Typo Semibold", 600},
        NamedCase{"ChineseFamilyNameBesideJapanese", "DM12 Zhongwen", 1, "DM12 Nihon", 400},
        // Case ignored whatever the locale: 'É' (0xC9) finds 'é' (0xE9).
        NamedCase{"LatinOneLetterInOtherCase", "dm12 CAF\xC9 ?", 1, "DM12 Caf\xE9 ?", 400},
        NamedCase{"MacintoshNameIsNone", "DM12 Typo Mac Name", 0, "", 0},
        NamedCase{"TypographicFamilyOfTwoIsOne", "DM12 Typo", 1, "DM12 Typo", 400},
        NamedCase{"UnknownName", "DM12 Nowhere", 0, "", 0}),
    [](const ::testing::TestParamInfo<NamedCase> &param_info) {
        return std::string(param_info.param.label);
    });

// --- the enumerated TEXTMETRICA ----------------------------------------------

// test_text_metrics: tmAscent = MulDiv(tmHeight, ascent, ascent + descent).
// DM12 Collect Two's cell is hhea's 1700 + 500 on an em of 2048: tmHeight
// 34, tmAscent MulDiv(34, 1700, 2200) = 26, where 32 * 1700 / 2048 rounds to
// 27.
TEST(EnumeratedMetrics, AscentIsTheCellHeightsShare) {
    for (const Enumerated &family : dm12_gdi_test::enumerate_families()) {
        if (family.name != "DM12 Collect Two") continue;
        EXPECT_EQ(family.metrics.tmHeight, 34);
        EXPECT_EQ(family.metrics.tmAscent, 26);
        EXPECT_EQ(family.metrics.tmDescent, 8);
        return;
    }
    FAIL() << "no family 'DM12 Collect Two'";
}

// --- realizing -------------------------------------------------------------------

std::string realized_name(const LOGFONTA &logfont) {
    Dc dc;
    Font font(logfont);
    Selection selection(dc.get(), font.get());
    return dm12_gdi_test::text_face(dc.get());
}

// test_east_asian_font_selection: "@" alone selects a vertical face of the
// character set asked; with no such face the name is as good as unknown.
TEST(Realizing, AtSignAloneChoosesAVerticalFaceOfTheCharacterSet) {
    const struct {
        BYTE charset;
        const char *realized;
    } cases[] = {{SHIFTJIS_CHARSET, "@DM12 Nihon"},
                 {GB2312_CHARSET, "@DM12 Extraordinarily Long Fami"}};
    for (const auto &c : cases) {
        LOGFONTA logfont = dm12_gdi_test::logfont_named("@");
        logfont.lfCharSet = c.charset;
        EXPECT_EQ(realized_name(logfont), c.realized) << "charset " << int(c.charset);
    }
    LOGFONTA big5 = dm12_gdi_test::logfont_named("@");
    big5.lfCharSet = CHINESEBIG5_CHARSET;
    EXPECT_NE(realized_name(big5).substr(0, 1), "@");
}

// The widths of codes 32..127 of `logfont`.
std::array<ABCFLOAT, 96> widths_of(const LOGFONTA &logfont) {
    std::array<ABCFLOAT, 96> widths{};
    Dc dc;
    Font font(logfont);
    Selection selection(dc.get(), font.get());
    EXPECT_NE(GetCharABCWidthsFloatA(dc.get(), 32, 127, widths.data()), 0);
    return widths;
}

float advance(const ABCFLOAT &abc) { return abc.abcfA + abc.abcfB + abc.abcfC; }

// test_fake_bold_font: bold asked of a family without a bold face is that
// face emboldened, every advance a pixel wider.
// Windows compares face names ignoring the case of every letter, as the
// enumeration by name does: 'É' (0xC9) realizes the family of 'é' (0xE9),
// not the default family under the name asked.
TEST(Realizing, ANameInAnotherCaseOfALatinOneLetterFindsItsFamily) {
    Dc dc;
    Font font(dm12_gdi_test::logfont_named("dm12 CAF\xC9 ?", 36));
    Selection selection(dc.get(), font.get());
    EXPECT_EQ(dm12_gdi_test::text_face(dc.get()), "DM12 Caf\xE9 ?");
}

TEST(Realizing, BoldOfAFamilyWithoutOneIsSimulated) {
    LOGFONTA regular = dm12_gdi_test::logfont_named("DM12 Mono");
    LOGFONTA bold = regular;
    bold.lfWeight = FW_BOLD;
    const std::array<ABCFLOAT, 96> plain = widths_of(regular), heavy = widths_of(bold);
    for (std::size_t i = 0; i < plain.size(); ++i) {
        EXPECT_EQ(heavy[i].abcfA, plain[i].abcfA) << "code " << i + 32;
        EXPECT_EQ(advance(heavy[i]), advance(plain[i]) + 1) << "code " << i + 32;
        // The space has no ink to widen.
        EXPECT_EQ(heavy[i].abcfB, plain[i].abcfB + (i == 0 ? 0 : 1)) << "code " << i + 32;
    }
}

// test_max_height: a height past 65535 either way is realized as -1.
TEST(Realizing, HeightsPastTheLimitAreOnePixelPerEm) {
    const std::array<ABCFLOAT, 96> one = widths_of(dm12_gdi_test::logfont_named("DM12 Sans", -1));
    for (LONG height : {-65536, -123456, 123456}) {
        const std::array<ABCFLOAT, 96> past =
            widths_of(dm12_gdi_test::logfont_named("DM12 Sans", height));
        for (std::size_t i = 0; i < one.size(); ++i)
            EXPECT_EQ(advance(past[i]), advance(one[i])) << "height " << height << ", code " << i;
    }
    const std::array<ABCFLOAT, 96> largest =
        widths_of(dm12_gdi_test::logfont_named("DM12 Sans", -65535));
    EXPECT_GT(advance(largest['W' - 32]), advance(one['W' - 32]));
}

// --- double-byte codes -------------------------------------------------------------

struct RangeCase {
    UINT first, last;
    bool double_byte_succeeds;  // in SHIFTJIS_CHARSET; in ANSI_CHARSET only 0..255 do
};

// test_GetCharABCWidths: a double-byte character set takes codes above 255
// within one lead byte.
TEST(DoubleByteCodes, SucceedOnlyWhereTheCharacterSetHasThem) {
    const RangeCase cases[] = {{0xFF, 0xFF, true},       {0x100, 0x100, true},
                               {0xFF, 0x100, false},     {0x1FF, 0xFF00, false},
                               {0xFFFF, 0xFFFF, true},   {0x10000, 0x10000, false},
                               {0xFFFF, 0x10000, false}, {0xFFFFFFFF, 0xFFFFFFFF, false},
                               {0x00, 0xFF, true}};
    LOGFONTA nihon = dm12_gdi_test::logfont_named("DM12 Nihon");
    nihon.lfCharSet = SHIFTJIS_CHARSET;
    const LOGFONTA sans = dm12_gdi_test::logfont_named("DM12 Sans");
    for (const LOGFONTA &logfont : {nihon, sans}) {
        Dc dc;
        Font font(logfont);
        Selection selection(dc.get(), font.get());
        const bool double_byte = logfont.lfCharSet == SHIFTJIS_CHARSET;
        for (const RangeCase &c : cases) {
            std::vector<ABCFLOAT> widths(256);
            const bool expected = double_byte ? c.double_byte_succeeds : c.last <= 0xFF;
            EXPECT_EQ(GetCharABCWidthsFloatA(dc.get(), c.first, c.last, widths.data()) != 0,
                      expected)
                << logfont.lfFaceName << " " << std::hex << c.first << ".." << c.last;
        }
    }
}

// Shift-JIS 0x8141 is U+3001, which DM12 Nihon draws with the glyph of 'W';
// 0x8140 (U+3000) it lacks, so it measures glyph 0, as a missing code does.
TEST(DoubleByteCodes, MeasureTheCharacterOfTheCodePage) {
    LOGFONTA logfont = dm12_gdi_test::logfont_named("DM12 Nihon");
    logfont.lfCharSet = SHIFTJIS_CHARSET;
    Dc dc;
    Font font(logfont);
    Selection selection(dc.get(), font.get());
    ABCFLOAT comma{}, w{}, ideographic_space{}, unknown{};
    ASSERT_NE(GetCharABCWidthsFloatA(dc.get(), 0x8141, 0x8141, &comma), 0);
    ASSERT_NE(GetCharABCWidthsFloatA(dc.get(), 'W', 'W', &w), 0);
    ASSERT_NE(GetCharABCWidthsFloatA(dc.get(), 0x8140, 0x8140, &ideographic_space), 0);
    ASSERT_NE(GetCharABCWidthsFloatA(dc.get(), 0x100, 0x100, &unknown), 0);
    EXPECT_EQ(comma.abcfA, w.abcfA);
    EXPECT_EQ(comma.abcfB, w.abcfB);
    EXPECT_EQ(comma.abcfC, w.abcfC);
    EXPECT_EQ(ideographic_space.abcfB, unknown.abcfB);
    EXPECT_EQ(advance(ideographic_space), advance(unknown));
    EXPECT_NE(advance(comma), advance(unknown));
}

}  // namespace
