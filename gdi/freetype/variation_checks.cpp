#include "variation_checks.h"

#include <cstdint>

#include "font_tables.h"

namespace dm12_gdi {

namespace {

constexpr char kShort[] = "is too short for its header";
constexpr char kVersion[] = "is of a version FreeType does not read";

std::size_t gvar_offset_size(const FieldReader &gvar_fields) {
    return (gvar_fields.get(gvar::kFlags) & gvar::kLongOffsets) ? 4 : 2;
}

// An item variation store at `store`, as HVAR and MVAR hold one; `data`
// gets each delta set's row count, by which rows are looked up.
const char *store_damage(const FieldReader &fields, std::size_t store, std::size_t axes,
                         std::vector<std::size_t> &rows) {
    if (!fields.holds(store, hvar::kStoreHeaderSize))
        return "has its item variation store past its end";
    if (fields.get(hvar::kStoreFormat, store) != 1)
        return "has an item variation store of a format FreeType does not read";
    const std::size_t count = fields.get(hvar::kDataCount, store);
    if (!fields.holds(store + hvar::kDataOffsets, hvar::kDataOffsetSize * count))
        return "has its item variation store past its end";
    const std::size_t regions = store + fields.get(hvar::kRegionListOffset, store);
    if (!fields.holds(regions, hvar::kRegionListHeaderSize)) return "has its regions past its end";
    if (fields.get(hvar::kRegionAxisCount, regions) != axes)
        return "has regions over other axes than the font's";
    const std::size_t region_count = fields.get(hvar::kRegionCount, regions);
    if (!fields.holds(regions + hvar::kRegions, hvar::kRegionAxisSize * axes * region_count))
        return "has its regions past its end";
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t data =
            store + fields.get({hvar::kDataOffsets + hvar::kDataOffsetSize * i, 4}, store);
        if (!fields.holds(data, hvar::kDataHeaderSize)) return "has delta sets past its end";
        const std::size_t items = fields.get(hvar::kItemCount, data);
        const std::uint32_t word_field = fields.get(hvar::kWordDeltaCount, data);
        const std::size_t columns = fields.get(hvar::kRegionIndexCount, data);
        const std::size_t words = word_field & hvar::kWordCountMask;
        if (words > columns) return "has delta sets of more wide columns than columns";
        if (!fields.holds(data + hvar::kRegionIndexes, hvar::kRegionIndexSize * columns))
            return "has delta sets past its end";
        for (std::size_t c = 0; c < columns; ++c)
            if (fields.get({hvar::kRegionIndexes + hvar::kRegionIndexSize * c, 2}, data) >=
                region_count)
                return "has delta sets over regions it lacks";
        const std::size_t word_size = (word_field & hvar::kLongWords) ? 4 : 2;
        const std::size_t row = words * word_size + (columns - words) * (word_size / 2);
        if (!fields.holds(data + hvar::kRegionIndexes + hvar::kRegionIndexSize * columns,
                          row * items))
            return "has delta sets past its end";
        rows.push_back(items);
    }
    return nullptr;
}

// Whether `outer` and `inner` name a row of the store whose row counts are
// `rows`.
bool names_a_row(const std::vector<std::size_t> &rows, std::size_t outer, std::size_t inner) {
    return outer < rows.size() && inner < rows[outer];
}

// A delta-set index map at `map` (HVAR's glyph mappings).
const char *mapping_damage(const FieldReader &fields, std::size_t map,
                           const std::vector<std::size_t> &rows) {
    if (!fields.holds(map, hvar::kMapEntries0)) return "has a glyph mapping past its end";
    const std::uint32_t format = fields.get(hvar::kMapFormat, map);
    if (format > 1) return "has a glyph mapping of a format FreeType does not read";
    if (!fields.holds(map, format == 0 ? hvar::kMapEntries0 : hvar::kMapEntries1))
        return "has a glyph mapping past its end";
    const std::uint32_t entry_format = fields.get(hvar::kMapEntryFormat, map);
    const std::size_t count = fields.get(format == 0 ? hvar::kMapCount0 : hvar::kMapCount1, map);
    const std::size_t entry_size = ((entry_format >> 4) & 3) + 1;
    const std::size_t inner_bits = (entry_format & 0xF) + 1;
    const std::size_t entries = map + (format == 0 ? hvar::kMapEntries0 : hvar::kMapEntries1);
    if (!fields.holds(entries, entry_size * count)) return "has a glyph mapping past its end";
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint32_t value = fields.get({0, entry_size}, entries + entry_size * i);
        if (!names_a_row(rows, value >> inner_bits, value & ((std::uint32_t{1} << inner_bits) - 1)))
            return "has a glyph mapping to deltas it lacks";
    }
    return nullptr;
}

}  // namespace

