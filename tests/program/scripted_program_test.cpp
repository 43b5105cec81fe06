// The real program, run as a subprocess over the fake, each run in a temporary
// directory of its own: the table to the byte, standard output and standard
// error exactly, the exit status, and the calls main makes.

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "expected.h"
#include "fake_gdi.h"
#include "program_run.h"

namespace {

namespace fs = std::filesystem;
using fake_gdi::Family;
using fake_gdi::Script;

// The table, the standard output and the stderr a run of `script` should give
// where every write succeeds.
struct Output {
    std::string table;
    std::string out;
};

Output expected_output(const Script &script) {
    Output expected{expected::kHeader, ""};
    for (std::size_t i = 0; i < script.families.size(); ++i) {
        const Family &family = script.families[i];
        const expected::FontOutput font = expected::font_output(script, i, family.font_type);
        expected.table += font.rows;
        expected.out += expected::progress_line(family.enumerated_name()) + font.failures;
    }
    return expected;
}

// A bit of everything: a realized name, a failing code, chosen widths, a
// GetTextFaceA failure, every code failing, font types with high bits.
Script mixed_script() {
    Script script;
    Family arial = fake_gdi::make_family("Arial");
    arial.realized_name = "Arial Realized";
    arial.failing_codes = {0x41};
    arial.widths[0x42] = ABCFLOAT{-0.004f, 7.5f, -0.001f};
    arial.widths[0x43] = ABCFLOAT{-0.004f, 0.0f, 0.0f};
    script.families.push_back(arial);

    Family courier = fake_gdi::make_family("Courier", RASTER_FONTTYPE | 0x100);
    courier.text_face_fails = true;
    courier.realized_name = "Never Asked";
    script.families.push_back(courier);

    Family broken = fake_gdi::make_family("Broken", DEVICE_FONTTYPE | RASTER_FONTTYPE | 0x10);
    broken.all_codes_fail = true;
    script.families.push_back(broken);

    Family last = fake_gdi::make_family("Last", DEVICE_FONTTYPE);
    last.failing_codes = {32, 127};
    script.families.push_back(last);
    return script;
}

std::size_t count_of(const std::string &text, const std::string &what) {
    std::size_t count = 0;
    for (std::size_t at = text.find(what); at != std::string::npos;
         at = text.find(what, at + what.size()))
        ++count;
    return count;
}

// The fake's log without the program's stdio calls, which are logged only where
// the linker can wrap them.
std::vector<std::string> gdi_calls(const RunResult &run) {
    std::vector<std::string> calls;
    for (const std::string &line : run.log)
        if (line.rfind("fopen(", 0) != 0 && line.rfind("fdopen(", 0) != 0 &&
            line.rfind("fclose(", 0) != 0)
            calls.push_back(line);
    return calls;
}

bool made_gdi_calls(const RunResult &run) {
    for (const std::string &line : gdi_calls(run))
        if (line.rfind("live:", 0) != 0) return true;
    return false;
}

void expect_no_misuse_or_leak(const RunResult &run) {
    ASSERT_TRUE(run.logged);
    EXPECT_EQ(run.log.back(), "live: none");
    for (const std::string &line : run.log)
        EXPECT_EQ(line.find("[misuse]"), std::string::npos) << line;
}

// One line on stderr, naming the table.
void expect_one_line_naming_the_table(const std::string &err) {
    EXPECT_EQ(count_of(err, "\n"), 1u) << err;
    ASSERT_FALSE(err.empty());
    EXPECT_EQ(err.back(), '\n') << err;
    EXPECT_NE(err.find(expected::kTableName), std::string::npos) << err;
}

class Program : public ::testing::Test {
protected:
    // Runs the program on `script` and checks that it succeeds with exactly
    // the table and standard output the script should give.
    RunResult run_as_expected(const Script &script) {
        const RunResult run = run_.run(script);
        const Output expected = expected_output(script);
        EXPECT_EQ(run.exit_code, 0);
        EXPECT_TRUE(run.table.has_value());
        if (run.table) {
            EXPECT_EQ(*run.table, expected.table);
        }
        EXPECT_EQ(run.out, expected.out);
        EXPECT_EQ(run.err, "");
        return run;
    }

