#include "varied_metrics.h"

#include "font_tables.h"
#include "gdi_rules.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>

namespace dm12_gdi {

namespace {

// How much a region counts at `coordinates`: the product over the axes of
// where the coordinate lies between the region's start, peak and end.
double region_scalar(const FieldReader &hvar, std::size_t region, std::size_t axis_count,
                     const std::vector<double> &coordinates) {
    double scalar = 1;
    for (std::size_t axis = 0; axis < axis_count; ++axis) {
        const std::size_t at = region + hvar::kRegionAxisSize * axis;
        const double start = hvar.get_signed(hvar::kRegionStart, at) / 16384.0;
        const double peak = hvar.get_signed(hvar::kRegionPeak, at) / 16384.0;
        const double end = hvar.get_signed(hvar::kRegionEnd, at) / 16384.0;
        const double coordinate = axis < coordinates.size() ? coordinates[axis] : 0;
        if (start > peak || peak > end || (start < 0 && end > 0) || peak == 0) continue;
        if (coordinate < start || coordinate > end) return 0;
        if (coordinate == peak) continue;
        scalar *= coordinate < peak ? (coordinate - start) / (peak - start)
                                    : (end - coordinate) / (end - peak);
    }
    return scalar;
}

// A column of deltas that counts at the instance: where it lies in a row,
// its size, and its region's scalar.
struct Column {
    std::size_t offset = 0, size = 0;
    double scalar = 0;
};

struct DeltaSets {
    std::size_t offset = 0;  // of the first row
    std::size_t rows = 0, row_size = 0;
    // Only the columns whose region counts: at a named instance most
    // regions are zero, and every glyph's row would else read them all.
    std::vector<Column> counted;
};

bool read_delta_sets(const FieldReader &hvar, std::size_t store,
                     const std::vector<double> &coordinates, std::vector<DeltaSets> &sets) {
    if (hvar.get(hvar::kStoreFormat, store) != 1) return false;
    const std::size_t regions = store + hvar.get(hvar::kRegionListOffset, store);
    const std::size_t axis_count = hvar.get(hvar::kRegionAxisCount, regions);
    const std::size_t region_count = hvar.get(hvar::kRegionCount, regions);
    const std::size_t count = hvar.get(hvar::kDataCount, store);
    // Each region once: the sets' columns share them.
    std::vector<double> scalars(region_count);
    for (std::size_t region = 0; region < region_count && hvar.ok; ++region)
        scalars[region] = region_scalar(
            hvar, regions + hvar::kRegions + hvar::kRegionAxisSize * axis_count * region,
            axis_count, coordinates);
    for (std::size_t i = 0; i < count && hvar.ok; ++i) {
        const std::size_t data =
            store + hvar.get({hvar::kDataOffsets + hvar::kDataOffsetSize * i, 4}, store);
        DeltaSets set;
        set.rows = hvar.get(hvar::kItemCount, data);
        const std::uint32_t word_field = hvar.get(hvar::kWordDeltaCount, data);
        const std::size_t columns = hvar.get(hvar::kRegionIndexCount, data);
        const bool long_words = (word_field & hvar::kLongWords) != 0;
        const std::size_t words = word_field & hvar::kWordCountMask;
        if (words > columns) return false;
        const std::size_t word_size = long_words ? 4 : 2;
        for (std::size_t c = 0; c < columns; ++c) {
            const std::size_t region =
                hvar.get({hvar::kRegionIndexes + hvar::kRegionIndexSize * c, 2}, data);
            if (region >= region_count) return false;
            const double scalar = scalars[region];
            const std::size_t size = c < words ? word_size : word_size / 2;
            if (scalar != 0) set.counted.push_back({set.row_size, size, scalar});
            set.row_size += size;
        }
        set.offset = data + hvar::kRegionIndexes + hvar::kRegionIndexSize * columns;
        if (!hvar.holds(set.offset, set.rows * set.row_size)) return false;
        sets.push_back(std::move(set));
    }
    return hvar.ok;
}

// A big-endian number of `size` bytes (1 to 4).
std::uint32_t unsigned_at(const unsigned char *p, std::size_t size) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < size; ++i) value = value << 8 | p[i];
    return value;
}

// A big-endian signed number of `size` bytes (1, 2 or 4).
std::int32_t signed_at(const unsigned char *p, std::size_t size) {
    const std::uint32_t value = unsigned_at(p, size);
    const unsigned shift = static_cast<unsigned>(32 - 8 * size);
    return static_cast<std::int32_t>(value << shift) >> shift;
}

