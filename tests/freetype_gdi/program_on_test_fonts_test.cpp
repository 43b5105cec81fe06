// The real program, dump_metrics12 linked with our GDI, run on the private font
// set: in a temporary folder of its own, with FONTCONFIG_FILE naming the set's
// configuration. Its progress lines and its table are checked against the
// expected tables of tests/fonts, and a few rows against literal bytes.

#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "expected_tables.h"
#include "subprocess.h"
#include "width_table.h"

namespace {

using dm12_fonts::escape;
using dm12_fonts::ExpectedFamily;
using dm12_fonts::ExpectedRequest;

constexpr char kHeader[] = "lfFaceName, abcfA, abcfB, abcfC, Advance\r\n";
constexpr char kStaleRow[] = "\"stale-'x'-0x78\",9.00,9.00,9.00,27.00\r\n";

std::vector<std::string> split_lines(const std::string &text, const char *end) {
    std::vector<std::string> lines;
    const std::string separator(end);
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t stop = text.find(separator, start);
        if (stop == std::string::npos) {
            lines.push_back(text.substr(start));  // an unterminated last line
            break;
        }
        lines.push_back(text.substr(start, stop + separator.size() - start));
        start = stop + separator.size();
    }
    return lines;
}

struct RunResult {
    std::filesystem::path dir;
    int status = -1;
    std::string out;
    std::string err;
    std::string table;
};

// Runs the program in a new temporary folder, which already holds a table
// from an "earlier run" that the program must replace, with FONTCONFIG_FILE
// set to `fontconfig` (the private set's configuration where null), after
// `prepare` has put its files in the folder.
RunResult run_program(const char *fontconfig = nullptr,
                      const std::function<void(const std::filesystem::path &)> &prepare = {},
                      const std::vector<std::pair<std::string, std::string>> &environment = {}) {
    RunResult run;
    const char *tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/dm12-run-XXXXXX";
    if (!mkdtemp(pattern.data())) return run;
    run.dir = pattern;
    {
        std::ofstream stale(run.dir / "dump_metrics12.csv", std::ios::binary);
        for (int i = 0; i < 500; ++i) stale << kStaleRow;
    }
    if (prepare) prepare(run.dir);
    subprocess::Command command;
    command.program = DUMP_METRICS12_PROGRAM;
    command.directory = run.dir;
    command.environment = {
        {"FONTCONFIG_FILE", fontconfig ? fontconfig : dm12_fonts::fontconfig_file()}};
    command.environment.insert(command.environment.end(), environment.begin(), environment.end());
    command.out_file = run.dir / "stdout.txt";
    command.err_file = run.dir / "stderr.txt";
    const subprocess::Exit exit = subprocess::run(command);
    run.status = exit.code;
    run.out = exit.out;
    run.err = exit.err;
    run.table = subprocess::read_file(run.dir / "dump_metrics12.csv");
    return run;
}

// The rows the program must write for a family realized as `request`.
std::string expected_block(const ExpectedRequest &request) {
    std::string block;
    const std::string label = request.realized_face + font_type_tag(request.font_type);
    for (const dm12_fonts::ExpectedCode &code : request.codes) {
        char row[160];
        std::snprintf(row, sizeof row, "\"%s-'%c'-0x%02x\",%.2f,%.2f,%.2f,%.2f\r\n", label.c_str(),
                      static_cast<char>(code.code), code.code, static_cast<double>(code.a),
                      static_cast<double>(code.b), static_cast<double>(code.c),
                      static_cast<double>(code.advance));
        block += row;
    }
    return block;
}

class ProgramOnTestFonts : public ::testing::Test {
protected:
    static void SetUpTestSuite() { run_ = new RunResult(run_program()); }
    static void TearDownTestSuite() {
        if (!run_->dir.empty()) {
            std::error_code ignored;
            std::filesystem::remove_all(run_->dir, ignored);
        }
        delete run_;
        run_ = nullptr;
    }
    static const RunResult &result() { return *run_; }

    // The progress lines, in order: "Processing font '<name>'\n".
    static std::vector<std::string> progress_names() {
        std::vector<std::string> names;
        for (const std::string &line : split_lines(result().out, "\n")) {
            const std::string prefix = "Processing font '";
            if (line.compare(0, prefix.size(), prefix) == 0 && line.size() >= prefix.size() + 2 &&
                line.compare(line.size() - 2, 2, "'\n") == 0) {
                names.push_back(line.substr(prefix.size(), line.size() - prefix.size() - 2));
            }
        }
        return names;
    }

private:
    static RunResult *run_;
};

