// What the program needs of the operating system beyond standard C++: its
// standard streams made safe to use, write errors that stay errors, a font
// service that fails as a whole ending the run, a file made under a fresh name
// beside another and moved over it, and the unfinished one removed if the run
// ends early. POSIX in host_posix.cpp, Windows in
// windows/host_windows.cpp.
#ifndef DUMP_METRICS12_HOST_H
#define DUMP_METRICS12_HOST_H

#include <cstdio>
#include <string>

// Opens each of descriptors 0, 1 and 2 that is not open on the null device, so
// that no file the program opens later can take its place.
void open_missing_standard_descriptors();

// Makes a closed pipe or a file-size limit fail the write that meets it (EPIPE,
// EFBIG) instead of ending the process with a signal.
void make_write_errors_plain();

// Creates and opens for binary writing a new file in the folder of `target`,
// named after it, with the permissions `target` has, or the usual ones for a
// new file where it does not exist. Its name goes to `temporary`. Null with
// errno set on failure.
std::FILE *create_beside(const std::string &target, std::string &temporary);

// Moves `from` over `to`, replacing it in one step. False with errno set.
bool replace_with(const std::string &from, const std::string &to);

// Where the platform's font service fails as a whole (off Windows, a fontconfig
// configuration that cannot be loaded), one line on standard error names what
// failed and why, and the program ends with status 1: a table of other fonts,
// or of none, must not stand for the fonts asked for. Real GDI cannot so fail.
void end_on_font_service_failure();

// Until forget_unfinished(): if the run ends (exit, or an interrupting signal
// such as SIGINT, SIGTERM or SIGHUP, which then still ends it), `stream` is
// closed and `path` removed. Where the system cannot remove a file that is
// still open (Windows on a signal), it stays behind.
void remove_if_unfinished(std::FILE *stream, const std::string &path);
void forget_unfinished();

#endif  // DUMP_METRICS12_HOST_H
