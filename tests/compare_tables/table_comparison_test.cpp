#include "table_comparison.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

// A table from its rows alone, one per line.
WidthTable table_of(const std::string &rows) {
    std::istringstream in("lfFaceName, abcfA, abcfB, abcfC, Advance\r\n" + rows);
    return read_table(in, "t.csv");
}

const char kSansA[] = "\"Sans (TT) -'A'-0x41\",0.00,22.00,0.00,22.00\n";
const char kSansB[] = "\"Sans (TT) -'B'-0x42\",2.00,17.00,2.00,21.00\n";
const char kSansBWider[] = "\"Sans (TT) -'B'-0x42\",2.00,18.00,1.00,21.00\n";
const char kMonoA[] = "\"Mono (TT) -'A'-0x41\",0.00,19.00,0.00,19.00\n";
const char kMonoAShifted[] = "\"Mono (TT) -'A'-0x41\",-0.00,19.00,0.00,19.00\n";
const char kTahomaA[] = "\"Tahoma (TT) -'A'-0x41\",0.00,21.00,0.00,21.00\n";

struct Expected {
    std::size_t rows_in_both;
    std::size_t equal_rows;
    std::array<std::size_t, 2> fonts_only_in;
    std::array<std::size_t, 2> rows_only_in;
    std::array<std::size_t, 4> differing_by_kind;
    bool agree;  // at --min-equal 100
};

struct ComparisonCase {
    const char *name;
    std::string first;
    std::string second;
    CompareOptions options;
    Expected expected;
};

const ComparisonCase kCases[] = {
    {"same rows in another order",
     std::string(kSansA) + kSansB + kMonoA,
     std::string(kMonoA) + kSansB + kSansA,
     {},
     {3, 3, {0, 0}, {0, 0}, {0, 0, 0, 0}, true}},
    {"B and C differ, advance the same",
     std::string(kSansA) + kSansB,
     std::string(kSansA) + kSansBWider,
     {},
     {2, 1, {0, 0}, {0, 0}, {0, 1, 1, 0}, false}},
    {"the sign of a zero is a difference",
     kMonoA,
     kMonoAShifted,
     {},
     {1, 0, {0, 0}, {0, 0}, {1, 0, 0, 0}, false}},
    {"a font only in the second",
     kSansA,
     std::string(kSansA) + kMonoA,
     {},
     {1, 1, {0, 1}, {0, 0}, {0, 0, 0, 0}, false}},
    {"a font only in the second, common families only",
     kSansA,
     std::string(kSansA) + kMonoA,
     {false, true, {}, {}},
     {1, 1, {0, 1}, {0, 0}, {0, 0, 0, 0}, true}},
    {"a row only in the first is not let pass",
     std::string(kSansA) + kSansB,
     kSansA,
     {false, true, {}, {}},
     {1, 1, {0, 0}, {1, 0}, {0, 0, 0, 0}, false}},
    {"repeats pair with repeats",
     std::string(kSansA) + kSansA,
     std::string(kSansA) + kSansA,
     {},
     {2, 2, {0, 0}, {0, 0}, {0, 0, 0, 0}, true}},
    {"a family repeated per character set",
     std::string(kSansA) + kSansB + kSansA + kSansB,
     std::string(kSansA) + kSansB,
     {},
     {2, 2, {0, 0}, {2, 0}, {0, 0, 0, 0}, false}},
    {"repeats dropped",
     std::string(kSansA) + kSansB + kSansA + kSansB,
     std::string(kSansA) + kSansB,
     {true, false, {}, {}},
     {2, 2, {0, 0}, {0, 0}, {0, 0, 0, 0}, true}},
    {"the first of differing repeats is kept",
     std::string(kSansBWider) + kSansB,
     std::string(kSansB),
     {true, false, {}, {}},
     {1, 0, {0, 0}, {0, 0}, {0, 1, 1, 0}, false}},
    {"an ignored family by name",
     std::string(kSansA) + kTahomaA,
     kSansA,
     {false, false, {"Tahoma"}, {}},
     {1, 1, {0, 0}, {0, 0}, {0, 0, 0, 0}, true}},
    {"an ignored family by label",
     std::string(kSansA) + kTahomaA,
     std::string(kSansBWider) + kSansA,
     {false, false, {"Tahoma (TT) ", "Sans"}, {}},
     {0, 0, {0, 0}, {0, 0}, {0, 0, 0, 0}, false}},
    {"a family name is not a prefix match",
     std::string(kSansA),
     kSansA,
     {false, false, {"San"}, {}},
     {1, 1, {0, 0}, {0, 0}, {0, 0, 0, 0}, true}},
    {"an ignored code, in both tables",
     std::string(kSansA) + kSansB + kMonoA,
     std::string(kSansA) + kSansBWider,
     {false, true, {}, {0x42}},
     {1, 1, {1, 0}, {0, 0}, {0, 0, 0, 0}, true}},
    {"no rows", "", "", {}, {0, 0, {0, 0}, {0, 0}, {0, 0, 0, 0}, false}},
};