RunResult *ProgramOnTestFonts::run_ = nullptr;

TEST_F(ProgramOnTestFonts, ExitsWithZeroAndWritesNothingToTheErrorStream) {
    ASSERT_FALSE(result().dir.empty()) << "no temporary folder";
    EXPECT_EQ(result().status, 0);
    EXPECT_EQ(result().err, "");
}

TEST_F(ProgramOnTestFonts, PrintsOneProgressLinePerFamilyInEnumerationOrderAndNothingElse) {
    const std::vector<ExpectedFamily> families = dm12_fonts::expected_families();
    const std::vector<std::string> lines = split_lines(result().out, "\n");
    ASSERT_EQ(lines.size(), families.size()) << "standard output:\n" << result().out;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        // Families whose names differ only in case may come either way round.
        const std::string expected = "Processing font '" + families[i].name + "'\n";
        EXPECT_EQ(dm12_fonts::fold_case(lines[i]), dm12_fonts::fold_case(expected))
            << "line " << i << ": " << escape(lines[i]);
    }
    std::vector<std::string> names = progress_names(), expected_names;
    for (const ExpectedFamily &family : families) expected_names.push_back(family.name);
    std::sort(names.begin(), names.end());
    std::sort(expected_names.begin(), expected_names.end());
    EXPECT_EQ(names, expected_names);
}

// DUMP_METRICS12_TRACE tells, family by family, which face was chosen and
// why the others come after it; the table and standard output stay as
// they are.
TEST_F(ProgramOnTestFonts, TracesEachFamilysChoiceAndChangesNothingElse) {
    RunResult traced = run_program(nullptr, {}, {{"DUMP_METRICS12_TRACE", "1"}});
    EXPECT_EQ(traced.status, 0);
    EXPECT_EQ(traced.out, result().out);
    EXPECT_EQ(traced.table, result().table);
    std::size_t horizontal = 0, told = 0;
    for (const ExpectedFamily &family : dm12_fonts::expected_families())
        if (family.name[0] != '@') ++horizontal;
    for (std::size_t at = 0; (at = traced.err.find(": family '", at)) != std::string::npos; ++at)
        ++told;
    EXPECT_EQ(told, horizontal) << traced.err;
    // lfHeight and lfWidth: the family's own, expected_families.csv's 36 and 14.
    for (const char *line :
         {"DM12Sans-Regular.ttf: character set 0, regular, weight 400, OpenType; lfHeight 36, "
          "lfWidth 14\n",
          "DM12Sans-Bold.ttf: character set 0, bold, weight 700, OpenType (by style); lfHeight "})
        EXPECT_NE(traced.err.find(line), std::string::npos) << line << " not in\n" << traced.err;
    std::error_code ignored;
    std::filesystem::remove_all(traced.dir, ignored);
}

TEST_F(ProgramOnTestFonts, ReplacesTheEarlierTableAndStartsWithTheHeader) {
    EXPECT_EQ(result().table.compare(0, sizeof kHeader - 1, kHeader), 0)
        << escape(result().table.substr(0, 80));
    EXPECT_EQ(result().table.find("stale"), std::string::npos);
}

// FONTCONFIG_FILE: a relative name is the file in the current folder (here a
// copy of the private set's configuration named as the system's own), and a
// configuration fontconfig cannot load is an error that names it, with the
// earlier table left as it was, never a table of other fonts.
struct ConfigCase {
    const char *name;
    const char *fontconfig_file;
    const char *content;  // written to the folder as fontconfig_file; null: none
    const char *reason;  // what standard error says after the file's name; null: a good run
};

void PrintTo(const ConfigCase &c, std::ostream *out) { *out << c.name; }

const ConfigCase kConfigCases[] = {
    {"RelativeName", "fonts.conf", nullptr, nullptr},  // a copy of the private set's
    {"MissingFile", "no-such.conf", nullptr, "No such file or directory"},
    {"Folder", "conf.d", nullptr, "Is a directory"},
    {"EmptyFile", "empty.conf", "", "fontconfig cannot read it"},
    {"Malformed", "bad.conf", "<fontconfig><dir>/usr/share/fonts</fontconfig>",
     "fontconfig cannot read it"},
};

