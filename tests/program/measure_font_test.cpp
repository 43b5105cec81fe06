// Measuring one font, in-process over the fake: its rows, its failure lines,
// the codes it asks for, the calls it makes and the order it releases them in.

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "expected.h"
#include "fake_gdi.h"
#include "measure_font.h"

namespace {

using fake_gdi::Family;
using fake_gdi::Script;

std::string read_all(std::FILE *file) {
    std::fflush(file);
    std::rewind(file);
    std::string text;
    char buffer[4096];
    for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, file)) > 0;)
        text.append(buffer, got);
    return text;
}

// What one dump_metrics call wrote to the table and to standard output.
struct Measured {
    std::string table;
    std::string out;
};

// Calls dump_metrics for family `index` of the script set, as `font_type`, with
// standard output sent to a file of its own.
Measured measure(std::size_t index, DWORD font_type) {
    std::FILE *table = std::tmpfile();
    std::FILE *out = std::tmpfile();
    EXPECT_TRUE(table && out);
    if (!table || !out) return {};
    std::fflush(stdout);
    const int saved = ::dup(STDOUT_FILENO);
    ::dup2(::fileno(out), STDOUT_FILENO);

    dump_metrics(table, &fake_gdi::script().families.at(index).logfont, font_type);

    std::fflush(stdout);
    ::dup2(saved, STDOUT_FILENO);
    ::close(saved);
    Measured measured{read_all(table), read_all(out)};
    std::fclose(table);
    std::fclose(out);
    return measured;
}

Measured measure(std::size_t index) {
    return measure(index, fake_gdi::script().families.at(index).font_type);
}

Script one_family(Family family) {
    Script script;
    script.families.push_back(std::move(family));
    return script;
}

void expect_clean_release() {
    EXPECT_TRUE(fake_gdi::live_handles().empty())
        << ::testing::PrintToString(fake_gdi::live_handles());
    for (const fake_gdi::Call &call : fake_gdi::misuses())
        ADD_FAILURE() << "misuse: " << call.text();
}

std::vector<std::string> texts_of(const std::string &function) {
    std::vector<std::string> found;
    for (const fake_gdi::Call &call : fake_gdi::calls())
        if (call.function == function) found.push_back(call.text());
    return found;
}

// ---- rows

TEST(DumpMetrics, ARowForEveryCodeFrom32To127AndNothingPrinted) {
    fake_gdi::set_script(one_family(fake_gdi::make_family("Arial")));
    const Measured m = measure(0);
    EXPECT_EQ(m.table, expected::font_output(fake_gdi::script(), 0, TRUETYPE_FONTTYPE).rows);
    EXPECT_EQ(m.out, "");
    expect_clean_release();
}

TEST(DumpMetrics, AsksForCodes32To127OneAtATimeAndNoOther) {
    fake_gdi::set_script(one_family(fake_gdi::make_family("Arial")));
    measure(0);
    std::vector<std::string> asked;
    for (unsigned code = 32; code <= 127; ++code)
        asked.push_back("GetCharABCWidthsFloatA(dc#1, " + std::to_string(code) + ", " +
                        std::to_string(code) + ", abc) -> TRUE");
    EXPECT_EQ(texts_of("GetCharABCWidthsFloatA"), asked);
}

TEST(DumpMetrics, KeysCarryTheRawCharacter) {
    Family family = fake_gdi::make_family("Face");
    for (const unsigned code : {0x20u, 0x22u, 0x27u, 0x2cu, 0x5cu, 0x7fu})
        family.widths[code] = ABCFLOAT{1.0f, 2.0f, 3.0f};
    fake_gdi::set_script(one_family(family));
    const std::string table = measure(0).table;
    for (const char *row : {
             "\"Face (TT) -' '-0x20\",1.00,2.00,3.00,6.00\r\n",
             "\"Face (TT) -'\"'-0x22\",1.00,2.00,3.00,6.00\r\n",
             "\"Face (TT) -'''-0x27\",1.00,2.00,3.00,6.00\r\n",
             "\"Face (TT) -','-0x2c\",1.00,2.00,3.00,6.00\r\n",
             "\"Face (TT) -'\\'-0x5c\",1.00,2.00,3.00,6.00\r\n",
             "\"Face (TT) -'\x7f'-0x7f\",1.00,2.00,3.00,6.00\r\n",
         })
        EXPECT_NE(table.find(row), std::string::npos) << row;
}

