// Our GDI on variable fonts, against tests/variable_fonts/expected_faces.csv:
// the families the enumeration reports and their order, each family's faces
// (every named instance a face with its own LOGFONTA), the representative and
// its face name; and the instancer check: each named instance measures as the
// static font fontTools' instancer makes of it, under another family name.
//
// InstancerCheck.FontsGivenAtRunTime runs the same check on the font set and
// table instancer_check.py gives it (DM12_INSTANCER_TWINS), for real fonts
// whose deltas the instancer rounds.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "expected_tables.h"
#include "face_reading.h"
#include "font_file.h"
#include "gdi.h"
#include "gdi_test_support.h"
#include "realized_font.h"
#include "representative_choice.h"

namespace {

using dm12_fonts::escape;
using dm12_gdi_test::collect_family;
using dm12_gdi_test::Dc;
using dm12_gdi_test::Enumerated;
using dm12_gdi_test::Font;
using dm12_gdi_test::Selection;

constexpr UINT kFirstCode = 32;
constexpr UINT kLastCode = 127;
constexpr std::size_t kCodes = kLastCode - kFirstCode + 1;

// A comma-separated table: comment lines left out, the first line names the
// columns, each row a map from column to field (names unescaped).
using Row = std::map<std::string, std::string>;

std::vector<Row> read_table(const std::string &path) {
    std::ifstream in(path);
    if (!in) throw std::runtime_error("cannot read " + path);
    std::vector<std::string> columns;
    std::vector<Row> rows;
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::vector<std::string> fields;
        std::stringstream split(line);
        std::string field;
        while (std::getline(split, field, ',')) fields.push_back(dm12_fonts::unescape(field));
        if (!line.empty() && line.back() == ',') fields.emplace_back();
        if (columns.empty()) {
            columns = fields;
            continue;
        }
        if (fields.size() != columns.size()) throw std::runtime_error("bad row in " + path);
        Row row;
        for (std::size_t i = 0; i < columns.size(); ++i) row[columns[i]] = fields[i];
        rows.push_back(row);
    }
    return rows;
}

long number(const Row &row, const char *column) { return std::stol(row.at(column)); }

const std::vector<Row> &expected_faces() {
    static const std::vector<Row> rows =
        read_table(std::string(DUMP_METRICS12_VARIABLE_FONT_DIR) + "/expected_faces.csv");
    return rows;
}

// Every face EnumFontFamiliesA reports under one family name.
std::vector<Enumerated> faces_of(const std::string &family) {
    std::vector<Enumerated> faces;
    Dc dc;
    EnumFontFamiliesA(dc.get(), family.c_str(), collect_family, reinterpret_cast<LPARAM>(&faces));
    return faces;
}

std::string describe(const LOGFONTA &logfont) {
    std::ostringstream out;
    out << "weight " << logfont.lfWeight << " italic " << int{logfont.lfItalic} << " height "
        << logfont.lfHeight << " width " << logfont.lfWidth << " charset "
        << int{logfont.lfCharSet};
    return out.str();
}

std::string describe(const Row &row) {
    std::ostringstream out;
    out << "weight " << row.at("lfWeight") << " italic " << row.at("lfItalic") << " height "
        << row.at("lfHeight") << " width " << row.at("lfWidth") << " charset "
        << row.at("lfCharSet");
    return out.str();
}

// The face of `family` with this weight and slant, as the enumeration by name
// reports it; null where there is none.
const Enumerated *face_with(const std::vector<Enumerated> &faces, long weight, long italic) {
    for (const Enumerated &face : faces)
        if (face.logfont.lfWeight == weight && face.logfont.lfItalic == italic) return &face;
    return nullptr;
}

// The face name and the 96 widths a LOGFONTA realizes.
struct Measured {
    std::string face_name;
    std::vector<ABCFLOAT> widths;
};

Measured realize(const LOGFONTA &logfont) {
    Measured measured;
    Dc dc;
    Font font(logfont);
    Selection selection(dc.get(), font.get());
    measured.face_name = dm12_gdi_test::text_face(dc.get());
    measured.widths.assign(kCodes, ABCFLOAT{-99.0f, -99.0f, -99.0f});
    if (!GetCharABCWidthsFloatA(dc.get(), kFirstCode, kLastCode, measured.widths.data()))
        measured.widths.clear();
    return measured;
}

