#include "host.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "gdi.h"

namespace {

// What the exit and signal handlers remove; a fixed buffer, since a signal
// handler may touch nothing that allocates.
char unfinished_path[4096];
std::FILE *unfinished_stream = nullptr;
volatile sig_atomic_t unfinished = 0;

// Every signal whose default action ends the process and that a handler can
// catch, but SIGPIPE and SIGXFSZ, which make_write_errors_plain ignores.
constexpr int kEndingSignals[] = {
    SIGHUP,  SIGINT,  SIGQUIT, SIGILL,  SIGTRAP, SIGABRT,   SIGBUS,  SIGFPE, SIGUSR1, SIGSEGV,
    SIGUSR2, SIGALRM, SIGTERM, SIGXCPU, SIGSYS,  SIGVTALRM, SIGPROF, SIGIO,  SIGPWR,  SIGSTKFLT,
};
// The signals a fault raises: returning from the handler runs the faulting
// instruction again, which raises them again under the earlier action.
constexpr int kFaults[] = {SIGILL, SIGTRAP, SIGBUS, SIGFPE, SIGSEGV};

// The action each signal had before ours, put back before the signal is
// delivered again (the default, or a sanitizer's report).
struct sigaction earlier_actions[NSIG];

// A stack for the handler where the thread's own has overflowed.
alignas(16) char alternate_stack[64 * 1024];

bool is_fault(int signal_number, const siginfo_t *info) {
    if (!info || info->si_code <= 0) return false;  // sent, not raised by an instruction
    for (const int fault : kFaults)
        if (fault == signal_number) return true;
    return false;
}

extern "C" void remove_on_signal(int signal_number, siginfo_t *info, void *) {
    if (unfinished) ::unlink(unfinished_path);
    unfinished = 0;
    ::sigaction(signal_number, &earlier_actions[signal_number], nullptr);
    // The signal is blocked while this runs: raised again, it is delivered
    // under the earlier action once this returns, and ends the run as it
    // would have; the parent sees which one it was.
    if (!is_fault(signal_number, info)) ::raise(signal_number);
}

extern "C" void remove_at_exit() {
    if (!unfinished) return;
    unfinished = 0;
    if (unfinished_stream) std::fclose(unfinished_stream);
    ::unlink(unfinished_path);
}

// Once, before the first unfinished file exists.
void install_handlers() {
    static bool installed = false;
    if (installed) return;
    installed = true;
    std::atexit(remove_at_exit);
    stack_t stack{};
    stack.ss_sp = alternate_stack;
    stack.ss_size = sizeof alternate_stack;
    ::sigaltstack(&stack, nullptr);
    struct sigaction action = {};
    action.sa_sigaction = remove_on_signal;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK;
    sigemptyset(&action.sa_mask);
    for (const int signal_number : kEndingSignals) {
        struct sigaction &earlier = earlier_actions[signal_number];
        // A signal ignored when the program started (nohup) stays ignored.
        if (::sigaction(signal_number, nullptr, &earlier) != 0 ||
            (!(earlier.sa_flags & SA_SIGINFO) && earlier.sa_handler == SIG_IGN))
            continue;
        ::sigaction(signal_number, &action, nullptr);
    }
}

}  // namespace

void open_missing_standard_descriptors() {
    for (int fd = 0; fd <= 2; ++fd) {
        if (::fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
        // open() takes the lowest free descriptor, which is this one.
        const int opened = ::open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
        if (opened != fd && opened >= 0) ::close(opened);
    }
}

void make_stack_room() {
    constexpr rlim_t kUsualStack = rlim_t{8} << 20;
    struct rlimit stack = {};
    if (::getrlimit(RLIMIT_STACK, &stack) != 0 || stack.rlim_cur >= kUsualStack) return;
    // The kernel checks the limit as the stack grows, so raising it now counts.
    stack.rlim_cur =
        stack.rlim_max == RLIM_INFINITY ? kUsualStack : std::min(stack.rlim_max, kUsualStack);
    ::setrlimit(RLIMIT_STACK, &stack);
}

void make_write_errors_plain() {
    ::signal(SIGPIPE, SIG_IGN);
    ::signal(SIGXFSZ, SIG_IGN);
}

void end_on_font_service_failure() {
    SetFontServiceFailureHandler([](const char *reason) {
        std::fprintf(stderr, "dump_metrics12: %s\n", reason);
        std::exit(1);
    });
}

bool link_is_planted(const std::string &link) {
    // The kernel's rule for fs.protected_symlinks, which the program applies
    // itself since it reads its table's links itself.
    struct stat link_status = {};
    if (::lstat(link.c_str(), &link_status) != 0 || !S_ISLNK(link_status.st_mode)) return false;
    const std::string::size_type slash = link.rfind('/');
    const std::string folder = slash == std::string::npos ? "."
                               : slash == 0               ? "/"
                                                          : link.substr(0, slash);
    struct stat folder_status = {};
    if (::stat(folder.c_str(), &folder_status) != 0) return false;
    const bool shared = (folder_status.st_mode & S_ISVTX) && (folder_status.st_mode & S_IWOTH);
    return shared && link_status.st_uid != folder_status.st_uid &&
           link_status.st_uid != ::geteuid();
}

bool may_write(const std::string &path) {
    return ::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) == 0 || errno == ENOENT;
}

std::FILE *create_beside(const std::string &target, std::string &temporary) {
    struct stat existing = {};
    mode_t mode = 0;
    if (::stat(target.c_str(), &existing) == 0) {
        // Never setuid, setgid or sticky: those are the earlier file's owner's.
        mode = existing.st_mode & 0777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    std::string name = target + ".XXXXXX";
    if (name.size() >= sizeof unfinished_path) {
        errno = ENAMETOOLONG;
        return nullptr;
    }
    install_handlers();
    // No signal may come between the file's creation and its name being
    // where the handlers find it.
    sigset_t all, before;
    sigfillset(&all);
    ::sigprocmask(SIG_BLOCK, &all, &before);
    const int fd = ::mkstemp(name.data());
    const int create_error = errno;
    if (fd >= 0) {
        std::memcpy(unfinished_path, name.c_str(), name.size() + 1);
        unfinished_stream = nullptr;
        unfinished = 1;
    }
    ::sigprocmask(SIG_SETMASK, &before, nullptr);
    if (fd < 0) {
        errno = create_error;
        return nullptr;
    }
    std::FILE *stream = nullptr;
    if (::fchmod(fd, mode) == 0) stream = ::fdopen(fd, "wb");
    if (!stream) {
        const int error = errno;
        unfinished = 0;
        ::close(fd);
        ::unlink(name.c_str());
        errno = error;
        return nullptr;
    }
    temporary = name;
    return stream;
}

bool replace_with(const std::string &from, const std::string &to) {
    return std::rename(from.c_str(), to.c_str()) == 0;
}

void remove_if_unfinished(std::FILE *stream, const std::string &path) {
    // create_beside has already noted the path, before any signal could come.
    if (path != unfinished_path) return;
    unfinished_stream = stream;
}

void forget_unfinished() {
    unfinished = 0;
    unfinished_stream = nullptr;
}
