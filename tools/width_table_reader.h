// Reading a dump_metrics12.csv table into rows, for comparing two of them.
#ifndef DUMP_METRICS12_WIDTH_TABLE_READER_H
#define DUMP_METRICS12_WIDTH_TABLE_READER_H

#include <array>
#include <cstddef>
#include <istream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "width_table.h"

// The key "<face label>-'<character>'-0x<code>" taken apart. The face label
// keeps its font-type tag ("DejaVu Sans (TT) "): it names the font.
struct RowKey {
    std::string face;
    unsigned code = 0;
};

// One width row: its key, the text of its four numbers (A, B, C, advance) as
// written, and where it stood in its file.
struct WidthRow {
    std::string key;
    std::string face;
    unsigned code = 0;
    std::array<std::string, 4> fields;
    std::size_t line = 0;
};

struct WidthTable {
    std::string file;
    std::vector<WidthRow> rows;
};

// Malformed input; what() names the file, the line and the reason.
struct BadTable : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Takes a key apart into `key`. The character may itself be a quote, comma or
// apostrophe, and the face label may hold anything, so the key is split from
// its end. Returns the empty string on success, else the reason it failed.
std::string parse_key(std::string_view text, RowKey &key);

// Reads one row, without its line end, into `row` (all but its line).
// Returns the empty string on success, else the reason it failed.
std::string parse_row(std::string_view line, WidthRow &row);

// Reads a whole table: the header line, then one row per line; LF or CR LF
// line ends; empty lines are skipped. Throws BadTable naming `file` and the
// line at the first thing that is not so.
WidthTable read_table(std::istream &in, const std::string &file);

#endif  // DUMP_METRICS12_WIDTH_TABLE_READER_H
