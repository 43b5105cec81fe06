// What our font service keeps across calls: the FreeType library and the font
// families. Which families exist, and in what order, is read once from
// fontconfig's list of fonts and what its cache says of them; a family's own
// faces are read from their files only when the family is first asked for
// (resolved), and then kept. Resolving is safe from any thread, each with a
// FreeType library of its own.
#ifndef DUMP_METRICS12_FONT_SERVICE_H
#define DUMP_METRICS12_FONT_SERVICE_H

#include <ft2build.h>
#include FT_FREETYPE_H

#include <cstddef>
#include <string>
#include <vector>

#include "font_peek.h"
#include "gdi.h"

// One face of one font file, as the enumeration reports it.
struct FontFace {
    std::string file;
    FT_Long index = 0;  // face index within the file (a collection holds several)
    LOGFONTA logfont{};  // lfFaceName is the family name
    TEXTMETRICA metrics{};
    DWORD font_type = 0;
    // A TrueType face whose glyphs are all empty outlines beside bitmap
    // strikes (the form font editors make for Windows); FreeType reads it as
    // a bitmap font.
    bool bitmap_only = false;
    bool italic = false;
    bool bold = false;
    // Where one face comes in several formats, the first of OpenType, Type 1
    // and bitmap stands for it.
    int format_rank = 0;
    bool cjk = false;  // supports a CJK code page, so it also makes an "@" family

    // Scalable faces: the numbers that turn a cell height into pixels per em.
    long units_per_em = 0;
    long cell_height = 0;  // in font units
    long average_width = 0;  // in font units

    // Bitmap faces: the strike the logical font was made from.
    int strike = -1;

    // The face's tables are read in full (LOGFONTA, TEXTMETRICA and the
    // numbers above). A PCF face another of its family represents is known
    // only by what chooses a representative (name, slant, weight, height).
    bool complete = true;
};

struct FontFamily {
    std::string name;  // the face name, at most 31 bytes
    std::vector<FontFace> faces;  // the representative face first
    bool vertical = false;  // an "@" family: the horizontal family's widths
};

// The main thread's FreeType library, created on first use and released at
// exit.
FT_Library freetype_library();

// The horizontal families in enumeration order (by name ignoring case), read
// on first use from the fontconfig configuration in force (FONTCONFIG_FILE
// and the rest of fontconfig's own settings).
std::size_t family_count();

// Family `i`, resolved with `library` (the caller's thread's) unless another
// thread has resolved it or is resolving it (then this waits for it). Null
// where the family has no face to offer. Where this call resolved it,
// `opened` (if given) receives the representative face, open in `library`
// and now the caller's to close; else it is set to null.
const FontFamily *resolve_family(std::size_t i, FT_Library library, FT_Face *opened = nullptr);

// The "@" families of the faces with CJK code pages, in enumeration order;
// every horizontal family is resolved first.
std::vector<const FontFamily *> vertical_families();

// The family that a logical font's face name chooses, ignoring case; a name
// that matches none gets the default family. Null only when there is no
// family at all.
const FontFamily *find_family(const char *face_name);

// The face of `family` closest to the character set, slant and weight asked
// for, and for bitmap families to the height.
const FontFace &find_face(const FontFamily &family, const LOGFONTA &logfont);

// Every face of `family` read in full and able to measure, representative
// first, for an enumeration of that one family.
std::vector<FontFace> complete_faces(const FontFamily &family);

// Reads one face of a font file into `face`; false for a face that GDI would
// not offer (not a font, unreadable, no glyphs it can draw).
bool read_font_face(FT_Face ft_face, FontFace &face);

// Where a character set comes among those a family's faces may have: by the
// order of the OS/2 code-page bits that name them (Windows-1252 first), then
// the others by number.
int charset_rank(BYTE charset);

// A family name as a face name holds it: up to a terminator, at most 31
// bytes.
std::string face_name(std::string name);

// The legacy family name (name ID 1) from the Windows records, English
// (0x409) preferred, else the first, in Windows-1252 with Windows' best fit;
// empty where there is none.
std::string legacy_family_name(const std::vector<NameRecord> &records);

// a * b / c rounded to nearest, as Windows' MulDiv; 0 where c is 0.
long mul_div(long a, long b, long c);

#endif  // DUMP_METRICS12_FONT_SERVICE_H
