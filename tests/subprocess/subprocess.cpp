#include "subprocess.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <thread>

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

namespace subprocess {

namespace {

// What the child is given, made before the fork: after it, the child only
// calls what is safe there.
struct ChildSetup {
    std::vector<std::string> arg_strings;
    std::vector<char *> argv;
    std::vector<std::string> env_strings;
    std::vector<char *> envp;
};

void make_setup(const Command &command, ChildSetup &setup) {
    setup.arg_strings.push_back(command.program);
    setup.arg_strings.insert(setup.arg_strings.end(), command.args.begin(), command.args.end());
    for (std::string &arg : setup.arg_strings) setup.argv.push_back(arg.data());
    setup.argv.push_back(nullptr);

    for (char **entry = environ; *entry != nullptr; ++entry) {
        const std::string text = *entry;
        bool replaced = false;
        for (const auto &[name, value] : command.environment)
            replaced = replaced || text.rfind(name + "=", 0) == 0;
        if (!replaced) setup.env_strings.push_back(text);
    }
    for (const auto &[name, value] : command.environment) {
        std::string entry = name;
        entry += '=';
        entry += value;
        setup.env_strings.push_back(std::move(entry));
    }
    for (std::string &entry : setup.env_strings) setup.envp.push_back(entry.data());
    setup.envp.push_back(nullptr);
}

int open_output(const Command &command) {
    switch (command.out) {
        case Output::full_device: return ::open("/dev/full", O_WRONLY | O_CLOEXEC);
        case Output::unread_pipe: {
            int ends[2];
            if (::pipe2(ends, O_CLOEXEC) != 0) return -1;
            ::close(ends[0]);
            return ends[1];
        }
        case Output::captured:
        case Output::closed: break;
    }
    return ::open(command.out_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
}

}  // namespace

std::string read_file(const std::filesystem::path &path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

Exit run(const Command &command) {
    Exit result;
    ChildSetup setup;
    make_setup(command, setup);
    const bool close_out = command.out == Output::closed;
    const int out_fd = close_out ? ::open("/dev/null", O_WRONLY | O_CLOEXEC) : open_output(command);
    const int err_fd =
        ::open(command.err_file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    const int null_fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (out_fd < 0 || err_fd < 0 || null_fd < 0) {
        ADD_FAILURE() << "cannot open the capture files: " << std::strerror(errno);
        for (const int fd : {out_fd, err_fd, null_fd})
            if (fd >= 0) ::close(fd);
        return result;
    }
    const std::string directory = command.directory.string();
    const rlimit size_limit{static_cast<rlim_t>(command.file_size_limit),
                            static_cast<rlim_t>(command.file_size_limit)};
    struct sigaction default_action = {};
    default_action.sa_handler = SIG_DFL;

    std::fflush(nullptr);
    const pid_t child = ::fork();
    if (child == 0) {
        // A signal the test sends may be ignored where the test itself was
        // started (a background job ignores SIGINT), and would stay ignored.
        if (command.expected_signal != 0)
            ::sigaction(command.expected_signal, &default_action, nullptr);
        if (::chdir(directory.c_str()) != 0 || ::dup2(null_fd, STDIN_FILENO) < 0 ||
            (close_out ? ::close(STDOUT_FILENO) : ::dup2(out_fd, STDOUT_FILENO)) < 0 ||
            ::dup2(err_fd, STDERR_FILENO) < 0 ||
            (command.file_size_limit > 0 && ::setrlimit(RLIMIT_FSIZE, &size_limit) != 0))
            ::_exit(126);
        ::execve(setup.argv[0], setup.argv.data(), setup.envp.data());
        ::_exit(127);
    }
    ::close(null_fd);
    ::close(err_fd);
    ::close(out_fd);
    if (child < 0) {
        ADD_FAILURE() << "fork: " << std::strerror(errno);
        return result;
    }

    int status = 0;
    const auto deadline = std::chrono::steady_clock::now() + command.time_limit;
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
            ADD_FAILURE() << command.program << " ran for more than " << command.time_limit.count()
                          << " s";
            return result;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    if (WIFEXITED(status)) {
        result.code = WEXITSTATUS(status);
        EXPECT_NE(result.code, 126) << "could not set up the child";
        EXPECT_NE(result.code, 127) << "could not start " << command.program;
    } else if (WIFSIGNALED(status)) {
        result.signal = WTERMSIG(status);
        if (result.signal != command.expected_signal)
            ADD_FAILURE() << command.program << " was ended by signal " << result.signal;
    }
    if (command.out == Output::captured) result.out = read_file(command.out_file);
    result.err = read_file(command.err_file);
    return result;
}

}  // namespace subprocess
