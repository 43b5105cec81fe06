#include "program_run.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include <unistd.h>

#include <gtest/gtest.h>

namespace fs = std::filesystem;

const char *scripted_program() { return DUMP_METRICS12_SCRIPTED; }
bool stdio_is_logged() { return FAKE_GDI_WRAPS_STDIO != 0; }

namespace {

std::vector<std::string> lines_of(const std::string &text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

}  // namespace

ProgramRun::ProgramRun() {
    std::string pattern = (fs::temp_directory_path() / "dump_metrics12_test.XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        ADD_FAILURE() << "mkdtemp: " << std::strerror(errno);
        return;
    }
    root_ = pattern;
    work_ = root_ / "work";
    fs::create_directory(work_);
}

ProgramRun::~ProgramRun() {
    std::error_code ignored;
    if (!root_.empty()) fs::remove_all(root_, ignored);  // a symlink goes, not its target
}

fs::path ProgramRun::table_path() const { return work_ / "dump_metrics12.csv"; }

RunResult ProgramRun::run(const fake_gdi::Script &script, const std::vector<std::string> &args,
                          const RunOptions &options) {
    RunResult result;
    const fs::path script_path = root_ / "script.txt";
    const fs::path log_path = root_ / "calls.log";
    fake_gdi::write_script_file(script_path.string(), script);
    std::error_code ignored;
    fs::remove(log_path, ignored);

    subprocess::Command command;
    command.program = scripted_program();
    command.args = args;
    command.directory = work_;
    command.environment = {{fake_gdi::kScriptVariable, script_path.string()},
                           {fake_gdi::kLogVariable, log_path.string()}};
    command.out = options.out;
    command.out_file = root_ / "stdout";
    command.err_file = root_ / "stderr";
    command.file_size_limit = options.file_size_limit;
    command.expected_signal = options.expected_signal;
    const subprocess::Exit exit = subprocess::run(command);
    result.exit_code = exit.code;
    result.signal = exit.signal;
    EXPECT_NE(result.exit_code, 125) << "the fake rejected its script";
    result.out = exit.out;
    result.err = exit.err;
    if (fs::is_regular_file(fs::symlink_status(table_path())))
        result.table = subprocess::read_file(table_path());
    result.logged = fs::exists(log_path);
    if (result.logged) result.log = lines_of(subprocess::read_file(log_path));
    return result;
}