float advance(const ABCFLOAT &abc) { return abc.abcfA + abc.abcfB + abc.abcfC; }

// Sets an instance's widths against its twin's. `reasons` names, by code, why
// a row may differ by one pixel in A or B (the advance the same); every such
// row is printed with its reason, any other difference fails.
void expect_same_widths(const std::string &what, const Measured &instance, const Measured &twin,
                        const std::map<long, std::string> &reasons = {}) {
    ASSERT_EQ(instance.widths.size(), kCodes)
        << what << ": GetCharABCWidthsFloatA failed on the instance";
    ASSERT_EQ(twin.widths.size(), kCodes) << what << ": GetCharABCWidthsFloatA failed on the twin";
    for (std::size_t i = 0; i < kCodes; ++i) {
        const ABCFLOAT &a = instance.widths[i];
        const ABCFLOAT &b = twin.widths[i];
        if (a.abcfA == b.abcfA && a.abcfB == b.abcfB && a.abcfC == b.abcfC) continue;
        const long code = static_cast<long>(kFirstCode + i);
        std::ostringstream row;
        row << what << ", code " << code << ": A B C " << a.abcfA << " " << a.abcfB << " "
            << a.abcfC << ", static twin " << b.abcfA << " " << b.abcfB << " " << b.abcfC;
        const auto reason = reasons.find(code);
        const bool one_pixel = advance(a) == advance(b) && std::fabs(a.abcfA - b.abcfA) <= 1 &&
                               std::fabs(a.abcfB - b.abcfB) <= 1;
        if (one_pixel && reason != reasons.end())
            std::cout << "allowed: " << row.str() << "; " << reason->second << "\n";
        else
            ADD_FAILURE() << row.str();
    }
}

// --- the committed variable fonts -------------------------------------------

TEST(VariableFonts, EnumerationReportsTheFamiliesInOrder) {
    std::vector<std::string> expected;
    for (const Row &row : expected_faces())
        if (number(row, "representative") == 1) expected.push_back(row.at("family"));
    std::vector<std::string> actual;
    for (const Enumerated &family : dm12_gdi_test::enumerate_families())
        actual.push_back(family.name);
    EXPECT_EQ(actual, expected);
}

// One row per face: the family's faces by name, each with its own LOGFONTA;
// the family's own LOGFONTA is its representative's and realizes a face of
// the family's name; an instance measures as its static twin.
TEST(VariableFonts, EachFaceAsTheTableSays) {
    std::map<std::string, Enumerated> by_name;
    for (const Enumerated &family : dm12_gdi_test::enumerate_families())
        by_name[family.name] = family;
    std::map<std::string, int> face_counts;
    for (const Row &row : expected_faces()) ++face_counts[row.at("family")];

    for (const Row &row : expected_faces()) {
        const std::string &family = row.at("family");
        SCOPED_TRACE("'" + escape(family) + "', " + describe(row) + ", " + row.at("file") +
                     " instance " + row.at("instance"));
        const std::vector<Enumerated> faces = faces_of(family);
        EXPECT_EQ(faces.size(), static_cast<std::size_t>(face_counts[family]));
        const Enumerated *face = face_with(faces, number(row, "lfWeight"), number(row, "lfItalic"));
        ASSERT_NE(face, nullptr) << "no such face among the family's " << faces.size();
        EXPECT_EQ(face->name, family);
        EXPECT_EQ(face->font_type, static_cast<DWORD>(TRUETYPE_FONTTYPE));
        EXPECT_EQ(describe(face->logfont), describe(row));
        EXPECT_EQ(face->logfont.lfPitchAndFamily, 0x22);

        if (number(row, "representative") == 1) {
            const auto enumerated = by_name.find(family);
            ASSERT_NE(enumerated, by_name.end()) << "family not enumerated";
            EXPECT_EQ(describe(enumerated->second.logfont), describe(row))
                << "not the representative";
            EXPECT_EQ(realize(enumerated->second.logfont).face_name, family);
        }
        if (!row.at("twin").empty()) {
            const std::vector<Enumerated> twins = faces_of(row.at("twin"));
            ASSERT_EQ(twins.size(), 1u) << "twin '" << row.at("twin") << "'";
            expect_same_widths("'" + escape(family) + "' " + describe(row), realize(face->logfont),
                               realize(twins.front().logfont));
        }
    }
}

