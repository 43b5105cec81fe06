// Runs the real program (dump_metrics12_scripted: main over the fake) as a
// subprocess (subprocess.h), in a temporary directory of its own, on a script.
#ifndef DUMP_METRICS12_TESTS_PROGRAM_PROGRAM_RUN_H
#define DUMP_METRICS12_TESTS_PROGRAM_PROGRAM_RUN_H

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "fake_gdi.h"
#include "subprocess.h"

struct RunResult {
    int exit_code = -1;  // -1 where the program did not exit normally
    int signal = 0;  // the signal that ended it, if one did
    std::string out;  // standard output, as bytes
    std::string err;  // standard error
    std::optional<std::string> table;  // dump_metrics12.csv after the run, if a regular file
    std::vector<std::string> log;  // the fake's log, one call a line, "live: ..." last
    bool logged = false;  // the fake wrote its log (it was used at all)
};

// Where standard output goes, and the limits the program runs under.
struct RunOptions {
    using Out = subprocess::Output;
    Out out = Out::captured;
    long file_size_limit = 0;  // RLIMIT_FSIZE in bytes; 0: none
    int expected_signal = 0;  // a signal that may end the run without failing the test
};

// One temporary directory: `work()` is the program's working directory, and the
// script, the log and the captured output lie beside it, outside it.
class ProgramRun {
public:
    ProgramRun();
    ~ProgramRun();
    ProgramRun(const ProgramRun &) = delete;
    ProgramRun &operator=(const ProgramRun &) = delete;

    const std::filesystem::path &work() const { return work_; }
    std::filesystem::path table_path() const;

    // Runs the program with `args` after its name; fails the test (and returns
    // exit_code -1) if it could not be started or ran for more than a minute.
    RunResult run(const fake_gdi::Script &script, const std::vector<std::string> &args = {},
                  const RunOptions &options = {});

private:
    std::filesystem::path root_;
    std::filesystem::path work_;
};

// The program's path, and whether its fopen and fclose are logged.
const char *scripted_program();
bool stdio_is_logged();

#endif  // DUMP_METRICS12_TESTS_PROGRAM_PROGRAM_RUN_H
