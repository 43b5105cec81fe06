// For dump_metrics12_scripted only, linked with
// -Wl,--wrap=fopen,--wrap=fdopen,--wrap=fclose: the program's fopen, fdopen
// (the table under its temporary name) and fclose go through here, so that the log shows when
// the table was opened and closed among the GDI calls (main must delete its
// enumeration context before closing the table, and must not enumerate when the
// table cannot be opened), and so that a script can make the close fail.

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "fake_gdi.h"

extern "C" {

std::FILE *__real_fopen(const char *path, const char *mode);
std::FILE *__real_fdopen(int fd, const char *mode);
int __real_fclose(std::FILE *stream);

std::FILE *__wrap_fopen(const char *path, const char *mode) {
    std::FILE *stream = __real_fopen(path, mode);
    const int error = errno;
    fake_gdi::Call call;
    call.function = "fopen";
    call.args = {path ? std::string("\"") + path + "\"" : "NULL",
                 mode ? std::string("\"") + mode + "\"" : "NULL"};
    call.result = stream ? std::string("FILE") : std::string("NULL (") + std::strerror(error) + ")";
    fake_gdi::log_call(std::move(call));
    errno = error;
    return stream;
}

std::FILE *__wrap_fdopen(int fd, const char *mode) {
    std::FILE *stream = __real_fdopen(fd, mode);
    const int error = errno;
    fake_gdi::Call call;
    call.function = "fdopen";
    call.args = {"fd", mode ? std::string("\"") + mode + "\"" : "NULL"};
    call.result = stream ? std::string("FILE") : std::string("NULL (") + std::strerror(error) + ")";
    fake_gdi::log_call(std::move(call));
    errno = error;
    return stream;
}

int __wrap_fclose(std::FILE *stream) {
    int result = __real_fclose(stream);
    int error = errno;
    const int injected = fake_gdi::script().fclose_error;
    fake_gdi::Call call;
    call.function = "fclose";
    call.args = {"FILE"};
    if (injected != 0) {
        result = EOF;
        error = injected;
        call.result = std::string("EOF (scripted: ") + std::strerror(error) + ")";
    } else {
        call.result =
            result == 0 ? std::string("0") : std::string("EOF (") + std::strerror(error) + ")";
    }
    fake_gdi::log_call(std::move(call));
    errno = error;
    return result;
}

}  // extern "C"
