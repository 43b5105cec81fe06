#include "measure_font.h"

#include <cstring>

#include "width_table.h"

namespace {

constexpr unsigned kFirstCode = 32;
constexpr unsigned kLastCode = 127;

}  // namespace

void form_face_label(char *label, const char *face_name, DWORD font_type) {
    const char *tag = font_type_tag(font_type);
    const std::size_t tag_length = std::strlen(tag);
    const std::size_t room = kFaceLabelSize - 1 - tag_length;
    const std::size_t name_length = strnlen(face_name, room);
    std::memmove(label, face_name, name_length);
    label[name_length] = '\0';
    make_printable(label);
    std::memcpy(label + name_length, tag, tag_length + 1);
}

void make_printable(char *name) {
    for (; *name; ++name)
        if (static_cast<unsigned char>(*name) < 0x20 || *name == 0x7F) *name = '?';
}

void dump_metrics(std::FILE *table, const LOGFONTA *logfont, DWORD font_type) {
    HDC dc = CreateCompatibleDC(nullptr);
    HFONT font = CreateFontIndirectA(logfont);
    HGDIOBJ previous = SelectObject(dc, font);

    // Where the platform cannot name the realized face, the enumerated name
    // stands in, so that every row still has a key.
    char face_name[kFaceLabelSize] = "";
    if (GetTextFaceA(dc, kFaceLabelSize, face_name) <= 0) {
        std::memcpy(face_name, logfont->lfFaceName, LF_FACESIZE);
        face_name[LF_FACESIZE - 1] = '\0';
    }
    char label[kFaceLabelSize];
    form_face_label(label, face_name, font_type);

    char character[2] = "";
    for (unsigned code = kFirstCode; code <= kLastCode; ++code) {
        character[0] = static_cast<char>(code);
        ABCFLOAT widths;
        if (GetCharABCWidthsFloatA(dc, code, code, &widths)) {
            const float advance = static_cast<float>(
                (static_cast<double>(widths.abcfA) + widths.abcfB) + widths.abcfC);
            std::fprintf(table, kWidthRowFormat, label, character, code,
                         static_cast<double>(widths.abcfA), static_cast<double>(widths.abcfB),
                         static_cast<double>(widths.abcfC), static_cast<double>(advance));
        } else {
            std::printf("Failed to get character widths for face '%s'.\n", label);
        }
    }

    SelectObject(dc, previous);
    DeleteObject(font);
    DeleteDC(dc);
}
