// dump_metrics12: writes the ABC widths and the advance of codes 32 to 127 of
// every installed font family to dump_metrics12.csv, one row per font and code.

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "dump_metrics.h"
#include "gdi.h"
#include "width_table.h"

namespace {

int CALLBACK EnumFontsProc(const LOGFONTA *logfont, const TEXTMETRICA *, DWORD font_type,
                           LPARAM table) {
    std::printf("Processing font '%s'\n", logfont->lfFaceName);
    dump_metrics(reinterpret_cast<std::FILE *>(table), logfont, font_type);
    return 1;
}

int report_table_error(const char *what, int error) {
    std::fprintf(stderr, "dump_metrics12: cannot %s '%s': %s\n", what, kTableName,
                 error ? std::strerror(error) : "write error");
    return 1;
}

}  // namespace

int main() {
    std::FILE *table = std::fopen(kTableName, kTableMode);
    if (!table) return report_table_error("open", errno);
    std::fwrite(kTableHeader, 1, kTableHeaderSize, table);

    HDC dc = CreateCompatibleDC(nullptr);
    EnumFontFamiliesA(dc, nullptr, EnumFontsProc, reinterpret_cast<LPARAM>(table));
    DeleteDC(dc);

    // A full disk shows at the latest when the last rows are flushed; errno
    // then holds the reason, which is gone once the stream is closed.
    errno = 0;
    const bool written = std::fflush(table) == 0 && !std::ferror(table);
    const int write_error = errno;
    const bool closed = std::fclose(table) == 0;
    if (!written) return report_table_error("write", write_error);
    if (!closed) return report_table_error("close", errno);
    return 0;
}
