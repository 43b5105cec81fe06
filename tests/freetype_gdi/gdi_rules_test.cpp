// GDI's rules as tables of cases: plain data in, what GDI reports or chooses
// out, with no font file in between.

#include "gdi_rules.h"

#include "font_tables.h"
#include "test_vdmx_expectations.h"

#include <gtest/gtest.h>

#include <iterator>
#include <string>
#include <vector>

namespace dm12_gdi {

namespace {

constexpr unsigned kElidable = 0x2;

StatValue value(std::size_t axis, double number, const std::string &name, unsigned flags = 0) {
    StatValue v;
    v.name = name;
    v.flags = flags;
    v.axis_values = {{axis, number}};
    return v;
}

struct ExpectedInstance {
    std::string family;
    long weight;
    bool bold, italic;
};

void expect_instances(const VariableFont &font, const std::vector<ExpectedInstance> &expected) {
    ASSERT_EQ(font.instances.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const InstanceStyle style = instance_style(font, i);
        EXPECT_EQ(style.family, expected[i].family) << "instance " << i;
        EXPECT_EQ(style.weight, expected[i].weight) << "instance " << i;
        EXPECT_EQ(style.bold, expected[i].bold) << "instance " << i;
        EXPECT_EQ(style.italic, expected[i].italic) << "instance " << i;
    }
}

// Bahnschrift as Windows lists it: weights other than Regular and Bold, and
// widths, name families; Regular and Normal are elided; Bold is a style.
TEST(InstanceStyle, NamesFamiliesFromStatAsWindowsListsBahnschrift) {
    VariableFont font;
    font.typographic_family = "Bahnschrift";
    font.axes = {{tag("wght"), 300, 400, 700}, {tag("wdth"), 75, 100, 100}};
    font.stat.present = true;
    font.stat.axes = {{tag("wght"), 0}, {tag("wdth"), 1}};
    font.stat.values = {value(0, 300, "Light"),
                        value(0, 350, "SemiLight"),
                        value(0, 400, "Regular", kElidable),
                        value(0, 600, "SemiBold"),
                        value(0, 700, "Bold"),
                        value(1, 100, "Normal", kElidable),
                        value(1, 87.5, "SemiCondensed"),
                        value(1, 75, "Condensed")};
    std::vector<ExpectedInstance> expected;
    for (const auto &[width, width_name] : std::vector<std::pair<double, std::string>>{
             {100, ""}, {87.5, " SemiCondensed"}, {75, " Condensed"}})
        for (const auto &[weight, weight_name] : std::vector<std::pair<double, std::string>>{
                 {300, " Light"}, {350, " SemiLight"}, {400, ""}, {600, " SemiBold"}, {700, ""}}) {
            font.instances.push_back({{weight, width}, ""});
            expected.push_back({"Bahnschrift" + weight_name + width_name, static_cast<long>(weight),
                                weight == 700, false});
        }
    expect_instances(font, expected);
}

TEST(InstanceStyle, NamesFamiliesByStatCases) {
    struct Case {
        const char *what;
        VariableFont font;
        std::vector<ExpectedInstance> expected;
    };
    std::vector<Case> cases;

    {  // Sitka: no optical size is elided, so each is in the name.
        Case c{"optical sizes", {}, {}};
        c.font.typographic_family = "Sitka";
        c.font.axes = {{tag("opsz"), 6, 12, 27}, {tag("wght"), 400, 400, 700}};
        c.font.stat.present = true;
        c.font.stat.axes = {{tag("opsz"), 0}, {tag("wght"), 1}};
        c.font.stat.values = {value(0, 6, "Small"), value(0, 27, "Banner"),
                              value(1, 400, "Regular", kElidable), value(1, 600, "Semibold"),
                              value(1, 700, "Bold")};
        c.font.instances = {{{6, 400}, ""}, {{6, 600}, ""}, {{27, 700}, ""}};
        c.expected = {{"Sitka Small", 400, false, false},
                      {"Sitka Small Semibold", 600, false, false},
                      {"Sitka Banner", 700, true, false}};
        cases.push_back(c);
    }
    {  // An italic companion: ital only in STAT, weights named "... Italic".
        Case c{"italic companion", {}, {}};
        c.font.typographic_family = "Flex";
        c.font.axes = {{tag("wght"), 300, 400, 700}};
        c.font.stat.present = true;
        c.font.stat.axes = {{tag("wght"), 0}, {tag("ital"), 1}};
        c.font.stat.values = {value(0, 300, "Light Italic"), value(0, 400, "Italic"),
                              value(0, 700, "Bold Italic"), value(1, 1, "Italic")};
        c.font.instances = {{{300}, ""}, {{400}, ""}, {{700}, ""}};
        c.expected = {{"Flex Light", 300, false, true},
                      {"Flex", 400, false, true},
                      {"Flex", 700, true, true}};
        cases.push_back(c);
    }
    {  // Slant as Inter's one-file fonts have it: oblique is italic to GDI.
        Case c{"slant", {}, {}};
        c.font.typographic_family = "Inter";
        c.font.axes = {{tag("wght"), 100, 400, 900}, {tag("slnt"), -10, 0, 0}};
        c.font.stat.present = true;
        c.font.stat.axes = {{tag("wght"), 0}, {tag("slnt"), 1}};
        c.font.stat.values = {value(0, 100, "Thin"), value(0, 400, "Regular", kElidable),
                              value(0, 600, "Semi Bold"), value(1, -10, "Italic"),
                              value(1, 0, "Regular", kElidable)};
        c.font.instances = {{{100, -10}, ""}, {{600, 0}, ""}, {{400, -10}, ""}};
        c.expected = {{"Inter Thin", 100, false, true},
                      {"Inter Semi Bold", 600, false, false},
                      {"Inter", 400, false, true}};
        cases.push_back(c);
    }
    {  // A combination (format 4) names its axes before single values do,
       // and a range (format 2) holds what no exact value names.
        Case c{"combination and range", {}, {}};
        c.font.typographic_family = "Combo";
        c.font.axes = {{tag("wght"), 100, 400, 900}, {tag("wdth"), 50, 100, 100}};
        c.font.stat.present = true;
        c.font.stat.axes = {{tag("wdth"), 1}, {tag("wght"), 0}};
        StatValue both;
        both.format = 4;
        both.name = "Compressed Black";
        both.axis_values = {{0, 50}, {1, 900}};
        StatValue light = value(1, 300, "Light");
        light.format = 2;
        light.range_minimum = 250;
        light.range_maximum = 349;
        c.font.stat.values = {value(1, 900, "Black"), value(0, 50, "Compressed"), both, light,
                              value(0, 75, "Condensed")};
        c.font.instances = {{{900, 50}, ""}, {{320, 75}, ""}};
        c.expected = {{"Combo Compressed Black", 900, false, false},
                      {"Combo Light Condensed", 320, false, false}};
        cases.push_back(c);
    }
    {  // Without STAT, the subfamily names the instance.
        Case c{"no STAT", {}, {}};
        c.font.typographic_family = "Plain";
        c.font.axes = {{tag("wght"), 100, 400, 900}};
        c.font.instances = {{{100}, "Thin"},
                            {{400}, "Regular"},
                            {{700}, "Bold Italic"},
                            {{600}, "Semi Bold"},
                            {{900}, ""}};
        c.expected = {{"Plain Thin", 100, false, false},
                      {"Plain", 400, false, false},
                      {"Plain", 700, true, true},
                      {"Plain Semi Bold", 600, false, false},
                      {"Plain", 900, false, false}};
        cases.push_back(c);
    }
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        expect_instances(c.font, c.expected);
    }
}

// A damaged gvar, cvar or MVAR leaves every instance out; a damaged HVAR
// only where no intact gvar's phantom points give the advances instead.
TEST(VariationsFault, NamesTheFirstDamagedTableThatMatters) {
    struct Case {
        const char *what;
        bool intact_gvar;
        std::vector<std::pair<std::string, std::string>> damaged;
        std::string fault;
        bool phantom_points;
    };
    const Case cases[] = {
        {"nothing damaged", true, {}, "", false},
        {"gvar cut",
         false,
         {{"gvar", "has glyph variation data past its end"}},
         "its gvar table has glyph variation data past its end",
         false},
        {"cvar cut",
         true,
         {{"cvar", "has tuple data past its end"}},
         "its cvar table has tuple data past its end",
         false},
        {"MVAR cut",
         true,
         {{"MVAR", "has delta sets past its end"}},
         "its MVAR table has delta sets past its end",
         false},
        {"HVAR cut, gvar whole", true, {{"HVAR", "has delta sets past its end"}}, "", true},
        {"HVAR cut, no gvar",
         false,
         {{"HVAR", "has delta sets past its end"}},
         "its HVAR table has delta sets past its end",
         false},
        {"HVAR and gvar cut: gvar told",
         false,
         {{"HVAR", "has delta sets past its end"}, {"gvar", "is too short for its header"}},
         "its gvar table is too short for its header",
         false},
        {"cvar and MVAR cut: cvar told",
         true,
         {{"MVAR", "is too short for its header"}, {"cvar", "is too short for its header"}},
         "its cvar table is too short for its header",
         false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        VariableFont font;
        font.intact_gvar = c.intact_gvar;
        font.damaged_tables = c.damaged;
        EXPECT_EQ(variations_fault(font), c.fault);
        EXPECT_EQ(advances_from_phantom_points(font), c.phantom_points);
    }
}

// The trace's account of a name: each STAT axis's value and what became of
// it, or the subfamily name and why STAT did not name the instance.
TEST(InstanceNaming, TellsWhatEachStatValueDid) {
    VariableFont font;
    font.typographic_family = "Combo";
    font.axes = {{tag("wght"), 100, 400, 900}, {tag("wdth"), 50, 100, 100}};
    font.stat.present = font.stat.found = true;
    font.stat.axes = {{tag("wght"), 1}, {tag("wdth"), 0}, {tag("ital"), 2}};
    StatValue light = value(0, 300, "Light");
    light.format = 2;
    light.range_minimum = 250;
    light.range_maximum = 349;
    StatValue both;
    both.format = 4;
    both.name = "Compressed Black";
    both.axis_values = {{1, 50}, {0, 900}};
    font.stat.values = {light,
                        value(0, 700, "Bold"),
                        value(1, 100, "Normal", kElidable),
                        value(1, 87.5, "SemiCondensed"),
                        both,
                        value(2, 0, "Roman", kElidable)};
    font.instances = {{{320, 87.5}, "Light SemiCondensed"},
                      {{700, 100}, "Bold"},
                      {{900, 50}, "Compressed Black"},
                      {{500, 75}, "Medium Condensed"}};
    const std::string expected[] = {
        "STAT wght 320 'Light' (a range) named, wdth 87.5 'SemiCondensed' named, ital 0 'Roman' "
        "elided",
        "STAT wght 700 'Bold' a style, wdth 100 'Normal' elided, ital 0 'Roman' elided",
        "STAT wght 900 'Compressed Black' (with other axes) named, wdth 50 'Compressed Black' "
        "(with other axes) named, ital 0 'Roman' elided",
        "STAT wght 500: no STAT value, wdth 75: no STAT value, ital 0 'Roman' elided",
    };
    for (std::size_t i = 0; i < std::size(expected); ++i)
        EXPECT_EQ(instance_naming(font, i), expected[i]) << "instance " << i;
    EXPECT_EQ(instance_style(font, 0).family, "Combo SemiCondensed Light");

    font.stat = StatTable{};
    EXPECT_EQ(instance_naming(font, 3),
              "fvar subfamily 'Medium Condensed', as the font's STAT table is missing");
    font.stat.found = true;
    EXPECT_EQ(instance_naming(font, 1),
              "fvar subfamily 'Bold', as the font's STAT table does not parse");
}

TEST(MulDiv, AnswersAsWindowsMulDivDoes) {
    // Microsoft's MulDiv: rounded to nearest, halves away from zero; -1
    // where the divisor is 0 or the result overflows 32 bits.
    const long cases[][4] = {
        {32, 2384, 2048, 37},  {5, 3, 2, 8},
        {-5, 3, 2, -8},        {5, 3, -2, -8},
        {7, 1, 0, -1},         {0, 1, 0, -1},
        {65536, 65536, 1, -1}, {65536, 65536, 2, -1},
        {65536, 32768, 1, -1}, {46341, 46340, 1, 2147441940},
    };
    for (const auto &c : cases)
        EXPECT_EQ(mul_div(c[0], c[1], c[2]), c[3]) << c[0] << " * " << c[1] << " / " << c[2];
}

TEST(PixelsPerEm, FollowsGdisHeightRules) {
    struct Case {
        long em, cell;
        LONG height;
        long ppem;
    } cases[] = {
        {2048, 2384, 37, 32},  // DejaVu Sans at its enumerated cell height
        {2048, 2384, 39, 33},  // 34 would make a cell of 40: one less
        {2048, 2384, -20, 20},  // negative: the em
        {2048, 2384, 0, 14},  // the default 16-pixel cell
        {1000, 1000, -65535, 16384},  // largest em kept
        {1000, 1000, -65536, 1},  // past the limit: as -1
        {1000, 1000, 123456, 1},
    };
    for (const Case &c : cases)
        EXPECT_EQ(pixels_per_em(c.em, c.cell, c.height), c.ppem)
            << c.em << "/" << c.cell << " at " << c.height;
}

TEST(PixelsPerEm, TakesAPositiveHeightFromVdmxAsWindowsDoes) {
    std::vector<VdmxRecord> group;
    for (const auto &row : dm12_test_vdmx::kGroup) group.push_back({row[0], row[1], row[2]});
    std::vector<dm12_test_vdmx::HeightPpem> cases(std::begin(dm12_test_vdmx::kWindowsHeights),
                                                  std::end(dm12_test_vdmx::kWindowsHeights));
    // test_vdmx's font has a cell of 1.2 ems (its heights without VDMX say
    // so), and decides heights the group does not.
    cases.push_back({10, 8});  // shorter than the first size
    cases.push_back({48, 40});  // taller than every size
    cases.push_back({-12, 12});  // an em height is the em's, VDMX or not
    for (const auto &c : cases)
        EXPECT_EQ(pixels_per_em(1000, 1200, c.height, group), c.ppem) << "height " << c.height;
}

TEST(RealizedAverageWidth, IsScaledAsTheWindowsBuildUnderWineScalesIt) {
    // Average widths the Windows build under Wine reports (tmAveCharWidth)
    // for fonts of Debian's fonts-aenigma asked for an em height: the
    // em's scale is a rounded 16.16 fraction, so a width of about half a
    // pixel goes either way where exact scaling would round it up.
    const struct Case {
        long average, ppem, em;
        long pixels;
    } cases[] = {
        {350, 30, 1000, 10},  // Euphoric BRK: exactly 10.5
        {1016, 31, 1000, 32},  // Vertigo BRK: 31.496
        {726, 31, 1000, 23},  // Vanished BRK: 22.506
        {726, 29, 1000, 21},  // 21.054
        {1038, 32, 2048, 16},  // DejaVu Sans at its own size: 16.22
    };
    for (const Case &c : cases)
        EXPECT_EQ(realized_average_width(c.average, c.ppem, c.em), c.pixels)
            << c.average << " units at " << c.ppem;
}

TEST(ScreenVdmx, IsTheFirstAnsiRatioRecordForSquarePixels) {
    const std::vector<VdmxRecord> tall{{20, 30, -10}}, short_{{20, 20, -5}};
    const auto ratio = [](unsigned charset, unsigned x, unsigned y_start, unsigned y_end,
                          const std::vector<VdmxRecord> &records) {
        return VdmxRatio{charset, x, y_start, y_end, records};
    };
    const struct Case {
        const char *what;
        VdmxTable vdmx;
        std::vector<VdmxRecord> chosen;
    } cases[] = {
        {"no ratio record", {}, {}},
        // test_vdmx: character set 0 changes no height, in versions 0 and 1.
        {"all glyphs only", {{ratio(0, 1, 1, 1, tall)}}, {}},
        {"ANSI set", {{ratio(1, 1, 1, 1, tall)}}, tall},
        {"all glyphs first", {{ratio(0, 1, 1, 1, tall), ratio(1, 1, 1, 1, short_)}}, short_},
        {"2:1 first", {{ratio(1, 2, 1, 1, tall), ratio(1, 1, 1, 1, short_)}}, short_},
        {"any ratio", {{ratio(1, 0, 0, 0, tall), ratio(1, 1, 1, 1, short_)}}, tall},
        {"a range holding 1:1", {{ratio(1, 2, 1, 3, tall)}}, tall},
        {"a range short of 1:1", {{ratio(1, 3, 1, 2, tall)}}, {}},
    };
    for (const Case &c : cases) {
        const std::vector<VdmxRecord> chosen = screen_vdmx(c.vdmx);
        ASSERT_EQ(chosen.size(), c.chosen.size()) << c.what;
        for (std::size_t i = 0; i < chosen.size(); ++i)
            EXPECT_EQ(chosen[i].y_max, c.chosen[i].y_max) << c.what;
    }
}

TEST(FaceChoice, FollowsGdisOrder) {
    const auto face = [](BYTE charset, bool italic, bool bold, LONG weight) {
        FaceTraits traits;
        traits.charset = charset;
        traits.italic = italic;
        traits.bold = bold;
        traits.weight = weight;
        return traits;
    };
    const FaceTraits regular = face(ANSI_CHARSET, false, false, 400),
                     semilight = face(ANSI_CHARSET, false, false, 350),
                     bold = face(ANSI_CHARSET, false, true, 700),
                     italic = face(ANSI_CHARSET, true, false, 400),
                     cyrillic = face(RUSSIAN_CHARSET, false, false, 400);
    // The representative: character set, then regular, bold, italic, then
    // the weight nearest 400.
    EXPECT_TRUE(representative_before(regular, bold));
    EXPECT_TRUE(representative_before(bold, italic));
    EXPECT_TRUE(representative_before(italic, cyrillic));
    EXPECT_TRUE(representative_before(regular, semilight));
    // A request: the character set above all, then slant, then weight.
    LOGFONTA asked{};
    asked.lfWeight = 350;
    asked.lfCharSet = RUSSIAN_CHARSET;
    EXPECT_TRUE(nearer(request_of(asked), cyrillic, semilight));
    asked.lfCharSet = DEFAULT_CHARSET;
    EXPECT_TRUE(nearer(request_of(asked), semilight, regular));
    asked.lfItalic = 1;
    EXPECT_TRUE(nearer(request_of(asked), italic, semilight));
    // Bold is simulated only where bold is asked of a face lighter than
    // semibold.
    EXPECT_TRUE(simulates_bold(400, 700));
    EXPECT_FALSE(simulates_bold(600, 700));
    EXPECT_FALSE(simulates_bold(400, 600));
}

TEST(FaceChoice, ScalableFacesOfOneStyleGoByTheirHeightBeforeTheirFiles) {
    // Two OpenType faces alike but for their cells: the smaller enumerated
    // lfHeight is the representative whatever their paths; the weight still
    // comes first.
    const auto scalable = [](LONG weight, LONG height) {
        FaceTraits traits;
        traits.weight = weight;
        traits.height = height;
        return traits;
    };
    const struct Case {
        FaceTraits first, second;
        const char *criterion;
    } cases[] = {
        {scalable(400, 32), scalable(400, 37), "height"},
        {scalable(400, 37), scalable(350, 32), "weight"},
    };
    for (const Case &c : cases) {
        EXPECT_TRUE(representative_before(c.first, c.second)) << c.criterion;
        EXPECT_FALSE(representative_before(c.second, c.first)) << c.criterion;
        EXPECT_STREQ(representative_criterion(c.first, c.second), c.criterion);
    }
}

TEST(FaceChoice, FacesThatTieGoByFileThenByIndex) {
    // Whatever order fontconfig lists them in: the path first, then the face
    // or named instance in the file; GDI's order still comes before both.
    FaceTraits regular, bold;
    bold.bold = true;
    const struct Case {
        FaceTraits a;
        const char *a_file;
        long a_index;
        FaceTraits b;
        const char *b_file;
        long b_index;
    } cases[] = {
        {regular, "/f/a.ttf", 5, regular, "/f/b.ttf", 0},
        {regular, "/f/a.ttc", 1, regular, "/f/a.ttc", 2},
        {regular, "/f/a.ttf", 2 << 16, regular, "/f/a.ttf", 3 << 16},
        {regular, "/f/z.ttf", 0, bold, "/f/a.ttf", 0},
    };
    for (const Case &c : cases) {
        EXPECT_TRUE(representative_first(c.a, c.a_file, c.a_index, c.b, c.b_file, c.b_index))
            << c.a_file << " " << c.a_index;
        EXPECT_FALSE(representative_first(c.b, c.b_file, c.b_index, c.a, c.a_file, c.a_index))
            << c.b_file << " " << c.b_index;
    }
}

TEST(AverageWidth, MeanOfThePositiveAdvancesRoundedHalfUp) {
    const struct Case {
        std::vector<long> advances;
        long mean;
    } cases[] = {
        {{}, 0},        {{0, -5}, 0},   {{500}, 500},         {{1, 2}, 2},
        {{1, 1, 2}, 1}, {{1, 2, 2}, 2}, {{3, 4, 0, -100}, 4},
    };
    for (const Case &c : cases)
        EXPECT_EQ(mean_positive_advance(c.advances), c.mean)
            << ::testing::PrintToString(c.advances);
}

TEST(FamilyListing, LeavesOutOnlyTheType1CopyOfAnSfnt) {
    // A Type 1 face comes before a bitmap face of its style: only an sfnt
    // copy makes it not worth reading.
    EXPECT_TRUE(type1_copy_left_out("Type 1", true));
    EXPECT_FALSE(type1_copy_left_out("Type 1", false));
    for (const char *format : {"TrueType", "CFF", "PCF", "BDF", "Windows FNT"})
        EXPECT_FALSE(type1_copy_left_out(format, true)) << format;
}

TEST(VerticalFamilies, NamedWithAtAndChosenByAtAloneInACjkSet) {
    EXPECT_EQ(vertical_family_name("DM12 Nihon"), "@DM12 Nihon");
    // Cut to a face name's 31 bytes: the family's last byte goes.
    EXPECT_EQ(vertical_family_name("DM12 Thirty-One Bytes Long Name"),
              "@DM12 Thirty-One Bytes Long Nam");
    const struct Case {
        const char *face_name;
        BYTE charset;
        bool asks;
    } cases[] = {
        {"@", SHIFTJIS_CHARSET, true},    {"@", HANGEUL_CHARSET, true},
        {"@", JOHAB_CHARSET, true},       {"@", GB2312_CHARSET, true},
        {"@", CHINESEBIG5_CHARSET, true}, {"@", ANSI_CHARSET, false},
        {"@", DEFAULT_CHARSET, false},    {"@DM12 Nihon", SHIFTJIS_CHARSET, false},
        {"", SHIFTJIS_CHARSET, false},
    };
    for (const Case &c : cases)
        EXPECT_EQ(asks_for_any_vertical_family(c.face_name, c.charset), c.asks)
            << "'" << c.face_name << "', character set " << int{c.charset};
}

TEST(PitchAndFamily, TakesPanoseBeforeTheIbmClass) {
    constexpr int kIbmSerif = 0x0105, kIbmSans = 0x0800;
    const unsigned char sans[10] = {2, 11, 6, 3, 3, 8, 4, 2, 2, 4},  // DejaVu Sans
        serif[10] = {2, 2, 6, 3, 5, 4, 5, 2, 3, 4},  //
        script[10] = {3, 1, 1, 1, 1, 1, 1, 1, 1, 1},  //
        text_any_serif[10] = {2, 0, 0, 0, 0, 0, 0, 0, 0, 0},  //
        monospaced[10] = {2, 11, 6, 9, 3, 8, 4, 2, 2, 4},  // DejaVu Sans Mono
        nothing[10] = {};
    const struct Case {
        const char *what;
        bool fixed;
        const unsigned char *panose;
        int ibm_class;
        BYTE expected;
    } cases[] = {
        // Where the two disagree, PANOSE names the family.
        {"PANOSE sans, IBM serif", false, sans, kIbmSerif, FF_SWISS | VARIABLE_PITCH},
        {"PANOSE serif, IBM sans", false, serif, kIbmSans, FF_ROMAN | VARIABLE_PITCH},
        {"PANOSE script, IBM sans", false, script, kIbmSans, FF_SCRIPT | VARIABLE_PITCH},
        // A PANOSE family kind with no serif style still says something.
        {"PANOSE text, any serif, IBM sans", false, text_any_serif, kIbmSans,
         FF_DONTCARE | VARIABLE_PITCH},
        // The IBM class only where PANOSE says nothing at all.
        {"PANOSE nothing, IBM sans", false, nothing, kIbmSans, FF_SWISS | VARIABLE_PITCH},
        {"PANOSE nothing, IBM serif", false, nothing, kIbmSerif, FF_ROMAN | VARIABLE_PITCH},
        {"no OS/2", false, nullptr, kIbmSans, FF_DONTCARE | VARIABLE_PITCH},
        // Fixed pitch, from post or from PANOSE's proportion, is FF_MODERN.
        {"post fixed pitch, IBM serif", true, nothing, kIbmSerif, FF_MODERN | FIXED_PITCH},
        {"PANOSE monospaced", false, monospaced, kIbmSerif, FF_MODERN | FIXED_PITCH},
    };
    for (const Case &c : cases)
        EXPECT_EQ(pitch_and_family(c.fixed, c.panose, c.ibm_class), c.expected) << c.what;
}

TEST(WidthStretch, StretchesOnlyToAWidthOtherThanTheAverage) {
    const struct Case {
        const char *what;
        LONG asked;
        long average;
        Stretch stretch;
    } cases[] = {
        {"no width asked", 0, 16, {1, 1}},
        {"the average", 16, 16, {1, 1}},
        {"the average, negative", -16, 16, {1, 1}},
        {"wider", 24, 16, {24, 16}},
        {"wider, negative", -24, 16, {24, 16}},
        {"narrower", 8, 16, {8, 16}},
        {"no average", 24, 0, {1, 1}},
        {"a negative average", 18, -14, {1, 1}},
        {"past the largest size", 100000, 16, {16384, 16}},
    };
    for (const Case &c : cases) {
        const Stretch stretch = width_stretch(c.asked, c.average);
        EXPECT_EQ(stretch.num, c.stretch.num) << c.what;
        EXPECT_EQ(stretch.den, c.stretch.den) << c.what;
    }
}

TEST(RoundedPixels, RoundsHalvesUp) {
    const long cases[][2] = {{0, 0}, {31, 0}, {32, 1}, {640, 10}, {-32, 0}, {-33, -1}};
    for (const auto &c : cases) EXPECT_EQ(rounded_pixels(c[0]), c[1]) << c[0] << "/64";
}

void expect_abc(const ABCFLOAT &widths, float a, float b, float c, const char *what) {
    EXPECT_EQ(widths.abcfA, a) << what;
    EXPECT_EQ(widths.abcfB, b) << what;
    EXPECT_EQ(widths.abcfC, c) << what;
}

// Edges in 64ths of a pixel: 80 is 1.25 pixels, 450 is 7.03.
TEST(GlyphWidths, TakeTheInkOutwardsToWholePixelsThenStretchIt) {
    const struct Case {
        const char *what;
        long left, right, advance;
        Stretch stretch;
        bool emboldened;
        float a, b, c;
    } cases[] = {
        {"inside its advance", 80, 450, 9, {1, 1}, false, 1, 7, 1},
        {"edges on whole pixels", 64, 512, 9, {1, 1}, false, 1, 7, 1},
        {"left of the origin", -40, 300, 5, {1, 1}, false, -1, 6, 0},
        {"past its advance", 0, 700, 10, {1, 1}, false, 0, 11, -1},
        {"no width: one pixel", 192, 192, 6, {1, 1}, false, 3, 1, 2},
        {"emboldened", 80, 450, 9, {1, 1}, true, 1, 8, 1},
        {"stretched 3:2", 64, 512, 9, {3, 2}, false, 1, 11, 2},
        {"stretched 3:2, left of the origin", -64, 320, 6, {3, 2}, false, -2, 10, 1},
        {"stretched 3:2, emboldened", 64, 512, 9, {3, 2}, true, 1, 12, 2},
        {"squeezed 1:2", 64, 448, 9, {1, 2}, false, 0, 4, 1},
    };
    for (const Case &c : cases)
        expect_abc(inked_glyph_widths(c.left, c.right, c.advance, c.stretch, c.emboldened), c.a,
                   c.b, c.c, c.what);
}

TEST(GlyphWidths, BlankAndBitmapGlyphs) {
    const struct Case {
        const char *what;
        long advance;
        Stretch stretch;
        bool emboldened;
        float a, b, c;
    } blanks[] = {
        {"blank", 10, {1, 1}, false, 0, 1, 9},
        {"blank, emboldened", 10, {1, 1}, true, 0, 1, 10},
        {"blank, no advance", 0, {1, 1}, false, 0, 1, -1},
        {"blank, stretched 3:2", 9, {3, 2}, false, 0, 1, 13},
    };
    for (const Case &c : blanks)
        expect_abc(blank_glyph_widths(c.advance, c.stretch, c.emboldened), c.a, c.b, c.c, c.what);
    expect_abc(bitmap_glyph_widths(8, false), 0, 8, 0, "bitmap");
    expect_abc(bitmap_glyph_widths(8, true), 0, 9, 0, "bitmap, emboldened");
    expect_abc(bitmap_glyph_widths(0, false), 0, 0, 0, "bitmap, no advance");
}

// A symbol font's glyphs sit at U+F020..U+F0FF in its (3, 0) cmap; a code
// found at neither place is glyph 0.
TEST(CodesToLookUp, TrySymbolFontsAtTheirOwnAreaFirst) {
    const struct Case {
        unsigned code;
        bool symbol;
        std::vector<unsigned> codes;
    } cases[] = {
        {0x41, false, {0x41}},
        {0x41, true, {0xF041, 0x41}},
        {0xFF, true, {0xF0FF, 0xFF}},
    };
    for (const Case &c : cases) {
        const CodeLookup lookup = codes_to_look_up(c.code, c.symbol);
        EXPECT_EQ(std::vector<unsigned>(lookup.codes.begin(), lookup.codes.begin() + lookup.count),
                  c.codes)
            << std::hex << c.code << (c.symbol ? " symbol" : "");
    }
}

TEST(RealizedCharset, IsTheOneAskedWhereTheFaceCoversIt) {
    constexpr unsigned long kLatin1 = 1UL << 0, kCyrillic = 1UL << 2, kJapanese = 1UL << 17;
    const struct Case {
        const char *what;
        BYTE asked, own;
        unsigned long code_pages;
        BYTE realized;
    } cases[] = {
        {"default", DEFAULT_CHARSET, ANSI_CHARSET, kLatin1 | kJapanese, ANSI_CHARSET},
        {"a code page", SHIFTJIS_CHARSET, ANSI_CHARSET, kLatin1 | kJapanese, SHIFTJIS_CHARSET},
        {"no code page", SHIFTJIS_CHARSET, ANSI_CHARSET, kLatin1, ANSI_CHARSET},
        {"its own", RUSSIAN_CHARSET, RUSSIAN_CHARSET, 0, RUSSIAN_CHARSET},
        {"ANSI of a Cyrillic face", ANSI_CHARSET, RUSSIAN_CHARSET, kCyrillic, RUSSIAN_CHARSET},
    };
    for (const Case &c : cases)
        EXPECT_EQ(realized_charset(c.asked, c.own, c.code_pages), c.realized) << c.what;
}

TEST(FontType, IsWhatGdiCallsTheOutlinesOrNone) {
    const struct Case {
        FontFormat format;
        DWORD font_type;
    } cases[] = {
        {{"TrueType", true, false, true}, TRUETYPE_FONTTYPE},
        {{"TrueType", true, false, false}, 0},  // colour bitmaps, X11's .otb
        {{"CFF", true, true, false}, DEVICE_FONTTYPE},
        {{"CFF", true, false, false}, 0},  // CFF2 outlines
        {{"CFF", false, false, false}, DEVICE_FONTTYPE},  // a bare CFF file
        {{"Type 1", false, false, false}, DEVICE_FONTTYPE},
        {{"CID Type 1", false, false, false}, DEVICE_FONTTYPE},
        {{"PCF", false, false, false}, RASTER_FONTTYPE},
        {{"BDF", false, false, false}, RASTER_FONTTYPE},
        {{"Windows FNT", false, false, false}, RASTER_FONTTYPE},
        {{"PFR", false, false, false}, 0},
        {{"", false, false, false}, 0},
    };
    for (const Case &c : cases)
        EXPECT_EQ(font_type_of(c.format), c.font_type)
            << "'" << c.format.name << "'" << (c.format.sfnt ? " sfnt" : "")
            << (c.format.cff_table ? " CFF" : "") << (c.format.glyf_table ? " glyf" : "");
}

TEST(CellExtents, AreOs2sWindowsMetricsWhereThereAreAny) {
    const VerticalExtents hhea{1556, 492};
    const struct Case {
        const char *what;
        bool has_os2;
        long win_ascent, win_descent;
        VerticalExtents cell;
    } cases[] = {
        {"OS/2", true, 1901, 483, {1901, 483}},
        {"OS/2 with only a descent", true, 0, 300, {0, 300}},
        {"OS/2 with neither", true, 0, 0, hhea},
        {"no OS/2", false, 1901, 483, hhea},
    };
    for (const Case &c : cases) {
        const VerticalExtents cell = cell_extents(c.has_os2, c.win_ascent, c.win_descent, hhea);
        EXPECT_EQ(cell.ascent, c.cell.ascent) << c.what;
        EXPECT_EQ(cell.descent, c.cell.descent) << c.what;
    }
}

// Code pages of OS/2 ulCodePageRange1 by bit: 0 Latin 1, 2 Cyrillic, 16
// Thai, 17 Japanese, 21 Korean Johab, 22 none that names a character set.
TEST(SfntLogfont, TakesHeightWeightAndCharacterSetFromTheTables) {
    const struct Case {
        const char *what;
        SfntFacts facts;
        SfntLogfont logfont;
    } cases[] = {
        {"DejaVu Sans", {true, 1UL << 0, 400, false, 2384, 2048}, {false, 2384, 37, 400, 0}},
        {"DM12 Collect Two", {true, 1UL << 2, 400, false, 2200, 2048}, {false, 2200, 34, 400, 204}},
        {"Japanese", {true, 1UL << 17, 400, false, 1160, 1000}, {true, 1160, 37, 400, 128}},
        {"Latin and Japanese",
         {true, 1UL << 0 | 1UL << 17, 400, false, 1000, 1000},
         {true, 1000, 32, 400, 0}},
        {"Korean Johab", {true, 1UL << 21, 400, false, 1000, 1000}, {true, 1000, 32, 400, 130}},
        {"Thai", {true, 1UL << 16, 400, false, 1000, 1000}, {false, 1000, 32, 400, 222}},
        {"bit 22", {true, 1UL << 22, 400, false, 1000, 1000}, {false, 1000, 32, 400, 255}},
        {"OS/2 version 0", {false, 1UL << 17, 400, false, 1000, 1000}, {false, 1000, 32, 400, 0}},
        {"bold, no weight class", {true, 1, 0, true, 1000, 1000}, {false, 1000, 32, 700, 0}},
        {"no weight class", {true, 1, 0, false, 1000, 1000}, {false, 1000, 32, 400, 0}},
        {"a weight class, bold", {true, 1, 350, true, 1000, 1000}, {false, 1000, 32, 350, 0}},
        {"no cell", {true, 1, 400, false, 0, 2048}, {false, 2048, 32, 400, 0}},
        {"a negative cell", {true, 1, 400, false, -100, 1000}, {false, 1000, 32, 400, 0}},
    };
    for (const Case &c : cases) {
        const SfntLogfont logfont = sfnt_logfont(c.facts);
        EXPECT_EQ(logfont.cjk, c.logfont.cjk) << c.what;
        EXPECT_EQ(logfont.cell_height, c.logfont.cell_height) << c.what;
        EXPECT_EQ(logfont.height, c.logfont.height) << c.what;
        EXPECT_EQ(logfont.weight, c.logfont.weight) << c.what;
        EXPECT_EQ(logfont.charset, c.logfont.charset) << c.what;
    }
}

TEST(EnumeratedWidth, IsTheAveragesShareOfTheCell) {
    const long cases[][4] = {
        {37, 1038, 2384, 16},  // DejaVu Sans: 16.11
        {34, 1000, 2200, 15},  // 15.45
        {32, -448, 1024, -14},  // a negative average stays negative
    };
    for (const auto &c : cases)
        EXPECT_EQ(enumerated_width(static_cast<LONG>(c[0]), c[1], c[2]), c[3])
            << c[1] << " of " << c[2] << " at " << c[0];
}

TEST(ScalableCharset, IsSymbolForAWindowsSymbolCmapWithoutUnicode) {
    const struct Case {
        const char *what;
        std::vector<CmapEncoding> encodings;
        BYTE charset;
    } cases[] = {
        {"symbol", {{3, 0}}, SYMBOL_CHARSET},
        {"symbol and Mac Roman", {{1, 0}, {3, 0}}, SYMBOL_CHARSET},
        {"symbol and Unicode platform", {{0, 3}, {3, 0}}, SYMBOL_CHARSET},
        {"symbol and Windows BMP", {{3, 0}, {3, 1}}, RUSSIAN_CHARSET},
        {"Windows BMP and symbol", {{3, 1}, {3, 0}}, RUSSIAN_CHARSET},
        {"symbol and Windows full repertoire", {{3, 0}, {3, 10}}, RUSSIAN_CHARSET},
        {"Windows BMP", {{3, 1}}, RUSSIAN_CHARSET},
        {"Mac Roman", {{1, 0}}, RUSSIAN_CHARSET},
        {"no cmap", {}, RUSSIAN_CHARSET},
    };
    for (const Case &c : cases)
        EXPECT_EQ(scalable_charset(RUSSIAN_CHARSET, c.encodings), c.charset) << c.what;
}

// TEXTMETRIC's tmPitchAndFamily bits as Microsoft documents them: 0x1 set
// for a variable pitch, 0x2 outlines, 0x4 TrueType, 0x8 a device font.
void expect_fixed_text_metrics(const LOGFONTA &logfont, const TEXTMETRICA &metrics,
                               const char *what) {
    EXPECT_EQ(metrics.tmHeight, logfont.lfHeight) << what;
    EXPECT_EQ(metrics.tmAveCharWidth, logfont.lfWidth) << what;
    EXPECT_EQ(metrics.tmWeight, logfont.lfWeight) << what;
    EXPECT_EQ(metrics.tmItalic, logfont.lfItalic) << what;
    EXPECT_EQ(metrics.tmCharSet, logfont.lfCharSet) << what;
    EXPECT_EQ(metrics.tmFirstChar, 32) << what;
    EXPECT_EQ(metrics.tmLastChar, 255) << what;
    EXPECT_EQ(metrics.tmDefaultChar, 31) << what;
    EXPECT_EQ(metrics.tmBreakChar, 32) << what;
    EXPECT_EQ(metrics.tmDigitizedAspectX, 96) << what;
    EXPECT_EQ(metrics.tmDigitizedAspectY, 96) << what;
}

LOGFONTA logfont_of(LONG height, LONG width, BYTE pitch_and_family) {
    LOGFONTA logfont{};
    logfont.lfHeight = height;
    logfont.lfWidth = width;
    logfont.lfWeight = 600;
    logfont.lfItalic = 255;
    logfont.lfCharSet = RUSSIAN_CHARSET;
    logfont.lfPitchAndFamily = pitch_and_family;
    return logfont;
}

TEST(TextMetrics, OfScalableFaces) {
    const struct Case {
        const char *what;
        LONG height;
        BYTE pitch_and_family;
        DWORD font_type;
        VerticalExtents cell;
        long em, max_advance;
        LONG ascent, descent, internal_leading, max_char_width;
        BYTE tm_pitch_and_family;
    } cases[] = {
        {"TrueType, variable pitch",
         37,
         FF_SWISS | VARIABLE_PITCH,
         TRUETYPE_FONTTYPE,
         {1901, 483},
         2048,
         4096,
         30,
         7,
         5,
         64,
         0x27},
        {"CFF, fixed pitch",
         32,
         FF_MODERN | FIXED_PITCH,
         DEVICE_FONTTYPE,
         {800, 200},
         1000,
         600,
         26,
         6,
         0,
         19,
         0x3A},
        {"a cell of no height",
         32,
         FF_ROMAN | VARIABLE_PITCH,
         TRUETYPE_FONTTYPE,
         {800, -900},
         1000,
         1000,
         26,
         6,
         0,
         32,
         0x17},
    };
    for (const Case &c : cases) {
        const LOGFONTA logfont = logfont_of(c.height, 15, c.pitch_and_family);
        const TEXTMETRICA metrics =
            scalable_text_metrics(logfont, c.font_type, c.cell, c.em, c.max_advance);
        EXPECT_EQ(metrics.tmAscent, c.ascent) << c.what;
        EXPECT_EQ(metrics.tmDescent, c.descent) << c.what;
        EXPECT_EQ(metrics.tmInternalLeading, c.internal_leading) << c.what;
        EXPECT_EQ(metrics.tmMaxCharWidth, c.max_char_width) << c.what;
        EXPECT_EQ(metrics.tmPitchAndFamily, c.tm_pitch_and_family) << c.what;
        expect_fixed_text_metrics(logfont, metrics, c.what);
    }
}

TEST(TextMetrics, OfRasterFaces) {
    const struct Case {
        const char *what;
        BYTE pitch_and_family;
        BYTE tm_pitch_and_family;
    } cases[] = {
        {"fixed pitch", FF_MODERN | FIXED_PITCH, 0x30},
        {"variable pitch", FF_SWISS | VARIABLE_PITCH, 0x21},
    };
    for (const Case &c : cases) {
        const LOGFONTA logfont = logfont_of(13, 7, c.pitch_and_family);
        const TEXTMETRICA metrics = bitmap_text_metrics(logfont, 11, 9);
        EXPECT_EQ(metrics.tmAscent, 11) << c.what;
        EXPECT_EQ(metrics.tmDescent, 2) << c.what;
        EXPECT_EQ(metrics.tmInternalLeading, 0) << c.what;
        EXPECT_EQ(metrics.tmMaxCharWidth, 9) << c.what;
        EXPECT_EQ(metrics.tmPitchAndFamily, c.tm_pitch_and_family) << c.what;
        expect_fixed_text_metrics(logfont, metrics, c.what);
    }
}

// The boundaries at 0x100 and 0xFFFF are test_GetCharABCWidths', in
// callers_contract_test.
TEST(DoubleByteCodes, AreTakenInCjkCharacterSetsUnderOneLeadByte) {
    const struct Case {
        BYTE charset;
        unsigned first, last;
        bool cjk, taken;
    } cases[] = {
        {SHIFTJIS_CHARSET, 0x8140, 0x81FC, true, true},
        {HANGEUL_CHARSET, 0xB0A1, 0xB0FE, true, true},
        {JOHAB_CHARSET, 0x8861, 0x8861, true, true},
        {GB2312_CHARSET, 0xA1A1, 0xA1FE, true, true},
        {CHINESEBIG5_CHARSET, 0xA140, 0xA17E, true, true},
        {SHIFTJIS_CHARSET, 0x81FF, 0x8200, true, false},  // two lead bytes
        {SHIFTJIS_CHARSET, 0x8150, 0x8140, true, false},  // backwards
        {ANSI_CHARSET, 0x8140, 0x8140, false, false},
        {DEFAULT_CHARSET, 0x8140, 0x8140, false, false},
        {SYMBOL_CHARSET, 0x8140, 0x8140, false, false},
        {RUSSIAN_CHARSET, 0x8140, 0x8140, false, false},
        {THAI_CHARSET, 0xA1A1, 0xA1A1, false, false},
        {OEM_CHARSET, 0x8140, 0x8140, false, false},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(is_cjk_charset(c.charset), c.cjk) << "charset " << int(c.charset);
        EXPECT_EQ(takes_double_byte_codes(c.charset, c.first, c.last), c.taken)
            << "charset " << int(c.charset) << ", 0x" << std::hex << c.first << "..0x" << c.last;
    }
}

TEST(RasterPitchAndFamily, IsTheFntHeadersFamilyElseModernForFixedPitch) {
    const struct Case {
        const char *what;
        bool fixed, has_fnt_header;
        BYTE fnt_pitch_and_family, pitch_and_family;
    } cases[] = {
        {"fixed", true, false, 0, FF_MODERN | FIXED_PITCH},
        {"variable", false, false, 0, FF_DONTCARE | VARIABLE_PITCH},
        {"FNT, fixed", true, true, FF_ROMAN, FF_ROMAN | FIXED_PITCH},
        {"FNT, variable, its pitch bits left", false, true, FF_SWISS | 1,
         FF_SWISS | VARIABLE_PITCH},
    };
    for (const Case &c : cases)
        EXPECT_EQ(raster_pitch_and_family(c.fixed, c.has_fnt_header, c.fnt_pitch_and_family),
                  c.pitch_and_family)
            << c.what;
}

TEST(FormatRank, PutsOpenTypeBeforeType1BeforeBitmaps) {
    const struct Case {
        bool sfnt;
        DWORD font_type;
        int rank;
    } cases[] = {
        {true, TRUETYPE_FONTTYPE, 0},
        {true, DEVICE_FONTTYPE, 0},
        {false, DEVICE_FONTTYPE, 1},
        {false, RASTER_FONTTYPE, 2},
    };
    for (const Case &c : cases)
        EXPECT_EQ(format_rank(c.sfnt, c.font_type), c.rank)
            << (c.sfnt ? "sfnt" : "other") << ", font type " << c.font_type;
}

}  // namespace

}  // namespace dm12_gdi
