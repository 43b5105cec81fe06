// The font families, as our font service keeps them across calls. Which families exist, and in what
// order, is read once from fontconfig's list of fonts and what its cache says of them; a family's
// own faces are read from their files only when the family is first asked for (resolved), and then
// kept. Resolving is safe from any thread, each with a FreeType library of its own.
#ifndef DUMP_METRICS12_FONT_SERVICE_H
#define DUMP_METRICS12_FONT_SERVICE_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "font_listing.h"

namespace dm12_gdi {

// Makes the font service, and before it the FreeType library, without
// listing a font. State that refers to the service's families or faces
// calls it before it is made itself, so that it is destroyed before them.
void start_font_service();

// The horizontal families in enumeration order (by name ignoring case; a
// variable font's named instances at their typographic family, in their
// order), read on first use from the fontconfig configuration in force
// (FONTCONFIG_FILE and the rest of fontconfig's own settings).
std::size_t family_count();

// Family `i` as the listing found it.
const ListedFamily &listed_family(std::size_t i);

// The family whose name, folded (lowercase_cp1252), is `folded`; family_count()
// where none is.
std::size_t family_index(const std::string &folded);

// The families whose "@" family, cut to 31 bytes and folded, is `folded`.
std::vector<std::size_t> families_with_vertical_name(const std::string &folded);

// The face fontconfig matches for the default family, matched on first use.
const ListedFace &default_face();

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

// Family `i` resolved by the main thread, with its library.
const FontFamily *resolve_on_main_thread(std::size_t i);

// The size of the largest file among family `i`'s faces, as listed.
std::uintmax_t largest_file_of(std::size_t i);

// The "@" family of family `i`, where its representative has a CJK code
// page: enumerated right after it, as Windows lists them. Null where it has
// none.
const FontFamily *vertical_family(std::size_t i);

// Every "@" family, in enumeration order; every horizontal family is
// resolved first.
std::vector<const FontFamily *> vertical_families();

// Notes a problem with a file of family `i`, found while measuring it: told
// when the main thread has the family, or now if it has had it.
void note_family_problem(std::size_t i, const std::string &path, const std::string &problem);

}  // namespace dm12_gdi

#endif  // DUMP_METRICS12_FONT_SERVICE_H
