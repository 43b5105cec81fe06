// The fake keeps the contract of gdi/gdi.h, its log names every call and
// misuse, and its script reads back as written. What the calls answer for
// handles that are not live is tested once for both implementations, in
// tests/handles/handles_test.cpp; here, how the fake logs them.

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include <unistd.h>

#include <gtest/gtest.h>

#include "fake_gdi.h"

namespace {

using fake_gdi::Family;
using fake_gdi::Script;

bool same_bits(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; }

Script two_families() {
    Script script;
    Family arial = fake_gdi::make_family("Arial", TRUETYPE_FONTTYPE);
    arial.realized_name = "Arial Realized";
    arial.widths[65] = ABCFLOAT{1.0f, 2.0f, 3.0f};
    arial.failing_codes.insert(66);
    script.families.push_back(arial);
    Family courier = fake_gdi::make_family("Courier", RASTER_FONTTYPE | 0x100);
    courier.text_face_fails = true;
    script.families.push_back(courier);
    return script;
}

struct Seen {
    std::vector<std::string> faces;
    std::vector<DWORD> types;
    int stop_after = -1;  // return 0 from this callback on (counting from 0)
};

int CALLBACK record(const LOGFONTA *lf, const TEXTMETRICA *, DWORD type, LPARAM lparam) {
    auto *seen = reinterpret_cast<Seen *>(lparam);
    seen->faces.emplace_back(lf->lfFaceName);
    seen->types.push_back(type);
    return static_cast<int>(seen->faces.size()) - 1 == seen->stop_after ? 0 : 1;
}

class FakeGdi : public ::testing::Test {
protected:
    void SetUp() override { fake_gdi::set_script(two_families()); }
};

TEST_F(FakeGdi, EnumeratesEveryFamilyInOrderWithItsType) {
    HDC dc = CreateCompatibleDC(nullptr);
    ASSERT_NE(dc, nullptr);
    Seen seen;
    EXPECT_EQ(EnumFontFamiliesA(dc, nullptr, record, reinterpret_cast<LPARAM>(&seen)), 1);
    EXPECT_EQ(seen.faces, (std::vector<std::string>{"Arial", "Courier"}));
    EXPECT_EQ(seen.types, (std::vector<DWORD>{TRUETYPE_FONTTYPE, RASTER_FONTTYPE | 0x100}));
    EXPECT_TRUE(DeleteDC(dc));
    EXPECT_TRUE(fake_gdi::live_handles().empty());
    EXPECT_TRUE(fake_gdi::misuses().empty());
}

TEST_F(FakeGdi, EnumerationStopsWhenTheCallbackReturnsZero) {
    HDC dc = CreateCompatibleDC(nullptr);
    Seen seen;
    seen.stop_after = 0;
    EXPECT_EQ(EnumFontFamiliesA(dc, nullptr, record, reinterpret_cast<LPARAM>(&seen)), 0);
    EXPECT_EQ(seen.faces.size(), 1u);
    DeleteDC(dc);
}

TEST_F(FakeGdi, EnumerationOfOneFamilyByName) {
    HDC dc = CreateCompatibleDC(nullptr);
    Seen seen;
    EXPECT_EQ(EnumFontFamiliesA(dc, "courier", record, reinterpret_cast<LPARAM>(&seen)), 1);
    EXPECT_EQ(seen.faces, (std::vector<std::string>{"Courier"}));
    DeleteDC(dc);
}

TEST(FakeGdiEmpty, NoFamilyGivesOneAndNoCallback) {
    fake_gdi::set_script(Script{});
    HDC dc = CreateCompatibleDC(nullptr);
    Seen seen;
    EXPECT_EQ(EnumFontFamiliesA(dc, nullptr, record, reinterpret_cast<LPARAM>(&seen)), 1);
    EXPECT_TRUE(seen.faces.empty());
    DeleteDC(dc);
}

TEST_F(FakeGdi, BadContextsAreLoggedAsMisuse) {
    Seen seen;
    EnumFontFamiliesA(nullptr, nullptr, record, reinterpret_cast<LPARAM>(&seen));
    HDC dc = CreateCompatibleDC(nullptr);
    ASSERT_TRUE(DeleteDC(dc));
    DeleteDC(dc);  // released
    EnumFontFamiliesA(dc, nullptr, record, reinterpret_cast<LPARAM>(&seen));
    char face[8] = "keep";
    GetTextFaceA(dc, 8, face);
    ABCFLOAT abc{};
    GetCharABCWidthsFloatA(dc, 65, 65, &abc);
    EXPECT_EQ(CreateCompatibleDC(dc), nullptr);
    EXPECT_EQ(fake_gdi::misuses().size(), 6u);
    EXPECT_EQ(fake_gdi::misuses()[1].text(), "DeleteDC(dc#1(released)) -> FALSE [misuse]");
}

TEST_F(FakeGdi, HandlesOfTheWrongKindAreLoggedAsMisuse) {
    HDC dc = CreateCompatibleDC(nullptr);
    HFONT font = CreateFontIndirectA(&fake_gdi::script().families[0].logfont);
    ASSERT_NE(font, nullptr);
    SelectObject(reinterpret_cast<HDC>(font), font);
    SelectObject(dc, dc);
    DeleteObject(dc);
    DeleteDC(reinterpret_cast<HDC>(font));
    SelectObject(dc, reinterpret_cast<HGDIOBJ>(std::uintptr_t{0x1234}));
    EXPECT_EQ(fake_gdi::misuses().size(), 5u);
    EXPECT_EQ(fake_gdi::live_handles(), (std::vector<std::string>{"dc#1", "font#1"}));
    EXPECT_TRUE(DeleteObject(font));
    EXPECT_TRUE(DeleteDC(dc));
    EXPECT_TRUE(fake_gdi::live_handles().empty());
}

TEST_F(FakeGdi, ANewContextHasTheStockFont) {
    HDC dc = CreateCompatibleDC(nullptr);
    char face[LF_FACESIZE] = "";
    EXPECT_EQ(GetTextFaceA(dc, LF_FACESIZE, face), 6);
    EXPECT_STREQ(face, fake_gdi::kStockFaceName);
    ABCFLOAT abc{};
    ASSERT_TRUE(GetCharABCWidthsFloatA(dc, 65, 65, &abc));
    const ABCFLOAT expected = fake_gdi::default_widths(0, 65);
    EXPECT_TRUE(same_bits(abc.abcfB, expected.abcfB));
    DeleteDC(dc);
}

TEST_F(FakeGdi, TheStockFontOutlivesItsDeleteAndNoHandleOutlivesItsRelease) {
    HDC dc = CreateCompatibleDC(nullptr);
    HFONT font = CreateFontIndirectA(&fake_gdi::script().families[0].logfont);
    HGDIOBJ previous = SelectObject(dc, font);
    ASSERT_NE(previous, nullptr);
    EXPECT_TRUE(DeleteObject(font));  // still selected: stays usable there
    char face[LF_FACESIZE] = "";
    EXPECT_EQ(GetTextFaceA(dc, LF_FACESIZE, face), 14);
    EXPECT_STREQ(face, "Arial Realized");
    EXPECT_EQ(SelectObject(dc, previous), static_cast<HGDIOBJ>(font));
    EXPECT_TRUE(DeleteObject(previous));  // the stock font: harmless
    EXPECT_EQ(GetTextFaceA(dc, LF_FACESIZE, face), 6);
    EXPECT_TRUE(DeleteDC(dc));
    EXPECT_TRUE(fake_gdi::live_handles().empty());
}

TEST_F(FakeGdi, DeletingTheContextReleasesAFontDeletedWhileSelected) {
    HDC dc = CreateCompatibleDC(nullptr);
    HFONT font = CreateFontIndirectA(&fake_gdi::script().families[0].logfont);
    SelectObject(dc, font);
    DeleteObject(font);
    EXPECT_EQ(fake_gdi::live_handles(), (std::vector<std::string>{"dc#1"}));
    DeleteDC(dc);
    EXPECT_TRUE(fake_gdi::live_handles().empty());
    EXPECT_FALSE(DeleteObject(font));
}

TEST_F(FakeGdi, AFontLeftUndeletedIsLive) {
    HDC dc = CreateCompatibleDC(nullptr);
    HFONT font = CreateFontIndirectA(&fake_gdi::script().families[0].logfont);
    SelectObject(dc, font);
    DeleteDC(dc);
    EXPECT_EQ(fake_gdi::live_handles(), (std::vector<std::string>{"font#1"}));
}

TEST_F(FakeGdi, GetTextFaceCopiesAtMostCountMinusOneBytes) {
    HDC dc = CreateCompatibleDC(nullptr);
    HFONT font = CreateFontIndirectA(&fake_gdi::script().families[0].logfont);
    HGDIOBJ previous = SelectObject(dc, font);
    char face[8];
    std::memset(face, 'x', sizeof face);
    EXPECT_EQ(GetTextFaceA(dc, 6, face), 5);
    EXPECT_STREQ(face, "Arial");
    EXPECT_EQ(face[6], 'x');
    EXPECT_EQ(GetTextFaceA(dc, 0, face), 0);
    EXPECT_EQ(GetTextFaceA(dc, 0, nullptr), 15);  // the size the name needs
    SelectObject(dc, previous);
    DeleteObject(font);
    DeleteDC(dc);
}

TEST_F(FakeGdi, GetTextFaceFailsWhereScriptedAndLeavesTheBuffer) {
    HDC dc = CreateCompatibleDC(nullptr);
    HFONT font = CreateFontIndirectA(&fake_gdi::script().families[1].logfont);
    HGDIOBJ previous = SelectObject(dc, font);
    char face[LF_FACESIZE] = "before";
    EXPECT_EQ(GetTextFaceA(dc, LF_FACESIZE, face), 0);
    EXPECT_STREQ(face, "before");
    EXPECT_TRUE(fake_gdi::misuses().empty());
    SelectObject(dc, previous);
    DeleteObject(font);
    DeleteDC(dc);
}

TEST_F(FakeGdi, FontsMatchTheirFamilyByRecordThenByName) {
    HDC dc = CreateCompatibleDC(nullptr);
    LOGFONTA lf = fake_gdi::script().families[0].logfont;
    lf.lfHeight = -40;
    std::strcpy(lf.lfFaceName, "ARIAL");
    HFONT font = CreateFontIndirectA(&lf);
    HGDIOBJ previous = SelectObject(dc, font);
    char face[LF_FACESIZE] = "";
    GetTextFaceA(dc, LF_FACESIZE, face);
    EXPECT_STREQ(face, "Arial Realized");
    SelectObject(dc, previous);
    DeleteObject(font);

    std::strcpy(lf.lfFaceName, "Nowhere");
    font = CreateFontIndirectA(&lf);
    previous = SelectObject(dc, font);
    GetTextFaceA(dc, LF_FACESIZE, face);
    EXPECT_STREQ(face, fake_gdi::kStockFaceName);
    SelectObject(dc, previous);
    DeleteObject(font);
    EXPECT_EQ(CreateFontIndirectA(nullptr), nullptr);
    DeleteDC(dc);
}

TEST_F(FakeGdi, WidthsAreChosenFailingOrDefault) {
    HDC dc = CreateCompatibleDC(nullptr);
    HFONT font = CreateFontIndirectA(&fake_gdi::script().families[0].logfont);
    HGDIOBJ previous = SelectObject(dc, font);

    ABCFLOAT abc{};
    ASSERT_TRUE(GetCharABCWidthsFloatA(dc, 65, 65, &abc));
    EXPECT_EQ(abc.abcfA, 1.0f);
    EXPECT_EQ(abc.abcfB, 2.0f);
    EXPECT_EQ(abc.abcfC, 3.0f);

    abc = ABCFLOAT{9.0f, 9.0f, 9.0f};
    EXPECT_FALSE(GetCharABCWidthsFloatA(dc, 66, 66, &abc));
    EXPECT_EQ(abc.abcfA, 9.0f);

    ASSERT_TRUE(GetCharABCWidthsFloatA(dc, 67, 67, &abc));
    const ABCFLOAT expected = fake_gdi::default_widths(1, 67);
    EXPECT_TRUE(same_bits(abc.abcfA, expected.abcfA));
    EXPECT_TRUE(same_bits(abc.abcfB, expected.abcfB));
    EXPECT_TRUE(same_bits(abc.abcfC, expected.abcfC));

    ABCFLOAT range[3] = {};
    EXPECT_FALSE(GetCharABCWidthsFloatA(dc, 65, 67, range));  // 66 fails
    EXPECT_EQ(range[0].abcfA, 0.0f);
    ABCFLOAT two[2] = {};
    EXPECT_TRUE(GetCharABCWidthsFloatA(dc, 64, 65, two));
    EXPECT_EQ(two[1].abcfB, 2.0f);

    EXPECT_FALSE(GetCharABCWidthsFloatA(dc, 66, 65, &abc));
    EXPECT_FALSE(GetCharABCWidthsFloatA(dc, 256, 256, &abc));
    EXPECT_FALSE(GetCharABCWidthsFloatA(dc, 65, 65, nullptr));
    EXPECT_TRUE(fake_gdi::misuses().empty());

    SelectObject(dc, previous);
    DeleteObject(font);
    DeleteDC(dc);
}

TEST_F(FakeGdi, LogNamesHandlesAndResults) {
    HDC dc = CreateCompatibleDC(nullptr);
    HFONT font = CreateFontIndirectA(&fake_gdi::script().families[0].logfont);
    HGDIOBJ previous = SelectObject(dc, font);
    SelectObject(dc, previous);
    DeleteObject(font);
    DeleteDC(dc);
    EXPECT_EQ(fake_gdi::call_texts(), (std::vector<std::string>{
                                          "CreateCompatibleDC(NULL) -> dc#1",
                                          "CreateFontIndirectA(\"Arial\") -> font#1",
                                          "SelectObject(dc#1, font#1) -> stock-font",
                                          "SelectObject(dc#1, stock-font) -> font#1",
                                          "DeleteObject(font#1) -> TRUE",
                                          "DeleteDC(dc#1) -> TRUE",
                                      }));
}

TEST_F(FakeGdi, HandlesOfAnEarlierScriptAreNeverLive) {
    HDC dc = CreateCompatibleDC(nullptr);
    fake_gdi::set_script(two_families());
    EXPECT_TRUE(fake_gdi::calls().empty());
    EXPECT_FALSE(DeleteDC(dc));
    HDC again = CreateCompatibleDC(nullptr);
    EXPECT_NE(again, dc);
    DeleteDC(again);
}

// ---- the script's text

Script odd_script() {
    Script script;
    script.fclose_error = 28;
    Family a = fake_gdi::make_family(" lead\\ \"quoted\" \x7f\xe9\r", 0xFFFFFFFFu);
    a.realized_name = std::string(60, 'R') + "\n";
    a.text_face_fails = true;
    a.failing_codes = {32, 127, 300};
    a.widths[34] = ABCFLOAT{-0.004f, 0.1f, -0.0f};
    a.widths[0x7f] = ABCFLOAT{16777216.0f, 1e-30f, -3.5f};
    a.logfont.lfCharSet = SYMBOL_CHARSET;
    a.metrics.tmCharSet = SYMBOL_CHARSET;
    script.families.push_back(a);
    Family b = fake_gdi::make_family("", 0);
    b.all_codes_fail = true;
    b.realized_name = "";
    b.raise_signal = 15;
    script.families.push_back(b);
    script.families.push_back(fake_gdi::make_family("Plain"));
    return script;
}

TEST(FakeGdiScript, TextReadsBackAsWritten) {
    const Script script = odd_script();
    const std::string text = fake_gdi::format_script(script);
    EXPECT_EQ(fake_gdi::parse_script(text), script) << text;
}

TEST(FakeGdiScript, HandWrittenScript) {
    const Script script = fake_gdi::parse_script(
        "# a comment\r\n"
        "\n"
        "family Times New Roman\n"
        "realized Times New Roman Realized\\x21\n"
        "type 0x14\n"
        "fail 0x41\n"
        "width 66 -0.004 0x1p-3 1e1\n"
        "family Empty\n"
        "fail all\n"
        "textface fails\n");
    ASSERT_EQ(script.families.size(), 2u);
    const Family &times = script.families[0];
    EXPECT_EQ(times.enumerated_name(), "Times New Roman");
    EXPECT_EQ(times.realized(), "Times New Roman Realized!");
    EXPECT_EQ(times.font_type, 0x14u);
    EXPECT_EQ(times.failing_codes, (std::set<unsigned>{0x41}));
    EXPECT_EQ(times.widths.at(66).abcfA, -0.004f);
    EXPECT_EQ(times.widths.at(66).abcfB, 0.125f);
    EXPECT_EQ(times.widths.at(66).abcfC, 10.0f);
    EXPECT_TRUE(script.families[1].all_codes_fail);
    EXPECT_TRUE(script.families[1].text_face_fails);
    EXPECT_FALSE(fake_gdi::scripted_widths(script, 0, 0x41).has_value());
    EXPECT_TRUE(fake_gdi::scripted_widths(script, 0, 0x42).has_value());
}

TEST(FakeGdiScript, MistakesNameTheirLine) {
    const char *const bad[] = {
        "type 4\n",  // before any family
        "family A\ntype four\n",  //
        "family A\nfail -1\n",  //
        "family A\nwidth 65 1 2\n",  //
        "family A\nwidth 65 1 2 x\n",  //
        "family A\nfrobnicate\n",  //
        "family A\ntextface works\n",  //
        "family A\ncharset 256\n",  //
        "family 0123456789012345678901234567890123\n",  // longer than 31 bytes
        "family bad \\q escape\n",  //
        "family A\nfclose-error 5\n",  // after a family
    };
    for (const char *text : bad) {
        try {
            fake_gdi::parse_script(text);
            ADD_FAILURE() << "accepted: " << text;
        } catch (const std::runtime_error &error) {
            EXPECT_NE(std::string(error.what()).find("line "), std::string::npos) << error.what();
        }
    }
}

TEST(FakeGdiScript, LoadsFromTheFileTheEnvironmentNames) {
    const std::filesystem::path path =
        std::filesystem::temp_directory_path() /
        ("fake_gdi_test_script_" + std::to_string(::getpid()) + ".txt");
    fake_gdi::write_script_file(path.string(), odd_script());
    ASSERT_EQ(::setenv(fake_gdi::kScriptVariable, path.c_str(), 1), 0);
    fake_gdi::load_script_from_environment();
    EXPECT_EQ(fake_gdi::script(), odd_script());
    ::unsetenv(fake_gdi::kScriptVariable);
    fake_gdi::load_script_from_environment();
    EXPECT_TRUE(fake_gdi::script().families.empty());
    std::filesystem::remove(path);
    EXPECT_THROW(fake_gdi::load_script_file(path.string()), std::runtime_error);
}

}  // namespace
