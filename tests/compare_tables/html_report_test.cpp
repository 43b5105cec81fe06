#include "html_report.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

TEST(HtmlReport, ShowsWindows1252BytesAsEscapedUtf8) {
    const std::pair<const char *, const char *> cases[] = {
        {"Sans", "Sans"},
        {"\"&<>'", "&quot;&amp;&lt;&gt;&#39;"},
        {"Caf\xe9", "Caf\xc3\xa9"},
        {"\x80\x8a\x9f", "\xe2\x82\xac\xc5\xa0\xc5\xb8"},
        {"\xa0\xff", "\xc2\xa0\xc3\xbf"},
        // Bytes the code page leaves undefined, and control bytes, stay visible.
        {"\x81\x8d\x8f\x90\x9d", "\\x81\\x8D\\x8F\\x90\\x9D"},
        {"a\x01\x7f", "a\\x01\\x7F"},
    };
    for (const auto &[bytes, html] : cases) EXPECT_EQ(html_of_windows1252(bytes), html) << bytes;
}

TEST(HtmlReport, ClassesADifferenceByWhatAndHowMuch) {
    const struct {
        std::array<std::string, 4> first;
        std::array<std::string, 4> second;
        const char *expected;
    } cases[] = {
        {{"2.00", "17.00", "2.00", "21.00"}, {"2.00", "18.00", "2.00", "22.00"}, "v1"},
        {{"2.00", "17.00", "2.00", "21.00"}, {"2.00", "17.50", "2.00", "25.00"}, "v3"},
        {{"2.00", "17.00", "2.00", "21.00"}, {"1.00", "20.00", "0.00", "21.00"}, "b2"},
        {{"2.00", "17.00", "2.00", "21.00"}, {"2.00", "13.00", "6.00", "21.00"}, "b3"},
        {{"0.00", "17.00", "2.00", "19.00"}, {"-0.00", "17.00", "2.00", "19.00"}, "s1"},
        {{"0.00", "17.00", "2.00", "19.00"}, {"1.50", "17.00", "0.50", "19.00"}, "s2"},
    };
    for (const auto &c : cases) {
        RowDifference difference{"key", "Sans (TT) ", 0x41, c.first, c.second, {}};
        for (std::size_t k = 0; k < 4; ++k) difference.differs[k] = c.first[k] != c.second[k];
        EXPECT_EQ(difference_class(difference), c.expected) << c.first[1] << " " << c.second[1];
    }
}

WidthTable table_of(const std::string &rows) {
    std::istringstream in("lfFaceName, abcfA, abcfB, abcfC, Advance\r\n" + rows);
    return read_table(in, "t.csv");
}

std::string row(const std::string &face, unsigned code, const char *numbers) {
    char key[16];
    std::snprintf(key, sizeof key, "-'%c'-0x%02x\",", static_cast<char>(code), code);
    return "\"" + face + " (TT) " + key + numbers + "\n";
}

TEST(HtmlReport, DrawsOnlyTheDifferingFontsMostDifferingFirst) {
    const std::string first =
        row("Mono", 0x41, "0.00,19.00,0.00,19.00") + row("Sans", 0x26, "1.00,20.00,1.00,22.00") +
        row("Sans", 0x3c, "3.00,21.00,3.00,27.00") + row("Same", 0x41, "0.00,22.00,0.00,22.00");
    const std::string second =
        row("Mono", 0x41, "0.00,20.00,-1.00,19.00") + row("Sans", 0x26, "1.00,20.00,1.00,23.00") +
        row("Sans", 0x3c, "3.00,22.00,3.00,28.00") + row("Same", 0x41, "0.00,22.00,0.00,22.00") +
        row("Caf\xe9", 0x41, "0.00,22.00,0.00,22.00");
    const std::string page =
        html_report(compare_tables(table_of(first), table_of(second), {}), {{"1.csv", "2.csv"}});
    const std::size_t sans = page.find("<a href=\"#f1\">Sans (TT) </a>");
    const std::size_t mono = page.find("<a href=\"#f2\">Mono (TT) </a>");
    ASSERT_NE(sans, std::string::npos);
    ASSERT_NE(mono, std::string::npos);
    EXPECT_LT(sans, mono);
    for (const char *anchor : {"href=\"#f1-26\"", "id=\"f1-26\"", "id=\"f1-3c\"", "id=\"f2-41\""})
        EXPECT_NE(page.find(anchor), std::string::npos) << anchor;
    EXPECT_EQ(page.find("Same (TT) "), std::string::npos) << "an equal font is left out";
    EXPECT_NE(page.find("<li>Caf\xc3\xa9 (TT) "), std::string::npos) << "a font only in one";
    EXPECT_EQ(page.find("://"), std::string::npos) << "nothing fetched";
}

TEST(HtmlReport, DrawsAtMostTheCappedRowsAndStillShowsEveryFont) {
    std::string first;
    std::string second;
    // Whole fonts of 96 rows are drawn until the cap is reached.
    const std::size_t drawn = (kMaxDrawnRows + 95) / 96;
    const std::size_t fonts = drawn + 2;
    for (std::size_t f = 0; f < fonts; ++f) {
        for (unsigned code = 0x20; code < 0x80; ++code) {
            first += row("F" + std::to_string(f), code, "0.00,10.00,0.00,10.00");
            second += row("F" + std::to_string(f), code, "0.00,11.00,0.00,11.00");
        }
    }
    const std::string page = html_report(compare_tables(table_of(first), table_of(second), {}), {});
    EXPECT_NE(page.find("id=\"f" + std::to_string(drawn) + "-7f\""), std::string::npos);
    EXPECT_EQ(page.find("id=\"f" + std::to_string(drawn + 1) + "-"), std::string::npos);
    // By name, F8 and F9 come last among fonts that differ as much.
    EXPECT_NE(page.find("<tr><th title=\"F9 (TT) \">F9 (TT) <td"), std::string::npos)
        << "an undrawn font in the overview, without a link";
    EXPECT_NE(page.find("Not drawn: 2 more families with 192 differing rows"), std::string::npos);
}

}  // namespace
