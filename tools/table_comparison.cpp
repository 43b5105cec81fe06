#include "table_comparison.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <set>
#include <unordered_map>
#include <unordered_set>

namespace {

// The rows one table contributes, after dropping what the options leave out.
struct Kept {
    std::vector<const WidthRow *> rows;
    std::vector<std::string> font_order;
    std::map<std::string, std::size_t> rows_by_font;
};

bool is_ignored(const WidthRow &row, const CompareOptions &options) {
    const std::vector<unsigned> &codes = options.ignored_codes;
    if (std::find(codes.begin(), codes.end(), row.code) != codes.end()) return true;
    const std::string &face = row.face;
    const std::string_view family = family_of_label(face);
    return std::any_of(options.ignored_families.begin(), options.ignored_families.end(),
                       [&](const std::string &name) { return name == face || name == family; });
}

Kept keep_rows(const WidthTable &table, const CompareOptions &options, std::size_t &repeats,
               std::size_t &ignored) {
    Kept kept;
    std::set<std::string_view> keys_seen;
    for (const WidthRow &row : table.rows) {
        if (is_ignored(row, options)) {
            ++ignored;
            continue;
        }
        if (options.drop_repeats && !keys_seen.insert(row.key).second) {
            ++repeats;
            continue;
        }
        if (kept.rows_by_font[row.face]++ == 0) kept.font_order.push_back(row.face);
        kept.rows.push_back(&row);
    }
    return kept;
}

// A key and which of its rows this is, counting from 0.
using Occurrence = std::pair<std::string_view, std::size_t>;

struct OccurrenceHash {
    std::size_t operator()(const Occurrence &occurrence) const {
        return std::hash<std::string_view>()(occurrence.first) * 31 + occurrence.second;
    }
};

std::vector<Occurrence> occurrences(const std::vector<const WidthRow *> &rows) {
    std::unordered_map<std::string_view, std::size_t> counts;
    std::vector<Occurrence> result;
    result.reserve(rows.size());
    for (const WidthRow *row : rows) result.emplace_back(row->key, counts[row->key]++);
    return result;
}

double field_value(const std::string &field) { return std::strtod(field.c_str(), nullptr); }

}  // namespace

std::string_view family_of_label(std::string_view label) {
    // Tags are " (TT) ", " (DEV) ", " (RAS) " and the like.
    if (label.size() < 4 || label.substr(label.size() - 2) != ") ") return label;
    const std::size_t open = label.rfind(" (");
    if (open == std::string_view::npos || open == 0) return label;
    return label.substr(0, open);
}

Comparison compare_tables(const WidthTable &first, const WidthTable &second,
                          const CompareOptions &options) {
    Comparison result;
    const WidthTable *tables[2] = {&first, &second};
    Kept kept[2];
    for (std::size_t t = 0; t < 2; ++t) {
        result.rows_read[t] = tables[t]->rows.size();
        kept[t] = keep_rows(*tables[t], options, result.repeats_dropped[t], result.ignored_rows[t]);
        result.fonts[t] = kept[t].font_order.size();
    }

    for (std::size_t t = 0; t < 2; ++t) {
        const Kept &other = kept[1 - t];
        for (const std::string &font : kept[t].font_order)
            if (other.rows_by_font.count(font) == 0)
                result.fonts_only_in[t].emplace_back(font, kept[t].rows_by_font.at(font));
    }

    std::vector<Occurrence> keys[2] = {occurrences(kept[0].rows), occurrences(kept[1].rows)};
    std::unordered_map<Occurrence, const WidthRow *, OccurrenceHash> second_rows;
    for (std::size_t i = 0; i < keys[1].size(); ++i)
        second_rows.emplace(keys[1][i], kept[1].rows[i]);

    auto in_both_fonts = [&](const WidthRow &row) {
        return kept[0].rows_by_font.count(row.face) != 0 &&
               kept[1].rows_by_font.count(row.face) != 0;
    };

    const std::unordered_set<Occurrence, OccurrenceHash> first_keys(keys[0].begin(), keys[0].end());
    for (std::size_t i = 0; i < keys[0].size(); ++i) {
        const WidthRow &row = *kept[0].rows[i];
        const auto match = second_rows.find(keys[0][i]);
        if (match == second_rows.end()) {
            if (in_both_fonts(row)) result.rows_only_in[0].push_back(row.key);
            continue;
        }
        const WidthRow &other = *match->second;
        FontTally &tally = result.by_font[row.face];
        ++tally.rows_in_both;
        ++result.rows_in_both;
        RowDifference difference{row.key, row.face, row.code, row.fields, other.fields, {}};
        bool any = false;
        for (std::size_t k = 0; k < 4; ++k) {
            if (row.fields[k] == other.fields[k]) continue;
            any = difference.differs[k] = true;
            ++tally.differing_by_kind[k];
            ++result.differing_by_kind[k];
            const double gap = std::fabs(field_value(row.fields[k]) - field_value(other.fields[k]));
            result.largest_difference[k] = std::max(result.largest_difference[k], gap);
        }
        if (!any) {
            ++result.equal_rows;
            continue;
        }
        ++tally.differing;
        result.differences.push_back(std::move(difference));
    }
    for (std::size_t i = 0; i < keys[1].size(); ++i) {
        const WidthRow &row = *kept[1].rows[i];
        if (first_keys.count(keys[1][i]) == 0 && in_both_fonts(row))
            result.rows_only_in[1].push_back(row.key);
    }
    return result;
}

double equal_share(const Comparison &comparison) {
    if (comparison.rows_in_both == 0) return 0.0;
    return 100.0 * static_cast<double>(comparison.equal_rows) /
           static_cast<double>(comparison.rows_in_both);
}

bool tables_agree(const Comparison &comparison, const CompareOptions &options, double min_equal) {
    const bool same_fonts = options.common_families_only || (comparison.fonts_only_in[0].empty() &&
                                                             comparison.fonts_only_in[1].empty());
    const bool same_rows = comparison.rows_only_in[0].empty() && comparison.rows_only_in[1].empty();
    return same_fonts && same_rows && equal_share(comparison) >= min_equal;
}
