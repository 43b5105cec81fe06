// The font families, as our font service keeps them across calls. Which families exist, and in what
// order, is read once from fontconfig's list of fonts and what its cache says of them; a family's
// own faces are read from their files only when the family is first asked for (resolved), and then
// kept. Resolving is safe from any thread, each with a FreeType library of its own.
#ifndef DUMP_METRICS12_FONT_SERVICE_H
#define DUMP_METRICS12_FONT_SERVICE_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "font_face.h"
#include "realized_font.h"

namespace dm12_gdi {

// The horizontal families in enumeration order (by name ignoring case; a
// variable font's named instances at their typographic family, in their
// order), read
// on first use from the fontconfig configuration in force (FONTCONFIG_FILE
// and the rest of fontconfig's own settings).
std::size_t family_count();

// Who resolves a family: the main thread tells the problems found with a
// family's files, in the order of the families, whichever thread found them.
enum class Caller { kMainThread, kWorker };

// Family `i`, resolved with `library` (the caller's thread's) unless another
// thread has resolved it or is resolving it (then this waits for it). Null
// where the family has no face to offer. Where this call resolved it,
// `opened` (if given) receives the representative face, open in `library`;
// else it is emptied.
const FontFamily *resolve_family(std::size_t i, FT_Library library, Caller caller,
                                 OwnedFace *opened = nullptr);

// The size of the largest file among family `i`'s faces, as listed.
std::uintmax_t largest_file_of(std::size_t i);

// The "@" family of family `i`, where its representative has a CJK code
// page: enumerated right after it, as Windows lists them. Null where it has
// none.
const FontFamily *vertical_family(std::size_t i);

// Every "@" family, in enumeration order; every horizontal family is
// resolved first.
std::vector<const FontFamily *> vertical_families();

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

// Notes a problem with a file of family `i`, found while measuring it: told
// when the main thread has the family, or now if it has had it.
void note_family_problem(std::size_t i, const std::string &path, const std::string &problem);

// The font that `logfont` chooses; null only when there is no family at all.
std::unique_ptr<RealizedFont> realize_font(const LOGFONTA &logfont);

}  // namespace dm12_gdi

#endif  // DUMP_METRICS12_FONT_SERVICE_H
