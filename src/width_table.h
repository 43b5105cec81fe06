// The glyph-width table: the file the program writes, its header line, the
// layout of one width row and the font-type tags of its keys. The program
// writes by it and compare_tables reads by it.
//
// The lines end in CR LF on every platform, as a Windows text-mode stream writes
// them, so that the same fonts give the same bytes wherever the program ran.
// The file is therefore opened in binary mode and the CR is written by us.
#ifndef DUMP_METRICS12_WIDTH_TABLE_H
#define DUMP_METRICS12_WIDTH_TABLE_H

#include <cstddef>
#include <cstdio>
#include <string_view>

// A relative name: the table lands in the current working directory.
inline constexpr char kTableName[] = "dump_metrics12.csv";
inline constexpr char kTableMode[] = "wb";

inline constexpr char kTableHeader[] = "lfFaceName, abcfA, abcfB, abcfC, Advance\r\n";
inline constexpr std::size_t kTableHeaderSize = sizeof kTableHeader - 1;
inline constexpr std::string_view kTableLineEnd = "\r\n";
// The header's text, without its line end, as a reader compares it.
inline constexpr std::string_view kTableHeaderText{kTableHeader,
                                                   kTableHeaderSize - kTableLineEnd.size()};

// One row: the key "<face label>-'<character>'-0x<code>", then the three widths
// and the advance with two decimals. The character goes in as the raw byte, a
// double quote or comma included.
inline constexpr char kWidthRowFormat[] = "\"%s-'%s'-0x%02x\",%.2f,%.2f,%.2f,%.2f\r\n";

// The marks around the key's character, and the names of the row's numbers as
// the header gives them.
inline constexpr std::string_view kKeyCharacterMark = "-'";
inline constexpr std::string_view kKeyCodeMark = "'-0x";
inline constexpr std::string_view kWidthFieldNames[4] = {"abcfA", "abcfB", "abcfC", "Advance"};

// Whether `text` holds `part` at `at`. A loop of our own: GCC cannot evaluate
// string_view's find and compare in a constant expression under UBSan.
constexpr bool holds_at(std::string_view text, std::size_t at, std::string_view part) {
    if (at > text.size() || part.size() > text.size() - at) return false;
    for (std::size_t i = 0; i < part.size(); ++i)
        if (text[at + i] != part[i]) return false;
    return true;
}

static_assert(holds_at(kWidthRowFormat, std::string_view("\"%s").size(), kKeyCharacterMark) &&
                  holds_at(kWidthRowFormat, std::string_view("\"%s-'%s").size(), kKeyCodeMark),
              "the key's marks are where the row format writes them");
static_assert(holds_at(kWidthRowFormat, sizeof kWidthRowFormat - 1 - kTableLineEnd.size(),
                       kTableLineEnd),
              "rows end as the header does");

// The face label's tag of a font type, by its low four bits: bit 0 is raster,
// bit 1 device, bit 2 TrueType; combinations no font service reports get none.
inline const char *font_type_tag(unsigned long font_type) {
    constexpr const char *kTags[16] = {
        " (RAS) ", " (RAS) ", " (DEV) ", " (PLT) ", " (TT) ", "", " (TT) ", " (TT) ",
        "",        "",        "",        " (DEV) ", "",       "", "",       "",
    };
    return kTags[font_type & 0xF];
}

#endif  // DUMP_METRICS12_WIDTH_TABLE_H
