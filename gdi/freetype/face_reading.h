// One face as fontconfig lists it, and its reading by FreeType: in full, or
// only as far as choosing a family's representative needs.
#ifndef DUMP_METRICS12_FACE_READING_H
#define DUMP_METRICS12_FACE_READING_H

#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "font_face.h"
#include "font_file.h"

namespace dm12_gdi {

// One face as fontconfig lists it, with what the listing read of it. It
// travels unchanged from the listing to the representative's choice and to
// each later reading of the face.
struct ListedFace {
    std::string path;
    FT_Long index = 0;  // a named instance's carries its number (instance_number)
    std::string format;  // FC_FONTFORMAT: "TrueType", "CFF", "Type 1", "PCF", ...
    FileSnapshot snapshot;  // the file as the listing saw it
    // A variable font's named instance: its style, and its file's
    // typographic family, folded, by which it is ordered.
    bool named_instance = false;
    InstanceStyle style;
    std::string order_name;
    std::string naming;  // how the instance got its family name, kept only for the trace
    bool operator<(const ListedFace &other) const {
        return std::tie(path, index) < std::tie(other.path, other.index);
    }
};

// Whether fontconfig lists the face as an sfnt (TrueType or OpenType).
bool is_sfnt(const ListedFace &face);

// The listed face a read face was read from.
ListedFace listed_as(const FontFace &face);

// Problems with a family's files: the file, and what is wrong with it.
using Problems = std::vector<std::pair<std::string, std::string>>;

// Reads `listed` with FreeType in full into `face`; false for a face that is
// not offered, with the file's problem in `problem` where it could not be read
// or is no longer the file listed. The face stays open in `opened`, if given.
bool read_with_freetype(FT_Library library, const ListedFace &listed, FontFace &face,
                        std::string &problem, OwnedFace *opened = nullptr);

// What chooses a representative: read from the face's own tables where they
// tell it, else by FreeType (the face then stays open in `ft_face`). A face
// alone in its family (`alone`) is its representative if any is: FreeType
// reads it at once. False, with the problem noted, where it is not offered.
bool read_deciding_fields(FT_Library library, const ListedFace &listed, bool alone, FontFace &face,
                          OwnedFace &ft_face, Problems &problems);

}  // namespace dm12_gdi

#endif  // DUMP_METRICS12_FACE_READING_H
