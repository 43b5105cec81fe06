#include "program_run.h"

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

extern char **environ;

namespace fs = std::filesystem;

const char *scripted_program() { return DUMP_METRICS12_SCRIPTED; }
bool stdio_is_logged() { return FAKE_GDI_WRAPS_STDIO != 0; }

namespace {

std::string read_file(const fs::path &path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

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
    const fs::path out_path = root_ / "stdout";
    const fs::path err_path = root_ / "stderr";
    fake_gdi::write_script_file(script_path.string(), script);
    std::error_code ignored;
    fs::remove(log_path, ignored);

    // Everything the child needs is made before the fork.
    std::vector<std::string> arg_strings{scripted_program()};
    arg_strings.insert(arg_strings.end(), args.begin(), args.end());
    std::vector<char *> argv;
    for (std::string &arg : arg_strings) argv.push_back(arg.data());
    argv.push_back(nullptr);

    std::vector<std::string> env_strings;
    for (char **entry = environ; *entry != nullptr; ++entry) {
        const std::string text = *entry;
        if (text.rfind(std::string(fake_gdi::kScriptVariable) + "=", 0) == 0 ||
            text.rfind(std::string(fake_gdi::kLogVariable) + "=", 0) == 0)
            continue;
        env_strings.push_back(text);
    }
    env_strings.push_back(std::string(fake_gdi::kScriptVariable) + "=" + script_path.string());
    env_strings.push_back(std::string(fake_gdi::kLogVariable) + "=" + log_path.string());
    std::vector<char *> envp;
    for (std::string &entry : env_strings) envp.push_back(entry.data());
    envp.push_back(nullptr);

    int out_fd = -1;
    if (options.out == RunOptions::Out::full_device) {
        out_fd = ::open("/dev/full", O_WRONLY | O_CLOEXEC);
    } else if (options.out == RunOptions::Out::unread_pipe) {
        int ends[2];
        if (::pipe2(ends, O_CLOEXEC) == 0) {
            ::close(ends[0]);
            out_fd = ends[1];
        }
    } else {
        out_fd = ::open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    }
    const int err_fd = ::open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    const int null_fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (out_fd < 0 || err_fd < 0 || null_fd < 0) {
        ADD_FAILURE() << "cannot open the capture files: " << std::strerror(errno);
        return result;
    }
    const std::string work = work_.string();

    std::fflush(nullptr);
    const pid_t child = ::fork();
    const bool close_out = options.out == RunOptions::Out::closed;
    const rlimit size_limit{static_cast<rlim_t>(options.file_size_limit),
                            static_cast<rlim_t>(options.file_size_limit)};
    struct sigaction default_action {};
    default_action.sa_handler = SIG_DFL;
    if (child == 0) {
        // A signal the test sends may be ignored where the test itself was
        // started (a background job ignores SIGINT), and would stay ignored.
        if (options.expected_signal != 0)
            ::sigaction(options.expected_signal, &default_action, nullptr);
        if (::chdir(work.c_str()) != 0 || ::dup2(null_fd, STDIN_FILENO) < 0 ||
            (close_out ? ::close(STDOUT_FILENO) : ::dup2(out_fd, STDOUT_FILENO)) < 0 ||
            ::dup2(err_fd, STDERR_FILENO) < 0 ||
            (options.file_size_limit > 0 && ::setrlimit(RLIMIT_FSIZE, &size_limit) != 0))
            ::_exit(126);
        ::execve(argv[0], argv.data(), envp.data());
        ::_exit(127);
    }
    ::close(out_fd);
    ::close(err_fd);
    ::close(null_fd);
    if (child < 0) {
        ADD_FAILURE() << "fork: " << std::strerror(errno);
        return result;
    }

    int status = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(1);
    for (;;) {
        const pid_t done = ::waitpid(child, &status, WNOHANG);
        if (done == child) break;
        if (done < 0 && errno != EINTR) {
            ADD_FAILURE() << "waitpid: " << std::strerror(errno);
            return result;
        }
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(child, SIGKILL);
            ::waitpid(child, &status, 0);
            ADD_FAILURE() << "the program ran for more than a minute";
            return result;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    if (WIFEXITED(status)) {
        result.exit_code = WEXITSTATUS(status);
        EXPECT_NE(result.exit_code, 126) << "could not set up the child";
        EXPECT_NE(result.exit_code, 127) << "could not start " << argv[0];
        EXPECT_NE(result.exit_code, 125) << "the fake rejected its script";
    } else if (WIFSIGNALED(status)) {
        result.signal = WTERMSIG(status);
        if (result.signal != options.expected_signal)
            ADD_FAILURE() << "the program was ended by signal " << result.signal;
    }

    if (options.out == RunOptions::Out::captured) result.out = read_file(out_path);
    result.err = read_file(err_path);
    if (fs::is_regular_file(fs::symlink_status(table_path())))
        result.table = read_file(table_path());
    result.logged = fs::exists(log_path);
    if (result.logged) result.log = lines_of(read_file(log_path));
    return result;
}
