// Contexts, fonts and selections that release themselves, and the small
// helpers the tests of any implementation of gdi.h share: the fake's and ours.
#ifndef DUMP_METRICS12_TESTS_HANDLES_GDI_OBJECTS_H
#define DUMP_METRICS12_TESTS_HANDLES_GDI_OBJECTS_H

#include <cstring>
#include <string>

#include "gdi.h"

namespace gdi_objects {

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

}  // namespace gdi_objects

#endif  // DUMP_METRICS12_TESTS_HANDLES_GDI_OBJECTS_H
