// Runs a program as a subprocess for the tests: in a folder of its choosing,
// with standard input on the null device, standard output and standard error
// captured to files, a few variables of the environment set, and a time limit.
#ifndef DUMP_METRICS12_TESTS_SUBPROCESS_SUBPROCESS_H
#define DUMP_METRICS12_TESTS_SUBPROCESS_SUBPROCESS_H

#include <chrono>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace subprocess {

// Where the program's standard output goes.
enum class Output {
    captured,  // to Command::out_file
    closed,  // descriptor 1 not open
    full_device,  // /dev/full: every write fails with ENOSPC
    unread_pipe,  // a pipe whose reading end is already closed
};

struct Command {
    std::string program;
    std::vector<std::string> args;  // after the program's name
    std::filesystem::path directory;  // its working directory
    // Set in its environment, each replacing the value inherited, if any.
    std::vector<std::pair<std::string, std::string>> environment;
    Output out = Output::captured;
    std::filesystem::path out_file;  // standard output, where captured
    std::filesystem::path err_file;  // standard error
    long file_size_limit = 0;  // RLIMIT_FSIZE in bytes; 0: none
    int expected_signal = 0;  // a signal that may end it without failing the test
    std::chrono::seconds time_limit{60};
};

struct Exit {
    int code = -1;  // -1 where it did not exit normally
    int signal = 0;  // the signal that ended it, if one did
    std::string out;  // standard output as bytes, where captured
    std::string err;  // standard error
};

// Runs `command` and waits for it. Fails the test (the code then stays -1)
// where it cannot be started or set up, runs past its time limit (it is then
// killed), or is ended by a signal other than the expected one.
Exit run(const Command &command);

// The whole of a file's bytes; empty where it cannot be read.
std::string read_file(const std::filesystem::path &path);

}  // namespace subprocess

#endif  // DUMP_METRICS12_TESTS_SUBPROCESS_SUBPROCESS_H
