#include "varied_advances.h"

#include <cmath>
#include <cstddef>
#include <cstdint>

namespace {

// Reads of big-endian numbers that fail past the end of the table.
struct Table {
    const std::vector<unsigned char> &bytes;
    bool ok = true;

    std::uint32_t unsigned_at(std::size_t offset, std::size_t size) {
        if (offset > bytes.size() || size > bytes.size() - offset) {
            ok = false;
            return 0;
        }
        std::uint32_t value = 0;
        for (std::size_t i = 0; i < size; ++i) value = value << 8 | bytes[offset + i];
        return value;
    }
    std::int32_t signed_at(std::size_t offset, std::size_t size) {
        const std::uint32_t value = unsigned_at(offset, size);
        const int shift = static_cast<int>(32 - 8 * size);
        return static_cast<std::int32_t>(value << shift) >> shift;
    }
};

// How much a region counts at `coordinates`: the product over the axes of
// where the coordinate lies between the region's start, peak and end.
double region_scalar(Table &store, std::size_t region, std::size_t axis_count,
                     const std::vector<double> &coordinates) {
    double scalar = 1;
    for (std::size_t axis = 0; axis < axis_count; ++axis) {
        const std::size_t at = region + 6 * axis;
        const double start = store.signed_at(at, 2) / 16384.0;
        const double peak = store.signed_at(at + 2, 2) / 16384.0;
        const double end = store.signed_at(at + 4, 2) / 16384.0;
        const double coordinate = axis < coordinates.size() ? coordinates[axis] : 0;
        if (start > peak || peak > end || (start < 0 && end > 0) || peak == 0) continue;
        if (coordinate < start || coordinate > end) return 0;
        if (coordinate == peak) continue;
        scalar *= coordinate < peak ? (coordinate - start) / (peak - start)
                                    : (end - coordinate) / (end - peak);
    }
    return scalar;
}

struct DeltaSets {
    std::size_t offset = 0;  // of the first row
    std::size_t rows = 0, row_size = 0, words = 0;
    bool long_words = false;
    std::vector<double> scalars;  // one per region the rows hold
};

bool read_delta_sets(Table &hvar, std::size_t store, const std::vector<double> &coordinates,
                     std::vector<DeltaSets> &sets) {
    if (hvar.unsigned_at(store, 2) != 1) return false;
    const std::size_t regions = store + hvar.unsigned_at(store + 2, 4);
    const std::size_t axis_count = hvar.unsigned_at(regions, 2);
    const std::size_t region_count = hvar.unsigned_at(regions + 2, 2);
    const std::size_t count = hvar.unsigned_at(store + 6, 2);
    for (std::size_t i = 0; i < count && hvar.ok; ++i) {
        const std::size_t data = store + hvar.unsigned_at(store + 8 + 4 * i, 4);
        DeltaSets set;
        set.rows = hvar.unsigned_at(data, 2);
        const std::size_t word_field = hvar.unsigned_at(data + 2, 2);
        const std::size_t columns = hvar.unsigned_at(data + 4, 2);
        set.long_words = (word_field & 0x8000) != 0;
        set.words = word_field & 0x7FFF;
        if (set.words > columns) return false;
        for (std::size_t c = 0; c < columns; ++c) {
            const std::size_t region = hvar.unsigned_at(data + 6 + 2 * c, 2);
            if (region >= region_count) return false;
            set.scalars.push_back(region_scalar(hvar, regions + 4 + 6 * axis_count * region,
                                                axis_count, coordinates));
        }
        const std::size_t word_size = set.long_words ? 4 : 2;
        set.row_size = set.words * word_size + (columns - set.words) * (word_size / 2);
        set.offset = data + 6 + 2 * columns;
        hvar.unsigned_at(set.offset, set.rows * set.row_size);  // the rows lie within
        sets.push_back(std::move(set));
    }
    return hvar.ok;
}

double delta_of(Table &hvar, const DeltaSets &set, std::size_t row) {
    if (row >= set.rows) return 0;
    const std::size_t word_size = set.long_words ? 4 : 2;
    std::size_t at = set.offset + row * set.row_size;
    double delta = 0;
    for (std::size_t c = 0; c < set.scalars.size(); ++c) {
        const std::size_t size = c < set.words ? word_size : word_size / 2;
        delta += hvar.signed_at(at, size) * set.scalars[c];
        at += size;
    }
    return delta;
}

}  // namespace

bool mean_varied_advance(const std::vector<unsigned char> &hmtx, unsigned metrics_count,
                         unsigned glyphs, const std::vector<unsigned char> &hvar_bytes,
                         const std::vector<double> &coordinates, long &mean) {
    Table metrics{hmtx};
    Table hvar{hvar_bytes};
    if (metrics_count == 0 || hvar.unsigned_at(0, 2) != 1) return false;
    std::vector<DeltaSets> sets;
    if (!read_delta_sets(hvar, hvar.unsigned_at(4, 4), coordinates, sets)) return false;
    // A glyph's row: by the advance mapping where there is one, else row
    // `glyph` of the first set.
    const std::size_t mapping = hvar.unsigned_at(8, 4);
    std::size_t map_count = 0, entry_size = 0, inner_bits = 0, entries = 0;
    if (mapping) {
        const std::uint32_t format = hvar.unsigned_at(mapping, 1);
        const std::uint32_t entry_format = hvar.unsigned_at(mapping + 1, 1);
        if (format > 1) return false;
        map_count = hvar.unsigned_at(mapping + 2, format == 0 ? 2 : 4);
        entries = mapping + (format == 0 ? 4 : 6);
        entry_size = ((entry_format >> 4) & 3) + 1;
        inner_bits = (entry_format & 0xF) + 1;
        if (map_count == 0) return false;
    }
    long long total = 0, count = 0;
    for (unsigned glyph = 0; glyph < glyphs && metrics.ok && hvar.ok; ++glyph) {
        const unsigned metric = glyph < metrics_count ? glyph : metrics_count - 1;
        const long advance = static_cast<long>(metrics.unsigned_at(4 * std::size_t{metric}, 2));
        std::size_t outer = 0, inner = glyph;
        if (mapping) {
            const std::size_t entry = glyph < map_count ? glyph : map_count - 1;
            const std::uint32_t value = hvar.unsigned_at(entries + entry * entry_size, entry_size);
            outer = value >> inner_bits;
            inner = value & ((std::uint32_t{1} << inner_bits) - 1);
        }
        const double delta = outer < sets.size() ? delta_of(hvar, sets[outer], inner) : 0;
        const long varied = advance + std::lround(std::floor(delta + 0.5));
        if (varied > 0) {
            total += varied;
            ++count;
        }
    }
    if (!metrics.ok || !hvar.ok || count == 0) return false;
    mean = static_cast<long>((total + count / 2) / count);
    return true;
}
