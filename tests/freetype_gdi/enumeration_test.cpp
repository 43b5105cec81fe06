// EnumFontFamiliesA of our GDI on the private font set, against
// tests/fonts/expected_families.csv: which families, in which order, with
// which LOGFONTA and font type; and how the callback's result steers it.

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "expected_tables.h"
#include "gdi.h"
#include "gdi_test_support.h"

namespace {

using dm12_fonts::escape;
using dm12_fonts::ExpectedFamily;
using dm12_fonts::fold_case;
using dm12_gdi_test::enumerate_families;
using dm12_gdi_test::Enumerated;

std::string list_names(const std::vector<std::string> &names) {
    std::ostringstream out;
    for (const std::string &name : names) out << "  '" << escape(name) << "'\n";
    return out.str();
}

std::vector<std::string> expected_names() {
    std::vector<std::string> names;
    for (const ExpectedFamily &family : dm12_fonts::expected_families())
        names.push_back(family.name);
    return names;
}

std::vector<std::string> enumerated_names() {
    std::vector<std::string> names;
    for (const Enumerated &family : enumerate_families()) names.push_back(family.name);
    return names;
}

// --- which families, in which order -----------------------------------------

TEST(Enumeration, ReportsEachFamilyOfTheSetOnce) {
    std::vector<std::string> actual = enumerated_names();
    std::vector<std::string> expected = expected_names();
    std::sort(actual.begin(), actual.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(actual, expected) << "enumerated:\n"
                                << list_names(actual) << "expected:\n"
                                << list_names(expected);
}

// Families by name ignoring case, each "@" family right after its horizontal
// family, as Windows lists them ("MS Gothic", "@MS Gothic", "MS UI Gothic");
// names equal but for case may come either way round.
TEST(Enumeration, OrdersFamiliesByNameIgnoringCase) {
    const std::vector<std::string> actual = enumerated_names();
    const std::vector<std::string> expected = expected_names();
    ASSERT_EQ(actual.size(), expected.size()) << "enumerated:\n" << list_names(actual);
    for (std::size_t i = 0; i < actual.size(); ++i) {
        EXPECT_EQ(fold_case(actual[i]), fold_case(expected[i]))
            << "at " << i << "; enumerated:\n"
            << list_names(actual) << "expected:\n"
            << list_names(expected);
    }
}

TEST(Enumeration, IsTheSameEveryTime) { EXPECT_EQ(enumerated_names(), enumerated_names()); }

// --- each family's LOGFONTA and font type ------------------------------------

class EnumeratedFamily : public ::testing::TestWithParam<ExpectedFamily> {};

TEST_P(EnumeratedFamily, HasTheLogfontAndFontTypeOfGdiReports) {
    const ExpectedFamily &expected = GetParam();
    const std::vector<Enumerated> families = enumerate_families();
    const auto found = std::find_if(families.begin(), families.end(),
                                    [&](const Enumerated &f) { return f.name == expected.name; });
    ASSERT_TRUE(found != families.end()) << "no family '" << escape(expected.name) << "'";
    const Enumerated &actual = *found;
    const LOGFONTA &lf = actual.logfont;

    EXPECT_TRUE(actual.face_name_terminated);
    EXPECT_TRUE(actual.metrics_given);
    EXPECT_EQ(actual.font_type, expected.font_type);
    EXPECT_EQ(lf.lfHeight, expected.height);
    EXPECT_EQ(lf.lfWidth, expected.width);
    EXPECT_EQ(lf.lfEscapement, expected.escapement);
    EXPECT_EQ(lf.lfOrientation, expected.orientation);
    EXPECT_EQ(lf.lfWeight, expected.weight);
    EXPECT_EQ(lf.lfItalic, expected.italic);
    EXPECT_EQ(lf.lfUnderline, expected.underline);
    EXPECT_EQ(lf.lfStrikeOut, expected.strike_out);
    EXPECT_EQ(lf.lfCharSet, expected.char_set);
    EXPECT_EQ(lf.lfOutPrecision, expected.out_precision);
    EXPECT_EQ(lf.lfClipPrecision, expected.clip_precision);
    EXPECT_EQ(lf.lfQuality, expected.quality);
    EXPECT_EQ(lf.lfPitchAndFamily, expected.pitch_and_family);
    // The metrics are of the same font at that size.
    EXPECT_EQ(actual.metrics.tmWeight, expected.weight);
    EXPECT_EQ(actual.metrics.tmItalic != 0, expected.italic != 0);
    EXPECT_EQ(actual.metrics.tmCharSet, expected.char_set);
}

INSTANTIATE_TEST_SUITE_P(Families, EnumeratedFamily,
                         ::testing::ValuesIn(dm12_fonts::expected_families()),
                         [](const ::testing::TestParamInfo<ExpectedFamily> &param_info) {
                             return dm12_fonts::identifier(param_info.param.name) + "_" +
                                    std::to_string(param_info.param.order);
                         });

// --- the callback's result ------------------------------------------------------

struct CallbackScript {
    std::vector<int> results;  // what the callback returns at each call; the last repeats
    std::size_t calls = 0;
};

int CALLBACK scripted_callback(const LOGFONTA *, const TEXTMETRICA *, DWORD, LPARAM lparam) {
    auto *script = reinterpret_cast<CallbackScript *>(lparam);
    const std::size_t at = std::min(script->calls, script->results.size() - 1);
    ++script->calls;
    return script->results[at];
}

struct CallbackCase {
    const char *name;
    std::vector<int> results;
    std::size_t calls;  // 0: one per family
    int returned;
};

void PrintTo(const CallbackCase &c, std::ostream *out) { *out << c.name; }

class CallbackResult : public ::testing::TestWithParam<CallbackCase> {};

TEST_P(CallbackResult, StopsAtZeroAndIsReturned) {
    const CallbackCase &c = GetParam();
    const std::size_t families = enumerate_families().size();
    ASSERT_GE(families, 3u);
    CallbackScript script{c.results, 0};
    dm12_gdi_test::Dc dc;
    const int returned =
        EnumFontFamiliesA(dc.get(), nullptr, scripted_callback, reinterpret_cast<LPARAM>(&script));
    EXPECT_EQ(script.calls, c.calls ? c.calls : families);
    EXPECT_EQ(returned, c.returned);
}

INSTANTIATE_TEST_SUITE_P(
    Enumeration, CallbackResult,
    ::testing::Values(CallbackCase{"OneGoesOn", {1}, 0, 1},
                      CallbackCase{"SevenGoesOnAndIsReturned", {7}, 0, 7},
                      CallbackCase{"NegativeGoesOn", {-1}, 0, -1},
                      CallbackCase{"ZeroAtFirstStops", {0}, 1, 0},
                      CallbackCase{"ZeroAtThirdStops", {5, 5, 0}, 3, 0},
                      CallbackCase{"LastValueIsReturned", {0x7FFF, 2, 3, 4, 5, 6, 9}, 0, 9}),
    [](const ::testing::TestParamInfo<CallbackCase> &param_info) {
        return std::string(param_info.param.name);
    });

int CALLBACK record_lparam(const LOGFONTA *, const TEXTMETRICA *, DWORD, LPARAM lparam) {
    auto *seen = reinterpret_cast<std::vector<LPARAM> *>(lparam);
    seen->push_back(lparam);
    return 1;
}

TEST(Enumeration, PassesTheCallersValueToEveryCall) {
    std::vector<LPARAM> seen;
    dm12_gdi_test::Dc dc;
    EnumFontFamiliesA(dc.get(), nullptr, record_lparam, reinterpret_cast<LPARAM>(&seen));
    ASSERT_EQ(seen.size(), enumerate_families().size());
    for (LPARAM value : seen) EXPECT_EQ(value, reinterpret_cast<LPARAM>(&seen));
}

}  // namespace
