// One face of a font file as the enumeration reports it, and a family of
// such faces.
#ifndef DUMP_METRICS12_FONT_FACE_H
#define DUMP_METRICS12_FONT_FACE_H

#include <ft2build.h>
#include FT_FREETYPE_H

#include <string>
#include <vector>

#include "font_file.h"
#include "gdi.h"
#include "gdi_rules.h"

namespace dm12_gdi {

// One face of one font file, as the enumeration reports it.
struct FontFace {
    std::string file;
    FileSnapshot snapshot;  // the file as the listing saw it
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
    unsigned long code_pages = 0;  // OS/2 ulCodePageRange1, where the face has one

    // Scalable faces: the numbers that turn a cell height into pixels per em.
    long units_per_em = 0;
    long cell_height = 0;  // in font units
    long average_width = 0;  // in font units
    // TrueType faces: the hinted heights of the sizes a screen takes from the
    // font's VDMX table, where it has one that applies.
    std::vector<VdmxRecord> vdmx;

    // Bitmap faces: the strike the logical font was made from.
    int strike = -1;

    // The face's tables are read in full (LOGFONTA, TEXTMETRICA and the
    // numbers above). A face another of its family represents is known only
    // by what chooses a representative (name, character set, slant, weight,
    // height, outline kind).
    bool complete = true;

    // What the listing found of the face, carried so that reading it again
    // reads neither fontconfig nor the variable font's naming tables:
    // fontconfig's name of its format ("TrueType", "CFF", "PCF", ...), and a
    // named instance's family, weight and style.
    std::string format;
    InstanceStyle instance;
};

struct FontFamily {
    std::string name;  // the face name, at most 31 bytes
    std::vector<FontFace> faces;  // the representative face first
    bool vertical = false;  // an "@" family: the horizontal family's widths
};

// Reads one face of a font file into `face`; false for a face that GDI would
// not offer (not a font, unreadable, no glyphs it can draw).
bool read_font_face(FT_Face ft_face, FontFace &face);

// The fields of face `index` of `file` that choose a family's representative
// (character set, slant, weight, outline kind, a bitmap face's height), read
// without FreeType from a face of format `format` (fontconfig's name for it),
// into `face`, which is then not complete; false where the file's own tables
// cannot tell them as FreeType would, and FreeType must read the face.
bool peek_font_face(const FontFile &file, long index, const std::string &format, FontFace &face);

// Gives `face` the family name, style and weight of a named instance.
void set_instance_style(const InstanceStyle &style, FontFace &face);

// Gives `face`, open as `ft_face` at a named instance, that instance's
// average width: the mean of its glyphs' advances, which its variations
// change though OS/2 keeps the default's.
void set_instance_width(FT_Face ft_face, FontFace &face);

// Table `tag` of the sfnt `face`, whole, into `bytes`; false where it has none
// or it cannot be read.
bool load_sfnt_table(FT_Face face, FT_ULong tag, std::vector<unsigned char> &bytes);

// Whether `face` covers `charset`: its own, or one of its OS/2 code pages.
bool has_charset(const FontFace &face, BYTE charset);

// What GDI weighs of `face` when it chooses one of a family's faces.
FaceTraits traits_of(const FontFace &face);

}  // namespace dm12_gdi

#endif  // DUMP_METRICS12_FONT_FACE_H
