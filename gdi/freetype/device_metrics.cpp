#include "device_metrics.h"

#include "font_tables.h"

namespace dm12_gdi {

namespace {

// One VDMX group: its sizes, ascending, each within the group's own range.
bool read_vdmx_group(const FieldReader &reader, std::size_t base, std::vector<VdmxRecord> &out) {
    const std::uint32_t count = reader.get(vdmx::kRecs, base);
    const std::uint32_t first = reader.get(vdmx::kStartSize, base);
    const std::uint32_t last = reader.get(vdmx::kEndSize, base);
    if (!reader.ok || first > last ||
        !reader.holds(base + vdmx::kEntries, std::size_t{count} * vdmx::kEntrySize))
        return false;
    long previous = 0;
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::size_t entry = base + vdmx::kEntries + std::size_t{i} * vdmx::kEntrySize;
        VdmxRecord record;
        record.pixels_per_em = static_cast<long>(reader.get(vdmx::kYPelHeight, entry));
        record.y_max = reader.get_signed(vdmx::kYMax, entry);
        record.y_min = reader.get_signed(vdmx::kYMin, entry);
        if (record.pixels_per_em <= previous || record.pixels_per_em < static_cast<long>(first) ||
            record.pixels_per_em > static_cast<long>(last) || record.y_max < record.y_min)
            return false;
        previous = record.pixels_per_em;
        out.push_back(record);
    }
    return reader.ok;
}

}  // namespace

VdmxTable read_vdmx(const std::vector<unsigned char> &bytes) {
    const FieldReader reader(bytes);
    const std::uint32_t version = reader.get(vdmx::kVersion);
    const std::uint32_t ratio_count = reader.get(vdmx::kNumRatios);
    const std::size_t offsets = vdmx::kRatios + std::size_t{ratio_count} * vdmx::kRatioSize;
    if (!reader.ok || version > 1 ||
        !reader.holds(offsets, std::size_t{ratio_count} * vdmx::kOffsetSize))
        return {};
    VdmxTable table;
    for (std::uint32_t i = 0; i < ratio_count; ++i) {
        const std::size_t record = vdmx::kRatios + std::size_t{i} * vdmx::kRatioSize;
        VdmxRatio ratio;
        ratio.charset = reader.get(vdmx::kCharset, record);
        ratio.x_ratio = reader.get(vdmx::kXRatio, record);
        ratio.y_start_ratio = reader.get(vdmx::kYStartRatio, record);
        ratio.y_end_ratio = reader.get(vdmx::kYEndRatio, record);
        const std::uint32_t group =
            reader.get(vdmx::kGroupOffset, offsets + std::size_t{i} * vdmx::kOffsetSize);
        if (!read_vdmx_group(reader, group, ratio.records)) return {};
        table.ratios.push_back(std::move(ratio));
    }
    return table;
}

std::vector<unsigned char> read_hdmx(const std::vector<unsigned char> &bytes,
                                     std::size_t glyph_count, long pixels_per_em) {
    const FieldReader reader(bytes);
    const std::uint32_t version = reader.get(hdmx::kVersion);
    const std::uint32_t record_count = reader.get(hdmx::kNumRecords);
    const std::uint32_t record_size = reader.get(hdmx::kSizeDeviceRecord);
    if (!reader.ok || version != 0 || record_size < glyph_count + hdmx::kWidths ||
        record_size > bytes.size() ||
        !reader.holds(hdmx::kRecords, std::size_t{record_count} * record_size))
        return {};
    const unsigned char *found = nullptr;
    long previous = -1;
    for (std::uint32_t i = 0; i < record_count; ++i) {
        const std::size_t record = hdmx::kRecords + std::size_t{i} * record_size;
        const long size = static_cast<long>(reader.get(hdmx::kPixelSize, record));
        if (size <= previous) return {};
        previous = size;
        if (size == pixels_per_em) found = bytes.data() + record + hdmx::kWidths;
    }
    if (!found) return {};
    return std::vector<unsigned char>(found, found + glyph_count);
}

}  // namespace dm12_gdi
