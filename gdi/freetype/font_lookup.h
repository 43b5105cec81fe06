// The families and faces that a logical font, or an enumeration by name,
// asks for. Names are compared as Windows compares face names: ignoring
// case in every letter of Windows-1252 (lowercase_cp1252).
#ifndef DUMP_METRICS12_FONT_LOOKUP_H
#define DUMP_METRICS12_FONT_LOOKUP_H

#include <memory>
#include <vector>

#include "font_face.h"
#include "realized_font.h"

namespace dm12_gdi {

// The family that a logical font's face name chooses, ignoring case; a name
// that matches none gets the default family. Null only when there is no
// family at all.
const FontFamily *find_family(const char *face_name);

// The vertical family that "@" alone chooses with a CJK character set: the
// first with a face in that set. Null for any other logical font, or where
// there is none.
const FontFamily *vertical_family_for(const LOGFONTA &logfont);

// Every face an enumeration of one name reports, read in full and able to
// measure, each under its family's name: the family so named, ignoring case;
// else the family whose name in a second language is that, or the face whose
// full name is, ignoring case whatever the locale. Empty where none is.
std::vector<FontFace> faces_named(const char *face_name);

// The face of `family` closest to the character set, slant and weight asked
// for, and for bitmap families to the height.
const FontFace &find_face(const FontFamily &family, const LOGFONTA &logfont);

// Every face of `family` read in full and able to measure, representative
// first, for an enumeration of that one family.
std::vector<FontFace> complete_faces(const FontFamily &family);

// The font that `logfont` chooses; null only when there is no family at all.
std::unique_ptr<RealizedFont> realize_font(const LOGFONTA &logfont);

}  // namespace dm12_gdi

#endif  // DUMP_METRICS12_FONT_LOOKUP_H
