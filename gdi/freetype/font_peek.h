// What the enumeration reads of a font file without FreeType, where FreeType
// would read far more than the answer needs: the legacy family name from an
// sfnt's name table, and what chooses a family's representative among its
// faces from an sfnt's head, hhea, cmap and OS/2 tables, a .fon file's FNT
// headers, and the tables at the start of a PCF file (a gzipped PCF is
// inflated only that far). Only the representative is then opened with
// FreeType. Every read is bounded by the file's own sizes; a file that does not
// hold what is asked for gives false, and the caller asks FreeType instead.
#ifndef DUMP_METRICS12_FONT_PEEK_H
#define DUMP_METRICS12_FONT_PEEK_H

#include <cstdint>
#include <string>

#include "font_file.h"
#include "font_names.h"
#include "gdi_rules.h"

namespace dm12_gdi {

// The legacy family name (name ID 1) of face `index` of an sfnt file or
// collection, chosen and converted as the enumeration names a family; false
// where the file cannot be read so far, or holds no Windows family record.
bool peek_sfnt_family_name(const FontFile &file, long index, std::string &name);

// The other names face `index` of an sfnt file is found by (font_names.h);
// false where its name table cannot be read so far.
bool peek_sfnt_lookup_names(const FontFile &file, long index, LookupNames &names);

// What chooses a PCF face as a family's representative, as FreeType reads
// it: FAMILY_NAME, italic where SLANT starts with I or O, bold where
// WEIGHT_NAME starts with B, and the strike's height, the font's ascent
// plus descent from its accelerator table.
struct PcfStyle {
    std::string family;
    bool italic = false;
    bool bold = false;
    long height = 0;
};
bool peek_pcf_style(const FontFile &file, PcfStyle &style);

// What chooses face `index` of an sfnt file or collection as a family's
// representative, from its head, hhea, cmap and OS/2 tables: the fields
// FreeType would read. False for a face FreeType would read otherwise than
// these say (bitmap strikes, a symbol cmap, an OS/2 table too short for its
// version, no outlines of a kind GDI draws): FreeType reads it instead.
struct SfntStyle {
    bool postscript_outlines = false;  // CFF, else TrueType (glyf)
    std::uint32_t units_per_em = 0;
    std::uint32_t mac_style = 0;
    int hhea_ascender = 0, hhea_descender = 0;
    bool has_os2 = false;
    std::uint32_t os2_version = 0, weight_class = 0, fs_selection = 0;
    std::uint32_t win_ascent = 0, win_descent = 0;
    std::uint32_t code_pages = 0;  // ulCodePageRange1, 0 before version 1
};
bool peek_sfnt_style(const FontFile &file, long index, SfntStyle &style);

// What chooses face `index` of a .fon file (an NE executable of FNT
// resources): its FNT header's italic, weight, character set, and pixel
// height with the external leading, as FreeType gives a strike's height.
struct FntStyle {
    bool italic = false;
    std::uint32_t weight = 0;
    unsigned char charset = 0;
    long pixel_height = 0;
};
bool peek_fnt_style(const FontFile &file, long index, FntStyle &style);

// Whether face `index` of an sfnt file has the table `table_tag` ("fvar").
bool peek_sfnt_has_table(const FontFile &file, long index, const char (&table_tag)[5]);

// What naming the named instances of face `index` of an sfnt file needs:
// its fvar axes and instances, its STAT table (not present where it is
// missing or does not parse), its typographic family and OS/2 style. False
// where the face has no fvar table, or one that does not parse.
bool peek_variable_font(const FontFile &file, long index, VariableFont &font);

}  // namespace dm12_gdi

#endif  // DUMP_METRICS12_FONT_PEEK_H
