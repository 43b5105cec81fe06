// Checks of the private font set itself, with fontconfig and FreeType directly
// and none of our GDI: fontconfig, given the configured fonts.conf, lists exactly
// these faces; each face's name table gives the GDI family the tables say; the
// fonts carry no TrueType instructions; and FreeType, loading the glyphs hinted
// and without its auto-hinter (as GDI has none), draws each glyph inside the
// black box expected_widths.csv gives it, with its advance. When these pass and
// tests/freetype_gdi fails, the fault is in our GDI, not in the fonts or the
// tables.
//
// FreeType draws with its interpreter 35, which runs the instructions of DM12
// Hinted and DM12 Gasp as GDI's bi-level rasterizer does and takes DM12 Hdmx's
// advances from its hdmx table; each request is drawn at the ppem the table
// gives it.

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_DRIVER_H
#include FT_FREETYPE_H
#include FT_MODULE_H
#include FT_OUTLINE_H
#include FT_SFNT_NAMES_H
#include FT_TRUETYPE_IDS_H
#include FT_TRUETYPE_TABLES_H
#include FT_TRUETYPE_TAGS_H

#include <gtest/gtest.h>

#include <cstdlib>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "expected_tables.h"

namespace {

using dm12_fonts::ExpectedFace;
using dm12_fonts::ExpectedRequest;

std::string font_path(const std::string &file) {
    return std::string(dm12_fonts::font_dir()) + "/" + file;
}

class FreeTypeFace {
public:
    FreeTypeFace(const std::string &file, long index) {
        if (FT_Init_FreeType(&library_) != 0) return;
        FT_UInt interpreter = TT_INTERPRETER_VERSION_35;
        if (FT_Property_Set(library_, "truetype", "interpreter-version", &interpreter) != 0) return;
        if (FT_New_Face(library_, font_path(file).c_str(), index, &face_) != 0) face_ = nullptr;
    }
    ~FreeTypeFace() {
        if (face_) FT_Done_Face(face_);
        if (library_) FT_Done_FreeType(library_);
    }
    FreeTypeFace(const FreeTypeFace &) = delete;
    FreeTypeFace &operator=(const FreeTypeFace &) = delete;
    FT_Face get() const { return face_; }

private:
    FT_Library library_ = nullptr;
    FT_Face face_ = nullptr;
};

// --- fontconfig lists the set and nothing else ---------------------------------

TEST(FontSet, TheTestsUseThePrivateConfiguration) {
    const char *file = std::getenv("FONTCONFIG_FILE");
    ASSERT_NE(file, nullptr);
    EXPECT_STREQ(file, dm12_fonts::fontconfig_file());
}

TEST(FontSet, FontconfigListsExactlyTheFacesOfTheSet) {
    FcConfig *config = FcInitLoadConfigAndFonts();
    ASSERT_NE(config, nullptr);
    FcPattern *pattern = FcPatternCreate();
    FcObjectSet *objects = FcObjectSetBuild(FC_FILE, FC_INDEX, nullptr);
    FcFontSet *fonts = FcFontList(config, pattern, objects);
    ASSERT_NE(fonts, nullptr);

    std::multiset<std::pair<std::string, long>> listed;
    for (int i = 0; i < fonts->nfont; ++i) {
        FcChar8 *file = nullptr;
        int index = 0;
        ASSERT_EQ(FcPatternGetString(fonts->fonts[i], FC_FILE, 0, &file), FcResultMatch);
        ASSERT_EQ(FcPatternGetInteger(fonts->fonts[i], FC_INDEX, 0, &index), FcResultMatch);
        listed.emplace(reinterpret_cast<const char *>(file), index);
    }
    FcFontSetDestroy(fonts);
    FcObjectSetDestroy(objects);
    FcPatternDestroy(pattern);
    FcConfigDestroy(config);

    std::multiset<std::pair<std::string, long>> expected;
    for (const ExpectedFace &face : dm12_fonts::expected_faces()) {
        expected.emplace(font_path(face.file), face.index);
    }
    EXPECT_EQ(listed, expected);
}

// --- each face, from its own tables ----------------------------------------------

// Windows-1252 for the code points 0x80..0x9F that it places elsewhere.
const std::pair<unsigned, unsigned char> kCp1252High[] = {
    {0x20AC, 0x80}, {0x201A, 0x82}, {0x0192, 0x83}, {0x201E, 0x84}, {0x2026, 0x85}, {0x2020, 0x86},
    {0x2021, 0x87}, {0x02C6, 0x88}, {0x2030, 0x89}, {0x0160, 0x8A}, {0x2039, 0x8B}, {0x0152, 0x8C},
    {0x017D, 0x8E}, {0x2018, 0x91}, {0x2019, 0x92}, {0x201C, 0x93}, {0x201D, 0x94}, {0x2022, 0x95},
    {0x2013, 0x96}, {0x2014, 0x97}, {0x02DC, 0x98}, {0x2122, 0x99}, {0x0161, 0x9A}, {0x203A, 0x9B},
    {0x0153, 0x9C}, {0x017E, 0x9E}, {0x0178, 0x9F},
};

char to_cp1252(unsigned code_point) {
    if (code_point < 0x80 || (code_point >= 0xA0 && code_point <= 0xFF)) {
        return static_cast<char>(code_point);
    }
    for (const auto &[unicode, byte] : kCp1252High) {
        if (unicode == code_point) return static_cast<char>(byte);
    }
    return '?';
}

// GDI: name ID 1 from the Windows records, English (0x409) preferred,
// else the first; in Windows-1252, '?' for what it lacks; cut to 31 bytes.
std::string gdi_family_name(FT_Face face) {
    const FT_UInt count = FT_Get_Sfnt_Name_Count(face);
    bool found = false;
    FT_SfntName chosen{};
    for (FT_UInt i = 0; i < count; ++i) {
        FT_SfntName name{};
        if (FT_Get_Sfnt_Name(face, i, &name) != 0) continue;
        if (name.platform_id != TT_PLATFORM_MICROSOFT || name.name_id != TT_NAME_ID_FONT_FAMILY)
            continue;
        if (!found) {
            chosen = name;
            found = true;
        } else if (name.language_id == TT_MS_LANGID_ENGLISH_UNITED_STATES &&
                   chosen.language_id != TT_MS_LANGID_ENGLISH_UNITED_STATES) {
            chosen = name;
        }
    }
    std::string out;
    for (FT_UInt i = 0; found && i + 1 < chosen.string_len; i += 2) {
        const unsigned unit = static_cast<unsigned>(chosen.string[i]) << 8 | chosen.string[i + 1];
        out.push_back(to_cp1252(unit));
    }
    return out.substr(0, 31);
}

class EachFace : public ::testing::TestWithParam<ExpectedFace> {};

TEST_P(EachFace, NameStyleAndWeightAreWhatTheTablesSay) {
    const ExpectedFace &expected = GetParam();
    FreeTypeFace face(expected.file, expected.index);
    ASSERT_NE(face.get(), nullptr) << expected.file;
    EXPECT_EQ(gdi_family_name(face.get()), expected.family);
    const auto *os2 = static_cast<const TT_OS2 *>(FT_Get_Sfnt_Table(face.get(), FT_SFNT_OS2));
    ASSERT_NE(os2, nullptr);
    EXPECT_EQ(os2->usWeightClass, expected.weight);
    EXPECT_EQ((face.get()->style_flags & FT_STYLE_FLAG_ITALIC) != 0, expected.italic);
    EXPECT_EQ((os2->fsSelection & 1) != 0, expected.italic);
    FT_ULong length = 0;
    EXPECT_EQ(expected.outlines == "cff",
              FT_Load_Sfnt_Table(face.get(), TTAG_CFF, 0, nullptr, &length) == 0);
}

// No glyph carries instructions but where the table says so, and the TrueType
// fonts a control-value program, so that they count as hinted and no renderer
// auto-hints them; the device tables are those the table says.
TEST_P(EachFace, CountsAsHintedButKeepsItsOutlines) {
    const ExpectedFace &expected = GetParam();
    FreeTypeFace face(expected.file, expected.index);
    ASSERT_NE(face.get(), nullptr) << expected.file;
    for (FT_ULong tag : {TTAG_fpgm, TTAG_cvt}) {
        FT_ULong length = 0;
        EXPECT_NE(FT_Load_Sfnt_Table(face.get(), tag, 0, nullptr, &length), 0) << "table present";
    }
    FT_ULong prep_length = 0;
    EXPECT_EQ(FT_Load_Sfnt_Table(face.get(), TTAG_prep, 0, nullptr, &prep_length) == 0,
              expected.outlines == "glyf");
    const auto *maxp =
        static_cast<const TT_MaxProfile *>(FT_Get_Sfnt_Table(face.get(), FT_SFNT_MAXP));
    ASSERT_NE(maxp, nullptr);
    if (expected.outlines == "glyf") {
        EXPECT_EQ(maxp->maxSizeOfInstructions != 0, expected.instructions);
    }
    std::string tables;
    for (const auto &[tag, name] : {std::pair<FT_ULong, const char *>{TTAG_VDMX, "VDMX"},
                                    {TTAG_hdmx, "hdmx"},
                                    {TTAG_gasp, "gasp"}}) {
        FT_ULong length = 0;
        if (FT_Load_Sfnt_Table(face.get(), tag, 0, nullptr, &length) == 0)
            tables += (tables.empty() ? "" : "+") + std::string(name);
    }
    EXPECT_EQ(tables.empty() ? "none" : tables, expected.device_tables);
}

INSTANTIATE_TEST_SUITE_P(Fonts, EachFace, ::testing::ValuesIn(dm12_fonts::expected_faces()),
                         [](const ::testing::TestParamInfo<ExpectedFace> &param_info) {
                             return dm12_fonts::identifier(param_info.param.file) + "_" +
                                    std::to_string(param_info.param.index);
                         });

// --- FreeType draws what the table says ------------------------------------------

// The requests whose widths are the glyphs as FreeType draws them at the
// request's ppem: all but the stretched ones. GDI stretches after measuring,
// with no part for FreeType; make_fonts.py states those rows by hand, and
// tests/freetype_gdi checks our GDI against them.
std::vector<ExpectedRequest> unstretched_requests() {
    std::vector<ExpectedRequest> requests;
    for (const ExpectedRequest &request : dm12_fonts::expected_requests()) {
        if (request.stretch == 1.0) requests.push_back(request);
    }
    return requests;
}

class EachRequest : public ::testing::TestWithParam<ExpectedRequest> {};

// Each outline lies inside the black box the table gives and reaches into both
// of its end pixels, and the advance is within half a pixel of the table's. The
// table is checked against the outline, not worked out from it, so that no copy
// of GDI's rounding stands between the two.
TEST_P(EachRequest, FreeTypeDrawsEachGlyphInsideItsBlackBox) {
    const ExpectedRequest &request = GetParam();
    FreeTypeFace face(request.file, request.index);
    ASSERT_NE(face.get(), nullptr) << request.file;
    ASSERT_EQ(FT_Set_Pixel_Sizes(face.get(), 0, static_cast<FT_UInt>(request.ppem)), 0);
    ASSERT_EQ(
        FT_Select_Charmap(face.get(), request.symbol ? FT_ENCODING_MS_SYMBOL : FT_ENCODING_UNICODE),
        0);

    for (const dm12_fonts::ExpectedCode &expected : request.codes) {
        FT_UInt glyph = 0;
        if (request.symbol) glyph = FT_Get_Char_Index(face.get(), 0xF000 + expected.code);
        if (glyph == 0) glyph = FT_Get_Char_Index(face.get(), expected.code);
        ASSERT_EQ(FT_Load_Glyph(face.get(), glyph, FT_LOAD_NO_BITMAP | FT_LOAD_NO_AUTOHINT), 0);
        const FT_GlyphSlot slot = face.get()->glyph;
        EXPECT_EQ(expected.a + expected.b + expected.c, expected.advance)
            << "code " << expected.code;
        EXPECT_LT(std::labs(slot->advance.x - 64 * expected.advance), 32)
            << "code " << expected.code;
        // A glyph with no outline has no edges to place.
        if (slot->outline.n_points == 0) continue;
        // In 26.6 pixels: pixel x spans [64 x, 64 (x + 1)).
        FT_BBox box;
        FT_Outline_Get_CBox(&slot->outline, &box);
        const long first = 64 * expected.a, end = 64 * (expected.a + expected.b);
        EXPECT_GE(box.xMin, first) << "code " << expected.code << ": left edge before pixel A";
        EXPECT_LT(box.xMin, first + 64) << "code " << expected.code << ": left edge past pixel A";
        EXPECT_GT(box.xMax, end - 64)
            << "code " << expected.code << ": right edge before the last pixel";
        EXPECT_LE(box.xMax, end) << "code " << expected.code << ": right edge past the box";
    }
}

INSTANTIATE_TEST_SUITE_P(Widths, EachRequest, ::testing::ValuesIn(unstretched_requests()),
                         [](const ::testing::TestParamInfo<ExpectedRequest> &param_info) {
                             return dm12_fonts::identifier(param_info.param.label + "_" +
                                                           param_info.param.face_name);
                         });

}  // namespace

int main(int argc, char **argv) {
    // Before fontconfig is first used; ctest sets the same through ENVIRONMENT.
    setenv("FONTCONFIG_FILE", dm12_fonts::fontconfig_file(), 1);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
