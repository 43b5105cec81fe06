// Handles and arguments: every call of gdi.h checks what it is given, so that
// anything that is not a live handle of the right kind, a NULL record, or a
// range it cannot serve makes the call fail, never crash. Compiled into the
// tests of both implementations, the fake (fake_gdi_test) and our GDI
// (freetype_gdi_test), each giving its fonts through handles_test.h.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "gdi.h"
#include "gdi_objects.h"
#include "handles_test.h"

namespace {

using gdi_objects::Dc;
using gdi_objects::Font;
using gdi_objects::Selection;
using gdi_objects::text_face;
using handles_test::family_logfont;
using handles_test::realized_face;

// Every test starts from the implementation's fonts.
class Handles : public ::testing::Test {
protected:
    void SetUp() override { handles_test::set_up_fonts(); }
};

template <typename Case>
class HandleCases : public ::testing::TestWithParam<Case> {
protected:
    void SetUp() override { handles_test::set_up_fonts(); }
};

int CALLBACK count_calls(const LOGFONTA *, const TEXTMETRICA *, DWORD, LPARAM calls) {
    ++*reinterpret_cast<int *>(calls);
    return 1;
}

// --- values that are not a live context ------------------------------------------

enum class NotADc { Null, One, Garbage, StackAddress, DeletedDc, AFont };

struct NotADcCase {
    const char *name;
    NotADc kind;
};

void PrintTo(const NotADcCase &c, std::ostream *out) { *out << c.name; }

// Makes the bogus value; `font` is a live font, `stack` some live memory.
HDC bogus_dc(NotADc kind, HFONT font, void *stack) {
    switch (kind) {
        case NotADc::Null: return nullptr;
        case NotADc::One: return reinterpret_cast<HDC>(std::uintptr_t{1});
        case NotADc::Garbage: return reinterpret_cast<HDC>(std::uintptr_t{0xDEADBEEF});
        case NotADc::StackAddress: return static_cast<HDC>(stack);
        case NotADc::DeletedDc: {
            HDC dc = CreateCompatibleDC(nullptr);
            DeleteDC(dc);
            return dc;
        }
        case NotADc::AFont: return reinterpret_cast<HDC>(font);
    }
    return nullptr;
}

class NotALiveContext : public HandleCases<NotADcCase> {};

TEST_P(NotALiveContext, MakesEveryCallFail) {
    Font font(family_logfont(0));
    ASSERT_NE(font.get(), nullptr);
    long long stack[8] = {};
    HDC dc = bogus_dc(GetParam().kind, font.get(), stack);

    int calls = 0;
    EXPECT_EQ(EnumFontFamiliesA(dc, nullptr, count_calls, reinterpret_cast<LPARAM>(&calls)), 0);
    EXPECT_EQ(calls, 0);
    EXPECT_EQ(SelectObject(dc, font.get()), nullptr);

    char face[40];
    std::memset(face, '#', sizeof face);
    EXPECT_EQ(GetTextFaceA(dc, static_cast<int>(sizeof face), face), 0);
    EXPECT_EQ(std::string(face, sizeof face), std::string(sizeof face, '#')) << "buffer written";

    ABCFLOAT abc{};
    EXPECT_EQ(GetCharABCWidthsFloatA(dc, 'A', 'A', &abc), 0);
    EXPECT_EQ(DeleteDC(dc), FALSE);
    // The font is unharmed and still deletable once.
    Dc live;
    EXPECT_NE(SelectObject(live.get(), font.get()), nullptr);
}

INSTANTIATE_TEST_SUITE_P(Handles, NotALiveContext,
                         ::testing::Values(NotADcCase{"Null", NotADc::Null},
                                           NotADcCase{"One", NotADc::One},
                                           NotADcCase{"Garbage", NotADc::Garbage},
                                           NotADcCase{"StackAddress", NotADc::StackAddress},
                                           NotADcCase{"DeletedContext", NotADc::DeletedDc},
                                           NotADcCase{"AFont", NotADc::AFont}),
                         [](const ::testing::TestParamInfo<NotADcCase> &param_info) {
                             return std::string(param_info.param.name);
                         });

// --- values that are not a live font ----------------------------------------------

enum class NotAFont { Null, One, Garbage, StackAddress, DeletedFont, AContext };

struct NotAFontCase {
    const char *name;
    NotAFont kind;
};

void PrintTo(const NotAFontCase &c, std::ostream *out) { *out << c.name; }

HGDIOBJ bogus_font(NotAFont kind, HDC dc, void *stack) {
    switch (kind) {
        case NotAFont::Null: return nullptr;
        case NotAFont::One: return reinterpret_cast<HGDIOBJ>(std::uintptr_t{1});
        case NotAFont::Garbage: return reinterpret_cast<HGDIOBJ>(std::uintptr_t{0xDEADBEEF});
        case NotAFont::StackAddress: return stack;
        case NotAFont::DeletedFont: {
            const LOGFONTA logfont = family_logfont(1);
            HFONT font = CreateFontIndirectA(&logfont);
            DeleteObject(font);
            return font;
        }
        case NotAFont::AContext: return dc;
    }
    return nullptr;
}

class NotALiveFont : public HandleCases<NotAFontCase> {};

TEST_P(NotALiveFont, IsNeitherSelectedNorDeleted) {
    Dc dc;
    ASSERT_NE(dc.get(), nullptr);
    Font font(family_logfont(0));
    Selection selection(dc.get(), font.get());
    long long stack[8] = {};
    HGDIOBJ object = bogus_font(GetParam().kind, dc.get(), stack);

    EXPECT_EQ(SelectObject(dc.get(), object), nullptr);
    EXPECT_EQ(DeleteObject(object), FALSE);
    // The context still has its font and measures with it.
    EXPECT_EQ(text_face(dc.get()), realized_face(0));
    ABCFLOAT abc{};
    EXPECT_NE(GetCharABCWidthsFloatA(dc.get(), 'A', 'A', &abc), 0);
}

INSTANTIATE_TEST_SUITE_P(Handles, NotALiveFont,
                         ::testing::Values(NotAFontCase{"Null", NotAFont::Null},
                                           NotAFontCase{"One", NotAFont::One},
                                           NotAFontCase{"Garbage", NotAFont::Garbage},
                                           NotAFontCase{"StackAddress", NotAFont::StackAddress},
                                           NotAFontCase{"DeletedFont", NotAFont::DeletedFont},
                                           NotAFontCase{"AContext", NotAFont::AContext}),
                         [](const ::testing::TestParamInfo<NotAFontCase> &param_info) {
                             return std::string(param_info.param.name);
                         });

// --- GetCharABCWidthsFloatA's range and record -------------------------------------

struct RangeCase {
    const char *name;
    UINT first;
    UINT last;
    bool record;
    bool succeeds;
};

void PrintTo(const RangeCase &c, std::ostream *out) { *out << c.name; }

class WidthRange : public HandleCases<RangeCase> {};

TEST_P(WidthRange, IsServedOnlyWithinZeroTo255WithARecord) {
    const RangeCase &c = GetParam();
    Dc dc;
    Font font(family_logfont(0));
    Selection selection(dc.get(), font.get());
    ABCFLOAT widths[256] = {};
    const BOOL result =
        GetCharABCWidthsFloatA(dc.get(), c.first, c.last, c.record ? widths : nullptr);
    EXPECT_EQ(result != 0, c.succeeds);
}

INSTANTIATE_TEST_SUITE_P(
    Handles, WidthRange,
    ::testing::Values(RangeCase{"OneCode", 65, 65, true, true},
                      RangeCase{"AllOf0To255", 0, 255, true, true},
                      RangeCase{"Code255", 255, 255, true, true},
                      RangeCase{"Code0", 0, 0, true, true},
                      RangeCase{"FirstAfterLast", 66, 65, true, false},
                      RangeCase{"LastIs256", 65, 256, true, false},
                      RangeCase{"BothAbove255", 300, 300, true, false},
                      RangeCase{"LargestCodes", 0xFFFFFFFFu, 0xFFFFFFFFu, true, false},
                      RangeCase{"FirstAfterLastAbove255", 0xFFFFFFFFu, 0, true, false},
                      RangeCase{"NullRecord", 65, 65, false, false},
                      RangeCase{"NullRecordForTheRange", 32, 127, false, false}),
    [](const ::testing::TestParamInfo<RangeCase> &param_info) {
        return std::string(param_info.param.name);
    });

// --- the life of contexts and fonts --------------------------------------------------

TEST_F(Handles, CreateFontIndirectOfNullIsNull) {
    EXPECT_EQ(CreateFontIndirectA(nullptr), nullptr);
}

TEST_F(Handles, SelectObjectReturnsTheObjectSelectedBefore) {
    Dc dc;
    Font sans(family_logfont(0));
    Font mono(family_logfont(1));
    const HGDIOBJ initial = SelectObject(dc.get(), sans.get());
    ASSERT_NE(initial, nullptr) << "a fresh context starts with a default font";
    EXPECT_EQ(SelectObject(dc.get(), mono.get()), sans.get());
    EXPECT_EQ(text_face(dc.get()), realized_face(1));
    EXPECT_EQ(SelectObject(dc.get(), sans.get()), mono.get());
    EXPECT_EQ(text_face(dc.get()), realized_face(0));
    EXPECT_EQ(SelectObject(dc.get(), initial), sans.get());
}

TEST_F(Handles, AContextIsDeletedOnce) {
    HDC dc = CreateCompatibleDC(nullptr);
    ASSERT_NE(dc, nullptr);
    EXPECT_NE(DeleteDC(dc), FALSE);
    EXPECT_EQ(DeleteDC(dc), FALSE);
}

TEST_F(Handles, AFontIsDeletedOnce) {
    const LOGFONTA logfont = family_logfont(0);
    HFONT font = CreateFontIndirectA(&logfont);
    ASSERT_NE(font, nullptr);
    EXPECT_NE(DeleteObject(font), FALSE);
    EXPECT_EQ(DeleteObject(font), FALSE);
}

// A font deleted while selected stays usable there until it is deselected.
TEST_F(Handles, AFontDeletedWhileSelectedMeasuresUntilDeselected) {
    Dc dc;
    const LOGFONTA logfont = family_logfont(1);
    HFONT font = CreateFontIndirectA(&logfont);
    ASSERT_NE(font, nullptr);
    const HGDIOBJ initial = SelectObject(dc.get(), font);
    ASSERT_NE(initial, nullptr);
    ABCFLOAT before{}, after{};
    ASSERT_NE(GetCharABCWidthsFloatA(dc.get(), 'M', 'M', &before), 0);

    EXPECT_NE(DeleteObject(font), FALSE);
    EXPECT_EQ(SelectObject(dc.get(), font), nullptr) << "no longer a live handle";
    EXPECT_EQ(text_face(dc.get()), realized_face(1));
    ASSERT_NE(GetCharABCWidthsFloatA(dc.get(), 'M', 'M', &after), 0);
    EXPECT_EQ(after.abcfA, before.abcfA);
    EXPECT_EQ(after.abcfB, before.abcfB);
    EXPECT_EQ(after.abcfC, before.abcfC);

    SelectObject(dc.get(), initial);
    // Deselected, it is gone.
    EXPECT_EQ(SelectObject(dc.get(), font), nullptr);
    EXPECT_EQ(DeleteObject(font), FALSE);
}

// A context deleted with a font selected leaves the font to its owner.
TEST_F(Handles, DeletingAContextLeavesItsSelectedFontAlive) {
    const LOGFONTA logfont = family_logfont(0);
    HFONT font = CreateFontIndirectA(&logfont);
    HDC dc = CreateCompatibleDC(nullptr);
    ASSERT_NE(SelectObject(dc, font), nullptr);
    EXPECT_NE(DeleteDC(dc), FALSE);
    {
        Dc other;
        EXPECT_NE(SelectObject(other.get(), font), nullptr);
        EXPECT_EQ(text_face(other.get()), realized_face(0));
        EXPECT_EQ(SelectObject(other.get(), nullptr), nullptr);  // fails, leaves the font selected
        EXPECT_EQ(text_face(other.get()), realized_face(0));
    }
    EXPECT_NE(DeleteObject(font), FALSE);
}

// Many contexts and fonts, made and released in turn, stay apart.
TEST_F(Handles, ManyContextsAndFontsStayApart) {
    constexpr int kCount = 50;
    HDC dcs[kCount];
    HFONT fonts[kCount];
    for (int i = 0; i < kCount; ++i) {
        const LOGFONTA logfont = family_logfont(i % 2);
        fonts[i] = CreateFontIndirectA(&logfont);
        dcs[i] = CreateCompatibleDC(nullptr);
        ASSERT_NE(fonts[i], nullptr);
        ASSERT_NE(dcs[i], nullptr);
        ASSERT_NE(SelectObject(dcs[i], fonts[i]), nullptr);
    }
    for (int i = 0; i < kCount; ++i) {
        EXPECT_EQ(text_face(dcs[i]), realized_face(i % 2)) << i;
    }
    for (int i = 0; i < kCount; ++i) {
        EXPECT_NE(DeleteDC(dcs[i]), FALSE);
        EXPECT_NE(DeleteObject(fonts[i]), FALSE);
    }
}

}  // namespace
