// dump_metrics12: writes the ABC widths and the advance of codes 32 to 127 of
// every installed font family to dump_metrics12.csv, one row per font and code.

#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <system_error>

#include "gdi.h"
#include "host.h"
#include "measure_font.h"
#include "table_file.h"
#include "width_table.h"

namespace {

// Room the run must find on the heap at start: libstdc++'s reserve for
// exceptions is about 64 KiB.
constexpr std::size_t kRoomToStart = std::size_t{128} << 10;

// Where the enumeration has got to, for a run that cannot go on: the family
// last handed to the callback, and whether the callback was measuring it.
char last_family[LF_FACESIZE] = "";
bool in_callback = false;
// Why the enumeration was stopped from the callback; empty where it was not.
char stopped_because[512] = "";

void out_of_memory_message(char *message, std::size_t size) {
    if (!last_family[0])
        std::snprintf(message, size, "out of memory while listing the fonts");
    else
        std::snprintf(message, size, "out of memory while %s font '%s'",
                      in_callback ? "measuring" : "reading the fonts after", last_family);
}

int CALLBACK EnumFontsProc(const LOGFONTA *logfont, const TEXTMETRICA *, DWORD font_type,
                           LPARAM table) {
    std::memcpy(last_family, logfont->lfFaceName, LF_FACESIZE);
    last_family[LF_FACESIZE - 1] = '\0';
    make_printable(last_family);
    in_callback = true;
    // An exception must not pass through the platform's enumeration: the
    // reason is kept, and the enumeration stopped.
    try {
        std::printf("Processing font '%s'\n", last_family);
        dump_metrics(reinterpret_cast<std::FILE *>(table), logfont, font_type);
    } catch (const std::bad_alloc &) {
        out_of_memory_message(stopped_because, sizeof stopped_because);
    } catch (const std::system_error &error) {
        std::snprintf(stopped_because, sizeof stopped_because, "%s", error.what());
    }
    in_callback = false;
    return stopped_because[0] ? 0 : 1;
}

}  // namespace

int main() {
    // Where memory is so short that the C++ runtime could not set aside its
    // reserve for exceptions at start (Debian 13's, under a small ulimit -v),
    // the first std::bad_alloc cannot be made and the run would abort: such a
    // run is one short of memory too, told here before anything else.
    if (void *room = std::malloc(kRoomToStart)) {
        std::free(room);
    } else {
        std::fputs("dump_metrics12: out of memory while starting\n", stderr);
        return 1;
    }
    // Before any file is opened, so that the table can never be standard output.
    open_missing_standard_descriptors();
    make_write_errors_plain();
    end_on_font_service_failure();
    make_stack_room();

    TableFile table;
    const std::string open_failure = open_table(table);
    if (!open_failure.empty()) {
        std::fprintf(stderr, "dump_metrics12: %s\n", open_failure.c_str());
        return 1;
    }
    std::fwrite(kTableHeader, 1, kTableHeaderSize, table.stream);

    // Memory, descriptors or threads running short in our font service end
    // the run: a table without the fonts they cost would pass for whole.
    try {
        HDC dc = CreateCompatibleDC(nullptr);
        EnumFontFamiliesA(dc, nullptr, EnumFontsProc, reinterpret_cast<LPARAM>(table.stream));
        DeleteDC(dc);
    } catch (const std::bad_alloc &) {
        out_of_memory_message(stopped_because, sizeof stopped_because);
    } catch (const std::system_error &error) {
        std::snprintf(stopped_because, sizeof stopped_because, "%s", error.what());
    }
    if (stopped_because[0]) {
        discard_table(table);
        std::fflush(stdout);
        std::fprintf(stderr, "dump_metrics12: %s\n", stopped_because);
        return 1;
    }

    const std::string table_failure = close_table(table);
    // Standard output may have failed on any line (a closed pipe, a full disk);
    // the stream keeps the error, and the last flush its reason.
    errno = 0;
    const bool out_written = std::fflush(stdout) == 0 && !std::ferror(stdout);
    const int out_error = errno;

    if (!table_failure.empty()) std::fprintf(stderr, "dump_metrics12: %s\n", table_failure.c_str());
    if (!out_written)
        std::fprintf(stderr, "dump_metrics12: cannot write standard output: %s\n",
                     out_error > 0 ? std::strerror(out_error) : "write error");
    return !table_failure.empty() || !out_written ? 1 : 0;
}