class ConfigFile : public ::testing::TestWithParam<ConfigCase> {};

TEST_P(ConfigFile, IsTheOneNamedOrAnError) {
    const ConfigCase &c = GetParam();
    namespace fs = std::filesystem;
    const RunResult run = run_program(c.fontconfig_file, [&c](const fs::path &dir) {
        if (std::string(c.name) == "RelativeName")
            fs::copy_file(dm12_fonts::fontconfig_file(), dir / c.fontconfig_file);
        else if (std::string(c.name) == "Folder")
            fs::create_directory(dir / c.fontconfig_file);
        else if (c.content)
            std::ofstream(dir / c.fontconfig_file, std::ios::binary) << c.content;
    });
    ASSERT_FALSE(run.dir.empty()) << "no temporary folder";
    if (c.reason == nullptr) {
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(run.err, "");
        const RunResult absolute = run_program();
        EXPECT_EQ(run.table, absolute.table);
        std::error_code ignored;
        std::filesystem::remove_all(absolute.dir, ignored);
    } else {
        EXPECT_EQ(run.status, 1);
        const std::string line = "dump_metrics12: cannot load the fontconfig configuration '" +
                                 (run.dir / c.fontconfig_file).string() + "': " + c.reason + "\n";
        EXPECT_NE(run.err.find(line), std::string::npos) << run.err;
        EXPECT_EQ(run.out, "");
        std::string stale;
        for (int i = 0; i < 500; ++i) stale += kStaleRow;
        EXPECT_EQ(run.table, stale);
    }
    std::error_code ignored;
    fs::remove_all(run.dir, ignored);
}

INSTANTIATE_TEST_SUITE_P(ProgramOnTestFonts, ConfigFile, ::testing::ValuesIn(kConfigCases),
                         [](const ::testing::TestParamInfo<ConfigCase> &param_info) {
                             return std::string(param_info.param.name);
                         });

// A few rows, byte for byte, as GDI's rules give them for the set
// (tests/fonts/EXPECTED.md): codes that the row format must pass through as they
// are (quote, apostrophe, comma, space, DEL), both font types, a symbol font, a
// fixed-pitch font at 31 pixels per em, codes a font lacks, a name cut to 31
// bytes, the "@" families, a name in Windows-1252, and the legacy family names.
const char *const kKnownRows[] = {
    "\"DM12 Sans (TT) -'A'-0x41\",-1.00,6.00,10.00,15.00\r\n",
    "\"DM12 Sans (TT) -'\"'-0x22\",1.00,4.00,9.00,14.00\r\n",
    "\"DM12 Sans (TT) -'''-0x27\",1.00,6.00,6.00,13.00\r\n",
    "\"DM12 Sans (TT) -','-0x2c\",1.00,3.00,8.00,12.00\r\n",
    "\"DM12 Sans (TT) -' '-0x20\",0.00,1.00,5.00,6.00\r\n",
    "\"DM12 Sans (TT) -'\x7f'-0x7f\",0.00,8.00,3.00,11.00\r\n",
    "\"DM12 Serif CFF (DEV) -'A'-0x41\",0.00,9.00,2.00,11.00\r\n",
    "\"DM12 Symbol (TT) -'A'-0x41\",3.00,17.00,-4.00,16.00\r\n",
    "\"DM12 Mono (TT) -'M'-0x4d\",0.00,19.00,-1.00,18.00\r\n",
    "\"DM12 Gappy (TT) -'Q'-0x51\",1.00,10.00,1.00,12.00\r\n",
    "\"DM12 Gappy (TT) -'~'-0x7e\",1.00,10.00,1.00,12.00\r\n",
    "\"DM12 Gappy (TT) -'P'-0x50\",0.00,13.00,-1.00,12.00\r\n",
    "\"DM12 Extraordinarily Long Famil (TT) -'x'-0x78\",-1.00,13.00,4.00,16.00\r\n",
    "\"@DM12 Extraordinarily Long Fami (TT) -'x'-0x78\",-1.00,13.00,4.00,16.00\r\n",
    "\"DM12 Nihon (TT) -'A'-0x41\",3.00,13.00,-3.00,13.00\r\n",
    "\"@DM12 Nihon (TT) -'A'-0x41\",3.00,13.00,-3.00,13.00\r\n",
    "\"DM12 Caf\xe9 ? (TT) -'e'-0x65\",1.00,12.00,-2.00,11.00\r\n",
    "\"DM12 Typo (TT) -'S'-0x53\",0.00,11.00,-1.00,10.00\r\n",
    "\"DM12 Typo Semibold (TT) -'S'-0x53\",1.00,8.00,3.00,12.00\r\n",
    "\"DM12 Collect One (TT) -'b'-0x62\",0.00,3.00,10.00,13.00\r\n",
    "\"DM12 Collect Two (TT) -'b'-0x62\",1.00,16.00,0.00,17.00\r\n",
    "\"DM12 Slant (TT) -'i'-0x69\",-1.00,5.00,7.00,11.00\r\n",
};

