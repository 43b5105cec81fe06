#include "face_reading.h"

#include <ft2build.h>
#include FT_FONT_FORMATS_H

namespace dm12_gdi {

bool is_sfnt(const ListedFace &face) { return face.format == "TrueType" || face.format == "CFF"; }

ListedFace listed_as(const FontFace &face) {
    ListedFace listed;
    listed.path = face.file;
    listed.index = face.index;
    listed.format = face.format;
    listed.snapshot = face.snapshot;
    listed.named_instance = instance_number(face.index) != 0;
    listed.style = face.instance;
    return listed;
}

namespace {

// Where the listing found the face: it was listed from this file.
void set_listed(const ListedFace &listed, FontFace &face) {
    face.file = listed.path;
    face.snapshot = listed.snapshot;
    face.format = listed.format;
    // A named instance takes its family, style and weight from the instance,
    // not from the default's tables: as the listing named it.
    if (listed.named_instance) {
        face.instance = listed.style;
        set_instance_style(listed.style, face);
    }
}

}  // namespace

bool read_with_freetype(FT_Library library, const ListedFace &listed, FontFace &face,
                        std::string &problem, OwnedFace *opened) {
    OwnedFace ft_face = open_face(library, listed.path, listed.index, listed.snapshot, problem);
    if (!ft_face) return false;
    // fontconfig may list a file from its cache, which it keeps while the
    // folder's time stands: a file rewritten since with a font of another
    // format is not the face listed (nor of the family it was listed under).
    const char *format = FT_Get_Font_Format(ft_face.get());
    if (!listed.format.empty() && (!format || listed.format != format)) {
        problem = kFileChanged;
        return false;
    }
    face = FontFace{};
    face.index = listed.index;
    if (!read_font_face(ft_face.get(), face)) return false;
    set_listed(listed, face);
    // A named instance's widths are the instance's: OS/2 keeps the default's.
    if (listed.named_instance) set_instance_width(ft_face.get(), face);
    if (opened) *opened = std::move(ft_face);
    return true;
}

bool read_deciding_fields(FT_Library library, const ListedFace &listed, bool alone, FontFace &face,
                          OwnedFace &ft_face, Problems &problems) {
    std::string problem;
    if (!alone) {
        const FontFile file(listed.path, &listed.snapshot);
        if (!file.is_open()) {
            problems.emplace_back(listed.path, file.problem);
            return false;
        }
        if (peek_font_face(file, listed.index, listed.format, face)) {
            set_listed(listed, face);
            return true;
        }
    }
    if (read_with_freetype(library, listed, face, problem, &ft_face)) return true;
    if (!problem.empty()) problems.emplace_back(listed.path, problem);
    return false;
}

}  // namespace dm12_gdi
