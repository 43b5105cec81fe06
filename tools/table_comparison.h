// Comparing two width tables row by row: which fonts and rows only one has,
// and which of the A, B, C widths and the advance differ where both have a row.
#ifndef DUMP_METRICS12_TABLE_COMPARISON_H
#define DUMP_METRICS12_TABLE_COMPARISON_H

#include <array>
#include <cstddef>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "width_table_reader.h"

// The four numbers of a row, in the order of the table's columns.
enum WidthKind { kA, kB, kC, kAdvance };
inline constexpr std::array<const char *, 4> kWidthKindNames = {"A", "B", "C", "advance"};

struct CompareOptions {
    // Keep only the first row of each key in each table: Wine enumerates a
    // family once per character set, so its table repeats the family's rows.
    bool drop_repeats = false;
    // Fonts that only one table has do not make the tables disagree (the two
    // font sets differ on purpose); they are still listed.
    bool common_families_only = false;
    // Fonts left out of both tables, by face label or by family name (the label
    // without its type tag, e.g. "Tahoma" for "Tahoma (TT) ").
    std::vector<std::string> ignored_families;
    // Codes left out of both tables (Wine 10 measures a code that a font
    // lacks with a fallback font of its own).
    std::vector<unsigned> ignored_codes;
};

struct RowDifference {
    std::string key;
    std::string face;
    unsigned code = 0;
    std::array<std::string, 4> first;
    std::array<std::string, 4> second;
    std::array<bool, 4> differs{};
};

// For one font both tables have.
struct FontTally {
    std::size_t rows_in_both = 0;
    std::size_t differing = 0;
    std::array<std::size_t, 4> differing_by_kind{};
};

// Everything in two tables [0] and [1].
struct Comparison {
    std::array<std::size_t, 2> rows_read{};
    std::array<std::size_t, 2> repeats_dropped{};
    std::array<std::size_t, 2> ignored_rows{};
    // Fonts (face labels) each table has, after ignoring and dropping.
    std::array<std::size_t, 2> fonts{};
    // Fonts (face labels) only one table has, in the order that table has them,
    // with their row counts.
    std::array<std::vector<std::pair<std::string, std::size_t>>, 2> fonts_only_in;
    // Rows of fonts both have that the other table lacks.
    std::array<std::vector<std::string>, 2> rows_only_in;
    std::size_t rows_in_both = 0;
    std::size_t equal_rows = 0;
    std::array<std::size_t, 4> differing_by_kind{};
    std::array<double, 4> largest_difference{};
    std::map<std::string, FontTally> by_font;
    std::vector<RowDifference> differences;
};

// The label without its trailing font-type tag: "DejaVu Sans (TT) " gives
// "DejaVu Sans"; a label without a tag is returned whole.
std::string_view family_of_label(std::string_view label);

// Pairs the rows of the two tables by key; a key repeated in a table pairs its
// n-th row with the other table's n-th row of that key. Numbers compare as
// written, so "-0.00" and "0.00" differ as they would in the file's bytes.
Comparison compare_tables(const WidthTable &first, const WidthTable &second,
                          const CompareOptions &options);

// The share of equal rows among the rows both tables have, in percent; 0 when
// they have none in common.
double equal_share(const Comparison &comparison);

// Whether the tables agree: every font and row of one is in the other (fonts
// only one has are let pass with common_families_only) and the equal share is at
// least `min_equal` percent.
bool tables_agree(const Comparison &comparison, const CompareOptions &options, double min_equal);

#endif  // DUMP_METRICS12_TABLE_COMPARISON_H