TEST(CompareTables, CountsByFontRowAndKind) {
    for (const ComparisonCase &c : kCases) {
        SCOPED_TRACE(c.name);
        const Comparison result = compare_tables(table_of(c.first), table_of(c.second), c.options);
        const Expected &e = c.expected;
        EXPECT_EQ(result.rows_in_both, e.rows_in_both);
        EXPECT_EQ(result.equal_rows, e.equal_rows);
        for (std::size_t t = 0; t < 2; ++t) {
            EXPECT_EQ(result.fonts_only_in[t].size(), e.fonts_only_in[t]) << "table " << t;
            EXPECT_EQ(result.rows_only_in[t].size(), e.rows_only_in[t]) << "table " << t;
        }
        EXPECT_EQ(result.differing_by_kind, e.differing_by_kind);
        EXPECT_EQ(result.differences.size(), result.rows_in_both - result.equal_rows);
        EXPECT_EQ(tables_agree(result, c.options, 100.0), e.agree);
    }
}

TEST(CompareTables, TalliesEachFontAndTheLargestGap) {
    const Comparison result =
        compare_tables(table_of(std::string(kSansA) + kSansB + kMonoA + kTahomaA),
                       table_of(std::string(kSansA) + kSansBWider + kMonoAShifted), {});
    ASSERT_EQ(result.by_font.count("Sans (TT) "), 1u);
    const FontTally &sans = result.by_font.at("Sans (TT) ");
    EXPECT_EQ(sans.rows_in_both, 2u);
    EXPECT_EQ(sans.differing, 1u);
    EXPECT_EQ(sans.differing_by_kind, (std::array<std::size_t, 4>{0, 1, 1, 0}));
    EXPECT_EQ(result.by_font.at("Mono (TT) ").differing_by_kind[kA], 1u);
    EXPECT_EQ(result.largest_difference[kB], 1.0);
    EXPECT_EQ(result.largest_difference[kA], 0.0);
    ASSERT_EQ(result.fonts_only_in[0].size(), 1u);
    EXPECT_EQ(result.fonts_only_in[0][0], (std::pair<std::string, std::size_t>{"Tahoma (TT) ", 1}));
    ASSERT_EQ(result.differences.size(), 2u);
    EXPECT_EQ(result.differences[0].key, "Sans (TT) -'B'-0x42");
    EXPECT_EQ(result.differences[0].face, "Sans (TT) ");
    EXPECT_EQ(result.differences[0].code, 0x42u);
    EXPECT_EQ(result.fonts, (std::array<std::size_t, 2>{3, 2}));
    EXPECT_EQ(result.differences[0].differs, (std::array<bool, 4>{false, true, true, false}));
}

TEST(CompareTables, AgreesAtTheThreshold) {
    // 200 rows of which `differing` differ, against 99.5 percent.
    const struct {
        std::size_t differing;
        bool agree;
    } cases[] = {{0, true}, {1, true}, {2, false}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.differing);
        std::string first, second;
        for (unsigned code = 0x21; code < 0x21 + 200; ++code) {
            const char character = static_cast<char>(code);
            const std::string label = "Sans " + std::to_string(code / 64) + " -'" + character +
                                      "'-0x" + "0123456789abcdef"[code / 16 % 16] +
                                      "0123456789abcdef"[code % 16];
            const std::string key = "\"" + label + "\",";
            first += key + "0.00,1.00,0.00,1.00\n";
            second += key + (code < 0x21 + c.differing ? "0.00,2.00,0.00,2.00\n"
                                                       : "0.00,1.00,0.00,1.00\n");
        }
        const Comparison result = compare_tables(table_of(first), table_of(second), {});
        EXPECT_EQ(result.rows_in_both, 200u);
        EXPECT_EQ(tables_agree(result, {}, 99.5), c.agree) << equal_share(result);
    }
}

TEST(FamilyOfLabel, StripsTheTypeTag) {
    const std::pair<const char *, const char *> cases[] = {
        {"DejaVu Sans (TT) ", "DejaVu Sans"},   {"Fixedsys (RAS) ", "Fixedsys"},
        {"Courier (DEV) ", "Courier"},          {"Plain", "Plain"},
        {"Odd (name) here", "Odd (name) here"}, {" (TT) ", " (TT) "},
    };
    for (const auto &[label, family] : cases) EXPECT_EQ(family_of_label(label), family) << label;
}

}  // namespace
