// What the enumeration reads of a font file without FreeType, where FreeType
// would read far more than the answer needs: the legacy family name from an
// sfnt's name table, and a PCF font's family, style and strike height from
// the tables at the start of its file (a gzipped PCF is inflated only that
// far). Every read is bounded by the file's own sizes; a file that does not
// hold what is asked for gives false, and the caller asks FreeType instead.
#ifndef DUMP_METRICS12_FONT_PEEK_H
#define DUMP_METRICS12_FONT_PEEK_H

#include <string>

#include "font_names.h"

// The legacy family name (name ID 1) of face `index` of an sfnt file or
// collection, chosen and converted as the enumeration names a family; false
// where the file cannot be read so far, or holds no Windows family record.
bool peek_sfnt_family_name(const std::string &path, long index, std::string &name);

// The other names face `index` of an sfnt file is found by (font_names.h);
// false where its name table cannot be read so far.
bool peek_sfnt_lookup_names(const std::string &path, long index, LookupNames &names);

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
bool peek_pcf_style(const std::string &path, PcfStyle &style);

#endif  // DUMP_METRICS12_FONT_PEEK_H