    ProgramRun run_;
};

// ---- the table

TEST_F(Program, NoFamilyGivesTheHeaderOnlyAndPrintsNothing) {
    const RunResult run = run_.run(Script{});
    EXPECT_EQ(run.exit_code, 0);
    ASSERT_TRUE(run.table.has_value());
    EXPECT_EQ(*run.table, "lfFaceName, abcfA, abcfB, abcfC, Advance\r\n");
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(gdi_calls(run), (std::vector<std::string>{
                                  "CreateCompatibleDC(NULL) -> dc#1",
                                  "EnumFontFamiliesA(dc#1, NULL, proc) -> 1",
                                  "DeleteDC(dc#1) -> TRUE",
                                  "live: none",
                              }));
}

TEST_F(Program, TheHeaderToTheByte) {
    const RunResult run = run_.run(mixed_script());
    ASSERT_TRUE(run.table.has_value());
    const std::string header("lfFaceName, abcfA, abcfB, abcfC, Advance\r\n");
    ASSERT_EQ(header.size(), 42u);
    EXPECT_EQ(run.table->substr(0, 42), header);
    EXPECT_EQ(run.table->compare(0, 42, expected::kHeader), 0);
}

TEST_F(Program, TheWholeTableToTheByte) {
    expect_no_misuse_or_leak(run_as_expected(mixed_script()));
}

TEST_F(Program, EveryLineEndsInCrLf) {
    const RunResult run = run_.run(mixed_script());
    ASSERT_TRUE(run.table.has_value());
    const std::string &table = *run.table;
    ASSERT_GE(table.size(), 2u);
    EXPECT_EQ(table.substr(table.size() - 2), "\r\n");
    // 1 header + (95 + 96 + 0 + 94) rows.
    EXPECT_EQ(count_of(table, "\r\n"), 1u + 95u + 96u + 94u);
    EXPECT_EQ(count_of(table, "\n"), count_of(table, "\r\n"));
    EXPECT_EQ(count_of(table, "\r"), count_of(table, "\r\n"));
}

TEST_F(Program, KeysOfTheAwkwardCharacters) {
    Script script;
    Family family = fake_gdi::make_family("Face");
    for (const unsigned code : {0x20u, 0x22u, 0x27u, 0x2cu, 0x7fu})
        family.widths[code] = ABCFLOAT{0.5f, 10.0f, -0.25f};
    script.families.push_back(family);
    const RunResult run = run_.run(script);
    ASSERT_TRUE(run.table.has_value());
    for (const char *row : {
             "\"Face (TT) -' '-0x20\",0.50,10.00,-0.25,10.25\r\n",  // space
             "\"Face (TT) -'\"'-0x22\",0.50,10.00,-0.25,10.25\r\n",  // a bare double quote
             "\"Face (TT) -'''-0x27\",0.50,10.00,-0.25,10.25\r\n",  // three apostrophes
             "\"Face (TT) -','-0x2c\",0.50,10.00,-0.25,10.25\r\n",  // a comma inside the quotes
             "\"Face (TT) -'\x7f'-0x7f\",0.50,10.00,-0.25,10.25\r\n",  // the raw byte 0x7f
         })
        EXPECT_EQ(count_of(*run.table, row), 1u) << row;
    const std::string first = "\"Face (TT) -' '-0x20\",0.50,10.00,-0.25,10.25\r\n";
    const std::string last = "\"Face (TT) -'\x7f'-0x7f\",0.50,10.00,-0.25,10.25\r\n";
    EXPECT_EQ(run.table->compare(42, first.size(), first), 0);  // code 0x20 is the first row
    ASSERT_GE(run.table->size(), last.size());
    EXPECT_EQ(run.table->substr(run.table->size() - last.size()), last);  // and 0x7f the last
}

TEST_F(Program, CodesInLowercaseTwoDigitHex) {
    Script script;
    script.families.push_back(fake_gdi::make_family("Hex"));
    const RunResult run = run_.run(script);
    ASSERT_TRUE(run.table.has_value());
    const std::regex row_key("^\"Hex \\(TT\\) -'.'-0x([0-9a-f]{2})\",");
    std::size_t rows = 0;
    unsigned next = 32;
    std::size_t at = 42;
    while (at < run.table->size()) {
        const std::size_t end = run.table->find("\r\n", at);
        ASSERT_NE(end, std::string::npos);
        const std::string line = run.table->substr(at, end - at);
        std::smatch match;
        ASSERT_TRUE(std::regex_search(line, match, row_key)) << line;
        EXPECT_EQ(std::stoul(match[1].str(), nullptr, 16), next) << line;
        ++next;
        ++rows;
        at = end + 2;
    }
    EXPECT_EQ(rows, 96u);
    for (const char *key : {"-0x3a\"", "-0x3f\"", "-0x4a\"", "-0x7e\"", "-0x7f\""})
        EXPECT_EQ(count_of(*run.table, key), 1u) << key;
}

TEST_F(Program, NegativeValuesThatRoundToZeroPrintMinusZero) {
    Script script;
    Family family = fake_gdi::make_family("Zero");
    family.widths[0x30] = ABCFLOAT{-0.004f, 0.0f, 0.0f};
    family.widths[0x31] = ABCFLOAT{0.0f, -0.001f, -0.003f};
    family.widths[0x32] = ABCFLOAT{-0.0f, 0.0f, -0.0f};
    script.families.push_back(family);
    const RunResult run = run_.run(script);
    ASSERT_TRUE(run.table.has_value());
    EXPECT_EQ(count_of(*run.table, "\"Zero (TT) -'0'-0x30\",-0.00,0.00,0.00,-0.00\r\n"), 1u);
    EXPECT_EQ(count_of(*run.table, "\"Zero (TT) -'1'-0x31\",0.00,-0.00,-0.00,-0.00\r\n"), 1u);
    EXPECT_EQ(count_of(*run.table, "\"Zero (TT) -'2'-0x32\",-0.00,0.00,-0.00,0.00\r\n"), 1u);
}

TEST_F(Program, AnEarlierTableIsEmptied) {
    {
        std::ofstream earlier(run_.table_path(), std::ios::binary);
        earlier << std::string(100000, 'x') << "\r\n";
    }
    const RunResult run = run_.run(Script{});
    EXPECT_EQ(run.exit_code, 0);
    ASSERT_TRUE(run.table.has_value());
    EXPECT_EQ(*run.table, expected::kHeader);

    const Script script = mixed_script();
    const RunResult again = run_.run(script);
    ASSERT_TRUE(again.table.has_value());
    EXPECT_EQ(*again.table, expected_output(script).table);
}

TEST_F(Program, CommandLineArgumentsChangeNothing) {
    const Script script = mixed_script();
    const RunResult plain = run_.run(script);
    ASSERT_TRUE(plain.table.has_value());
    for (const std::vector<std::string> &args : std::vector<std::vector<std::string>>{
             {"--help"}, {"-o", "other.csv"}, {"other.csv"}, {"", "-", "--version", "x y"}}) {
        const RunResult run = run_.run(script, args);
        EXPECT_EQ(run.exit_code, plain.exit_code);
        EXPECT_EQ(run.out, plain.out);
        EXPECT_EQ(run.err, plain.err);
        EXPECT_EQ(run.table, plain.table);
        EXPECT_EQ(run.log, plain.log);
        std::vector<std::string> files;
        for (const fs::directory_entry &entry : fs::directory_iterator(run_.work()))
            files.push_back(entry.path().filename().string());
        EXPECT_EQ(files, std::vector<std::string>{"dump_metrics12.csv"});
    }
}

// ---- standard output

TEST_F(Program, ProgressShowsTheEnumeratedNameAndRowsTheRealizedOne) {
    Script script;
    Family family = fake_gdi::make_family("Enumerated Name", TRUETYPE_FONTTYPE);
    family.realized_name = "Realized Name";
    family.failing_codes = {0x50};
    script.families.push_back(family);
    const RunResult run = run_.run(script);
    EXPECT_EQ(run.out,
              "Processing font 'Enumerated Name'\n"
              "Failed to get character widths for face 'Realized Name (TT) '.\n");
    ASSERT_TRUE(run.table.has_value());
    EXPECT_EQ(count_of(*run.table, "\"Realized Name (TT) -'"), 95u);
    EXPECT_EQ(count_of(*run.table, "Enumerated"), 0u);
}

TEST_F(Program, EachFontsFailuresFollowItsProgressLine) {
    Script script;
    Family a = fake_gdi::make_family("A", RASTER_FONTTYPE);
    a.failing_codes = {0x41, 0x61};
    script.families.push_back(a);
    script.families.push_back(fake_gdi::make_family("B"));
    Family c = fake_gdi::make_family("C", 5);
    c.failing_codes = {0x20};
    script.families.push_back(c);
    const RunResult run = run_.run(script);
    EXPECT_EQ(run.out,
              "Processing font 'A'\n"
              "Failed to get character widths for face 'A (RAS) '.\n"
              "Failed to get character widths for face 'A (RAS) '.\n"
              "Processing font 'B'\n"
              "Processing font 'C'\n"
              "Failed to get character widths for face 'C'.\n");
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(run.exit_code, 0);
}

TEST_F(Program, EveryCodeFailingThenTheNextFamilyAsUsual) {
    Script script;
    Family broken = fake_gdi::make_family("Broken");
    broken.all_codes_fail = true;
    script.families.push_back(broken);
    script.families.push_back(fake_gdi::make_family("Sound"));
    const RunResult run = run_.run(script);
    std::string out = "Processing font 'Broken'\n";
    for (int i = 0; i < 96; ++i) out += "Failed to get character widths for face 'Broken (TT) '.\n";
    out += "Processing font 'Sound'\n";
    EXPECT_EQ(run.out, out);
    ASSERT_TRUE(run.table.has_value());
    EXPECT_EQ(*run.table, expected_output(script).table);
    EXPECT_EQ(count_of(*run.table, "Broken"), 0u);
    EXPECT_EQ(count_of(*run.table, "\"Sound (TT) -'"), 96u);
    EXPECT_EQ(run.exit_code, 0);
}

TEST_F(Program, LongNamesAndEveryFontType) {
    Script script;
    for (DWORD low = 0; low < 16; ++low) {
        Family family = fake_gdi::make_family(std::string(31, static_cast<char>('a' + low)),
                                              low | (low % 2 ? 0x100u : 0x0u));
        if (low % 3 == 0) family.realized_name = std::string(45, static_cast<char>('A' + low));
        if (low % 3 == 1) family.text_face_fails = true;
        family.failing_codes = {0x60};
        script.families.push_back(family);
    }
    run_as_expected(script);
}

// ---- main's calls

TEST_F(Program, MainEnumeratesWithAContextOfItsOwnAndReleasesEverything) {
    const Script script = mixed_script();
    const RunResult run = run_.run(script);
    expect_no_misuse_or_leak(run);
    const std::vector<std::string> calls = gdi_calls(run);
    ASSERT_GE(calls.size(), 4u);
    EXPECT_EQ(calls[0], "CreateCompatibleDC(NULL) -> dc#1");
    EXPECT_EQ(calls[1], "EnumFontFamiliesA(dc#1, NULL, proc) -> 1");
    EXPECT_EQ(calls[calls.size() - 2], "DeleteDC(dc#1) -> TRUE");
    EXPECT_EQ(count_of(run.out, "Processing font"), script.families.size());
    const auto callbacks = std::count_if(calls.begin(), calls.end(), [](const std::string &line) {
        return line.rfind("proc(", 0) == 0;
    });
    EXPECT_EQ(static_cast<std::size_t>(callbacks), script.families.size());
}

TEST_F(Program, MainOpensTheTableFirstAndClosesItAfterDeletingItsContext) {
    if (!stdio_is_logged()) GTEST_SKIP() << "the linker cannot wrap fdopen and fclose here";
    const RunResult run = run_.run(mixed_script());
    ASSERT_GE(run.log.size(), 4u);
    EXPECT_EQ(run.log.front(), "fdopen(fd, \"wb\") -> FILE");  // under its temporary name
    EXPECT_EQ(run.log[1], "CreateCompatibleDC(NULL) -> dc#1");
    EXPECT_EQ(run.log[run.log.size() - 3], "DeleteDC(dc#1) -> TRUE");
    EXPECT_EQ(run.log[run.log.size() - 2], "fclose(FILE) -> 0");
    EXPECT_EQ(run.log.back(), "live: none");
}

// ---- when the table cannot be written

TEST_F(Program, ATableThatCannotBeOpenedStopsTheProgramBeforeEnumerating) {
    fs::create_directory(run_.table_path());
    const RunResult run = run_.run(mixed_script());
    EXPECT_EQ(run.exit_code, 1);
    EXPECT_EQ(run.out, "");
    expect_one_line_naming_the_table(run.err);
    EXPECT_NE(run.err.find(std::strerror(EISDIR)), std::string::npos) << run.err;
    EXPECT_FALSE(made_gdi_calls(run)) << ::testing::PrintToString(run.log);
    EXPECT_TRUE(fs::is_directory(run_.table_path()));
    EXPECT_TRUE(fs::is_empty(run_.table_path()));
}

class FullDevice : public Program {
protected:
    void SetUp() override {
        if (!fs::is_character_file("/dev/full")) GTEST_SKIP() << "no /dev/full here";
        fs::create_symlink("/dev/full", run_.table_path());
    }

