// Our GDI on the fonts of tests/fonts that carry device metrics (EXPECTED.md,
// "Fonts with device metrics"), realized at other heights than the enumerated
// one, with lfWidth 0 (no stretch): the size a positive height realizes by
// VDMX, the advances hdmx holds for a size, and advances the glyph
// instructions move at every size, gasp or not. The expected numbers come from
// the fonts' own tables and from Windows' results in Wine's test_vdmx, not
// from our rules.

#include <gtest/gtest.h>

#include <iterator>
#include <string>
#include <vector>

#include "gdi.h"
#include "gdi_test_support.h"
#include "test_vdmx_expectations.h"

namespace {

using dm12_gdi_test::Dc;
using dm12_gdi_test::Font;
using dm12_gdi_test::Selection;

// The advance (A + B + C) of `code` in `family` realized at `height`; -1
// where it cannot be measured.
long advance_of(const std::string &family, LONG height, unsigned code) {
    Dc dc;
    Font font(dm12_gdi_test::logfont_named(family, height));
    Selection selection(dc.get(), font.get());
    if (dm12_gdi_test::text_face(dc.get()) != family) return -1;
    ABCFLOAT abc{};
    if (!GetCharABCWidthsFloatA(dc.get(), code, code, &abc)) return -1;
    return static_cast<long>(abc.abcfA + abc.abcfB + abc.abcfC);
}

using dm12_test_vdmx::HeightPpem;

// test_vdmx on Windows (EXPECTED.md; make_fonts.py's TEST_VDMX), and, not in
// test_vdmx, the rule as we read it: shorter than the group's first size (12),
// or taller than its last (40), the cell decides; a negative height is an em
// height, which no VDMX record changes. 10 is shorter than the first size.
std::vector<HeightPpem> windows_vdmx_ansi() {
    std::vector<HeightPpem> cases(std::begin(dm12_test_vdmx::kWindowsHeights),
                                  std::end(dm12_test_vdmx::kWindowsHeights));
    for (const HeightPpem c : {HeightPpem{10, 10}, HeightPpem{9, 9}, HeightPpem{11, 11},
                               HeightPpem{41, 41}, HeightPpem{-13, 13}, HeightPpem{-32, 32}})
        cases.push_back(c);
    return cases;
}
const std::vector<HeightPpem> kWindowsVdmxAnsi = windows_vdmx_ansi();

// The fonts' cell is their em, so wherever the cell decides a height h
// realizes h ppem (MulDiv(1000, h, 1000) = h).
std::vector<HeightPpem> cell_decides(const std::vector<HeightPpem> &cases) {
    std::vector<HeightPpem> out;
    for (const HeightPpem &c : cases)
        out.push_back({c.height, c.height < 0 ? -c.height : c.height});
    return out;
}

struct VdmxFont {
    const char *family;
    bool applies;  // whether its VDMX group decides the sizes
};

// Versions 0 and 1 alike; a record over all glyphs (bCharSet 0) changes
// nothing (test_vdmx); a 2:1 record, or a record over all glyphs, before the
// ANSI 1:1 one is passed over; a 0:0:0 record (any ratio) matches, and is
// taken before a later 1:1 record. The records passed over hold groups that
// would realize about half the ppem, or two less.
const VdmxFont kVdmxFonts[] = {
    {"DM12 Vdmx V0 Ansi", true}, {"DM12 Vdmx V1 Ansi", true}, {"DM12 Vdmx V0 All", false},
    {"DM12 Vdmx V1 All", false}, {"DM12 Vdmx Ratios", true},  {"DM12 Vdmx Default", true},
};

TEST(DeviceMetrics, PositiveHeightsRealizeTheSizeVdmxGivesAsOnWindows) {
    for (const VdmxFont &font : kVdmxFonts) {
        const std::vector<HeightPpem> cases =
            font.applies ? kWindowsVdmxAnsi : cell_decides(kWindowsVdmxAnsi);
        for (const HeightPpem &c : cases) {
            // The square glyph is one em wide: its advance is the ppem.
            EXPECT_EQ(advance_of(font.family, c.height, 'M'), c.ppem)
                << font.family << ", lfHeight " << c.height;
        }
    }
}

// The advances of the space, 'A' (a letter: the "tall" glyph) and '!' (the
// "lean" glyph) at a size.
struct Advances {
    LONG height;
    long space, tall, lean;
};

struct AdvanceFont {
    const char *family;
    std::vector<Advances> sizes;
};

// Linear advances (space 250, tall 650, lean 320 units of a 1000-unit em):
// 11 ppem 2.75, 7.15, 3.52 -> 3, 7, 4; 20 ppem 5, 13, 6.4 -> 5, 13, 6;
// 24 ppem 6, 15.6, 7.68 -> 6, 16, 8; 32 ppem 8, 20.8, 10.24 -> 8, 21, 10.
const AdvanceFont kAdvanceFonts[] = {
    // hdmx's records for 16, 32 and 40 ppem; the other sizes keep the linear
    // advances. A positive height 32 is a 32 ppem cell here (cell = em).
    {"DM12 Hdmx",
     {{-16, 5, 12, 7},
      {-32, 9, 23, 11},
      {32, 9, 23, 11},
      {-40, 11, 28, 14},
      {-20, 5, 13, 6},
      {-24, 6, 16, 8}}},
    // The instructions shift tall's advance 2 px right, lean's 1 px left, at
    // every size; the space has no program.
    {"DM12 Hinted", {{-11, 3, 9, 3}, {-20, 5, 15, 5}, {-32, 8, 23, 9}}},
    // The same program; gasp clears grid-fitting at every size, and GDI's
    // widths are the hinted ones all the same.
    {"DM12 Gasp", {{-11, 3, 9, 3}, {-20, 5, 15, 5}, {-32, 8, 23, 9}}},
};

TEST(DeviceMetrics, AdvancesAreHdmxsOrThoseTheInstructionsGive) {
    for (const AdvanceFont &font : kAdvanceFonts) {
        for (const Advances &size : font.sizes) {
            EXPECT_EQ(advance_of(font.family, size.height, ' '), size.space)
                << font.family << ", lfHeight " << size.height << ", space";
            EXPECT_EQ(advance_of(font.family, size.height, 'A'), size.tall)
                << font.family << ", lfHeight " << size.height << ", 'A'";
            EXPECT_EQ(advance_of(font.family, size.height, '!'), size.lean)
                << font.family << ", lfHeight " << size.height << ", '!'";
        }
    }
}

}  // namespace
