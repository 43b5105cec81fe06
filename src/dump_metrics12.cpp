// dump_metrics12: writes the ABC widths and the advance of codes 32 to 127 of
// every installed font family to dump_metrics12.csv, one row per font and code.

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "gdi.h"
#include "host.h"
#include "measure_font.h"
#include "table_file.h"
#include "width_table.h"

namespace {

int CALLBACK EnumFontsProc(const LOGFONTA *logfont, const TEXTMETRICA *, DWORD font_type,
                           LPARAM table) {
    std::printf("Processing font '%s'\n", logfont->lfFaceName);
    dump_metrics(reinterpret_cast<std::FILE *>(table), logfont, font_type);
    return 1;
}

const char *reason(int error) { return error > 0 ? std::strerror(error) : "write error"; }

}  // namespace

int main() {
    // Before any file is opened, so that the table can never be standard output.
    open_missing_standard_descriptors();
    make_write_errors_plain();
    end_on_font_service_failure();

    TableFile table;
    if (const int error = open_table(table)) {
        std::fprintf(stderr, "dump_metrics12: cannot open '%s': %s\n", kTableName, reason(error));
        return 1;
    }
    std::fwrite(kTableHeader, 1, kTableHeaderSize, table.stream);

    HDC dc = CreateCompatibleDC(nullptr);
    EnumFontFamiliesA(dc, nullptr, EnumFontsProc, reinterpret_cast<LPARAM>(table.stream));
    DeleteDC(dc);

    const char *failed = "";
    const int table_error = close_table(table, failed);
    // Standard output may have failed on any line (a closed pipe, a full disk);
    // the stream keeps the error, and the last flush its reason.
    errno = 0;
    const bool out_written = std::fflush(stdout) == 0 && !std::ferror(stdout);
    const int out_error = errno;

    if (table_error)
        std::fprintf(stderr, "dump_metrics12: cannot %s '%s': %s\n", failed, kTableName,
                     reason(table_error));
    if (!out_written)
        std::fprintf(stderr, "dump_metrics12: cannot write standard output: %s\n",
                     reason(out_error));
    return table_error || !out_written ? 1 : 0;
}