class KnownRow : public ProgramOnTestFonts, public ::testing::WithParamInterface<const char *> {};

TEST_P(KnownRow, IsInTheTableOnceByteForByte) {
    const std::vector<std::string> rows = split_lines(result().table, "\r\n");
    const std::string row = GetParam();
    EXPECT_EQ(std::count(rows.begin(), rows.end(), row), 1) << escape(row);
    if (std::count(rows.begin(), rows.end(), row) == 0) {
        // Show the row the table has for the same key, if any.
        const std::string key = row.substr(0, row.find("\","));
        for (const std::string &line : rows) {
            if (line.compare(0, key.size(), key) == 0)
                ADD_FAILURE() << "table has " << escape(line);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Table, KnownRow, ::testing::ValuesIn(kKnownRows),
                         [](const ::testing::TestParamInfo<const char *> &param_info) {
                             std::string row = param_info.param;
                             const std::size_t code = row.find("'-0x");
                             return dm12_fonts::identifier(row.substr(1, row.find(" (") - 1)) +
                                    "_" + row.substr(code + 4, 2);
                         });

// The whole table: the header, then each family's 96 rows in enumeration order,
// as the expected tables give them.
TEST_F(ProgramOnTestFonts, EveryFamilysRowsAreWhatTheExpectedTablesSay) {
    const std::vector<ExpectedRequest> requests = dm12_fonts::expected_requests();
    const std::vector<std::string> order = progress_names();
    ASSERT_FALSE(order.empty());
    const std::string &table = result().table;
    std::size_t at = sizeof kHeader - 1;
    int families_wrong = 0;
    for (const std::string &family : order) {
        // The family's own widths, or those of a family whose name differs only
        // in case, if the name realized that one (GDI leaves it open).
        bool matched = false;
        std::string first_expected;
        for (const ExpectedRequest &request : requests) {
            if (request.label != "enum" ||
                dm12_fonts::fold_case(request.face_name) != dm12_fonts::fold_case(family))
                continue;
            const std::string block = expected_block(request);
            if (table.compare(at, block.size(), block) == 0) {
                at += block.size();
                matched = true;
                break;
            }
            if (request.face_name == family) first_expected = block;
        }
        if (matched) continue;
        ++families_wrong;
        if (first_expected.empty()) {
            ADD_FAILURE() << "family '" << escape(family) << "' is not in the expected tables";
        }
        // Report the first differing row, then find the next family's rows.
        const std::vector<std::string> want = split_lines(first_expected, "\r\n");
        const std::vector<std::string> got =
            split_lines(table.substr(at, first_expected.size() + 400), "\r\n");
        for (std::size_t i = 0; i < want.size(); ++i) {
            if (i >= got.size() || got[i] != want[i]) {
                ADD_FAILURE() << "family '" << escape(family) << "', row " << i << ":\n  table    "
                              << (i < got.size() ? escape(got[i]) : "<none>") << "\n  expected "
                              << escape(want[i]);
                break;
            }
        }
        std::size_t skipped = 0;
        while (skipped < 96 && at < table.size()) {
            const std::size_t stop = table.find("\r\n", at);
            at = stop == std::string::npos ? table.size() : stop + 2;
            ++skipped;
        }
    }
    EXPECT_EQ(families_wrong, 0) << "of " << order.size() << " families";
    EXPECT_EQ(at, table.size()) << "rows after the last family's";
}

}  // namespace

int main(int argc, char **argv) {
    setenv("FONTCONFIG_FILE", dm12_fonts::fontconfig_file(), 1);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
