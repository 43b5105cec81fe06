// Which families exist: fontconfig's list of fonts, grouped by the names GDI
// gives them, in enumeration order. A face's family name is its cached name
// where it is not an sfnt, else read from its name table alone; a variable
// font's named instances are listed from its own fvar, STAT and name tables,
// once per file. Nothing here is kept between calls.
#ifndef DUMP_METRICS12_FONT_LISTING_H
#define DUMP_METRICS12_FONT_LISTING_H

#include <string>
#include <vector>

#include "face_reading.h"

namespace dm12_gdi {

// A family as the listing knows it: its faces, not yet read beyond their names.
struct ListedFamily {
    std::string lowercase_cp1252;  // its name, at most 31 bytes, folded
    // Families made only of a variable font's named instances go at their
    // file's typographic family, in the order of the instances, as Windows
    // lists them; every other family at its own name.
    std::string order_name;
    long order_instance = 0;
    std::vector<ListedFace> members;
    // Faces the listing already read in full to learn their names.
    std::vector<FontFace> read_members;
};

// The families of the fonts fontconfig lists, in enumeration order (by name
// ignoring case; a variable font's named instances at their typographic
// family, in their order). Files that no family shows for a problem are told
// on standard error, once each.
std::vector<ListedFamily> list_families();

// The face of fontconfig's best match for the generic family that stands for
// the default family; its path is empty where fontconfig matches none.
ListedFace match_default_face();

}  // namespace dm12_gdi

#endif  // DUMP_METRICS12_FONT_LISTING_H