TEST(DumpMetrics, AdvanceIsTheSumInDoubleRoundedOnceToFloat) {
    Family family = fake_gdi::make_family("Sum");
    family.widths[0x41] = ABCFLOAT{16777216.0f, 1.0f, 1.0f};  // in float: 16777216
    family.widths[0x42] = ABCFLOAT{0.125f, std::ldexp(1.0f, -30), 0.0f};  // unrounded: 0.13
    family.widths[0x43] =
        ABCFLOAT{9007199254740992.0f, 1.0f, -9007199254740992.0f};  // A + (B + C): 1
    family.widths[0x44] = ABCFLOAT{-0.004f, 0.0f, 0.0f};
    family.widths[0x45] = ABCFLOAT{0.004f, -0.009f, 0.0f};
    family.widths[0x46] = ABCFLOAT{-1.5f, 10.25f, -0.75f};
    fake_gdi::set_script(one_family(family));
    const std::string table = measure(0).table;
    for (const char *row : {
             "\"Sum (TT) -'A'-0x41\",16777216.00,1.00,1.00,16777218.00\r\n",
             "\"Sum (TT) -'B'-0x42\",0.12,0.00,0.00,0.12\r\n",
             "\"Sum (TT) -'C'-0x43\",9007199254740992.00,1.00,-9007199254740992.00,0.00\r\n",
             "\"Sum (TT) -'D'-0x44\",-0.00,0.00,0.00,-0.00\r\n",
             "\"Sum (TT) -'E'-0x45\",0.00,-0.01,0.00,-0.00\r\n",
             "\"Sum (TT) -'F'-0x46\",-1.50,10.25,-0.75,8.00\r\n",
         })
        EXPECT_NE(table.find(row), std::string::npos) << row;
}

// ---- the label

TEST(DumpMetrics, RowsAndFailuresAreKeyedByTheRealizedName) {
    Family family = fake_gdi::make_family("Enumerated");
    family.realized_name = "Realized Face";
    family.failing_codes = {0x41};
    fake_gdi::set_script(one_family(family));
    const Measured m = measure(0);
    EXPECT_EQ(m.out, "Failed to get character widths for face 'Realized Face (TT) '.\n");
    EXPECT_EQ(m.table.rfind("\"Realized Face (TT) -' '-0x20\",", 0), 0u) << m.table.substr(0, 80);
    EXPECT_EQ(m.table.find("Enumerated"), std::string::npos);
    EXPECT_EQ(m.table, expected::font_output(fake_gdi::script(), 0, TRUETYPE_FONTTYPE).rows);
}

TEST(DumpMetrics, TheEnumeratedNameStandsInWhereGetTextFaceFails) {
    Family family = fake_gdi::make_family("Enumerated");
    family.realized_name = "Never Asked";
    family.text_face_fails = true;
    family.failing_codes = {0x7e};
    fake_gdi::set_script(one_family(family));
    const Measured m = measure(0, RASTER_FONTTYPE);
    EXPECT_EQ(m.out, "Failed to get character widths for face 'Enumerated (RAS) '.\n");
    EXPECT_EQ(m.table, expected::font_output(fake_gdi::script(), 0, RASTER_FONTTYPE).rows);
    EXPECT_EQ(m.table.find("Never"), std::string::npos);
    expect_clean_release();
}

TEST(DumpMetrics, AThirtyOneByteNameWhereGetTextFaceFailsKeepsTheLongestTag) {
    const std::string name = "ThirtyOne Byte Enumerated Name!";
    ASSERT_EQ(name.size(), 31u);
    Family family = fake_gdi::make_family(name);
    family.text_face_fails = true;
    fake_gdi::set_script(one_family(family));
    const Measured m = measure(0, DEVICE_FONTTYPE);
    EXPECT_EQ(m.table.rfind("\"" + name + " (DEV) -' '-0x20\",", 0), 0u) << m.table.substr(0, 80);
    EXPECT_EQ(m.table, expected::font_output(fake_gdi::script(), 0, DEVICE_FONTTYPE).rows);
}