// The rows lie within the table (read_delta_sets checked it), so they are
// read without a check per delta: this runs for every glyph of every
// instance read.
double delta_of(const FieldReader &hvar, const DeltaSets &set, std::size_t row) {
    if (row >= set.rows) return 0;
    const unsigned char *p = hvar.bytes + set.offset + row * set.row_size;
    double delta = 0;
    for (const Column &column : set.counted)
        delta += signed_at(p + column.offset, column.size) * column.scalar;
    return delta;
}

}  // namespace

bool mean_varied_advance(const std::vector<unsigned char> &hmtx, unsigned metrics_count,
                         unsigned glyphs, const std::vector<unsigned char> &hvar_bytes,
                         const std::vector<double> &coordinates, long &mean) {
    const FieldReader metrics(hmtx);
    const FieldReader hvar(hvar_bytes);
    if (metrics_count == 0 || hvar.get(hvar::kMajorVersion) != 1) return false;
    std::vector<DeltaSets> sets;
    if (!read_delta_sets(hvar, hvar.get(hvar::kItemVariationStore), coordinates, sets))
        return false;
    // A glyph's row: by the advance mapping where there is one, else row
    // `glyph` of the first set.
    const std::size_t mapping = hvar.get(hvar::kAdvanceMapping);
    std::size_t map_count = 0, entry_size = 0, inner_bits = 0, entries = 0;
    if (mapping) {
        const std::uint32_t format = hvar.get(hvar::kMapFormat, mapping);
        const std::uint32_t entry_format = hvar.get(hvar::kMapEntryFormat, mapping);
        if (format > 1) return false;
        map_count = hvar.get(format == 0 ? hvar::kMapCount0 : hvar::kMapCount1, mapping);
        entries = mapping + (format == 0 ? hvar::kMapEntries0 : hvar::kMapEntries1);
        entry_size = ((entry_format >> 4) & 3) + 1;
        inner_bits = (entry_format & 0xF) + 1;
        if (map_count == 0) return false;
    }
    // hmtx: an advance and a left side bearing per glyph up to numberOfHMetrics.
    // Every advance and mapping entry the glyphs read lies within its table:
    // checked once here rather than for each glyph of each instance.
    constexpr std::size_t kMetricSize = 4;
    if (glyphs == 0 || !metrics.holds(kMetricSize * (std::min(glyphs, metrics_count) - 1), 2) ||
        (mapping && !hvar.holds(entries, std::min<std::size_t>(glyphs, map_count) * entry_size)))
        return false;
    std::vector<long> advances;
    advances.reserve(glyphs);
    for (unsigned glyph = 0; glyph < glyphs; ++glyph) {
        const unsigned metric = glyph < metrics_count ? glyph : metrics_count - 1;
        const long advance = unsigned_at(hmtx.data() + kMetricSize * metric, 2);
        std::size_t outer = 0, inner = glyph;
        if (mapping) {
            const std::size_t entry = glyph < map_count ? glyph : map_count - 1;
            const std::uint32_t value =
                unsigned_at(hvar.bytes + entries + entry * entry_size, entry_size);
            outer = value >> inner_bits;
            inner = value & ((std::uint32_t{1} << inner_bits) - 1);
        }
        const double delta = outer < sets.size() ? delta_of(hvar, sets[outer], inner) : 0;
        advances.push_back(advance + std::lround(std::floor(delta + 0.5)));
    }
    mean = mean_positive_advance(advances);
    return mean != 0;
}

bool varied_metric(const std::vector<unsigned char> &mvar_bytes, std::uint32_t tag,
                   const std::vector<double> &coordinates, long &delta) {
    delta = 0;
    const FieldReader mvar(mvar_bytes);
    if (mvar.get(mvar::kMajorVersion) != 1) return false;
    const std::size_t record_size = mvar.get(mvar::kRecordSize);
    const std::size_t count = mvar.get(mvar::kRecordCount);
    const std::size_t store = mvar.get(mvar::kItemVariationStore);
    if (!mvar.ok || record_size < mvar::kValueRecordSize) return false;
    if (count == 0 || store == 0) return true;  // nothing varies
    std::vector<DeltaSets> sets;
    if (!read_delta_sets(mvar, store, coordinates, sets)) return false;
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t record = mvar::kRecords + record_size * i;
        if (mvar.get(mvar::kValueTag, record) != tag) continue;
        const std::size_t outer = mvar.get(mvar::kOuterIndex, record);
        const std::size_t inner = mvar.get(mvar::kInnerIndex, record);
        if (mvar.ok && outer < sets.size())
            delta = std::lround(std::floor(delta_of(mvar, sets[outer], inner) + 0.5));
        break;
    }
    return mvar.ok;
}

}  // namespace dm12_gdi
