#include "host.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

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

constexpr int kInterruptions[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};

extern "C" void remove_on_signal(int signal_number) {
    if (unfinished) ::unlink(unfinished_path);
    // The handler was reset to the default by SA_RESETHAND: the signal now ends
    // the run as it would have, and the parent sees which one it was.
    ::raise(signal_number);
}

extern "C" void remove_at_exit() {
    if (!unfinished) return;
    unfinished = 0;
    std::fclose(unfinished_stream);
    ::unlink(unfinished_path);
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

std::FILE *create_beside(const std::string &target, std::string &temporary) {
    struct stat existing {};
    mode_t mode = 0;
    if (::stat(target.c_str(), &existing) == 0) {
        mode = existing.st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    std::string name = target + ".XXXXXX";
    const int fd = ::mkstemp(name.data());
    if (fd < 0) return nullptr;
    std::FILE *stream = nullptr;
    if (::fchmod(fd, mode) == 0) stream = ::fdopen(fd, "wb");
    if (!stream) {
        const int error = errno;
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
    static bool installed = false;
    if (path.size() >= sizeof unfinished_path) return;  // longer than any path the system takes
    std::memcpy(unfinished_path, path.c_str(), path.size() + 1);
    unfinished_stream = stream;
    unfinished = 1;
    if (installed) return;
    installed = true;
    std::atexit(remove_at_exit);
    struct sigaction action {};
    action.sa_handler = remove_on_signal;
    action.sa_flags = static_cast<int>(SA_RESETHAND);
    sigemptyset(&action.sa_mask);
    for (const int signal_number : kInterruptions) {
        struct sigaction previous {};
        // A signal ignored when the program started (nohup) stays ignored.
        if (::sigaction(signal_number, nullptr, &previous) == 0 && previous.sa_handler == SIG_IGN)
            continue;
        ::sigaction(signal_number, &action, nullptr);
    }
}

void forget_unfinished() { unfinished = 0; }
