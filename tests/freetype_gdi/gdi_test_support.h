// Helpers for the tests of our GDI on the private font set: the enumeration
// gathered into a list, contexts and fonts that release themselves, logical
// fonts made from the expected tables.
#ifndef DUMP_METRICS12_TESTS_FREETYPE_GDI_GDI_TEST_SUPPORT_H
#define DUMP_METRICS12_TESTS_FREETYPE_GDI_GDI_TEST_SUPPORT_H

#include <cstring>
#include <string>
#include <vector>

#include "expected_tables.h"
#include "gdi.h"

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

// A memory context, deleted at the end of the scope.
class Dc {
public:
    Dc() : dc_(CreateCompatibleDC(nullptr)) {}
    ~Dc() {
        if (dc_) DeleteDC(dc_);
    }
    Dc(const Dc &) = delete;
    Dc &operator=(const Dc &) = delete;
    HDC get() const { return dc_; }

private:
    HDC dc_;
};

// A logical font, deleted at the end of the scope.
class Font {
public:
    explicit Font(const LOGFONTA &logfont) : font_(CreateFontIndirectA(&logfont)) {}
    ~Font() {
        if (font_) DeleteObject(font_);
    }
    Font(const Font &) = delete;
    Font &operator=(const Font &) = delete;
    HFONT get() const { return font_; }

private:
    HFONT font_;
};

// A font selected into a context for the scope, the earlier one put back.
class Selection {
public:
    Selection(HDC dc, HFONT font) : dc_(dc), previous_(SelectObject(dc, font)) {}
    ~Selection() {
        if (previous_) SelectObject(dc_, previous_);
    }
    Selection(const Selection &) = delete;
    Selection &operator=(const Selection &) = delete;
    HGDIOBJ previous() const { return previous_; }

private:
    HDC dc_;
    HGDIOBJ previous_;
};

inline void set_face_name(LOGFONTA &logfont, const std::string &name) {
    std::memset(logfont.lfFaceName, 0, LF_FACESIZE);
    std::memcpy(logfont.lfFaceName, name.data(),
                name.size() < LF_FACESIZE ? name.size() : LF_FACESIZE - 1);
}

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

// A plain logical font of a family at an em height.
inline LOGFONTA logfont_named(const std::string &name, LONG height = -32) {
    LOGFONTA logfont{};
    logfont.lfHeight = height;
    logfont.lfWeight = FW_NORMAL;
    set_face_name(logfont, name);
    return logfont;
}

// GetTextFaceA into a 64-byte buffer; "<failed>" where it fails, so that a
// failure shows in messages.
inline std::string text_face(HDC dc) {
    char buffer[64] = "";
    const int length = GetTextFaceA(dc, static_cast<int>(sizeof buffer), buffer);
    if (length <= 0) return "<failed>";
    return std::string(buffer, static_cast<std::size_t>(length));
}

}  // namespace dm12_gdi_test

#endif  // DUMP_METRICS12_TESTS_FREETYPE_GDI_GDI_TEST_SUPPORT_H