TEST(DumpMetrics, AThirtyOneByteRealizedNameKeepsTheLongestTag) {
    const std::string name(31, 'w');
    Family family = fake_gdi::make_family(name);
    fake_gdi::set_script(one_family(family));
    const Measured m = measure(0, RASTER_FONTTYPE | DEVICE_FONTTYPE);
    EXPECT_EQ(m.table.rfind("\"" + name + " (PLT) -' '-0x20\",", 0), 0u);
}

TEST(DumpMetrics, ALongRealizedNameIsCutForItsTag) {
    const std::string realized = "A Realized Face Name Far Longer Than Thirty-One Bytes";
    Family family = fake_gdi::make_family("Short");
    family.realized_name = realized;
    family.failing_codes = {0x30};
    fake_gdi::set_script(one_family(family));
    struct {
        DWORD type;
        std::string label;
    } const cases[] = {
        {0x0, realized.substr(0, 32) + " (RAS) "},
        {0xB, realized.substr(0, 32) + " (DEV) "},
        {0x4, realized.substr(0, 33) + " (TT) "},
        {0x5, realized.substr(0, 39)},
    };
    for (const auto &c : cases) {
        fake_gdi::set_script(one_family(family));
        const Measured m = measure(0, c.type);
        EXPECT_EQ(m.out, expected::failure_line(c.label));
        EXPECT_EQ(m.table.rfind(expected::key(c.label, 0x20) + ",", 0), 0u)
            << m.table.substr(0, 80);
        EXPECT_EQ(m.table, expected::font_output(fake_gdi::script(), 0, c.type).rows);
        expect_clean_release();
    }
}

TEST(DumpMetrics, AnEnumeratedNameStandingInIsCutAtItsThirtyFirstByteAndMadePrintable) {
    // A LOGFONTA whose lfFaceName fills its 32 bytes with no terminator.
    Family family = fake_gdi::make_family("Unterminated");
    std::memset(family.logfont.lfFaceName, 'n', LF_FACESIZE);
    family.logfont.lfFaceName[4] = '\t';
    family.text_face_fails = true;
    family.failing_codes = {0x41};
    fake_gdi::set_script(one_family(family));
    const Measured m = measure(0, TRUETYPE_FONTTYPE);
    const std::string label = "nnnn?" + std::string(26, 'n') + " (TT) ";
    EXPECT_EQ(m.out, expected::failure_line(label));
    EXPECT_EQ(m.table.rfind(expected::key(label, 0x20) + ",", 0), 0u) << m.table.substr(0, 80);
    expect_clean_release();
}

// ---- failures

TEST(DumpMetrics, AFailingCodeGivesAFailureLineAndNoRow) {
    Family family = fake_gdi::make_family("Arial");
    family.failing_codes = {0x41};
    fake_gdi::set_script(one_family(family));
    const Measured m = measure(0);
    EXPECT_EQ(m.out, "Failed to get character widths for face 'Arial (TT) '.\n");
    EXPECT_EQ(m.table.find("-0x41\""), std::string::npos);
    EXPECT_NE(m.table.find("-0x40\""), std::string::npos);
    EXPECT_NE(m.table.find("-0x42\""), std::string::npos);
    EXPECT_EQ(m.table, expected::font_output(fake_gdi::script(), 0, TRUETYPE_FONTTYPE).rows);
    expect_clean_release();
}

TEST(DumpMetrics, TheFirstAndLastCodesCanFail) {
    Family family = fake_gdi::make_family("Edges");
    family.failing_codes = {32, 127};
    fake_gdi::set_script(one_family(family));
    const Measured m = measure(0);
    EXPECT_EQ(m.out, expected::failure_line("Edges (TT) ") + expected::failure_line("Edges (TT) "));
    EXPECT_EQ(m.table, expected::font_output(fake_gdi::script(), 0, TRUETYPE_FONTTYPE).rows);
}

