// Helpers for the tests of our GDI on the private font set: the enumeration
// gathered into a list, logical fonts made from the expected tables, and the
// shared contexts and fonts that release themselves (gdi_objects.h).
#ifndef DUMP_METRICS12_TESTS_FREETYPE_GDI_GDI_TEST_SUPPORT_H
#define DUMP_METRICS12_TESTS_FREETYPE_GDI_GDI_TEST_SUPPORT_H

#include <cstring>
#include <string>
#include <vector>

#include "expected_tables.h"
#include "gdi.h"
#include "gdi_objects.h"

namespace dm12_gdi_test {

// One callback of EnumFontFamiliesA, copied out of the call.
struct Enumerated {
    std::string name;  // lfFaceName up to its terminator
    LOGFONTA logfont{};
    TEXTMETRICA metrics{};
    DWORD font_type = 0;
    bool metrics_given = false;
    bool face_name_terminated = false;  // a terminator within the 32 bytes
};

inline int CALLBACK collect_family(const LOGFONTA *logfont, const TEXTMETRICA *metrics,
                                   DWORD font_type, LPARAM list) {
    Enumerated family;
    family.logfont = *logfont;
    family.face_name_terminated = std::memchr(logfont->lfFaceName, '\0', LF_FACESIZE) != nullptr;
    family.name = std::string(logfont->lfFaceName, strnlen(logfont->lfFaceName, LF_FACESIZE));
    family.metrics_given = metrics != nullptr;
    if (metrics) family.metrics = *metrics;
    family.font_type = font_type;
    reinterpret_cast<std::vector<Enumerated> *>(list)->push_back(family);
    return 1;
}

// Every family the enumeration reports, in its order.
inline std::vector<Enumerated> enumerate_families() {
    std::vector<Enumerated> families;
    HDC dc = CreateCompatibleDC(nullptr);
    EnumFontFamiliesA(dc, nullptr, collect_family, reinterpret_cast<LPARAM>(&families));
    DeleteDC(dc);
    return families;
}

using gdi_objects::Dc;
using gdi_objects::Font;
using gdi_objects::logfont_named;
using gdi_objects::Selection;
using gdi_objects::set_face_name;
using gdi_objects::text_face;

// The logical font of a request in expected_widths.csv: the fields it gives,
// precisions and quality as the enumeration reports them, the rest 0.
inline LOGFONTA logfont_of(const dm12_fonts::ExpectedRequest &request) {
    LOGFONTA logfont{};
    logfont.lfHeight = static_cast<LONG>(request.height);
    logfont.lfWidth = static_cast<LONG>(request.width);
    logfont.lfWeight = static_cast<LONG>(request.weight);
    logfont.lfItalic = static_cast<BYTE>(request.italic);
    logfont.lfCharSet = static_cast<BYTE>(request.char_set);
    logfont.lfOutPrecision = 3;
    logfont.lfClipPrecision = 2;
    logfont.lfQuality = 1;
    logfont.lfPitchAndFamily = static_cast<BYTE>(request.pitch_and_family);
    set_face_name(logfont, request.face_name);
    return logfont;
}

}  // namespace dm12_gdi_test

#endif  // DUMP_METRICS12_TESTS_FREETYPE_GDI_GDI_TEST_SUPPORT_H
