// read_vdmx and read_hdmx on tables written out byte by byte: what an intact
// table gives, and that a table that does not parse reads as absent. The
// damaged fonts of tests/robustness reach these through the whole program;
// here are the cases a font cannot show on its own, such as an hdmx record
// one byte short of the glyph count at the table's very end, whose widths a
// reader without the check would take from past the table (the sanitized
// builds see such a read).

#include "device_metrics.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

namespace dm12_gdi {

namespace {

using Bytes = std::vector<unsigned char>;

// Big-endian fields: u8, u16 or s16, u32.
void u8(Bytes &out, unsigned value) { out.push_back(static_cast<unsigned char>(value)); }
void u16(Bytes &out, long value) {
    u8(out, static_cast<unsigned>(value >> 8) & 0xFF);
    u8(out, static_cast<unsigned>(value) & 0xFF);
}
void u32(Bytes &out, std::uint32_t value) {
    u16(out, static_cast<long>(value >> 16));
    u16(out, static_cast<long>(value & 0xFFFF));
}

// --- hdmx ---------------------------------------------------------------------

// version, numRecords, sizeDeviceRecord, then each record: ppem, maxWidth and
// the widths, padded with zeros to the record size.
struct HdmxRecord {
    unsigned ppem;
    std::vector<unsigned> widths;
};

Bytes hdmx(unsigned version, unsigned count, std::uint32_t size,
           std::initializer_list<HdmxRecord> records) {
    Bytes out;
    u16(out, version);
    u16(out, count);
    u32(out, size);
    for (const HdmxRecord &record : records) {
        const std::size_t start = out.size();
        u8(out, record.ppem);
        u8(out, 9);
        for (unsigned width : record.widths) u8(out, width);
        while (out.size() < start + size) u8(out, 0);
    }
    return out;
}

struct HdmxCase {
    const char *what;
    Bytes table;
    long ppem;
    std::vector<unsigned char> widths;  // empty: no record for the size, or absent
};

TEST(DeviceTables, HdmxGivesTheRecordOfTheSizeOrNothing) {
    // Three glyphs: a record is at least 5 bytes, padded to 8 by font tools.
    const HdmxRecord r10{10, {3, 4, 5}}, r20{20, {6, 7, 8}};
    const HdmxCase cases[] = {
        {"the size's record", hdmx(0, 2, 8, {r10, r20}), 20, {6, 7, 8}},
        {"the other record", hdmx(0, 2, 8, {r10, r20}), 10, {3, 4, 5}},
        {"no record for the size", hdmx(0, 2, 8, {r10, r20}), 15, {}},
        {"records unpadded", hdmx(0, 2, 5, {r10, r20}), 20, {6, 7, 8}},
        {"no records", hdmx(0, 0, 8, {}), 20, {}},
        {"version 1", hdmx(1, 2, 8, {r10, r20}), 20, {}},
        {"records out of order", hdmx(0, 2, 8, {r20, r10}), 10, {}},
        {"two records of one size", hdmx(0, 2, 8, {r20, r20}), 20, {}},
        {"a count past the end", hdmx(0, 3, 8, {r10, r20}), 20, {}},
        // One byte short of three widths, at the table's end: the third
        // width would lie past it.
        {"a record shorter than the glyphs", hdmx(0, 1, 4, {{20, {6, 7}}}), 20, {}},
        {"a record size past any table", hdmx(0, 1, 0xFFFFFFF0u, {}), 20, {}},
        {"cut in the header", Bytes{0, 0, 0, 1, 0, 0}, 20, {}},
        {"empty", Bytes{}, 20, {}},
    };
    for (const HdmxCase &c : cases) {
        EXPECT_EQ(read_hdmx(c.table, 3, c.ppem), c.widths) << c.what;
    }
}

// --- VDMX ---------------------------------------------------------------------

// version, numRecs, numRatios, the ratio records, their group offsets, then
// the groups: recs, startsz, endsz and each size's yPelHeight, yMax, yMin.
struct Group {
    unsigned start, end;
    std::vector<VdmxRecord> sizes;
};

struct Ratio {
    unsigned charset, x, y_start, y_end;
    std::size_t group;  // index into the groups
};

Bytes vdmx(unsigned version, const std::vector<Ratio> &ratios, const std::vector<Group> &groups,
           long offset_shift = 0) {
    Bytes out;
    u16(out, version);
    u16(out, static_cast<long>(groups.size()));
    u16(out, static_cast<long>(ratios.size()));
    for (const Ratio &r : ratios) {
        for (unsigned field : {r.charset, r.x, r.y_start, r.y_end}) u8(out, field);
    }
    std::vector<long> offsets;
    long next = static_cast<long>(6 + ratios.size() * 6);
    for (const Group &g : groups) {
        offsets.push_back(next);
        next += static_cast<long>(4 + g.sizes.size() * 6);
    }
    for (const Ratio &r : ratios) u16(out, offsets.at(r.group) + offset_shift);
    for (const Group &g : groups) {
        u16(out, static_cast<long>(g.sizes.size()));
        u8(out, g.start);
        u8(out, g.end);
        for (const VdmxRecord &size : g.sizes) {
            u16(out, size.pixels_per_em);
            u16(out, size.y_max);
            u16(out, size.y_min);
        }
    }
    return out;
}

struct VdmxCase {
    const char *what;
    Bytes table;
    std::vector<std::size_t> ratio_sizes;  // the sizes each ratio reads; empty: absent
};

TEST(DeviceTables, VdmxGivesEachRatioItsGroupOrNothing) {
    const Group small{10, 12, {{10, 10, -2}, {11, 11, -2}, {12, 13, -3}}};
    const Group large{20, 21, {{20, 22, -4}, {21, 23, -4}}};
    const std::vector<Ratio> two_groups{{1, 1, 1, 1, 0}, {0, 2, 1, 1, 1}};
    Bytes cut = vdmx(1, two_groups, {small, large});
    cut.resize(cut.size() - 3);
    const VdmxCase cases[] = {
        {"two ratios, two groups", vdmx(1, two_groups, {small, large}), {3, 2}},
        {"version 0", vdmx(0, two_groups, {small, large}), {3, 2}},
        {"two ratios sharing a group",
         vdmx(1, {{1, 1, 1, 1, 0}, {1, 0, 0, 0, 0}}, {small}),
         {3, 3}},
        {"a group of sizes 10 and 12 in 10 to 12",
         vdmx(1, {{1, 1, 1, 1, 0}}, {{10, 12, {{10, 10, -2}, {12, 13, -3}}}}),
         {2}},
        {"version 2", vdmx(2, two_groups, {small, large}), {}},
        {"cut in the last group", cut, {}},
        {"a group offset past the end", vdmx(1, two_groups, {small, large}, 200), {}},
        {"startsz after endsz", vdmx(1, {{1, 1, 1, 1, 0}}, {{12, 10, small.sizes}}), {}},
        {"a size before startsz", vdmx(1, {{1, 1, 1, 1, 0}}, {{11, 12, small.sizes}}), {}},
        {"a size past endsz", vdmx(1, {{1, 1, 1, 1, 0}}, {{10, 11, small.sizes}}), {}},
        {"sizes out of order",
         vdmx(1, {{1, 1, 1, 1, 0}}, {{10, 12, {{11, 11, -2}, {10, 10, -2}, {12, 13, -3}}}}),
         {}},
        {"one size twice",
         vdmx(1, {{1, 1, 1, 1, 0}}, {{10, 12, {{10, 10, -2}, {10, 10, -2}, {12, 13, -3}}}}),
         {}},
        {"cut in the header", Bytes{0, 1, 0, 1}, {}},
        {"empty", Bytes{}, {}},
    };
    for (const VdmxCase &c : cases) {
        const VdmxTable table = read_vdmx(c.table);
        std::vector<std::size_t> sizes;
        for (const VdmxRatio &ratio : table.ratios) sizes.push_back(ratio.records.size());
        EXPECT_EQ(sizes, c.ratio_sizes) << c.what;
    }
}

// What an intact table's ratio records and sizes hold, field by field.
TEST(DeviceTables, VdmxKeepsEachFieldOfRatiosAndSizes) {
    const VdmxTable table =
        read_vdmx(vdmx(1, {{0, 2, 1, 3, 1}, {1, 1, 1, 1, 0}},
                       {{10, 11, {{10, 10, -2}, {11, 11, -3}}}, {20, 20, {{20, 22, -4}}}}));
    ASSERT_EQ(table.ratios.size(), 2u);
    const VdmxRatio &first = table.ratios[0], &second = table.ratios[1];
    EXPECT_EQ(first.charset, 0u);
    EXPECT_EQ(first.x_ratio, 2u);
    EXPECT_EQ(first.y_start_ratio, 1u);
    EXPECT_EQ(first.y_end_ratio, 3u);
    ASSERT_EQ(first.records.size(), 1u);
    EXPECT_EQ(first.records[0].pixels_per_em, 20);
    EXPECT_EQ(first.records[0].y_max, 22);
    EXPECT_EQ(first.records[0].y_min, -4);
    EXPECT_EQ(second.charset, 1u);
    ASSERT_EQ(second.records.size(), 2u);
    EXPECT_EQ(second.records[1].pixels_per_em, 11);
    EXPECT_EQ(second.records[1].y_max, 11);
    EXPECT_EQ(second.records[1].y_min, -3);
}

}  // namespace

}  // namespace dm12_gdi
