// The glyph-width table: the file the program writes, its header line and the
// layout of one width row.
//
// The lines end in CR LF on every platform, as a Windows text-mode stream writes
// them, so that the same fonts give the same bytes wherever the program ran.
// The file is therefore opened in binary mode and the CR is written by us.
#ifndef DUMP_METRICS12_WIDTH_TABLE_H
#define DUMP_METRICS12_WIDTH_TABLE_H

#include <cstddef>
#include <cstdio>

// A relative name: the table lands in the current working directory.
inline constexpr char kTableName[] = "dump_metrics12.csv";
inline constexpr char kTableMode[] = "wb";

inline constexpr char kTableHeader[] = "lfFaceName, abcfA, abcfB, abcfC, Advance\r\n";
inline constexpr std::size_t kTableHeaderSize = sizeof kTableHeader - 1;

// One row: the key "<face label>-'<character>'-0x<code>", then the three widths
// and the advance with two decimals. The character goes in as the raw byte, a
// double quote or comma included.
inline constexpr char kWidthRowFormat[] = "\"%s-'%s'-0x%02x\",%.2f,%.2f,%.2f,%.2f\r\n";

#endif  // DUMP_METRICS12_WIDTH_TABLE_H
