// Prints the bytes of each family name the platform's GDI enumerates, and of
// the face name the same LOGFONTA realizes: what GDI makes of names holding
// control characters or lone surrogates. For Windows or Wine:
//   x86_64-w64-mingw32-g++-posix -static -o probe.exe tools/gdi_name_probe.cpp -lgdi32
#include <windows.h>

#include <cstdio>

namespace {

void print_bytes(const char *label, const char *name) {
    std::printf("%s:", label);
    for (const char *p = name; *p; ++p) std::printf(" %02x", static_cast<unsigned char>(*p));
}

int CALLBACK print_family(const LOGFONTA *logfont, const TEXTMETRICA *, DWORD, LPARAM) {
    print_bytes("enumerated", logfont->lfFaceName);
    HDC dc = CreateCompatibleDC(nullptr);
    HFONT font = CreateFontIndirectA(logfont);
    HGDIOBJ previous = SelectObject(dc, font);
    char realized[LF_FACESIZE] = "";
    GetTextFaceA(dc, LF_FACESIZE, realized);
    print_bytes(" | realized", realized);
    std::printf("\n");
    SelectObject(dc, previous);
    DeleteObject(font);
    DeleteDC(dc);
    return 1;
}

}  // namespace

int main() {
    HDC dc = CreateCompatibleDC(nullptr);
    EnumFontFamiliesA(dc, nullptr, print_family, 0);
    DeleteDC(dc);
}