// Choosing a family's representative holds one face open at a time, as a
// worker thread's budget of descriptors assumes. Two regular instances of
// DM12Schrift tie as peeked, at the default's height; read in full, the
// first (SemiCondensed, 38 pixels) ranks behind the second (37): the choice
// must close it before it opens the other, with one descriptor to spare.
TEST(VariableFonts, ChoosingTheRepresentativeHoldsOneFaceOpen) {
    char folder[] = "/tmp/dm12-one-face-open-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    const std::string font = std::string(DUMP_METRICS12_VARIABLE_FONT_DIR) + "/DM12Schrift.ttf";
    dm12_gdi::ListedFamily family;
    family.lowercase_cp1252 = "dm12 tie";
    for (const auto &[file, instance] :
         {std::make_pair("a.ttf", 8L), std::make_pair("b.ttf", 3L)}) {
        const std::string path = std::string(folder) + "/" + file;
        std::ifstream in(font, std::ios::binary);
        std::ofstream(path, std::ios::binary) << in.rdbuf();
        dm12_gdi::ListedFace face;
        face.path = path;
        face.index = instance << dm12_gdi::kInstanceShift;
        face.format = "TrueType";
        std::string problem;
        ASSERT_TRUE(dm12_gdi::take_snapshot(path, face.snapshot, problem)) << problem;
        face.named_instance = true;
        face.style.family = "DM12 Tie";
        family.members.push_back(face);
    }
    FT_Library library = dm12_gdi::freetype_library();
    // A face kept from the tests before would free a descriptor when closed.
    dm12_gdi::close_kept_face(library);
    int first_free = 0;
    while (fcntl(first_free, F_GETFD) != -1) ++first_free;
    int second_free = first_free + 1;
    while (fcntl(second_free, F_GETFD) != -1) ++second_free;
    rlimit before = {};
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &before), 0);
    rlimit one_spare = before;
    one_spare.rlim_cur = static_cast<rlim_t>(second_free);
    std::unique_ptr<dm12_gdi::FontFamily> chosen;
    std::string failure;
    dm12_gdi::OwnedFace opened;
    dm12_gdi::Problems problems;
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &one_spare), 0);
    try {
        chosen = dm12_gdi::choose_representative(family, library, opened, problems, nullptr);
    } catch (const std::exception &error) {
        failure = error.what();
    }
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &before), 0);
    opened.reset();
    for (const dm12_gdi::ListedFace &face : family.members) std::remove(face.path.c_str());
    rmdir(folder);
    EXPECT_EQ(failure, "");
    ASSERT_NE(chosen, nullptr);
    EXPECT_EQ(chosen->faces.front().file, family.members[1].path);
    EXPECT_EQ(chosen->faces.front().logfont.lfHeight, 37);
}

