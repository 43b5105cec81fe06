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

// Lets the stack of the program's thread grow to the usual 8 MiB where a
// smaller `ulimit -s` is soft and the hard limit allows it: fonts are hinted
// on it, and a small limit would end the run with SIGSEGV.
void make_stack_room();

// Makes a closed pipe or a file-size limit fail the write that meets it (EPIPE,
// EFBIG) instead of ending the process with a signal.
void make_write_errors_plain();

// Whether `link` is a symlink that the system's rule for shared folders
// forbids following: one in a sticky, world-writable folder (such as /tmp)
// whose owner is neither the folder's owner nor the user. Another user may
// have planted it to have the program write over a file of their choosing.
bool link_is_planted(const std::string &link);

// Whether the user may write to the file at `path` (as opening it for
// writing would find), or it does not exist.
bool may_write(const std::string &path);

// Creates and opens for binary writing a new file in the folder of `target`,
// named after it, with the permission bits `target` has (never setuid, setgid
// or sticky), or the usual ones for a new file where it does not exist. Its
// name goes to `temporary`. From its creation on, it is removed if the run
// ends early, as remove_if_unfinished says. Null with errno set on failure.
std::FILE *create_beside(const std::string &target, std::string &temporary);

// Moves `from` over `to`, replacing it in one step. False with errno set.
bool replace_with(const std::string &from, const std::string &to);

// Where the platform's font service fails as a whole (off Windows, a fontconfig
// configuration that cannot be loaded), one line on standard error names what
// failed and why, and the program ends with status 1: a table of other fonts,
// or of none, must not stand for the fonts asked for. Real GDI cannot so fail.
void end_on_font_service_failure();

// Until forget_unfinished(): if the run ends (exit, or any signal that ends a
// process and can be caught, such as SIGINT, SIGTERM, SIGHUP, SIGSEGV or
// SIGABRT, which then still ends it), `stream` is closed and `path` removed.
// Where the system cannot remove a file that is still open (Windows on a
// signal), it stays behind. SIGKILL leaves it: nothing can catch it.
void remove_if_unfinished(std::FILE *stream, const std::string &path);
void forget_unfinished();

#endif  // DUMP_METRICS12_HOST_H
