#include "host.h"

#include <fcntl.h>
#include <io.h>
#include <process.h>
#include <sys/stat.h>
#include <windows.h>

#include <cerrno>
#include <cstdlib>

namespace {

std::string unfinished_path;
std::FILE *unfinished_stream = nullptr;
bool unfinished = false;

void remove_at_exit() {
    if (!unfinished) return;
    unfinished = false;
    std::fclose(unfinished_stream);
    std::remove(unfinished_path.c_str());
}

}  // namespace

void open_missing_standard_descriptors() {
    for (int fd = 0; fd <= 2; ++fd) {
        // -1: no such descriptor; -2: the process was started without the handle.
        if (_get_osfhandle(fd) >= 0) continue;
        const int opened = _open("NUL", fd == 0 ? _O_RDONLY : _O_WRONLY);
        if (opened < 0) continue;
        if (opened != fd) {
            _dup2(opened, fd);
            _close(opened);
        }
    }
}

// The linker sets the main thread's stack on Windows.
void make_stack_room() {}

// Windows has neither SIGPIPE nor SIGXFSZ: such writes fail as they are.
void make_write_errors_plain() {}

void end_on_font_service_failure() {}

// Windows reads no symlink the user did not ask for by name.
bool link_is_planted(const std::string &) { return false; }

bool may_write(const std::string &path) { return _access(path.c_str(), 2) == 0 || errno == ENOENT; }

std::FILE *create_beside(const std::string &target, std::string &temporary) {
    const std::string stem = target + "." + std::to_string(_getpid()) + ".";
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string name = stem + std::to_string(attempt);
        const int fd =
            _open(name.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY, _S_IREAD | _S_IWRITE);
        if (fd < 0) {
            if (errno == EEXIST) continue;
            return nullptr;
        }
        std::FILE *stream = _fdopen(fd, "wb");
        if (!stream) {
            const int error = errno;
            _close(fd);
            std::remove(name.c_str());
            errno = error;
            return nullptr;
        }
        temporary = name;
        return stream;
    }
    errno = EEXIST;
    return nullptr;
}

bool replace_with(const std::string &from, const std::string &to) {
    if (MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING)) return true;
    errno = GetLastError() == ERROR_ACCESS_DENIED ? EACCES : EIO;
    return false;
}

// A console's Ctrl+C ends the process without running exit handlers, and an
// open file cannot be removed: the unfinished file then stays, under its own
// name, and the table it was to replace is untouched.
void remove_if_unfinished(std::FILE *stream, const std::string &path) {
    static bool installed = false;
    unfinished_path = path;
    unfinished_stream = stream;
    unfinished = true;
    if (installed) return;
    installed = true;
    std::atexit(remove_at_exit);
}

void forget_unfinished() { unfinished = false; }