    void expect_write_failure(const RunResult &run) {
        EXPECT_EQ(run.exit_code, 1);
        expect_one_line_naming_the_table(run.err);
        EXPECT_NE(run.err.find(std::strerror(ENOSPC)), std::string::npos)
            << "the reason is missing: " << run.err;
        expect_no_misuse_or_leak(run);
    }
};

TEST_F(FullDevice, HeaderOnly) {
    const RunResult run = run_.run(Script{});
    expect_write_failure(run);
    EXPECT_EQ(run.out, "");
}

TEST_F(FullDevice, RowsOfOneFamily) {
    Script script;
    script.families.push_back(fake_gdi::make_family("Arial"));
    const RunResult run = run_.run(script);
    expect_write_failure(run);
    EXPECT_EQ(run.out, "Processing font 'Arial'\n");
}

TEST_F(FullDevice, MoreRowsThanAStreamBufferHolds) {
    Script script;
    for (int i = 0; i < 30; ++i)
        script.families.push_back(fake_gdi::make_family("Family " + std::to_string(i)));
    const RunResult run = run_.run(script);
    expect_write_failure(run);
    EXPECT_EQ(count_of(run.out, "Processing font"), 30u);
}

// ---- a hostile environment: standard output, limits and signals

std::vector<std::string> files_in(const fs::path &folder) {
    std::vector<std::string> files;
    for (const fs::directory_entry &entry : fs::directory_iterator(folder))
        files.push_back(entry.path().filename().string());
    std::sort(files.begin(), files.end());
    return files;
}

struct HostileCase {
    const char *name;
    RunOptions options;
    int raise_signal;  // raised as the third family is handed over
    int exit_code;  // -1: ended by options.expected_signal
    const char *err;
    bool whole_table;  // else the earlier table is left as it was
};

void PrintTo(const HostileCase &c, std::ostream *out) { *out << c.name; }

using Out = RunOptions::Out;
const HostileCase kHostileCases[] = {
    // The table is opened on descriptor 1 unless the program opens it first.
    {"StandardOutputClosed", {Out::closed}, 0, 0, "", true},
    {"StandardOutputFull",
     {Out::full_device},
     0,
     1,
     "dump_metrics12: cannot write standard output: No space left on device\n",
     true},
    // SIGPIPE would end the run with the table torn.
    {"StandardOutputAPipeNobodyReads",
     {Out::unread_pipe},
     0,
     1,
     "dump_metrics12: cannot write standard output: Broken pipe\n",
     true},
    // SIGXFSZ would end the run; the limit is an ordinary write error.
    {"FileSizeLimit",
     {Out::captured, 8192},
     0,
     1,
     "dump_metrics12: cannot write 'dump_metrics12.csv': File too large\n",
     false},
    {"Interrupted", {Out::captured, 0, SIGINT}, SIGINT, -1, "", false},
    {"Terminated", {Out::captured, 0, SIGTERM}, SIGTERM, -1, "", false},
    {"HungUp", {Out::captured, 0, SIGHUP}, SIGHUP, -1, "", false},
};

class Hostile : public ::testing::TestWithParam<HostileCase> {};

TEST_P(Hostile, NeverATornTableAndEveryFailureSaid) {
    const HostileCase &c = GetParam();
    ProgramRun program;
    const std::string earlier = "earlier table\r\n";
    std::ofstream(program.table_path(), std::ios::binary) << earlier;
    Script script;
    for (int i = 0; i < 30; ++i)
        script.families.push_back(fake_gdi::make_family("Family " + std::to_string(i)));
    script.families[2].raise_signal = c.raise_signal;

    const RunResult run = program.run(script, {}, c.options);
    if (c.exit_code < 0) {
        EXPECT_EQ(run.signal, c.options.expected_signal);
    } else {
        EXPECT_EQ(run.exit_code, c.exit_code);
    }
    EXPECT_EQ(run.err, c.err);
    ASSERT_TRUE(run.table.has_value());
    EXPECT_EQ(*run.table, c.whole_table ? expected_output(script).table : earlier);
    EXPECT_EQ(files_in(program.work()), std::vector<std::string>{"dump_metrics12.csv"});
}

INSTANTIATE_TEST_SUITE_P(Program, Hostile, ::testing::ValuesIn(kHostileCases),
                         [](const ::testing::TestParamInfo<HostileCase> &param_info) {
                             return std::string(param_info.param.name);
                         });

// A symlink in the table's place stays one: the file it leads to gets the
// table, keeping its permissions, and is made where it does not exist yet.
TEST_F(Program, ATableBehindASymlinkIsWrittenThroughIt) {
    const Script script = mixed_script();
    const fs::path elsewhere = run_.work().parent_path() / "elsewhere";
    fs::create_directory(elsewhere);
    fs::create_symlink("../elsewhere/table.csv", run_.table_path());
    const RunResult made = run_.run(script);
    EXPECT_EQ(made.exit_code, 0);
    ASSERT_TRUE(fs::is_symlink(run_.table_path()));
    ASSERT_TRUE(fs::is_regular_file(elsewhere / "table.csv"));

    fs::permissions(elsewhere / "table.csv", fs::perms::owner_read | fs::perms::owner_write);
    const RunResult again = run_.run(script);
    EXPECT_EQ(again.exit_code, 0);
    EXPECT_TRUE(fs::is_symlink(run_.table_path()));
    std::ifstream in(elsewhere / "table.csv", std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), expected_output(script).table);
    EXPECT_EQ(fs::status(elsewhere / "table.csv").permissions(),
              fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(files_in(elsewhere), std::vector<std::string>{"table.csv"});
}

TEST_F(Program, AFailingCloseIsReported) {
    if (!stdio_is_logged()) GTEST_SKIP() << "the linker cannot wrap fclose here";
    Script script = mixed_script();
    script.fclose_error = EIO;
    const RunResult run = run_.run(script);
    EXPECT_EQ(run.exit_code, 1);
    expect_one_line_naming_the_table(run.err);
    EXPECT_NE(run.err.find(std::strerror(EIO)), std::string::npos) << run.err;
    EXPECT_EQ(run.out, expected_output(script).out);
}

}  // namespace