// A named instance read after another instance of its file (the face kept
// from that one, switched to it) reads and measures as the face opened at
// it: the same LOGFONTA, TEXTMETRICA and widths, from every other instance of
// DM12Schrift, whose MVAR varies usWinAscent and usWinDescent (a switched
// face keeps FreeType 2.13's OS/2 values of the instance it was opened at).
TEST(VariableFonts, SwitchedInstanceReadsAsOpened) {
    struct Read {
        dm12_gdi::FontFace face;
        dm12_gdi::CodeWidths widths;
    };
    FT_Library library = dm12_gdi::freetype_library();
    const auto read = [library](long instance) {
        dm12_gdi::ListedFace listed;
        listed.path = std::string(DUMP_METRICS12_VARIABLE_FONT_DIR) + "/DM12Schrift.ttf";
        listed.index = instance << dm12_gdi::kInstanceShift;
        listed.format = "TrueType";
        listed.named_instance = true;
        listed.style.family = "DM12Schrift";
        std::string problem;
        Read result;
        dm12_gdi::OwnedFace opened;
        EXPECT_TRUE(dm12_gdi::take_snapshot(listed.path, listed.snapshot, problem)) << problem;
        EXPECT_TRUE(dm12_gdi::read_with_freetype(library, listed, result.face, problem, &opened))
            << "instance " << instance << ": " << problem;
        dm12_gdi::FontFamily family;
        family.faces.push_back(result.face);
        dm12_gdi::SizedFace sized;
        if (opened)
            dm12_gdi::measure_representative(family, std::move(opened), sized, result.widths);
        return result;
    };
    const auto widths_of = [](const dm12_gdi::CodeWidths &widths) {
        std::ostringstream out;
        for (std::size_t i = 0; i < kCodes; ++i)
            out << widths.measured[i] << ' ' << widths.widths[i].abcfA << ' '
                << widths.widths[i].abcfB << ' ' << widths.widths[i].abcfC << '\n';
        return out.str();
    };
    constexpr long kInstances = 15;
    for (long to = 1; to <= kInstances; ++to) {
        dm12_gdi::close_kept_face(library);
        const Read opened = read(to);
        for (long from = 1; from <= kInstances; ++from) {
            if (from == to) continue;
            SCOPED_TRACE("instance " + std::to_string(to) + " after " + std::to_string(from));
            dm12_gdi::close_kept_face(library);
            read(from);
            const Read switched = read(to);
            EXPECT_EQ(describe(switched.face.logfont), describe(opened.face.logfont));
            EXPECT_EQ(switched.face.metrics.tmAscent, opened.face.metrics.tmAscent);
            EXPECT_EQ(switched.face.metrics.tmDescent, opened.face.metrics.tmDescent);
            EXPECT_EQ(switched.face.metrics.tmMaxCharWidth, opened.face.metrics.tmMaxCharWidth);
            EXPECT_EQ(widths_of(switched.widths), widths_of(opened.widths));
        }
    }
    dm12_gdi::close_kept_face(library);
}

// --- fonts given at run time ------------------------------------------------

// DM12_INSTANCER_TWINS names a table of instancer_check.py: per named instance
// its weight, slant and twin family, and why rows may differ. The instance is
// found by weight and slant among every face that is not a twin.
TEST(InstancerCheck, FontsGivenAtRunTime) {
    const char *table = std::getenv("DM12_INSTANCER_TWINS");
    if (!table || !*table) GTEST_SKIP() << "run through instancer_check.py";
    std::map<std::tuple<long, long>, LOGFONTA> instances;
    for (const Enumerated &family : dm12_gdi_test::enumerate_families()) {
        if (family.name.rfind("DM12 Twin", 0) == 0) continue;
        for (const Enumerated &face : faces_of(family.name))
            instances[{face.logfont.lfWeight, face.logfont.lfItalic}] = face.logfont;
    }
    std::map<std::string, std::map<long, std::string>> reasons;
    const std::vector<Row> rows = read_table(table);
    for (const Row &row : rows)
        if (!row.at("code").empty()) reasons[row.at("twin")][number(row, "code")] = row.at("why");
    int checked = 0;
    for (const Row &row : rows) {
        if (!row.at("code").empty()) continue;
        const std::string what = row.at("file") + " instance " + row.at("instance");
        SCOPED_TRACE(what);
        const auto instance = instances.find({number(row, "lfWeight"), number(row, "lfItalic")});
        const std::vector<Enumerated> twins = faces_of(row.at("twin"));
        if (instance == instances.end() || twins.size() != 1) {
            ADD_FAILURE() << "no face of weight " << row.at("lfWeight") << " italic "
                          << row.at("lfItalic") << ", or " << twins.size() << " faces of twin '"
                          << row.at("twin") << "'";
            continue;
        }
        EXPECT_EQ(describe(instance->second), describe(twins.front().logfont));
        expect_same_widths(what, realize(instance->second), realize(twins.front().logfont),
                           reasons[row.at("twin")]);
        ++checked;
    }
    std::cout << checked << " named instances set against their static twins\n";
    EXPECT_GT(checked, 0);
}

}  // namespace

int main(int argc, char **argv) {
    // The committed set unless a runner chose another (before the first GDI call).
    setenv("FONTCONFIG_FILE", DUMP_METRICS12_VARIABLE_FONTCONFIG, 0);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