TEST(DumpMetrics, EveryCodeFailingGivesNinetySixLinesAndTheNextFontIsMeasured) {
    Script script;
    script.families.push_back(fake_gdi::make_family("Broken", RASTER_FONTTYPE));
    script.families.back().all_codes_fail = true;
    script.families.push_back(fake_gdi::make_family("Sound"));
    fake_gdi::set_script(script);

    const Measured broken = measure(0);
    std::string ninety_six;
    for (int i = 0; i < 96; ++i)
        ninety_six += "Failed to get character widths for face 'Broken (RAS) '.\n";
    EXPECT_EQ(broken.out, ninety_six);
    EXPECT_EQ(broken.table, "");
    expect_clean_release();

    const Measured sound = measure(1);
    EXPECT_EQ(sound.out, "");
    EXPECT_EQ(sound.table, expected::font_output(script, 1, TRUETYPE_FONTTYPE).rows);
    expect_clean_release();
}

// ---- the calls, and their release

TEST(DumpMetrics, MakesItsOwnContextAndFontAndReleasesThemInOrder) {
    Family family = fake_gdi::make_family("Arial");
    family.realized_name = "Arial Realized";
    fake_gdi::set_script(one_family(family));
    measure(0);
    const std::vector<std::string> calls = fake_gdi::call_texts();
    ASSERT_EQ(calls.size(), 4u + 96u + 3u);
    EXPECT_EQ(calls[0], "CreateCompatibleDC(NULL) -> dc#1");
    EXPECT_EQ(calls[1], "CreateFontIndirectA(\"Arial\") -> font#1");
    EXPECT_EQ(calls[2], "SelectObject(dc#1, font#1) -> stock-font");
    EXPECT_EQ(calls[3], "GetTextFaceA(dc#1, 40, buf) -> 14 \"Arial Realized\"");
    EXPECT_EQ(calls[100], "SelectObject(dc#1, stock-font) -> font#1");
    EXPECT_EQ(calls[101], "DeleteObject(font#1) -> TRUE");
    EXPECT_EQ(calls[102], "DeleteDC(dc#1) -> TRUE");
    expect_clean_release();
}

TEST(DumpMetrics, ReleasesEverythingWhenGetTextFaceAndEveryCodeFail) {
    Family family = fake_gdi::make_family("Arial");
    family.text_face_fails = true;
    family.all_codes_fail = true;
    fake_gdi::set_script(one_family(family));
    measure(0);
    const std::vector<std::string> calls = fake_gdi::call_texts();
    ASSERT_EQ(calls.size(), 103u);
    EXPECT_EQ(calls[3], "GetTextFaceA(dc#1, 40, buf) -> 0 (scripted failure)");
    EXPECT_EQ(calls[100], "SelectObject(dc#1, stock-font) -> font#1");
    EXPECT_EQ(calls[101], "DeleteObject(font#1) -> TRUE");
    EXPECT_EQ(calls[102], "DeleteDC(dc#1) -> TRUE");
    expect_clean_release();
}

TEST(DumpMetrics, NoHandleLeaksOverManyFonts) {
    Script script;
    for (int i = 0; i < 20; ++i) {
        script.families.push_back(
            fake_gdi::make_family("Family " + std::to_string(i), static_cast<DWORD>(i)));
        if (i % 3 == 0) script.families.back().all_codes_fail = true;
        if (i % 4 == 0) script.families.back().text_face_fails = true;
    }
    fake_gdi::set_script(script);
    for (std::size_t i = 0; i < script.families.size(); ++i) {
        measure(i);
        expect_clean_release();
    }
    EXPECT_EQ(texts_of("CreateCompatibleDC").size(), 20u);
    EXPECT_EQ(texts_of("CreateFontIndirectA").size(), 20u);
    EXPECT_EQ(texts_of("DeleteDC").size(), 20u);
    EXPECT_EQ(texts_of("DeleteObject").size(), 20u);
}

}  // namespace