std::size_t gvar_start_size(const std::vector<unsigned char> &header) {
    const FieldReader fields(header);
    const std::size_t glyphs = fields.get(gvar::kGlyphCount);
    return gvar::kHeaderSize + (glyphs + 1) * gvar_offset_size(fields);
}

const char *gvar_damage(const std::vector<unsigned char> &start, std::size_t length,
                        std::size_t glyphs, std::size_t axes) {
    const FieldReader fields(start);
    if (length < gvar::kHeaderSize || start.size() < gvar::kHeaderSize) return kShort;
    if (fields.get(gvar::kGlyphCount) != glyphs) return "is for other glyphs than the font's";
    if (fields.get(gvar::kAxisCount) != axes) return "is for other axes than the font's";
    const std::size_t offset_size = gvar_offset_size(fields);
    if (start.size() < gvar_start_size(start) || length < gvar_start_size(start))
        return "has its glyph offsets past its end";
    const std::size_t shared = fields.get(gvar::kSharedTuplesOffset);
    const std::size_t shared_size =
        fields.get(gvar::kSharedTupleCount) * axes * gvar::kCoordinateSize;
    if (shared > length || shared_size > length - shared)
        return "has its shared tuples past its end";
    // 16-bit offsets are stored halved.
    const std::size_t scale = offset_size == 2 ? 2 : 1;
    std::size_t furthest = 0;
    for (std::size_t g = 0; g <= glyphs; ++g) {
        const std::size_t offset =
            fields.get({0, offset_size}, gvar::kHeaderSize + offset_size * g);
        if (offset * scale > furthest) furthest = offset * scale;
    }
    const std::size_t data = fields.get(gvar::kDataArrayOffset);
    if (data > length || furthest > length - data) return "has glyph variation data past its end";
    return nullptr;
}

const char *cvar_damage(const std::vector<unsigned char> &table, std::size_t axes) {
    const FieldReader fields(table);
    if (table.size() < cvar::kHeaderSize) return kShort;
    if (fields.get(cvar::kMajorVersion) != 1) return kVersion;
    const std::size_t count = fields.get(cvar::kTupleCount) & tuple::kCountMask;
    std::size_t at = cvar::kHeaderSize, data = 0;
    for (std::size_t t = 0; t < count; ++t) {
        if (!fields.holds(at, tuple::kHeaderSize)) return "has tuple headers past its end";
        const std::uint32_t index = fields.get(tuple::kTupleIndex, at);
        // cvar has no shared tuples: each tuple carries its own peak.
        if (!(index & tuple::kEmbeddedPeak)) return "has a tuple without a peak of its own";
        data += fields.get(tuple::kDataSize, at);
        at += tuple::kHeaderSize +
              axes * tuple::kCoordinateSize * ((index & tuple::kIntermediate) ? 3 : 1);
        if (at > table.size()) return "has tuple headers past its end";
    }
    if (!fields.holds(fields.get(cvar::kDataOffset), data)) return "has tuple data past its end";
    return nullptr;
}

const char *hvar_damage(const std::vector<unsigned char> &table, std::size_t axes) {
    const FieldReader fields(table);
    if (table.size() < hvar::kHeaderSize) return kShort;
    if (fields.get(hvar::kMajorVersion) != 1) return kVersion;
    std::vector<std::size_t> rows;
    if (const char *damage =
            store_damage(fields, fields.get(hvar::kItemVariationStore), axes, rows))
        return damage;
    for (const Field mapping : {hvar::kAdvanceMapping, hvar::kLsbMapping, hvar::kRsbMapping})
        if (const std::size_t map = fields.get(mapping))
            if (const char *damage = mapping_damage(fields, map, rows)) return damage;
    return nullptr;
}

const char *mvar_damage(const std::vector<unsigned char> &table, std::size_t axes) {
    const FieldReader fields(table);
    if (table.size() < mvar::kHeaderSize) return kShort;
    if (fields.get(mvar::kMajorVersion) != 1) return kVersion;
    const std::size_t record_size = fields.get(mvar::kRecordSize);
    const std::size_t count = fields.get(mvar::kRecordCount);
    const std::size_t store = fields.get(mvar::kItemVariationStore);
    if (count == 0) return nullptr;
    if (record_size < mvar::kValueRecordSize) return "has value records too short for a value";
    if (!fields.holds(mvar::kRecords, record_size * count)) return "has value records past its end";
    if (store == 0) return "has values but no item variation store";
    std::vector<std::size_t> rows;
    if (const char *damage = store_damage(fields, store, axes, rows)) return damage;
    for (std::size_t r = 0; r < count; ++r) {
        const std::size_t record = mvar::kRecords + record_size * r;
        if (!names_a_row(rows, fields.get(mvar::kOuterIndex, record),
                         fields.get(mvar::kInnerIndex, record)))
            return "has values with deltas it lacks";
    }
    return nullptr;
}

}  // namespace dm12_gdi
