// Prints, for each family the platform's GDI enumerates, the enumerated
// LOGFONTA's and TEXTMETRICA's heights, then what realizing that LOGFONTA
// gives (the text metrics and the widths of 'A'), and the same for each cell
// height given on the command line with lfWidth 0: how GDI chooses a size.
// For Windows or Wine:
//   x86_64-w64-mingw32-g++-posix -static -o probe.exe tools/gdi_metrics_probe.cpp -lgdi32
//   probe.exe [HEIGHT...]
#include <windows.h>

#include <cstdio>
#include <cstdlib>

namespace {

struct Heights {
    int count;
    char **values;
};

void print_realized(const char *label, const LOGFONTA &logfont) {
    HDC dc = CreateCompatibleDC(nullptr);
    HFONT font = CreateFontIndirectA(&logfont);
    HGDIOBJ previous = SelectObject(dc, font);
    TEXTMETRICA metrics{};
    GetTextMetricsA(dc, &metrics);
    ABCFLOAT a{};
    const BOOL measured = GetCharABCWidthsFloatA(dc, 'A', 'A', &a);
    std::printf(
        "  %s lfHeight %ld lfWidth %ld: tmHeight %ld tmAscent %ld tmDescent %ld "
        "tmInternalLeading %ld tmAveCharWidth %ld; 'A' %s %.0f %.0f %.0f\n",
        label, logfont.lfHeight, logfont.lfWidth, metrics.tmHeight, metrics.tmAscent,
        metrics.tmDescent, metrics.tmInternalLeading, metrics.tmAveCharWidth,
        measured ? "" : "(failed)", a.abcfA, a.abcfB, a.abcfC);
    SelectObject(dc, previous);
    DeleteObject(font);
    DeleteDC(dc);
}

int CALLBACK print_family(const LOGFONTA *logfont, const TEXTMETRICA *metrics, DWORD type,
                          LPARAM data) {
    const Heights &heights = *reinterpret_cast<const Heights *>(data);
    std::printf(
        "%s (type %lu): enumerated lfHeight %ld lfWidth %ld tmHeight %ld tmAscent %ld "
        "tmDescent %ld\n",
        logfont->lfFaceName, type, logfont->lfHeight, logfont->lfWidth, metrics->tmHeight,
        metrics->tmAscent, metrics->tmDescent);
    print_realized("realized", *logfont);
    for (int i = 0; i < heights.count; ++i) {
        LOGFONTA asked = *logfont;
        asked.lfHeight = std::atol(heights.values[i]);
        asked.lfWidth = 0;
        print_realized("asked", asked);
    }
    return 1;
}

}  // namespace

int main(int argc, char **argv) {
    Heights heights{argc - 1, argv + 1};
    HDC dc = CreateCompatibleDC(nullptr);
    EnumFontFamiliesA(dc, nullptr, print_family, reinterpret_cast<LPARAM>(&heights));
    DeleteDC(dc);
}
