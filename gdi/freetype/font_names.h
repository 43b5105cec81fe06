// Family names as GDI reports them, from an sfnt's name records: the legacy
// family name (name ID 1) of the Windows records, converted to Windows-1252.
#ifndef DUMP_METRICS12_FONT_NAMES_H
#define DUMP_METRICS12_FONT_NAMES_H

#include <string>
#include <vector>

namespace dm12_gdi {

// One record of an sfnt name table, its string as stored (UTF-16BE for the
// Windows platform).
struct NameRecord {
    unsigned platform_id, encoding_id, language_id, name_id;
    const unsigned char *bytes;
    unsigned length;
};

// The legacy family name (name ID 1) from the Windows records, English
// (0x409) preferred, else the first, in Windows-1252 with Windows' best fit;
// empty where there is none.
std::string legacy_family_name(const std::vector<NameRecord> &records);

// Name `name_id` from the Windows records, English (0x409) preferred, else
// the first, in Windows-1252 with Windows' best fit; empty where there is
// none.
std::string windows_name(const std::vector<NameRecord> &records, unsigned name_id);

// A family name as a face name holds it: up to a terminator, at most 31
// bytes.
std::string face_name(std::string name);

// The other names a face is found by when a family is asked for by name,
// each as a face name holds it (empty where there is none): the family name
// in a second language, that of the smallest language ID besides the legacy
// name's; and the full name (name ID 4) in the legacy name's language.
struct LookupNames {
    std::string second_family;
    std::string full_name;
};
LookupNames lookup_names(const std::vector<NameRecord> &records);

// A Windows-1252 name with its letters in lower case, whatever the locale:
// names found by name compare so.
std::string lowercase_cp1252(std::string name);

}  // namespace dm12_gdi

#endif  // DUMP_METRICS12_FONT_NAMES_H
