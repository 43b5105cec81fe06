// CreateFontIndirectA, SelectObject, GetTextFaceA and GetCharABCWidthsFloatA of
// our GDI on the private font set, against tests/fonts/expected_widths.csv:
// every family's enumerated LOGFONTA, and other requests (bold and italic
// faces, other heights, a stretch, a name in other case, the "@" family).

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "expected_tables.h"
#include "gdi.h"
#include "gdi_test_support.h"

namespace {

using dm12_fonts::escape;
using dm12_fonts::ExpectedCode;
using dm12_fonts::ExpectedRequest;
using dm12_gdi_test::Dc;
using dm12_gdi_test::Font;
using dm12_gdi_test::Selection;

const std::vector<ExpectedRequest> &all_requests() {
    static const std::vector<ExpectedRequest> requests = dm12_fonts::expected_requests();
    return requests;
}

// The widths the realized face must have: the request's own, or, where the
// name matched a family that differs from the expected one only in case (which
// GDI leaves open), that family's at its enumerated size. Null where the
// realized face is neither.
const ExpectedRequest *widths_for(const ExpectedRequest &request, const std::string &realized) {
    if (realized == request.realized_face) return &request;
    if (dm12_fonts::fold_case(realized) != dm12_fonts::fold_case(request.realized_face))
        return nullptr;
    if (request.label != "enum") return nullptr;
    return dm12_fonts::enumerated_request(all_requests(), realized);
}

class Request : public ::testing::TestWithParam<ExpectedRequest> {};

TEST_P(Request, RealizesTheExpectedFaceAndMeasuresItsWidths) {
    const ExpectedRequest &request = GetParam();
    Dc dc;
    ASSERT_NE(dc.get(), nullptr);
    const LOGFONTA logfont = dm12_gdi_test::logfont_of(request);
    Font font(logfont);
    ASSERT_NE(font.get(), nullptr);
    Selection selection(dc.get(), font.get());
    ASSERT_NE(selection.previous(), nullptr);

    const std::string realized = dm12_gdi_test::text_face(dc.get());
    const ExpectedRequest *expected = widths_for(request, realized);
    ASSERT_NE(expected, nullptr) << "GetTextFaceA gave '" << escape(realized) << "', expected '"
                                 << escape(request.realized_face) << "'";

    int wrong = 0;
    for (const ExpectedCode &code : expected->codes) {
        ABCFLOAT abc{-99.0f, -99.0f, -99.0f};
        ASSERT_NE(GetCharABCWidthsFloatA(dc.get(), code.code, code.code, &abc), 0)
            << "code " << code.code;
        const bool same = abc.abcfA == static_cast<float>(code.a) &&
                          abc.abcfB == static_cast<float>(code.b) &&
                          abc.abcfC == static_cast<float>(code.c);
        if (!same && ++wrong <= 12) {
            ADD_FAILURE() << "'" << escape(realized) << "' at " << expected->ppem
                          << " ppem, code 0x" << std::hex << code.code << std::dec
                          << ": A B C = " << abc.abcfA << " " << abc.abcfB << " " << abc.abcfC
                          << ", expected " << code.a << " " << code.b << " " << code.c
                          << " (advance " << code.advance << ")";
        }
    }
    EXPECT_EQ(wrong, 0) << "of " << expected->codes.size() << " codes";
}

// One call for the whole range gives what one call per code gives, on each
// family's enumerated LOGFONTA.
class EnumeratedRequest : public ::testing::TestWithParam<ExpectedRequest> {};

TEST_P(EnumeratedRequest, OneCallForTheRangeGivesTheSameWidthsAsOnePerCode) {
    const ExpectedRequest &request = GetParam();
    Dc dc;
    Font font(dm12_gdi_test::logfont_of(request));
    Selection selection(dc.get(), font.get());
    ABCFLOAT range[96];
    ASSERT_NE(GetCharABCWidthsFloatA(dc.get(), 32, 127, range), 0);
    for (unsigned code = 32; code <= 127; ++code) {
        ABCFLOAT one{};
        ASSERT_NE(GetCharABCWidthsFloatA(dc.get(), code, code, &one), 0);
        EXPECT_EQ(range[code - 32].abcfA, one.abcfA) << "code " << code;
        EXPECT_EQ(range[code - 32].abcfB, one.abcfB) << "code " << code;
        EXPECT_EQ(range[code - 32].abcfC, one.abcfC) << "code " << code;
    }
}

INSTANTIATE_TEST_SUITE_P(Widths, Request, ::testing::ValuesIn(all_requests()),
                         [](const ::testing::TestParamInfo<ExpectedRequest> &param_info) {
                             return dm12_fonts::identifier(param_info.param.label + "_" +
                                                           param_info.param.face_name);
                         });

std::vector<ExpectedRequest> enumerated_requests() {
    std::vector<ExpectedRequest> requests;
    for (const ExpectedRequest &request : all_requests())
        if (request.label == "enum") requests.push_back(request);
    return requests;
}

INSTANTIATE_TEST_SUITE_P(Widths, EnumeratedRequest, ::testing::ValuesIn(enumerated_requests()),
                         [](const ::testing::TestParamInfo<ExpectedRequest> &param_info) {
                             return dm12_fonts::identifier(param_info.param.face_name);
                         });

// --- GetTextFaceA's count -----------------------------------------------------------

struct FaceCountCase {
    const char *name;
    int count;
    int returned;
    const char *buffer;  // what the buffer then holds; null: left as it was
};

void PrintTo(const FaceCountCase &c, std::ostream *out) { *out << c.name; }

class TextFaceCount : public ::testing::TestWithParam<FaceCountCase> {};

TEST_P(TextFaceCount, CopiesAtMostCountLessOneBytesAndATerminator) {
    const FaceCountCase &c = GetParam();
    Dc dc;
    Font font(dm12_gdi_test::logfont_named("DM12 Sans"));
    Selection selection(dc.get(), font.get());
    char buffer[48];
    std::memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(GetTextFaceA(dc.get(), c.count, buffer), c.returned);
    if (c.buffer) {
        const std::size_t length = std::strlen(c.buffer);
        EXPECT_EQ(std::string(buffer, length), c.buffer);
        EXPECT_EQ(buffer[length], '\0');
        EXPECT_EQ(buffer[length + 1], '#') << "wrote past the terminator";
    } else {
        EXPECT_EQ(std::string(buffer, sizeof buffer), std::string(sizeof buffer, '#'));
    }
}

INSTANTIATE_TEST_SUITE_P(Widths, TextFaceCount,
                         ::testing::Values(FaceCountCase{"Roomy", 40, 9, "DM12 Sans"},
                                           FaceCountCase{"JustEnough", 10, 9, "DM12 Sans"},
                                           FaceCountCase{"OneShort", 9, 8, "DM12 San"},
                                           FaceCountCase{"Two", 2, 1, "D"},
                                           FaceCountCase{"Zero", 0, 0, nullptr},
                                           FaceCountCase{"Negative", -5, 0, nullptr}),
                         [](const ::testing::TestParamInfo<FaceCountCase> &param_info) {
                             return std::string(param_info.param.name);
                         });

// --- name matching --------------------------------------------------------------

// The two families whose names differ only in case are both enumerated and
// both realizable; whichever face a name finds, its widths are its own.
TEST(Widths, NamesThatDifferOnlyInCaseRealizeOneOfTheirFamiliesConsistently) {
    for (const char *name : {"DM12 Casey", "DM12 CASEY", "dm12 casey"}) {
        Dc dc;
        Font font(dm12_gdi_test::logfont_named(name, 36));
        Selection selection(dc.get(), font.get());
        const std::string realized = dm12_gdi_test::text_face(dc.get());
        const ExpectedRequest *expected = dm12_fonts::enumerated_request(all_requests(), realized);
        ASSERT_TRUE(realized == "DM12 Casey" || realized == "DM12 CASEY")
            << name << " realized '" << escape(realized) << "'";
        ASSERT_NE(expected, nullptr);
        // The advances of 'A' (15 and 13 pixels) tell the two faces apart.
        ABCFLOAT abc{};
        ASSERT_NE(GetCharABCWidthsFloatA(dc.get(), 'A', 'A', &abc), 0);
        EXPECT_EQ(abc.abcfA + abc.abcfB + abc.abcfC,
                  static_cast<float>(expected->codes['A' - 32].advance))
            << name << " realized '" << realized << "'";
    }
}

// Names that differ only in case are one family, as in GDI: either spelling
// realizes it, under the name of its representative face.
TEST(Widths, NamesDifferingOnlyInCaseRealizeOneFamily) {
    for (const char *name : {"DM12 Casey", "DM12 CASEY", "dm12 casey"}) {
        Dc dc;
        Font font(dm12_gdi_test::logfont_named(name, 36));
        Selection selection(dc.get(), font.get());
        EXPECT_EQ(dm12_gdi_test::text_face(dc.get()), "DM12 CASEY") << name;
    }
}

// The font selected in `dc` is one of the set's families, and measures.
void expect_an_enumerated_family_that_measures(HDC dc) {
    const std::string realized = dm12_gdi_test::text_face(dc);
    bool known = false;
    for (const auto &family : dm12_fonts::expected_families())
        known = known || family.name == realized;
    EXPECT_TRUE(known) << "realized '" << escape(realized) << "'";
    ABCFLOAT abc{};
    EXPECT_NE(GetCharABCWidthsFloatA(dc, 'A', 'A', &abc), 0);
}

// The default family is fontconfig's best match for the generic family
// "sans-serif", which the test set's configuration makes DM12 Sans (a family
// named "sans", which fontconfig would read "sans-serif" as, matches none).
TEST(Widths, ANameOfNoFamilyFallsBackToTheSansSerifFamily) {
    Dc dc;
    Font font(dm12_gdi_test::logfont_named("No Such Family Anywhere", 36));
    ASSERT_NE(font.get(), nullptr);
    Selection selection(dc.get(), font.get());
    expect_an_enumerated_family_that_measures(dc.get());
    EXPECT_EQ(dm12_gdi_test::text_face(dc.get()), "DM12 Sans");
}

TEST(Widths, HeightZeroRealizesADefaultSize) {
    Dc dc;
    Font font(dm12_gdi_test::logfont_named("DM12 Sans", 0));
    ASSERT_NE(font.get(), nullptr);
    Selection selection(dc.get(), font.get());
    EXPECT_EQ(dm12_gdi_test::text_face(dc.get()), "DM12 Sans");
    ABCFLOAT abc{};
    ASSERT_NE(GetCharABCWidthsFloatA(dc.get(), 'A', 'A', &abc), 0);
    EXPECT_GT(abc.abcfA + abc.abcfB + abc.abcfC, 0.0f);
}

// A fresh memory context starts with a default font, which measures.
TEST(Widths, AFreshContextHasADefaultFontThatMeasures) {
    Dc dc;
    expect_an_enumerated_family_that_measures(dc.get());
}

// Codes the font lacks, within 0..255, measure glyph 0, as 'Q' of Gappy does.
TEST(Widths, CodesOutsideTheFontMeasureGlyphZero) {
    const ExpectedRequest *gappy = dm12_fonts::enumerated_request(all_requests(), "DM12 Gappy");
    ASSERT_NE(gappy, nullptr);
    Dc dc;
    Font font(dm12_gdi_test::logfont_of(*gappy));
    Selection selection(dc.get(), font.get());
    ABCFLOAT q{};
    ASSERT_NE(GetCharABCWidthsFloatA(dc.get(), 'Q', 'Q', &q), 0);
    for (unsigned code : {0u, 31u, 0x7Eu, 0x7Fu, 128u, 200u, 255u}) {
        ABCFLOAT abc{};
        ASSERT_NE(GetCharABCWidthsFloatA(dc.get(), code, code, &abc), 0) << code;
        EXPECT_EQ(abc.abcfA, q.abcfA) << code;
        EXPECT_EQ(abc.abcfB, q.abcfB) << code;
        EXPECT_EQ(abc.abcfC, q.abcfC) << code;
    }
    ABCFLOAT p{};
    ASSERT_NE(GetCharABCWidthsFloatA(dc.get(), 'P', 'P', &p), 0);
    EXPECT_FALSE(p.abcfA == q.abcfA && p.abcfB == q.abcfB && p.abcfC == q.abcfC)
        << "'P' is in the font and measures otherwise";
}

}  // namespace
